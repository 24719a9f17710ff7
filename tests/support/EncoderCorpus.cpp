#include "tests/support/EncoderCorpus.h"

#include "tests/support/OggFixture.h"
#include "tests/support/OggPages.h"
#include "tests/support/RealRecording.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <ogg/ogg.h>

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

enum class Made { ByCommands, Chained, NegativeGranule };

// Rewrites of oggenc's file into patterns of real files, defined below.
void repeatHeaders(const QString& path);
void shareHeaderPage(const QString& path);
void breakChecksum(const QString& path);
void addPagesAfterTheEnd(const QString& path);

// One corpus file. Its commands run in order; in their arguments "%in" is
// the source WAV, "%out" the Ogg file, "%tmp" an Ogg file in between.
struct Recipe {
    const char* name;
    int rate;
    int channels;
    double seconds; // of the source; some encoders pad it
    std::vector<QStringList> commands;
    Made made = Made::ByCommands;
    void (*rewrite)(const QString& path) = nullptr; // after the commands
};

QStringList ffmpeg(const QString& input, const QStringList& codec) {
    return QStringList{"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", input} + codec +
           QStringList{"%out"};
}

QStringList oggenc(const QStringList& options) {
    return QStringList{"oggenc", "-Q"} + options + QStringList{"-o", "%out", "%in"};
}

// clang-format off
const QStringList Libvorbis{"-c:a", "libvorbis"};
const QStringList LibvorbisQ10{"-c:a", "libvorbis", "-q:a", "10"};
const QStringList Native{"-c:a", "vorbis", "-strict", "-2"};
const QStringList OggencToTmp{"oggenc", "-Q", "-o", "%tmp", "%in"};
const QStringList Sox{"sox", "%in", "%out"};
const QStringList Sndfile{"sndfile-convert", "-vorbis", "%in", "%out"};
const QStringList Gstreamer{"gst-launch-1.0", "-q", "filesrc", "location=%in", "!", "wavparse",
                            "!", "audioconvert", "!", "vorbisenc", "!", "oggmux",
                            "!", "filesink", "location=%out"};

// Each encoder at least once, each rate and channel count at least once.
// Lengths of whole seconds, of whole milliseconds and of neither: where a
// second falls between two frames, rounding shows.
const std::vector<Recipe>& recipes() {
    static const std::vector<Recipe> all = {
        {"ffmpeg_libvorbis_44100_2", 44100, 2, 7.3456, {ffmpeg("%in", Libvorbis)}},
        {"ffmpeg_libvorbis_8000_1", 8000, 1, 6.90037, {ffmpeg("%in", Libvorbis)}},
        {"ffmpeg_libvorbis_q10_96000_2", 96000, 2, 6.2, {ffmpeg("%in", LibvorbisQ10)}},
        // FFmpeg's own encoder takes stereo only.
        {"ffmpeg_vorbis_48000_2", 48000, 2, 7.0, {ffmpeg("%in", Native)}},
        // oggenc, then FFmpeg re-encoding what oggenc made, as a converted
        // download would be.
        {"ffmpeg_from_oggenc_44100_2", 44100, 2, 6.61237, {OggencToTmp, ffmpeg("%tmp", Libvorbis)}},
        {"oggenc_q-1_22050_1", 22050, 1, 7.5, {oggenc({"-q", "-1"})}},
        {"oggenc_q10_44100_2", 44100, 2, 7.0, {oggenc({"-q", "10"})}},
        {"oggenc_managed96_48000_2", 48000, 2, 6.43219, {oggenc({"--managed", "-b", "96"})}},
        {"oggenc_48000_6", 48000, 6, 6.0, {oggenc({})}},
        {"sox_44100_1", 44100, 1, 7.1003, {Sox}},
        {"sox_8000_2", 8000, 2, 6.5, {Sox}},
        {"sndfile_22050_2", 22050, 2, 6.81111, {Sndfile}},
        {"sndfile_96000_1", 96000, 1, 6.3, {Sndfile}},
        {"gstreamer_48000_2", 48000, 2, 7.20013, {Gstreamer}},
        {"gstreamer_22050_1", 22050, 1, 6.1, {Gstreamer}},
        {"fixture_chained_22050_1_48000_2", 22050, 1, 7.0, {}, Made::Chained},
        {"fixture_negative_granule_44100_2", 44100, 2, 6.5, {}, Made::NegativeGranule},
        // oggenc's file rewritten into patterns of real files: its headers
        // again inside the audio, audio on the last header page, a page that
        // fails its checksum, pages after the end of the stream.
        {"repeated_headers_44100_2", 44100, 2, 6.7, {oggenc({})}, Made::ByCommands, repeatHeaders},
        {"shared_header_page_44100_2", 44100, 2, 6.4, {oggenc({})}, Made::ByCommands, shareHeaderPage},
        {"bad_checksum_44100_2", 44100, 2, 6.6, {oggenc({})}, Made::ByCommands, breakChecksum},
        {"pages_after_the_end_44100_2", 44100, 2, 6.3, {oggenc({})}, Made::ByCommands, addPagesAfterTheEnd},
    };
    return all;
}
// clang-format on

