#include "app/Tfm_main.h"

#include "app/DropHandler.h"
#include "app/FileIntake.h"
#include "app/JobListEditor.h"
#include "app/MenuIcons.h"
#include "app/Preview.h"
#include "app/PreviewSlider.h"
#include "app/RunProgress.h"
#include "app/SegmentEditor.h"
#include "app/Shortcuts.h"
#include "app/WaveformPanel.h"
#include "app/WindowRunHost.h"
#include "app/dialogs/Tfm_cue.h"
#include "app/editor/WaveformEditorHost.h"
#include "app/skin/ISkinObject.h"
#include "app/skin/ISkinScrollBar.h"
#include "app/skin/ISkinText.h"
#include "app/skin/Skin.h"
#include "core/JobListModel.h"
#include "core/ReportListModel.h"
#include "engine/MainSettings.h"
#include "engine/OutputFormats.h"
#include "engine/PiecePlan.h"
#include "engine/RunCommand.h"
#include "engine/RunSupport.h"
#include "engine/SegmentFiles.h"
#include "engine/SheetImport.h"
#include "engine/SourceIntake.h"
#include "engine/audio/AudioFile2.h"
#include "engine/audio/AudioFile2LameEnc.h"
#include "engine/audio/AudioPlayer2.h"
#include "engine/audio/AudioTransform2.h"
#include "engine/audio/IAudioFile2.h"
#include "engine/audio/IAudioFile2LameEnc.h"
#include "engine/audio/IAudioPlayer2.h"
#include "engine/audio/IAudioTransform2.h"
#include "platform/DataPaths.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/SettingsFile.h"
#include "tags/OggComments.h"
#include "tags/SourceTags.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTreeView>
#include <QUrl>

#include <exception>
#include <utility>

namespace {

// The dynamic property of a menu action that names its icon's glyph.
constexpr const char* GlyphProperty = "menuGlyph";

} // namespace

const QString Tfm_main::OpenFilter = SourceIntake::OpenFilter;
const QString Tfm_main::SegmentsFilter =
    QStringLiteral("Cue sheets(*.cue)|*.cue|Label files(*.txt)|*.txt");
const QString Tfm_main::NoFileForSegmentsMessage =
    QStringLiteral("Add a file first: segments are marked on the selected file.");
const QString Tfm_main::SaveFilter = OutputFormats::SaveFilter();

QStringList Tfm_main::HelpMemoLines() {
    const QString indent(7, QLatin1Char(' '));
    return {
        QString(),
        QString(),
        indent + QStringLiteral("1. Click \"Add\" to add files you want to convert"),
        indent + QStringLiteral("2. Set begin-time/end-time for every file.") +
            QString(12, QLatin1Char(' ')),
        indent + QStringLiteral("3. Click \"OK\" button to notarize."),
        indent + QStringLiteral("4. Set Output Format"),
        indent + QStringLiteral("5. To cut piece from one big audio file, Click \"Cutter\""),
        indent + QStringLiteral("6. To terminate the conversion, click \"Stop\" button. "),
        QStringLiteral(" "),
    };
}

