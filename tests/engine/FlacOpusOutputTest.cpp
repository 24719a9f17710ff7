// FLAC and Opus pieces cut by the split run from files of the format corpus,
// and titled pieces in every tagged format, read back with FFmpeg and TagLib.
#include "core/RecordPieces.h"
#include "engine/ConfigureEncoder.h"
#include "engine/EncoderKey.h"
#include "engine/RunSupport.h"
#include "engine/SplitRun.h"
#include "engine/audio/OpusStreamCutter.h"
#include "platform/Error.h"
#include "tags/AudioPayload.h"
#include "tags/OutputExtras.h"
#include "tags/OutputTags.h"
#include "tags/WmaTags.h"
#include "tests/engine/Mp3Stream.h"
#include "tests/engine/RunFixture.h"
#include "tests/support/FormatCorpus.h"
#include "tests/support/OggPages.h"

#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

const FormatCorpus::File* corpusFile(const char* name) {
    for (const FormatCorpus::File& file : FormatCorpus::Shared().files())
        if (file.name == QLatin1String(name))
            return file.path.isEmpty() ? nullptr : &file;
    return nullptr;
}

// The largest difference between a piece, from its frame `from` on, and the
// reference's frames from `first` on.
double largestDifference(const DecodedAudio& piece, const DecodedAudio& reference, long long first,
                         long long from = 0) {
    double largest = 0;
    const auto channels = static_cast<std::size_t>(reference.channels);
    const auto offset = static_cast<std::size_t>(first) * channels;
    for (std::size_t i = static_cast<std::size_t>(from) * channels; i < piece.samples.size(); ++i)
        largest =
            std::max<double>(largest, std::fabs(piece.samples[i] - reference.samples[offset + i]));
    return largest;
}

class FlacOpusOutputTest : public RunFixture {
protected:
    static void SetUpTestSuite() { LoadWmaLibrary(); }

    // Cuts seconds 1-2 and 2-4 of each corpus file, tagged, as `format`, in
    // one run; the files the corpus could not make are left out.
    std::vector<const FormatCorpus::File*> cut(std::initializer_list<const char*> names,
                                               int format) {
        std::vector<const FormatCorpus::File*> files;
        for (const char* name : names) {
            const FormatCorpus::File* file = corpusFile(name);
            if (!file)
                continue;
            const int row = static_cast<int>(files.size());
            addSource(file->path);
            AudioFileinfo& tags = state.JobList[static_cast<std::size_t>(row)].Tags;
            tags.Title = QStringLiteral("Tîtle");
            tags.Artist = QStringLiteral("Artist");
            tags.Album = QStringLiteral("Album");
            tags.Year = QStringLiteral("2024");
            tags.Genre = QStringLiteral("Folk");
            setSegments(row, {{1, 2}, {2, 4}}, {0, 1});
            files.push_back(file);
        }
        setFormat(format);
        SplitRun(context).Run(PiecePlan::Mode::Custom);
        return files;
    }
    DecodedAudio piece(const FormatCorpus::File& file, int n, const char* extension) {
        return decode(file.name + (n > 0 ? QStringLiteral("_%1.").arg(n) : QStringLiteral(".")) +
                      QLatin1String(extension));
    }
    void expectTags(const QString& path) {
        TagLib::FileRef ref(QFile::encodeName(path).constData());
        ASSERT_FALSE(ref.isNull());
        EXPECT_EQ(ref.tag()->title().to8Bit(true), "Tîtle");
        EXPECT_EQ(ref.tag()->artist().to8Bit(true), "Artist");
        EXPECT_EQ(ref.tag()->album().to8Bit(true), "Album");
        EXPECT_EQ(ref.tag()->genre().to8Bit(true), "Folk");
        EXPECT_EQ(ref.tag()->year(), 2024u);
    }
    int flacBits(const QString& name) {
        TagLib::FLAC::File flac(QFile::encodeName(out(name)).constData());
        return flac.audioProperties() ? flac.audioProperties()->bitsPerSample() : 0;
    }
};

