// The preview player, on SDL's dummy driver (set by the test harness) and on
// the silent stand-in: positions advance with time, Flush restarts them, and
// the end of the queued audio is reported.
#include "engine/audio/AudioPlayer2.h"
#include "engine/audio/ChannelOrder.h"
#include "platform/Error.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Generous: the suite also runs on a busy machine.
constexpr int Deadline = 30000;

SampleArray silence(int frames, int channels = 2) {
    SampleArray a;
    a.channels = channels;
    a.samples.assign(static_cast<size_t>(frames) * channels, 0.0f);
    return a;
}

// Waits until `spy` has seen `count` more signals than it holds now.
bool waitForMore(const QSignalSpy& spy, qsizetype count) {
    const qsizetype target = spy.count() + count;
    return QTest::qWaitFor([&] { return spy.count() >= target; }, Deadline);
}

// Third argument of every OnTimer so far.
std::vector<int> playedCounts(const QSignalSpy& spy) {
    std::vector<int> counts;
    for (const QList<QVariant>& args : spy)
        counts.push_back(args.at(2).toInt());
    return counts;
}

void playAndCheckProgress(AudioPlayer2& player) {
    QSignalSpy timer(&player, &AudioPlayer2::OnTimer);
    QSignalSpy end(&player, &AudioPlayer2::OnEndPlay);
    player.OpenPlayer(44100, 2);
    player.Play();
    player.PlayArray(silence(44100 / 2));
    ASSERT_TRUE(end.wait(Deadline));
    const std::vector<int> counts = playedCounts(timer);
    ASSERT_GE(counts.size(), 2u);
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
    EXPECT_GT(counts.back(), counts.front());
    EXPECT_LE(counts.back(), 44100 / 2);
    EXPECT_EQ(end.count(), 1);
}

TEST(AudioPlayerTest, PlayedFramesGrowUntilTheEndIsReported) {
    AudioPlayer2 player;
    QElapsedTimer clock;
    clock.start();
    playAndCheckProgress(player);
    EXPECT_FALSE(player.UsesSilentOutput());
    // Half a second of audio takes about half a second.
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_EQ(player.PlayedFrames(), 44100 / 2);
}

TEST(AudioPlayerTest, SilentOutputKeepsTimeWithoutADevice) {
    qputenv("SDL_AUDIODRIVER", "no-such-driver");
    AudioPlayer2 player;
    player.OpenPlayer(44100, 2);
    qputenv("SDL_AUDIODRIVER", "dummy");
    EXPECT_TRUE(player.UsesSilentOutput());
    QElapsedTimer clock;
    clock.start();
    playAndCheckProgress(player);
    EXPECT_GE(clock.elapsed(), 300);
}

TEST(AudioPlayerTest, FlushRestartsTheCountAndAsksForData) {
    AudioPlayer2 player;
    player.OpenPlayer(22050, 1);
    player.Play();
    player.PlayArray(silence(22050 * 10, 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.PlayedFrames() > 2000; }, Deadline));

    QSignalSpy request(&player, &AudioPlayer2::OnRequestOnLoadArray);
    QSignalSpy timer(&player, &AudioPlayer2::OnTimer);
    player.Flush();
    EXPECT_EQ(player.PlayedFrames(), 0);
    ASSERT_TRUE(request.wait(Deadline));
    // The first report after the flush counts from zero again.
    ASSERT_FALSE(timer.isEmpty());
    EXPECT_LT(timer.first().at(2).toInt(), 2000);
    player.StopPlayer();
    EXPECT_FALSE(player.IsPlaying());
}

TEST(AudioPlayerTest, FeedingOnRequestPlaysEveryArrayThenEnds) {
    AudioPlayer2 player;
    player.OpenPlayer(44100, 2);
    int fed = 0;
    auto feed = [&] {
        // Three blocks, then the source runs dry as a reader at its end does.
        player.PlayArray(fed < 3 ? silence(4410) : SampleArray{});
        ++fed;
    };
    QObject::connect(&player, &AudioPlayer2::OnRequestOnLoadArray, feed);
    QObject::connect(&player, &AudioPlayer2::OnEndArrayPlay, feed);
    QSignalSpy arrays(&player, &AudioPlayer2::OnEndArrayPlay);
    QSignalSpy end(&player, &AudioPlayer2::OnEndPlay);
    player.Play();
    feed();
    ASSERT_TRUE(end.wait(Deadline));
    EXPECT_EQ(arrays.count(), 3);
    EXPECT_EQ(player.PlayedFrames(), 3 * 4410);
    // The clock runs on, and the end is not reported again.
    QSignalSpy timer(&player, &AudioPlayer2::OnTimer);
    ASSERT_TRUE(waitForMore(timer, 3));
    EXPECT_EQ(end.count(), 1);
}

TEST(AudioPlayerTest, ReportsThePeakLevelOfTheFirstChannel) {
    AudioPlayer2 player;
    QSignalSpy timer(&player, &AudioPlayer2::OnTimer);
    player.OpenPlayer(8000, 2);
    SampleArray loud = silence(8000);
    for (size_t i = 0; i < loud.samples.size(); i += 2)
        loud.samples[i] = 0.5f;
    player.Play();
    player.PlayArray(loud);
    ASSERT_TRUE(timer.wait(Deadline));
    EXPECT_NEAR(timer.first().at(1).toInt(), 16384, 2);
    player.StopPlayer();
}

TEST(AudioPlayerTest, StoppedPlayerStaysQuiet) {
    AudioPlayer2 player;
    QSignalSpy timer(&player, &AudioPlayer2::OnTimer);
    player.OpenPlayer(44100, 2);
    player.Play();
    player.PlayArray(silence(44100));
    player.StopPlayer();
    // Long enough for this player's clock to have ticked: another player's
    // clock, started after the stop, ticks three times.
    AudioPlayer2 other;
    QSignalSpy otherTimer(&other, &AudioPlayer2::OnTimer);
    other.OpenPlayer(8000, 1);
    other.Play();
    other.PlayArray(silence(8000 * 10, 1));
    ASSERT_TRUE(waitForMore(otherTimer, 3));
    other.StopPlayer();
    EXPECT_TRUE(timer.isEmpty());
    EXPECT_EQ(player.PlayedFrames(), 0);
    // It can be played again with the format it had.
    player.Play();
    player.PlayArray(silence(441));
    EXPECT_TRUE(player.IsPlaying());
    player.StopPlayer();
}

TEST(AudioPlayerTest, RefusesToPlayBeforeItIsOpened) {
    AudioPlayer2 player;
    EXPECT_THROW(player.Play(), Error);
    EXPECT_THROW(player.PlayArray(silence(10)), Error);
    EXPECT_THROW(player.OpenPlayer(0, 2), Error);
}

} // namespace

// The device takes 5.1 and 7.1 as FL FR FC LFE then the surrounds; frames in
// the program's order would play the centre from the right and the LFE from
// a surround.
TEST(AudioPlayerTest, SurroundFramesReachTheDeviceInItsSpeakerOrder) {
    EXPECT_EQ(ChannelOrder::Map(ChannelOrder::Vorbis(6), ChannelOrder::Sdl(6)),
              (std::vector<int>{0, 2, 1, 5, 3, 4}));
    EXPECT_EQ(ChannelOrder::Map(ChannelOrder::Vorbis(8), ChannelOrder::Sdl(8)),
              (std::vector<int>{0, 2, 1, 7, 5, 6, 3, 4}));
    EXPECT_TRUE(
        ChannelOrder::IsIdentity(ChannelOrder::Map(ChannelOrder::Vorbis(2), ChannelOrder::Sdl(2))));
}