Tfm_main::Tfm_main(Desktop& desktop, QString settingsPath, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      desktop_(desktop), settingsPath_(std::move(settingsPath)) {
    setObjectName(QStringLiteral("fm_main"));
    setWindowTitle(QStringLiteral("Tarnwell"));
    setFixedSize(521, 380);
    move(238, 140);

    // The skin lies under every other child and draws the window.
    Skin1 = new Skin(this);
    Skin1->setGeometry(rect());
    buildLists();
    buildMenus();
    lookUpSkinObjects();
    connect(Skin1, &Skin::OnClick, this, [this](SkinObject* source) { Skin1Click(source); });
    connect(Skin1, &Skin::OnMouseDown, this, [this](SkinObject* source, Qt::MouseButton, int, int) {
        guarded([&] { Skin1MouseDown(source->GetName()); });
    });
    connect(Skin1, &Skin::OnMouseUp, this, [this](SkinObject* source, Qt::MouseButton, int, int) {
        guarded([&] { Skin1MouseUp(source->GetName()); });
    });
    connect(Skin1, &Skin::OnScrollTrack, this, [this](SkinObject* source, int newPos) {
        guarded([&] { Skin1ScrollTrack(source->GetName(), newPos); });
    });

    audioFileRead_ = std::make_unique<AudioFile2>();
    audioFile2write_ = std::make_unique<AudioFile2>();
    mp3LameEncoder_ = std::make_unique<AudioFile2LameEnc>();
    audioTransform21_ = std::make_unique<AudioTransform2>();
    auto player = std::make_unique<AudioPlayer2>();
    connect(player.get(), &AudioPlayer2::OnTimer, this,
            [this](qint64 current, int left, qint64 right) {
                guarded([&] { preview_->AudioPlayer21Timer(current, left, right); });
            });
    connect(player.get(), &AudioPlayer2::OnEndPlay, this,
            [this] { guarded([&] { preview_->AudioPlayer21EndPlay(); }); });
    connect(player.get(), &AudioPlayer2::OnEndArrayPlay, this,
            [this] { guarded([&] { preview_->AudioPlayer21EndArrayPlay(); }); });
    connect(player.get(), &AudioPlayer2::OnRequestOnLoadArray, this,
            [this] { guarded([&] { preview_->AudioPlayer21RequestOnLoadArray(); }); });
    audioPlayer21_ = std::move(player);

    // The list logic reaches the window only through these hooks.
    previewSlider_ = std::make_unique<PreviewSlider>(skinObjects_);
    const EditorContext editors{state_,        desktop_,          *lvModel_,       *lvSelection_,
                                *lvTimeModel_, *lvTimeSelection_, *previewSlider_, skinObjects_};
    segmentEditor_ = std::make_unique<SegmentEditor>(
        editors, SegmentEditor::Hooks{
                     [this] { ShowTotalTime(); }, [this] { lvClick(); },
                     [this](const listrecord& record) { waveform_->fillSilencePieces(record); },
                     [this](const listrecord& record, std::int32_t seconds) {
                         return waveform_->snapMark(record, seconds);
                     },
                     [this](const listrecord& record) { return waveform_->silencePlan(record); }});
    JobListEditor::Hooks jobHooks;
    jobHooks.reader = [this] { return audioFileRead_.get(); };
    jobHooks.readComments = ReadSourceTags;
    jobHooks.holdCommentReader = [] { return HoldOggCommentLibrary(); };
    jobHooks.showFolderDialog = [this](const QString& caption) {
        if (!folderDialog_)
            return;
        folderDialog_->setWindowTitle(caption);
        desktop_.runModal(*folderDialog_);
    };
    jobHooks.stopPlayback = [this] { StopPlayback(); };
    jobHooks.setNameColumnWidth = [this](int width) { lv->setColumnWidth(0, width); };
    jobHooks.setHelpVisible = [this](bool visible) { sm->setVisible(visible); };
    jobHooks.focusFileList = [this] { lv->setFocus(); };
    jobList_ = std::make_unique<JobListEditor>(editors, *segmentEditor_, std::move(jobHooks));
    preview_ = std::make_unique<Preview>(
        editors, Preview::Components{[this] { return audioFileRead_.get(); },
                                     [this] { return audioPlayer21_.get(); }});

    fileIntake_ = new FileIntake(
        state_,
        [this](const QStringList& paths) { guarded([&] { jobList_->AddGivenFiles(paths); }); },
        this);
    dropHandler_ = new DropHandler(desktop_,
                                   {[this](const QStringList& paths) { OpenGivenFiles(paths); },
                                    [this](const QString& folder) {
                                        state_.OutputDir = folder.endsWith(QLatin1Char('/'))
                                                               ? folder
                                                               : folder + QLatin1Char('/');
                                        edt_dir->setText(state_.OutputDir);
                                    },
                                    [this](const QString& sheet) {
                                        guarded([&] {
                                            if (!state_.Busy)
                                                importSegmentsFrom(sheet);
                                        });
                                    }},
                                   this);
    for (QWidget* part :
         {static_cast<QWidget*>(this), static_cast<QWidget*>(Skin1), lv->viewport()})
        dropHandler_->watch(part);
    dropHandler_->watchSegmentList(lv_time->viewport());
    dropHandler_->watchOutputField(edt_dir);
    shortcuts_ = new Shortcuts(*this);
    waveform_ = std::make_unique<WaveformPanel>(state_, *lvModel_, *lvSelection_, *lvTimeModel_,
                                                skinObjects_, *preview_, this);
    waveform_->setRefillSegments([this] { segmentEditor_->ShowSegments(); });
    waveformEditor_ = std::make_unique<WaveformEditorHost>(*this);
}

Tfm_main::~Tfm_main() {
    // An edit still open in the segment list is committed when focus leaves
    // it as the window goes; by then there is no editor to take it.
    disconnect(lvTimeModel_, &ReportListModel::textEdited, this, nullptr);
    // Nor any editor to ask about while the views go.
    lvTimeModel_->setEditableRows({});
    // The file list's rows are read from the jobs, which go with the
    // window's members, before its child widgets: its view goes first.
    delete lv;
    lv = nullptr;
}

DialogContext Tfm_main::dialogContext() {
    return DialogContext{*this,
                         state_,
                         desktop_,
                         *lvModel_,
                         *audioFile2write_,
                         [this] { return settings_.get(); },
                         [this]() -> SettingsFile& {
                             if (!settings_)
                                 ReadSettings();
                             return *settings_;
                         },
                         [this] { return edt_dir->text(); },
                         [this](const QString& text) { edt_dir->setText(text); },
                         [this] { lvClick(); },
                         [this] { ShowTotalTime(); }};
}

void Tfm_main::buildLists() {
    lvModel_ = new JobListModel(state_.JobList, this);
    lvTimeModel_ =
        new ReportListModel({QStringLiteral("Begin Time - End Time"), QStringLiteral("Length"),
                             QStringLiteral("Status"), QStringLiteral("Title")},
                            this);
    // A segment's times and title are typed in place; the segment editor
    // keeps them.
    lvTimeModel_->setEditableColumns({SegmentList::RangeColumn, SegmentList::TitleColumn});
    // Only a piece that can change opens an editor; elsewhere a double
    // click is a click.
    lvTimeModel_->setEditableRows(
        [this](int row) { return segmentEditor_ && segmentEditor_->CanChange(row); });
    connect(lvTimeModel_, &ReportListModel::textEdited, this,
            [this](int row, int column, const QString& text) {
                guarded([&] {
                    if (state_.Busy)
                        return;
                    if (column == SegmentList::TitleColumn)
                        segmentEditor_->TitleEdited(row, text);
                    else
                        segmentEditor_->RangeEdited(row, text);
                });
            });
    lvSelection_ = new QItemSelectionModel(lvModel_, this);
    lvTimeSelection_ = new QItemSelectionModel(lvTimeModel_, this);

    // Both lists: report style, whole rows selected, read-only, fixed columns
    // that do not sort, no tree decoration.
    auto makeList = [this](const char* name, QAbstractItemModel* model,
                           QItemSelectionModel* selection, std::initializer_list<int> widths) {
        auto* view = new QTreeView(this);
        view->setObjectName(QLatin1String(name));
        view->setModel(model);
        view->setSelectionModel(selection);
        view->setRootIsDecorated(false);
        view->setItemsExpandable(false);
        view->setUniformRowHeights(true);
        view->setAllColumnsShowFocus(true);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSortingEnabled(false);
        view->setTextElideMode(Qt::ElideRight);
        view->header()->setSectionsClickable(false);
        view->header()->setSectionsMovable(false);
        view->header()->setStretchLastSection(false);
        view->header()->setSectionResizeMode(QHeaderView::Interactive);
        int column = 0;
        for (int width : widths)
            view->setColumnWidth(column++, width);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
            popupMenu(p_lv, view->viewport()->mapToGlobal(pos));
        });
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        return view;
    };
    lv = makeList("lv", lvModel_, lvSelection_, {143, 61});
    lv_time = makeList("lv_time", lvTimeModel_, lvTimeSelection_, {120, 55, 70, 120});
    lv_time->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    lv->setGeometry(10, 150, 226, 140);
    lv_time->setGeometry(242, 150, 269, 140);

    // The help memo lies over both lists while the file list is empty. It
    // lets the mouse through, so the list popup still opens under it.
    sm = new QPlainTextEdit(this);
    sm->setObjectName(QStringLiteral("sm"));
    sm->setReadOnly(true);
    sm->setEnabled(false);
    sm->setFocusPolicy(Qt::NoFocus);
    sm->setAttribute(Qt::WA_TransparentForMouseEvents);
    sm->setLineWrapMode(QPlainTextEdit::NoWrap);
    sm->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sm->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sm->setPlainText(HelpMemoLines().join(QLatin1Char('\n')));
    sm->setGeometry(10, 150, 501, 140);

    edt_dir = new QLineEdit(this);
    edt_dir->setObjectName(QStringLiteral("edt_dir"));
    edt_dir->setGeometry(10, 300, 280, 24);
    // A folder typed here is the one the next output goes to; otherwise the
    // field would show one folder while the runs write to another.
    connect(edt_dir, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString folder = text.trimmed();
        if (!folder.isEmpty())
            state_.OutputDir =
                folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    });
    cb_format = new QComboBox(this);
    cb_format->setObjectName(QStringLiteral("cb_format"));
    cb_format->addItems(OutputFormats::Labels());
    cb_format->setCurrentIndex(0);
    cb_format->setGeometry(330, 300, 64, 24);
}

