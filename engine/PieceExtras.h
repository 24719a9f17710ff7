#pragma once

#include "core/PieceTags.h"
#include "engine/audio/LoudnessMeter.h"
#include "tags/CoverArt.h"
#include "tags/OutputExtras.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class SettingsFile;
struct listrecord;

// What a split run's pieces carry besides their tags, one source at a time:
// the sheet's composer, comment, ISRC and catalog number, the source's front
// cover (else a cover picture beside the source or its sheet), and with
// ReplayGain on, the loudness of each piece, measured as it is encoded, and
// of all the source's pieces together as the album, written to each of them
// once the last one is done.
class PieceExtras {
public:
    // The "replaygain" key of section "Run"; off unless set.
    static bool ReplayGainChosen(const SettingsFile& settings);
    static void SetReplayGain(SettingsFile& settings, bool on);

    // A new source, open at `rate` and `channels`; its cover is looked up now.
    void beginSource(const listrecord& record, int rate, int channels, bool replayGain);
    // A meter for a piece about to be encoded; none while ReplayGain is off.
    std::shared_ptr<LoudnessMeter> meter() const;
    // Writes into the finished output `path`, whose tags are `container`'s,
    // what it carries besides its tags: `tags` when the piece comes from a
    // sheet (else null), the cover, and the track gain from `meter`, or
    // measured from the file when the piece was copied (null). Throws Error
    // when they cannot be written.
    void write(const QString& path, OutputExtras::Container container, const PieceTags* tags,
               const std::shared_ptr<LoudnessMeter>& meter);
    // The piece just written went to `finalPath`: it gets the album gain.
    void kept(const QString& finalPath);
    // Writes the album gain into every piece of the source kept; returns a
    // line for each that could not take it.
    QStringList endSource();

private:
    struct Kept {
        QString path;
        OutputExtras::Container container;
        std::shared_ptr<LoudnessMeter> meter;
    };
    CoverArt cover_;
    bool replayGain_ = false;
    int rate_ = 0;
    int channels_ = 0;
    std::shared_ptr<LoudnessMeter> last_; // of the piece written last
    OutputExtras::Container lastContainer_ = OutputExtras::Container::None;
    std::vector<Kept> kept_;
};
