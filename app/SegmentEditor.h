#pragma once

#include "app/EditorContext.h"
#include "app/SegmentList.h"
#include "core/TitledPiece.h"
#include "core/listrecord.h"
#include "engine/PiecePlan.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class Desktop;
class PreviewSlider;
class QItemSelectionModel;
class JobListModel;
class ReportListModel;
struct AppState;
struct SkinObjects;

// The segment list `lv_time`: shows the segments of the selected file (or the
// shared ones in unification, or the computed pieces of the two split
// functions) and edits the working segment with the preview slider.
class SegmentEditor {
public:
    // What the editor calls back into the job list.
    struct Hooks {
        std::function<void()> showTotalTime;
        std::function<void()> lvClick;
        // The pieces of "Split at silences" for a file, as far as its
        // silences are known.
        std::function<void(const listrecord&)> fillSilencePieces = {};
        // Where a Begin or End mark at `seconds` goes: moved to a silence
        // edge when snapping is asked for.
        std::function<std::int32_t(const listrecord&, std::int32_t seconds)> snapMark = {};
        // The planned pieces of a function that needs the file's silences;
        // none while they are not known yet.
        std::function<std::optional<std::vector<PiecePlan::Piece>>(const listrecord&)> silencePlan =
            {};
    };

    SegmentEditor(const EditorContext& context, Hooks hooks);

    void lv_timeClick();
    void lv_timeDblClick();
    // Refills the list for the selected file and shows the slider's time.
    void ShowSegments();
    void MarkBegin();
    void MarkEnd();
    void ConfirmSegment();
    void RemoveSegment();
    void ClearSegments();

    // The record the commands edit: the first file's in unification, else the
    // selected file's; null when there is none.
    listrecord* RecordInUse();

    // Segments handed over from another program: `read` gives the pieces of
    // the record the marks go to (and the sheet's own tags), which then
    // replace its segments at their exact frames; nothing changes when it
    // gives none. Refused in a split function.
    using ReadPieces = std::function<std::vector<TitledPiece>(const listrecord&, PieceTags& sheet)>;
    void ImportSegments(const ReadPieces& read);
    // What the segment list holds for the selected file, as frame ranges for
    // another program: the confirmed segments, or the planned pieces of a
    // split function. `write` is not called when there are none.
    using WritePieces = std::function<void(const listrecord&, const std::vector<TitledPiece>&,
                                           const PieceTags& sheet)>;
    void ExportSegments(const WritePieces& write);
    // Whether row `row` shows a piece that can change, so that its times
    // and title may be typed in place: a confirmed segment of the record in
    // use, never the working segment, a computed piece, or during a run.
    bool CanChange(int row) const;
    // A title typed into row `row` of the list.
    void TitleEdited(int row, const QString& title);
    // Times typed into row `row` ("04:17.69 - 05:02.13"): the segment then
    // begins and ends on the frames they name. An end left as shown stays
    // on its exact frame.
    void RangeEdited(int row, const QString& text);

private:
    // The record the marks go to, normalised; null (after telling the user
    // why, in a split function) when there is none to edit.
    listrecord* editableRecord();
    void mark(bool begin);
    bool isSplitFunction() const;
    bool refuseInSplitFunction();
    int selectedFile() const;
    // Rebuilds the rows when they no longer show the record (after a run took
    // the working row away).
    void syncRows(const listrecord& record);

    AppState& state_;
    Desktop& desktop_;
    JobListModel& lv_;
    QItemSelectionModel& lvSelection_;
    ReportListModel& lvTime_;
    QItemSelectionModel& lvTimeSelection_;
    PreviewSlider& slider_;
    const SkinObjects& skin_;
    Hooks hooks_;
    // The rows as the runs fill them too.
    SegmentList rows_;
};
