// The writer: every output format round-trips through an independent decoder
// with the format it was set up for, and failures name the file.
#include "engine/audio/AudioFile2.h"
#include "engine/audio/AudioFile2LameEnc.h"
#include "engine/audio/OutputFile.h"
#include "engine/audio/WavEncoder.h"
#include "platform/Error.h"
#include "tests/audio/ToneFiles.h"
#include "tests/support/FfmpegDecoder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QtEndian>

#include <gtest/gtest.h>
#include <sndfile.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// The creation date in an ASF file's File Properties Object (FFmpeg's
// demuxer does not show it): 100 ns units since 1601, UTC.
QDateTime asfCreationTime(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    static const unsigned char filePropertiesGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9,
                                                         0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0,
                                                         0x0C, 0x20, 0x53, 0x65};
    const qsizetype at =
        data.indexOf(QByteArray(reinterpret_cast<const char*>(filePropertiesGuid), 16));
    if (at < 0 || at + 56 > data.size())
        return {};
    std::uint64_t ticks = 0;
    for (int i = 7; i >= 0; --i)
        ticks = (ticks << 8) | static_cast<unsigned char>(data[at + 48 + i]);
    const qint64 unixSeconds = static_cast<qint64>(ticks / 10000000) - 11644473600LL;
    return QDateTime::fromSecsSinceEpoch(unixSeconds, Qt::UTC);
}

// Bits per second of the audio packets alone, as vorbisfile counts them.
long oggAudioBitrate(const QString& path) {
    OggVorbis_File vf;
    if (ov_fopen(QFile::encodeName(path).constData(), &vf) != 0)
        return -1;
    const long bitrate = ov_bitrate(&vf, -1);
    ov_clear(&vf);
    return bitrate;
}

class AudioWriterTest : public ::testing::Test {
protected:
    ToneFiles files;
};

std::vector<float> decodeSource(const QString& path) {
    AudioFile2 reader;
    reader.Open(path, 0, 1);
    std::vector<float> all;
    for (SampleArray a = reader.ReadSamples(8192); !a.empty(); a = reader.ReadSamples(8192))
        all.insert(all.end(), a.samples.begin(), a.samples.end());
    return all;
}

// The Xing/Info header of the first MP3 frame: its frame count, or -1.
long long vbrHeaderFrames(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = file.read(400);
    qsizetype at = head.indexOf("Xing");
    if (at < 0)
        at = head.indexOf("Info");
    if (at < 0 || at + 12 > head.size())
        return -1;
    const auto byte = [&](qsizetype i) { return static_cast<std::uint8_t>(head[i]); };
    const std::uint32_t flags =
        (byte(at + 4) << 24) | (byte(at + 5) << 16) | (byte(at + 6) << 8) | byte(at + 7);
    if (!(flags & 1))
        return 0;
    return (static_cast<long long>(byte(at + 8)) << 24) | (byte(at + 9) << 16) |
           (byte(at + 10) << 8) | byte(at + 11);
}

TEST_F(AudioWriterTest, WavKeepsEverySampleWithin16BitRounding) {
    const QString source = files.tone("src.ogg", 44100, 2, 1.0);
    AudioFile2 writer;
    writer.SetWavFormat(44100, 2, 16);
    ToneFiles::convert(source, writer, files.path("out.wav"), 10007);
    EXPECT_FALSE(writer.IsOpen());

    const DecodedAudio out = decodeWithFfmpeg(files.path("out.wav"));
    EXPECT_EQ(out.codec, QStringLiteral("pcm_s16le"));
    EXPECT_EQ(out.rate, 44100);
    EXPECT_EQ(out.channels, 2);
    const std::vector<float> original = decodeSource(source);
    ASSERT_EQ(out.samples.size(), original.size());
    for (size_t i = 0; i < original.size(); ++i)
        ASSERT_NEAR(out.samples[i], original[i], 1.0 / 32768 + 1e-6) << i;
}

