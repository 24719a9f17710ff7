#include "app/SegmentEditor.h"

#include "app/PreviewSlider.h"
#include "app/SkinObjects.h"
#include "app/skin/ISkinElement.h"
#include "app/skin/ISkinText.h"
#include "core/AppState.h"
#include "core/JobListModel.h"
#include "core/RecordPieces.h"
#include "core/ReportListModel.h"
#include "core/RowSelection.h"
#include "core/Segments.h"
#include "engine/PiecePlan.h"
#include "engine/SegmentFiles.h"
#include "platform/Desktop.h"
#include "platform/FormatTime.h"

#include <algorithm>
#include <utility>

namespace {

const QString OnlyCustomMessage =
    QStringLiteral("Only chose \"Custom\" or \"unification\" function, this button is usable.");
const QString BeginAfterEndMessage = QStringLiteral("Start-time must not be larger than end-time.");
const QString WorkingSegmentMessage =
    QStringLiteral("This item, the procedure will automatically process. Need not delete.");
const QString NotARangeMessage =
    QStringLiteral("\"%1\" is not a begin and end time like 00:04:17.69 - 00:05:02.13.");
const QString NothingToExportMessage = QStringLiteral("There is no segment to export.");
const QString SilencesUnknownMessage =
    QStringLiteral("The silences of this file are still being looked for. Export again when the "
                   "segment list shows its pieces.");

} // namespace

SegmentEditor::SegmentEditor(const EditorContext& context, Hooks hooks)
    : state_(context.state), desktop_(context.desktop), lv_(context.lv),
      lvSelection_(context.lvSelection), lvTime_(context.lvTime),
      lvTimeSelection_(context.lvTimeSelection), slider_(context.slider), skin_(context.skin),
      hooks_(std::move(hooks)), rows_(context.state, context.lvTime) {}

void SegmentEditor::lv_timeClick() {
    if (lvTime_.count() == 0)
        return;
    RowSelection selection(lvTimeSelection_);
    const int last = lvTime_.count() - 1;
    state_.CurrentSegment = std::clamp(state_.CurrentSegment, 0, last);
    if (!selection.hasSelection())
        selection.select(state_.CurrentSegment);
    state_.CurrentSegment = selection.selected();
    state_.SegmentFocus = true;
}

void SegmentEditor::lv_timeDblClick() {
    lv_timeClick();
}

void SegmentEditor::ShowSegments() {
    lvTime_.clear();
    const int file = selectedFile();
    if (file < 0)
        return;
    const listrecord& record = state_.JobList[static_cast<size_t>(file)];
    const bool unification = PiecePlan::SharesSegments(PiecePlan::ModeIn(state_));
    const listrecord& shown = unification ? state_.JobList.front() : record;

    if (skin_.timecaption) {
        skin_.timecaption->SetText(
            FormatTime(slider_.PositionToSeconds(slider_.SliderPos, shown.Duration)));
        if (skin_.timecaptionElement)
            skin_.timecaptionElement->Refresh();
    }

    // Pieces cut at silences wait for the file's silences; the others are
    // known from its record.
    if (PiecePlan::NeedsSilences(state_)) {
        if (hooks_.fillSilencePieces)
            hooks_.fillSilencePieces(record);
    } else if (isSplitFunction()) {
        rows_.FillPieces(PiecePlan::Of(state_, file, PiecePlan::Source::Of(record)),
                         record.SampleRate);
    } else {
        rows_.FillSegments(shown);
    }
}

listrecord* SegmentEditor::RecordInUse() {
    if (lv_.count() == 0 || state_.JobList.empty())
        return nullptr;
    if (PiecePlan::SharesSegments(PiecePlan::ModeIn(state_)))
        return &state_.JobList.front();
    const int file = selectedFile();
    return file < 0 ? nullptr : &state_.JobList[static_cast<size_t>(file)];
}

void SegmentEditor::MarkBegin() {
    mark(true);
}

void SegmentEditor::MarkEnd() {
    mark(false);
}

listrecord* SegmentEditor::editableRecord() {
    if (selectedFile() < 0 || refuseInSplitFunction())
        return nullptr;
    listrecord* record = RecordInUse();
    if (record)
        Segments::Normalise(*record);
    return record;
}

