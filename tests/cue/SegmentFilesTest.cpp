#include "engine/SegmentFiles.h"
#include "core/AudioFileinfo.h"
#include "core/CueSheet.h"
#include "core/FramePosition.h"
#include "core/LabelFile.h"
#include "core/SheetText.h"
#include "engine/GivenNames.h"
#include "engine/OutputNames.h"
#include "engine/audio/Mp4Chapters.h"
#include "engine/audio/SourceChapters.h"
#include "platform/Error.h"
#include "tests/support/CdImages.h"
#include "tests/support/ChapterFiles.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/RealRecording.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

// A sheet as a CD ripper writes it, with a byte order mark, CRLF line ends,
// commands that do not cut, a pregap and a lower-case command.
const char* const RippedSheet = "\xEF\xBB\xBFREM GENRE \"Classic Rock\"\r\n"
                                "REM DATE 1985\r\n"
                                "REM COMMENT \"ripped\"\r\n"
                                "CATALOG 0123456789012\r\n"
                                "PERFORMER \"The Example Band\"\r\n"
                                "TITLE \"Live In Nowhere\"\r\n"
                                "FILE \"Live In Nowhere.wav\" WAVE\r\n"
                                "  TRACK 01 AUDIO\r\n"
                                "    TITLE \"Opening\"\r\n"
                                "    FLAGS DCP\r\n"
                                "    INDEX 01 00:00:00\r\n"
                                "  TRACK 02 AUDIO\r\n"
                                "    TITLE \"Second Song\"\r\n"
                                "    PERFORMER \"Guest Singer\"\r\n"
                                "    ISRC ABCDE1234567\r\n"
                                "    INDEX 00 04:15:40\r\n"
                                "    INDEX 01 04:17:52\r\n"
                                "  track 03 audio\r\n"
                                "    title \"\xC3\x9Altima\"\r\n"
                                "    INDEX 01 08:01:74\r\n";

CueSheet parse(const char* text) {
    return CueSheet::Parse(DecodeSheetText(QByteArray(text)));
}

QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

TitledPiece piece(std::int64_t begin, std::int64_t end, const char* title) {
    TitledPiece p{begin, end, {}};
    p.tags.title = QString::fromUtf8(title);
    return p;
}

} // namespace

TEST(CueSheet, IndexTimesLandOnTheirFramesAtEveryRate) {
    // (mm × 60 + ss) × rate + ff × rate / 75, rounded down where 75 does not
    // divide the rate.
    EXPECT_EQ(FramePosition::OfCueFrames((257 * 75) + 52, 44100), 257 * 44100 + 52 * 588);
    EXPECT_EQ(FramePosition::OfCueFrames((257 * 75) + 52, 48000), 257 * 48000 + 52 * 640);
    EXPECT_EQ(FramePosition::OfCueFrames(52, 8000), 5546);
    for (int rate : {8000, 11025, 22050, 44100, 48000, 96000, 192000})
        for (std::int64_t cue = 0; cue < 3 * 75; ++cue)
            ASSERT_EQ(FramePosition::CueFramesOf(FramePosition::OfCueFrames(cue, rate), rate), cue)
                << rate;
}

TEST(CueSheet, ReadsARippedSheetIntoExactPiecesAndTags) {
    const CueSheet sheet = parse(RippedSheet);
    const std::int64_t frames = 10 * 60 * 44100LL;
    const auto pieces =
        sheet.pieces(sheet.fileFor(QStringLiteral("/music/Live In Nowhere.flac")), 44100, frames);
    ASSERT_EQ(pieces.size(), 3u);
    // INDEX 00 does not cut: the pregap stays with the track before.
    EXPECT_EQ(pieces[0].begin, 0);
    EXPECT_EQ(pieces[0].end, 11364276);
    EXPECT_EQ(pieces[1].begin, 11364276);
    EXPECT_EQ(pieces[2].begin, 481 * 44100 + 74 * 588);
    EXPECT_EQ(pieces[2].end, frames);
    EXPECT_EQ(pieces[2].tags.title, QStringLiteral("Última"));

    AudioFileinfo source;
    source.Artist = QStringLiteral("Source Artist");
    source.Album = QStringLiteral("Source Album");
    source.Year = QStringLiteral("2001");
    source.Genre = QStringLiteral("Speech");
    const PieceTags guest = PieceTags::Derive(pieces[1].tags, sheet.disc, source);
    EXPECT_EQ(guest.title, QStringLiteral("Second Song"));
    EXPECT_EQ(guest.artist, QStringLiteral("Guest Singer"));
    EXPECT_EQ(guest.album, QStringLiteral("Live In Nowhere"));
    EXPECT_EQ(guest.date, QStringLiteral("1985"));
    EXPECT_EQ(guest.genre, QStringLiteral("Classic Rock"));
    EXPECT_EQ(guest.track, 2);
    EXPECT_EQ(guest.tracks, 3);
    EXPECT_EQ(PieceTags::Derive(pieces[0].tags, sheet.disc, source).artist,
              QStringLiteral("The Example Band"));
    EXPECT_EQ(guest.fileinfo(source).Artist, QStringLiteral("Guest Singer"));
    // What a library needs besides: the track's ISRC, the disc's comment
    // and catalog number.
    EXPECT_EQ(guest.isrc, QStringLiteral("ABCDE1234567"));
    EXPECT_EQ(guest.comment, QStringLiteral("ripped"));
    EXPECT_EQ(guest.catalog, QStringLiteral("0123456789012"));
    EXPECT_EQ(PieceTags::Derive(pieces[0].tags, sheet.disc, source).isrc, QString());
    // A sheet without its own album, artist, date or genre keeps the source's.
    const PieceTags bare = PieceTags::Derive(pieces[0].tags, {}, source);
    EXPECT_EQ(bare.artist + bare.album + bare.date + bare.genre,
              QStringLiteral("Source ArtistSource Album2001Speech"));
}

