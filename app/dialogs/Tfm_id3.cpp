#include "app/dialogs/Tfm_id3.h"

#include "core/JobListModel.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <algorithm>
#include <utility>

namespace {

// Client layout: the file list on the left, the fields with their "All"
// buttons on the right, the three commands along the bottom.
constexpr int Margin = 8;
constexpr int ListWidth = 162;
constexpr int LabelLeft = Margin + ListWidth + 10;
constexpr int LabelWidth = 62;
constexpr int FieldLeft = LabelLeft + LabelWidth + 2;
constexpr int AllWidth = 42;
constexpr int AllLeft = 419 - Margin - AllWidth;
constexpr int FieldWidth = AllLeft - 4 - FieldLeft;
constexpr int RowHeight = 23;
constexpr int RowStep = 28;
constexpr int ButtonTop = 288 - Margin - 25;
constexpr int ContentBottom = ButtonTop - 8;

const AudioFileinfo& tagsAt(const std::vector<listrecord>& jobs, int row) {
    static const AudioFileinfo empty;
    if (row < 0 || row >= static_cast<int>(jobs.size()))
        return empty;
    return jobs[static_cast<size_t>(row)].Tags;
}

// The tags of every job, in the list's order: what the dialog edits.
std::vector<AudioFileinfo> tagsOf(const std::vector<listrecord>& jobs) {
    std::vector<AudioFileinfo> tags;
    tags.reserve(jobs.size());
    for (const listrecord& job : jobs)
        tags.push_back(job.Tags);
    return tags;
}

} // namespace

const QStringList& Tfm_id3::GenreNames() {
    // clang-format off
    static const QStringList names = {
        "Blues", "Classic Rock", "Country", "Dance",
        "Disco", "Funk", "Grunge", "Hip-Hop",
        "Jazz", "Metal", "New Age", "Oldies",
        "Other", "Pop", "R&B", "Rap",
        "Reggae", "Rock", "Techno", "Industrial",
        "Alternative", "Ska", "Death Metal", "Pranks",
        "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop",
        "Vocal", "Jazz+Funk", "Fusion", "Trance",
        "Classical", "Instrumental", "Acid", "House",
        "Game", "Sound Clip", "Gospel", "Noise",
        "Alternative Rock", "Bass", "Soul", "Punk",
        "Space", "Meditative", "Instrumental Pop", "Instrumental Rock",
        "Ethnic", "Gothic", "Darkwave", "Techno-Industrial",
        "Electronic", "Pop-Folk", "Eurodance", "Dream",
        "Southern Rock", "Comedy", "Cult", "Gangsta",
        "Top 40", "Christian Rap", "Pop/Funk", "Jungle",
        "Native US", "Cabaret", "New Wave", "Psychedelic",
        "Rave", "Showtunes", "Trailer", "Lo-Fi",
        "Tribal", "Acid Punk", "Acid Jazz", "Polka",
        "Retro", "Musical", "Rock & Roll", "Hard Rock",
        "Folk", "Folk-Rock", "National Folk", "Swing",
        "Fast Fusion", "Bebop", "Latin", "Revival",
        "Celtic", "Bluegrass", "Avant-garde", "Gothic Rock",
        "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
        "Big Band", "Chorus", "Easy Listening", "Acoustic",
        "Humor", "Speech", "Chanson", "Opera",
        "Chamber Music", "Sonata", "Symphony", "Booty Bass",
        "Primus", "Porn Groove", "Satire", "Slow Jam",
        "Club", "Tango", "Samba", "Folklore",
        "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle",
        "Duet", "Punk Rock", "Drum Solo", "A capella",
        "Euro-House", "Dance Hall", "Goa", "Drum & Bass",
        "Club-House", "Hardcore", "Terror", "Indie",
        "Britpop", "Negerpunk", "Polsk Punk", "Beat",
        "Christian Gangsta", "Heavy Metal", "Black Metal", "Crossover",
        "Contemporary C", "Christian Rock", "Merengue", "Salsa",
        "Thrash Metal", "Anime", "JPop", "SynthPop",
    };
    // clang-format on
    return names;
}

