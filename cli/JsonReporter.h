#pragma once

#include "cli/Reporter.h"

#include <QJsonArray>
#include <QJsonObject>

// Outcomes as one JSON array for scripts, printed by `summary`: an object per
// piece of a split, planned or ended, and one per joined file. Every object
// has every key, null where it has no value, so a script never has to ask
// whether one is there.
class JsonReporter : public Reporter {
public:
    void split(const QString& source, const RunOutcome& outcome, const QString& result) override;
    void join(const QStringList& sources, const RunOutcome::Piece& joined,
              const QString& result) override;
    void summary(const QString& text) override;

    const QJsonArray& objects() const { return objects_; }

private:
    // The keys every object has, filled from `piece`.
    static QJsonObject Object(const RunOutcome::Piece& piece);

    QJsonArray objects_;
};
