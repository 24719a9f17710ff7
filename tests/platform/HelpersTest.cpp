#include "platform/CleanTitle.h"
#include "platform/Desktop.h"
#include "platform/EventPump.h"
#include "platform/FormatTime.h"
#include "platform/MulDiv.h"

#include <QElapsedTimer>
#include <QObject>

#include <gtest/gtest.h>

#include <climits>

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

TEST(CleanTitle, RemovesTheNineCharactersOnly) {
    EXPECT_EQ(CleanTitle(R"(a*b?c|d:e"f/g\h<i>j)"), "abcdefghij");
    EXPECT_EQ(CleanTitle("  Süße Lieder (live) - 2.0 "), "  Süße Lieder (live) - 2.0 ");
    EXPECT_EQ(CleanTitle("***"), "");
}

TEST(CleanTitle, GivesNoHiddenNameAndNoLineBreak) {
    EXPECT_EQ(CleanTitle("..."), "");
    EXPECT_EQ(CleanTitle("../../escape"), "escape");
    EXPECT_EQ(CleanTitle(".5 mix"), "5 mix");
    EXPECT_EQ(CleanTitle(" . hidden"), "hidden");
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