QAction* Tfm_main::addMenuItem(QMenu* menu, const QString& caption, const char* handler,
                               void (Tfm_main::*slot)(), MenuIcons::Glyph glyph) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(handler));
    action->setProperty(GlyphProperty, static_cast<int>(glyph));
    connect(action, &QAction::triggered, this, [this, slot] { (this->*slot)(); });
    return action;
}

void Tfm_main::paintMenuIcons() {
    for (QMenu* menu : {p_lv, p_file, p_action, p_help}) {
        // The skin's style sheet sets the menus' colours; the selected item
        // stands out from the menu, so the menu's own background reads on it.
        menu->ensurePolished();
        const QColor text = menu->palette().color(QPalette::WindowText);
        const QColor background = menu->palette().color(QPalette::Window);
        for (QAction* action : menu->actions()) {
            const QVariant glyph = action->property(GlyphProperty);
            if (glyph.isValid())
                action->setIcon(MenuIcons::icon(static_cast<MenuIcons::Glyph>(glyph.toInt()), text,
                                                background));
        }
    }
}

void Tfm_main::buildMenus() {
    p_lv = new QMenu(this);
    p_lv->setObjectName(QStringLiteral("p_lv"));
    addMenuItem(p_lv, QStringLiteral("Add File"), "AddFile1Click", &Tfm_main::AddFile1Click,
                MenuIcons::Glyph::AddFile);
    addMenuItem(p_lv, QStringLiteral("Add Path"), "AddFolder1Click", &Tfm_main::AddFolder1Click,
                MenuIcons::Glyph::AddFolder);
    p_lv->addSeparator();
    addMenuItem(p_lv, QStringLiteral("Clear"), "Clear1Click", &Tfm_main::Clear1Click,
                MenuIcons::Glyph::Clear);
    addMenuItem(p_lv, QStringLiteral("Remove"), "Remove1Click", &Tfm_main::Remove1Click,
                MenuIcons::Glyph::Remove);
    p_lv->addSeparator();
    addMenuItem(p_lv, QStringLiteral("ID3 info"), "ID3info1Click", &Tfm_main::ID3info1Click,
                MenuIcons::Glyph::Tags);
    p_lv->addSeparator();
    addMenuItem(p_lv, QStringLiteral("UP"), "UP1Click", &Tfm_main::UP1Click, MenuIcons::Glyph::Up);
    addMenuItem(p_lv, QStringLiteral("Down"), "Down1Click", &Tfm_main::Down1Click,
                MenuIcons::Glyph::Down);
    p_lv->addSeparator();
    addMenuItem(p_lv, QStringLiteral("Stop"), "Stop1Click", &Tfm_main::Stop1Click,
                MenuIcons::Glyph::Stop);

    p_file = new QMenu(this);
    p_file->setObjectName(QStringLiteral("p_file"));
    addMenuItem(p_file, QStringLiteral("Add File"), "AddFile2Click", &Tfm_main::AddFile2Click,
                MenuIcons::Glyph::AddFile);
    addMenuItem(p_file, QStringLiteral("Add Folder"), "AddFolder2Click", &Tfm_main::AddFolder2Click,
                MenuIcons::Glyph::AddFolder);
    p_file->addSeparator();
    addMenuItem(p_file, QStringLiteral("Import segments…"), "ImportSegments1Click",
                &Tfm_main::ImportSegments1Click, MenuIcons::Glyph::ImportSegments);
    addMenuItem(p_file, QStringLiteral("Segments from chapters"), "ChapterSegments1Click",
                &Tfm_main::ChapterSegments1Click, MenuIcons::Glyph::ImportSegments);
    addMenuItem(p_file, QStringLiteral("Export segments…"), "ExportSegments1Click",
                &Tfm_main::ExportSegments1Click, MenuIcons::Glyph::ExportSegments);
    p_file->addSeparator();
    addMenuItem(p_file, QStringLiteral("Remove"), "Remove2Click", &Tfm_main::Remove2Click,
                MenuIcons::Glyph::Remove);
    p_file->addSeparator();
    addMenuItem(p_file, QStringLiteral("Exit"), "Exit1Click", &Tfm_main::Exit1Click,
                MenuIcons::Glyph::Exit);

    p_action = new QMenu(this);
    p_action->setObjectName(QStringLiteral("p_action"));
    addMenuItem(p_action, QStringLiteral("File Up"), "FileUp1Click", &Tfm_main::FileUp1Click,
                MenuIcons::Glyph::Up);
    addMenuItem(p_action, QStringLiteral("File Down"), "FileDown1Click", &Tfm_main::FileDown1Click,
                MenuIcons::Glyph::Down);
    p_action->addSeparator();
    addMenuItem(p_action, QStringLiteral("Remove"), "Remove3Click", &Tfm_main::Remove3Click,
                MenuIcons::Glyph::Remove);
    addMenuItem(p_action, QStringLiteral("Clear"), "Clear2Click", &Tfm_main::Clear2Click,
                MenuIcons::Glyph::Clear);
    p_action->addSeparator();
    addMenuItem(p_action, QStringLiteral("ID3 info"), "ID31Click", &Tfm_main::ID31Click,
                MenuIcons::Glyph::Tags);
    p_action->addSeparator();
    addMenuItem(p_action, QStringLiteral("Cutter"), "Start1Click", &Tfm_main::Start1Click,
                MenuIcons::Glyph::Cutter);
    addMenuItem(p_action, QStringLiteral("Stop"), "Stop2Click", &Tfm_main::Stop2Click,
                MenuIcons::Glyph::Stop);

    p_help = new QMenu(this);
    p_help->setObjectName(QStringLiteral("p_help"));
    addMenuItem(p_help, QStringLiteral("Content"), "Content1Click", &Tfm_main::Content1Click,
                MenuIcons::Glyph::Help);
    p_help->addSeparator();
    addMenuItem(p_help, QStringLiteral("HomePage"), "HomePage1Click", &Tfm_main::HomePage1Click,
                MenuIcons::Glyph::Web);
    p_help->addSeparator();
    addMenuItem(p_help, QStringLiteral("About"), "About1Click", &Tfm_main::About1Click,
                MenuIcons::Glyph::About);
    paintMenuIcons();
}