TEST_F(AudioWriterTest, WavWritesTheBitDepthsAsSet) {
    const QString source = files.tone("src.ogg", 44100, 2, 0.5);
    struct Case {
        int bits;
        const char* codec;
        double tolerance;
    };
    for (const Case c : {Case{8, "pcm_u8", 1.0 / 128 + 1e-6}, Case{32, "pcm_s32le", 1e-6}}) {
        AudioFile2 writer;
        writer.SetWavFormat(44100, 2, c.bits);
        const QString out = files.path(QStringLiteral("out%1.wav").arg(c.bits));
        ToneFiles::convert(source, writer, out);
        const DecodedAudio decoded = decodeWithFfmpeg(out);
        EXPECT_EQ(decoded.codec, QString::fromLatin1(c.codec));
        const std::vector<float> original = decodeSource(source);
        ASSERT_EQ(decoded.samples.size(), original.size());
        for (size_t i = 0; i < original.size(); i += 97)
            ASSERT_NEAR(decoded.samples[i], original[i], c.tolerance) << c.bits << " bits, " << i;
    }
}

// A file in memory that keeps only the bytes that are not zero, so that an
// output of more than 4 GiB of silence costs next to nothing; libsndfile
// writes and reads it through its virtual I/O.
class SparseFile {
public:
    SF_VIRTUAL_IO io{&length, &seek, &read, &write, &tell};
    // Back to the start, as a file opened again is: libsndfile reads from
    // where it is.
    void rewind() { at_ = 0; }

private:
    static SparseFile& self(void* user) { return *static_cast<SparseFile*>(user); }
    static sf_count_t length(void* user) { return self(user).end_; }
    static sf_count_t tell(void* user) { return self(user).at_; }
    static sf_count_t seek(sf_count_t offset, int whence, void* user) {
        SparseFile& f = self(user);
        f.at_ = (whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f.at_ : f.end_) + offset;
        return f.at_;
    }
    static sf_count_t write(const void* data, sf_count_t count, void* user) {
        SparseFile& f = self(user);
        const auto* bytes = static_cast<const char*>(data);
        // All zero when each byte equals the next and the first is zero.
        const bool zeros =
            count == 0 ||
            (bytes[0] == 0 && std::memcmp(bytes, bytes + 1, static_cast<size_t>(count - 1)) == 0);
        // Zeros over nothing kept are already there.
        auto after = f.chunks_.lower_bound(f.at_ + count);
        const bool overlaps = after != f.chunks_.begin() &&
                              std::prev(after)->first + std::prev(after)->second.size() > f.at_;
        if (!zeros || overlaps)
            f.chunks_[f.at_] = QByteArray(bytes, count);
        f.at_ += count;
        f.end_ = std::max(f.end_, f.at_);
        return count;
    }
    static sf_count_t read(void* data, sf_count_t count, void* user) {
        SparseFile& f = self(user);
        count = std::clamp<sf_count_t>(f.end_ - f.at_, 0, count);
        auto* bytes = static_cast<char*>(data);
        std::memset(bytes, 0, static_cast<size_t>(count));
        // Chunks are laid over each other in the order of their offsets;
        // libsndfile rewrites only the header, at offset 0, in one piece.
        for (const auto& [offset, chunk] : f.chunks_) {
            const sf_count_t from = std::max(offset, f.at_);
            const sf_count_t to = std::min<sf_count_t>(offset + chunk.size(), f.at_ + count);
            if (from < to)
                std::memcpy(bytes + (from - f.at_), chunk.constData() + (from - offset),
                            static_cast<size_t>(to - from));
        }
        f.at_ += count;
        return count;
    }

    std::map<sf_count_t, QByteArray> chunks_;
    sf_count_t at_ = 0;
    sf_count_t end_ = 0;
};