TEST(CueSheet, ReadsAWindowsSheet) {
    const CueSheet sheet = parse("TITLE \"Caf\xE9 \x96 Live\"\r\nFILE x.wav WAVE\r\n"
                                 "TRACK 01 AUDIO\r\nTITLE \"It\x92s\"\r\nINDEX 01 00:00:00\r\n");
    EXPECT_EQ(sheet.disc.album, QStringLiteral("Café – Live"));
    EXPECT_EQ(sheet.files[0].tracks[0].tags.title, QStringLiteral("It’s"));
}

TEST(CueSheet, ReadsSheetsInTheEncodingTheyWereSavedIn) {
    // Each sheet encoded by Qt's converters (ICU), read through uchardet and
    // iconv; `found` is the name the reader reports.
    struct Case {
        const char* encoding;
        const char* found;
        const char* performer;
        const char* album;
        std::array<const char*, 3> titles;
    };
    const Case cases[] = {
        {"UTF-8", "UTF-8", "Кино", "Группа крови", {"Война", "Спокойная ночь", "Легенда"}},
        {"UTF-8", "UTF-8", "Band", "Live", {"Café", "Two", "Three"}}, // uchardet: Windows-1250
        {"UTF-8 BOM", "UTF-8", "坂本九", "上を向いて歩こう", {"明日があるさ", "Señorita", "见"}},
        {"UTF-16LE", "UTF-16LE", "Μίκης", "Ζορμπάς", {"Кино", "日本", "Ünïcode 🎵"}},
        {"UTF-16BE", "UTF-16BE", "조용필", "단발머리", {"친구여", "Œuvre", "甜蜜蜜"}},
        {"windows-1251",
         "WINDOWS-1251",
         "Кино",
         "Группа крови",
         {"Группа крови", "Закрой за мной дверь, я ухожу", "Война"}},
        {"windows-1252",
         "WINDOWS-1252",
         "Françoise Hardy",
         "Le temps de l’amour",
         {"Tous les garçons et les filles", "Ça a raté", "Le temps de l’amour"}},
        {"windows-1250",
         "WINDOWS-1250",
         "Český rozhlas",
         "Píseň o řece",
         {"Příliš žluťoučký kůň", "Úpěl ďábelské ódy", "Šťastná cesta"}},
        {"windows-1253",
         "WINDOWS-1253",
         "Μίκης Θεοδωράκης",
         "Ζορμπάς",
         {"Το τραγούδι του Ζορμπά", "Άρνηση", "Στρώσε το στρώμα σου"}},
        {"Shift_JIS",
         "SHIFT_JIS",
         "坂本九",
         "上を向いて歩こう",
         {"上を向いて歩こう", "見上げてごらん夜の星を", "明日があるさ"}},
        {"GBK", "GB18030", "邓丽君", "月亮代表我的心", {"月亮代表我的心", "甜蜜蜜", "我只在乎你"}},
        {"Big5", "BIG5", "鄧麗君", "月亮代表我的心", {"月亮代表我的心", "甜蜜蜜", "我只在乎你"}},
        {"EUC-KR", "UHC", "조용필", "단발머리", {"단발머리", "친구여", "돌아와요 부산항에"}},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding);
        const QString album = QString::fromUtf8(c.album);
        QString text = QStringLiteral("REM GENRE Pop\r\nPERFORMER \"%1\"\r\nTITLE \"%2\"\r\n"
                                      "FILE \"%2.wav\" WAVE\r\n")
                           .arg(QString::fromUtf8(c.performer), album);
        for (int i = 0; i < 3; ++i)
            text += QStringLiteral("  TRACK %1 AUDIO\r\n    TITLE \"%2\"\r\n"
                                   "    INDEX 01 %3:00:00\r\n")
                        .arg(i + 1, 2, 10, QLatin1Char('0'))
                        .arg(QString::fromUtf8(c.titles[static_cast<size_t>(i)]))
                        .arg(i * 3, 2, 10, QLatin1Char('0'));
        const QByteArray name(c.encoding);
        QByteArray bytes;
        if (name.startsWith("UTF-8"))
            bytes =
                (name.endsWith("BOM") ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + text.toUtf8();
        else {
            QStringEncoder encoder =
                name.startsWith("UTF-16")
                    ? QStringEncoder(name.endsWith("LE") ? QStringEncoder::Utf16LE
                                                         : QStringEncoder::Utf16BE,
                                     QStringEncoder::Flag::WriteBom)
                    : QStringEncoder(c.encoding);
            ASSERT_TRUE(encoder.isValid());
            bytes = encoder.encode(text);
            ASSERT_FALSE(encoder.hasError());
        }
        const QString path = dir.filePath(QLatin1String(c.encoding) + QStringLiteral(".cue"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();

        const CueSheet sheet = CueSheet::Read(path);
        EXPECT_EQ(sheet.encoding, QLatin1String(c.found));
        EXPECT_EQ(sheet.disc.artist, QString::fromUtf8(c.performer));
        EXPECT_EQ(sheet.disc.album, album);
        ASSERT_EQ(sheet.files.size(), 1u);
        EXPECT_EQ(sheet.files[0].name, album + QStringLiteral(".wav"));
        ASSERT_EQ(sheet.files[0].tracks.size(), 3u);
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(sheet.files[0].tracks[i].tags.title, QString::fromUtf8(c.titles[i])) << i;
    }

    // An encoding given wins over the one found; one nobody knows is refused.
    const QString cyrillic = dir.filePath(QStringLiteral("windows-1251.cue"));
    EXPECT_EQ(CueSheet::Read(cyrillic, QStringLiteral("KOI8-R")).disc.album,
              QStringLiteral("цПСООЮ ЙПНБХ"));
    EXPECT_EQ(CueSheet::Read(cyrillic, QStringLiteral("windows-1251")).encoding,
              QStringLiteral("windows-1251"));
    EXPECT_TRUE(errorOf([&] {
                    CueSheet::Read(cyrillic, QStringLiteral("NO-SUCH-CODE"));
                }).contains(QLatin1String("NO-SUCH-CODE")));
}

TEST(CueSheet, ValuesRunToTheEndOfTheirLine) {
    const std::pair<const char*, const char*> titles[] = {
        {"TITLE \"Live at \"Wembley\" 1986\"", "Live at \"Wembley\" 1986"},
        {"TITLE Two Words", "Two Words"},
        {"TITLE \t Spaced   Out  ", "Spaced   Out"},
        {"TITLE \"Not closed", "Not closed"},
        {"TITLE \"Quoted\"  ", "Quoted"},
        {"TITLE \"\"", ""},
        {"TITLE \"It's \"OK\"\" junk", "It's \"OK\""},
        {"REM COMMENT \"not closed\n TITLE \"After\"", "After"},
        {"title lower case", "lower case"},
    };
    for (const auto& [line, title] : titles) {
        const std::string text =
            std::string("FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\n") + line + "\nINDEX 01 00:00:00\n";
        const CueSheet sheet = parse(text.c_str());
        EXPECT_EQ(sheet.files[0].tracks[0].tags.title, QString::fromUtf8(title)) << line;
    }
    const std::pair<const char*, const char*> files[] = {
        {"FILE \"My \"Best\" Disc.wav\" WAVE", "My \"Best\" Disc.wav"},
        {"FILE My Disc.wav WAVE", "My Disc.wav"},
        {"FILE \"a b.wav WAVE", "a b.wav"},
        {"FILE single.wav", "single.wav"},
    };
    for (const auto& [line, name] : files) {
        const std::string text = std::string(line) + "\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n";
        EXPECT_EQ(parse(text.c_str()).files[0].name, QString::fromUtf8(name)) << line;
    }
    const CueSheet remarks = parse("REM GENRE Classic Rock\nREM DATE \"1985\"\nPERFORMER The Band\n"
                                   "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    EXPECT_EQ(remarks.disc.genre + '|' + remarks.disc.date + '|' + remarks.disc.artist,
              QStringLiteral("Classic Rock|1985|The Band"));
}

TEST(CueSheet, NumbersNeverPassTheirCountAndEveryPieceKnowsItsDisc) {
    const char* const sheets[] = {
        "REM DISCNUMBER 2\nREM TOTALDISCS 3\nFILE a.wav WAVE\n",
        "REM DISCNUMBER 2/3\nFILE a.wav WAVE\n",
    };
    for (const char* head : sheets) {
        const std::string text =
            std::string(head) +
            "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n"
            "TRACK 09 AUDIO\nINDEX 01 00:02:00\nTRACK 10 AUDIO\nINDEX 01 00:03:00\n";
        const CueSheet sheet = parse(text.c_str());
        const auto pieces = sheet.pieces(0, 44100, 5 * 44100);
        ASSERT_EQ(pieces.size(), 4u) << head;
        for (const TitledPiece& p : pieces) {
            EXPECT_LE(p.tags.track, p.tags.tracks) << head;
            EXPECT_EQ(p.tags.tracks, 10) << head;
            EXPECT_EQ(p.tags.discNumber * 10 + p.tags.discTotal, 23) << head;
        }
        EXPECT_EQ(PieceTags::Derive(pieces[2].tags, sheet.disc, {}).fileinfo({}).Disc,
                  QStringLiteral("2/3"));
        EXPECT_EQ(pieces[2].tags.fileinfo({}).Track, QStringLiteral("9/10"));
    }
}

TEST(CueSheet, AudioBeforeTheFirstTrackGoesAsAskedAndLateTracksAreNamed) {
    // A hidden track named by a TRACK 00 without INDEX 01, a pregap, and a
    // track past the end of a five second source.
    const CueSheet sheet =
        parse("FILE a.wav WAVE\nTRACK 00 AUDIO\nTITLE \"Hidden\"\n"
              "INDEX 00 00:00:00\nTRACK 01 AUDIO\nTITLE One\nINDEX 00 00:01:00\n"
              "INDEX 01 00:02:00\nTRACK 02 AUDIO\nTITLE Late\nINDEX 01 00:09:00\n");
    const std::int64_t frames = 5 * 44100;
    const std::pair<CueSheet::Pregap, std::vector<TitledPiece>> cases[] = {
        {CueSheet::Pregap::First, {piece(0, frames, "One")}},
        {CueSheet::Pregap::Own, {piece(0, 2 * 44100, "Hidden"), piece(2 * 44100, frames, "One")}},
        {CueSheet::Pregap::Drop, {piece(2 * 44100, frames, "One")}},
    };
    for (const auto& [pregap, expected] : cases) {
        QStringList warnings;
        auto pieces = sheet.pieces(0, 44100, frames, pregap, &warnings);
        EXPECT_EQ(pieces.front().tags.track, pieces.size() == 2 ? 0 : 1);
        for (auto& p : pieces)
            p.tags = {p.tags.title, {}, {}, {}, {}, 0, 0, 0, 0};
        EXPECT_EQ(pieces, expected) << static_cast<int>(pregap);
        EXPECT_EQ(warnings, QStringList{QStringLiteral("TRACK 02 \"Late\" begins at 00:09:00, "
                                                       "after the end of the audio; left out")});
    }
}

TEST(CueSheet, MatchesEachFileOfASheetToItsSource) {
    const CueSheet sheet = parse("FILE \"Disc 1.flac\" WAVE\n"
                                 "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                 "  TRACK 02 AUDIO\n    INDEX 01 02:00:00\n"
                                 "  TRACK 03 AUDIO\n    INDEX 00 03:00:00\n"
                                 "FILE \"C:\\Rips\\Disc 2.wav\" WAVE\n"
                                 "    INDEX 01 00:00:00\n"
                                 "  TRACK 04 MODE1/2352\n    INDEX 01 01:00:00\n");
    EXPECT_EQ(sheet.fileFor(QStringLiteral("/a/disc 1.FLAC")), 0);
    EXPECT_EQ(sheet.fileFor(QStringLiteral("/b/Disc 2.flac")), 1);
    EXPECT_EQ(sheet.fileFor(QStringLiteral("/c/Other.flac")), -1);
    const auto first = sheet.pieces(0, 48000, 200 * 48000);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[1].begin, 120 * 48000);
    EXPECT_EQ(first[1].end, 200 * 48000);
    // Track 3 starts in the second file where its INDEX 01 stands; the data
    // track is no piece.
    const auto second = sheet.pieces(1, 48000, 90 * 48000);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].tags.track, 3);
    EXPECT_EQ(second[0].tags.tracks, 3);
    EXPECT_EQ(second[0].end, 90 * 48000);
}

