#pragma once

#include "app/MenuIcons.h"
#include "app/SkinObjects.h"
#include "app/dialogs/DialogContext.h"
#include "core/AppState.h"
#include "engine/RunControl.h"

#include <QPoint>
#include <QWidget>

#include <memory>

class Desktop;
class DropHandler;
class FileIntake;
class IAudioFile2;
class IAudioFile2LameEnc;
class IAudioPlayer2;
class IAudioTransform2;
class ISkinObject;
class JobListEditor;
class Preview;
class PreviewSlider;
class QAction;
class QComboBox;
class QDialog;
class QItemSelectionModel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QTreeView;
class JobListModel;
class ReportListModel;
class RunProgress;
class RunSteps;
class SegmentEditor;
class SettingsFile;
class Shortcuts;
class Skin;
class WaveformEditorHost;
class WaveformPanel;

// The main window. It owns the process-wide state, the settings file object,
// the list models, the audio components and the skin, and hands the other
// windows what they need. Every command arrives through `Skin1Click` (skin
// objects) or one of the menu handlers and is refused there when its guard
// fails, so the operations below can assume they are allowed to run.
class Tfm_main : public QWidget {
    Q_OBJECT

public:
    Tfm_main(Desktop& desktop, QString settingsPath, QWidget* parent = nullptr);
    ~Tfm_main() override;

    // What the dialogs work on: the state, the desktop, the settings file,
    // the file list and the window's output folder box.
    DialogContext dialogContext();

    // The windows created after the main window, in creation order.
    void setDialogs(QDialog* settingsDialog, QDialog* folderDialog, QWidget* aboutBox,
                    QDialog* tagEditor);

    AppState& state() { return state_; }
    const AppState& state() const { return state_; }
    Desktop& desktop() { return desktop_; }
    // Opened by ReadSettings on first show; shared by every dialog.
    SettingsFile* settings() { return settings_.get(); }

    // The two lists as models with their selections, shared with the views.
    JobListModel& lvModel() { return *lvModel_; }
    ReportListModel& lvTimeModel() { return *lvTimeModel_; }
    QItemSelectionModel& lvSelection() { return *lvSelection_; }
    QItemSelectionModel& lvTimeSelection() { return *lvTimeSelection_; }
    const SkinObjects& skinObjects() const { return skinObjects_; }
    // The segment editor, the preview slider and the preview behind the lists.
    SegmentEditor& segmentEditor() { return *segmentEditor_; }
    PreviewSlider& previewSlider() { return *previewSlider_; }
    Preview& preview() { return *preview_; }
    // The waveform along the slider and the files' overviews and silences.
    WaveformPanel& waveform() { return *waveform_; }
    // The waveform editor window beside this one, and undo of segment edits.
    WaveformEditorHost& waveformEditor() { return *waveformEditor_; }

    // The five audio components.
    IAudioFile2& AudioFileRead() { return *audioFileRead_; }
    IAudioFile2& AudioFile2write() { return *audioFile2write_; }
    IAudioFile2LameEnc& Mp3LameEncoder() { return *mp3LameEncoder_; }
    IAudioPlayer2& AudioPlayer21() { return *audioPlayer21_; }
    IAudioTransform2& AudioTransform21() { return *audioTransform21_; }
    // False until the concrete components exist (tests may run without them).
    bool hasAudioComponents() const { return audioFileRead_ && audioFile2write_; }
    // What the Stop command sets and the run under way looks at.
    RunControl& runControl() { return runControl_; }

    // Components under their form names.
    Skin* Skin1 = nullptr;
    QTreeView* lv = nullptr;
    QTreeView* lv_time = nullptr;
    QPlainTextEdit* sm = nullptr;
    QLineEdit* edt_dir = nullptr;
    QComboBox* cb_format = nullptr;
    QMenu* p_lv = nullptr;
    QMenu* p_file = nullptr;
    QMenu* p_action = nullptr;
    QMenu* p_help = nullptr;

    // The open and save dialogs' filters.
    static const QString OpenFilter;
    static const QString SaveFilter;
    // The files "Import segments…" reads and "Export segments…" writes.
    static const QString SegmentsFilter;
    static const QString NoFileForSegmentsMessage;
    // The help memo's lines, shown while the file list is empty.
    static QStringList HelpMemoLines();

    void ReadSettings();
    void WriteSettings();
    void FormShow();
    void FormCloseQuery();
    // Loads the skin from the program's data folder, looks up its objects and resets
    // the slider, the run display and the total time. Throws `Error` when the
    // skin file cannot be used.
    void SetupSkin();
    // The skin file SetupSkin loads: "mp3enc.dll" in the program's data folder,
    // unless a test points elsewhere before the window is first shown.
    void setSkinFile(const QString& path) { skinFile_ = path; }

    // The command dispatch: the name of the clicked skin object.
    void Skin1Click(const QString& name);
    void Skin1Click(ISkinObject* source);

    // Popup-menu handlers, also reachable as the menu actions of the same
    // object name.
    void AddFile1Click();
    void AddFolder1Click();
    void Clear1Click();
    void Remove1Click();
    void ID3info1Click();
    void UP1Click();
    void Down1Click();
    void Stop1Click();
    void AddFile2Click();
    void AddFolder2Click();
    void ImportSegments1Click();
    void ChapterSegments1Click();
    void ExportSegments1Click();
    // Replaces the segments of the file in use by those a cue sheet (empty:
    // the one the file carries inside) or a
    // label file marks.
    void importSegmentsFrom(const QString& sheetPath);
    void Remove2Click();
    void Exit1Click();
    void FileUp1Click();
    void FileDown1Click();
    void Remove3Click();
    void Clear2Click();
    void ID31Click();
    void Start1Click();
    void Stop2Click();
    void Content1Click();
    void HomePage1Click();
    void About1Click();

