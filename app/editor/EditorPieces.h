#pragma once

#include "engine/SilenceFinder.h"

#include <QString>

#include <cstdint>
#include <vector>

struct AppState;
struct listrecord;

// What the waveform editor shows and changes of the job model: the pieces
// of one file row, in that file's frames. Custom and unification edit the
// record the segment list edits (the first file's in unification); the
// split functions only show the pieces they plan. Every change goes
// through the record's exact pieces, so the runs cut at those frames.
class EditorPieces {
public:
    struct Region {
        std::int64_t begin = 0;
        std::int64_t end = 0;
        int number = 0;
        QString title;
        QString artist;
        bool operator==(const Region&) const = default;
    };

    explicit EditorPieces(AppState& state) : state_(state) {}

    // The file row shown; -1 for none.
    void setFile(int row) { file_ = row; }
    int file() const { return file_; }
    // The file's length and rate, from its record.
    std::int64_t frames() const;
    std::int32_t rate() const;
    QString path() const;

    // Whether the pieces may be changed: not in a split function, nor while
    // a run is busy.
    bool editable() const;
    // The pieces in time order of their rows; `silences` serve the function
    // that cuts at them.
    std::vector<Region> regions(const std::vector<Silence>& silences = {}) const;

    // The edits; each returns false (changing nothing) when refused.
    bool setRange(int row, std::int64_t begin, std::int64_t end);
    // The new piece's row, or -1.
    int add(std::int64_t begin, std::int64_t end);
    bool remove(int row);
    bool rename(int row, const QString& title);
    bool setArtist(int row, const QString& artist);
    // Moves piece `row` whole, both cuts together, so it begins as near
    // `begin` as the file and its neighbours allow.
    bool move(int row, std::int64_t begin);
    // Where piece `row` of `regions` may begin when moved towards `begin`
    // within a file of `frames` frames: its length kept, inside the file,
    // and not over the pieces either side (beyond where it lies already).
    static std::int64_t MovedBegin(const std::vector<Region>& regions, int row, std::int64_t begin,
                                   std::int64_t frames);

    // Whether the shown pieces are a split function's plan, which
    // `adoptPlan` turns into the file's own segments.
    bool showsPlan() const;
    // The planned pieces become the shown file's exact, editable pieces and
    // the function becomes custom. False when there is no plan to take.
    bool adoptPlan(const std::vector<Silence>& silences);

private:
    listrecord* record() const;
    // Between the shown file's frames and those of the record edited, which
    // in unification may be another file at another rate.
    std::int64_t toShown(std::int64_t frame) const;
    std::int64_t toRecord(std::int64_t frame) const;

    AppState& state_;
    int file_ = -1;
};