Tfm_id3::Tfm_id3(DialogContext context)
    : QDialog(&context.window, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                                   Qt::MSWindowsFixedSizeDialogHint),
      context_(std::move(context)) {
    setObjectName(QStringLiteral("fm_id3"));
    setWindowTitle(QStringLiteral("ID3 Edit"));
    setFixedSize(419, 288);
    buildControls();
}

Tfm_id3::~Tfm_id3() = default;

void Tfm_id3::buildControls() {
    lv_id3 = new QTreeWidget(this);
    lv_id3->setObjectName(QStringLiteral("lv_id3"));
    lv_id3->setGeometry(Margin, Margin, ListWidth, ContentBottom - Margin);
    lv_id3->setColumnCount(1);
    lv_id3->setHeaderLabels({QStringLiteral("File Name")});
    lv_id3->setRootIsDecorated(false);
    lv_id3->setItemsExpandable(false);
    lv_id3->setUniformRowHeights(true);
    lv_id3->setAllColumnsShowFocus(true);
    lv_id3->setSelectionMode(QAbstractItemView::SingleSelection);
    lv_id3->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv_id3->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv_id3->header()->setSectionsClickable(false);
    lv_id3->header()->setSectionsMovable(false);
    lv_id3->header()->setStretchLastSection(false);
    lv_id3->setStyleSheet(
        QStringLiteral("QTreeWidget::item { border-right: 1px solid palette(midlight);"
                       " border-bottom: 1px solid palette(midlight); }"
                       "QTreeWidget::item:selected { background: palette(highlight);"
                       " color: palette(highlighted-text); }"));
    lv_id3->setColumnWidth(0, 143);

    auto addLabel = [this](const QString& text, int top) {
        auto* label = new QLabel(text, this);
        label->setGeometry(LabelLeft, top, LabelWidth, RowHeight);
        return label;
    };
    auto addAll = [this](const QString& name, int top) {
        auto* button = new QPushButton(QStringLiteral("All"), this);
        button->setObjectName(name);
        button->setGeometry(AllLeft, top, AllWidth, RowHeight);
        button->setAutoDefault(false);
        return button;
    };
    auto addEdit = [this](const QString& name, int top) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setGeometry(FieldLeft, top, FieldWidth, RowHeight);
        edit->installEventFilter(this);
        return edit;
    };

    int top = Margin;
    QLabel* titleLabel = addLabel(QStringLiteral("Title:"), top);
    edt_tatal = addEdit(QStringLiteral("edt_tatal"), top);
    Button1 = addAll(QStringLiteral("Button1"), top);
    top += RowStep;
    QLabel* artistLabel = addLabel(QStringLiteral("Artist: "), top);
    edt_art = addEdit(QStringLiteral("edt_art"), top);
    Button2 = addAll(QStringLiteral("Button2"), top);
    top += RowStep;
    QLabel* albumLabel = addLabel(QStringLiteral("Album: "), top);
    edt_alb = addEdit(QStringLiteral("edt_alb"), top);
    Button3 = addAll(QStringLiteral("Button3"), top);
    top += RowStep;
    QLabel* yearLabel = addLabel(QStringLiteral("Year: "), top);
    edt_year = addEdit(QStringLiteral("edt_year"), top);
    Button4 = addAll(QStringLiteral("Button4"), top);
    top += RowStep;
    QLabel* genreLabel = addLabel(QStringLiteral("Genre:"), top);
    edt_genre = new QComboBox(this);
    edt_genre->setObjectName(QStringLiteral("edt_genre"));
    edt_genre->setGeometry(FieldLeft, top, FieldWidth, RowHeight);
    edt_genre->setEditable(true);
    // A genre typed by hand is kept exactly as typed: no completion, and the
    // list keeps its fixed names.
    edt_genre->setCompleter(nullptr);
    edt_genre->setInsertPolicy(QComboBox::NoInsert);
    edt_genre->setMaxVisibleItems(16);
    Button5 = addAll(QStringLiteral("Button5"), top);
    top += RowStep;
    QLabel* commentLabel = addLabel(QStringLiteral("Comment: "), top);
    edt_com = new QPlainTextEdit(this);
    edt_com->setObjectName(QStringLiteral("edt_com"));
    edt_com->setGeometry(FieldLeft, top, FieldWidth, ContentBottom - top);
    edt_com->setTabChangesFocus(true);
    edt_com->installEventFilter(this);
    Button6 = addAll(QStringLiteral("Button6"), top);

    titleLabel->setBuddy(edt_tatal);
    artistLabel->setBuddy(edt_art);
    albumLabel->setBuddy(edt_alb);
    yearLabel->setBuddy(edt_year);
    genreLabel->setBuddy(edt_genre);
    commentLabel->setBuddy(edt_com);

    auto addButton = [this](const QString& name, const QString& caption, int left) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setGeometry(left, ButtonTop, 75, 25);
        button->setAutoDefault(false);
        return button;
    };
    Button7 = addButton(QStringLiteral("Button7"), QStringLiteral("Reset"), Margin);
    btn_ok = addButton(QStringLiteral("btn_ok"), QStringLiteral("Ok"), 419 - Margin - 75 - 6 - 75);
    btn_cancel =
        addButton(QStringLiteral("btn_cancel"), QStringLiteral("Cancel"), 419 - Margin - 75);

    setTabOrder(lv_id3, edt_tatal);
    setTabOrder(edt_tatal, edt_art);
    setTabOrder(edt_art, edt_alb);
    setTabOrder(edt_alb, edt_year);
    setTabOrder(edt_year, edt_genre);
    setTabOrder(edt_genre, edt_com);
    setTabOrder(edt_com, btn_ok);
    setTabOrder(btn_ok, btn_cancel);
    setTabOrder(btn_cancel, Button7);

    connect(lv_id3, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!filling_)
            lv_id3Click();
    });
    // A click on empty space leaves the selection as it was in some styles;
    // handle the click itself as well so the row is always put back.
    lv_id3->viewport()->installEventFilter(this);

    connect(edt_tatal, &QLineEdit::textChanged, this, &Tfm_id3::edt_tatalChange);
    connect(edt_art, &QLineEdit::textChanged, this, &Tfm_id3::edt_artChange);
    connect(edt_alb, &QLineEdit::textChanged, this, &Tfm_id3::edt_albChange);
    connect(edt_year, &QLineEdit::textChanged, this, &Tfm_id3::edt_yearChange);
    connect(edt_genre, &QComboBox::editTextChanged, this, &Tfm_id3::ComboBox1Change);
    connect(edt_com, &QPlainTextEdit::textChanged, this, &Tfm_id3::edt_comChange);

    connect(Button1, &QPushButton::clicked, this, &Tfm_id3::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfm_id3::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tfm_id3::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &Tfm_id3::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &Tfm_id3::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &Tfm_id3::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &Tfm_id3::Button7Click);
    connect(btn_ok, &QPushButton::clicked, this, &Tfm_id3::btn_okClick);
    connect(btn_cancel, &QPushButton::clicked, this, &Tfm_id3::btn_cancelClick);
}