void writeLittle(QByteArray& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

// An excerpt of the real recording from second 20 on, resampled to `rate`
// and spread over `channels` (each surround speaker a different mix).
QByteArray recordingExcerpt(int rate, int channels, long long frames) {
    const QString recording = EncoderCorpus::RealRecording();
    QString mix;
    if (channels == 1)
        mix = QStringLiteral(",pan=mono|c0=0.5*c0+0.5*c1");
    else if (channels == 6)
        mix = QStringLiteral(",pan=5.1|FL=c0|FR=c1|FC=0.5*c0+0.5*c1|LFE=0.7*c0-0.2*c1|"
                             "BL=0.6*c0-0.4*c1|BR=0.7*c1-0.3*c0");
    else if (channels != 2)
        mix = QStringLiteral(",aformat=channel_layouts=%1c").arg(channels);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-nostdin", "-v", "error", "-stream_loop", "-1", "-ss", "20", "-i", recording,
                  "-af", QStringLiteral("aresample=%1%2,atrim=end_sample=%3").arg(rate).arg(mix).arg(frames),
                  "-f", "s16le", "-c:a", "pcm_s16le", "-"});
    if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitStatus() != QProcess::NormalExit ||
        ffmpeg.exitCode() != 0)
        throw std::runtime_error("ffmpeg could not take an excerpt of " + recording.toStdString() +
                                 ": " + ffmpeg.readAllStandardError().toStdString());
    QByteArray data = ffmpeg.readAllStandardOutput();
    if (data.size() != frames * channels * 2)
        throw std::runtime_error("the excerpt of " + recording.toStdString() + " came out " +
                                 std::to_string(data.size()) + " bytes long");
    return data;
}

} // namespace

QString EncoderCorpus::RealRecording() {
    return ::RealRecording();
}