    // Files and folders named outside the dialogs (the command line,
    // another copy, a drop): added as Add File and Add Folder add them, once
    // no command or run is in progress. `toFront` raises the window.
    void OpenGivenFiles(const QStringList& paths, bool toFront = false);
    FileIntake& fileIntake() { return *fileIntake_; }
    Shortcuts& shortcuts() { return *shortcuts_; }

    // The split and join runs and the join output's choice go to `steps`
    // instead of the engine (nullptr: the engine again), so that a test sees
    // which run a command reaches; the window's own part of each command
    // stays as it is.
    void setRunSteps(RunSteps* steps) { runSteps_ = steps; }

    // The run progress bar: v in hundredths of a percent.
    void SetRunProgress(int v);
    // Ends a run at its next check and resets the progress bar.
    void StopRun();

    // Leaving the program: the output folder, the help page.
    void OpenOutputFolder();
    void OpenHelpFile();

    // ------------------------------------------------------------------
    // Operations of the job list, segment editor, preview, runs and tag
    // editor. The dispatch above calls them after checking its guards;
    // virtual so tests can watch which one a command reaches.
    // ------------------------------------------------------------------
    // Job list
    virtual void AddFiles();
    virtual void AddFolder();
    virtual void RemoveFile();
    virtual void ClearFiles();
    virtual void MoveFileUp();
    virtual void MoveFileDown();
    // Adopts the selected file row (segment list, slider, captions).
    virtual void lvClick();
    virtual void ShowTotalTime();
    // Segment list
    virtual void lv_timeClick();
    virtual void lv_timeDblClick();
    virtual void RemoveSegment();
    virtual void ClearSegments();
    virtual void MarkBegin();
    virtual void MarkEnd();
    virtual void ConfirmSegment();
    // Preview
    virtual void PlayFile();
    virtual void PlaySegment();
    virtual void StopPlayback();
    virtual void StepBack();
    virtual void StepForward();
    virtual void Skin1MouseDown(const QString& name);
    virtual void Skin1MouseUp(const QString& name);
    virtual void Skin1ScrollTrack(const QString& name, int newPos);
    // Tag editor, modal.
    virtual void ShowTagEditor();
    // ------------------------------------------------------------------

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Opens a popup menu with its top-left corner at `at` (screen).
    virtual void popupMenu(QMenu* menu, QPoint at);

private:
    void buildLists();
    void buildMenus();
    // Points the five driven objects at the skin's (or detached stand-ins).
    void lookUpSkinObjects();
    QAction* addMenuItem(QMenu* menu, const QString& caption, const char* handler,
                         void (Tfm_main::*slot)(), MenuIcons::Glyph glyph);
    // Draws every menu item's icon in its menu's present colours.
    void paintMenuIcons();
    // The window's top-left corner on the screen, as the popups use it.
    QPoint screenOrigin() const;
    // Runs a command and shows any failure it raises.
    template <typename F> void guarded(F&& command);

    void settingsDialog();
    void folderDialog();
    // The split command; the output folder is opened afterwards or not.
    void splitRun(bool openFolder);
    void joinRun();
    void removeCommand();
    void clearCommand();
    void stopCommand();

    Desktop& desktop_;
    QString settingsPath_;
    AppState state_;
    std::unique_ptr<SettingsFile> settings_;
    bool shown_ = false;

    JobListModel* lvModel_ = nullptr;
    ReportListModel* lvTimeModel_ = nullptr;
    QItemSelectionModel* lvSelection_ = nullptr;
    QItemSelectionModel* lvTimeSelection_ = nullptr;
    SkinObjects skinObjects_;
    std::unique_ptr<RunProgress> runProgress_;
    QString skinFile_;
    std::unique_ptr<PreviewSlider> previewSlider_;
    std::unique_ptr<SegmentEditor> segmentEditor_;
    std::unique_ptr<JobListEditor> jobList_;
    std::unique_ptr<Preview> preview_;
    FileIntake* fileIntake_ = nullptr;
    DropHandler* dropHandler_ = nullptr;
    Shortcuts* shortcuts_ = nullptr;
    std::unique_ptr<WaveformPanel> waveform_;
    std::unique_ptr<WaveformEditorHost> waveformEditor_;

    std::unique_ptr<IAudioFile2> audioFileRead_;
    std::unique_ptr<IAudioFile2> audioFile2write_;
    std::unique_ptr<IAudioFile2LameEnc> mp3LameEncoder_;
    std::unique_ptr<IAudioPlayer2> audioPlayer21_;
    std::unique_ptr<IAudioTransform2> audioTransform21_;

    QDialog* settingsDialog_ = nullptr;
    QDialog* folderDialog_ = nullptr;
    QWidget* aboutBox_ = nullptr;
    QDialog* tagEditor_ = nullptr;

    // Takes the runs instead of the engine when set.
    RunSteps* runSteps_ = nullptr;
    RunControl runControl_;
};
