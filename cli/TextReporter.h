#pragma once

#include "cli/Reporter.h"

// Outcomes as lines for people: a dry run lists each planned piece
// ("song.ogg<TAB>begin-end<TAB>path[<TAB>title][<TAB>note]"), a run one line
// per source with the files it wrote. Quiet, it lists plans alone.
class TextReporter : public Reporter {
public:
    explicit TextReporter(bool quiet) : quiet_(quiet) {}

    void split(const QString& source, const RunOutcome& outcome, const QString& result) override;
    void join(const QStringList& sources, const RunOutcome::Piece& joined,
              const QString& result) override;
    void summary(const QString& text) override;

private:
    bool quiet_;
};
