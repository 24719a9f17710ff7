#include "app/JobListEditor.h"

#include "app/PreviewSlider.h"
#include "app/SegmentEditor.h"
#include "app/SkinObjects.h"
#include "app/skin/ISkinElement.h"
#include "app/skin/ISkinText.h"
#include "core/AppState.h"
#include "core/ReportListModel.h"
#include "core/RowSelection.h"
#include "core/Segments.h"
#include "engine/PiecePlan.h"
#include "engine/audio/IAudioFile2.h"
#include "platform/CleanTitle.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/FormatTime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <climits>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const QString NotSupported = QStringLiteral(" this File is not supported.");
const QString ErrorOrNotSupported = QStringLiteral(" this File is Error or not supported.");
const QString AddFolderCaption = QStringLiteral("Add File Directory");

bool isOgg(const QString& path) {
    return QFileInfo(path).suffix().toLower() == QLatin1String("ogg");
}

// Named as a Vorbis file: its comments are read before it is measured.
bool isOggOrOga(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("ogg") || suffix == QLatin1String("oga");
}

// Keeps both arrays at least `rows` long: entry k belongs to row k.
void reserveRows(AppState& state, int rows) {
    const auto needed = static_cast<size_t>(std::max(rows, 0));
    if (state.JobList.size() < needed)
        state.JobList.resize(needed);
    if (state.TagList.size() < needed)
        state.TagList.resize(needed);
}

} // namespace

JobListEditor::JobListEditor(const EditorContext& context, SegmentEditor& segments, Hooks hooks)
    : state_(context.state), desktop_(context.desktop), lv_(context.lv),
      lvSelection_(context.lvSelection), lvTime_(context.lvTime), segments_(segments),
      slider_(context.slider), skin_(context.skin), hooks_(std::move(hooks)) {}

