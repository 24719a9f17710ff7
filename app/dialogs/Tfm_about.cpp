#include "app/dialogs/Tfm_about.h"

#include "core/AppState.h"
#include "platform/Desktop.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

const QString Tfm_about::Version = QStringLiteral("1.00");
const QString Tfm_about::SupportAddress = QStringLiteral("support@tarnwell.org");

namespace {
QLabel* link(const QString& text, const char* name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setCursor(Qt::PointingHandCursor);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(palette);
    return label;
}
} // namespace

Tfm_about::Tfm_about(DialogContext context)
    : QDialog(&context.window, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                                   Qt::MSWindowsFixedSizeDialogHint),
      context_(std::move(context)) {
    setObjectName(QStringLiteral("fm_about"));
    setWindowTitle(QStringLiteral("fm_about"));
    setFixedSize(262, 272);
    setModal(false);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));

    Image1 = new QLabel(GroupBox1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QIcon(QStringLiteral(":/tarnwell/tarnwell.svg")).pixmap(32, 32));
    Image1->setFixedSize(32, 32);

    lab_name = new QLabel(QStringLiteral("Tarnwell"), GroupBox1);
    lab_name->setObjectName(QStringLiteral("lab_name"));
    QFont nameFont = lab_name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.6);
    lab_name->setFont(nameFont);

    lab_version = new QLabel(QStringLiteral("Version: ") + Version, GroupBox1);
    lab_version->setObjectName(QStringLiteral("lab_version"));

    lab_description =
        new QLabel(QStringLiteral("Cut a new small file from a large audio file. "), GroupBox1);
    lab_description->setObjectName(QStringLiteral("lab_description"));
    lab_description->setWordWrap(true);
    // The active title bar's colour of the desktop.
    QPalette captionPalette = lab_description->palette();
    captionPalette.setColor(QPalette::WindowText,
                            palette().color(QPalette::Active, QPalette::Highlight));
    lab_description->setPalette(captionPalette);

    Label1 = new QLabel(QStringLiteral("Website:  "), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = link(HomePageUrl, "Label2", GroupBox1);
    Label3 = new QLabel(QStringLiteral("E-mail:  "), GroupBox1);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label4 = link(SupportAddress, "Label4", GroupBox1);
    Label2->installEventFilter(this);
    Label4->installEventFilter(this);

    auto* links = new QGridLayout;
    links->setHorizontalSpacing(0);
    links->setVerticalSpacing(6);
    links->addWidget(Label1, 0, 0);
    links->addWidget(Label2, 0, 1);
    links->addWidget(Label3, 1, 0);
    links->addWidget(Label4, 1, 1);
    links->setColumnStretch(1, 1);

    auto* box = new QVBoxLayout(GroupBox1);
    box->setContentsMargins(16, 16, 16, 16);
    box->setSpacing(8);
    box->addWidget(Image1, 0, Qt::AlignHCenter);
    box->addWidget(lab_name, 0, Qt::AlignHCenter);
    box->addWidget(lab_version, 0, Qt::AlignHCenter);
    box->addSpacing(4);
    box->addWidget(lab_description);
    box->addStretch(1);
    box->addLayout(links);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(GroupBox1);
}

Tfm_about::~Tfm_about() = default;

void Tfm_about::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void Tfm_about::FormShow() {
    move(context_.window.pos() + QPoint(10, 10));
}

bool Tfm_about::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Label2)
            Label2Click();
        else if (watched == Label4)
            Label4Click();
    }
    return QDialog::eventFilter(watched, event);
}

void Tfm_about::Label2Click() {
    context_.desktop.openOrTell(QUrl(HomePageUrl), QStringLiteral("the web page"));
}

void Tfm_about::Label4Click() {
    context_.desktop.openOrTell(QUrl(QStringLiteral("mailto:") + SupportAddress),
                                QStringLiteral("a new e-mail"));
}
