#include "tests/support/FormatCorpus.h"

#include "tests/support/EncoderCorpus.h"
#include "tests/support/Mp4Rewrite.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cmath>
#include <stdexcept>

namespace {

// The format's own decoder, to check FFmpeg's length against.
enum class Own { None, Flac, Opusdec };

// One corpus file: its commands run in order, "%in" standing for the source
// WAV and "%out" for the file made.
struct Recipe {
    const char* name;
    const char* extension;
    int rate;
    int channels;
    double seconds;
    QStringList command;
    bool lossless;
    Own own = Own::None;
    // FFmpeg's AAC encoder fills some bands with noise, which the decoder
    // makes up from a random state that only a decode from the start shares.
    bool randomNoise = false;
    // Read from its MP4 sample tables, not demuxed by libavformat.
    bool sampleTables = false;
    // Rewritten after encoding to list its chunks with 64-bit offsets, as
    // FFmpeg does only for files past 4 GB.
    bool wideOffsets = false;
};

QStringList ffmpeg(const QStringList& codec) {
    return QStringList{"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", "%in"} + codec +
           QStringList{"%out"};
}

QStringList lame(const QStringList& options) {
    return QStringList{"lame", "--quiet"} + options + QStringList{"%in", "%out"};
}

// `elements` between the WAV source and the file written.
QStringList gstreamer(const QStringList& elements) {
    return QStringList{"gst-launch-1.0", "-q", "filesrc", "location=%in", "!", "wavparse", "!",
                       "audioconvert",   "!"} +
           elements + QStringList{"!", "filesink", "location=%out"};
}

QStringList sox(const QStringList& options) {
    return QStringList{"sox", "%in"} + options + QStringList{"%out"};
}

// clang-format off
// Each encoder at least once; MPEG-1, -2 and -2.5 layer III; lengths of
// neither whole seconds nor whole packets, so padding shows.
const std::vector<Recipe>& recipes() {
    static const std::vector<Recipe> all = {
        {"lame_cbr128_44100_2", "mp3", 44100, 2, 5.3713, lame({"-b", "128"}), false},
        {"lame_vbr_v2_48000_2", "mp3", 48000, 2, 4.9001, lame({"-V", "2"}), false},
        {"lame_cbr32_22050_1", "mp3", 22050, 1, 5.1234, lame({"-b", "32"}), false},
        {"lame_vbr_v6_8000_1", "mp3", 8000, 1, 4.777, lame({"-V", "6"}), false},
        {"ffmpeg_libmp3lame_44100_2", "mp3", 44100, 2, 5.0101, ffmpeg({"-c:a", "libmp3lame", "-b:a", "192k"}), false},
        // Counted from their frame headers: without a Xing frame, with ID3v2
        // and ID3v1 tags, and with an APE tag after the frames (no titles:
        // the rows keep the files' names).
        {"lame_notag_44100_2", "mp3", 44100, 2, 4.3217, lame({"-t", "-b", "160"}), false},
        {"lame_vbr_id3_32000_2", "mp3", 32000, 2, 4.1, lame({"-V", "4", "--add-id3v2", "--ta", "Artist", "--tl", "Album"}), false},
        {"ffmpeg_noxing_id3v1_48000_1", "mp3", 48000, 1, 3.9, ffmpeg({"-c:a", "libmp3lame", "-write_xing", "0", "-write_id3v1", "1", "-metadata", "artist=Artist"}), false},
        {"lame_apetag_24000_2", "mp3", 24000, 2, 3.7, {"sh", "-c", "lame --quiet -b 64 '%in' '%out' && printf '\\001\\000\\000\\000\\000\\000\\000\\000Artist\\000TAPETAGEX\\320\\007\\000\\000\\060\\000\\000\\000\\001\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000' >> '%out'"}, false},
        {"ffmpeg_aac_nopns_44100_2", "m4a", 44100, 2, 5.2222, ffmpeg({"-c:a", "aac", "-aac_pns", "0"}), false, Own::None, false, true},
        {"ffmpeg_aac_22050_1", "m4a", 22050, 1, 4.6, ffmpeg({"-c:a", "aac"}), false, Own::None, true, true},
        {"ffmpeg_aac_48000_6", "m4a", 48000, 6, 4.3, ffmpeg({"-c:a", "aac"}), false, Own::None, true, true},
        {"ffmpeg_flac_96000_2", "flac", 96000, 2, 4.1111, ffmpeg({"-c:a", "flac"}), true, Own::Flac},
        {"ffmpeg_flac_ogg_44100_2", "oga", 44100, 2, 4.5, ffmpeg({"-c:a", "flac"}), true, Own::Flac},
        {"ffmpeg_libopus_48000_2", "opus", 48000, 2, 5.0033, ffmpeg({"-c:a", "libopus"}), false, Own::Opusdec},
        {"flac_44100_2", "flac", 44100, 2, 5.4321, {"flac", "--silent", "-f", "-o", "%out", "%in"}, true, Own::Flac},
        // A change of volume fills the low bits: true 24-bit samples.
        {"sox_flac24_48000_2", "flac", 48000, 2, 5.25, {"sox", "%in", "-b", "24", "%out", "vol", "0.9"}, true, Own::Flac},
        {"flac_ogg_22050_1", "oga", 22050, 1, 4.2, {"flac", "--silent", "--ogg", "-f", "-o", "%out", "%in"}, true, Own::Flac},
        {"opusenc_48000_2", "opus", 48000, 2, 5.1, {"opusenc", "--quiet", "%in", "%out"}, false, Own::Opusdec},
        {"opusenc_44100_1", "opus", 44100, 1, 4.4444, {"opusenc", "--quiet", "%in", "%out"}, false, Own::Opusdec},
        {"sox_wav16_44100_2", "wav", 44100, 2, 4.3, sox({"-b", "16"}), true},
        {"sox_wav24_96000_2", "wav", 96000, 2, 3.7, sox({"-b", "24"}), true},
        {"sox_wav32_48000_1", "wav", 48000, 1, 4.1, sox({"-b", "32", "-e", "signed-integer"}), true},
        {"sox_float32_22050_2", "wav", 22050, 2, 4.05, sox({"-b", "32", "-e", "floating-point"}), true},
        {"sox_wav16_48000_6", "wav", 48000, 6, 3.3, sox({"-b", "16"}), true},
        {"sox_aiff_44100_2", "aiff", 44100, 2, 4.2, sox({}), true},
        {"sox_aiff24_8000_1", "aiff", 8000, 1, 3.9, sox({"-b", "24"}), true},
        // The containers FFmpeg writes, each codec as people have it.
        {"ffmpeg_aac_44100_2", "m4a", 44100, 2, 4.8, ffmpeg({"-c:a", "aac"}), false, Own::None, true, true},
        // AAC and ALAC made from an Ogg Vorbis download: the MP4 times their
        // frames unevenly (1472, 576 ...), though each decodes to 1024
        // (4096) frames.
        {"ffmpeg_aac_from_ogg_44100_2", "m4a", 44100, 2, 4.7, {"sh", "-c", "ffmpeg -nostdin -v error -i '%in' -c:a libvorbis -f ogg - | ffmpeg -nostdin -v error -y -i - -c:a aac '%out'"}, false, Own::None, true, true},
        {"ffmpeg_alac_44100_2", "m4a", 44100, 2, 4.6, ffmpeg({"-c:a", "alac"}), true, Own::None, false, true},
        {"ffmpeg_alac_from_ogg_44100_2", "m4a", 44100, 2, 4.5, {"sh", "-c", "ffmpeg -nostdin -v error -i '%in' -c:a libvorbis -f ogg - | ffmpeg -nostdin -v error -y -i - -c:a alac '%out'"}, true, Own::None, false, true},
        // Audio that starts before the edit list's start, which then drops
        // two whole packets and part of the third.
        {"ffmpeg_aac_odd_edit_44100_2", "m4a", 44100, 2, 4.4, {"ffmpeg", "-nostdin", "-v", "error", "-y", "-itsoffset", "-0.0371", "-i", "%in", "-c:a", "aac", "%out"}, false, Own::None, true, true},
        // ALAC whose edit list starts within the first packet, its chunks
        // listed with 64-bit offsets.
        {"ffmpeg_alac_co64_48000_1", "m4a", 48000, 1, 3.9, {"ffmpeg", "-nostdin", "-v", "error", "-y", "-itsoffset", "-0.0123", "-i", "%in", "-c:a", "alac", "%out"}, true, Own::None, false, true, true},
        // Fragments, which the sample tables do not list: left to libavformat.
        {"ffmpeg_aac_fragmented_44100_2", "m4a", 44100, 2, 4.1, ffmpeg({"-c:a", "aac", "-movflags", "frag_keyframe+empty_moov", "-frag_duration", "1000000"}), false, Own::None, true, false},
        // GStreamer's MP4 writer.
        {"gstreamer_aac_mp4_44100_2", "m4a", 44100, 2, 4.2, {"sh", "-c", "ffmpeg -nostdin -v error -i '%in' -c:a aac -f adts - | gst-launch-1.0 -q fdsrc ! aacparse ! mp4mux ! filesink location='%out'"}, false, Own::None, true, true},
        // Ten minutes of packets, more than a window of the sample tables
        // holds: a short recording repeated by stream copy.
        {"ffmpeg_aac_long_8000_1", "m4a", 8000, 1, 5.0, {"sh", "-c", "ffmpeg -nostdin -v error -y -i '%in' -c:a aac '%out.one.m4a' && ffmpeg -nostdin -v error -y -stream_loop 119 -i '%out.one.m4a' -c copy '%out' && rm '%out.one.m4a'"}, false, Own::None, true, true},
        {"ffmpeg_wmav2_44100_2", "wma", 44100, 2, 4.7, ffmpeg({"-c:a", "wmav2"}), false, Own::None, true},
        {"ffmpeg_vorbis_mka_44100_2", "mka", 44100, 2, 4.9, ffmpeg({"-c:a", "libvorbis"}), false},
        {"ffmpeg_opus_webm_48000_2", "webm", 48000, 2, 4.5, ffmpeg({"-c:a", "libopus"}), false, Own::None, true},
        {"ffmpeg_opus_mka_48000_6", "mka", 48000, 6, 3.2, ffmpeg({"-c:a", "libopus"}), false, Own::None, true},
        {"ffmpeg_aac_mka_48000_2", "mka", 48000, 2, 4.1, ffmpeg({"-c:a", "aac"}), false, Own::None, true},
        {"ffmpeg_vorbis_ogg_44100_2", "ogg", 44100, 2, 4.3, ffmpeg({"-c:a", "libvorbis"}), false},
        {"ffmpeg_speex_16000_1", "spx", 16000, 1, 4.4, ffmpeg({"-c:a", "libspeex"}), false, Own::None, true},
        {"ffmpeg_ac3_48000_6", "ac3", 48000, 6, 3.6, ffmpeg({"-c:a", "ac3"}), false, Own::None, true},
        {"ffmpeg_ac3_44100_2", "ac3", 44100, 2, 4.2, ffmpeg({"-c:a", "ac3"}), false, Own::None, true},
        {"ffmpeg_wavpack_44100_2", "wv", 44100, 2, 4.4, ffmpeg({"-c:a", "wavpack"}), true},
        {"ffmpeg_tta_44100_2", "tta", 44100, 2, 3.8, ffmpeg({"-c:a", "tta"}), true},
        {"ffmpeg_caf_48000_2", "caf", 48000, 2, 3.5, ffmpeg({"-c:a", "pcm_s24le"}), true},
        {"ffmpeg_w64_44100_2", "w64", 44100, 2, 3.4, ffmpeg({}), true},
        {"ffmpeg_aifc_float_44100_2", "aifc", 44100, 2, 3.3, ffmpeg({"-c:a", "pcm_f32be", "-f", "aiff"}), true},
        {"ffmpeg_wav_float_48000_6", "wav", 48000, 6, 3.1, ffmpeg({"-c:a", "pcm_f32le"}), true},
        // Other programs' writers of the same containers.
        {"sndfile_w64_44100_2", "w64", 44100, 2, 3.9, {"sndfile-convert", "-pcm24", "%in", "%out"}, true},
        {"sndfile_caf_alac_44100_2", "caf", 44100, 2, 3.7, {"sndfile-convert", "-alac16", "%in", "%out"}, true},
        {"gstreamer_opus_webm_48000_2", "webm", 48000, 2, 4.0, gstreamer({"opusenc", "!", "webmmux"}), false, Own::None, true},
        {"gstreamer_wavpack_44100_2", "wv", 44100, 2, 3.6, gstreamer({"wavpackenc"}), true},
        {"gstreamer_lame_44100_2", "mp3", 44100, 2, 4.05, gstreamer({"lamemp3enc", "!", "id3v2mux"}), false},
    };
    return all;
}
// clang-format on

QStringList programsOf(const Recipe& recipe) {
    QStringList programs{recipe.command.front(), QStringLiteral("sox")};
    if (recipe.own == Own::Flac)
        programs << QStringLiteral("flac");
    if (recipe.own == Own::Opusdec)
        programs << QStringLiteral("opusdec");
    return programs;
}

QString missingPrograms(const Recipe& recipe) {
    QStringList missing;
    for (const QString& program : programsOf(recipe))
        if (QStandardPaths::findExecutable(program).isEmpty() && !missing.contains(program))
            missing << program;
    return missing.isEmpty() ? QString() : missing.join(QStringLiteral(", ")) + " missing";
}

// The format's own decoder writes a WAV file, which FFmpeg then only has to
// read as PCM.
DecodedAudio decodeWithOwn(Own own, const QString& path, const QString& wav) {
    if (own == Own::Flac)
        EncoderCorpus::Run(QStringLiteral("flac"), {"--silent", "-d", "-f", "-o", wav, path});
    else
        EncoderCorpus::Run(QStringLiteral("opusdec"), {"--quiet", "--rate", "48000", path, wav});
    return decodeWithFfmpeg(wav);
}

} // namespace

