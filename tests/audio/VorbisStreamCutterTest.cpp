// Pieces copied out of Ogg Vorbis sources without re-encoding: vorbisfile
// decodes exactly the source's frames of the piece, FFmpeg decodes them too
// and ogginfo finds nothing to warn about.
#include "engine/audio/VorbisStreamCutter.h"
#include "platform/Error.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/OggFixture.h"
#include "tests/support/OggInfo.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <vector>

namespace {

struct Pcm {
    int channels = 0;
    std::vector<float> samples; // interleaved
    long long frames() const { return channels ? std::ssize(samples) / channels : 0; }
};

// Everything vorbisfile decodes, links one after the other.
Pcm decodeWithVorbisfile(const QString& path) {
    OggVorbis_File file;
    if (ov_fopen(QFile::encodeName(path).constData(), &file) != 0)
        throw std::runtime_error("vorbisfile cannot open " + path.toStdString());
    Pcm pcm;
    pcm.channels = ov_info(&file, 0)->channels;
    for (;;) {
        float** planes = nullptr;
        int link = 0;
        const long got = ov_read_float(&file, &planes, 4096, &link);
        if (got == OV_HOLE)
            continue;
        if (got <= 0)
            break;
        for (long i = 0; i < got; ++i)
            for (int c = 0; c < pcm.channels; ++c)
                pcm.samples.push_back(planes[c][i]);
    }
    ov_clear(&file);
    return pcm;
}

// The granule position of every page that ends a packet: where pages meet
// in the decoded audio.
std::vector<long long> pageEnds(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, bytes.size());
    std::memcpy(buffer, bytes.constData(), static_cast<size_t>(bytes.size()));
    ogg_sync_wrote(&sync, bytes.size());
    std::vector<long long> ends;
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) == 1)
        if (ogg_page_granulepos(&page) > 0)
            ends.push_back(ogg_page_granulepos(&page));
    ogg_sync_clear(&sync);
    return ends;
}

struct Format {
    int rate;
    int channels;
};

void PrintTo(const Format& f, std::ostream* os) {
    *os << f.rate << " Hz, " << f.channels << " channels";
}

class VorbisStreamCutterTest : public ::testing::TestWithParam<Format> {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_P(VorbisStreamCutterTest, PiecesDecodeToExactlyTheSourceFrames) {
    const Format format = GetParam();
    const QString source =
        OggFixture::Tone(6.5, 440.0, format.rate, format.channels).write(path("source.ogg"));
    const Pcm whole = decodeWithVorbisfile(source);
    const DecodedAudio ffmpegWhole = decodeWithFfmpeg(source);
    const long long total = whole.frames();
    const long long rate = format.rate;
    const VorbisStreamCutter cutter(source);
    ASSERT_EQ(cutter.index().totalFrames(), total);
    ASSERT_EQ(ffmpegWhole.frames(), total);
    ASSERT_TRUE(cutter.index().problem().isEmpty()) << cutter.index().problem().toStdString();

    const auto& packets = cutter.index().links().front().packets;
    const auto packetEdge = [&](long long frame) {
        for (const auto& p : packets)
            if (p.granule == frame)
                return true;
        return false;
    };
    const std::vector<long long> pages = pageEnds(source);
    ASSERT_GE(pages.size(), 3u);
    const long long pageA = pages.front();
    const long long pageB = pages[pages.size() - 2];
    const long long insideA = rate + 333;
    const long long insideB = 4 * rate + 777;
    ASSERT_FALSE(packetEdge(insideA) || packetEdge(insideB));
    const long long packetStart = packets[packets.size() / 2].granule;