int Tfm_id3::selectedRow() const {
    const QList<QTreeWidgetItem*> items = lv_id3->selectedItems();
    if (items.isEmpty())
        return -1;
    return lv_id3->indexOfTopLevelItem(items.first());
}

void Tfm_id3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tfm_id3::placeOverMainWindow() {
    const QPoint mainTopLeft = context_.window.pos();
    move(mainTopLeft + QPoint(10, 10));
    if (shownBefore_)
        return;
    shownBefore_ = true;
    const QRect mainFrame = context_.window.frameGeometry();
    const QRect ownFrame = frameGeometry();
    const int left = mainFrame.left() + (mainFrame.width() - ownFrame.width()) / 2;
    const int top = mainFrame.top() + (mainFrame.height() - ownFrame.height()) / 2;
    move(std::max(left, 0), std::max(top, 0));
}

void Tfm_id3::FormShow() {
    // Whatever way the last showing ended, start from an empty list and
    // empty fields, so nothing of a file no longer listed is shown.
    filling_ = true;
    lv_id3->clear();
    clearControls();
    filling_ = false;
    // Files added from a folder carry their tags like any other, so the
    // dialog shows them whatever way the files came.
    placeOverMainWindow();
    if (edt_genre->count() != GenreNames().size()) {
        const QSignalBlocker blocker(edt_genre);
        const QString text = edt_genre->currentText();
        edt_genre->clear();
        edt_genre->addItems(GenreNames());
        edt_genre->setEditText(text);
    }
    fillFromJobList();
    SizeFileColumn();
    if (context_.lv.count() == 0)
        return;
    if (selectedRow() < 0)
        selectRow(0);
    tagEditIndex_ = selectedRow();
    tagEditCopy_ = tagsOf(context_.lv.jobs());
    loadFromTagList(selectedRow());
}