void Tfm_main::setDialogs(QDialog* settingsDialog, QDialog* folderDialog, QWidget* aboutBox,
                          QDialog* tagEditor) {
    settingsDialog_ = settingsDialog;
    folderDialog_ = folderDialog;
    aboutBox_ = aboutBox;
    tagEditor_ = tagEditor;
}

template <typename F> void Tfm_main::guarded(F&& command) {
    // Files handed over meanwhile wait for the command to end.
    FileIntake::CommandScope scope(fileIntake_);
    try {
        command();
    } catch (const Error& e) {
        desktop_.showError(e.message());
    } catch (const std::exception& e) {
        desktop_.showError(QString::fromLocal8Bit(e.what()));
    }
}

// ---------------------------------------------------------------------------
// Start-up and close

void Tfm_main::ReadSettings() {
    if (!settings_)
        settings_ = std::make_unique<SettingsFile>(settingsPath_);
    MainSettings::Read(state_, *settings_);
    edt_dir->setText(state_.OutputDir);
    cb_format->setCurrentIndex(state_.OutputFormat);
    // The window opens with the defaults; the file stays as it is.
    if (const QString problem = settings_->problem(); !problem.isEmpty())
        desktop_.warning(problem);
}

void Tfm_main::WriteSettings() {
    if (!settings_)
        settings_ = std::make_unique<SettingsFile>(settingsPath_);
    state_.OutputFormat = cb_format->currentIndex();
    MainSettings::Write(state_, *settings_);
}

