#include "app/dialogs/Tfm_set.h"

#include "app/dialogs/RadioGroup.h"
#include "core/AppState.h"
#include "engine/ConfigureEncoder.h"
#include "engine/EncoderKey.h"
#include "engine/EncoderTables.h"
#include "engine/OutputNames.h"
#include "engine/PieceExtras.h"
#include "engine/PieceWorkers.h"
#include "engine/audio/IAudioFile2.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/SettingsFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace EncoderKeys;
using EncoderTables::inRange;
using EncoderTables::valueAt;

namespace {

const QString kNotSupportedTail =
    QStringLiteral("\rYou have set too high frequency and too low bitrate or otherwise. "
                   "\rPlease adjust the frequency or bitrate.");

constexpr int FilterMaximum = 48000;
constexpr int ListRowHeight = 22;

QStringList fadeTexts() {
    QStringList texts;
    for (int s = 1; s <= 20; ++s)
        texts << QStringLiteral("%1s").arg(s);
    return texts;
}

// A pick-only drop-down list.
QComboBox* newList(const QString& name, const QStringList& items, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    list->setMaxVisibleItems(12);
    return list;
}

// A number field with its up-down buttons. `editable` false leaves only the
// buttons and the arrow keys to change it.
QSpinBox* newUpDown(const QString& name, int minimum, int maximum, bool editable, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(minimum, maximum);
    box->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    if (auto* edit = box->findChild<QLineEdit*>())
        edit->setReadOnly(!editable);
    return box;
}

QLineEdit* editOf(QSpinBox* box, const QString& name) {
    QLineEdit* edit = box->findChild<QLineEdit*>();
    if (edit)
        edit->setObjectName(name);
    return edit;
}

QCheckBox* newCheck(const QString& name, const QString& caption, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QGroupBox* newGroup(const QString& title, QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    return group;
}

// A list read from the file shows its stored position; a position a
// hand-edited file puts outside the list shows the key's default instead, so
// Ok can never save or check a position the list does not hold.
void setPosition(QComboBox* list, int position, int fallback) {
    list->setCurrentIndex(inRange(position, static_cast<std::size_t>(list->count())) ? position
                                                                                     : fallback);
}

int position(const QComboBox* list, int fallback) {
    const int index = list->currentIndex();
    return index >= 0 ? index : fallback;
}

int toInteger(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        throw Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

} // namespace

namespace {
int formatPageCount() {
    const auto& all = OutputFormats::All();
    return static_cast<int>(std::count_if(all.begin(), all.end(), [](const OutputFormat& format) {
        return !format.page.fields.empty();
    }));
}
} // namespace

// The dialog's own 12 nodes, and the format pages between OGG and Silence.
const int Tfm_set::PageCount = 12 + formatPageCount();

const QString Tfm_set::OggCopyExplanation =
    QStringLiteral("Pieces are cut from the source's own Vorbis data: nothing is re-encoded, "
                   "the samples are exactly the source's, in its own rate and channels. The "
                   "settings above apply only to what is re-encoded: pieces with a fade, "
                   "damaged sources, chained sources whose parts differ in format, and joins. "
                   "Opus pieces of Opus sources and MP3 pieces of MP3 sources are copied the "
                   "same way while the Opus and MP3 pages hold their defaults; once they are "
                   "changed, those pieces are encoded with them.");

const QString Tfm_set::OggCopyOffExplanation =
    QStringLiteral("Copying went off because the settings above were changed: pieces are "
                   "re-encoded with them. Tick the box to copy pieces unchanged again.");

const QString Tfm_set::OggNotSupported =
    QStringLiteral("This OGG format is not supported. ") + kNotSupportedTail;
const QString Tfm_set::Mp3NotSupported =
    QStringLiteral("This MP3 format is not supported. ") + kNotSupportedTail;

Tfm_set::Tfm_set(DialogContext context)
    : QDialog(&context.window, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                                   Qt::MSWindowsFixedSizeDialogHint),
      context_(std::move(context)) {
    setObjectName(QStringLiteral("fm_set"));
    setWindowTitle(QStringLiteral("Settings"));

    TreeView1 = new QTreeWidget(this);
    lab = new QLabel(QStringLiteral("Kestrune"), this);
    pages_ = new QStackedWidget(this);
    buildGeneralPage();
    buildMp3GeneralPage();
    buildMp3VbrPage();
    buildFilterPage();
    buildExpertPage();
    buildPresetsPage();
    buildCommandPage();
    buildWavPage();
    buildWmaPage();
    buildOggPage();
    buildFormatPages();
    buildSilencePage();
    buildTree();
    buildButtons();

    lab->setObjectName(QStringLiteral("lab"));
    QFont bold = lab->font();
    bold.setBold(true);
    lab->setFont(bold);

    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    right->addWidget(lab);
    right->addWidget(pages_, 1);
    auto* body = new QHBoxLayout;
    body->setSpacing(8);
    body->addWidget(TreeView1);
    body->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Ok);
    buttons->addWidget(Button2);
    buttons->addWidget(Cancel);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->setSpacing(8);
    outer->addLayout(body, 1);
    outer->addLayout(buttons);
    // Fixed size, 384 x 311 at the least, more where the desktop's font needs
    // room so no caption is cut off.
    setFixedSize(sizeHint().expandedTo(QSize(384, 311)));

    // As created: no filter and no preset in use.
    for (QWidget* w : {static_cast<QWidget*>(udHFiltF), static_cast<QWidget*>(udHFiltW),
                       static_cast<QWidget*>(udLFiltF), static_cast<QWidget*>(udLFiltW),
                       static_cast<QWidget*>(lb_HFiltW), static_cast<QWidget*>(lb_LFiltW)})
        w->setEnabled(false);
    rg_prest->setItemIndex(0);
    rg_alt->setItemIndex(0);
    rg_prest->setEnabled(false);
    rg_alt->setEnabled(false);

    txtCommLine->setPlainText(context_.state.Mp3CommandLine);
    connect(txtCommLine, &QPlainTextEdit::textChanged, this,
            [this] { context_.state.Mp3CommandLine = txtCommLine->toPlainText(); });
}

// ---------------------------------------------------------------------------
// Building

QGroupBox* Tfm_set::newPage(const QString& objectName) {
    auto* page = new QGroupBox(pages_);
    page->setObjectName(objectName);
    pages_->addWidget(page);
    return page;
}

void Tfm_set::buildTree() {
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setIndentation(14);
    const int widest = TreeView1->fontMetrics().horizontalAdvance(QStringLiteral("Command Line"));
    TreeView1->setFixedWidth(std::max(104, widest + 2 * TreeView1->indentation() + 12));
    TreeView1->header()->setStretchLastSection(true);

    struct Node {
        QString caption;
        int parent; // index of the parent node, -1 for a top-level node
        QString title;
        QWidget* page;
    };
    std::vector<Node> layout = {
        {"General", -1, "Set General", gb_cdgeneral},
        {"MP3", -1, "Set MP3 General", gb_mp3general},
        {"General", 1, "Set MP3 General", gb_mp3general},
        {"VBR", 1, "Set MP3 VBR", gb_mp3vbr},
        {"Filtering", 1, "Set MP3 Filter", gb_filter},
        {"Expert", 1, "Set MP3 Expert", gb_expert},
        {"Presets", 1, "Set MP3 Presets", gb_presets},
        {"Command Line", 1, "Set MP3 Command Line", gb_command},
        {"WAV", -1, "Set WAV Format", gb_wav},
        {"WMA", -1, "Set WMA Format", gb_wma},
        {"OGG", -1, "Set OGG Format", gb_ogg},
    };
    for (const FormatPage& p : formatPages_) {
        const SettingsPage& page = OutputFormats::At(p.format).page;
        layout.push_back({page.node, -1, page.title, p.page});
    }
    layout.push_back({"Silence", -1, "Set Silence Detection", gb_silence});
    for (const Node& n : layout) {
        QTreeWidgetItem* item =
            n.parent < 0 ? new QTreeWidgetItem(TreeView1)
                         : new QTreeWidgetItem(nodes_[static_cast<std::size_t>(n.parent)]);
        item->setText(0, n.caption);
        nodes_.push_back(item);
        nodePages_.push_back(n.page);
        nodeTitles_ << n.title;
    }
    connect(TreeView1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        autoExpand(current);
        TreeView1Click();
    });
}

