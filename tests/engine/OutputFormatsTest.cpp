// Every output format of the registry, through the split run: pieces of real
// music cut at frames that fall inside codec frames, decoded by FFmpeg to the
// planned frames and the source's samples, their tags read by TagLib.
#include "engine/OutputFormats.h"
#include "core/RecordPieces.h"
#include "engine/JoinRun.h"
#include "engine/OutputNames.h"
#include "engine/PieceWorkers.h"
#include "engine/SplitRun.h"
#include "tags/WmaTags.h"
#include "tests/engine/RunFixture.h"
#include "tests/support/RealRecording.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

#include <QFile>

#include <cmath>
#include <string>

namespace {

// How far `piece` is from the reference's frames from `first` on, in dB of
// signal to difference, and their correlation.
struct Likeness {
    double snr = 0;
    double correlation = 0;
};
Likeness likeness(const DecodedAudio& piece, const DecodedAudio& reference, long long first) {
    const auto offset = static_cast<std::size_t>(first * reference.channels);
    double signal = 0, noise = 0, cross = 0, own = 0;
    for (std::size_t i = 0; i < piece.samples.size(); ++i) {
        const double s = reference.samples[offset + i];
        const double p = piece.samples[i];
        signal += s * s;
        noise += (p - s) * (p - s);
        cross += s * p;
        own += p * p;
    }
    return {10 * std::log10(signal / std::max(noise, 1e-20)),
            cross / std::sqrt(std::max(signal * own, 1e-20))};
}

class OutputFormatsTest : public RunFixture {
protected:
    static void SetUpTestSuite() {
        LoadWmaLibrary();
        reference_ = new DecodedAudio(decodeWithFfmpeg(RealRecording()));
    }
    static void TearDownTestSuite() {
        delete reference_;
        reference_ = nullptr;
    }

    // Two titled pieces of the recording, numbered 1/2 and 2/2 on disc 2/3,
    // their ends inside AAC, MP3 and Vorbis frames.
    void addPieces() {
        addSource(RealRecording());
        AudioFileinfo& source = state.JobList[0].Tags;
        source.Year = QStringLiteral("1999");
        source.Genre = QStringLiteral("Rock");
        std::vector<TitledPiece> pieces{{44100 + 123, 3 * 44100 + 777, {}},
                                        {3 * 44100 + 777, 5 * 44100 + 5, {}}};
        pieces[0].tags.title = QStringLiteral("Öne");
        pieces[1].tags.title = QStringLiteral("Two");
        PieceTags sheet;
        sheet.album = QStringLiteral("Live");
        sheet.artist = QStringLiteral("Band");
        sheet.composer = QStringLiteral("Writer");
        sheet.discNumber = 2;
        sheet.discTotal = 3;
        RecordPieces::Number(pieces);
        RecordPieces::Adopt(state.JobList[0], pieces, sheet);
        planned_ = pieces;
    }

    // A piece of `format` holds the planned frames, counted in its own rate,
    // and sounds like the source there.
    void expectAudio(const OutputFormat& format, const QString& path, const TitledPiece& piece) {
        const DecodedAudio decoded = decodeWithFfmpeg(path);
        const long long frames = piece.end - piece.begin;
        // Counted in the output's rate: Opus resamples to 48 kHz.
        const auto expected = std::llround(double(frames) * decoded.rate / reference_->rate);
        if (format.exactLength && decoded.rate == reference_->rate)
            EXPECT_EQ(decoded.frames(), expected);
        else if (format.exactLength)
            EXPECT_NEAR(decoded.frames(), expected, 1);
        else // whole codec frames, none of the piece lost
            EXPECT_GE(decoded.frames(), expected);
        if (decoded.rate != reference_->rate || decoded.channels != reference_->channels)
            return;
        DecodedAudio head = decoded;
        head.samples.resize(
            static_cast<std::size_t>(std::min(decoded.frames(), frames) * decoded.channels));
        const Likeness alike = likeness(head, *reference_, piece.begin);
        // A lossy coder's noise, not a piece shifted by a codec frame.
        EXPECT_GT(alike.correlation, 0.97);
        EXPECT_GT(alike.snr, 12.0);
    }