// Past 4 GiB the RIFF header becomes RF64's, with the sizes in the ds64
// chunk that took the JUNK chunk's place; the format chunk stays what it
// was: plain PCM for 16-bit stereo, extensible for 32 bits.
TEST_F(AudioWriterTest, WavPastFourGiBIsRf64AndReadsBackWhole) {
    for (const int bits : {16, 32}) {
        SCOPED_TRACE(bits);
        // Over three hours of stereo: past what a WAV header counts.
        const sf_count_t frames = ((sf_count_t{4} << 30) + (1 << 20)) / (2 * bits / 8);
        constexpr sf_count_t marked = 1000;
        SparseFile file;
        {
            WavEncoder wav(QStringLiteral("long.wav"), file.io, &file, 44100, 2, bits);
            const std::vector<float> first(2 * marked, 0.25f);
            const std::vector<float> silence(2 * 65536, 0.0f);
            const std::vector<float> last(2 * marked, -0.5f);
            wav.write(first.data(), marked);
            for (sf_count_t done = marked; done < frames - marked;) {
                const auto n = std::min<sf_count_t>(65536, frames - marked - done);
                wav.write(silence.data(), static_cast<std::size_t>(n));
                done += n;
            }
            wav.write(last.data(), marked);
            wav.finish();
        }

        const bool extensible = bits > 16;
        const std::uint64_t data = static_cast<std::uint64_t>(frames) * 2 * (bits / 8);
        const std::uint64_t headerSize = extensible ? 104 : 80;
        QByteArray head(static_cast<qsizetype>(headerSize), 0);
        file.rewind();
        ASSERT_EQ(file.io.read(head.data(), head.size(), &file), head.size());
        const auto u32 = [&](int at) {
            return qFromLittleEndian<std::uint32_t>(head.constData() + at);
        };
        const auto u64 = [&](int at) {
            return qFromLittleEndian<std::uint64_t>(head.constData() + at);
        };
        EXPECT_EQ(head.left(4), "RF64");
        EXPECT_EQ(u32(4), 0xFFFFFFFFu);
        EXPECT_EQ(head.mid(8, 8), "WAVEds64");
        EXPECT_EQ(u32(16), 28u);
        EXPECT_EQ(u64(20), headerSize - 8 + data); // RIFF size
        EXPECT_EQ(u64(28), data);
        EXPECT_EQ(u64(36), static_cast<std::uint64_t>(frames));
        EXPECT_EQ(u32(44), 0u); // no table
        EXPECT_EQ(head.mid(48, 4), "fmt ");
        EXPECT_EQ(u32(52), extensible ? 40u : 16u);
        EXPECT_EQ(qFromLittleEndian<std::uint16_t>(head.constData() + 56), extensible ? 0xFFFE : 1);
        EXPECT_EQ(head.mid(static_cast<qsizetype>(headerSize) - 8, 4), "data");
        EXPECT_EQ(u32(static_cast<int>(headerSize) - 4), 0xFFFFFFFFu);

        SF_INFO info{};
        file.rewind();
        SNDFILE* back = sf_open_virtual(&file.io, SFM_READ, &info, &file);
        ASSERT_NE(back, nullptr) << sf_strerror(nullptr);
        EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_RF64);
        EXPECT_EQ(info.frames, frames);
        std::vector<float> block(2 * marked);
        EXPECT_EQ(sf_readf_float(back, block.data(), marked), marked);
        EXPECT_EQ(block.front(), 0.25f);
        EXPECT_EQ(block.back(), 0.25f);
        EXPECT_EQ(sf_seek(back, frames - marked, SEEK_SET), frames - marked);
        EXPECT_EQ(sf_readf_float(back, block.data(), 2 * marked), marked);
        EXPECT_EQ(block.front(), -0.5f);
        EXPECT_EQ(block[2 * marked - 1], -0.5f);
        sf_close(back);
    }
}

