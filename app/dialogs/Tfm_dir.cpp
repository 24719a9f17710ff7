#include "app/dialogs/Tfm_dir.h"

#include "core/AppState.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <utility>

Tfm_dir::Tfm_dir(DialogContext context)
    : QDialog(&context.window, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                                   Qt::MSWindowsFixedSizeDialogHint),
      context_(std::move(context)) {
    setObjectName(QStringLiteral("fm_dir"));
    setWindowTitle(QStringLiteral("Output Directory"));
    setFixedSize(286, 281);

    // Folders only, with the desktop's icons. The model watches the folders
    // it has read, so the tree shows folders made or removed since, also
    // by other programs, whenever the dialog opens again.
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setReadOnly(false);
    model_->setRootPath(QDir::rootPath());

    ShellTreeView1 = new QTreeView(this);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    ShellTreeView1->setModel(model_);
    // The file system's root is the one top node, already open.
    ShellTreeView1->setRootIndex(model_->index(QDir::rootPath()).parent());
    ShellTreeView1->setRootIsDecorated(false);
    ShellTreeView1->setHeaderHidden(true);
    for (int column = 1; column < model_->columnCount(); ++column)
        ShellTreeView1->hideColumn(column);
    ShellTreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ShellTreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ShellTreeView1->setUniformRowHeights(true);
    ShellTreeView1->expand(model_->index(QDir::rootPath()));
    // The home folder is where most music lives: open the way to it as the
    // folders load, and show it at the top, but leave the choice to the user.
    connect(model_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        const QString home = QDir::cleanPath(QDir::homePath());
        const QString path = QDir::cleanPath(loaded);
        if (homeShown_ || !(home == path || home.startsWith(path)))
            return;
        // Open the next folder on the way; its loading brings the next step.
        const QString rest =
            home.mid(path.size()).section(QLatin1Char('/'), 0, 0, QString::SectionSkipEmpty);
        const QString next =
            path.endsWith(QLatin1Char('/')) ? path + rest : path + QLatin1Char('/') + rest;
        ShellTreeView1->expand(model_->index(path));
        if (path == home) {
            homeShown_ = true;
            // After the model has sorted what it just loaded.
            QTimer::singleShot(250, this, [this] { showHome(); });
        }
        if (path != home)
            ShellTreeView1->expand(model_->index(next));
    });
    model_->fetchMore(model_->index(QDir::rootPath()));

    Button1 = new QPushButton(QStringLiteral("New Folder"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    btn_ok = new QPushButton(QStringLiteral("Ok"), this);
    btn_ok->setObjectName(QStringLiteral("btn_ok"));
    btn_ok->setDefault(true);
    btn_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    btn_cancel->setObjectName(QStringLiteral("btn_cancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addStretch(1);
    buttons->addWidget(btn_ok);
    buttons->addWidget(btn_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    layout->addWidget(ShellTreeView1, 1);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &Tfm_dir::Button1Click);
    connect(btn_ok, &QPushButton::clicked, this, &Tfm_dir::btn_okClick);
    connect(btn_cancel, &QPushButton::clicked, this, &Tfm_dir::btn_cancelClick);
}

Tfm_dir::~Tfm_dir() = default;

void Tfm_dir::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void Tfm_dir::FormShow() {
    move(context_.window.pos() + QPoint(10, 10));
    showHome();
}

void Tfm_dir::showHome() {
    // Only until the user has picked something: then the tree stays as left.
    if (!ShellTreeView1->selectionModel()->hasSelection())
        ShellTreeView1->scrollTo(model_->index(QDir::homePath()), QAbstractItemView::PositionAtTop);
}

QString Tfm_dir::SelectedPath() const {
    const QModelIndex current = ShellTreeView1->currentIndex();
    if (!current.isValid() || !ShellTreeView1->selectionModel()->isSelected(current))
        return {};
    return QDir::cleanPath(model_->filePath(current));
}

bool Tfm_dir::SelectPath(const QString& path) {
    const QModelIndex index = model_->index(QDir::cleanPath(path));
    if (!index.isValid())
        return false;
    for (QModelIndex at = index.parent(); at.isValid(); at = at.parent())
        ShellTreeView1->expand(at);
    ShellTreeView1->setCurrentIndex(index);
    ShellTreeView1->scrollTo(index);
    return true;
}

void Tfm_dir::btn_okClick() {
    const QString path = SelectedPath();
    // Nothing selected: stay open rather than point the program at nothing.
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return;
    AppState& state = context_.state;

    if (state.FolderDialogMode == AppState::FolderMode::AddFolder) {
        state.ChosenFolder = path;
        accept();
        return;
    }

    // A folder that went away since the tree showed it is created again, if
    // its parent still takes it.
    const QFileInfo info(path);
    const QFileInfo parent(info.absolutePath());
    const bool usable =
        info.exists() ? info.isDir() && info.isWritable() : parent.isDir() && parent.isWritable();
    if (!usable) {
        context_.desktop.warning(
            QStringLiteral("Files cannot be saved in \"%1\". Please choose another folder.")
                .arg(path));
        return;
    }
    const QString withSlash = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    // The runs append file names to the folder directly, so it carries its
    // final "/" even when saving it below fails.
    state.OutputDir = withSlash;
    try {
        if (SettingsFile* settings = context_.settings())
            settings->WriteString(QStringLiteral("Output"), QStringLiteral("Dir"), path);
    } catch (const Error& e) {
        context_.desktop.showError(e.message());
        return;
    }
    context_.setOutputFolderText(path);
    if (!info.exists())
        QDir().mkdir(path);
    accept();
}

void Tfm_dir::btn_cancelClick() {
    reject();
}

void Tfm_dir::reject() {
    context_.state.ChosenFolder.clear();
    QDialog::reject();
}

void Tfm_dir::Button1Click() {
    const QModelIndex current = ShellTreeView1->currentIndex();
    if (SelectedPath().isEmpty())
        return;
    // An existing "New Folder" makes this fail; that is left unreported.
    if (model_->mkdir(current, QStringLiteral("New Folder")).isValid())
        ShellTreeView1->expand(current);
}
