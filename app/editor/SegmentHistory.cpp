#include "app/editor/SegmentHistory.h"

#include "core/AppState.h"
#include "core/ReportListModel.h"
#include "core/listrecord.h"

#include <QUndoCommand>

#include <utility>

namespace {

// One step: a file's segments before and after.
class MarksCommand : public QUndoCommand {
public:
    MarksCommand(SegmentHistory& history, QString key, SegmentHistory::Marks before,
                 SegmentHistory::Marks after, const QString& text)
        : QUndoCommand(text), history_(history), key_(std::move(key)), before_(std::move(before)),
          after_(std::move(after)) {}

    void undo() override { history_.restore(key_, before_); }
    void redo() override {
        // Pushing it finds the change made already.
        if (done_)
            history_.restore(key_, after_);
        done_ = true;
    }

private:
    SegmentHistory& history_;
    QString key_;
    SegmentHistory::Marks before_;
    SegmentHistory::Marks after_;
    bool done_ = false;
};

// The function a step changed along with the segments (pieces a split
// function planned, taken as the file's own).
class FunctionCommand : public QUndoCommand {
public:
    FunctionCommand(SegmentHistory& history, std::int32_t before, std::int32_t after,
                    const QString& text)
        : QUndoCommand(text), history_(history), before_(before), after_(after) {}

    void undo() override { history_.restoreFunction(before_); }
    void redo() override {
        if (done_)
            history_.restoreFunction(after_);
        done_ = true;
    }

private:
    SegmentHistory& history_;
    std::int32_t before_;
    std::int32_t after_;
    bool done_ = false;
};

} // namespace

SegmentHistory::Marks SegmentHistory::Marks::Of(const listrecord& record) {
    return {record.SegmentCount, record.BeginTimes, record.EndTimes, record.Pieces, record.Sheet};
}

void SegmentHistory::Marks::applyTo(listrecord& record) const {
    record.SegmentCount = count;
    record.BeginTimes = begins;
    record.EndTimes = ends;
    record.Pieces = pieces;
    record.Sheet = sheet;
}

SegmentHistory::SegmentHistory(AppState& state, ReportListModel& lvTime,
                               std::function<void()> shown, QObject* parent)
    : QObject(parent), state_(state), shown_(std::move(shown)) {
    stack_.setUndoLimit(500);
    look_.setSingleShot(true);
    look_.setInterval(0);
    connect(&look_, &QTimer::timeout, this, [this] { commit(tr("Edit segments")); });
    const auto changed = [this] {
        if (!restoring_)
            look_.start();
    };
    connect(&lvTime, &QAbstractItemModel::dataChanged, this, changed);
    connect(&lvTime, &QAbstractItemModel::rowsInserted, this, changed);
    connect(&lvTime, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(&lvTime, &QAbstractItemModel::modelReset, this, changed);
}

QHash<QString, listrecord*> SegmentHistory::records() {
    QHash<QString, listrecord*> out;
    QHash<QString, int> seen;
    for (listrecord& record : state_.JobList) {
        // A file listed twice keeps its copies apart by their order.
        const int n = seen[record.FileName]++;
        out.insert(record.FileName + QLatin1Char('\n') + QString::number(n), &record);
    }
    return out;
}

void SegmentHistory::commit(const QString& text, int functionBefore) {
    look_.stop();
    const QHash<QString, listrecord*> now = records();
    QHash<QString, Marks> known;
    std::vector<std::pair<QString, Marks>> changed;
    for (auto it = now.begin(); it != now.end(); ++it) {
        Marks marks = Marks::Of(**it);
        const auto before = known_.constFind(it.key());
        // A file seen for the first time was added, not edited.
        if (before != known_.constEnd() && !(*before == marks))
            changed.emplace_back(it.key(), *before);
        known.insert(it.key(), std::move(marks));
    }
    known_ = std::move(known);
    const bool function = functionBefore >= 0 && functionBefore != state_.FunctionChoice;
    const size_t steps = changed.size() + (function ? 1 : 0);
    if (steps == 0)
        return;
    if (steps > 1)
        stack_.beginMacro(text);
    if (function)
        stack_.push(new FunctionCommand(*this, functionBefore, state_.FunctionChoice, text));
    for (auto& [key, before] : changed)
        stack_.push(new MarksCommand(*this, key, std::move(before), known_.value(key), text));
    if (steps > 1)
        stack_.endMacro();
}

void SegmentHistory::undo() {
    if (state_.Busy)
        return;
    commit(tr("Edit segments"));
    stack_.undo();
}

void SegmentHistory::redo() {
    if (state_.Busy)
        return;
    commit(tr("Edit segments"));
    stack_.redo();
}

void SegmentHistory::restore(const QString& key, const Marks& marks) {
    const QHash<QString, listrecord*> now = records();
    listrecord* record = now.value(key);
    // A file removed since has nothing left to change.
    if (!record)
        return;
    marks.applyTo(*record);
    known_.insert(key, marks);
    restoring_ = true;
    if (shown_)
        shown_();
    restoring_ = false;
}

void SegmentHistory::restoreFunction(std::int32_t function) {
    state_.FunctionChoice = function;
    restoring_ = true;
    if (shown_)
        shown_();
    restoring_ = false;
}