TEST_F(AudioWriterTest, ASmallWavStaysPlainRiffWav) {
    const QString source = files.tone("src.ogg", 44100, 2, 1.0);
    AudioFile2 writer;
    writer.SetWavFormat(44100, 2, 16);
    ToneFiles::convert(source, writer, files.path("out.wav"));
    QFile file(files.path("out.wav"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(64);
    EXPECT_EQ(head.left(4), "RIFF");
    EXPECT_EQ(head.mid(8, 4), "WAVE");
    EXPECT_FALSE(head.contains("ds64"));
    EXPECT_EQ(decodeWithFfmpeg(files.path("out.wav")).frames(), 44100);
}

// The header, byte for byte: RIFF WAVE, a JUNK chunk keeping the room RF64's
// ds64 chunk would take, the format chunk, data. Up to 2 channels of up to 16
// bits get the plain PCM format chunk (format tag 1) that every reader takes,
// Python's wave module and shntool included; more channels or more bits get
// WAVE_FORMAT_EXTENSIBLE (0xFFFE) with the valid bits and the speakers, which
// FFmpeg reads back as the layout. PCM needs no fact chunk; there is none.
// (The speakers FFmpeg names, "?" for a channel of no named speaker.)
TEST_F(AudioWriterTest, WavHeadersArePlainPcmWhereThatSufficesAndExtensibleWhereNot) {
    struct Case {
        int channels;
        int bits;
        const char* fmt; // the format chunk's body
        const char* codec;
        const char* speakers;
    };
    const Case cases[] = {
        // No speakers named: a reader takes mono and stereo as such.
        {1, 8, "0100 0100 44ac0000 44ac0000 0100 0800", "pcm_u8", "?"},
        {2, 16, "0100 0200 44ac0000 10b10200 0400 1000", "pcm_s16le", "? ?"},
        {1, 24, "feff 0100 44ac0000 cc040200 0300 1800 1600 1800 04000000", "pcm_s24le", "FC"},
        {2, 24, "feff 0200 44ac0000 98090400 0600 1800 1600 1800 03000000", "pcm_s24le", "FL FR"},
        {2, 32, "feff 0200 44ac0000 20620500 0800 2000 1600 2000 03000000", "pcm_s32le", "FL FR"},
        {3, 16, "feff 0300 44ac0000 98090400 0600 1000 1600 1000 07000000", "pcm_s16le",
         "FL FR FC"},
        {6, 16, "feff 0600 44ac0000 30130800 0c00 1000 1600 1000 3f000000", "pcm_s16le",
         "FL FR FC LFE BL BR"},
        {7, 24, "feff 0700 44ac0000 94210e00 1500 1800 1600 1800 0f070000", "pcm_s24le",
         "FL FR FC LFE BC SL SR"},
        {8, 32, "feff 0800 44ac0000 80881500 2000 2000 1600 2000 3f060000", "pcm_s32le",
         "FL FR FC LFE BL BR SL SR"},
    };
    // KSDATAFORMAT_SUBTYPE_PCM ends an extensible format chunk.
    const QByteArray subtypePcm = QByteArray::fromHex("0100000000001000800000aa00389b71");
    const auto le32 = [](qint64 value) {
        QByteArray bytes(4, 0);
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<char>(value >> (8 * i));
        return bytes;
    };
    // Odd: 8 and 24-bit mono end on a pad byte.
    constexpr int frames = 1001;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.bits) + " bits");
        const QString path = files.path(QStringLiteral("h%1_%2.wav").arg(c.channels).arg(c.bits));
        {
            WavEncoder wav(path, 44100, c.channels, c.bits);
            const std::vector<float> quarter(static_cast<std::size_t>(frames * c.channels), 0.25f);
            wav.write(quarter.data(), frames);
            wav.finish();
        }
        QByteArray fmt = QByteArray::fromHex(c.fmt);
        if (fmt.size() > 16)
            fmt += subtypePcm;
        const qint64 data = qint64{frames} * c.channels * (c.bits / 8);
        const QByteArray header = "WAVE" + ("JUNK" + le32(28) + QByteArray(28, 0)) +
                                  ("fmt " + le32(fmt.size()) + fmt) + ("data" + le32(data));
        const qint64 size = 8 + header.size() + data + (data & 1);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        EXPECT_EQ(written.size(), size);
        EXPECT_EQ(written.left(8 + header.size()).toHex(' ').toStdString(),
                  ("RIFF" + le32(size - 8) + header).toHex(' ').toStdString());
        const DecodedAudio decoded = decodeWithFfmpeg(path);
        EXPECT_EQ(decoded.codec, QString::fromLatin1(c.codec));
        EXPECT_EQ(decoded.speakers.join(' ').toStdString(), c.speakers);
        ASSERT_EQ(decoded.frames(), frames);
        EXPECT_NEAR(decoded.samples.back(), 0.25f, 1.0f / 128);
    }
}

TEST_F(AudioWriterTest, WavConvertsRateAndChannels) {
    const QString source = files.tone("src.ogg", 44100, 2, 1.0, 440.0);
    AudioFile2 writer;
    writer.SetWavFormat(22050, 1, 16);
    ToneFiles::convert(source, writer, files.path("out.wav"));
    const DecodedAudio out = decodeWithFfmpeg(files.path("out.wav"));
    EXPECT_EQ(out.rate, 22050);
    EXPECT_EQ(out.channels, 1);
    EXPECT_NEAR(static_cast<double>(out.frames()), 22050.0, 2.0);
    EXPECT_NEAR(dominantFrequency(out.samples, 22050), 440.0, 4.0);
}

