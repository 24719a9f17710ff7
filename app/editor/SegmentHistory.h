#pragma once

#include "core/PieceTags.h"
#include "core/TitledPiece.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUndoStack>

#include <cstdint>
#include <functional>
#include <vector>

class ReportListModel;
struct AppState;
struct listrecord;

// Undo and redo of every change to the files' segments, whichever window
// made it. It keeps what each listed file's segments were; an edit the
// editor names is recorded at once, and any other change to them (the
// segment list's marks, removes, imports, typed times) is found when the
// segment list next changes and recorded as one step.
class SegmentHistory : public QObject {
    Q_OBJECT

public:
    // What a file's segments are, as far as the runs cut them.
    struct Marks {
        std::int32_t count = 1;
        std::vector<std::int32_t> begins;
        std::vector<std::int32_t> ends;
        std::vector<TitledPiece> pieces;
        PieceTags sheet;
        bool operator==(const Marks&) const = default;
        static Marks Of(const listrecord& record);
        void applyTo(listrecord& record) const;
    };

    // `lvTime` is watched for changes; `shown` is called after an undo or
    // redo has changed a record, so both windows show it.
    SegmentHistory(AppState& state, ReportListModel& lvTime, std::function<void()> shown,
                   QObject* parent = nullptr);

    QUndoStack& stack() { return stack_; }
    // Records what changed since the last look as one step named `text`;
    // with `functionBefore`, a change of the function from it joins the step.
    void commit(const QString& text, int functionBefore = -1);
    // Refused while a run is busy.
    void undo();
    void redo();

    // Replaces the record of file `key` by `marks` (for the commands).
    void restore(const QString& key, const Marks& marks);
    void restoreFunction(std::int32_t function);

private:
    // Each listed record under a key that survives moves of the rows.
    QHash<QString, listrecord*> records();

    AppState& state_;
    std::function<void()> shown_;
    QUndoStack stack_;
    QHash<QString, Marks> known_;
    QTimer look_;
    bool restoring_ = false;
};
