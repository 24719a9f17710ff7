#pragma once

#include "engine/RunOutcome.h"

#include <QString>
#include <QStringList>

// How tarnwell-cli tells what a split or a join planned or did. Each takes
// the outcome of a run (or a dry run's plan, its pieces `Planned`) and
// nothing else, so what is printed is what was cut.
class Reporter {
public:
    virtual ~Reporter() = default;

    // The pieces of `source`, planned or ended; `result` says how its run
    // went ("done", "failed", "stopped", "not done"), empty for a plan.
    virtual void split(const QString& source, const RunOutcome& outcome, const QString& result) = 0;
    // The joined file, planned or written; `sources` are the files its
    // ranges name by index; `result` is "joined" or "stopped".
    virtual void join(const QStringList& sources, const RunOutcome::Piece& joined,
                      const QString& result) = 0;
    // The last line of a run.
    virtual void summary(const QString& text) = 0;

    // Writes `text` and a line break to standard output at once.
    static void Print(const QString& text);
    // A frame as the lists show times: "00:04:17.69".
    static QString Time(std::int64_t frame, std::int32_t rate);
};