void Tfm_id3::fillFromJobList() {
    filling_ = true;
    const JobListModel& files = context_.lv;
    for (int row = 0; row < files.count(); ++row) {
        auto* item = new QTreeWidgetItem(lv_id3);
        item->setText(0, files.text(row, 0));
    }
    filling_ = false;
}

void Tfm_id3::selectRow(int row) {
    QTreeWidgetItem* item = lv_id3->topLevelItem(row);
    if (!item)
        return;
    filling_ = true;
    lv_id3->setCurrentItem(item);
    item->setSelected(true);
    filling_ = false;
}

void Tfm_id3::SizeFileColumn() {
    lv_id3->setColumnWidth(0, lv_id3->topLevelItemCount() < 20 ? 143 : 127);
}

void Tfm_id3::loadFromTagList(int row) {
    const AudioFileinfo& tags = tagsAt(context_.lv.jobs(), row);
    edt_art->setText(tags.Artist);
    edt_alb->setText(tags.Album);
    // The title as the source has it; a file without one shows its caption,
    // which then becomes its title. Storing it explicitly makes sure it
    // reaches the working copy even when the field already held that text.
    const QString caption = lv_id3->topLevelItem(row) ? lv_id3->topLevelItem(row)->text(0) : "";
    const QString title = tags.Title.isEmpty() ? caption : tags.Title;
    edt_tatal->setText(title);
    store(&AudioFileinfo::Title, title);
    edt_com->setPlainText(tags.Comment);
    edt_genre->setEditText(tags.Genre);
    edt_year->setText(tags.Year);
}

void Tfm_id3::loadFromCopy(int row) {
    if (row < 0 || row >= static_cast<int>(tagEditCopy_.size())) {
        clearControls();
        return;
    }
    // Each assignment stores into the copy through the change handlers, so
    // take the record by value first.
    const AudioFileinfo tags = tagEditCopy_[static_cast<size_t>(row)];
    edt_art->setText(tags.Artist);
    edt_alb->setText(tags.Album);
    edt_tatal->setText(tags.Title);
    edt_com->setPlainText(tags.Comment);
    edt_genre->setEditText(tags.Genre);
    edt_year->setText(tags.Year);
}

void Tfm_id3::clearControls() {
    edt_art->clear();
    edt_alb->clear();
    edt_tatal->clear();
    edt_com->clear();
    edt_genre->setEditText(QString());
    edt_year->clear();
}

void Tfm_id3::lv_id3Click() {
    if (lv_id3->topLevelItemCount() == 0)
        return;
    if (selectedRow() < 0)
        selectRow(tagEditIndex_);
    loadFromCopy(selectedRow());
}

void Tfm_id3::store(Field field, const QString& text) {
    const int row = selectedRow();
    if (row < 0 || row >= static_cast<int>(tagEditCopy_.size()))
        return;
    tagEditCopy_[static_cast<size_t>(row)].*field = text;
}

