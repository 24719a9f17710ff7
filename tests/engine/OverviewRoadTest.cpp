// The typical job from start to finish through the real main window: two
// files added through the open dialog, pieces marked from slider positions,
// a custom split to MP3 with both fades on, then the outputs checked by
// outside readers: TagLib for the ID3v2 tags, FFmpeg for length and fades.
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/OggFixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>

#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <gtest/gtest.h>

namespace {

constexpr double Full = 0.5 / 1.41421356; // rms of the sources' 0.5 sine

class OverviewRoadTest : public MainWindowFixture {
protected:
    QString out;

    void SetUp() override {
        out = makeOutputFolder();
        // One-second fades, as a user would set them in the settings dialog.
        writeSettings(("[Function]\nChoice=0\n[Output]\nDir=" + out +
                       "\n[Fade]\nIn=1\nOut=1\nIntime=1\nOuttime=1\n")
                          .toUtf8());
        MainWindowFixture::SetUp();
    }

    void mark(int begin, int end, int duration) {
        slideTo(begin, duration);
        click("Begin");
        slideTo(end, duration);
        click("End");
        click("Ok");
    }
    static double window(const DecodedAudio& a, double from, double to) {
        const std::vector<float> left = a.channel(0);
        return rms(left, static_cast<size_t>(from * a.rate), static_cast<size_t>(to * a.rate));
    }
};

TEST_F(OverviewRoadTest, MarkedPiecesBecomeTaggedMp3FilesWithFades) {
    const QString first =
        OggFixture{
            44100,
            2,
            8.0,
            440.0,
            0.5f,
            {"TITLE=Road: Song", "ARTIST=Ana Field", "ALBUM=Walks", "GENRE=Folk", "DATE=2001-06-01"}}
            .write(dir.filePath("first.ogg"));
    const QString second =
        OggFixture{44100, 2, 6.0, 880.0, 0.5f, {"TITLE=Second"}}.write(dir.filePath("second.ogg"));
    addFiles({first, second});
    ASSERT_EQ(lv().count(), 2);
    ASSERT_TRUE(desktop.informations.isEmpty()) << desktop.informations.join("; ").toStdString();

    mark(1, 5, 8);
    selectFile(1);
    mark(2, 5, 6);
    ASSERT_EQ(lvTime().text(0, 0), "00:00:02 - 00:00:05");
    EXPECT_EQ(total(), "00:00:07");

    main->cb_format->setCurrentIndex(0); // MP3
    click("Split");
    ASSERT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("; ").toStdString();
    EXPECT_FALSE(main->state().Busy);
    EXPECT_EQ(status(0), "Finish");
    ASSERT_EQ(desktop.openedUrls.size(), 1u);
    EXPECT_EQ(desktop.openedUrls[0], QUrl::fromLocalFile(out));
    EXPECT_EQ(QDir(out).entryList(QDir::Files, QDir::Name),
              QStringList({"Road Song.mp3", "Second.mp3"}));

    // Tags as an outside reader sees them: ID3v2.3 with the source's comments,
    // the title as written (only the file name is cleaned) and the date's year.
    {
        TagLib::MPEG::File mp3(QFile::encodeName(out + "Road Song.mp3").constData());
        ASSERT_TRUE(mp3.isValid());
        ASSERT_TRUE(mp3.hasID3v2Tag());
        TagLib::ID3v2::Tag* tag = mp3.ID3v2Tag();
        EXPECT_EQ(tag->header()->majorVersion(), 3u);
        EXPECT_EQ(tag->title().to8Bit(true), "Road: Song");
        EXPECT_EQ(tag->year(), 2001u);
        EXPECT_EQ(tag->artist().to8Bit(true), "Ana Field");
        EXPECT_EQ(tag->album().to8Bit(true), "Walks");
        EXPECT_EQ(tag->genre().to8Bit(true), "Folk");
    }
    {
        TagLib::MPEG::File mp3(QFile::encodeName(out + "Second.mp3").constData());
        ASSERT_TRUE(mp3.hasID3v2Tag());
        EXPECT_EQ(mp3.ID3v2Tag()->title().to8Bit(true), "Second");
        EXPECT_EQ(mp3.ID3v2Tag()->artist().to8Bit(true), "");
    }

    // Lengths and content as FFmpeg decodes them.
    const DecodedAudio road = decodeWithFfmpeg(out + "Road Song.mp3");
    EXPECT_EQ(road.container, "mp3");
    EXPECT_NEAR(road.seconds(), 4.0, 0.06);
    EXPECT_NEAR(dominantFrequency(road.channel(0), road.rate), 440.0, 5.0);
    const DecodedAudio other = decodeWithFfmpeg(out + "Second.mp3");
    EXPECT_NEAR(other.seconds(), 3.0, 0.06);
    EXPECT_NEAR(dominantFrequency(other.channel(0), other.rate), 880.0, 8.0);

    // One-second ramps at both ends, full level between them.
    for (const DecodedAudio* piece : {&road, &other}) {
        const double end = piece->seconds();
        EXPECT_LT(window(*piece, 0.0, 0.1), 0.15 * Full);
        EXPECT_NEAR(window(*piece, 0.45, 0.55), 0.5 * Full, 0.12 * Full);
        EXPECT_GT(window(*piece, 0.8, 0.9), window(*piece, 0.45, 0.55));
        EXPECT_NEAR(window(*piece, 1.2, end - 1.2), Full, 0.05 * Full);
        EXPECT_NEAR(window(*piece, end - 0.55, end - 0.45), 0.5 * Full, 0.12 * Full);
        EXPECT_LT(window(*piece, end - 0.1, end), 0.15 * Full);
    }
}

} // namespace