void SegmentEditor::mark(bool begin) {
    listrecord* record = editableRecord();
    if (!record)
        return;
    std::int32_t seconds = slider_.PositionToSeconds(slider_.GetPosition(), record->Duration);
    if (hooks_.snapMark)
        seconds = std::clamp(hooks_.snapMark(*record, seconds), 0, record->Duration);
    const auto last = static_cast<size_t>(record->SegmentCount - 1);
    (begin ? record->BeginTimes : record->EndTimes)[last] = seconds;

    syncRows(*record);
    const QStringList row =
        Segments::SegmentRow(record->BeginTimes[last], record->EndTimes[last], QString());
    lvTime_.setText(static_cast<int>(last), 0, row[0]);
    lvTime_.setText(static_cast<int>(last), 1, row[1]);
    if (hooks_.showTotalTime)
        hooks_.showTotalTime();
}

void SegmentEditor::ConfirmSegment() {
    listrecord* record = editableRecord();
    if (!record)
        return;
    const auto last = static_cast<size_t>(record->SegmentCount - 1);
    if (record->EndTimes[last] - record->BeginTimes[last] < 0) {
        desktop_.warning(BeginAfterEndMessage);
        return;
    }
    if (!record->Pieces.empty()) {
        // The new segment joins the marked pieces at its exact frames.
        RecordPieces::ConfirmWorking(*record);
        rows_.FillSegments(*record);
        lvTime_.setText(static_cast<int>(last), 2, SegmentStatus::JustConfirmed);
        if (hooks_.showTotalTime)
            hooks_.showTotalTime();
        return;
    }
    syncRows(*record);
    lvTime_.setText(static_cast<int>(last), 2, SegmentStatus::JustConfirmed);
    lvTime_.append(Segments::SegmentRow(0, record->Duration, SegmentStatus::Uncertain));
    const auto count = last + 2;
    record->BeginTimes.resize(count);
    record->EndTimes.resize(count);
    record->BeginTimes[count - 1] = 0;
    record->EndTimes[count - 1] = record->Duration;
    record->SegmentCount = static_cast<std::int32_t>(count);
    if (hooks_.showTotalTime)
        hooks_.showTotalTime();
}

void SegmentEditor::RemoveSegment() {
    if (isSplitFunction() || selectedFile() < 0)
        return;
    const int segment = RowSelection(lvTimeSelection_).selected();
    if (segment < 0)
        return;
    listrecord* record = RecordInUse();
    if (!record)
        return;
    Segments::Normalise(*record);
    // The working segment is told by its place, not by its status text: a
    // previewed working segment shows "Playing".
    if (segment == record->SegmentCount - 1) {
        desktop_.warning(WorkingSegmentMessage);
        return;
    }
    if (segment >= record->SegmentCount)
        return;

    if (!record->Pieces.empty()) {
        RecordPieces::Remove(*record, segment);
        rows_.FillSegments(*record);
    } else {
        record->BeginTimes.erase(record->BeginTimes.begin() + segment);
        record->EndTimes.erase(record->EndTimes.begin() + segment);
        record->SegmentCount -= 1;
        record->BeginTimes.resize(static_cast<size_t>(record->SegmentCount));
        record->EndTimes.resize(static_cast<size_t>(record->SegmentCount));
        lvTime_.remove(segment);
        syncRows(*record);
    }

    state_.CurrentSegment = std::clamp(state_.CurrentSegment, 0, lvTime_.count() - 1);
    RowSelection(lvTimeSelection_).select(state_.CurrentSegment);
    if (hooks_.showTotalTime)
        hooks_.showTotalTime();
}

void SegmentEditor::ImportSegments(const ReadPieces& read) {
    listrecord* record = editableRecord();
    if (!record)
        return;
    PieceTags sheet;
    auto pieces = read(*record, sheet);
    if (pieces.empty())
        return;
    RecordPieces::Adopt(*record, std::move(pieces), sheet);
    ShowSegments();
    if (hooks_.showTotalTime)
        hooks_.showTotalTime();
}

void SegmentEditor::ExportSegments(const WritePieces& write) {
    const int file = selectedFile();
    if (file < 0)
        return;
    if (!isSplitFunction()) {
        listrecord* record = editableRecord();
        if (!record)
            return;
        const auto pieces = record->Pieces.empty() ? RecordPieces::Marked(*record) : record->Pieces;
        if (pieces.empty())
            desktop_.warning(NothingToExportMessage);
        else
            write(*record, pieces, record->Sheet);
        return;
    }
    // The pieces the list shows, from the same plan the run cuts.
    const listrecord& record = state_.JobList[static_cast<size_t>(file)];
    std::optional<std::vector<PiecePlan::Piece>> plan;
    if (!PiecePlan::NeedsSilences(state_))
        plan = PiecePlan::Of(state_, file, PiecePlan::Source::Of(record));
    else if (hooks_.silencePlan)
        plan = hooks_.silencePlan(record);
    if (!plan) {
        desktop_.warning(SilencesUnknownMessage);
        return;
    }
    const auto pieces = SegmentFiles::OfPlan(*plan, {});
    if (pieces.empty())
        desktop_.warning(NothingToExportMessage);
    else
        write(record, pieces, record.Sheet);
}