TEST(CueSheet, NamesTheLineOfABrokenSheet) {
    const std::pair<const char*, const char*> cases[] = {
        {"FILE a.wav WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:61:00\n", "line 3"},
        {"FILE a.wav WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:75\n", "line 3"},
        {"REM x\nTRACK 01 AUDIO\n", "line 2"},
        {"FILE a.wav WAVE\nTRACK 01 AUDIO\nTITLE x\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n", "line 2"},
        {"FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 01:00:00\nTRACK 02 AUDIO\nINDEX 01 00:59:00\n",
         "line 5"},
        {"REM only a remark\n", "no audio track"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_TRUE(errorOf([&] { parse(text); }).contains(QLatin1String(expected)))
            << text << " gave " << errorOf([&] { parse(text); }).toStdString();
}

TEST(CueSheet, WritesPiecesThatReadBackAsTheSameSegments) {
    const std::int64_t frames = 30 * 44100 + 17;
    // Pieces with a gap, one not on a cue frame, and a last piece that
    // stops short of the end.
    std::vector<TitledPiece> pieces{piece(1000, 5 * 44100, "Say \"hi\""),
                                    piece(5 * 44100, 12 * 44100, "Two"),
                                    piece(14 * 44100, 29 * 44100, "")};
    PieceTags disc;
    disc.album = QStringLiteral("An Album");
    disc.artist = QStringLiteral("A Band");
    disc.genre = QStringLiteral("Jazz Rock");
    disc.catalog = QStringLiteral("0123456789012");
    disc.comment = QStringLiteral("From the desk");
    pieces[1].tags.composer = QStringLiteral("Someone Else");
    pieces[1].tags.isrc = QStringLiteral("ABCDE1234567");
    const CueSheet written =
        CueSheet::Of(QStringLiteral("/m/take.ogg"), disc, pieces, 44100, frames);
    const CueSheet read = CueSheet::Parse(written.text());
    EXPECT_EQ(read.text(), written.text());
    // The audio before the first piece is a pregap to the reader: left out
    // on request, it reads back as it was written.
    const int file = read.fileFor(QStringLiteral("/m/take.ogg"));
    EXPECT_EQ(read.pieces(file, 44100, frames).front().begin, 0);
    const auto back = read.pieces(file, 44100, frames, CueSheet::Pregap::Drop);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].begin, 2 * 588); // the nearest cue frame
    EXPECT_EQ(back[0].tags.title, QStringLiteral("Say 'hi'"));
    EXPECT_EQ(back[1].tags.composer + back[1].tags.isrc,
              QStringLiteral("Someone ElseABCDE1234567"));
    EXPECT_EQ(read.disc.catalog + read.disc.comment, QStringLiteral("0123456789012From the desk"));
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back[i].end, pieces[i].end) << i;
        if (i > 0) {
            EXPECT_EQ(back[i].begin, pieces[i].begin) << i;
        }
    }
    EXPECT_EQ(CueSheet::Of(QStringLiteral("/m/take.ogg"), read.disc, back, 44100, frames).text(),
              written.text());
}

