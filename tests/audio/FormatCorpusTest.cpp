// Files of the common formats written by other programs (lame, FFmpeg, flac,
// opusenc, SoX) opened, read and sought through the decoders, and compared
// with FFmpeg's full decode and with the formats' own decoders.
#include "tests/support/FormatCorpus.h"
#include "engine/audio/AudioDecoder.h"
#include "engine/audio/AudioFile2.h"
#include "engine/audio/ChannelOrder.h"
#include "engine/audio/LibavDecoder.h"
#include "engine/audio/Mp3FrameIndex.h"
#include "engine/audio/VorbisDecoder.h"
#include "platform/Error.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/OggFixture.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace {

using File = FormatCorpus::File;

// A quick seek into lossy audio decodes from some packets before the target,
// so the decoder's state there differs a little from a straight decode's
// (measured on music: MP3 and AAC below 1e-4, Opus up to 5.2e-4).
constexpr float kLossySeekTolerance = 1e-3f;
// Noise substituted for bands of AAC and WMA, and AC-3's dither, come from
// the decoder's random state: after a quick seek it is other noise of the
// same level.
constexpr float kNoiseSeekTolerance = 0.25f;
// vorbisfile and FFmpeg's Vorbis decoder round their floats apart.
constexpr float kVorbisRounding = 1e-6f;
// The formats' own decoders wrote 16 bits.
constexpr float kRounding = 2.0f / 32768;

template <typename Check> void forEachFile(Check check) {
    ForEachCorpusFile(FormatCorpus::Shared().files(), check);
}

// `frames` frames from the decoder's position, interleaved, in FFmpeg's
// channel order (the corpus' surround files are 5.1, which FFmpeg orders as
// WAV does) where the decoder gives the Vorbis order.
std::vector<float> readFrames(AudioDecoder& decoder, long long frames) {
    const std::vector<int> order = ChannelOrder::Map(ChannelOrder::Vorbis(decoder.channels()),
                                                     ChannelOrder::Wav(decoder.channels()));
    std::vector<float> out;
    while (static_cast<long long>(out.size()) < frames * decoder.channels()) {
        const AudioDecoder::Chunk chunk = decoder.read(4096);
        if (chunk.frames == 0)
            break;
        for (int f = 0; f < chunk.frames; ++f)
            for (int c = 0; c < chunk.channels; ++c)
                out.push_back(chunk.planes[order[static_cast<std::size_t>(c)]][f]);
    }
    out.resize(std::min<std::size_t>(out.size(), static_cast<std::size_t>(frames) *
                                                     static_cast<std::size_t>(decoder.channels())));
    return out;
}

// The largest difference between `got` and `expected` from sample `from` on.
float largestDifference(const std::vector<float>& got, const std::vector<float>& expected,
                        std::size_t from = 0) {
    float most = 0;
    for (std::size_t i = 0; i < got.size() && from + i < expected.size(); ++i)
        most = std::max(most, std::fabs(got[i] - expected[from + i]));
    return most;
}

TEST(FormatCorpus, OpensWithTheReferenceFormatAndLength) {
    forEachFile([](const File& file) {
        const auto decoder = AudioDecoder::Open(file.path);
        EXPECT_EQ(dynamic_cast<LibavDecoder*>(decoder.get()) != nullptr,
                  !AudioDecoder::IsOggVorbis(file.path));
        EXPECT_EQ(decoder->rate(), file.reference.rate);
        EXPECT_EQ(decoder->channels(), file.reference.channels);
        EXPECT_EQ(decoder->totalFrames(), file.reference.frames());
        if (const auto* libav = dynamic_cast<const LibavDecoder*>(decoder.get())) {
            EXPECT_EQ(libav->readsSampleTables(), file.sampleTables);
        }
        if (file.path.endsWith(QLatin1String(".mp3"))) {
            // Counted from the frame headers alone, as the decoder and the
            // copies count a file they can copy.
            const auto frames = Mp3FrameIndex::Of(file.path);
            EXPECT_TRUE(frames->problem().isEmpty()) << frames->problem().toStdString();
            EXPECT_TRUE(frames->whole());
            EXPECT_EQ(frames->totalFrames(), file.reference.frames());
        }
        if (!file.ownDecoderName.isEmpty()) {
            EXPECT_EQ(decoder->totalFrames(), file.ownDecoder.frames())
                << file.ownDecoderName.toStdString();
        }

        AudioFile2 reader;
        reader.Open(file.path, 0, 1);
        EXPECT_EQ(reader.SampleCount(), file.reference.frames());
        EXPECT_EQ(reader.SampleRate(), file.reference.rate);
    });
}