    const struct {
        const char* name;
        long long begin;
        long long end;
    } cuts[] = {
        {"from frame 0", 0, 2 * rate},
        {"inside packets", insideA, insideB},
        {"on page boundaries", pageA, pageB},
        {"to the very end", total - 2 * rate - 5, total},
        {"the whole file", 0, total},
        {"less than a packet from a packet's start", packetStart, packetStart + 100},
    };
    int n = 0;
    for (const auto& cut : cuts) {
        SCOPED_TRACE(cut.name);
        const QString piece = path(QStringLiteral("piece%1.ogg").arg(n++));
        ASSERT_EQ(cutter.obstacle(cut.begin, cut.end), QString());
        EXPECT_EQ(cutter.write(cut.begin, cut.end, piece), cut.end - cut.begin);

        const Pcm pcm = decodeWithVorbisfile(piece);
        ASSERT_EQ(pcm.channels, format.channels);
        ASSERT_EQ(pcm.frames(), cut.end - cut.begin);
        const auto from = whole.samples.begin() + cut.begin * format.channels;
        EXPECT_TRUE(std::equal(pcm.samples.begin(), pcm.samples.end(), from))
            << "not sample for sample the source's frames";

        // FFmpeg does not trim a stream's start: it also plays the part of
        // the first packet before the cut. Nor does it trim the end of a
        // stream whose only audio page is its last. The rest is the piece.
        const DecodedAudio ffmpeg = decodeWithFfmpeg(piece);
        long long lead = cut.begin;
        for (const auto& p : packets)
            if (p.granule <= cut.begin)
                lead = cut.begin - p.granule;
        EXPECT_EQ(ffmpeg.rate, format.rate);
        if (pageEnds(piece).size() > 1) {
            EXPECT_EQ(ffmpeg.frames(), cut.end - cut.begin + lead);
        }
        ASSERT_GE(ffmpeg.frames(), cut.end - cut.begin + lead);
        const auto ffmpegFrom = ffmpegWhole.samples.begin() + cut.begin * format.channels;
        EXPECT_TRUE(std::equal(ffmpegFrom, ffmpegFrom + pcm.frames() * format.channels,
                               ffmpeg.samples.begin() + lead * format.channels))
            << "FFmpeg decodes other samples than it decodes from the source";

        EXPECT_EQ(ogginfoWarnings(piece), QString());
    }
}

// Appends the bytes of `b` to `a`: a chained file.
QString chain(const QString& a, const QString& b, const QString& out) {
    QFile first(a), second(b), target(out);
    first.open(QIODevice::ReadOnly);
    second.open(QIODevice::ReadOnly);
    target.open(QIODevice::WriteOnly);
    target.write(first.readAll() + second.readAll());
    return out;
}

TEST_F(VorbisStreamCutterTest, ChainedSourcesCopyAcrossLinksOfOneFormatOnly) {
    OggFixture second = OggFixture::Tone(2.0, 880.0);
    second.serial = 77;
    const QString same = chain(OggFixture::Tone(2.0).write(path("a.ogg")),
                               second.write(path("b.ogg")), path("same.ogg"));
    const Pcm whole = decodeWithVorbisfile(same);
    const VorbisStreamCutter cutter(same);
    ASSERT_EQ(cutter.index().links().size(), 2u);
    ASSERT_EQ(cutter.index().totalFrames(), whole.frames());

    // Across the join the piece is a chained file of two links.
    const long long begin = 44100 + 517;
    const long long end = 3 * 44100 + 1234;
    EXPECT_EQ(cutter.write(begin, end, path("across.ogg")), end - begin);
    const Pcm pcm = decodeWithVorbisfile(path("across.ogg"));
    ASSERT_EQ(pcm.frames(), end - begin);
    EXPECT_TRUE(std::equal(pcm.samples.begin(), pcm.samples.end(),
                           whole.samples.begin() + begin * whole.channels));
    EXPECT_EQ(ogginfoWarnings(path("across.ogg")), QString());

    second = OggFixture::Tone(2.0, 880.0, 22050, 1);
    const QString mixed = chain(path("a.ogg"), second.write(path("c.ogg")), path("mixed.ogg"));
    const VorbisStreamCutter mixedCutter(mixed);
    EXPECT_EQ(mixedCutter.obstacle(begin, end), "chained formats differ");
    EXPECT_EQ(mixedCutter.obstacle(begin, 2 * 44100), QString());
}

TEST_F(VorbisStreamCutterTest, SaysWhatCannotBeCopied) {
    const QString source = OggFixture::Tone(2.0).write(path("tone.ogg"));
    const VorbisStreamCutter cutter(source);
    const auto& packets = cutter.index().links().front().packets;
    // A start and an end inside the same packet's output.
    const long long inside = packets[10].granule + 5;
    EXPECT_EQ(cutter.obstacle(inside, inside + 10), "shorter than one packet");
    EXPECT_EQ(cutter.obstacle(500, 500), "empty piece");
    EXPECT_EQ(cutter.obstacle(88200, 90000), "empty piece") << "past the end";
    EXPECT_THROW(cutter.write(inside, inside + 10, path("no.ogg")), Error);
    EXPECT_THROW(cutter.write(0, 100, source), Error) << "the source itself";

    // A tag appended after the end of the stream is no damage.
    QFile file(source);
    file.open(QIODevice::ReadWrite);
    QByteArray bytes = file.readAll();
    QFile tagged(path("tagged.ogg"));
    tagged.open(QIODevice::WriteOnly);
    tagged.write(bytes + "TAG" + QByteArray(125, ' '));
    tagged.close();
    EXPECT_EQ(VorbisStreamCutter(path("tagged.ogg")).obstacle(0, 1000), QString());

    // A few flipped bytes inside the stream: a page fails its checksum, and
    // is passed over as libogg passes over it (the encoder corpus compares
    // such copies with oggdec's decoding).
    for (qsizetype i = bytes.size() / 2; i < bytes.size() / 2 + 8; ++i)
        bytes[i] = static_cast<char>(~bytes[i]);
    file.seek(0);
    file.write(bytes);
    file.close();
    EXPECT_EQ(VorbisStreamCutter(source).obstacle(0, 1000), QString());

    QFile garbage(path("garbage.ogg"));
    garbage.open(QIODevice::WriteOnly);
    garbage.write(QByteArray(5000, 'x'));
    garbage.close();
    EXPECT_EQ(VorbisStreamCutter(path("garbage.ogg")).obstacle(0, 1000), "damaged source");
    EXPECT_THROW(VorbisStreamCutter(path("missing.ogg")), Error);
}

TEST_F(VorbisStreamCutterTest, CutOffSourcesAndStoppedPiecesStayExact) {
    const QString source = OggFixture::Tone(4.0).write(path("tone.ogg"));
    QFile file(source);
    file.open(QIODevice::ReadWrite);
    file.resize(file.size() * 2 / 3); // ends inside a page, without end of stream
    file.close();
    const Pcm whole = decodeWithVorbisfile(source);
    const VorbisStreamCutter cutter(source);
    ASSERT_EQ(cutter.index().problem(), QString());
    ASSERT_EQ(cutter.index().totalFrames(), whole.frames());

    const long long begin = 1001;
    const long long end = whole.frames();
    EXPECT_EQ(cutter.write(begin, end, path("tail.ogg")), end - begin);
    Pcm pcm = decodeWithVorbisfile(path("tail.ogg"));
    ASSERT_EQ(pcm.frames(), end - begin);
    EXPECT_TRUE(std::equal(pcm.samples.begin(), pcm.samples.end(),
                           whole.samples.begin() + begin * whole.channels));

    // Stopped on the way: a complete file with the frames up to there.
    long long reported = 0;
    const long long written = cutter.write(begin, end, path("stopped.ogg"), [&](long long frames) {
        reported = frames;
        return frames < 20000;
    });
    EXPECT_GT(written, 20000);
    EXPECT_LT(written, end - begin);
    EXPECT_EQ(reported, written);
    pcm = decodeWithVorbisfile(path("stopped.ogg"));
    ASSERT_EQ(pcm.frames(), written);
    EXPECT_TRUE(std::equal(pcm.samples.begin(), pcm.samples.end(),
                           whole.samples.begin() + begin * whole.channels));
    EXPECT_EQ(ogginfoWarnings(path("stopped.ogg")), QString());
}

INSTANTIATE_TEST_SUITE_P(Rates, VorbisStreamCutterTest,
                         ::testing::Values(Format{44100, 2}, Format{48000, 2}, Format{22050, 2},
                                           Format{44100, 1}, Format{48000, 6}));

} // namespace
