#pragma once

#include "app/EditorContext.h"
#include "core/AudioFileinfo.h"
#include "engine/SourceIntake.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class Desktop;
class IAudioFile2;
class PreviewSlider;
class QItemSelectionModel;
class JobListModel;
class ReportListModel;
class SegmentEditor;
struct AppState;
struct SkinObjects;

// The file list `lv`, a view of the jobs: adding files from the open dialog
// or a folder, removing, clearing, reordering, adopting the selected row, and
// the total output length.
class JobListEditor {
public:
    // What the list needs from the window and the other components.
    struct Hooks {
        // The reader that measures added files (the program's AudioFileRead).
        std::function<IAudioFile2*()> reader;
        // Fills the tags a file brings, the date in `Year` as the file has
        // it; a file whose tags it cannot read is added untagged, as is every
        // file without it.
        std::function<void(const QString& fileName, AudioFileinfo& tags)> readComments;
        // Keeps what readComments loads loaded while the returned object
        // lives, so that a batch of files loads it once.
        std::function<std::shared_ptr<void>()> holdCommentReader;
        // Shows the folder dialog modally with the given caption; the mode and
        // the chosen folder travel through the state.
        std::function<void(const QString& caption)> showFolderDialog;
        std::function<void()> stopPlayback;
        std::function<void(int width)> setNameColumnWidth;
        std::function<void(bool visible)> setHelpVisible;
        std::function<void()> focusFileList;
    };

    JobListEditor(const EditorContext& context, SegmentEditor& segments, Hooks hooks);

    void AddFiles();
    void AddFolder();
    // Adds files and folders named outside the dialogs (the command line,
    // another copy of the program, a drop): a file as the open dialog would
    // hand it over, a folder as Add Folder adds it.
    void AddGivenFiles(const QStringList& paths);
    void RemoveFile();
    void ClearFiles();
    void MoveFileUp();
    void MoveFileDown();
    void lvClick();
    void AdjustNameColumn();
    void ShowTotalTime();

    static constexpr int WideNameColumn = 143;
    static constexpr int NarrowNameColumn = 123;

    // Total output length in seconds under the current function choice: what
    // a split run writes.
    static qint64 TotalSeconds(const AppState& state);

private:
    using Source = SourceIntake::Source;
    using Refusal = SourceIntake::Refusal;
    // Adds one file as a new last row; returns why it was refused, an empty
    // message when it was added.
    Refusal addFile(const QString& path, Source source);
    // Without `refusals`, each refused file gets its own message at once.
    void addChosenFiles(const QStringList& files, std::vector<Refusal>* refusals = nullptr);
    void addFolderFiles(const QString& folder, std::vector<Refusal>& refusals);
    void showRefusals(const std::vector<Refusal>& refusals);
    std::shared_ptr<void> holdCommentReader() const;
    void moveFile(int from, int to);
    void finishAdding(bool adoptAlways);
    // The slider and the position display back at 0.
    void resetPosition();
    void stopPreviewIfPlaying();
    void setHelpVisible(bool visible);
    void focusFileList();

    AppState& state_;
    Desktop& desktop_;
    JobListModel& lv_;
    QItemSelectionModel& lvSelection_;
    ReportListModel& lvTime_;
    SegmentEditor& segments_;
    PreviewSlider& slider_;
    const SkinObjects& skin_;
    Hooks hooks_;
    SourceIntake intake_;
    // Where the open dialog starts: the folder of the last files added.
    QString openFolder_;
};