    void expectTags(const QString& path, int n) {
        const QString title = n == 1 ? QStringLiteral("Öne") : QStringLiteral("Two");
        TagLib::FileRef ref(QFile::encodeName(path).constData());
        ASSERT_FALSE(ref.isNull()) << path.toStdString();
        EXPECT_EQ(ref.tag()->title().to8Bit(true), title.toStdString());
        EXPECT_EQ(ref.tag()->artist().to8Bit(true), "Band");
        EXPECT_EQ(ref.tag()->album().to8Bit(true), "Live");
        EXPECT_EQ(ref.tag()->year(), 1999u);
        EXPECT_EQ(ref.tag()->genre().to8Bit(true), "Rock");
        EXPECT_EQ(ref.tag()->track(), static_cast<unsigned>(n));
        // "n/N" where the format holds them together, the count in a field
        // of its own where it has one, the number alone where it has none.
        const TagLib::PropertyMap properties = ref.file()->properties();
        const auto numbers = [&](const char* key, const char* total) {
            const QString value = QString::fromStdString(properties[key].toString().to8Bit());
            const QString count = QString::fromStdString(properties[total].toString().to8Bit());
            return count.isEmpty() ? value : value + QLatin1Char('/') + count;
        };
        EXPECT_TRUE(QStringList({QStringLiteral("%1/2").arg(n), QString::number(n)})
                        .contains(numbers("TRACKNUMBER", "TRACKTOTAL")));
        EXPECT_TRUE(QStringList({QStringLiteral("2/3"), QStringLiteral("2")})
                        .contains(numbers("DISCNUMBER", "DISCTOTAL")));
        // The sheet's other fields go in too, whichever of the format's
        // extensions the piece has.
        EXPECT_EQ(properties["COMPOSER"].toString().to8Bit(true), "Writer");
    }

    static DecodedAudio* reference_;
    std::vector<TitledPiece> planned_;
};

DecodedAudio* OutputFormatsTest::reference_ = nullptr;

TEST_F(OutputFormatsTest, EveryFormatWritesTheExactTaggedPiecesInTurnAndInParallel) {
    addPieces();
    state.OggCopy = false; // encoded, every one of them
    for (int index = 0; index < OutputFormats::Count(); ++index) {
        const OutputFormat& format = OutputFormats::At(index);
        for (const int workers : {1, 2}) {
            SCOPED_TRACE(format.id.toStdString() + " with " + std::to_string(workers));
            PieceWorkers::SetAllowed(settings, workers);
            setFormat(index);
            SplitRun(context).Run(PiecePlan::Mode::Custom);
            for (int n = 1; n <= 2; ++n) {
                const QString path =
                    out(QStringLiteral("0%1 - %2%3")
                            .arg(n)
                            .arg(n == 1 ? QStringLiteral("Öne") : QStringLiteral("Two"),
                                 format.extension()));
                ASSERT_TRUE(QFile::exists(path)) << outputs().join(' ').toStdString();
                expectAudio(format, path, planned_[static_cast<std::size_t>(n - 1)]);
                if (format.writeTags)
                    expectTags(path, n);
                QFile::remove(path);
            }
        }
    }
    EXPECT_EQ(desktop.informations, QStringList());
}

TEST_F(OutputFormatsTest, NamesAskForTheFormatsOtherExtensionsInJoinsAndTemplates) {
    addPieces();
    const int m4a = OutputFormats::IndexOf(QStringLiteral("m4a"));
    ASSERT_GE(m4a, 0);
    setFormat(m4a);
    state.PiecePattern = QStringLiteral("{n:02} {title}.m4r");
    SplitRun(context).Run(PiecePlan::Mode::Custom);
    EXPECT_EQ(outputs(), QStringList({"01 Öne.m4r", "02 Two.m4r"}));
    expectAudio(OutputFormats::At(m4a), out(QStringLiteral("02 Two.m4r")), planned_[1]);
    expectTags(out(QStringLiteral("02 Two.m4r")), 2);

    // A join named as an audiobook keeps its name, in any case; another
    // name gets the format's own extension.
    const OutputFormat& format = OutputFormats::At(m4a);
    EXPECT_EQ(format.joinPath(QStringLiteral("/x/Book.M4B")), QStringLiteral("/x/Book.M4B"));
    EXPECT_EQ(format.joinPath(QStringLiteral("/x/mix.mp3")), QStringLiteral("/x/mix.mp3.m4a"));
    desktop.saveAnswers.push_back({out(QStringLiteral("book.m4b")), m4a + 1});
    state.FunctionChoice = FunctionSplitByTime; // whole files
    joinCommand();
    const DecodedAudio joined = decodeWithFfmpeg(out(QStringLiteral("book.m4b")));
    EXPECT_EQ(joined.codec, QStringLiteral("aac"));
    EXPECT_EQ(joined.frames(), reference_->frames());
}

} // namespace