void Tfm_main::FormShow() {
    guarded([this] { ReadSettings(); });
    // Without its skin the window still opens, with the lists and fields
    // usable; the reason is shown once.
    guarded([this] { SetupSkin(); });
    guarded([this] {
        if (audioFileRead_)
            audioFileRead_->SetActive(true);
        if (audioFile2write_)
            audioFile2write_->SetActive(true);
    });
    state_.CurrentSegment = 0;
    state_.Busy = false;
    state_.Playing = false;
    state_.Seeking = false;
    state_.SegmentFocus = false;
    skinObjects_.pb->SetPosition(0);
    skinObjects_.pbElement->Refresh();
    // Where every key of the guide works: the lists leave them all to the
    // window, Space included.
    lv->setFocus(Qt::OtherFocusReason);
}

void Tfm_main::lookUpSkinObjects() {
    // Names the skin lacks come back as detached objects, so these are never
    // null; before a skin is applied they are all detached.
    auto text = [this](const char* name, ISkinText*& asText, ISkinElement*& asElement) {
        SkinObject* object = Skin1->FindObject(QLatin1String(name));
        asText = object;
        asElement = object;
    };
    SkinObject* pb = Skin1->FindObject(QStringLiteral("pb"));
    skinObjects_.pb = pb;
    skinObjects_.pbElement = pb;
    text("timecaption", skinObjects_.timecaption, skinObjects_.timecaptionElement);
    text("tataltime", skinObjects_.tataltime, skinObjects_.tataltimeElement);
    text("pbpos", skinObjects_.pbpos, skinObjects_.pbposElement);
    text("convertpb", skinObjects_.convertpb, skinObjects_.convertpbElement);
    runProgress_ = std::make_unique<RunProgress>(skinObjects_, state_.SkinFlag);
}

void Tfm_main::SetupSkin() {
    Skin1->LoadSkin(skinFile_.isEmpty() ? DataPaths::dataFolder() + QStringLiteral("/mp3enc.dll")
                                        : skinFile_);
    Skin1->ApplySkin(this);
    Skin1->ApplyForm(this, QStringLiteral("Quarnwick"));
    // The skin's style sheet has just given the menus their colours.
    paintMenuIcons();
    shortcuts_->showInToolTips();
    SkinForm* form = Skin1->GetForm(this);
    // An object the skin lacks stays a detached stand-in: the window works
    // on, that part of it is just not drawn.
    lookUpSkinObjects();
    // The bar's track, when the skin draws one, spans what the bar can fill.
    if (form->hasObject(QStringLiteral("convertpbtrack"))) {
        ISkinElement* track = form->FindObject(QStringLiteral("convertpbtrack"));
        SkinRect rect = track->GetRect();
        rect.right = skinObjects_.convertpbElement->GetRect().left +
                     (state_.SkinFlag ? RunProgress::WideBar : RunProgress::NarrowBar);
        track->SetRect(rect);
        track->Refresh();
    }
    waveform_->setShown(form->hasObject(WaveformPanel::SkinObjectName));
    skinObjects_.pb->SetPosition(0);
    skinObjects_.pbElement->Refresh();
    SetRunProgress(0);
    skinObjects_.pbpos->SetText(QString());
    skinObjects_.pbposElement->Refresh();
    ShowTotalTime();
}

void Tfm_main::FormCloseQuery() {
    if (state_.Busy)
        StopRun();
    guarded([this] { WriteSettings(); });
}