TEST(LabelFile, ReadsPointsAndRegionsAtTheirNearestFrames) {
    const std::int64_t frames = 60 * 44100;
    const auto points =
        LabelFile::Parse(QStringLiteral("12.345678\t12.345678\tVerse\r\n\\\t1000.0\t2000.0\r\n"
                                        "0.000000\t0.000000\tIntro\r\n30\t30\tOutro\r\n"),
                         44100, frames);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0], piece(0, 544444, "Intro"));
    EXPECT_EQ(points[1], piece(544444, 30 * 44100, "Verse"));
    EXPECT_EQ(points[2], piece(30 * 44100, frames, "Outro"));

    // A point cuts the region it lies in; one in a gap starts a piece there
    // that runs to the next label, or the end.
    const auto regions =
        LabelFile::Parse(QStringLiteral("1.5\t4.25\tA\n2\t2\tB\n9\t9\tAfter\n0.5\t0.5\tBefore\n"
                                        "4.25\t4.25\tAt end\n5\t5\tGap\n6\t8\tC\n"),
                         44100, frames);
    ASSERT_EQ(regions.size(), 7u);
    EXPECT_EQ(regions[0], piece(22050, 66150, "Before"));
    EXPECT_EQ(regions[1], piece(66150, 88200, "A"));
    EXPECT_EQ(regions[2], piece(88200, 187425, "B"));
    EXPECT_EQ(regions[3], piece(187425, 5 * 44100, "At end"));
    EXPECT_EQ(regions[4], piece(5 * 44100, 6 * 44100, "Gap"));
    EXPECT_EQ(regions[5], piece(6 * 44100, 8 * 44100, "C"));
    EXPECT_EQ(regions[6], piece(9 * 44100, frames, "After"));

    // Spaces for tabs and a decimal comma, as some tools and locales write.
    EXPECT_EQ(LabelFile::Parse(QStringLiteral("1.5  4,25 A b\n"), 44100, frames),
              (std::vector<TitledPiece>{piece(66150, 187425, "A b")}));

    for (const char* broken : {"1.5 x A\n", "1;5\t2\tx\n", "0\t0\tok\n3\t2\tbackwards\n"})
        EXPECT_TRUE(errorOf([&] {
                        LabelFile::Parse(QString::fromLatin1(broken), 44100, frames);
                    }).startsWith(QLatin1String("Label file line")))
            << broken;
}