void Tfm_id3::storeAll(Field field, const QString& text) {
    const int rows = std::min(lv_id3->topLevelItemCount(), static_cast<int>(tagEditCopy_.size()));
    for (int row = 0; row < rows; ++row)
        tagEditCopy_[static_cast<size_t>(row)].*field = text;
}

QString Tfm_id3::genreText() const {
    return edt_genre->currentText();
}

QString Tfm_id3::commentText() const {
    return edt_com->toPlainText();
}

void Tfm_id3::edt_tatalChange() {
    store(&AudioFileinfo::Title, edt_tatal->text());
}

void Tfm_id3::edt_tatalExit() {
    store(&AudioFileinfo::Title, edt_tatal->text());
    const int row = selectedRow();
    if (row >= 0)
        lv_id3->topLevelItem(row)->setText(0, JobListModel::TitleCaption(edt_tatal->text()));
}

void Tfm_id3::edt_artChange() {
    store(&AudioFileinfo::Artist, edt_art->text());
}

void Tfm_id3::edt_artExit() {
    store(&AudioFileinfo::Artist, edt_art->text());
}

void Tfm_id3::edt_albChange() {
    store(&AudioFileinfo::Album, edt_alb->text());
}

void Tfm_id3::edt_albExit() {
    store(&AudioFileinfo::Album, edt_alb->text());
}

void Tfm_id3::edt_yearChange() {
    store(&AudioFileinfo::Year, edt_year->text());
}

void Tfm_id3::edt_yearExit() {
    store(&AudioFileinfo::Year, edt_year->text());
}

void Tfm_id3::ComboBox1Change() {
    store(&AudioFileinfo::Genre, genreText());
}

void Tfm_id3::edt_comChange() {
    store(&AudioFileinfo::Comment, commentText());
}

void Tfm_id3::edt_comExit() {
    store(&AudioFileinfo::Comment, commentText());
}

void Tfm_id3::Button1Click() {
    storeAll(&AudioFileinfo::Title, edt_tatal->text());
}

void Tfm_id3::Button2Click() {
    storeAll(&AudioFileinfo::Artist, edt_art->text());
}

void Tfm_id3::Button3Click() {
    storeAll(&AudioFileinfo::Album, edt_alb->text());
}

void Tfm_id3::Button4Click() {
    storeAll(&AudioFileinfo::Year, edt_year->text());
}

void Tfm_id3::Button5Click() {
    storeAll(&AudioFileinfo::Genre, genreText());
}

void Tfm_id3::Button6Click() {
    storeAll(&AudioFileinfo::Comment, commentText());
}

void Tfm_id3::Button7Click() {
    filling_ = true;
    lv_id3->clear();
    filling_ = false;
    if (context_.lv.count() == 0)
        return;
    fillFromJobList();
    selectRow(0);
    tagEditCopy_ = tagsOf(context_.lv.jobs());
    loadFromTagList(selectedRow());
}

void Tfm_id3::btn_okClick() {
    const int rows = lv_id3->topLevelItemCount();
    JobListModel& files = context_.lv;
    const int edited = std::min({rows, files.count(), static_cast<int>(tagEditCopy_.size())});
    for (int row = 0; row < edited; ++row)
        files.setTags(row, tagEditCopy_[static_cast<size_t>(row)]);
    accept();
}

void Tfm_id3::btn_cancelClick() {
    reject();
}

void Tfm_id3::FormCloseQuery() {
    filling_ = true;
    lv_id3->clear();
    filling_ = false;
}

void Tfm_id3::done(int result) {
    FormCloseQuery();
    QDialog::done(result);
}

bool Tfm_id3::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Switching to another window or opening a context menu is not
        // leaving the field.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == edt_tatal)
                edt_tatalExit();
            else if (watched == edt_art)
                edt_artExit();
            else if (watched == edt_alb)
                edt_albExit();
            else if (watched == edt_year)
                edt_yearExit();
            else if (watched == edt_com)
                edt_comExit();
        }
    } else if (event->type() == QEvent::MouseButtonRelease && watched == lv_id3->viewport()) {
        lv_id3Click();
    }
    return QDialog::eventFilter(watched, event);
}