void Tfm_main::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void Tfm_main::closeEvent(QCloseEvent* event) {
    // Files still waiting for a run to end are not lost without a word.
    if (fileIntake_ && fileIntake_->waiting())
        desktop_.warning(QStringLiteral("These files were not added, because the program closed "
                                        "before the run ended:\n%1")
                             .arg(fileIntake_->pending().join(QLatin1Char('\n'))));
    FormCloseQuery();
    event->accept();
}

bool Tfm_main::eventFilter(QObject* watched, QEvent* event) {
    const bool onLv = watched == lv || (lv && watched == lv->viewport());
    const bool onLvTime = watched == lv_time || (lv_time && watched == lv_time->viewport());
    if (!onLv && !onLvTime)
        return QWidget::eventFilter(watched, event);

    bool click = false;
    bool doubleClick = false;
    if (event->type() == QEvent::MouseButtonRelease) {
        click = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        doubleClick = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    } else if (event->type() == QEvent::KeyRelease) {
        // Moving through a list with the keyboard adopts the row as a click does.
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            click = true;
            break;
        default:
            break;
        }
    }
    if (click || doubleClick) {
        guarded([&] {
            if (onLv)
                lvClick();
            else if (doubleClick)
                lv_timeDblClick();
            else
                lv_timeClick();
        });
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Dispatch

QPoint Tfm_main::screenOrigin() const {
    // The skin draws the whole client area, so its corner is the reference
    // for the menu buttons' popups.
    return mapToGlobal(QPoint(0, 0));
}

void Tfm_main::popupMenu(QMenu* menu, QPoint at) {
    menu->popup(at);
}

void Tfm_main::Skin1Click(ISkinObject* source) {
    if (source)
        Skin1Click(source->GetName());
}

void Tfm_main::Skin1Click(const QString& name) {
    guarded([&] {
        const bool busy = state_.Busy;
        if (name == QLatin1String("file")) {
            if (!busy)
                popupMenu(p_file, screenOrigin() + QPoint(179, 32));
        } else if (name == QLatin1String("action")) {
            if (!busy)
                popupMenu(p_action, screenOrigin() + QPoint(211, 32));
        } else if (name == QLatin1String("Settings")) {
            settingsDialog();
        } else if (name == QLatin1String("Help")) {
            popupMenu(p_help, screenOrigin() + QPoint(383, 32));
        } else if (name == QLatin1String("addfile")) {
            if (!busy)
                AddFiles();
        } else if (name == QLatin1String("Up")) {
            MoveFileUp();
        } else if (name == QLatin1String("Down")) {
            MoveFileDown();
        } else if (name == QLatin1String("Remove")) {
            if (!busy) {
                if (state_.SegmentFocus)
                    RemoveSegment();
                else
                    RemoveFile();
                ShowTotalTime();
            }
        } else if (name == QLatin1String("Clear")) {
            if (!busy) {
                if (state_.SegmentFocus)
                    ClearSegments();
                else
                    ClearFiles();
                ShowTotalTime();
            }
        } else if (name == QLatin1String("Set")) {
            settingsDialog();
        } else if (name == QLatin1String("play")) {
            if (!busy) {
                const auto mode = PiecePlan::ModeOf(state_.FunctionChoice);
                const bool segments = mode && PiecePlan::CutsSegments(*mode);
                if (state_.SegmentFocus && segments)
                    PlaySegment();
                else
                    PlayFile();
            }
        } else if (name == QLatin1String("stop")) {
            if (state_.Playing)
                StopPlayback();
        } else if (name == QLatin1String("hou")) {
            if (!busy)
                StepBack();
        } else if (name == QLatin1String("qian")) {
            if (!busy)
                StepForward();
        } else if (name == QLatin1String("Split")) {
            if (!busy)
                splitRun(true);
        } else if (name == QLatin1String("Join")) {
            if (!busy)
                joinRun();
        } else if (name == QLatin1String("Begin")) {
            if (!busy)
                MarkBegin();
        } else if (name == QLatin1String("End")) {
            if (!busy)
                MarkEnd();
        } else if (name == QLatin1String("Ok")) {
            if (!busy)
                ConfirmSegment();
        } else if (name == QLatin1String("Stop")) {
            stopCommand();
        } else if (name == QLatin1String("helpfile")) {
            OpenHelpFile();
        } else if (name == QLatin1String("dir")) {
            folderDialog();
        }
    });
}

void Tfm_main::settingsDialog() {
    if (settingsDialog_)
        desktop_.runModal(*settingsDialog_);
}

void Tfm_main::folderDialog() {
    state_.FolderDialogMode = AppState::FolderMode::Output;
    if (folderDialog_) {
        folderDialog_->setWindowTitle(QStringLiteral("Output Directory"));
        desktop_.runModal(*folderDialog_);
    }
}

void Tfm_main::splitRun(bool openFolder) {
    WindowRunHost host(*this, runSteps_);
    RunCommand(state_, host, desktop_, host, runControl_).Split(openFolder);
}

void Tfm_main::joinRun() {
    WindowRunHost host(*this, runSteps_);
    RunCommand(state_, host, desktop_, host, runControl_).Join(true);
}

void Tfm_main::removeCommand() {
    if (!state_.Busy && !state_.SegmentFocus)
        RemoveFile();
}

void Tfm_main::clearCommand() {
    if (state_.Busy)
        return;
    if (state_.SegmentFocus)
        ClearSegments();
    else
        ClearFiles();
}

void Tfm_main::stopCommand() {
    WindowRunHost host(*this);
    RunCommand(state_, host, desktop_, host, runControl_).Stop();
}

// ---------------------------------------------------------------------------
// Popup menus

void Tfm_main::AddFile1Click() {
    guarded([this] {
        if (!state_.Busy)
            AddFiles();
    });
}

void Tfm_main::AddFolder1Click() {
    guarded([this] {
        if (!state_.Busy)
            AddFolder();
    });
}

void Tfm_main::Clear1Click() {
    guarded([this] { clearCommand(); });
}

void Tfm_main::Remove1Click() {
    guarded([this] { removeCommand(); });
}

void Tfm_main::ID3info1Click() {
    guarded([this] { ShowTagEditor(); });
}

void Tfm_main::UP1Click() {
    guarded([this] { MoveFileUp(); });
}

void Tfm_main::Down1Click() {
    guarded([this] { MoveFileDown(); });
}

void Tfm_main::Stop1Click() {
    guarded([this] { stopCommand(); });
}

void Tfm_main::AddFile2Click() {
    guarded([this] {
        if (!state_.Busy)
            AddFiles();
    });
}

void Tfm_main::AddFolder2Click() {
    guarded([this] {
        if (!state_.Busy)
            AddFolder();
    });
}

void Tfm_main::ImportSegments1Click() {
    guarded([this] {
        if (state_.Busy)
            return;
        const listrecord* record = segmentEditor_->RecordInUse();
        if (!record) {
            desktop_.warning(NoFileForSegmentsMessage);
            return;
        }
        // A CD image's own sheet is offered before any file.
        if (SegmentFiles::HasEmbeddedSheet(record->FileName) &&
            desktop_.confirm(QStringLiteral("%1 carries its own cue sheet. Import it?\n(No "
                                            "chooses a sheet file instead.)")
                                 .arg(QFileInfo(record->FileName).fileName()))) {
            importSegmentsFrom(QString());
            return;
        }
        const QStringList chosen =
            desktop_.openFiles(SegmentsFilter, QFileInfo(record->FileName).absolutePath());
        if (!chosen.isEmpty())
            importSegmentsFrom(chosen.front());
    });
}

void Tfm_main::ChapterSegments1Click() {
    guarded([this] {
        if (state_.Busy)
            return;
        segmentEditor_->ImportSegments([this](const listrecord& record, PieceTags&) {
            auto pieces =
                SegmentFiles::Chapters(record.FileName, record.SampleRate, record.SampleCount);
            if (pieces.empty())
                desktop_.warning(QStringLiteral("%1 holds no chapters.")
                                     .arg(QFileInfo(record.FileName).fileName()));
            return pieces;
        });
    });
}

void Tfm_main::importSegmentsFrom(const QString& sheetPath) {
    if (!segmentEditor_->RecordInUse()) {
        desktop_.warning(NoFileForSegmentsMessage);
        return;
    }
    QString marked;
    segmentEditor_->ImportSegments([&](const listrecord& record, PieceTags& sheet) {
        marked = record.FileName;
        SegmentFiles::Imported imported;
        if (sheetPath.isEmpty() || SegmentFiles::IsCueSheet(sheetPath)) {
            // What a cue sheet cuts is shown, with its encoding and pregap
            // to choose, before anything is marked.
            SheetImport import(sheetPath, record.FileName, record.SampleRate, record.SampleCount);
            Tfm_cue preview(*this, desktop_, import);
            if (desktop_.runModal(preview) != QDialog::Accepted)
                return std::vector<TitledPiece>();
            imported = import.imported();
        } else {
            imported = SegmentFiles::ImportSheet(sheetPath, record.FileName, record.SampleRate,
                                                 record.SampleCount, {});
        }
        sheet = imported.disc;
        // Tracks past the file's end are not cut; the user is told which.
        if (!imported.warnings.isEmpty())
            desktop_.warning(imported.warnings.join(QLatin1Char('\n')));
        return std::move(imported.pieces);
    });
    // A cover beside the sheet goes into the pieces too.
    for (listrecord& record : state_.JobList)
        if (record.FileName == marked && !record.Pieces.empty())
            record.SheetFile = sheetPath.isEmpty() ? record.FileName : sheetPath;
}

void Tfm_main::ExportSegments1Click() {
    guarded([this] {
        if (state_.Busy)
            return;
        segmentEditor_->ExportSegments([this](const listrecord& record,
                                              const std::vector<TitledPiece>& pieces,
                                              const PieceTags& sheet) {
            Desktop::SaveChoice choice;
            if (!desktop_.saveFile(SegmentsFilter, 1, QFileInfo(record.FileName).absolutePath(),
                                   choice) ||
                choice.path.isEmpty())
                return;
            const QString extension =
                choice.filterIndex == 2 ? QStringLiteral(".txt") : QStringLiteral(".cue");
            const QString path =
                QFileInfo(choice.path).suffix().isEmpty() ? choice.path + extension : choice.path;
            SegmentFiles::Export(path, record.FileName, pieces, sheet, record.SampleRate,
                                 record.SampleCount);
        });
    });
}

void Tfm_main::Remove2Click() {
    guarded([this] { removeCommand(); });
}

void Tfm_main::Exit1Click() {
    close();
}

void Tfm_main::FileUp1Click() {
    guarded([this] { MoveFileUp(); });
}

void Tfm_main::FileDown1Click() {
    guarded([this] { MoveFileDown(); });
}

void Tfm_main::Remove3Click() {
    guarded([this] { removeCommand(); });
}

void Tfm_main::Clear2Click() {
    guarded([this] { clearCommand(); });
}

void Tfm_main::ID31Click() {
    guarded([this] { ShowTagEditor(); });
}

void Tfm_main::Start1Click() {
    guarded([this] {
        if (!state_.Busy)
            splitRun(false);
    });
}

void Tfm_main::Stop2Click() {
    guarded([this] { stopCommand(); });
}

void Tfm_main::Content1Click() {
    OpenHelpFile();
}

void Tfm_main::HomePage1Click() {
    desktop_.openOrTell(QUrl(HomePageUrl), QStringLiteral("the web page"));
}

void Tfm_main::About1Click() {
    if (!aboutBox_)
        return;
    aboutBox_->show();
    aboutBox_->raise();
    aboutBox_->activateWindow();
}

// ---------------------------------------------------------------------------
// Leaving the program, run progress

void Tfm_main::OpenOutputFolder() {
    RunSupport::OpenOutputFolder(desktop_, state_.OutputDir);
}

void Tfm_main::OpenHelpFile() {
    desktop_.openOrTell(
        QUrl::fromLocalFile(DataPaths::dataFolder() + QStringLiteral("/help/Ostrel.html")),
        QStringLiteral("the user guide"));
}

void Tfm_main::OpenGivenFiles(const QStringList& paths, bool toFront) {
    fileIntake_->offer(paths);
    if (toFront) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        raise();
        activateWindow();
    }
}