TEST(LabelFile, WrittenLabelsReadBackOnTheSameFrames) {
    for (int rate : {8000, 44100, 48000, 192000}) {
        const std::int64_t frames = 100LL * rate;
        std::vector<TitledPiece> pieces{piece(1, rate - 1, "first\tpart"),
                                        piece(rate + 7, 33LL * rate + rate / 3, "Ünïcode"),
                                        piece(50LL * rate - 1, frames, "")};
        auto back = LabelFile::Parse(LabelFile::Text(pieces, rate), rate, frames);
        pieces[0].tags.title = QStringLiteral("first part");
        EXPECT_EQ(back, pieces) << rate;
    }
    EXPECT_EQ(LabelFile::Seconds(1, 44100), QStringLiteral("0.000023"));
    EXPECT_EQ(LabelFile::Seconds(44100LL * 3600 + 22050, 44100), QStringLiteral("3600.500000"));
}

// Ten thousand labels: 5,000 untitled regions of 20 ms, each cut in two by a
// titled point, become 10,000 pieces that follow on each other, and each is
// given its own name, the numbered ones going on past a name already taken.
TEST(LabelFile, TenThousandLabelsArePlannedAndNamedInOrder) {
    constexpr int Regions = 5000;
    constexpr std::int64_t Step = 882; // 20 ms at 44100 Hz
    QString text;
    for (int i = 0; i < Regions; ++i)
        text += QStringLiteral("%1\t%2\t\n")
                    .arg(LabelFile::Seconds(i * Step, 44100),
                         LabelFile::Seconds((i + 1) * Step, 44100));
    for (int i = Regions - 1; i >= 0; --i) {
        const QString at = LabelFile::Seconds(i * Step + Step / 2, 44100);
        text += QStringLiteral("%1\t%1\tp%2\n").arg(at).arg(i);
    }
    const auto pieces = LabelFile::Parse(text, 44100, Regions * Step + 1000);
    ASSERT_EQ(pieces.size(), 2u * Regions);
    for (size_t k = 0; k < pieces.size(); ++k) {
        const std::int64_t begin = static_cast<std::int64_t>(k / 2) * Step + (k % 2) * Step / 2;
        ASSERT_EQ(pieces[k], piece(begin, begin + Step / 2,
                                   k % 2 ? qPrintable(QStringLiteral("p%1").arg(k / 2)) : ""))
            << k;
    }

    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    QFile taken(folder + QStringLiteral("song_2.wav"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    GivenNames given;
    QStringList names;
    for (size_t k = 0; k < pieces.size(); ++k) {
        const bool titled = !pieces[k].tags.title.isEmpty();
        PieceTags tags = pieces[k].tags;
        tags.track = static_cast<int>(k) + 1;
        names << OutputNames::PieceOutput(folder, QStringLiteral("song"), QStringLiteral(".wav"),
                                          true, QString(), titled, static_cast<int>(k), tags, 0,
                                          given);
        given.insert(names.back());
    }
    EXPECT_EQ(names.mid(0, 4), QStringList({folder + "song_1.wav", folder + "02 - p0.wav",
                                            folder + "song_3.wav", folder + "04 - p1.wav"}));
    EXPECT_EQ(names.last(), folder + QStringLiteral("10000 - p%1.wav").arg(Regions - 1));
    EXPECT_EQ(names[names.size() - 2], folder + QStringLiteral("song_%1.wav").arg(Regions + 1));
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size());
}

TEST(SegmentFiles, ExportedFilesImportUnchangedAndAForeignSheetIsRefused) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("show.flac"));
    const std::int64_t frames = 20 * 48000;
    const std::vector<TitledPiece> pieces{piece(0, 3 * 48000, "A"), piece(5 * 48000, frames, "B")};
    for (const char* name : {"show.cue", "show.txt"}) {
        const QString path = dir.filePath(QLatin1String(name));
        SegmentFiles::Export(path, source, pieces, {}, 48000, frames);
        auto back = SegmentFiles::Import(path, source, 48000, frames);
        for (auto& p : back)
            p.tags = {QString(p.tags.title), {}, {}, {}, {}, 0, 0};
        EXPECT_EQ(back, pieces) << name;
    }
    QFile other(dir.filePath(QStringLiteral("other.cue")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                "FILE \"b.wav\" WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n");
    other.close();
    EXPECT_TRUE(errorOf([&] {
                    SegmentFiles::Import(other.fileName(), source, 48000, frames);
                }).contains(QLatin1String("has no FILE for show.flac")));
}