void Tfm_set::buildGeneralPage() {
    gb_cdgeneral = newPage(QStringLiteral("gb_cdgeneral"));
    auto* page = new QVBoxLayout(gb_cdgeneral);

    auto* choice = newGroup(QStringLiteral("Function Choice"), gb_cdgeneral);
    auto* grid = new QGridLayout(choice);
    grid->setVerticalSpacing(6);
    rb_custom = new QRadioButton(QStringLiteral("Custom"), choice);
    rb_unification = new QRadioButton(QStringLiteral("Unification"), choice);
    rb_count = new QRadioButton(QStringLiteral("Averagely split into"), choice);
    rb_time = new QRadioButton(QStringLiteral("Split every copy into "), choice);
    rb_custom->setObjectName(QStringLiteral("rb_custom"));
    rb_unification->setObjectName(QStringLiteral("rb_unification"));
    rb_count->setObjectName(QStringLiteral("rb_count"));
    rb_time->setObjectName(QStringLiteral("rb_time"));
    edt_count = new QLineEdit(choice);
    edt_time = new QLineEdit(choice);
    edt_count->setObjectName(QStringLiteral("edt_count"));
    edt_time->setObjectName(QStringLiteral("edt_time"));
    // Only digits can be typed (see the key filter); this also refuses pasted text.
    auto* digits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (QLineEdit* edit : {edt_count, edt_time}) {
        edit->setValidator(digits);
        edit->setFixedWidth(56);
        edit->setAlignment(Qt::AlignRight);
        edit->installEventFilter(this);
    }
    grid->addWidget(rb_custom, 0, 0);
    grid->addWidget(rb_unification, 0, 1, 1, 2);
    grid->addWidget(rb_count, 1, 0);
    grid->addWidget(edt_count, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("copy. "), choice), 1, 2);
    grid->addWidget(rb_time, 2, 0);
    grid->addWidget(edt_time, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Second"), choice), 2, 2);
    rb_silence = new QRadioButton(QStringLiteral("Split at silences"), choice);
    rb_silence->setObjectName(QStringLiteral("rb_silence"));
    rb_silence->setToolTip(QStringLiteral("The sound between silences; see the Silence page"));
    grid->addWidget(rb_silence, 3, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    connect(rb_silence, &QRadioButton::clicked, this, &Tfm_set::rb_silenceClick);
    connect(rb_custom, &QRadioButton::clicked, this, &Tfm_set::rb_customClick);
    connect(rb_time, &QRadioButton::clicked, this, &Tfm_set::rb_timeClick);
    connect(rb_count, &QRadioButton::clicked, this, &Tfm_set::rb_countClick);
    connect(rb_unification, &QRadioButton::clicked, this, &Tfm_set::rb_unificationClick);

    auto* fades = newGroup(QStringLiteral("Fade Settings"), gb_cdgeneral);
    auto* fadeGrid = new QGridLayout(fades);
    cb_fadein = newCheck(QStringLiteral("cb_fadein"), QStringLiteral("IN "), fades);
    cb_fadeout = newCheck(QStringLiteral("cb_fadeout"), QStringLiteral("Out "), fades);
    cb_fadeintime = newList(QStringLiteral("cb_fadeintime"), fadeTexts(), fades);
    cb_fadeouttime = newList(QStringLiteral("cb_fadeouttime"), fadeTexts(), fades);
    fadeGrid->addWidget(cb_fadein, 0, 0);
    fadeGrid->addWidget(cb_fadeintime, 0, 1);
    fadeGrid->addWidget(cb_fadeout, 1, 0);
    fadeGrid->addWidget(cb_fadeouttime, 1, 1);
    fadeGrid->setColumnStretch(2, 1);

    // How many pieces of a file are encoded side by side; automatic takes
    // one for every core.
    auto* run = newGroup(QStringLiteral("Run"), gb_cdgeneral);
    auto* runForm = new QFormLayout(run);
    ud_workers = newUpDown(QStringLiteral("ud_workers"), 0, PieceWorkers::MaxWorkers, true, run);
    ud_workers->setSpecialValueText(QStringLiteral("Automatic"));
    ud_workers->setToolTip(QStringLiteral("Automatic writes one piece for every processor core"));
    runForm->addRow(QStringLiteral("Pieces written at once: "), ud_workers);
    cb_replaygain = new QCheckBox(QStringLiteral("Write ReplayGain tags"), run);
    cb_replaygain->setObjectName(QStringLiteral("cb_replaygain"));
    cb_replaygain->setToolTip(
        QStringLiteral("Measures every piece as it is written and tags it with its track gain "
                       "and the gain of all pieces of its file as the album"));
    runForm->addRow(cb_replaygain);

    // The template pieces with titles of their own are named by; the
    // command line's --name still wins over it.
    auto* names = newGroup(QStringLiteral("Output Names"), gb_cdgeneral);
    auto* namesForm = new QFormLayout(names);
    edt_piecenames = new QLineEdit(names);
    edt_piecenames->setObjectName(QStringLiteral("edt_piecenames"));
    edt_piecenames->setPlaceholderText(OutputNames::DefaultPattern());
    edt_piecenames->setToolTip(
        QStringLiteral("Fields: {n} the piece's number, {n:02} the number with two digits, "
                       "{title}, {artist}, {album} its tags, {source} the source's name, "
                       "{begin} where it begins"));
    namesForm->addRow(QStringLiteral("Names of titled pieces: "), edt_piecenames);

    page->addWidget(choice);
    page->addWidget(fades);
    page->addWidget(run);
    page->addWidget(names);
    page->addStretch(1);
}

void Tfm_set::buildMp3GeneralPage() {
    gb_mp3general = newPage(QStringLiteral("gb_mp3general"));
    auto* page = new QVBoxLayout(gb_mp3general);
    auto* form = new QFormLayout;
    cb_mp3_frequency =
        newList(QStringLiteral("cb_mp3_frequency"), EncoderTables::FrequencyTexts(), gb_mp3general);
    cb_mp3_channel =
        newList(QStringLiteral("cb_mp3_channel"), EncoderTables::Mp3ChannelTexts(), gb_mp3general);
    cb_mp3_bitrate =
        newList(QStringLiteral("cb_mp3_bitrate"), EncoderTables::BitrateTexts(), gb_mp3general);
    ud_mp3_quality = newUpDown(QStringLiteral("ud_mp3_quality"), 0, 9, false, gb_mp3general);
    edt_mp3_quality = editOf(ud_mp3_quality, QStringLiteral("edt_mp3_quality"));
    ud_mp3_quality->setFixedWidth(48);
    form->addRow(QStringLiteral("Frequency: "), cb_mp3_frequency);
    form->addRow(QStringLiteral("Channel: "), cb_mp3_channel);
    form->addRow(QStringLiteral("Bitrate: "), cb_mp3_bitrate);
    form->addRow(QStringLiteral("Quality: "), ud_mp3_quality);

    auto* comment = newGroup(QStringLiteral("Comment:  "), gb_mp3general);
    auto* lines = new QVBoxLayout(comment);
    lines->setSpacing(1);
    for (const char* line : {"8000Hz or 8Kbps - poor quality, small file.",
                             "48000Hz or 320Kbps - good quality, big file.",
                             "Quality: 0 - best quality, low convert speed.",
                             "Quality: 9 - low quality, fast convert speed. "})
        lines->addWidget(new QLabel(QString::fromLatin1(line), comment));

    page->addLayout(form);
    page->addWidget(comment);
    page->addStretch(1);
}

void Tfm_set::buildMp3VbrPage() {
    gb_mp3vbr = newPage(QStringLiteral("gb_mp3vbr"));
    auto* page = new QVBoxLayout(gb_mp3vbr);
    auto* method = new QFormLayout;
    cb_mp3vbrcm = newList(QStringLiteral("cb_mp3vbrcm"),
                          {QStringLiteral("None"), QStringLiteral("Default"), QStringLiteral("Old"),
                           QStringLiteral("New"), QStringLiteral("MTRH")},
                          gb_mp3vbr);
    method->addRow(QStringLiteral("Coding Method:"), cb_mp3vbrcm);

    auto* values = newGroup(QStringLiteral("VBR Bitrate/Quality: "), gb_mp3vbr);
    auto* form = new QFormLayout(values);
    cb_mp3_vbr = newList(QStringLiteral("cb_mp3_vbr"), EncoderTables::BitrateTexts(), values);
    ud_mp3_vbr = newUpDown(QStringLiteral("ud_mp3_vbr"), 0, 9, false, values);
    edt_mp3_vbr = editOf(ud_mp3_vbr, QStringLiteral("edt_mp3_vbr"));
    ud_mp3_vbr->setFixedWidth(48);
    form->addRow(QStringLiteral("VBR Bitrate: "), cb_mp3_vbr);
    form->addRow(QStringLiteral("VBR Quality: "), ud_mp3_vbr);

    auto* advanced = newGroup(QStringLiteral("Advanced"), gb_mp3vbr);
    auto* checks = new QVBoxLayout(advanced);
    ck_mp3_VBR =
        newCheck(QStringLiteral("ck_mp3_VBR"), QStringLiteral("Write VBR Header"), advanced);
    ck_mp3_semb = newCheck(QStringLiteral("ck_mp3_semb"),
                           QStringLiteral("Strictly enforce minimum bitrate"), advanced);
    checks->addWidget(ck_mp3_VBR);
    checks->addWidget(ck_mp3_semb);

    page->addLayout(method);
    page->addWidget(values);
    page->addWidget(advanced);
    page->addStretch(1);
    connect(cb_mp3vbrcm, &QComboBox::currentIndexChanged, this, &Tfm_set::cb_mp3vbrcmChange);
}

void Tfm_set::buildFilterPage() {
    gb_filter = newPage(QStringLiteral("gb_filter"));
    auto* page = new QVBoxLayout(gb_filter);
    struct Side {
        const char* title;
        const char* checkName;
        const char* checkCaption;
        const char* widthCaption;
        QCheckBox*& check;
        QSpinBox*& frequency;
        QLabel*& caption;
        QSpinBox*& width;
        const char* frequencyName;
        const char* captionName;
        const char* widthName;
    };
    Side sides[] = {
        {"HighPass Filter", "chHFilt",
         "Highpass filtering frequency (in Hz):", "Width of Highpass filter (in Hz):", chHFilt,
         udHFiltF, lb_HFiltW, udHFiltW, "udHFiltF", "lb_HFiltW", "udHFiltW"},
        {"LowPass Filter", "chLFilt",
         "Lowpass filtering frequency (in Hz):", "Width of Lowpass filter (in Hz):", chLFilt,
         udLFiltF, lb_LFiltW, udLFiltW, "udLFiltF", "lb_LFiltW", "udLFiltW"},
    };
    for (Side& s : sides) {
        auto* group = newGroup(QString::fromLatin1(s.title), gb_filter);
        auto* grid = new QGridLayout(group);
        grid->setVerticalSpacing(4);
        s.check =
            newCheck(QString::fromLatin1(s.checkName), QString::fromLatin1(s.checkCaption), group);
        s.frequency =
            newUpDown(QString::fromLatin1(s.frequencyName), 0, FilterMaximum, true, group);
        s.caption = new QLabel(QString::fromLatin1(s.widthCaption), group);
        s.caption->setObjectName(QString::fromLatin1(s.captionName));
        s.width = newUpDown(QString::fromLatin1(s.widthName), 0, FilterMaximum, true, group);
        for (QSpinBox* box : {s.frequency, s.width})
            box->setFixedWidth(72);
        grid->addWidget(s.check, 0, 0);
        grid->addWidget(s.frequency, 1, 0, Qt::AlignLeft);
        grid->addWidget(s.caption, 2, 0);
        grid->addWidget(s.width, 3, 0, Qt::AlignLeft);
        page->addWidget(group);
    }
    page->addStretch(1);
    connect(chHFilt, &QCheckBox::toggled, this, &Tfm_set::chHFiltClick);
    connect(chLFilt, &QCheckBox::toggled, this, &Tfm_set::chLFiltClick);
}

void Tfm_set::buildExpertPage() {
    gb_expert = newPage(QStringLiteral("gb_expert"));
    auto* page = new QVBoxLayout(gb_expert);
    page->setSpacing(3);
    ck_crc =
        newCheck(QStringLiteral("ck_crc"), QStringLiteral("include CRC -Checksums"), gb_expert);
    ck_comply = newCheck(QStringLiteral("ck_comply"),
                         QStringLiteral("comply as much as possible to ISO MPEG spec"), gb_expert);
    ck_allow = newCheck(QStringLiteral("ck_allow"),
                        QStringLiteral("allow block types to differ between channels"), gb_expert);
    ck_short = newCheck(QStringLiteral("ck_short"), QStringLiteral("short blocks"), gb_expert);
    ck_bit = newCheck(QStringLiteral("ck_bit"), QStringLiteral("bit reservoir"), gb_expert);
    for (QCheckBox* box : {ck_crc, ck_comply, ck_allow, ck_short, ck_bit})
        page->addWidget(box);
    auto* form = new QFormLayout;
    cb_ath = newList(QStringLiteral("cb_ath"),
                     {QStringLiteral("default"), QStringLiteral("only"), QStringLiteral("disabled"),
                      QStringLiteral("only for short blocks")},
                     gb_expert);
    cb_de = newList(QStringLiteral("cb_de"),
                    {QStringLiteral("default"), QStringLiteral("0/15 microseconds"),
                     QStringLiteral("citt j.17")},
                    gb_expert);
    form->addRow(QStringLiteral("ATH Control:"), cb_ath);
    form->addRow(QStringLiteral("De-emphasis :"), cb_de);
    page->addSpacing(4);
    page->addLayout(form);
    page->addStretch(1);
}

void Tfm_set::buildPresetsPage() {
    gb_presets = newPage(QStringLiteral("gb_presets"));
    auto* page = new QVBoxLayout(gb_presets);
    ck_preset = newCheck(QStringLiteral("ck_preset"), QStringLiteral("Preset"), gb_presets);
    rg_prest =
        new RadioGroup(QString(),
                       {QStringLiteral("Phone"), QStringLiteral("SW"), QStringLiteral("AM"),
                        QStringLiteral("FM"), QStringLiteral("Voice"), QStringLiteral("Radio"),
                        QStringLiteral("Type"), QStringLiteral("Orvel"), QStringLiteral("CD"),
                        QStringLiteral("Studio"), QStringLiteral("R3Mix")},
                       4, gb_presets);
    rg_prest->setObjectName(QStringLiteral("rg_prest"));
    ck_alt = newCheck(QStringLiteral("ck_alt"), QStringLiteral("Alt-Preset"), gb_presets);
    rg_alt = new RadioGroup(QString(),
                            {QStringLiteral("Fast Standard"), QStringLiteral("Standard"),
                             QStringLiteral("Fast Extreme"), QStringLiteral("Extrene"),
                             QStringLiteral("Insane")},
                            2, gb_presets);
    rg_alt->setObjectName(QStringLiteral("rg_alt"));
    page->addWidget(ck_preset);
    page->addWidget(rg_prest);
    page->addSpacing(4);
    page->addWidget(ck_alt);
    page->addWidget(rg_alt);
    page->addStretch(1);
    connect(ck_preset, &QCheckBox::toggled, this, &Tfm_set::ck_presetClick);
    connect(ck_alt, &QCheckBox::toggled, this, &Tfm_set::ck_altClick);
}

void Tfm_set::buildCommandPage() {
    gb_command = newPage(QStringLiteral("gb_command"));
    auto* page = new QVBoxLayout(gb_command);
    txtCommLine = new QPlainTextEdit(gb_command);
    txtCommLine->setObjectName(QStringLiteral("txtCommLine"));
    txtCommLine->setTabChangesFocus(true);
    page->addWidget(txtCommLine);
}

void Tfm_set::buildWavPage() {
    gb_wav = newPage(QStringLiteral("gb_wav"));
    auto* page = new QVBoxLayout(gb_wav);
    rb_cdmode = new RadioGroup(QStringLiteral("Mode:"),
                               {QStringLiteral("CD quality WAV format."),
                                QStringLiteral("Best good quality WAV format."),
                                QStringLiteral("Custom WAV format.")},
                               1, gb_wav);
    rb_cdmode->setObjectName(QStringLiteral("rb_cdmode"));
    auto* options = newGroup(QStringLiteral("General Options:"), gb_wav);
    auto* form = new QFormLayout(options);
    cb_wav_frequency =
        newList(QStringLiteral("cb_wav_frequency"), EncoderTables::FrequencyTexts(), options);
    cb_wav_bit = newList(QStringLiteral("cb_wav_bit"),
                         {QStringLiteral("8 bps"), QStringLiteral("16 bps")}, options);
    cb_wav_channel =
        newList(QStringLiteral("cb_wav_channel"), EncoderTables::ChannelTexts(), options);
    form->addRow(QStringLiteral("Frequency:"), cb_wav_frequency);
    form->addRow(QStringLiteral("Bit Per Sample"), cb_wav_bit);
    form->addRow(QStringLiteral("Channel"), cb_wav_channel);
    page->addWidget(rb_cdmode);
    page->addWidget(options);
    page->addStretch(1);
    connect(rb_cdmode, &RadioGroup::itemIndexChanged, this, &Tfm_set::rb_cdmodeClick);
}

void Tfm_set::buildWmaPage() {
    gb_wma = newPage(QStringLiteral("gb_wma"));
    auto* page = new QVBoxLayout(gb_wma);
    auto* group = newGroup(QStringLiteral("WMA Format"), gb_wma);
    auto* inner = new QVBoxLayout(group);
    cb_wma = newList(QStringLiteral("cb_wma"), EncoderTables::WmaFormats(), group);
    cb_wma->setEditable(true);
    cb_wma->setInsertPolicy(QComboBox::NoInsert);
    cb_wma->completer()->setCompletionMode(QCompleter::PopupCompletion);
    cb_wma->completer()->setFilterMode(Qt::MatchContains);
    inner->addWidget(cb_wma);
    page->addWidget(group);
    page->addStretch(1);
    // Text that names no profile goes back to the chosen one when the field is left.
    connect(cb_wma->lineEdit(), &QLineEdit::editingFinished, this, &Tfm_set::fixWmaText);
}

void Tfm_set::buildOggPage() {
    gb_ogg = newPage(QStringLiteral("gb_ogg"));
    auto* page = new QVBoxLayout(gb_ogg);
    auto* general = newGroup(QStringLiteral("General"), gb_ogg);
    auto* grid = new QGridLayout(general);
    grid->setVerticalSpacing(4);
    cb_ogg_fre = newList(QStringLiteral("cb_ogg_fre"), EncoderTables::FrequencyTexts(), general);
    cb_ogg_channel =
        newList(QStringLiteral("cb_ogg_channel"), EncoderTables::ChannelTexts(), general);
    cb_ogg_bitrate =
        newList(QStringLiteral("cb_ogg_bitrate"), EncoderTables::BitrateTexts(), general);
    ck_oggvbr = newCheck(QStringLiteral("ck_oggvbr"), QStringLiteral("VBR"), general);
    ck_oggquality = newCheck(QStringLiteral("ck_oggquality"), QStringLiteral("Quality"), general);
    grid->addWidget(new QLabel(QStringLiteral("Frequency: "), general), 0, 0);
    grid->addWidget(cb_ogg_fre, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Channel: "), general), 1, 0);
    grid->addWidget(cb_ogg_channel, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Bitrate: "), general), 2, 0);
    grid->addWidget(cb_ogg_bitrate, 2, 1);
    auto* modes = new QHBoxLayout;
    modes->addWidget(ck_oggvbr);
    modes->addSpacing(12);
    modes->addWidget(ck_oggquality);
    modes->addStretch(1);
    grid->addLayout(modes, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* ranges = newGroup(QStringLiteral("VBR/Quality:"), gb_ogg);
    auto* form = new QGridLayout(ranges);
    form->setVerticalSpacing(4);
    cb_ogg_minbit = newList(QStringLiteral("cb_ogg_minbit"), EncoderTables::BitrateTexts(), ranges);
    cb_ogg_maxbit = newList(QStringLiteral("cb_ogg_maxbit"), EncoderTables::BitrateTexts(), ranges);
    ud_ogg_quality = newUpDown(QStringLiteral("ud_ogg_quality"), 0, 1000, true, ranges);
    edt_ogg_quality = editOf(ud_ogg_quality, QStringLiteral("edt_ogg_quality"));
    edt_ogg_quality->setMaxLength(5);
    ud_ogg_quality->setFixedWidth(64);
    ud_ogg_quality->installEventFilter(this);
    edt_ogg_quality->installEventFilter(this);
    form->addWidget(new QLabel(QStringLiteral("Min Bitrate: "), ranges), 0, 0);
    form->addWidget(cb_ogg_minbit, 0, 1);
    form->addWidget(new QLabel(QStringLiteral("Max Bitrate: "), ranges), 1, 0);
    form->addWidget(cb_ogg_maxbit, 1, 1);
    form->addWidget(new QLabel(QStringLiteral("Quality: "), ranges), 2, 0);
    form->addWidget(ud_ogg_quality, 2, 1, Qt::AlignLeft);
    form->setColumnStretch(1, 1);

    // Copying is on unless turned off; the page says plainly that copied
    // pieces are not encoded with the settings above.
    auto* copy = newGroup(QStringLiteral("Cutting:"), gb_ogg);
    auto* copyLayout = new QVBoxLayout(copy);
    copyLayout->setSpacing(2);
    ck_oggcopy = newCheck(QStringLiteral("ck_oggcopy"),
                          QStringLiteral("Copy OGG pieces without re-encoding"), copy);
    lb_oggcopy = new QLabel(OggCopyExplanation, copy);
    lb_oggcopy->setObjectName(QStringLiteral("lb_oggcopy"));
    lb_oggcopy->setWordWrap(true);
    ck_oggcopy->setToolTip(OggCopyExplanation);
    copyLayout->addWidget(ck_oggcopy);
    copyLayout->addWidget(lb_oggcopy);

    page->addWidget(general);
    page->addWidget(ranges);
    page->addWidget(copy);
    page->addStretch(1);
    connect(ck_oggvbr, &QCheckBox::toggled, this, &Tfm_set::ck_oggvbrClick);
    connect(ck_oggquality, &QCheckBox::toggled, this, &Tfm_set::ck_oggqualityClick);
    for (QComboBox* list :
         {cb_ogg_fre, cb_ogg_channel, cb_ogg_bitrate, cb_ogg_minbit, cb_ogg_maxbit})
        connect(list, &QComboBox::currentIndexChanged, this, &Tfm_set::oggSettingChanged);
    connect(ud_ogg_quality, &QSpinBox::valueChanged, this, &Tfm_set::oggSettingChanged);
    for (QCheckBox* box : {ck_oggvbr, ck_oggquality})
        connect(box, &QCheckBox::toggled, this, &Tfm_set::oggSettingChanged);
    connect(ck_oggcopy, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            lb_oggcopy->setText(OggCopyExplanation);
    });
}

void Tfm_set::buildFormatPages() {
    for (int index = 0; index < OutputFormats::Count(); ++index) {
        const OutputFormat& format = OutputFormats::At(index);
        if (format.page.fields.empty())
            continue;
        FormatPage built;
        built.format = index;
        built.page = newPage(QStringLiteral("gb_") + format.id);
        auto* page = new QVBoxLayout(built.page);
        auto* group = newGroup(format.page.group, built.page);
        auto* form = new QFormLayout(group);
        for (const SettingsField& field : format.page.fields) {
            QWidget* control = nullptr;
            switch (field.kind) {
            case SettingsField::Kind::Number: {
                QSpinBox* box = newUpDown(field.objectName, field.low, field.high, true, group);
                box->setSuffix(field.suffix);
                form->addRow(field.caption, box);
                control = box;
                break;
            }
            case SettingsField::Kind::Choice:
                control = newList(field.objectName, field.choices, group);
                form->addRow(field.caption, control);
                break;
            case SettingsField::Kind::Flag: {
                QCheckBox* box = newCheck(field.objectName, field.caption, group);
                connect(box, &QCheckBox::toggled, this, [this] { updateFormatPageStates(); });
                form->addRow(box);
                control = box;
                break;
            }
            }
            built.controls.push_back({field, control});
        }
        if (!format.page.note.isEmpty()) {
            auto* note = new QLabel(format.page.note, group);
            note->setObjectName(QStringLiteral("lb_") + format.id);
            note->setWordWrap(true);
            form->addRow(note);
        }
        page->addWidget(group);
        page->addStretch(1);
        formatPages_.push_back(std::move(built));
    }
    // The FLAC and Opus pages' controls under their form names.
    gb_flac = findChild<QGroupBox*>(QStringLiteral("gb_flac"));
    ud_flac_level = findChild<QSpinBox*>(QStringLiteral("ud_flac_level"));
    gb_opus = findChild<QGroupBox*>(QStringLiteral("gb_opus"));
    ud_opus_bitrate = findChild<QSpinBox*>(QStringLiteral("ud_opus_bitrate"));
    ud_opus_complexity = findChild<QSpinBox*>(QStringLiteral("ud_opus_complexity"));
    cb_opus_application = findChild<QComboBox*>(QStringLiteral("cb_opus_application"));
    lb_opus_rate = findChild<QLabel*>(QStringLiteral("lb_opus"));
}

QGroupBox* Tfm_set::formatPage(int index) const {
    for (const FormatPage& p : formatPages_)
        if (p.format == index)
            return p.page;
    return nullptr;
}

void Tfm_set::loadFormatPages(const SettingsFile& s) {
    for (FormatPage& p : formatPages_) {
        for (FieldControl& c : p.controls) {
            const SettingsField& f = c.field;
            switch (f.kind) {
            case SettingsField::Kind::Number:
                static_cast<QSpinBox*>(c.control)->setValue(f.key.valueWithin(s, f.low, f.high));
                break;
            case SettingsField::Kind::Choice:
                setPosition(static_cast<QComboBox*>(c.control), f.key.dialogValue(s),
                            f.key.dialogDefault());
                break;
            case SettingsField::Kind::Flag:
                static_cast<QCheckBox*>(c.control)->setChecked(f.key.dialogFlag(s));
                break;
            }
        }
    }
    updateFormatPageStates();
}

void Tfm_set::saveFormatPages(SettingsFile& s) {
    for (const FormatPage& p : formatPages_) {
        for (const FieldControl& c : p.controls) {
            const SettingsField& f = c.field;
            switch (f.kind) {
            case SettingsField::Kind::Number:
                f.key.write(s, static_cast<QSpinBox*>(c.control)->value());
                break;
            case SettingsField::Kind::Choice:
                f.key.write(s, position(static_cast<QComboBox*>(c.control), f.key.dialogDefault()));
                break;
            case SettingsField::Kind::Flag:
                f.key.writeFlag(s, static_cast<QCheckBox*>(c.control)->isChecked());
                break;
            }
        }
    }
}

void Tfm_set::defaultFormatPages() {
    for (FormatPage& p : formatPages_) {
        for (FieldControl& c : p.controls) {
            const SettingsField& f = c.field;
            switch (f.kind) {
            case SettingsField::Kind::Number:
                static_cast<QSpinBox*>(c.control)->setValue(f.key.dialogDefault());
                break;
            case SettingsField::Kind::Choice:
                static_cast<QComboBox*>(c.control)->setCurrentIndex(f.key.dialogDefault());
                break;
            case SettingsField::Kind::Flag:
                static_cast<QCheckBox*>(c.control)->setChecked(f.key.dialogDefault() != 0);
                break;
            }
        }
    }
    updateFormatPageStates();
}

void Tfm_set::updateFormatPageStates() {
    for (FormatPage& p : formatPages_) {
        for (FieldControl& c : p.controls) {
            const int flag = c.field.dependsOn;
            if (flag < 0 || flag >= static_cast<int>(p.controls.size()))
                continue;
            const auto* box =
                qobject_cast<const QCheckBox*>(p.controls[static_cast<std::size_t>(flag)].control);
            if (box)
                c.control->setEnabled(box->isChecked() == c.field.whileOn);
        }
    }
}

void Tfm_set::oggSettingChanged() {
    if (loading_ || !ck_oggcopy->isChecked())
        return;
    ck_oggcopy->setChecked(false);
    lb_oggcopy->setText(OggCopyOffExplanation);
}

void Tfm_set::buildButtons() {
    Ok = new QPushButton(QStringLiteral("Ok"), this);
    Button2 = new QPushButton(QStringLiteral("Default"), this);
    Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    Ok->setObjectName(QStringLiteral("Ok"));
    Button2->setObjectName(QStringLiteral("Button2"));
    Cancel->setObjectName(QStringLiteral("Cancel"));
    Ok->setDefault(true);
    Button2->setAutoDefault(false);
    Cancel->setAutoDefault(false);
    connect(Ok, &QPushButton::clicked, this, [this] { runGuarded(&Tfm_set::OkClick); });
    connect(Button2, &QPushButton::clicked, this, &Tfm_set::Button2Click);
    connect(Cancel, &QPushButton::clicked, this, &Tfm_set::CancelClick);
}

// ---------------------------------------------------------------------------
// Pages and the tree

int Tfm_set::nodeIndex(const QTreeWidgetItem* item) const {
    const auto it = std::find(nodes_.begin(), nodes_.end(), item);
    return it == nodes_.end() ? -1 : static_cast<int>(it - nodes_.begin());
}

QTreeWidgetItem* Tfm_set::node(int index) const {
    return inRange(index, nodes_.size()) ? nodes_[static_cast<std::size_t>(index)] : nullptr;
}

QWidget* Tfm_set::currentPage() const {
    return pages_->currentWidget();
}

void Tfm_set::ShowSettingsPage(int i) {
    if (!inRange(i, nodes_.size()))
        return;
    lab->setText(nodeTitles_[i]);
    pages_->setCurrentWidget(nodePages_[static_cast<std::size_t>(i)]);
}

void Tfm_set::TreeView1Click() {
    ShowSettingsPage(nodeIndex(TreeView1->currentItem()));
}

// The selected node's branch opens and any other branch closes, so the tree
// never shows more than the user is working in.
void Tfm_set::autoExpand(QTreeWidgetItem* current) {
    if (!autoExpand_ || !current)
        return;
    QTreeWidgetItem* top = current;
    while (top->parent())
        top = top->parent();
    for (int i = 0; i < TreeView1->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = TreeView1->topLevelItem(i);
        if (item != top)
            item->setExpanded(false);
    }
    top->setExpanded(true);
}

// ---------------------------------------------------------------------------
// Showing

void Tfm_set::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

SettingsFile& Tfm_set::settingsFile() {
    return context_.openSettings();
}

void Tfm_set::FormShow() {
    const QRect mainFrame = context_.window.frameGeometry();
    move(mainFrame.left() + 10, mainFrame.top() + 10);
    if (!shownBefore_) {
        shownBefore_ = true;
        const QSize own = frameGeometry().size();
        move(std::max(0, mainFrame.left() + (mainFrame.width() - own.width()) / 2),
             std::max(0, mainFrame.top() + (mainFrame.height() - own.height()) / 2));
    }
    autoExpand_ = true;

    const AppState& state = context_.state;
    QRadioButton* choices[] = {rb_custom, rb_time, rb_count, rb_unification, rb_silence};
    if (state.FunctionChoice >= 0 && state.FunctionChoice < 5) {
        choices[state.FunctionChoice]->setChecked(true);
    } else {
        for (QRadioButton* rb : choices) {
            rb->setAutoExclusive(false);
            rb->setChecked(false);
            rb->setAutoExclusive(true);
        }
    }
    context_.setOutputFolderText(state.OutputDir);
    edt_time->setText(QString::number(state.SplitSeconds));
    edt_count->setText(QString::number(state.SplitCount));
    cb_fadein->setChecked(state.FadeIn);
    cb_fadeout->setChecked(state.FadeOut);
    setPosition(cb_fadeintime, state.FadeInSeconds - 1, 4);
    setPosition(cb_fadeouttime, state.FadeOutSeconds - 1, 4);

    loading_ = true;
    loadEncoderControls(settingsFile());
    loading_ = false;
    loadSilenceControls();
    ud_workers->setValue(PieceWorkers::Asked(settingsFile()));
    cb_replaygain->setChecked(PieceExtras::ReplayGainChosen(settingsFile()));
    edt_piecenames->setText(OutputNames::Pattern(settingsFile()));

    cb_mp3vbrcmChange();
    rb_cdmodeClick();
    chHFiltClick();
    chLFiltClick();
    updatePresetStates();
    ck_oggvbrClick();
    ck_oggqualityClick();

    if (TreeView1->selectedItems().isEmpty())
        TreeView1->setCurrentItem(nodes_.front());
    autoExpand(TreeView1->currentItem());
    TreeView1Click();
}

void Tfm_set::loadEncoderControls(const SettingsFile& s) {
    setPosition(cb_mp3_bitrate, Mp3Bitrate.dialogValue(s), Mp3Bitrate.dialogDefault());
    setPosition(cb_mp3_channel, Mp3Channel.dialogValue(s), Mp3Channel.dialogDefault());
    setPosition(cb_mp3_frequency, Mp3Frequency.dialogValue(s), Mp3Frequency.dialogDefault());
    ud_mp3_quality->setValue(Mp3Quality.dialogValue(s));

    setPosition(cb_mp3vbrcm, VbrCodingMethod.dialogValue(s), VbrCodingMethod.dialogDefault());
    setPosition(cb_mp3_vbr, VbrBitrate.dialogValue(s), VbrBitrate.dialogDefault());
    ud_mp3_vbr->setValue(VbrQuality.dialogValue(s));
    ck_mp3_VBR->setChecked(VbrHeader.dialogFlag(s));
    ck_mp3_semb->setChecked(VbrEnforceMin.dialogFlag(s));

    chHFilt->setChecked(HighpassOn.dialogFlag(s));
    chLFilt->setChecked(LowpassOn.dialogFlag(s));
    udHFiltF->setValue(HighpassFrequency.dialogValue(s));
    udHFiltW->setValue(HighpassWidth.dialogValue(s));
    udLFiltF->setValue(LowpassFrequency.dialogValue(s));
    udLFiltW->setValue(LowpassWidth.dialogValue(s));

    ck_bit->setChecked(BitReservoir.dialogFlag(s));
    ck_short->setChecked(ShortBlocks.dialogFlag(s));
    ck_allow->setChecked(AllowDiffBlocks.dialogFlag(s));
    ck_comply->setChecked(StrictIso.dialogFlag(s));
    ck_crc->setChecked(Crc.dialogFlag(s));
    setPosition(cb_ath, AthMode.dialogValue(s), AthMode.dialogDefault());
    setPosition(cb_de, DeEmphasis.dialogValue(s), DeEmphasis.dialogDefault());

    ck_preset->setChecked(PresetOn.dialogFlag(s));
    ck_alt->setChecked(AltPresetOn.dialogFlag(s));
    rg_prest->setItemIndex(Preset.dialogValue(s));
    rg_alt->setItemIndex(AltPreset.dialogValue(s));

    rb_cdmode->setItemIndex(WavMode.dialogValue(s));
    setPosition(cb_wav_bit, WavBits.dialogValue(s), WavBits.dialogDefault());
    setPosition(cb_wav_channel, WavChannel.dialogValue(s), WavChannel.dialogDefault());
    setPosition(cb_wav_frequency, WavFrequency.dialogValue(s), WavFrequency.dialogDefault());

    setPosition(cb_wma, WmaFormat.dialogValue(s), WmaFormat.dialogDefault());

    setPosition(cb_ogg_channel, OggChannel.dialogValue(s), OggChannel.dialogDefault());
    setPosition(cb_ogg_fre, OggFrequency.dialogValue(s), OggFrequency.dialogDefault());
    setPosition(cb_ogg_bitrate, OggBitrate.dialogValue(s), OggBitrate.dialogDefault());
    setPosition(cb_ogg_maxbit, OggMaxBitrate.dialogValue(s), OggMaxBitrate.dialogDefault());
    setPosition(cb_ogg_minbit, OggMinBitrate.dialogValue(s), OggMinBitrate.dialogDefault());
    ud_ogg_quality->setValue(OggQuality.dialogValue(s));
    ck_oggvbr->setChecked(OggVbr.dialogFlag(s));
    ck_oggquality->setChecked(OggQualityMode.dialogFlag(s));
    ck_oggcopy->setChecked(CopyOggPieces(s));
    lb_oggcopy->setText(OggCopyExplanation);

    loadFormatPages(s);
}

// ---------------------------------------------------------------------------
// Ok, Default, Cancel

void Tfm_set::OkClick() {
    IAudioFile2& writer = context_.writer;
    if (!ck_oggquality->isChecked() &&
        !writer.CheckOggFormat(
            valueAt(FrequencyTable, cb_ogg_fre->currentIndex(), OggFrequency.dialogDefault()),
            position(cb_ogg_channel, OggChannel.dialogDefault()) + 1,
            valueAt(BitrateTable, cb_ogg_bitrate->currentIndex(), OggBitrate.dialogDefault()),
            valueAt(BitrateTable, cb_ogg_minbit->currentIndex(), OggMinBitrate.dialogDefault()),
            valueAt(BitrateTable, cb_ogg_maxbit->currentIndex(), OggMaxBitrate.dialogDefault()))) {
        context_.desktop.warning(OggNotSupported);
        return;
    }
    if (!writer.CheckMp3Format(
            valueAt(FrequencyTable, cb_mp3_frequency->currentIndex(), Mp3Frequency.dialogDefault()),
            valueAt(BitrateTable, cb_mp3_bitrate->currentIndex(), Mp3Bitrate.dialogDefault()),
            position(cb_mp3_channel, Mp3Channel.dialogDefault()) + 1)) {
        context_.desktop.warning(Mp3NotSupported);
        return;
    }
    const QString nameFault = OutputNames::PatternFault(edt_piecenames->text());
    if (!nameFault.isEmpty()) {
        context_.desktop.warning(nameFault);
        return;
    }

    AppState& state = context_.state;
    const QString folder = context_.outputFolderText();
    state.OutputDir =
        folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    // The fields' own leaving rules first: Ok can be reached with Enter while
    // the caret is still in a field, and a zero here would divide by zero later.
    edt_timeExit();
    state.SplitSeconds = toInteger(edt_time->text());
    edt_countExit();
    state.SplitCount = toInteger(edt_count->text());

    SettingsFile& settings = settingsFile();
    settings.WriteString(QStringLiteral("Main"), QStringLiteral("Path"), folder);

    state.FadeIn = cb_fadein->isChecked();
    state.FadeOut = cb_fadeout->isChecked();
    state.FadeInSeconds = position(cb_fadeintime, 4) + 1;
    state.FadeOutSeconds = position(cb_fadeouttime, 4) + 1;

    saveEncoderControls(settings);
    saveSilenceControls();
    PieceWorkers::SetAllowed(settings, ud_workers->value());
    PieceExtras::SetReplayGain(settings, cb_replaygain->isChecked());
    OutputNames::SetPattern(settings, edt_piecenames->text());

    context_.adoptSelectedFile();
    accept();
}

void Tfm_set::saveEncoderControls(SettingsFile& s) {
    Mp3Bitrate.write(s, position(cb_mp3_bitrate, Mp3Bitrate.dialogDefault()));
    Mp3Channel.write(s, position(cb_mp3_channel, Mp3Channel.dialogDefault()));
    Mp3Frequency.write(s, position(cb_mp3_frequency, Mp3Frequency.dialogDefault()));
    Mp3Quality.write(s, ud_mp3_quality->value());

    VbrCodingMethod.write(s, position(cb_mp3vbrcm, VbrCodingMethod.dialogDefault()));
    VbrBitrate.write(s, position(cb_mp3_vbr, VbrBitrate.dialogDefault()));
    VbrQuality.write(s, ud_mp3_vbr->value());
    VbrHeader.writeFlag(s, ck_mp3_VBR->isChecked());
    VbrEnforceMin.writeFlag(s, ck_mp3_semb->isChecked());

    HighpassOn.writeFlag(s, chHFilt->isChecked());
    LowpassOn.writeFlag(s, chLFilt->isChecked());
    HighpassFrequency.write(s, udHFiltF->value());
    HighpassWidth.write(s, udHFiltW->value());
    LowpassFrequency.write(s, udLFiltF->value());
    LowpassWidth.write(s, udLFiltW->value());

    BitReservoir.writeFlag(s, ck_bit->isChecked());
    ShortBlocks.writeFlag(s, ck_short->isChecked());
    AllowDiffBlocks.writeFlag(s, ck_allow->isChecked());
    StrictIso.writeFlag(s, ck_comply->isChecked());
    Crc.writeFlag(s, ck_crc->isChecked());
    AthMode.write(s, position(cb_ath, AthMode.dialogDefault()));
    DeEmphasis.write(s, position(cb_de, DeEmphasis.dialogDefault()));

    PresetOn.writeFlag(s, ck_preset->isChecked());
    AltPresetOn.writeFlag(s, ck_alt->isChecked());
    // A group left without a choice by a negative stored value saves its default.
    Preset.write(s, std::max(rg_prest->ItemIndex(), Preset.dialogDefault()));
    AltPreset.write(s, std::max(rg_alt->ItemIndex(), AltPreset.dialogDefault()));

    WavMode.write(s, std::max(rb_cdmode->ItemIndex(), WavMode.dialogDefault()));
    WavBits.write(s, position(cb_wav_bit, WavBits.dialogDefault()));
    WavChannel.write(s, position(cb_wav_channel, WavChannel.dialogDefault()));
    WavFrequency.write(s, position(cb_wav_frequency, WavFrequency.dialogDefault()));

    WmaFormat.write(s, wmaPosition());

    OggChannel.write(s, position(cb_ogg_channel, OggChannel.dialogDefault()));
    OggFrequency.write(s, position(cb_ogg_fre, OggFrequency.dialogDefault()));
    OggBitrate.write(s, position(cb_ogg_bitrate, OggBitrate.dialogDefault()));
    OggMaxBitrate.write(s, position(cb_ogg_maxbit, OggMaxBitrate.dialogDefault()));
    OggMinBitrate.write(s, position(cb_ogg_minbit, OggMinBitrate.dialogDefault()));
    OggQuality.write(s, ud_ogg_quality->value());
    OggVbr.writeFlag(s, ck_oggvbr->isChecked());
    OggQualityMode.writeFlag(s, ck_oggquality->isChecked());
    OggCopy.writeFlag(s, ck_oggcopy->isChecked());

    saveFormatPages(s);
}

// The chosen entry while the text still names it (the list holds one text
// twice), else the first entry with that text, else the entry last chosen:
// typed text that names no profile never reaches the file.
int Tfm_set::wmaPosition() const {
    const QString text = cb_wma->currentText().trimmed();
    const int chosen = cb_wma->currentIndex();
    if (chosen >= 0 && cb_wma->itemText(chosen).compare(text, Qt::CaseInsensitive) == 0)
        return chosen;
    for (int i = 0; i < cb_wma->count(); ++i) {
        if (cb_wma->itemText(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    }
    return chosen >= 0 ? chosen : WmaFormat.dialogDefault();
}

void Tfm_set::fixWmaText() {
    const int pos = wmaPosition();
    if (cb_wma->currentIndex() != pos)
        cb_wma->setCurrentIndex(pos);
    if (cb_wma->currentText() != cb_wma->itemText(pos))
        cb_wma->setEditText(cb_wma->itemText(pos));
}

void Tfm_set::Button2Click() {
    loading_ = true;
    ud_threshold->setValue(-40);
    ud_minsilence->setValue(1.0);
    ud_minpiece->setValue(5);
    ck_snap->setChecked(false);
    ud_snap->setValue(10);
    ck_snapmarks->setChecked(false);

    cb_mp3_bitrate->setCurrentIndex(9);
    cb_mp3_channel->setCurrentIndex(1);
    cb_mp3_frequency->setCurrentIndex(7);
    ud_mp3_quality->setValue(5);

    cb_mp3vbrcm->setCurrentIndex(0);
    cb_mp3_vbr->setCurrentIndex(9);
    ud_mp3_vbr->setValue(5);
    ck_mp3_VBR->setChecked(true);
    ck_mp3_semb->setChecked(false);

    chHFilt->setChecked(false);
    chLFilt->setChecked(false);
    udHFiltF->setValue(30);
    udHFiltW->setValue(5);
    udLFiltF->setValue(15160);
    udLFiltW->setValue(750);

    ck_bit->setChecked(true);
    ck_short->setChecked(true);
    ck_allow->setChecked(false);
    ck_comply->setChecked(false);
    ck_crc->setChecked(false);
    cb_ath->setCurrentIndex(0);
    cb_de->setCurrentIndex(0);

    ck_preset->setChecked(false);
    ck_alt->setChecked(false);
    rg_prest->setItemIndex(0);
    rg_alt->setItemIndex(0);

    rb_cdmode->setItemIndex(0);
    cb_wav_bit->setCurrentIndex(1);
    cb_wav_channel->setCurrentIndex(1);
    cb_wav_frequency->setCurrentIndex(8);

    cb_wma->setCurrentIndex(9);
    cb_wma->setEditText(cb_wma->itemText(9));

    cb_ogg_channel->setCurrentIndex(1);
    cb_ogg_fre->setCurrentIndex(7);
    cb_ogg_bitrate->setCurrentIndex(9);
    cb_ogg_minbit->setCurrentIndex(9);
    cb_ogg_maxbit->setCurrentIndex(9);
    ud_ogg_quality->setValue(300);
    ck_oggvbr->setChecked(false);
    ck_oggquality->setChecked(false);
    ck_oggcopy->setChecked(true);

    defaultFormatPages();
    loading_ = false;
}

void Tfm_set::CancelClick() {
    reject();
}

// ---------------------------------------------------------------------------
// General page: the choice takes effect at once, so the output length shown
// follows it at once.

void Tfm_set::rb_customClick() {
    context_.state.FunctionChoice = FunctionCustom;
    context_.showTotalTime();
}

void Tfm_set::rb_timeClick() {
    context_.state.FunctionChoice = FunctionSplitByTime;
    context_.showTotalTime();
}

void Tfm_set::rb_countClick() {
    context_.state.FunctionChoice = FunctionSplitByCount;
    context_.showTotalTime();
}

void Tfm_set::rb_unificationClick() {
    context_.state.FunctionChoice = FunctionUnification;
    context_.showTotalTime();
}

void Tfm_set::rb_silenceClick() {
    context_.state.FunctionChoice = FunctionSplitAtSilences;
    context_.showTotalTime();
}

namespace {
// A typed non-digit deletes the character before the caret instead.
void digitsOnly(QChar& key) {
    if (key < QLatin1Char('0') || key > QLatin1Char('9'))
        key = QChar(8);
}
} // namespace

void Tfm_set::edt_timeKeyPress(QChar& key) {
    digitsOnly(key);
}

void Tfm_set::edt_countKeyPress(QChar& key) {
    digitsOnly(key);
}

void Tfm_set::edt_ogg_qualityKeyPress(QChar& key) {
    digitsOnly(key);
}

void Tfm_set::edt_timeExit() {
    const QString text = edt_time->text();
    if (text.isEmpty() || toInteger(text) < 1)
        edt_time->setText(QStringLiteral("60"));
}

void Tfm_set::edt_countExit() {
    const QString text = edt_count->text();
    if (text.isEmpty() || toInteger(text) < 1)
        edt_count->setText(QStringLiteral("1"));
}

void Tfm_set::runGuarded(void (Tfm_set::*handler)()) {
    try {
        (this->*handler)();
    } catch (const Error& e) {
        context_.desktop.showError(e.message());
    }
}

bool Tfm_set::eventFilter(QObject* watched, QEvent* event) {
    const bool time = watched == edt_time;
    const bool count = watched == edt_count;
    const bool quality = watched == ud_ogg_quality || watched == edt_ogg_quality;
    if (event->type() == QEvent::KeyPress && (time || count || quality)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        // Control keys and shortcuts (Backspace, Enter, Ctrl+A, Ctrl+V) keep
        // their meaning; the validator refuses pasted non-digits.
        const bool shortcut =
            key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (!shortcut && text.size() == 1 && text[0].isPrint()) {
            QChar c = text[0];
            if (time)
                edt_timeKeyPress(c);
            else if (count)
                edt_countKeyPress(c);
            else
                edt_ogg_qualityKeyPress(c);
            if (c != text[0]) {
                QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier,
                                    QString(QChar(8)));
                QCoreApplication::sendEvent(watched, &backspace);
                return true;
            }
        }
    } else if (event->type() == QEvent::FocusOut && (time || count)) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Only a move to another control of this dialog counts as leaving.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            runGuarded(time ? &Tfm_set::edt_timeExit : &Tfm_set::edt_countExit);
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Enabled states

void Tfm_set::cb_mp3vbrcmChange() {
    const bool vbr = cb_mp3vbrcm->currentIndex() != 0;
    for (QWidget* w : {static_cast<QWidget*>(cb_mp3_vbr), static_cast<QWidget*>(edt_mp3_vbr),
                       static_cast<QWidget*>(ud_mp3_vbr), static_cast<QWidget*>(ck_mp3_VBR),
                       static_cast<QWidget*>(ck_mp3_semb)})
        w->setEnabled(vbr);
}

void Tfm_set::rb_cdmodeClick() {
    const bool custom = rb_cdmode->ItemIndex() == 2;
    cb_wav_frequency->setEnabled(custom);
    cb_wav_bit->setEnabled(custom);
    cb_wav_channel->setEnabled(custom);
}

void Tfm_set::chHFiltClick() {
    const bool on = chHFilt->isChecked();
    udHFiltF->setEnabled(on);
    udHFiltW->setEnabled(on);
    lb_HFiltW->setEnabled(on);
}

void Tfm_set::chLFiltClick() {
    const bool on = chLFilt->isChecked();
    udLFiltF->setEnabled(on);
    udLFiltW->setEnabled(on);
    lb_LFiltW->setEnabled(on);
}

void Tfm_set::ck_presetClick() {
    updatePresetStates();
}

void Tfm_set::ck_altClick() {
    updatePresetStates();
}

// "Preset" and "Alt-Preset" exclude each other: while one is checked the other
// cannot be clicked. A file that turns both on (by hand) leaves both boxes
// clickable, so the user can undo it.
void Tfm_set::updatePresetStates() {
    const bool preset = ck_preset->isChecked();
    const bool alt = ck_alt->isChecked();
    rg_prest->setEnabled(preset);
    rg_alt->setEnabled(alt);
    ck_alt->setEnabled(!preset || alt);
    ck_preset->setEnabled(!alt || preset);
}

// OGG "VBR" and "Quality" exclude each other the same way; the bitrate list
// stays usable in every mode.
void Tfm_set::ck_oggvbrClick() {
    const bool vbr = ck_oggvbr->isChecked();
    const bool quality = ck_oggquality->isChecked();
    ck_oggquality->setEnabled(!vbr || quality);
    cb_ogg_minbit->setEnabled(vbr);
    cb_ogg_maxbit->setEnabled(vbr);
}

void Tfm_set::ck_oggqualityClick() {
    const bool vbr = ck_oggvbr->isChecked();
    const bool quality = ck_oggquality->isChecked();
    ck_oggvbr->setEnabled(!quality || vbr);
    edt_ogg_quality->setEnabled(quality);
    ud_ogg_quality->setEnabled(quality);
}

// ---------------------------------------------------------------------------
// Silence page: what counts as a silence, and where cuts may move to one. The
// values live with the function choice and are saved when the window closes.

void Tfm_set::buildSilencePage() {
    gb_silence = newPage(QStringLiteral("gb_silence"));
    auto* page = new QVBoxLayout(gb_silence);

    auto* detect = newGroup(QStringLiteral("A silence is"), gb_silence);
    auto* form = new QFormLayout(detect);
    ud_threshold = newUpDown(QStringLiteral("ud_threshold"), -100, -1, true, detect);
    ud_threshold->setSuffix(QStringLiteral(" dB"));
    ud_minsilence = new QDoubleSpinBox(detect);
    ud_minsilence->setObjectName(QStringLiteral("ud_minsilence"));
    ud_minsilence->setRange(0.1, 600.0);
    ud_minsilence->setDecimals(1);
    ud_minsilence->setSingleStep(0.1);
    ud_minsilence->setSuffix(QStringLiteral(" s"));
    form->addRow(QStringLiteral("Quieter than: "), ud_threshold);
    form->addRow(QStringLiteral("For at least: "), ud_minsilence);

    auto* cuts = newGroup(QStringLiteral("Cuts"), gb_silence);
    auto* grid = new QGridLayout(cuts);
    ud_minpiece = newUpDown(QStringLiteral("ud_minpiece"), 0, 86400, true, cuts);
    ud_minpiece->setSuffix(QStringLiteral(" s"));
    ud_minpiece->setToolTip(QStringLiteral("Shorter pieces join the next one"));
    ck_snap = newCheck(QStringLiteral("ck_snap"),
                       QStringLiteral("Split every copy: move each cut to the\n"
                                      "nearest silence within \u00b1"),
                       cuts);
    ud_snap = newUpDown(QStringLiteral("ud_snap"), 1, 3600, true, cuts);
    ud_snap->setSuffix(QStringLiteral(" s"));
    ck_snapmarks = newCheck(QStringLiteral("ck_snapmarks"),
                            QStringLiteral("Begin and End snap to the nearest silence edge"), cuts);
    grid->addWidget(new QLabel(QStringLiteral("Split at silences: pieces of at least "), cuts), 0,
                    0);
    grid->addWidget(ud_minpiece, 0, 1);
    grid->addWidget(ck_snap, 1, 0);
    grid->addWidget(ud_snap, 1, 1);
    grid->addWidget(ck_snapmarks, 2, 0, 1, 2);
    grid->setColumnStretch(2, 1);
    connect(ck_snap, &QCheckBox::toggled, ud_snap, &QWidget::setEnabled);

    page->addWidget(detect);
    page->addWidget(cuts);
    page->addStretch(1);
}

void Tfm_set::loadSilenceControls() {
    const AppState& state = context_.state;
    ud_threshold->setValue(state.SilenceThreshold);
    ud_minsilence->setValue(state.SilenceMinimumMs / 1000.0);
    ud_minpiece->setValue(state.SilenceMinimumPiece);
    ck_snap->setChecked(state.SnapToSilence);
    ud_snap->setValue(state.SnapSeconds);
    ud_snap->setEnabled(state.SnapToSilence);
    ck_snapmarks->setChecked(state.SnapMarks);
}

void Tfm_set::saveSilenceControls() {
    AppState& state = context_.state;
    state.SilenceThreshold = ud_threshold->value();
    state.SilenceMinimumMs =
        static_cast<std::int32_t>(std::lround(ud_minsilence->value() * 1000.0));
    state.SilenceMinimumPiece = ud_minpiece->value();
    state.SnapToSilence = ck_snap->isChecked();
    state.SnapSeconds = ud_snap->value();
    state.SnapMarks = ck_snapmarks->isChecked();
}