TEST_F(AudioWriterTest, BlocksEndingInsideAFrameKeepTheChannelsInStep) {
    AudioFile2 writer;
    writer.SetWavFormat(8000, 2, 16);
    writer.SetSampleFormat(8000, 2);
    SampleArray block;
    block.channels = 2;
    writer.CreateOutput(files.path("lr2.wav"), 0);
    long long written = 0;
    for (int n : {3, 5, 7, 1, 1000, 10}) {
        block.samples.clear();
        for (int i = 0; i < n; ++i, ++written)
            block.samples.push_back(written % 2 == 0 ? 0.5f : -0.25f);
        writer.WriteSamples(block);
    }
    writer.Close();
    const DecodedAudio out = decodeWithFfmpeg(files.path("lr2.wav"));
    ASSERT_EQ(out.frames(), 513);
    for (long long f = 0; f < out.frames(); ++f) {
        ASSERT_NEAR(out.samples[f * 2], 0.5f, 1e-3) << f;
        ASSERT_NEAR(out.samples[f * 2 + 1], -0.25f, 1e-3) << f;
    }
}

TEST_F(AudioWriterTest, Mp3WithDefaultSettingsIsA128kbpsTone) {
    const QString source = files.tone("src.ogg", 44100, 2, 2.0, 440.0);
    AudioFile2LameEnc encoder;
    AudioFile2 writer;
    writer.SetMp3Encoder(&encoder);
    ToneFiles::convert(source, writer, files.path("out.MP3"));

    const DecodedAudio out = decodeWithFfmpeg(files.path("out.MP3"));
    EXPECT_EQ(out.codec, QStringLiteral("mp3float"));
    EXPECT_EQ(out.rate, 44100);
    EXPECT_EQ(out.channels, 2);
    EXPECT_NEAR(static_cast<double>(out.frames()), 88200.0, 1152.0 * 2);
    EXPECT_NEAR(dominantFrequency(out.channel(0), 44100), 440.0, 4.0);
    EXPECT_NEAR(static_cast<double>(out.bitRate), 128000.0, 8000.0);
}

TEST_F(AudioWriterTest, Mp3FollowsTheEncoderSettings) {
    const QString source = files.tone("src.ogg", 44100, 2, 1.0, 440.0);
    AudioFile2LameEnc encoder;
    encoder.SetChannels(1);
    encoder.SetOutputSampleRate(22050);
    encoder.SetBitrate(64);
    AudioFile2 writer;
    writer.SetMp3Encoder(&encoder);
    ToneFiles::convert(source, writer, files.path("out.mp3"));
    const DecodedAudio out = decodeWithFfmpeg(files.path("out.mp3"));
    EXPECT_EQ(out.rate, 22050);
    EXPECT_EQ(out.channels, 1);
    EXPECT_NEAR(static_cast<double>(out.bitRate), 64000.0, 6000.0);
    EXPECT_NEAR(dominantFrequency(out.samples, 22050), 440.0, 5.0);
}

TEST_F(AudioWriterTest, Mp3VbrHeaderIsWrittenOnlyWhenEnabled) {
    const QString source = files.tone("src.ogg", 44100, 2, 1.0);
    AudioFile2LameEnc encoder;
    encoder.SetVbrMethod(2);
    encoder.SetVbrBitrate(320);
    encoder.SetWriteVbrHeader(true);
    AudioFile2 writer;
    writer.SetMp3Encoder(&encoder);
    ToneFiles::convert(source, writer, files.path("vbr.mp3"));
    // The count is filled in when the file is completed: about 38 frames a
    // second at 44.1 kHz.
    const long long frames = vbrHeaderFrames(files.path("vbr.mp3"));
    EXPECT_GE(frames, 38);
    EXPECT_LE(frames, 42);
    const DecodedAudio out = decodeWithFfmpeg(files.path("vbr.mp3"));
    EXPECT_NEAR(static_cast<double>(out.frames()), 44100.0, 1152.0 * 2);

    encoder.SetWriteVbrHeader(false);
    ToneFiles::convert(source, writer, files.path("plain.mp3"));
    EXPECT_EQ(vbrHeaderFrames(files.path("plain.mp3")), -1);
}

