// Ogg Vorbis files written by other programs (every Vorbis encoder Debian
// ships, and odd files of our own) opened, read, sought and cut by the
// program, and compared with what libvorbisfile decodes from them.
#include "tests/support/EncoderCorpus.h"
#include "engine/SplitRun.h"
#include "engine/audio/ChannelOrder.h"
#include "platform/Error.h"
#include "tests/engine/RunFixture.h"
#include "tests/support/CorpusFiles.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

namespace {

using File = EncoderCorpus::File;

// The reference went through 16-bit rounding; what the program delivers did not.
constexpr float Rounding = 2.0f / 32768;

template <typename Check> void forEachFile(Check check) {
    ForEachCorpusFile(EncoderCorpus::Shared().files(), check);
}

std::vector<float> toFloat(const std::vector<std::int16_t>& samples) {
    std::vector<float> all(samples.size());
    std::transform(samples.begin(), samples.end(), all.begin(),
                   [](std::int16_t s) { return s / 32768.0f; });
    return all;
}

std::vector<float> readAll(AudioFile2& reader, long long limit) {
    std::vector<float> all;
    while (static_cast<long long>(all.size()) < limit) {
        const SampleArray block = reader.ReadSamples(65536);
        if (block.empty())
            break;
        all.insert(all.end(), block.samples.begin(), block.samples.end());
    }
    return all;
}

bool matches(const std::vector<float>& got, long long gotFrom, const std::vector<float>& want,
             long long wantFrom, long long frames, int channels, float tolerance) {
    for (long long i = 0; i < frames * channels; ++i) {
        const float g =
            std::clamp(got[static_cast<size_t>(gotFrom * channels + i)], -1.0f, 32767.0f / 32768);
        if (std::abs(g - want[static_cast<size_t>(wantFrom * channels + i)]) > tolerance)
            return false;
    }
    return true;
}

// Compares `got` with `want` from its frame `at` on, over the frames both
// hold; describes the first difference, and where `got` would match instead
// if it is merely shifted. Empty when they agree.
std::string difference(const std::vector<float>& got, const std::vector<float>& want, long long at,
                       int channels, float tolerance) {
    const long long frames =
        std::min<long long>(std::ssize(got) / channels, std::ssize(want) / channels - at);
    long long bad = 0;
    while (bad < frames && matches(got, bad, want, at + bad, 1, channels, tolerance))
        ++bad;
    if (bad >= frames)
        return {};
    float worst = 0;
    for (long long i = bad * channels; i < frames * channels; ++i)
        worst = std::max(worst, std::abs(got[static_cast<size_t>(i)] -
                                         want[static_cast<size_t>(at * channels + i)]));
    std::ostringstream text;
    text << "differs from frame " << bad << " of " << frames << ", by up to " << worst * 32768
         << "/32768";
    const long long probe = std::min<long long>(256, std::ssize(got) / channels);
    for (long long shift = -2048; shift <= 2048; ++shift)
        if (at + shift >= 0 && at + shift + probe <= std::ssize(want) / channels &&
            matches(got, 0, want, at + shift, probe, channels, tolerance)) {
            text << "; it starts " << std::abs(shift) << " frames "
                 << (shift > 0 ? "late" : "early");
            break;
        }
    return text.str();
}

// Opens the file with the program's reader, or says why it would not.
bool open(AudioFile2& reader, const File& file) {
    try {
        reader.Open(file.path, 0, 1);
        return true;
    } catch (const Error& e) {
        ADD_FAILURE() << "refused: " << e.message().toStdString();
        return false;
    }
}

TEST(EncoderCorpusTest, TheReaderDeliversWhatVorbisfileDecodes) {
    forEachFile([](const File& file) {
        AudioFile2 reader;
        if (!open(reader, file))
            return;
        EXPECT_EQ(reader.SampleRate(), file.rate);
        EXPECT_EQ(reader.Channels(), file.channels);
        EXPECT_EQ(reader.SampleCount(), file.frames);
        const std::vector<float> all = readAll(reader, 2 * file.frames * file.channels);
        EXPECT_EQ(std::ssize(all) / file.channels, file.frames) << "frames read through";
        EXPECT_EQ(difference(all, toFloat(file.reference), 0, file.channels, Rounding), "");
    });
}

TEST(EncoderCorpusTest, SeeksLandWhereReadingThroughGets) {
    forEachFile([](const File& file) {
        AudioFile2 reader;
        if (!open(reader, file))
            return;
        const std::vector<float> all = readAll(reader, 2 * file.frames * file.channels);
        const long long total = std::ssize(all) / file.channels;
        // The start, a frame inside every file's first audio page, an odd
        // frame in the middle, and 500 frames before the end. A link in
        // another rate reaches the reader through the resampler, which starts
        // afresh at a seek; there the frames land, the samples only match
        // within the resampler's settling.
        for (const long long frame : {0LL, 777LL, total / 2 + 123, total - 500}) {
            reader.Seek(static_cast<int>(frame), 3);
            const SampleArray block = reader.ReadSamples(1000);
            EXPECT_EQ(block.frames(), std::min(1000LL, total - frame)) << "at " << frame;
            if (!file.linksDiffer || frame + 1000 <= file.referenceFrames()) {
                EXPECT_EQ(difference(block.samples, all, frame, file.channels, Rounding), "")
                    << "at " << frame;
            }
        }
    });
}

constexpr int Wav = 1;
constexpr int Ogg = 3;

class EncoderCorpusSplitTest : public RunFixture {
protected:
    // A WAV mode the settings dialog never writes leaves the writer's format
    // as split() sets it: the source's own, 32 bits, so the pieces keep
    // every bit the reader delivered.
    void SetUp() override {
        settings.WriteInteger(QStringLiteral("wav"), QStringLiteral("mode"), 3);
    }