TEST(SegmentFiles, ReadsTheChaptersEveryContainerStores) {
    ForEachCorpusFile(ChapterFiles::Shared().files(), [](const ChapterFiles::File& file) {
        const std::int64_t frames = 5LL * file.rate;
        const auto pieces = SegmentFiles::Chapters(file.path, file.rate, frames);
        ASSERT_EQ(pieces.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            const TitledPiece& p = pieces[static_cast<size_t>(i)];
            EXPECT_EQ(p.begin, ChapterFiles::StartFrame(i, file.rate)) << i;
            EXPECT_EQ(p.end, i < 2 ? ChapterFiles::StartFrame(i + 1, file.rate) : frames) << i;
            EXPECT_EQ(p.tags.title, file.titled ? ChapterFiles::Titles[i] : QString()) << i;
            EXPECT_EQ(p.tags.track * 10 + p.tags.tracks, (i + 1) * 10 + 3);
        }
        // MP4 chapters are read from the file's boxes, not through
        // libavformat, to the very list libavformat gives.
        if (file.mp4) {
            const auto own = Mp4Chapters::Read(file.path, file.rate);
            ASSERT_TRUE(own.has_value());
            const auto libav = SourceChapters::ReadWithLibav(file.path, file.rate);
            EXPECT_EQ(SourceChapters::Read(file.path, file.rate), libav);
            EXPECT_EQ(*own, libav);
            EXPECT_EQ(SourceChapters::Read(file.path, 48000),
                      SourceChapters::ReadWithLibav(file.path, 48000));
        }
    });
}

