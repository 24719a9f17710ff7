#include "platform/CleanTitle.h"
#include "platform/Desktop.h"
#include "platform/EventPump.h"
#include "platform/FormatTime.h"
#include "platform/MulDiv.h"
#include "platform/VisibleName.h"

#include <QElapsedTimer>
#include <QObject>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <utility>

TEST(MulDiv, RoundsHalvesAwayFromZero) {
    struct Row {
        int x, y, z, expected;
    };
    const Row rows[] = {
        {458, 100, 916, 50}, {1, 1, 2, 1},     {3, 1, 2, 2},
        {-1, 1, 2, -1},      {-3, 1, 2, -2},   {1, -3, 2, -2},
        {3, 1, -2, -2},      {-3, -1, 2, 2},   {5, 1, 3, 2},
        {4, 1, 3, 1},        {-5, 1, 3, -2},   {-4, 1, 3, -1},
        {0, 7, 3, 0},        {10, 10, 1, 100}, {44100, 60, 1, 2646000},
    };
    for (const Row& r : rows)
        EXPECT_EQ(MulDiv(r.x, r.y, r.z), r.expected) << r.x << "*" << r.y << "/" << r.z;
}

TEST(MulDiv, SixtyFourBitIntermediateAndOverflow) {
    EXPECT_EQ(MulDiv(2000000000, 2000000000, 2000000000), 2000000000);
    EXPECT_EQ(MulDiv(44100 * 3600, 1000, 1000), 44100 * 3600);
    EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT_MIN, 1, 1), INT_MIN);
    EXPECT_EQ(MulDiv(INT_MIN, -1, 1), -1) << "2^31 does not fit";
    EXPECT_EQ(MulDiv(7, 3, 0), -1);
}

// Where MulDiv has a result MulDiv64 has the same; past 32 bits it goes on.
TEST(MulDiv, SixtyFourBitCountsRoundAsThirtyTwoBitOnes) {
    const int small[][3] = {{458, 100, 916},
                            {-3, 1, 2},
                            {3, 1, -2},
                            {5, 1, 3},
                            {-5, 1, 3},
                            {7, 3, 0},
                            {2000000000, 2000000000, 2000000000}};
    for (const auto& r : small)
        EXPECT_EQ(MulDiv64(r[0], r[1], r[2]), MulDiv(r[0], r[1], r[2]))
            << r[0] << "*" << r[1] << "/" << r[2];
    struct Row {
        std::int64_t x, y, z, expected;
    };
    const Row rows[] = {
        {79135, 2'246'400'000, 79135, 2'246'400'000},
        {76091, 2'246'400'000, 79135, 2'159'990'174},
        {2'160'000'000, 79135, 2'246'400'000, 76091},
        {2'246'400'000, 10000, 4'492'800'000, 5000},
        {INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX},
        {INT64_MAX, 2, 1, -1},
        {INT64_MIN, 1, 1, INT64_MIN},
        {-3, 1, 2, -2},
    };
    for (const Row& r : rows)
        EXPECT_EQ(MulDiv64(r.x, r.y, r.z), r.expected) << r.x << "*" << r.y << "/" << r.z;
}

TEST(FormatTime, FieldsOfAtLeastTwoDigits) {
    EXPECT_EQ(FormatTime(0), "00:00:00");
    EXPECT_EQ(FormatTime(59), "00:00:59");
    EXPECT_EQ(FormatTime(60), "00:01:00");
    EXPECT_EQ(FormatTime(3725), "01:02:05");
    EXPECT_EQ(FormatTime(359999), "99:59:59");
    EXPECT_EQ(FormatTime(360000), "100:00:00");
    EXPECT_EQ(FormatTime(-5), "00:00:00");
}

// Cuts between whole seconds show their hundredths; whole ones look as ever.
TEST(FormatTime, MillisecondsShowHundredthsOnlyWhenThere) {
    EXPECT_EQ(FormatTimeMs(81000), "00:01:21");
    EXPECT_EQ(FormatTimeMs(257690), "00:04:17.69");
    EXPECT_EQ(FormatTimeMs(80504), "00:01:20.50");
    EXPECT_EQ(FormatTimeMs(80996), "00:01:21");
}