TEST_F(AudioWriterTest, OggKeepsTheExactLengthAndTone) {
    const QString source = files.tone("src.ogg", 44100, 2, 1.0, 440.0);
    AudioFile2 writer;
    writer.SetOggFormat(44100, 2, 128, 0, 0, -1);
    ToneFiles::convert(source, writer, files.path("out.ogg"));
    const DecodedAudio out = decodeWithFfmpeg(files.path("out.ogg"));
    EXPECT_EQ(out.codec, QStringLiteral("vorbis"));
    EXPECT_EQ(out.rate, 44100);
    EXPECT_EQ(out.channels, 2);
    // FFmpeg drops the first Vorbis block; vorbisfile below counts exactly.
    EXPECT_NEAR(static_cast<double>(out.frames()), 44100.0, 256.0);
    EXPECT_NEAR(dominantFrequency(out.channel(1), 44100), 440.0, 4.0);

    // Each output is its own stream.
    AudioFile2 reader;
    reader.Open(files.path("out.ogg"), 0, 1);
    EXPECT_EQ(reader.SampleCount(), 44100);
    reader.Close();
    ToneFiles::convert(source, writer, files.path("out2.ogg"));
    QFile a(files.path("out.ogg"));
    QFile b(files.path("out2.ogg"));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_NE(a.read(18).mid(14, 4), b.read(18).mid(14, 4)) << "same stream serial";
}

// A nominal bitrate alone is an average the encoder reaches on its own on
// busy audio, and undercuts on quieter audio, as average-bitrate VBR does.
// A bound is held by bitrate management, which raises the quality to keep it.
TEST_F(AudioWriterTest, OggNominalBitrateIsAnAverageAndBoundsAreHeld) {
    const QString busy = OggFixture::NoiseAndSweep(20).write(files.path("busy.ogg"));
    AudioFile2 writer;
    writer.SetOggFormat(44100, 2, 128, 0, 0, -1);
    ToneFiles::convert(busy, writer, files.path("average.ogg"));
    const DecodedAudio out = decodeWithFfmpeg(files.path("average.ogg"));
    EXPECT_EQ(out.codec, QStringLiteral("vorbis"));
    EXPECT_EQ(out.channels, 2);
    EXPECT_NEAR(out.seconds(), 20.0, 0.01);
    EXPECT_NEAR(oggAudioBitrate(files.path("average.ogg")), 128000, 128000 * 0.05);

    OggFixture quietNoise = OggFixture::NoiseAndSweep(10);
    quietNoise.noise = 0.005f;
    const QString quiet = quietNoise.write(files.path("quiet.ogg"));
    ToneFiles::convert(quiet, writer, files.path("free.ogg"));
    writer.SetOggFormat(44100, 2, 128, 128, 0, -1);
    ToneFiles::convert(quiet, writer, files.path("floor.ogg"));
    EXPECT_LT(oggAudioBitrate(files.path("free.ogg")), 128000 * 0.85);
    EXPECT_GE(oggAudioBitrate(files.path("floor.ogg")), 128000 * 0.95);
}

TEST_F(AudioWriterTest, OggQualityModeAtAnotherRateAndChannelCount) {
    const QString source = files.tone("src.ogg", 44100, 2, 1.0, 440.0);
    AudioFile2 writer;
    writer.SetOggFormat(22050, 1, 0, 0, 0, 500);
    ToneFiles::convert(source, writer, files.path("q.ogg"));
    const DecodedAudio out = decodeWithFfmpeg(files.path("q.ogg"));
    EXPECT_EQ(out.rate, 22050);
    EXPECT_EQ(out.channels, 1);
    EXPECT_NEAR(static_cast<double>(out.frames()), 22050.0, 512.0);
    EXPECT_NEAR(dominantFrequency(out.samples, 22050), 440.0, 4.0);
    AudioFile2 reader;
    reader.Open(files.path("q.ogg"), 0, 1);
    EXPECT_NEAR(reader.SampleCount(), 22050, 2);
}

TEST_F(AudioWriterTest, OggRefusedFormatThrowsAndLeavesNoFile) {
    AudioFile2 writer;
    writer.SetOggFormat(8000, 2, 320, 0, 0, -1);
    const QString out = files.path("refused.ogg");
    try {
        writer.CreateOutput(out, 0);
        ADD_FAILURE() << "created";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("refused.ogg")));
    }
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_FALSE(writer.IsOpen());
}