// A CD image's own sheet, however it is stored, cuts at each track's INDEX
// 01 (also when asked for the file's chapters, which libavformat would
// start at INDEX 00 and title with the ISRC codes), titled from its text
// where it has one, with the codes of its block.
TEST(EmbeddedCueSheet, EveryImageOffersItsSheetCutAtIndex01) {
    using Images = CdImages;
    ForEachCorpusFile(Images::Shared().files(), [](const Images::File& file) {
        const SegmentFiles::Imported imported = SegmentFiles::ImportEmbedded(
            file.path, Images::Rate, Images::Frames, CueSheet::Pregap::Own);
        const auto& pieces = imported.pieces;
        ASSERT_EQ(pieces.size(), 4u);
        EXPECT_EQ(pieces[0].begin, 0);
        EXPECT_EQ(pieces[0].end, Images::Index01[0]);
        EXPECT_EQ(pieces[0].tags.title, QStringLiteral("Pregap"));
        for (int i = 0; i < 3; ++i) {
            const TitledPiece& p = pieces[static_cast<size_t>(i) + 1];
            EXPECT_EQ(p.begin, Images::Index01[i]) << i;
            EXPECT_EQ(p.end, i < 2 ? Images::Index01[i + 1] : Images::Frames) << i;
            EXPECT_EQ(p.tags.track * 10 + p.tags.tracks, (i + 1) * 10 + 3) << i;
            EXPECT_EQ(p.tags.title, file.titled ? Images::Titles[i] : QString()) << i;
            EXPECT_EQ(p.tags.isrc, Images::Isrc[i]) << i;
        }
        EXPECT_EQ(imported.disc.catalog, QStringLiteral("0123456789012"));
        if (file.titled) {
            EXPECT_EQ(pieces[1].tags.composer, QStringLiteral("First Writer"));
            EXPECT_EQ(imported.disc.composer + imported.disc.comment + imported.disc.album,
                      QStringLiteral("Disc Writerripped in the suiteBubbles"));
        }
        const auto chapters = SegmentFiles::Chapters(file.path, Images::Rate, Images::Frames);
        ASSERT_EQ(chapters.size(), 3u);
        EXPECT_EQ(chapters[1].begin, Images::Index01[1]);
        EXPECT_EQ(chapters[1].tags.title, file.titled ? Images::Titles[1] : QString());
    });
    const QString none = RealRecording();
    EXPECT_FALSE(SegmentFiles::HasEmbeddedSheet(none));
    EXPECT_TRUE(errorOf([&] {
                    SegmentFiles::ImportEmbedded(none, 44100, 44100, CueSheet::Pregap::First);
                }).contains(QLatin1String("carries no cue sheet")));
}