void EncoderCorpus::WriteSource(const QString& path, int rate, int channels, long long frames) {
    const QByteArray data = recordingExcerpt(rate, channels, frames);
    // More than two channels need the extensible header and its speaker
    // mask (5.1 here) for every encoder to accept them.
    const bool extensible = channels > 2;
    QByteArray format;
    writeLittle(format, extensible ? 0xfffe : 1, 2);
    writeLittle(format, static_cast<std::uint32_t>(channels), 2);
    writeLittle(format, static_cast<std::uint32_t>(rate), 4);
    writeLittle(format, static_cast<std::uint32_t>(rate * channels * 2), 4);
    writeLittle(format, static_cast<std::uint32_t>(channels * 2), 2);
    writeLittle(format, 16, 2);
    if (extensible) {
        writeLittle(format, 22, 2);
        writeLittle(format, 16, 2);
        writeLittle(format, 0x3f, 4);
        format.append(QByteArray::fromHex("0100000000001000800000aa00389b71"));
    }
    QByteArray wav = "RIFF";
    writeLittle(wav, static_cast<std::uint32_t>(4 + 8 + format.size() + 8 + data.size()), 4);
    wav += "WAVEfmt ";
    writeLittle(wav, static_cast<std::uint32_t>(format.size()), 4);
    wav += format + "data";
    writeLittle(wav, static_cast<std::uint32_t>(data.size()), 4);
    wav += data;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(wav) != wav.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

void EncoderCorpus::Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(-1))
        throw std::runtime_error(
            QStringLiteral("%1 did not run: %2").arg(program, process.errorString()).toStdString());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error(
            QStringLiteral("%1 %2 failed (exit %3): %4")
                .arg(program, arguments.join(QLatin1Char(' ')))
                .arg(process.exitCode())
                .arg(QString::fromLocal8Bit(process.readAllStandardError()).trimmed())
                .toStdString());
}