// Audiobooks and all-day recordings run past 99 hours; the hours then take
// as many digits as they need.
TEST(FormatTime, HoursPastNinetyNine) {
    const std::pair<qint64, const char*> seconds[] = {
        {46800, "13:00:00"},     {359999, "99:59:59"},         {443045, "123:04:05"},
        {3600000, "1000:00:00"}, {2147483647, "596523:14:07"},
    };
    for (const auto& [s, text] : seconds)
        EXPECT_EQ(FormatTime(s), text) << s;
    const std::pair<qint64, const char*> ms[] = {
        {443045000, "123:04:05"},
        {443045690, "123:04:05.69"},
        {359999995, "100:00:00"},
        {2147483647000LL + 120, "596523:14:07.12"},
    };
    for (const auto& [m, text] : ms)
        EXPECT_EQ(FormatTimeMs(m), text) << m;
}

TEST(CleanTitle, RemovesTheNineCharactersOnly) {
    EXPECT_EQ(CleanTitle(R"(a*b?c|d:e"f/g\h<i>j)"), "abcdefghij");
    EXPECT_EQ(CleanTitle("  Süße Lieder (live) - 2.0 "), "  Süße Lieder (live) - 2.0 ");
    EXPECT_EQ(CleanTitle("***"), "");
}

TEST(CleanTitle, KeepsLeadingDotsWhichOnlyFileNamesLose) {
    EXPECT_EQ(CleanTitle("...And Justice"), "...And Justice");
    EXPECT_EQ(VisibleName(CleanTitle("...")), "");
    EXPECT_EQ(VisibleName(CleanTitle("../../escape")), "escape");
    EXPECT_EQ(VisibleName(CleanTitle(".5 mix")), "5 mix");
    EXPECT_EQ(VisibleName(CleanTitle(" . hidden")), "hidden");
    EXPECT_EQ(VisibleName("  plain"), "  plain");
    EXPECT_EQ(CleanTitle("Part 1\r\nPart 2\n"), "Part 1 Part 2");
    EXPECT_EQ(CleanTitle("\ttab\x01\x7f end"), "tab end");
    EXPECT_EQ(CleanTitle("Live 2.0"), "Live 2.0");
}

TEST(Desktop, FilterEntriesBecomeQtFilters) {
    EXPECT_EQ(Desktop::filterEntries("OGG Files(*.ogg)|*.ogg"), QStringList{"OGG Files (*.ogg)"});
    EXPECT_EQ(Desktop::filterEntries("OGG Files(*.ogg;*.oga)|*.ogg;*.oga"),
              QStringList{"OGG Files (*.ogg *.oga)"});
    EXPECT_EQ(Desktop::filterEntries("MP3 Files(*.mp3)|*.mp3|WAV Files(*.wav)|*.wav"),
              (QStringList{"MP3 Files (*.mp3)", "WAV Files (*.wav)"}));
}

// A pump delivers what is pending, then nothing more until a frame has
// passed, however often it is called; then it delivers again.
TEST(EventPump, DeliversPendingEventsAtMostOnceAFrame) {
    QObject target;
    int delivered = 0;
    const auto post = [&] {
        QMetaObject::invokeMethod(
            &target, [&] { ++delivered; }, Qt::QueuedConnection);
    };
    EventPump pump;
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    post();
    pump.pump();
    EXPECT_EQ(delivered, 1);
    post();
    pump.pump();
    // Only provable when this machine did not stall for a frame in between.
    if (sinceFirst.elapsed() < EventPump::FrameMs) {
        EXPECT_EQ(delivered, 1);
    }
    QElapsedTimer deadline;
    deadline.start();
    while (delivered < 2 && deadline.elapsed() < 10000)
        pump.pump();
    EXPECT_EQ(delivered, 2);
}