TEST(OutputNames, PieceNamesFollowTheTemplateCleanedAndNeverTaken) {
    PieceTags tags;
    tags.title = QStringLiteral("A/B: C?");
    tags.artist = QStringLiteral("Band");
    tags.album = QStringLiteral(".Hidden");
    const QString caption = OutputNames::SourceName(QStringLiteral("show.part.ogg"),
                                                    QStringLiteral("/music/show.part.ogg"));
    EXPECT_EQ(OutputNames::PieceStem(OutputNames::DefaultPattern(), 3, tags, caption, 0),
              QStringLiteral("03 - AB C"));
    tags.title = QStringLiteral("Dos / Two");
    EXPECT_EQ(OutputNames::PieceStem(OutputNames::DefaultPattern(), 2, tags, caption, 0),
              QStringLiteral("02 - Dos Two"));
    EXPECT_EQ(OutputNames::PieceStem(QStringLiteral("{source} {n} {artist}-{album} [{begin}] {x}"),
                                     12, tags, caption, 257690),
              QStringLiteral("show 12 Band-Hidden [00-04-17.69] {x}"));
    EXPECT_EQ(OutputNames::PieceStem(QStringLiteral("{n:3}"), 7, tags, caption, 0),
              QStringLiteral("007"));
    EXPECT_EQ(OutputNames::PieceStem(QStringLiteral("{title}"), 1, {}, caption, 0),
              QStringLiteral("untitled"));
    EXPECT_EQ(OutputNames::PieceStem(QStringLiteral("{artist} - {album} {n}"), 4, {}, caption, 0),
              QStringLiteral("4"));
    // Folders: a value never adds one nor climbs out, an empty one is left out.
    tags.artist = QStringLiteral("../..");
    tags.album = QString();
    EXPECT_EQ(OutputNames::PieceStem(QStringLiteral("{artist}/{album}/{n:02} {title}"), 1, tags,
                                     caption, 0),
              QStringLiteral("01 Dos Two"));
    tags.artist = QStringLiteral("AC/DC");
    EXPECT_EQ(OutputNames::PieceStem(QStringLiteral("{artist}/Live/{n}"), 1, tags, caption, 0),
              QStringLiteral("ACDC/Live/1"));
    for (const char* bad : {"{unknown}", "{title", "{n:99999999999}", "a}b", "/abs/{n}",
                            "{artist}/../{n}", "a//{n}", "{artist}/", "./{n}"})
        EXPECT_FALSE(OutputNames::PatternFault(QString::fromUtf8(bad)).isEmpty()) << bad;
    for (const char* good : {"", "{artist}/{album}/{n:02} {title}", "{n:02} - {title}", "({n})"})
        EXPECT_EQ(OutputNames::PatternFault(QString::fromUtf8(good)), QString()) << good;
    EXPECT_TRUE(OutputNames::PatternFault(QStringLiteral("{n:99999999999}"))
                    .startsWith(QStringLiteral("{n:99999999999} is not a field")));

    QTemporaryDir dir;
    QFile taken(dir.filePath(QStringLiteral("01 - One.flac")));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    const QString planned = dir.filePath(QStringLiteral("01 - One_1.flac"));
    EXPECT_EQ(OutputNames::NamedOutput(dir.path(), QStringLiteral("01 - One"),
                                       QStringLiteral(".flac"), {planned}),
              dir.filePath(QStringLiteral("01 - One_2.flac")));
    EXPECT_EQ(OutputNames::NamedOutput(dir.path(), QStringLiteral("Band/../../01"),
                                       QStringLiteral(".flac")),
              dir.filePath(QStringLiteral("Band/01.flac")));
}
