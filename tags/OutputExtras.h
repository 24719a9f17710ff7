#pragma once

#include "tags/CoverArt.h"

#include <QString>

#include <optional>

// What a piece carries besides the fields every output gets (title, artist,
// album, date, genre, numbers): the sheet's composer, comment, ISRC and
// catalog number, the source's front cover, and the loudness measured as it
// was encoded. A sheet's CATALOG is the disc's UPC/EAN, which players know
// as the catalog number or as the barcode: both fields get it. Each format
// takes them in its usual fields:
// - ID3v2: TCOM, COMM, TSRC, TXXX:CATALOGNUMBER and BARCODE, APIC,
//   TXXX:REPLAYGAIN_*;
// - Vorbis comments: COMPOSER, COMMENT, ISRC, CATALOGNUMBER, BARCODE,
//   METADATA_BLOCK_PICTURE (a PICTURE block in FLAC), REPLAYGAIN_* (Opus:
//   R128_TRACK_GAIN and R128_ALBUM_GAIN);
// - WMA: WM/Composer, Description, WM/ISRC, WM/CatalogNo, WM/Barcode,
//   WM/Picture, REPLAYGAIN_*;
// - MP4: ©wrt, ©cmt, covr and iTunes' free-form atoms.
class OutputExtras {
public:
    // The tags a format's files hold, which decide where each field goes.
    enum class Container { None, Id3v2, Vorbis, Opus, Flac, Asf, Mp4 };

    // Loudness in LUFS (EBU R128 integrated) and sample peak as a fraction
    // of full scale.
    struct Loudness {
        double lufs = 0;
        double peak = 0;
        bool operator==(const Loudness&) const = default;
    };

    QString composer;
    QString comment;
    QString isrc;
    QString catalog;
    CoverArt cover;
    std::optional<Loudness> track;
    std::optional<Loudness> album;

    bool empty() const;
    bool operator==(const OutputExtras&) const = default;

    // ReplayGain 2.0 gain of a loudness: to -18 LUFS, in dB.
    static double ReplayGain(double lufs);
    // An Opus R128 gain: to -23 LUFS, in 1/256 dB, as the field holds it.
    static int R128Gain(double lufs);

    // Writes the filled fields into the finished output `path`, whose tags
    // are `container`'s (None: it gets none). The file is edited on a copy
    // that takes its place only once written whole, unless it kept room for
    // its comments that they fit (Opus). Throws Error naming the output when
    // it cannot be.
    void write(const QString& path, Container container) const;
};