TEST(FormatCorpus, StraightReadGivesTheReferenceSamples) {
    forEachFile([](const File& file) {
        const auto decoder = AudioDecoder::Open(file.path);
        const std::vector<float> all = readFrames(*decoder, decoder->totalFrames() + 1);
        ASSERT_EQ(all.size(), file.reference.samples.size());
        // The same decoder as the reference's, so exact for every format
        // FFmpeg reads; Ogg Vorbis goes to vorbisfile.
        EXPECT_LE(largestDifference(all, file.reference.samples),
                  AudioDecoder::IsOggVorbis(file.path) ? kVorbisRounding : 0.0f);
        if (!file.ownDecoderName.isEmpty() && file.lossless) {
            EXPECT_LE(largestDifference(all, file.ownDecoder.samples), kRounding)
                << file.ownDecoderName.toStdString();
        }
    });
}

// Exact seeks (what the runs use) give the straight decode's samples; quick
// ones (the player's) the same frames, nearly the same samples.
TEST(FormatCorpus, SeeksGiveTheStraightReadsSamples) {
    forEachFile([](const File& file) {
        for (const bool quick : {false, true}) {
            SCOPED_TRACE(quick ? "quick seeks" : "exact seeks");
            const auto decoder = AudioDecoder::Open(file.path);
            decoder->setQuickSeeks(quick);
            const long long total = decoder->totalFrames();
            const int rate = decoder->rate();
            const auto channels = static_cast<std::size_t>(decoder->channels());
            const float tolerance = AudioDecoder::IsOggVorbis(file.path) ? kVorbisRounding
                                    : file.lossless || !quick            ? 0.0f
                                    : file.randomNoise                   ? kNoiseSeekTolerance
                                                                         : kLossySeekTolerance;
            // Backwards and forwards, near the start, mid-packet and at the end.
            for (const long long frame :
                 {total / 2, 1LL, total / 3, 0LL, rate * 2LL + 17, total - 1500, total / 5,
                  total - 1, rate * 3LL + 1151, total}) {
                SCOPED_TRACE(frame);
                decoder->seek(frame);
                const std::vector<float> got = readFrames(*decoder, 3000);
                const long long expected = std::min<long long>(3000, total - frame);
                ASSERT_EQ(static_cast<long long>(got.size()),
                          expected * static_cast<long long>(channels));
                EXPECT_LE(largestDifference(got, file.reference.samples,
                                            static_cast<std::size_t>(frame) * channels),
                          tolerance);
            }
        }
    });
}

// Damaged and odd files: a clear message naming the file, never a crash.
class OddFiles : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return path;
    }
    static QString openingError(const QString& path) {
        try {
            AudioDecoder::Open(path);
        } catch (const Error& e) {
            return e.message();
        }
        return {};
    }
    static QByteArray contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
};

TEST_F(OddFiles, TextIsNotAudio) {
    const QString path = write("notes.mp3", QByteArray("These are not the droids.\n").repeated(40));
    // FFmpeg takes text for a picture of it (its "tty" format), a file
    // without audio.
    const QString error = openingError(path);
    EXPECT_TRUE(error == "Cannot open " + path + ": not an audio file" ||
                error == "Cannot open " + path + ": the file has no audio stream")
        << error.toStdString();
}

// A playlist named like audio would have FFmpeg read the files it names,
// anywhere on the disk; it is refused as what it is.
TEST_F(OddFiles, PlaylistsAreNotFollowed) {
    const QString wav = FormatCorpus::Shared().files().front().path;
    for (const QByteArray& list :
         {"#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n" + wav.toUtf8() + "\n#EXT-X-ENDLIST\n",
          "ffconcat version 1.0\nfile '" + wav.toUtf8() + "'\n"}) {
        const QString path = write("list.mp3", list);
        EXPECT_EQ(openingError(path), "Cannot open " + path +
                                          ": a playlist, not an audio file; the files it names "
                                          "are not read");
    }
}

// Two MP3s of other rates one after the other: refused with the reason,
// never cut at the first one's rate.
TEST_F(OddFiles, AFormatChangeWithinTheFileIsRefusedWithTheReason) {
    QByteArray both;
    for (const File& file : FormatCorpus::Shared().files())
        if (file.name == "lame_cbr128_44100_2" || file.name == "lame_cbr32_22050_1")
            both += contents(file.path);
    const QString path = write("mixed.mp3", both);
    EXPECT_EQ(openingError(path),
              "Cannot open " + path + ": the audio format changes within the file");
}