void Tfm_main::SetRunProgress(int v) {
    runProgress_->SetRunProgress(v);
}

void Tfm_main::StopRun() {
    WindowRunHost host(*this);
    RunSupport::StopRun(state_, runControl_, host);
}

// ===========================================================================
// Operations of the job list, segment editor, preview, runs and tag editor.
// The dispatch has checked the guards; each hands over to the object that
// owns the work.
// ===========================================================================

// --- Job list --------------------------------------------------------------

void Tfm_main::AddFiles() {
    jobList_->AddFiles();
}

void Tfm_main::AddFolder() {
    jobList_->AddFolder();
}

void Tfm_main::RemoveFile() {
    jobList_->RemoveFile();
}

void Tfm_main::ClearFiles() {
    jobList_->ClearFiles();
}

void Tfm_main::MoveFileUp() {
    jobList_->MoveFileUp();
}

void Tfm_main::MoveFileDown() {
    jobList_->MoveFileDown();
}

void Tfm_main::lvClick() {
    jobList_->lvClick();
}

void Tfm_main::ShowTotalTime() {
    jobList_->ShowTotalTime();
}

// --- Segment list ----------------------------------------------------------

void Tfm_main::lv_timeClick() {
    segmentEditor_->lv_timeClick();
}

void Tfm_main::lv_timeDblClick() {
    segmentEditor_->lv_timeDblClick();
}