TEST_F(FlacOpusOutputTest, FlacPiecesOfLossySourcesHoldTheReferenceAt16Bits) {
    const auto files = cut({"lame_cbr128_44100_2"}, OutputFlac);
    if (files.empty())
        GTEST_SKIP() << "no MP3 in the corpus";
    ASSERT_EQ(outputs(), QStringList({"lame_cbr128_44100_2.flac", "lame_cbr128_44100_2_1.flac"}));
    const DecodedAudio second = piece(*files[0], 1, "flac");
    EXPECT_EQ(second.codec, "flac");
    EXPECT_EQ(second.rate, 44100);
    ASSERT_EQ(second.frames(), 2 * 44100);
    // Within half a step of 16-bit samples.
    EXPECT_LE(largestDifference(second, files[0]->reference, 2 * 44100), 0.6 / 32768);
    EXPECT_EQ(flacBits("lame_cbr128_44100_2_1.flac"), 16);
    expectTags(out("lame_cbr128_44100_2_1.flac"));
}

TEST_F(FlacOpusOutputTest, FlacPiecesOfLosslessSourcesAreBitExactAtTheSourceDepth) {
    const auto files = cut({"sox_flac24_48000_2", "flac_44100_2"}, OutputFlac);
    if (files.empty())
        GTEST_SKIP() << "no FLAC in the corpus";
    for (const FormatCorpus::File* file : files) {
        SCOPED_TRACE(file->name.toStdString());
        const int rate = file->reference.rate;
        const DecodedAudio first = piece(*file, 0, "flac");
        const DecodedAudio second = piece(*file, 1, "flac");
        ASSERT_EQ(first.frames(), rate);
        ASSERT_EQ(second.frames(), 2 * rate);
        // Float samples of 24 bits or fewer are exact: equal means bit for bit.
        EXPECT_EQ(largestDifference(first, file->reference, rate), 0.0);
        EXPECT_EQ(largestDifference(second, file->reference, 2 * rate), 0.0);
        EXPECT_EQ(flacBits(file->name + QStringLiteral("_1.flac")),
                  file->name.contains(QLatin1String("24")) ? 24 : 16);
        expectTags(out(file->name + QStringLiteral("_1.flac")));
    }
}

TEST_F(FlacOpusOutputTest, OpusPiecesAre48kHzWithTheExactLengthOfTheirRangeAndSettings) {
    settings.WriteInteger(QStringLiteral("Opus"), QStringLiteral("Bitrate"), 48);
    settings.WriteInteger(QStringLiteral("Opus"), QStringLiteral("Application"), 1);
    state.OggCopy = false;
    const auto files = cut({"flac_44100_2", "lame_cbr128_44100_2", "opusenc_48000_2"}, OutputOpus);
    if (files.empty())
        GTEST_SKIP() << "no source in the corpus";
    for (const FormatCorpus::File* file : files) {
        SCOPED_TRACE(file->name.toStdString());
        const int rate = file->reference.rate;
        const DecodedAudio second = piece(*file, 1, "opus");
        EXPECT_EQ(second.codec, "opus");
        EXPECT_EQ(second.rate, 48000);
        EXPECT_EQ(piece(*file, 0, "opus").frames(), 48000);
        ASSERT_EQ(second.frames(), 2 * 48000);
        // The same sound: the piece's level follows the source's (48 kbps
        // drops the music's top octave, some 15 % of its level).
        const std::vector<float> left = second.channel(0);
        EXPECT_NEAR(rms(left, 0, left.size()) / rms(file->reference.channel(0),
                                                    static_cast<std::size_t>(2 * rate),
                                                    static_cast<std::size_t>(4 * rate)),
                    1.0, 0.25);
        expectTags(out(file->name + QStringLiteral("_1.opus")));
        // Two seconds at 48 kbps, give or take the headers and the tags.
        EXPECT_NEAR(static_cast<double>(QFileInfo(out(file->name + "_1.opus")).size()),
                    2 * 48000 / 8, 3000);
    }
}