namespace {

// The programs a recipe needs that this machine lacks.
QString missingPrograms(const Recipe& recipe) {
    QStringList needed{QStringLiteral("oggdec")};
    for (const QStringList& command : recipe.commands)
        needed << command.front();
    QStringList missing;
    for (const QString& program : needed)
        if (QStandardPaths::findExecutable(program).isEmpty() && !missing.contains(program))
            missing << program;
    return missing.isEmpty() ? QString() : missing.join(QStringLiteral(", ")) + " missing";
}

QString encode(const Recipe& recipe, const QDir& folder) {
    const QString name = QString::fromLatin1(recipe.name);
    const QString source = folder.filePath(name + QStringLiteral(".wav"));
    const QString out = folder.filePath(name + QStringLiteral(".ogg"));
    EncoderCorpus::WriteSource(source, recipe.rate, recipe.channels,
                               std::llround(recipe.seconds * recipe.rate));
    for (const QStringList& command : recipe.commands) {
        QStringList arguments = command.mid(1);
        for (QString& a : arguments)
            a.replace(QLatin1String("%in"), source)
                .replace(QLatin1String("%out"), out)
                .replace(QLatin1String("%tmp"), folder.filePath(name + QStringLiteral(".tmp.ogg")));
        EncoderCorpus::Run(command.front(), arguments);
    }
    return out;
}

// 3 s at 22050 Hz mono, then 4 s at 48000 Hz stereo, the two files one
// after the other. The program reads the second link converted to the
// first's format, so the length is the first link's frames plus the
// second's at the first's rate. oggdec stops where the format changes, so
// the reference is its decoding of the first link alone.
void makeChained(const QDir& folder, EncoderCorpus::File& file) {
    const QString first = OggFixture::NoiseAndSweep(3.0, 22050, 1).write(folder.filePath("l1.ogg"));
    const QString second =
        OggFixture::NoiseAndSweep(4.0, 48000, 2).write(folder.filePath("l2.ogg"));
    QByteArray bytes;
    for (const QString& link : {first, second}) {
        QFile f(link);
        if (!f.open(QIODevice::ReadOnly))
            throw std::runtime_error("cannot read " + link.toStdString());
        bytes += f.readAll();
    }
    const QString path = folder.filePath(file.name + QStringLiteral(".ogg"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());

    file.reference = EncoderCorpus::DecodeWithOggdec(first);
    const auto secondFrames =
        static_cast<long long>(EncoderCorpus::DecodeWithOggdec(second).size() / 2);
    file.frames = file.referenceFrames() + (secondFrames * 22050 + 24000) / 48000;
    file.linksDiffer = true;
    file.path = path;
}

// A stream picked up after its start: every audio page's granule position
// lowered so far that the first audio page's is -3000.
QString makeNegativeGranule(const QDir& folder, const Recipe& recipe) {
    const QString whole = OggFixture::NoiseAndSweep(recipe.seconds, recipe.rate, recipe.channels)
                              .write(folder.filePath("whole.ogg"));
    OggPages pages(whole);
    const int first = pages.firstAudioPage();
    const std::int64_t shift = OggPages::granule(pages.pages[static_cast<size_t>(first)]) + 3000;
    for (size_t i = static_cast<size_t>(first); i < pages.pages.size(); ++i)
        if (OggPages::granule(pages.pages[i]) != -1)
            OggPages::setGranule(pages.pages[i], OggPages::granule(pages.pages[i]) - shift);
    const QString path = folder.filePath(QString::fromLatin1(recipe.name) + QStringLiteral(".ogg"));
    pages.write(path);
    return path;
}

// As a game's music files have it: an encoder that wrote the three headers
// again in the middle of the stream, on a page with the next audio packet,
// and counted the positions from there afresh (from -104, as ogginfo warns),
// while the audio laps on. vorbisfile skips the headers and believes the
// packets.
void repeatHeaders(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    const QByteArray bytes = file.readAll();
    file.close();
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, bytes.size());
    std::memcpy(buffer, bytes.constData(), static_cast<size_t>(bytes.size()));
    ogg_sync_wrote(&sync, bytes.size());
    ogg_stream_state in;
    ogg_stream_state out;
    bool started = false;
    std::vector<QByteArray> headers;
    QByteArray written;
    const auto flush = [&](bool all) {
        ogg_page page;
        while (all ? ogg_stream_flush(&out, &page) : ogg_stream_pageout(&out, &page)) {
            written.append(reinterpret_cast<const char*>(page.header), page.header_len);
            written.append(reinterpret_cast<const char*>(page.body), page.body_len);
        }
    };
    const auto put = [&](const QByteArray& data, std::int64_t granule, bool eos, bool bos) {
        ogg_packet packet{};
        packet.packet = reinterpret_cast<unsigned char*>(const_cast<char*>(data.constData()));
        packet.bytes = data.size();
        packet.granulepos = granule;
        packet.e_o_s = eos;
        packet.b_o_s = bos;
        ogg_stream_packetin(&out, &packet);
    };
    std::int64_t audio = 0;
    std::int64_t shift = 0; // taken off every position from the repeat on
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) == 1) {
        if (!started) {
            ogg_stream_init(&in, ogg_page_serialno(&page));
            ogg_stream_init(&out, ogg_page_serialno(&page));
            started = true;
        }
        ogg_stream_pagein(&in, &page);
        ogg_packet packet;
        while (ogg_stream_packetout(&in, &packet) == 1) {
            const QByteArray data(reinterpret_cast<const char*>(packet.packet),
                                  static_cast<qsizetype>(packet.bytes));
            if (headers.size() < 3) {
                headers.push_back(data);
                put(data, 0, false, headers.size() == 1);
                if (headers.size() != 2)
                    flush(true);
                continue;
            }
            ++audio;
            // About a second in: the headers again, then this packet alone
            // on a page whose position restarts the count.
            if (audio == 90) {
                flush(true);
                for (const QByteArray& header : headers)
                    put(header, -1, false, false);
                shift = packet.granulepos != -1 ? packet.granulepos + 104 : 0;
                put(data, -104, false, false);
                flush(true);
                continue;
            }
            const std::int64_t granule = packet.granulepos == -1 || audio < 90
                                             ? packet.granulepos
                                             : packet.granulepos - shift;
            put(data, granule, packet.e_o_s != 0, false);
            flush(false);
        }
    }
    if (started) {
        flush(true);
        ogg_stream_clear(&in);
        ogg_stream_clear(&out);
    }
    ogg_sync_clear(&sync);
    if (audio < 100)
        throw std::runtime_error("too short for repeated headers: " + path.toStdString());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(written) != written.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

