#pragma once

#include "app/listrecord.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

class Desktop;
class PreviewSlider;
class QItemSelectionModel;
class ReportListModel;
struct AppState;
struct SkinObjects;

// Texts of the "Status" column of the segment list.
namespace SegmentStatus {
inline const QString Uncertain = QStringLiteral("Uncertain"); // the working segment
inline const QString Confirmed = QStringLiteral("OK");        // confirmed, list rebuilt
inline const QString JustConfirmed = QStringLiteral("Ok");    // confirmed just now
inline const QString Unconvert = QStringLiteral("Unconvert"); // a computed piece
inline const QString Playing = QStringLiteral("Playing");
inline const QString Converting = QStringLiteral("Converting");
inline const QString Finish = QStringLiteral("Finish");
} // namespace SegmentStatus

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
    };

    // One begin-end range in whole seconds.
    struct Piece {
        std::int32_t begin = 0;
        std::int32_t end = 0;
        bool operator==(const Piece&) const = default;
    };

    SegmentEditor(AppState& state, Desktop& desktop, ReportListModel& lv,
                  QItemSelectionModel& lvSelection, ReportListModel& lvTime,
                  QItemSelectionModel& lvTimeSelection, PreviewSlider& slider,
                  const SkinObjects& skin, Hooks hooks);

    void lv_timeClick();
    void lv_timeDblClick();
    // Refills the list for the selected file and shows the slider's time.
    void ShowSegments();
    void MarkBegin();
    void MarkEnd();
    void ConfirmSegment();
    void RemoveSegment();
    void ClearSegments();

    // The list fillers, shared with the runs: a record's own segments (the
    // last one is the working segment), or the computed pieces of a file of
    // `duration` seconds under the current split settings.
    void FillSegments(const listrecord& record);
    void FillTimePieces(std::int32_t duration);
    void FillCountPieces(std::int32_t duration);

    // The record the commands edit: the first file's in unification, else the
    // selected file's; null when there is none.
    listrecord* RecordInUse();

    // The pieces of the two split functions. A length or count below 1 (only
    // possible from a hand-edited settings file) counts as 1; a count above
    // MaxCountPieces counts as that many, so an absurd count cannot exhaust
    // memory (past the file's length in seconds every piece is empty anyway).
    static constexpr std::int32_t MaxCountPieces = 100000;
    static std::vector<Piece> TimePieces(std::int32_t duration, std::int32_t seconds);
    static std::vector<Piece> CountPieces(std::int32_t duration, std::int32_t count);
    // Caption, length and status of one row.
    static QStringList SegmentRow(std::int32_t begin, std::int32_t end, const QString& status);
    // Makes the segment count agree with the time arrays (at least one
    // segment, never more than the arrays hold).
    static void Normalise(listrecord& record);

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
    ReportListModel& lv_;
    QItemSelectionModel& lvSelection_;
    ReportListModel& lvTime_;
    QItemSelectionModel& lvTimeSelection_;
    PreviewSlider& slider_;
    const SkinObjects& skin_;
    Hooks hooks_;
};
