// The waveform along the preview slider in the real main window: computed
// when files are added, placed by the skin, shaded with the pieces, and the
// marks snapping to silences. With TARNWELL_SCREENSHOT_DIR set it also saves
// the window as waveform.png there (the picture in the README and the guide).
#include "app/WaveformPanel.h"
#include "app/WaveformView.h"
#include "app/skin/Skin.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/OggFixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString DefaultSkin = QStringLiteral(TARNWELL_BIN_DIR "/mp3enc.dll");

class WaveformWindowTest : public MainWindowFixture {
protected:
    const WaveformScene& scene() { return main->waveform().view()->scene(); }
    // Speech-like: tone with quiet stretches at 3.5-5.5 s and 8.5-10.5 s.
    QString speech(const QString& name) {
        OggFixture f = OggFixture::NoiseAndSweep(12.0);
        f.quiet = {{3.5, 5.5}, {8.5, 10.5}};
        return f.write(dir.filePath(name));
    }
};

TEST_F(WaveformWindowTest, AddedFilesGetAWaveformWithSegmentsSilencesAndSnappingMarks) {
    desktop.openFilesAnswers.push_back({speech("talk.ogg"), speech("more.ogg")});
    mouseClick("addfile");
    ASSERT_EQ(lv().count(), 2);
    WaveformView* view = main->waveform().view();
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(view->geometry(), main->Skin1->FindObject("wave")->currentRect());
    ASSERT_TRUE(QTest::qWaitFor([&] { return scene().overview != nullptr; }, 60000));
    ASSERT_EQ(scene().silences.size(), 2u);
    EXPECT_NEAR(scene().silences[0].from, 3.5 / 12, 0.01);

    // Begin and End snap to the silence edges, as whole seconds inside them.
    main->state().SnapMarks = true;
    slideTo(6, 12);
    mouseClick("Begin");
    slideTo(7.5, 12);
    mouseClick("End");
    EXPECT_EQ(lvTime().text(0, 0), "00:00:05 - 00:00:09");
    mouseClick("Ok");
    main->waveform().refresh();
    ASSERT_FALSE(scene().spans.empty());
    EXPECT_NEAR(scene().spans[0].from, 5.0 / 12, 0.01);
    EXPECT_NEAR(scene().spans[0].to, 9.0 / 12, 0.01);
    slideTo(3, 12);
    main->waveform().refresh();
    EXPECT_NEAR(scene().position, 0.25, 0.01);

    if (const QString shots = qEnvironmentVariable("TARNWELL_SCREENSHOT_DIR"); !shots.isEmpty()) {
        EXPECT_TRUE(main->grab().save(QDir(shots).filePath("waveform.png")));
    }

    // "Split at silences" lists the sound between them.
    main->state().FunctionChoice = FunctionSplitAtSilences;
    main->state().SilenceMinimumPiece = 1;
    main->lvClick();
    ASSERT_EQ(lvTime().count(), 3);
    // The cut lies in the middle of the silence, to the hundredth.
    EXPECT_EQ(lvTime().text(0, 0), "00:00:00 - 00:00:04.50");

    // Clearing the list calls every computation off at once.
    main->waveform().builder().request(speech("late.ogg"));
    mouseClick("Clear");
    QCoreApplication::processEvents();
    EXPECT_EQ(main->waveform().builder().pendingCount(), 0);
}

TEST_F(WaveformWindowTest, ASkinWithoutThePlaceDrawsNoWaveform) {
    QFile source(DefaultSkin);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray svg = source.readAll();
    const qsizetype at = svg.indexOf("<rect id=\"wave\"");
    ASSERT_GE(at, 0);
    svg.remove(at, svg.indexOf("/>", at) + 2 - at);
    const QString skin = dir.filePath("plain.dll");
    QFile plain(skin);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write(svg);
    plain.close();

    open(skin);
    desktop.openFilesAnswers.push_back({speech("talk.ogg")});
    mouseClick("addfile");
    EXPECT_FALSE(main->waveform().view()->isVisible());
    // The slider works as before.
    slideTo(6, 12);
    mouseClick("Begin");
    EXPECT_EQ(lvTime().text(0, 0), "00:00:06 - 00:00:12");
}

} // namespace