void SegmentEditor::RangeEdited(int row, const QString& text) {
    listrecord* record = isSplitFunction() ? nullptr : RecordInUse();
    if (!record)
        return;
    Segments::Normalise(*record);
    if (row < 0 || row >= record->SegmentCount - 1)
        return; // the working segment is marked with Begin and End
    const QStringList shown = lvTime_.text(row, SegmentList::RangeColumn).split(QLatin1Char('-'));
    const QStringList typed = text.split(QLatin1Char('-'));
    const auto frameOf = [&](int end) -> std::optional<std::int64_t> {
        const QString part = typed.value(end).trimmed();
        // What is still shown as it was keeps its exact frame, which the
        // hundredths shown only round.
        if (shown.size() == 2 && part == shown[end].trimmed()) {
            const auto pieces =
                record->Pieces.empty() ? RecordPieces::Marked(*record) : record->Pieces;
            if (static_cast<size_t>(row) < pieces.size())
                return end == 0 ? pieces[static_cast<size_t>(row)].begin
                                : pieces[static_cast<size_t>(row)].end;
        }
        return Segments::FrameOfClock(part, record->SampleRate);
    };
    const auto begin = typed.size() == 2 ? frameOf(0) : std::nullopt;
    const auto end = typed.size() == 2 ? frameOf(1) : std::nullopt;
    if (!begin || !end) {
        desktop_.warning(NotARangeMessage.arg(text.trimmed()));
        return;
    }
    if (!RecordPieces::SetRange(*record, row, *begin, *end)) {
        desktop_.warning(BeginAfterEndMessage);
        return;
    }
    rows_.FillSegments(*record);
    if (hooks_.showTotalTime)
        hooks_.showTotalTime();
}

void SegmentEditor::TitleEdited(int row, const QString& title) {
    listrecord* record = isSplitFunction() ? nullptr : RecordInUse();
    if (record) {
        Segments::Normalise(*record);
        if (RecordPieces::SetTitle(*record, row, title))
            rows_.FillSegments(*record);
    }
}

bool SegmentEditor::CanChange(int row) const {
    if (state_.Busy || isSplitFunction() || lv_.count() == 0 || state_.JobList.empty())
        return false;
    if (lvTime_.text(row, SegmentList::StatusColumn) == SegmentStatus::Unconvert)
        return false;
    const int file = PiecePlan::SharesSegments(PiecePlan::ModeIn(state_)) ? 0 : selectedFile();
    if (file < 0)
        return false;
    listrecord record = state_.JobList[static_cast<size_t>(file)];
    Segments::Normalise(record);
    return row >= 0 && row < record.SegmentCount - 1;
}

void SegmentEditor::ClearSegments() {
    lvTime_.clear();
    listrecord* record = nullptr;
    if (PiecePlan::SharesSegments(PiecePlan::ModeIn(state_))) {
        record = RecordInUse();
    } else {
        const int file = selectedFile();
        if (file >= 0)
            record = &state_.JobList[static_cast<size_t>(file)];
    }
    if (record) {
        record->Pieces.clear();
        record->Sheet = {};
        record->SegmentCount = 1;
        record->BeginTimes = {0};
        record->EndTimes = {record->Duration};
    }
    if (hooks_.lvClick)
        hooks_.lvClick();
    if (hooks_.showTotalTime)
        hooks_.showTotalTime();
}

bool SegmentEditor::isSplitFunction() const {
    return !PiecePlan::CutsSegments(PiecePlan::ModeIn(state_));
}

bool SegmentEditor::refuseInSplitFunction() {
    if (!isSplitFunction())
        return false;
    desktop_.warning(OnlyCustomMessage);
    return true;
}

int SegmentEditor::selectedFile() const {
    return RowSelection(lvSelection_).selectedBelow(lv_.count());
}

void SegmentEditor::syncRows(const listrecord& record) {
    if (lvTime_.count() != record.SegmentCount)
        rows_.FillSegments(record);
}