// lincity-ng's music: the page that ends the headers carries the first audio
// packets and the start of one more, which runs on. oggdec starts after
// that page, with the first packet that starts after it.
void shareHeaderPage(const QString& path) {
    OggPages pages(path);
    const int audio = pages.firstAudioPage();
    int next = audio + 1;
    while (next + 2 < static_cast<int>(pages.pages.size()) &&
           !OggPages::startsWithLongPacket(pages.pages[static_cast<size_t>(next)]))
        ++next;
    pages.splitFirstPacket(next);
    pages.join(audio - 1, next);
    pages.write(path);
}

// A page in the middle whose checksum fails: libogg passes over it, and
// oggdec decodes on without it.
void breakChecksum(const QString& path) {
    const OggPages pages(path);
    qsizetype at = 0;
    for (size_t i = 0; i <= pages.pages.size() / 2; ++i)
        at += pages.pages[i].size();
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        throw std::runtime_error("cannot change " + path.toStdString());
    QByteArray bytes = file.readAll();
    bytes[at - 10] = static_cast<char>(bytes[at - 10] ^ 0x5a);
    file.seek(0);
    file.write(bytes);
}

// wesnoth's northerners.ogg: the end of the stream flagged on a page before
// the last, with pages of the same stream after it, each flagged too and
// claiming less than its packets hold. oggdec decodes them all, trimming
// the last packet of each as the position claims.
void addPagesAfterTheEnd(const QString& path) {
    OggPages pages(path);
    const size_t last = pages.pages.size() - 1;
    for (size_t i = last - 2; i <= last; ++i)
        pages.pages[i][5] = static_cast<char>(pages.pages[i][5] | 4);
    const std::int64_t end = OggPages::granule(pages.pages[last - 2]) - 300;
    OggPages::setGranule(pages.pages[last - 2], end);
    OggPages::setGranule(pages.pages[last - 1], end);
    pages.write(path);
}

} // namespace

std::vector<std::int16_t> EncoderCorpus::DecodeWithOggdec(const QString& path) {
    const QString oggdec = QStandardPaths::findExecutable(QStringLiteral("oggdec"));
    if (oggdec.isEmpty())
        throw std::runtime_error("oggdec is missing (vorbis-tools)");
    QProcess process;
    process.start(oggdec, {"-Q", "-R", "-b", "16", "-e", "0", "-s", "1", "-o", "-", path});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        throw std::runtime_error("oggdec failed on " + path.toStdString() + ": " +
                                 process.readAllStandardError().toStdString());
    const QByteArray raw = process.readAllStandardOutput();
    std::vector<std::int16_t> samples(static_cast<size_t>(raw.size() / 2));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(
            static_cast<unsigned char>(raw[static_cast<qsizetype>(2 * i)]) |
            static_cast<unsigned char>(raw[static_cast<qsizetype>(2 * i + 1)]) << 8);
    return samples;
}

const EncoderCorpus& EncoderCorpus::Shared() {
    static const EncoderCorpus corpus;
    return corpus;
}

EncoderCorpus::EncoderCorpus() {
    const QDir folder(dir_.path());
    for (const Recipe& recipe : recipes()) {
        File file;
        file.name = QString::fromLatin1(recipe.name);
        file.rate = recipe.rate;
        file.channels = recipe.channels;
        file.skipped = missingPrograms(recipe);
        if (file.skipped.isEmpty()) {
            try {
                switch (recipe.made) {
                case Made::ByCommands:
                    file.path = encode(recipe, folder);
                    if (recipe.rewrite)
                        recipe.rewrite(file.path);
                    break;
                case Made::Chained:
                    makeChained(folder, file);
                    break;
                case Made::NegativeGranule:
                    file.path = makeNegativeGranule(folder, recipe);
                    break;
                }
                if (!file.linksDiffer) {
                    file.reference = DecodeWithOggdec(file.path);
                    file.frames = file.referenceFrames();
                }
            } catch (const std::exception& e) {
                file.failure = QString::fromLocal8Bit(e.what());
                file.path.clear();
            }
        }
        files_.push_back(std::move(file));
    }
}