// What is learnt from reading a file is kept for the next opening of it,
// but not once another file has taken its name: each is counted as it is.
TEST_F(OddFiles, AFileWrittenAnewUnderTheSameNameIsCountedAnew) {
    const QString path = dir_.filePath("again.mp3");
    for (const char* name : {"lame_cbr128_44100_2", "lame_vbr_v2_48000_2", "lame_cbr128_44100_2"})
        for (const File& file : FormatCorpus::Shared().files())
            if (file.name == QLatin1String(name) && !file.path.isEmpty()) {
                QFile::remove(path);
                write("again.mp3", contents(file.path));
                EXPECT_EQ(AudioDecoder::Open(path)->totalFrames(), file.reference.frames()) << name;
                EXPECT_EQ(Mp3FrameIndex::Of(path)->totalFrames(), file.reference.frames()) << name;
            }
}

// A FIFO would block the open until something writes to it, a device would
// never end: both refused at once.
TEST_F(OddFiles, OnlyRegularFilesAreOpened) {
    const QString fifo = dir_.filePath("pipe.mp3");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {fifo, QStringLiteral("/dev/zero")})
        EXPECT_EQ(openingError(path), "Cannot open " + path + ": not a regular file");
}

TEST_F(OddFiles, EmptyFileIsRefused) {
    const QString path = write("empty.flac", {});
    EXPECT_TRUE(openingError(path).startsWith("Cannot open " + path + ": "));
}

TEST_F(OddFiles, WavWithoutDataHoldsNoAudio) {
    const QString path = write("header.wav", QByteArray::fromHex("524946462400000057415645666d7420"
                                                                 "100000000100020044ac000010b10200"
                                                                 "04001000646174610000000000"));
    EXPECT_TRUE(openingError(path).startsWith("Cannot open " + path + ": "));
}

TEST_F(OddFiles, FilesCutShortReadToWhereTheyEnd) {
    forEachFile([this](const File& file) {
        const QByteArray whole = contents(file.path);
        const QString path = write(QStringLiteral("cut_") + QFileInfo(file.path).fileName(),
                                   whole.left(whole.size() * 2 / 3));
        try {
            const auto decoder = AudioDecoder::Open(path);
            EXPECT_LT(decoder->totalFrames(), file.reference.frames());
            // What is left decodes as FFmpeg decodes it, to the frame: a
            // packet cut off at the end is no audio, not silence.
            EXPECT_EQ(decoder->totalFrames(), decodeWithFfmpeg(path).frames())
                << file.name.toStdString();
            const std::vector<float> all = readFrames(*decoder, decoder->totalFrames() + 1);
            EXPECT_EQ(static_cast<long long>(all.size()),
                      decoder->totalFrames() * decoder->channels());
        } catch (const Error& e) {
            // Some containers keep what they need to know at the end: such a
            // file is told as damaged, not as something other than audio.
            EXPECT_TRUE(
                e.message().startsWith("Cannot open " + path + ": a damaged or incomplete "))
                << e.message().toStdString();
        }
        // Cut within its header, a file that reads is still never told as
        // one that cannot be read (demuxers call a short header an I/O error).
        const QString header =
            write(QStringLiteral("head_") + QFileInfo(file.path).fileName(), whole.left(300));
        try {
            AudioDecoder::Open(header);
        } catch (const Error& e) {
            EXPECT_FALSE(e.message().contains("could not be read")) << e.message().toStdString();
        }
    });
}

TEST_F(OddFiles, OggVorbisStaysWithVorbisfile) {
    const QString vorbis = OggFixture::Tone(1.0, 440.0, 44100, 2).write(dir_.filePath("t.ogg"));
    EXPECT_NE(dynamic_cast<VorbisDecoder*>(AudioDecoder::Open(vorbis).get()), nullptr);
    // A file that is not Ogg at all, named .ogg, is not vorbisfile's.
    const QString wav = write("wav.ogg", contents(FormatCorpus::Shared().files().back().path));
    if (!FormatCorpus::Shared().files().back().path.isEmpty()) {
        EXPECT_NE(dynamic_cast<LibavDecoder*>(AudioDecoder::Open(wav).get()), nullptr);
    }
}

} // namespace