TEST_F(AudioWriterTest, WmaDefaultProfileIs44kHzStereo) {
    const QString source = files.tone("src.ogg", 44100, 2, 1.0, 440.0);
    AudioFile2 writer;
    writer.SetWmaProfile(10);
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    ToneFiles::convert(source, writer, files.path("out.wma"));
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);
    const DecodedAudio out = decodeWithFfmpeg(files.path("out.wma"));
    // The file header's creation time is the time of writing, not 1970.
    const QDateTime created = asfCreationTime(files.path("out.wma"));
    EXPECT_TRUE(created >= before && created <= after) << created.toString().toStdString();
    EXPECT_EQ(out.codec, QStringLiteral("wmav2"));
    EXPECT_EQ(out.container, QStringLiteral("asf"));
    EXPECT_EQ(out.rate, 44100);
    EXPECT_EQ(out.channels, 2);
    EXPECT_NEAR(static_cast<double>(out.frames()), 44100.0, 2048.0 * 2);
    EXPECT_NEAR(dominantFrequency(out.channel(0), 44100), 440.0, 6.0);
}

TEST_F(AudioWriterTest, EveryWmaProfileGivesAPlayableFile) {
    const QString source = files.tone("src.ogg", 44100, 2, 0.4, 440.0);
    const int rates[] = {48000, 48000, 48000, 48000, 48000, 44100, 44100, 44100, 44100, 44100,
                         44100, 44100, 44100, 44100, 44100, 44100, 44100, 44100, 32000, 32000,
                         32000, 32000, 32000, 32000, 22050, 22050, 22050, 16000, 16000, 16000,
                         16000, 16000, 11025, 11025, 8000,  8000,  8000,  8000,  48000, 48000,
                         44100, 44100, 44100, 44100, 44100, 44100, 44100};
    const QList<int> mono = {16, 17, 18, 22, 26, 27, 30, 31, 32, 33, 34, 36, 37, 38};
    AudioFile2 writer;
    for (int profile = 1; profile <= 47; ++profile) {
        writer.SetWmaProfile(profile);
        const QString out = files.path(QStringLiteral("p%1.wma").arg(profile));
        ToneFiles::convert(source, writer, out);
        const DecodedAudio decoded = decodeWithFfmpeg(out);
        EXPECT_EQ(decoded.rate, rates[profile - 1]) << profile;
        EXPECT_EQ(decoded.channels, mono.contains(profile) ? 1 : 2) << profile;
        EXPECT_GT(decoded.frames(), 0) << profile;
    }
    EXPECT_THROW(writer.SetWmaProfile(0), Error);
    EXPECT_THROW(writer.SetWmaProfile(48), Error);
}

TEST_F(AudioWriterTest, CreateOutputFailuresNameTheFile) {
    AudioFile2 writer;
    const QString noFolder = files.path(QStringLiteral("missing/out.wav"));
    const QString badExtension = files.path(QStringLiteral("out.aiff"));
    for (const QString& name : {noFolder, badExtension}) {
        try {
            writer.CreateOutput(name, 0);
            ADD_FAILURE() << name.toStdString();
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(name)) << e.message().toStdString();
        }
        EXPECT_FALSE(writer.IsOpen());
    }
    EXPECT_THROW(writer.WriteSamples(SampleArray{}), Error);
}

TEST_F(AudioWriterTest, NeverWritesOverASource) {
    const QString source = files.tone("song.ogg", 44100, 2, 0.5);
    QFile original(source);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();

    AudioFile2 reader;
    reader.Open(source, 0, 1);
    AudioFile2 writer;
    writer.SetOggFormat(44100, 2, 128, 0, 0, -1);
    EXPECT_THROW(writer.CreateOutput(source, 0), Error);
    reader.Close();
    // Also once it is closed, and under another spelling of its path.
    const QString indirect = files.path(QStringLiteral("./sub/../song.ogg"));
    QDir().mkpath(files.path(QStringLiteral("sub")));
    try {
        writer.CreateOutput(indirect, 0);
        ADD_FAILURE() << "overwrote the source";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("song.ogg")));
    }
    EXPECT_FALSE(writer.IsOpen());
    QFile after(source);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
}

