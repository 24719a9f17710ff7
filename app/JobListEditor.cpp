#include "app/JobListEditor.h"

#include "app/PreviewSlider.h"
#include "app/SegmentEditor.h"
#include "app/SkinObjects.h"
#include "app/skin/ISkinElement.h"
#include "app/skin/ISkinText.h"
#include "core/AppState.h"
#include "core/FramePosition.h"
#include "core/JobListModel.h"
#include "core/ReportListModel.h"
#include "core/RowSelection.h"
#include "core/Segments.h"
#include "engine/PiecePlan.h"
#include "engine/audio/IAudioFile2.h"
#include "platform/Desktop.h"
#include "platform/FormatTime.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <utility>

namespace {

const QString AddFolderCaption = QStringLiteral("Add File Directory");

} // namespace

JobListEditor::JobListEditor(const EditorContext& context, SegmentEditor& segments, Hooks hooks)
    : state_(context.state), desktop_(context.desktop), lv_(context.lv),
      lvSelection_(context.lvSelection), lvTime_(context.lvTime), segments_(segments),
      slider_(context.slider), skin_(context.skin), hooks_(std::move(hooks)),
      intake_(hooks_.readComments) {}

void JobListEditor::AddFiles() {
    if (openFolder_.isEmpty()) {
        // Not the working folder, which for a program started from a menu
        // means nothing to the user.
        const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
        openFolder_ = QFileInfo(music).isDir() ? music : QDir::homePath();
    }
    const QStringList files = desktop_.openFiles(SourceIntake::OpenFilter, openFolder_);
    if (files.isEmpty())
        return;
    stopPreviewIfPlaying();
    addChosenFiles(files);
    finishAdding(true);
}

void JobListEditor::AddFolder() {
    state_.FolderAddMode = true;
    state_.FolderDialogMode = AppState::FolderMode::AddFolder;
    state_.ChosenFolder.clear();
    if (hooks_.showFolderDialog)
        hooks_.showFolderDialog(AddFolderCaption);
    const QString folder = state_.ChosenFolder;
    if (folder.isEmpty())
        return;
    stopPreviewIfPlaying();
    std::vector<Refusal> refusals;
    addFolderFiles(folder, refusals);
    finishAdding(false);
    showRefusals(refusals);
}

void JobListEditor::AddGivenFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    stopPreviewIfPlaying();
    // Each file as the open dialog would hand it over, each folder as Add
    // Folder adds it; everything refused is named together at the end, as
    // the names may come by the hundred.
    QStringList files;
    std::vector<Refusal> refusals;
    bool anyFile = false;
    auto flushFiles = [&] {
        anyFile = anyFile || !files.isEmpty();
        addChosenFiles(files, &refusals);
        files.clear();
    };
    for (const QString& path : paths) {
        // A name no file can have is refused before anything is built for
        // it: such a name may be of any length.
        if (!SourceIntake::CanNameAFile(path)) {
            flushFiles(); // named in the order given
            refusals.push_back(SourceIntake::UnnameableRefusal(path));
            continue;
        }
        if (QFileInfo(path).isDir()) {
            flushFiles();
            state_.FolderAddMode = true;
            addFolderFiles(path, refusals);
        } else {
            files.append(path);
        }
    }
    flushFiles();
    finishAdding(anyFile);
    showRefusals(refusals);
}

void JobListEditor::addChosenFiles(const QStringList& files, std::vector<Refusal>* refusals) {
    if (files.isEmpty())
        return;
    openFolder_ = QFileInfo(files.front()).absolutePath();
    const std::shared_ptr<void> commentReader = holdCommentReader();
    for (const QString& path : files) {
        desktop_.processEvents();
        Refusal refusal = addFile(path, Source::OpenDialog);
        if (refusal.message.isEmpty())
            continue;
        if (refusals)
            refusals->push_back(std::move(refusal));
        else
            desktop_.warning(refusal.message, refusal.reason);
    }
}