TEST_F(FlacOpusOutputTest, OpusPiecesOfOpusSourcesAreCopiedToTheExactFrame) {
    const auto files = cut({"opusenc_48000_2"}, OutputOpus);
    if (files.empty())
        GTEST_SKIP() << "no Opus in the corpus";
    const DecodedAudio& reference = files[0]->reference;
    for (int row : {0, 1}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(lvTime.note(row), "copied");
        const DecodedAudio copied = piece(*files[0], row, "opus");
        ASSERT_EQ(copied.frames(), (row + 1) * 48000);
        // The decoder settles during the lead the copy starts with; from
        // 100 ms on the piece is the continuous decode within a hair.
        EXPECT_LE(largestDifference(copied, reference, (row + 1) * 48000, 4800), 0.01);
    }
    expectTags(out("opusenc_48000_2_1.opus"));
}

// A changed MP3 or Opus page shapes the pieces of sources of its own format,
// as a changed OGG page does: they are encoded with it, not copied.
TEST_F(FlacOpusOutputTest, AChangedPageReencodesPiecesThatWouldBeCopied) {
    using namespace EncoderKeys;
    Mp3Bitrate.write(settings, 5); // 64 kbps
    Mp3Channel.write(settings, 0); // mono
    settings.WriteInteger(QStringLiteral("Opus"), QStringLiteral("Bitrate"), 48);
    const struct {
        const char* name;
        int format;
        const char* extension;
        int channels;
        double bytes; // of the two-second piece, give or take the headers
    } cases[] = {{"lame_cbr128_44100_2", OutputMp3, "mp3", 1, 2 * 64000 / 8},
                 {"opusenc_48000_2", OutputOpus, "opus", 2, 2 * 48000 / 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lv.clear();
        const auto files = cut({c.name}, c.format);
        if (files.empty())
            continue;
        EXPECT_EQ(lvTime.note(1), "");
        EXPECT_EQ(piece(*files[0], 1, c.extension).channels, c.channels);
        EXPECT_NEAR(
            static_cast<double>(QFileInfo(out(files[0]->name + "_1." + c.extension)).size()),
            c.bytes, 3000);
    }
}

// Packets that run on from one page to the next, as some muxers write them:
// a piece whose first packet began on an earlier page still starts exactly.
TEST_F(FlacOpusOutputTest, OpusPiecesOfPacketsSpanningPagesAreCopiedToTheExactFrame) {
    const QString source = srcDir + QStringLiteral("loud.opus");
    FormatCorpus::Synthesize(
        QStringLiteral("anoisesrc=c=pink:r=48000:d=6:seed=7,aformat=channel_layouts=stereo"),
        {"-c:a", "libopus", "-b:a", "510k"}, source);
    const DecodedAudio reference = decodeWithFfmpeg(source);
    OggPages pages(source);
    int split = 0;
    // The last page keeps its end-of-stream mark on a whole page.
    for (int i = static_cast<int>(pages.pages.size()) - 2; i >= 2; --i)
        if (OggPages::startsWithLongPacket(pages.pages[static_cast<std::size_t>(i)])) {
            pages.splitFirstPacket(i);
            ++split;
        }
    pages.write(source);
    ASSERT_GT(split, 3);

    const OpusStreamCutter cutter(source);
    for (const auto& [begin, end] :
         {std::pair{0, 1}, std::pair{1, 2}, std::pair{2, 3}, std::pair{3, 4}, std::pair{4, 5}}) {
        SCOPED_TRACE(begin);
        ASSERT_EQ(cutter.obstacle(begin * 48000, end * 48000), QString());
        const QString piece = out(QStringLiteral("piece%1.opus").arg(begin));
        EXPECT_EQ(cutter.write(begin * 48000, end * 48000, piece), 48000);
        const DecodedAudio copied = decodeWithFfmpeg(piece);
        ASSERT_EQ(copied.frames(), 48000);
        EXPECT_LE(largestDifference(copied, reference, begin * 48000, 4800), 0.01);
    }
    // A page lost since the source was read fails the piece instead of
    // copying other audio into it.
    pages.pages.erase(pages.pages.begin() + static_cast<int>(pages.pages.size() / 2));
    pages.write(source);
    EXPECT_THROW(cutter.write(48000, 5 * 48000, out(QStringLiteral("changed.opus"))), Error);
}

// The tags of a copied Opus piece fill the room its comment header keeps, in
// place, or, too large for it, take a rewritten header; either way TagLib
// reads them back and the audio is as copied.
TEST_F(FlacOpusOutputTest, TagsOfCopiedOpusPiecesReadBackWithTheAudioAsCopied) {
    const FormatCorpus::File* file = corpusFile("opusenc_48000_2");
    if (!file)
        GTEST_SKIP() << "no Opus in the corpus";
    const OpusStreamCutter cutter(file->path);
    const struct {
        const char* name;
        int titleRepeats;
        bool extras;
        bool inPlace;
    } cases[] = {{"fields", 1, false, true},
                 {"fields and extras", 1, true, true},
                 {"larger than the room", 800, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString piece = out(QStringLiteral("%1.opus").arg(QLatin1String(c.name)));
        ASSERT_EQ(cutter.write(48000, 2 * 48000, piece), 48000);
        const OggPages copied(piece);
        const AudioPayload payload = AudioPayload::OfOgg(piece, 2);
        const DecodedAudio audio = decodeWithFfmpeg(piece);

        AudioFileinfo info;
        info.Title = QStringLiteral("Tîtle ").repeated(c.titleRepeats);
        info.Artist = QStringLiteral("Artist");
        info.Track = QStringLiteral("3/9");
        WriteXiphOutputTags(piece, info);
        OutputExtras extras;
        if (c.extras) {
            extras.composer = QStringLiteral("Compöser");
            extras.track = OutputExtras::Loudness{-20.0, 0.5};
        }
        extras.write(piece, OutputExtras::Container::Opus);

        const OggPages tagged(piece);
        ASSERT_EQ(tagged.pages.size(), copied.pages.size());
        // The audio pages are as copied; in place, the comment page kept its size.
        EXPECT_TRUE(
            std::equal(tagged.pages.begin() + 2, tagged.pages.end(), copied.pages.begin() + 2));
        EXPECT_EQ(tagged.pages[1].size() == copied.pages[1].size(), c.inPlace);
        EXPECT_EQ(AudioPayload::OfOgg(piece, 2), payload);
        EXPECT_EQ(decodeWithFfmpeg(piece).samples, audio.samples);
        TagLib::FileRef ref(QFile::encodeName(piece).constData());
        ASSERT_FALSE(ref.isNull());
        EXPECT_EQ(ref.tag()->title().to8Bit(true), info.Title.toStdString());
        EXPECT_EQ(ref.tag()->artist().to8Bit(true), "Artist");
        const TagLib::PropertyMap properties = ref.file()->properties();
        EXPECT_EQ(properties["TRACKNUMBER"].toString().to8Bit(true), "3");
        EXPECT_EQ(properties["TRACKTOTAL"].toString().to8Bit(true), "9");
        EXPECT_EQ(properties["COMPOSER"].toString().to8Bit(true), c.extras ? "Compöser" : "");
        EXPECT_EQ(properties["R128_TRACK_GAIN"].toString().to8Bit(true), c.extras ? "-768" : "");
    }
}

// Pieces from a cue sheet are named and tagged each by its own title,
// performer and number, with the sheet's album over the source's, and the
// source's year and genre.
TEST_F(FlacOpusOutputTest, TitledPiecesCarryTheirOwnTagsInEveryTaggedFormat) {
    addFile(QStringLiteral("image.ogg"), OggFixture::Tone(3.0, 440.0, 44100, 2));
    AudioFileinfo& source = state.JobList[0].Tags;
    source.Artist = QStringLiteral("Source Artist");
    source.Album = QStringLiteral("Source Album");
    source.Year = QStringLiteral("1999");
    source.Genre = QStringLiteral("Rock");
    TitledPiece one{0, 44100, {}};
    one.tags.title = QStringLiteral("Öne");
    one.tags.artist = QStringLiteral("Solo");
    TitledPiece two{44100, 3 * 44100, {}};
    two.tags.title = QStringLiteral("Two");
    PieceTags sheet;
    sheet.album = QStringLiteral("Live");
    sheet.artist = QStringLiteral("Band");
    sheet.discNumber = 2;
    sheet.discTotal = 3;
    std::vector<TitledPiece> pieces{one, two};
    RecordPieces::Number(pieces);
    RecordPieces::Adopt(state.JobList[0], pieces, sheet);

    const std::pair<int, const char*> formats[] = {{OutputMp3, "mp3"},
                                                   {OutputWma, "wma"},
                                                   {OutputOgg, "ogg"},
                                                   {OutputFlac, "flac"},
                                                   {OutputOpus, "opus"}};
    for (const auto& [format, extension] : formats) {
        SCOPED_TRACE(extension);
        setFormat(format);
        SplitRun(context).Run(PiecePlan::Mode::Custom);
        for (int n = 1; n <= 2; ++n) {
            const QString title = n == 1 ? QStringLiteral("Öne") : QStringLiteral("Two");
            const QString path =
                out(QStringLiteral("0%1 - %2.%3").arg(n).arg(title, QLatin1String(extension)));
            TagLib::FileRef ref(QFile::encodeName(path).constData());
            ASSERT_FALSE(ref.isNull()) << path.toStdString();
            EXPECT_EQ(ref.tag()->title().to8Bit(true), title.toStdString());
            EXPECT_EQ(ref.tag()->artist().to8Bit(true), n == 1 ? "Solo" : "Band");
            EXPECT_EQ(ref.tag()->album().to8Bit(true), "Live");
            EXPECT_EQ(ref.tag()->track(), static_cast<unsigned>(n));
            EXPECT_EQ(ref.tag()->year(), 1999u);
            EXPECT_EQ(ref.tag()->genre().to8Bit(true), "Rock");
            const DecodedAudio decoded = decodeWithFfmpeg(path);
            EXPECT_EQ(decoded.tags.at(QStringLiteral("title")), title);
            EXPECT_TRUE(decoded.tags.at(QStringLiteral("track")).startsWith(QString::number(n)));
            // Track and disc numbers as the format's players read them:
            // Vorbis comments in fields of their own, ID3 and WMA as "n/N".
            const TagLib::PropertyMap properties = ref.file()->properties();
            const auto field = [&](const char* key) {
                return properties[key].toString().to8Bit(true);
            };
            if (QLatin1String(extension) == QLatin1String("mp3") ||
                QLatin1String(extension) == QLatin1String("wma")) {
                EXPECT_EQ(field("DISCNUMBER"), "2/3");
                if (QLatin1String(extension) == QLatin1String("mp3")) {
                    EXPECT_EQ(field("TRACKNUMBER"), std::to_string(n) + "/2");
                }
            } else {
                EXPECT_EQ(field("TRACKNUMBER"), std::to_string(n));
                EXPECT_EQ(field("TRACKTOTAL"), "2");
                EXPECT_EQ(field("DISCNUMBER"), "2");
                EXPECT_EQ(field("DISCTOTAL"), "3");
            }
        }
    }
}

} // namespace

// MP3 pieces of MP3 sources are copied frame by frame: lame's CBR and VBR at
// MPEG-1, 2 and 2.5 (32 kbps mono reaches deep into the bit reservoir),
// FFmpeg's libmp3lame with its tag and without one.
class Mp3CopyTest : public FlacOpusOutputTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(Mp3CopyTest, PiecesAreCopiedToTheExactFrame) {
    const FormatCorpus::File* file = corpusFile(GetParam());
    FormatCorpus::File untagged;
    if (QLatin1String(GetParam()) == QLatin1String("untagged") ||
        QLatin1String(GetParam()) == QLatin1String("id3v1")) {
        // Without a Xing frame; or with ID3v2 before the audio and ID3v1
        // after it, which the frame index must leave out.
        const bool id3v1 = QLatin1String(GetParam()) == QLatin1String("id3v1");
        untagged.name = QLatin1String(GetParam());
        untagged.path = srcDir + untagged.name + QStringLiteral(".mp3");
        FormatCorpus::Synthesize(
            QStringLiteral("aevalsrc=sin(2*PI*440*t)*sin(3*t):s=44100:d=4.7"),
            id3v1 ? QStringList{"-c:a", "libmp3lame", "-b:a", "96k", "-metadata", "title=T",
                                "-write_id3v1", "1"}
                  : QStringList{"-c:a", "libmp3lame", "-b:a", "96k", "-write_xing", "0"},
            untagged.path);
        untagged.reference = decodeWithFfmpeg(untagged.path);
        file = &untagged;
    }
    if (!file)
        GTEST_SKIP() << GetParam() << " is not in the corpus";
    addSource(file->path);
    const std::pair<int, int> seconds[] = {{0, 1}, {1, 3}, {2, 3}};
    setSegments(0, {seconds[0], seconds[1], seconds[2]}, {0, 1});
    setFormat(OutputMp3);
    state.OggCopy = true;
    SplitRun(context).Run(PiecePlan::Mode::Custom);

    const int rate = file->reference.rate;
    for (int n = 0; n < 3; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(lvTime.note(n), "copied");
        const DecodedAudio copied = piece(*file, n, "mp3");
        const auto [begin, end] = seconds[n];
        ASSERT_EQ(copied.frames(), (end - begin) * rate);
        // The frames before the first wanted one fill the decoder's state
        // and bit reservoir: the piece is the decode of the whole source,
        // sample for sample, from its first frame on.
        EXPECT_EQ(largestDifference(copied, file->reference, begin * rate), 0.0);
        // FFmpeg names the encoder only when the tag's CRC holds.
        EXPECT_EQ(copied.tags.count(QStringLiteral("encoder")), 1u);
        if (rate >= 32000) { // MPEG-1, which Mp3Stream reads
            const Mp3Stream stream = Mp3Stream::read(out(
                file->name + (n > 0 ? QStringLiteral("_%1.mp3").arg(n) : QStringLiteral(".mp3"))));
            EXPECT_EQ(stream.musicCrc, stream.framesCrc);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Encoders, Mp3CopyTest,
                         ::testing::Values("lame_cbr128_44100_2", "lame_vbr_v2_48000_2",
                                           "lame_cbr32_22050_1", "lame_vbr_v6_8000_1",
                                           "ffmpeg_libmp3lame_44100_2", "untagged", "id3v1"));

TEST_F(FlacOpusOutputTest, FadedMp3PiecesAreReencoded) {
    const FormatCorpus::File* file = corpusFile("lame_cbr128_44100_2");
    if (!file)
        GTEST_SKIP() << "no MP3 in the corpus";
    addSource(file->path);
    setSegments(0, {{1, 3}}, {0, 1});
    state.FadeIn = true;
    state.FadeInSeconds = 1;
    state.OggCopy = true;
    setFormat(OutputMp3);
    SplitRun(context).Run(PiecePlan::Mode::Custom);
    EXPECT_EQ(lvTime.note(0), "re-encoded (fade)");
    EXPECT_EQ(decode("lame_cbr128_44100_2.mp3").frames(), 2 * 44100);
}

TEST_F(FlacOpusOutputTest, Mp3PiecesOfLayerIiSourcesAreReencoded) {
    const QString source = srcDir + QStringLiteral("layer2.mp3");
    FormatCorpus::Synthesize(QStringLiteral("sine=f=440:d=3"), {"-c:a", "mp2", "-f", "mp2"},
                             source);
    addSource(source);
    setSegments(0, {{1, 2}}, {0, 1});
    state.OggCopy = true;
    setFormat(OutputMp3);
    SplitRun(context).Run(PiecePlan::Mode::Custom);
    EXPECT_EQ(lvTime.note(0), "re-encoded (not Layer III)");
    EXPECT_EQ(decode("layer2.mp3").frames(), 44100);
}

TEST_F(FlacOpusOutputTest, AStopDuringACopiedMp3PieceLeavesItCompleteAndExact) {
    const QString source = srcDir + QStringLiteral("long.mp3");
    FormatCorpus::Synthesize(QStringLiteral("aevalsrc=sin(2*PI*440*t)*sin(t):s=44100:d=30"),
                             {"-c:a", "libmp3lame", "-b:a", "128k"}, source);
    addSource(source);
    setSegments(0, {{1, 29}}, {0, 1});
    state.OggCopy = true;
    setFormat(OutputMp3);
    host.onCheckpoint = [&] {
        if (lvTime.note(0) == "copied" && state.Busy)
            RunSupport::StopRun(state, control, host);
    };
    SplitRun(context).Run(PiecePlan::Mode::Custom);

    const DecodedAudio piece = decode("long.mp3");
    EXPECT_GT(piece.frames(), 0);
    EXPECT_LT(piece.frames(), 28 * 44100);
    EXPECT_EQ(largestDifference(piece, decodeWithFfmpeg(source), 44100), 0.0);
}