void Tfm_main::RemoveSegment() {
    segmentEditor_->RemoveSegment();
}

void Tfm_main::ClearSegments() {
    segmentEditor_->ClearSegments();
}

void Tfm_main::MarkBegin() {
    segmentEditor_->MarkBegin();
}

void Tfm_main::MarkEnd() {
    segmentEditor_->MarkEnd();
}

void Tfm_main::ConfirmSegment() {
    segmentEditor_->ConfirmSegment();
}

// --- Preview ---------------------------------------------------------------

void Tfm_main::PlayFile() {
    preview_->PlayFile();
}

void Tfm_main::PlaySegment() {
    preview_->PlaySegment();
}

void Tfm_main::StopPlayback() {
    preview_->StopPlayback();
}

void Tfm_main::StepBack() {
    preview_->StepBack();
}

void Tfm_main::StepForward() {
    preview_->StepForward();
}

void Tfm_main::Skin1MouseDown(const QString& name) {
    preview_->Skin1MouseDown(name);
}

void Tfm_main::Skin1MouseUp(const QString& name) {
    preview_->Skin1MouseUp(name);
}

void Tfm_main::Skin1ScrollTrack(const QString& name, int newPos) {
    preview_->Skin1ScrollTrack(name, newPos);
}

// --- Tag editor ------------------------------------------------------------

void Tfm_main::ShowTagEditor() {
    if (tagEditor_)
        desktop_.runModal(*tagEditor_);
}
