// A user's whole road through the real main window, clicking its skin: add
// two files, mark a piece on the first, split, then join.
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/OggFixture.h"

#include <QComboBox>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace {

class EndToEndTest : public MainWindowFixture {
protected:
    QString out;

    void SetUp() override {
        out = makeOutputFolder();
        writeSettings(("[Output]\nDir=" + out + "\n").toUtf8());
        MainWindowFixture::SetUp();
    }
};

TEST_F(EndToEndTest, AddMarkSplitAndJoin) {
    const QString first =
        OggFixture{44100, 2, 6.0, 440.0, 0.5f, {"TITLE=First: Song"}}.write(dir.filePath("a.ogg"));
    const QString second = OggFixture{44100, 2, 4.0, 880.0}.write(dir.filePath("b.ogg"));
    desktop.openFilesAnswers.push_back({first, second});
    mouseClick("addfile");
    ASSERT_EQ(lv().count(), 2);
    EXPECT_EQ(lv().text(0, 0), "First Song");
    EXPECT_EQ(lv().text(1, 0), "b.ogg");
    EXPECT_FALSE(main->sm->isVisible());
    EXPECT_EQ(skinText("tataltime"), "00:00:10");
    EXPECT_TRUE(desktop.informations.isEmpty()) << desktop.informations.join("; ").toStdString();

    // Seconds 2 to 5 of the first file become a piece.
    slideTo(2, 6);
    mouseClick("Begin");
    slideTo(5, 6);
    mouseClick("End");
    mouseClick("Ok");
    ASSERT_EQ(lvTime().count(), 2);
    EXPECT_EQ(lvTime().text(0, 0), "00:00:02 - 00:00:05");
    EXPECT_EQ(status(0), "Ok");
    EXPECT_EQ(skinText("tataltime"), "00:00:07");

    main->cb_format->setCurrentIndex(1); // WAV
    mouseClick("Split");
    EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("; ").toStdString();
    EXPECT_FALSE(main->state().Busy);
    ASSERT_FALSE(desktop.openedUrls.empty());
    EXPECT_EQ(desktop.openedUrls.back(), QUrl::fromLocalFile(out));
    const DecodedAudio piece = decodeWithFfmpeg(out + "First Song.wav");
    EXPECT_NEAR(piece.seconds(), 3.0, 0.01);
    EXPECT_NEAR(dominantFrequency(piece.channel(0), piece.rate), 440.0, 5.0);
    const DecodedAudio whole = decodeWithFfmpeg(out + "b.wav");
    EXPECT_NEAR(whole.seconds(), 4.0, 0.01);
    EXPECT_NEAR(dominantFrequency(whole.channel(0), whole.rate), 880.0, 5.0);
    EXPECT_EQ(skinText("pbpos"), "") << "the run display is cleared at the end";

    desktop.saveAnswers.push_back({dir.filePath("joined"), 2});
    mouseClick("Join");
    EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("; ").toStdString();
    const DecodedAudio joined = decodeWithFfmpeg(dir.filePath("joined.wav"));
    EXPECT_NEAR(joined.seconds(), 7.0, 0.05);
    EXPECT_FALSE(main->state().Busy);
}

} // namespace
