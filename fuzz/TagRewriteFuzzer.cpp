// The tags a split writes into a finished piece (the output tag writers), on a piece
// that may be damaged. The input is a byte choosing the format (MP3, WMA,
// OGG, FLAC, Opus) and then the whole file. A rewrite either fails with an
// Error, keeping the piece under its name and nothing beside it, or succeeds
// with a piece that proves it: the tags read back as written and, where the
// audio could be read whole before, it is the same audio.

#include "core/AudioFileinfo.h"
#include "fuzz/CommentLibrary.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/Error.h"
#include "tags/AudioPayload.h"
#include "tags/OutputTags.h"
#include "tags/SourceTags.h"
#include "tags/WmaTags.h"

#include <array>
#include <cstdint>

namespace {

struct Format {
    const char* extension;
    int headerPackets; // of an Ogg stream; 0: FLAC, -1: no payload check
    void (*writeTags)(const QString& path, const AudioFileinfo& info);
};

constexpr std::array<Format, 5> Formats{{
    {"mp3", -1, WriteId3OutputTags},
    {"wma", -1, WriteWmaOutputTags},
    {"ogg", 3, WriteOggOutputTags},
    {"flac", 0, WriteXiphOutputTags},
    {"opus", 2, WriteXiphOutputTags},
}};

AudioPayload payloadOf(const Format& format, const QString& path) {
    return format.headerPackets == 0 ? AudioPayload::OfFlac(path)
                                     : AudioPayload::OfOgg(path, format.headerPackets);
}

AudioFileinfo pieceTags() {
    AudioFileinfo info;
    info.Title = QStringLiteral("Fuzzed title");
    info.Artist = QStringLiteral("Artist");
    info.Album = QStringLiteral("Album");
    info.Year = QStringLiteral("2001");
    info.Genre = QStringLiteral("Rock");
    info.Track = QStringLiteral("3/12");
    info.Disc = QStringLiteral("1/2");
    return info;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    holdCommentLibrary();
    LoadWmaLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const Format& format = Formats[data[0] % Formats.size()];
    const FuzzEnvironment& scratch = FuzzEnvironment::instance();
    scratch.clear();
    const QString name = QStringLiteral("piece.") + QLatin1String(format.extension);
    scratch.write(name, QByteArray(reinterpret_cast<const char*>(data + 1),
                                   static_cast<qsizetype>(size - 1)));
    const QString path = scratch.path(name);
    const bool checksAudio = format.headerPackets >= 0;
    const AudioPayload before = checksAudio ? payloadOf(format, path) : AudioPayload();

    const AudioFileinfo written = pieceTags();
    try {
        format.writeTags(path, written);
    } catch (const Error&) {
        // Refused: the piece stays, untagged, and nothing is left beside it.
        require(scratch.entries() == QStringList{name}, "a failed rewrite left other files");
        return 0;
    }
    require(scratch.entries() == QStringList{name}, "a rewrite left other files");
    // WMA tags need their library; without it nothing is written.
    if (QLatin1String(format.extension) == QLatin1String("wma") && !WmaInfoAvailable())
        return 0;
    AudioFileinfo read;
    ReadSourceTags(path, read);
    require(read.Title == written.Title, "a rewrite reported success but its title is not there");
    // Audio that could be read whole before must come out the same; a piece
    // whose audio was already past proving (a damaged page, a chain) is
    // proved by its tags alone.
    if (checksAudio && before.valid())
        require(payloadOf(format, path) == before,
                "a rewrite reported success but changed the audio");
    return 0;
}
