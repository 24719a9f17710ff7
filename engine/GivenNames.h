#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <chrono>

// The output names a run, or the listing of one, has given out, and what it
// learnt while finding them, so that the ten-thousandth piece of a source is
// named as quickly as the first: where each numbered series ("song_1",
// "song_2", ...) may have its next free number, and which outputs other
// copies of the program are writing in a folder.
class GivenNames {
public:
    GivenNames() = default;
    // Names given out before, in order.
    explicit GivenNames(const QSet<QString>& given) : given_(given) {}

    bool contains(const QString& path) const { return given_.contains(path); }
    void insert(const QString& path) { given_.insert(path); }
    void clear();

    // The lowest number of `series` that may be free: every number below it
    // was given out or found taken. 1 for a series not seen yet.
    int firstNumber(const QString& series) const { return next_.value(series, 1); }
    // `number` of `series` was found free.
    void foundFree(const QString& series, int number) { next_.insert(series, number); }

    // The outputs being written in `folder` (OutputNames::Pending), looked
    // for again once they are a second old: a folder of thousands of
    // outputs is not read for each name, and an output another copy starts
    // meanwhile is still seen soon. Its name is never taken over in any case:
    // an output takes its name only where no file has it.
    const QSet<QString>& pending(const QString& folder);

private:
    struct Look {
        QSet<QString> names;
        std::chrono::steady_clock::time_point at;
    };
    QSet<QString> given_;
    QHash<QString, int> next_;
    QHash<QString, Look> pending_;
};
