// A user's whole road through the real main window, clicking its skin: add
// two files, mark a piece on the first, split, then join.
#include "app/Tfm_main.h"
#include "app/skin/Skin.h"
#include "core/ReportListModel.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/OggFixture.h"
#include "tests/support/ScriptedDesktop.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class EndToEndTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedDesktop desktop;
    std::unique_ptr<Tfm_main> main;
    QString out;

    void SetUp() override {
        out = dir.filePath("out") + "/";
        QDir().mkpath(out);
        QFile ini(dir.filePath("Velmora.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(("[Output]\nDir=" + out + "\n").toUtf8());
        ini.close();
        main = std::make_unique<Tfm_main>(desktop, dir.filePath("Velmora.ini"));
        main->show();
        QCoreApplication::processEvents();
    }

    void click(const char* name) {
        SkinObject* object = main->Skin1->FindObject(name);
        ASSERT_FALSE(object->isDetached()) << name;
        QTest::mouseClick(main->Skin1, Qt::LeftButton, {}, object->currentRect().center());
    }
    // Drags the slider's thumb to `seconds` of a file `duration` long.
    void slideTo(int seconds, int duration) {
        SkinObject* pb = main->Skin1->FindObject("pb");
        const int usable = pb->GetMax() - pb->GetThumbSize();
        pb->SetPosition(usable * seconds / duration);
        // Place it exactly, whatever the pixel rounding of a drag would give.
        while (pb->GetPosition() * duration / usable < seconds)
            pb->SetPosition(pb->GetPosition() + 1);
    }
    QString text(const char* name) { return main->Skin1->FindObject(name)->text(); }
};

TEST_F(EndToEndTest, AddMarkSplitAndJoin) {
    const QString first =
        OggFixture{44100, 2, 6.0, 440.0, 0.5f, {"TITLE=First: Song"}}.write(dir.filePath("a.ogg"));
    const QString second = OggFixture{44100, 2, 4.0, 880.0}.write(dir.filePath("b.ogg"));
    desktop.openFilesAnswers.push_back({first, second});

    click("addfile");
    ASSERT_EQ(main->lvModel().count(), 2);
    EXPECT_EQ(main->lvModel().text(0, 0), "First Song");
    EXPECT_EQ(main->lvModel().text(1, 0), "b.ogg");
    EXPECT_FALSE(main->sm->isVisible());
    EXPECT_EQ(text("tataltime"), "00:00:10");
    EXPECT_TRUE(desktop.informations.isEmpty()) << desktop.informations.join("; ").toStdString();

    // Seconds 2 to 5 of the first file become a piece.
    slideTo(2, 6);
    click("Begin");
    slideTo(5, 6);
    click("End");
    click("Ok");
    ASSERT_EQ(main->lvTimeModel().count(), 2);
    EXPECT_EQ(main->lvTimeModel().text(0, 0), "00:00:02 - 00:00:05");
    EXPECT_EQ(main->lvTimeModel().text(0, 2), "Ok");
    EXPECT_EQ(text("tataltime"), "00:00:07");

    main->cb_format->setCurrentIndex(1); // WAV
    click("Split");
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
    EXPECT_EQ(text("pbpos"), "") << "the run display is cleared at the end";

    desktop.saveAnswers.push_back({dir.filePath("joined"), 2});
    click("Join");
    EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("; ").toStdString();
    const DecodedAudio joined = decodeWithFfmpeg(dir.filePath("joined.wav"));
    EXPECT_NEAR(joined.seconds(), 7.0, 0.05);
    EXPECT_FALSE(main->state().Busy);
}

} // namespace