void FormatCorpus::Synthesize(const QString& source, const QStringList& codec, const QString& out) {
    EncoderCorpus::Run(QStringLiteral("ffmpeg"),
                       QStringList{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", source} +
                           codec + QStringList{out});
}

namespace {

// Encodes the recipe's file, `seconds` of the recording, into `folder`.
QString makeFile(const Recipe& recipe, const QDir& folder, double seconds) {
    const QString name = QString::fromLatin1(recipe.name);
    const QString source = folder.filePath(name + QStringLiteral(".src.wav"));
    const QString out = folder.filePath(name + QLatin1Char('.') + QLatin1String(recipe.extension));
    EncoderCorpus::WriteSource(source, recipe.rate, recipe.channels,
                               std::llround(seconds * recipe.rate));
    QStringList arguments = recipe.command.mid(1);
    for (QString& a : arguments)
        a.replace(QLatin1String("%in"), source).replace(QLatin1String("%out"), out);
    EncoderCorpus::Run(recipe.command.front(), arguments);
    QFile::remove(source);
    if (recipe.wideOffsets)
        Mp4Rewrite::WideOffsets(out, 4096);
    return out;
}

} // namespace

std::vector<FormatCorpus::Made> FormatCorpus::WriteFiles(const QString& folder, double seconds) {
    std::vector<Made> made;
    for (const Recipe& recipe : recipes()) {
        if (!missingPrograms(recipe).isEmpty())
            continue;
        try {
            made.push_back({QString::fromLatin1(recipe.name), makeFile(recipe, folder, seconds)});
        } catch (const std::exception&) {
            // A recipe that fails here fails in the corpus tests, which say why.
        }
    }
    return made;
}

const FormatCorpus& FormatCorpus::Shared() {
    static const FormatCorpus corpus;
    return corpus;
}

FormatCorpus::FormatCorpus() {
    const QDir folder(dir_.path());
    for (const Recipe& recipe : recipes()) {
        File file;
        file.name = QString::fromLatin1(recipe.name);
        file.lossless = recipe.lossless;
        file.randomNoise = recipe.randomNoise;
        file.sampleTables = recipe.sampleTables;
        file.skipped = missingPrograms(recipe);
        if (!file.skipped.isEmpty()) {
            files_.push_back(std::move(file));
            continue;
        }
        try {
            const QString out = makeFile(recipe, folder, recipe.seconds);
            file.reference = decodeWithFfmpeg(out);
            if (recipe.own != Own::None) {
                file.ownDecoder = decodeWithOwn(
                    recipe.own, out, folder.filePath(file.name + QStringLiteral(".own.wav")));
                file.ownDecoderName =
                    recipe.own == Own::Flac ? QStringLiteral("flac -d") : QStringLiteral("opusdec");
            }
            file.path = out;
        } catch (const std::exception& e) {
            file.failure = QString::fromLocal8Bit(e.what());
        }
        files_.push_back(std::move(file));
    }
}