void JobListEditor::addFolderFiles(const QString& folder, std::vector<Refusal>& refusals) {
    const QStringList files = SourceIntake::FolderFiles(folder);
    const std::shared_ptr<void> commentReader = holdCommentReader();
    for (const QString& path : files) {
        desktop_.processEvents();
        Refusal refusal = addFile(path, Source::Folder);
        if (!refusal.message.isEmpty())
            refusals.push_back(std::move(refusal));
    }
}

void JobListEditor::showRefusals(const std::vector<Refusal>& refusals) {
    // A folder may hold many files the list refuses: one message names them
    // all at the end, instead of a box to click away for each.
    if (refusals.empty())
        return;
    QStringList messages;
    QStringList reasons;
    for (const Refusal& refusal : refusals) {
        messages.append(refusal.message);
        if (!refusal.reason.isEmpty())
            reasons.append(refusal.reason);
    }
    desktop_.warning(messages.join(QLatin1Char('\n')), reasons.join(QLatin1Char('\n')));
}

JobListEditor::Refusal JobListEditor::addFile(const QString& path, Source source) {
    // Events pumped between files may have started a preview, and the preview
    // reads from the same reader.
    stopPreviewIfPlaying();
    if (source == Source::OpenDialog)
        state_.FolderAddMode = false;

    IAudioFile2* reader = hooks_.reader ? hooks_.reader() : nullptr;
    if (!reader)
        return {QFileInfo(path).fileName() + QStringLiteral(" this File is not supported."),
                QStringLiteral("No audio reader for ") + QFileInfo(path).fileName()};
    SourceIntake::Result taken = intake_.Take(path, *reader, source);
    if (!taken.job)
        return taken.refusal;

    // Always the last row, whatever commands handled while events were
    // pumped did to the list.
    lv_.append(std::move(*taken.job));
    AdjustNameColumn();
    return {};
}

void JobListEditor::finishAdding(bool adoptAlways) {
    RowSelection selection(lvSelection_);
    const bool adopt = lv_.count() > 0 && !selection.hasSelection();
    if (adopt)
        selection.select(0);
    if (adopt || adoptAlways)
        lvClick();
    focusFileList();
    state_.CurrentFile = selection.selected();
    ShowTotalTime();
}

void JobListEditor::RemoveFile() {
    RowSelection selection(lvSelection_);
    const int row = selection.selected();
    if (row < 0)
        return;
    if (state_.Playing) {
        // The preview keeps playing a file that stays in the list; one that
        // leaves it has no record left to show.
        if (row == state_.PlayingFile)
            stopPreviewIfPlaying();
        else if (row < state_.PlayingFile)
            --state_.PlayingFile;
    }

    lv_.remove(row);
    const int rows = lv_.count();
    AdjustNameColumn();

    if (rows == 0) {
        lvTime_.clear();
        setHelpVisible(true);
        resetPosition();
    } else {
        if (state_.CurrentFile < 0 || state_.CurrentFile >= rows - 1)
            state_.CurrentFile = 0;
        selection.select(state_.CurrentFile);
        lvClick();
    }
    ShowTotalTime();
}

void JobListEditor::ClearFiles() {
    // The preview would go on reading records that no longer exist.
    stopPreviewIfPlaying();
    lv_.clear();
    lvTime_.clear();
    setHelpVisible(true);
    AdjustNameColumn();
    resetPosition();
}

void JobListEditor::resetPosition() {
    // With no file left, a position in one means nothing, and the next file
    // added starts at its beginning.
    slider_.SetPosition(0);
    if (skin_.timecaption)
        skin_.timecaption->SetText(FormatTime(0));
    if (skin_.timecaptionElement)
        skin_.timecaptionElement->Refresh();
}

void JobListEditor::MoveFileUp() {
    if (state_.Busy)
        return;
    const int row = RowSelection(lvSelection_).selected();
    if (row <= 0 || row >= lv_.count())
        return;
    moveFile(row, row - 1);
}

