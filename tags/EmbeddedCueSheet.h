#pragma once

#include "core/CueSheet.h"

#include <QString>

#include <optional>

// The cue sheet a CD image carries inside itself: a FLAC file's CUESHEET
// metadata block, a "CUESHEET" Vorbis comment (FLAC, Ogg) or a "Cuesheet"
// APE item (WavPack, Monkey's Audio). The block holds exact positions and
// ISRC codes but no titles; the text holds everything a sheet file does. So
// the text is taken where there is one, given the block's ISRC and catalog
// number where it lacks them; else the block alone. Tracks start at their
// INDEX 01 either way.
class EmbeddedCueSheet {
public:
    // The sheet `audioPath` carries; none when it carries none. Throws
    // Error naming the file when its only sheet cannot be read.
    static std::optional<CueSheet> Read(const QString& audioPath);
};