    // Cuts the file alone into 2-second pieces, as WAV or OGG (copied);
    // false when that failed.
    bool split(const File& file, int format) {
        lv.clear();
        lvTime.clear();
        state.Busy = false;
        QDir(outDir).removeRecursively();
        QDir().mkpath(outDir);
        state.FunctionChoice = FunctionSplitByTime;
        state.SplitSeconds = 2;
        setFormat(format);
        writer.SetWavFormat(file.rate, file.channels, 32);
        try {
            addSource(file.path);
            SplitRun(context).Run(PiecePlan::Mode::Time);
            return true;
        } catch (const Error& e) {
            ADD_FAILURE() << "split failed: " << e.message().toStdString();
            return false;
        }
    }

    // Piece k holds the frames [k·2·rate, (k+1)·2·rate).
    struct Piece {
        QString name;
        long long begin;
        long long end;
    };
    // The pieces of a time split follow the length in whole seconds; the
    // last one runs on to the file's last frame.
    static std::vector<Piece> pieces(const File& file, const QString& extension) {
        std::vector<Piece> all;
        const long long seconds = file.frames / file.rate;
        for (long long begin = 0; begin < seconds; begin += 2)
            all.push_back({file.name + QStringLiteral("_%1.").arg(all.size() + 1) + extension,
                           begin * file.rate,
                           begin + 2 >= seconds ? file.frames : (begin + 2) * file.rate});
        return all;
    }
    static std::string names(const std::vector<Piece>& all) {
        QStringList list;
        for (const Piece& p : all)
            list << p.name;
        return list.join(QLatin1Char(' ')).toStdString();
    }
    std::string outputNames() const { return outputs().join(QLatin1Char(' ')).toStdString(); }
};

TEST_F(EncoderCorpusSplitTest, WavPiecesHoldExactlyTheirFramesOfTheSource) {
    forEachFile([this](const File& file) {
        if (!split(file, Wav))
            return;
        const std::vector<Piece> expected = pieces(file, QStringLiteral("wav"));
        EXPECT_EQ(outputNames(), names(expected));
        const std::vector<float> want = toFloat(file.reference);
        for (const Piece& p : expected) {
            if (!QFile::exists(out(p.name)))
                continue;
            SCOPED_TRACE(p.name.toStdString());
            DecodedAudio piece = decode(p.name);
            // WAV keeps its speakers in an order of its own.
            const std::vector<float> stored = piece.samples;
            ChannelOrder::Apply(ChannelOrder::Map(ChannelOrder::Wav(piece.channels),
                                                  ChannelOrder::Vorbis(piece.channels)),
                                stored.data(), static_cast<std::size_t>(piece.frames()),
                                piece.samples.data());
            EXPECT_EQ(piece.rate, file.rate);
            EXPECT_EQ(piece.channels, file.channels);
            EXPECT_EQ(piece.frames(), p.end - p.begin);
            EXPECT_EQ(difference(piece.samples, want, p.begin, file.channels, Rounding), "");
        }
    });
}

TEST_F(EncoderCorpusSplitTest, CopiedOggPiecesDecodeToExactlyTheirFramesOfTheSource) {
    forEachFile([this](const File& file) {
        // Links that differ in format are re-encoded, never copied.
        if (file.linksDiffer || !split(file, Ogg))
            return;
        const std::vector<Piece> expected = pieces(file, QStringLiteral("ogg"));
        EXPECT_EQ(outputNames(), names(expected));
        const std::vector<float> want = toFloat(file.reference);
        for (size_t k = 0; k < expected.size(); ++k) {
            const Piece& p = expected[k];
            if (!QFile::exists(out(p.name)))
                continue;
            SCOPED_TRACE(p.name.toStdString());
            // A start trimmed below zero numbers the packets otherwise than
            // libvorbis delivers them: such a file is re-encoded, and says so.
            const QString note = lvTime.note(static_cast<int>(k));
            const bool copied = note == QStringLiteral("copied");
            if (!copied) {
                EXPECT_EQ(note.toStdString(), "re-encoded (positions differ from the audio)");
            }
            const std::vector<float> piece = toFloat(EncoderCorpus::DecodeWithOggdec(out(p.name)));
            EXPECT_EQ(std::ssize(piece) / file.channels, p.end - p.begin);
            if (copied) {
                EXPECT_EQ(difference(piece, want, p.begin, file.channels, 0), "");
            }
        }
    });
}

} // namespace