void JobListEditor::MoveFileDown() {
    if (state_.Busy)
        return;
    const int row = RowSelection(lvSelection_).selected();
    if (row < 0 || row >= lv_.count() - 1)
        return;
    moveFile(row, row + 1);
}

void JobListEditor::moveFile(int from, int to) {
    if (state_.PlayingFile == from)
        state_.PlayingFile = to;
    else if (state_.PlayingFile == to)
        state_.PlayingFile = from;

    lv_.swap(from, to);
    RowSelection selection(lvSelection_);
    selection.select(to);
    state_.CurrentFile = selection.selected();
    focusFileList();

    // The shared segments of unification live in the first record; when
    // another file becomes first, the list and the total must show its set.
    if (PiecePlan::SharesSegments(PiecePlan::ModeIn(state_)) && std::min(from, to) == 0 &&
        !state_.Playing) {
        segments_.ShowSegments();
        ShowTotalTime();
    }
}

void JobListEditor::lvClick() {
    state_.SegmentFocus = false;
    setHelpVisible(lv_.count() == 0);
    // The function or the split values may have changed since the total was
    // last shown (the settings dialog changes them).
    ShowTotalTime();
    if (lv_.count() == 0)
        return;
    const int last = lv_.count() - 1;
    state_.CurrentFile = std::clamp(state_.CurrentFile, 0, last);

    RowSelection selection(lvSelection_);
    if (state_.Busy) {
        selection.select(state_.CurrentFile);
        return;
    }
    if (state_.Playing) {
        if (state_.PlayingFile >= 0 && state_.PlayingFile <= last)
            selection.select(state_.PlayingFile);
        return;
    }
    if (!selection.hasSelection())
        selection.select(state_.CurrentFile);
    state_.CurrentFile = selection.selected();
    if (state_.CurrentFile < 0)
        return;

    slider_.SetSliderRange(state_.JobList[static_cast<size_t>(state_.CurrentFile)].SliderRange);
    segments_.ShowSegments();
}

void JobListEditor::AdjustNameColumn() {
    if (hooks_.setNameColumnWidth)
        hooks_.setNameColumnWidth(lv_.count() < 12 ? WideNameColumn : NarrowNameColumn);
}

void JobListEditor::ShowTotalTime() {
    // A run takes the working rows off the segment counts until it ends, so
    // the total is left as it was shown before the run.
    if (!skin_.tataltime || state_.Busy)
        return;
    skin_.tataltime->SetText(FormatTime(TotalSeconds(state_)));
    if (skin_.tataltimeElement)
        skin_.tataltimeElement->Refresh();
}

qint64 JobListEditor::TotalSeconds(const AppState& state) {
    const auto rows = static_cast<int>(state.JobList.size());
    std::int64_t totalMs = 0;
    for (int r = 0; r < rows; ++r) {
        const listrecord& record = state.JobList[static_cast<size_t>(r)];
        const PiecePlan::Source source = PiecePlan::Source::Of(record);
        // Pieces between silences cover the whole file.
        if (PiecePlan::NeedsSilences(state)) {
            totalMs += source.durationMs();
            continue;
        }
        for (const PiecePlan::Piece& piece : PiecePlan::Of(state, r, source))
            totalMs += FramePosition::Milliseconds(piece.frames(), source.rate);
    }
    return totalMs / 1000;
}

void JobListEditor::stopPreviewIfPlaying() {
    if (state_.Playing && hooks_.stopPlayback)
        hooks_.stopPlayback();
}

void JobListEditor::setHelpVisible(bool visible) {
    if (hooks_.setHelpVisible)
        hooks_.setHelpVisible(visible);
}

void JobListEditor::focusFileList() {
    if (hooks_.focusFileList)
        hooks_.focusFileList();
}

std::shared_ptr<void> JobListEditor::holdCommentReader() const {
    return hooks_.holdCommentReader ? hooks_.holdCommentReader() : nullptr;
}