void JobListEditor::AddFiles() {
    if (openFolder_.isEmpty()) {
        // Not the working folder, which for a program started from a menu
        // means nothing to the user.
        const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
        openFolder_ = QFileInfo(music).isDir() ? music : QDir::homePath();
    }
    const QStringList files = desktop_.openFiles(OpenFilter, openFolder_);
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
        if (!CanNameAFile(path)) {
            flushFiles(); // named in the order given
            refusals.push_back({ShortName(QFileInfo(path).fileName()) + NotSupported,
                                QStringLiteral("The name %1 is longer than the system allows "
                                               "for a file.")
                                    .arg(ShortName(path))});
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
    // Name order, as a file manager lists the folder; subfolders are not
    // entered, and a folder named like an Ogg file is not one.
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    const std::shared_ptr<void> commentReader = holdCommentReader();
    for (const QFileInfo& entry : entries) {
        desktop_.processEvents();
        desktop_.processEvents();
        if (!isOgg(entry.fileName()))
            continue;
        desktop_.processEvents();
        Refusal refusal = addFile(QDir(folder).filePath(entry.fileName()), Source::Folder);
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

    const QString name = QFileInfo(path).fileName();
    // The new row's index, not the count at the start of the add: commands
    // handled while events were pumped may have changed the list.
    const int row = lv_.append({name});
    AdjustNameColumn();
    reserveRows(state_, row + 1);
    state_.TagList[static_cast<size_t>(row)] = AudioFileinfo{};
    if (source == Source::OpenDialog)
        state_.FolderAddMode = false;

    try {
        // Measured first: when the file is refused, the reader says why.
        IAudioFile2* reader = hooks_.reader ? hooks_.reader() : nullptr;
        if (!reader)
            throw Error(QStringLiteral("No audio reader for ") + name);
        measure(*reader, path, source, row);
        if (source == Source::Folder || isOggOrOga(path)) {
            AudioFileinfo comments;
            if (hooks_.readComments)
                hooks_.readComments(path, comments);
            // The caption becomes part of output file names, so it loses the
            // characters a file name cannot hold; the tag keeps the title as
            // the source has it, since every tag format holds them.
            const QString caption = CleanTitle(comments.Title).trimmed();
            if (!caption.isEmpty())
                lv_.setText(row, 0, caption);
            // However the file came, its pieces carry its tags.
            AudioFileinfo& tags = state_.TagList[static_cast<size_t>(row)];
            tags.Title = comments.Title.trimmed();
            tags.Artist = comments.Artist;
            tags.Album = comments.Album;
            tags.Comment = comments.Comment;
            tags.Genre = comments.Genre;
            tags.Year = YearOf(comments.Year);
        }
    } catch (...) {
        QString reason;
        try {
            throw;
        } catch (const Error& e) {
            reason = e.message();
        } catch (const std::exception& e) {
            reason = QString::fromLocal8Bit(e.what());
        } catch (...) {
        }
        resetReader();
        reject(row);
        if (QFileInfo(path).isDir())
            reason = QStringLiteral("%1 is a folder.").arg(path);
        return {name + NotSupported, reason};
    }

    // Under a second there is nothing to cut, and every time shows 0.
    if (state_.JobList[static_cast<size_t>(row)].Duration == 0) {
        reject(row);
        return {
            name + ErrorOrNotSupported,
            QStringLiteral("%1 lasts less than one second: there is nothing to cut.").arg(path)};
    }
    return {};
}

void JobListEditor::measure(IAudioFile2& reader, const QString& path, Source source, int row) {
    if (reader.IsOpen())
        reader.Close();
    reader.Open(path, 0, 1);
    const std::int32_t durationMs = std::max(reader.DurationMs(), 0);

    listrecord record;
    record.FileName = path;
    record.Duration = durationMs / 1000;
    record.SliderRange = std::max(
        durationMs / 500, source == Source::OpenDialog ? OpenDialogMinRange : FolderMinRange);
    record.SampleCount = reader.SampleCount();
    record.SampleRate = reader.SampleRate();
    record.BeginTimes = {0};
    record.EndTimes = {record.Duration};
    record.SegmentCount = 1;
    state_.JobList[static_cast<size_t>(row)] = std::move(record);

    lv_.setText(row, 1, FormatTime(durationMs / 1000));
    reader.Close();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot read ") + path + QStringLiteral(": ") +
                    file.errorString());
    const qint64 size = file.size();
    file.close();
    lv_.setText(row, 2, SizeText(size));
}

void JobListEditor::reject(int row) {
    // The row goes before any message is shown: the message box runs its
    // own event loop, and the list must already be consistent then.
    lv_.remove(row);
    AdjustNameColumn();
}

void JobListEditor::resetReader() {
    IAudioFile2* reader = hooks_.reader ? hooks_.reader() : nullptr;
    if (!reader)
        return;
    try {
        if (reader->IsOpen())
            reader->Close();
        reader->SetActive(false);
        reader->SetActive(true);
    } catch (...) {
        // The reset is a best effort; the next Open reports a reader that
        // still fails.
    }
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

    if (static_cast<size_t>(row) < state_.JobList.size())
        state_.JobList.erase(state_.JobList.begin() + row);
    if (static_cast<size_t>(row) < state_.TagList.size())
        state_.TagList.erase(state_.TagList.begin() + row);
    lv_.remove(row);
    const int rows = lv_.count();
    state_.JobList.resize(static_cast<size_t>(rows));
    state_.TagList.resize(static_cast<size_t>(rows));
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
    state_.JobList.clear();
    state_.TagList.clear();
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
    reserveRows(state_, std::max(from, to) + 1);
    std::swap(state_.JobList[static_cast<size_t>(from)], state_.JobList[static_cast<size_t>(to)]);
    std::swap(state_.TagList[static_cast<size_t>(from)], state_.TagList[static_cast<size_t>(to)]);
    state_.CurrentFile = selection.selected();
    focusFileList();

    // The shared segments of unification live in the first record; when
    // another file becomes first, the list and the total must show its set.
    if (state_.FunctionChoice == FunctionUnification && std::min(from, to) == 0 &&
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
    if (state_.CurrentFile < 0 || static_cast<size_t>(state_.CurrentFile) >= state_.JobList.size())
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
    skin_.tataltime->SetText(FormatTime(TotalSeconds(state_, lv_.count())));
    if (skin_.tataltimeElement)
        skin_.tataltimeElement->Refresh();
}

qint64 JobListEditor::TotalSeconds(const AppState& state, int rows) {
    rows = std::min(rows, static_cast<int>(state.JobList.size()));
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
            totalMs += PiecePlan::Milliseconds(piece.frames(), source.rate);
    }
    return totalMs / 1000;
}

QString JobListEditor::YearOf(const QString& date) {
    // The first four digits that follow no other digit: "2001-05-03",
    // "03.05.2001" and "May 2001" all give 2001.
    static const QRegularExpression year(QStringLiteral("(?<!\\d)(\\d{4})"));
    const QRegularExpressionMatch match = year.match(date);
    return match.hasMatch() ? match.captured(1) : date.trimmed();
}

QString JobListEditor::ShortName(const QString& name) {
    constexpr qsizetype Longest = 120;
    if (name.size() <= Longest)
        return name;
    return name.left(80) + QChar(0x2026) + name.right(30) +
           QStringLiteral(" (%1 characters)").arg(name.size());
}

bool JobListEditor::CanNameAFile(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.isEmpty() || bytes.size() >= PATH_MAX)
        return false;
    for (const QByteArray& part : bytes.split('/'))
        if (part.size() > NAME_MAX)
            return false;
    return true;
}

QString JobListEditor::SizeText(qint64 bytes) {
    const double megabytes = static_cast<double>(std::max<qint64>(bytes, 0)) / 1024.0 / 1024.0;
    // Five significant digits, shown with two decimals.
    const int integerDigits =
        megabytes < 1.0 ? 1 : static_cast<int>(std::floor(std::log10(megabytes))) + 1;
    const int decimals = std::clamp(5 - integerDigits, 0, 2);
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(megabytes * scale) / scale;
    return QString::number(rounded, 'f', 2) + QStringLiteral("MB");
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