TEST_F(AudioWriterTest, NamesOutsideAsciiWorkInEveryFormat) {
    const QString source = files.tone(QStringLiteral("Café ♪.ogg"), 22050, 1, 0.3);
    AudioFile2LameEnc encoder;
    AudioFile2 writer;
    writer.SetMp3Encoder(&encoder);
    for (const QString& extension : {QStringLiteral("wav"), QStringLiteral("mp3"),
                                     QStringLiteral("ogg"), QStringLiteral("wma")}) {
        const QString out = files.path(QStringLiteral("Ünïcode ♫.") + extension);
        ToneFiles::convert(source, writer, out);
        EXPECT_GT(decodeWithFfmpeg(out).frames(), 0) << extension.toStdString();
    }
}

TEST_F(AudioWriterTest, EmptyOutputIsStillAValidFile) {
    AudioFile2LameEnc encoder;
    AudioFile2 writer;
    writer.SetMp3Encoder(&encoder);
    writer.SetSampleFormat(44100, 2);
    for (const char* name : {"empty.wav", "empty.ogg", "empty.mp3", "empty.wma"}) {
        const QString out = files.path(QString::fromLatin1(name));
        writer.CreateOutput(out, 0);
        writer.Close();
        EXPECT_TRUE(QFileInfo::exists(out)) << name;
    }
    EXPECT_EQ(decodeWithFfmpeg(files.path("empty.wav")).frames(), 0);
    EXPECT_EQ(decodeWithFfmpeg(files.path("empty.ogg")).channels, 2);
}

TEST_F(AudioWriterTest, FormatChecksAreAnsweredByTheEncoders) {
    AudioFile2 writer;
    EXPECT_TRUE(writer.CheckMp3Format(44100, 128, 2));
    EXPECT_TRUE(writer.CheckMp3Format(44100, 128, 1));
    EXPECT_TRUE(writer.CheckMp3Format(22050, 160, 3));
    EXPECT_FALSE(writer.CheckMp3Format(8000, 320, 2));
    EXPECT_FALSE(writer.CheckMp3Format(22050, 192, 2));
    EXPECT_FALSE(writer.CheckMp3Format(48000, 8, 2));
    EXPECT_FALSE(writer.CheckMp3Format(44100, 128, 0));

    EXPECT_TRUE(writer.CheckOggFormat(44100, 2, 128, 128, 128));
    EXPECT_TRUE(writer.CheckOggFormat(44100, 2, 128, 64, 320));
    EXPECT_TRUE(writer.CheckOggFormat(8000, 1, 8, 8, 8));
    EXPECT_FALSE(writer.CheckOggFormat(8000, 2, 128, 128, 128));
    EXPECT_FALSE(writer.CheckOggFormat(44100, 2, 8, 8, 8));
    EXPECT_FALSE(writer.CheckOggFormat(44100, 2, 128, 160, 96));
}

} // namespace

// A copy appends the source's bytes after what was written, in the kernel
// between files of one file system and through the program between two;
// what follows it, and a rewrite of the start, land where they should. A
// source that ends early gives fewer bytes.
TEST_F(AudioWriterTest, CopiedBytesFollowWhatWasWritten) {
    QByteArray source(3'000'000, '\0');
    for (qsizetype i = 0; i < source.size(); ++i)
        source[i] = static_cast<char>((i * 7919) >> 5);
    QStringList folders{QFileInfo(files.path(QStringLiteral("x"))).absolutePath()};
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        folders.append(QStringLiteral("/dev/shm"));
    for (const QString& folder : folders) {
        SCOPED_TRACE(folder.toStdString());
        QTemporaryFile from(folder + QStringLiteral("/copy-source-XXXXXX"));
        ASSERT_TRUE(from.open());
        from.write(source);
        from.flush();
        const QString path = files.path(QStringLiteral("copy.bin"));
        OutputFile out(path);
        out.write("head", 4);
        EXPECT_EQ(out.copyFrom(from.fileName(), from.handle(), 5, 2'000'000), 2'000'000);
        out.write("mid", 3);
        EXPECT_EQ(out.copyFrom(from.fileName(), from.handle(), 2'999'990, 100), 10);
        out.rewriteStart("HE", 2);
        out.write("end", 3);
        out.close();
        QFile written(path);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_TRUE(written.readAll() ==
                    "HEad" + source.mid(5, 2'000'000) + "mid" + source.mid(2'999'990) + "end");
    }
}
