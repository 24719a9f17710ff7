#include "platform/CleanTitle.h"
#include "platform/Desktop.h"
#include "platform/EventPump.h"
#include "platform/FormatTime.h"
#include "platform/MulDiv.h"
#include "platform/RemovableMedia.h"
#include "platform/VisibleName.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <utility>

#include <sys/sysmacros.h>

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

// Drives one unplugs are told from the rest by the kernel's device tree: a
// USB or memory-card bus on the way to the drive, its removable flag, or
// the drives under a volume made of others. A file system with no block
// device of its own names one in the mount table.
TEST(RemovableMedia, ToldByTheDeviceTree) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString sys = dir.filePath(QStringLiteral("sys"));
    const auto device = [&](const QString& path, const char* number, const char* removable,
                            bool partition = false) {
        const QString folder = sys + QStringLiteral("/devices/") + path;
        ASSERT_TRUE(QDir().mkpath(folder));
        const auto write = [](const QString& file, const QByteArray& text) {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(text + '\n');
        };
        write(folder + QStringLiteral("/dev"), number);
        if (partition)
            write(folder + QStringLiteral("/partition"), "1");
        else
            write(folder + QStringLiteral("/removable"), removable);
        QDir().mkpath(sys + QStringLiteral("/dev/block"));
        QDir().mkpath(sys + QStringLiteral("/class/block"));
        const QString name = QFileInfo(folder).fileName();
        QFile::link(folder, sys + QStringLiteral("/dev/block/") + QLatin1String(number));
        QFile::link(folder, sys + QStringLiteral("/class/block/") + name);
    };
    device("pci0000:00/0000:00:14.0/usb2/2-1/host6/block/sdb", "8:16", "0");
    device("pci0000:00/0000:00:14.0/usb2/2-1/host6/block/sdb/sdb1", "8:17", "", true);
    device("platform/fe320000.mmc/mmc_host/mmc0/mmc0:aaaa/block/mmcblk0", "179:0", "0");
    device("pci0000:00/0000:00:17.0/ata1/host0/block/sda", "8:0", "0");
    device("pci0000:00/0000:00:17.0/ata1/host0/block/sda/sda2", "8:2", "", true);
    device("pci0000:00/0000:00:17.0/ata2/host1/block/sr0", "11:0", "1");
    device("virtual/block/dm-0", "254:0", "0"); // encrypted, on the stick
    device("virtual/block/dm-1", "254:1", "0"); // encrypted, on the internal disk
    QDir().mkpath(sys + QStringLiteral("/devices/virtual/block/dm-0/slaves"));
    QDir().mkpath(sys + QStringLiteral("/devices/virtual/block/dm-1/slaves"));
    QFile::link(
        sys + QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb2/2-1/host6/block/sdb/sdb1"),
        sys + QStringLiteral("/devices/virtual/block/dm-0/slaves/sdb1"));
    QFile::link(sys + QStringLiteral("/devices/pci0000:00/0000:00:17.0/ata1/host0/block/sda/sda2"),
                sys + QStringLiteral("/devices/virtual/block/dm-1/slaves/sda2"));
    const QString mounts = dir.filePath(QStringLiteral("mountinfo"));
    {
        QFile f(mounts);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("29 1 0:33 / /media/stick rw - btrfs /dev/sdb1 rw\n"
                "30 1 0:34 / /home rw shared:1 - btrfs /dev/sda2 rw\n"
                "31 1 0:35 / /mnt/share rw - nfs4 server:/music rw\n"
                "32 1 0:36 / /tmp rw - tmpfs tmpfs rw\n");
    }
    const struct {
        unsigned major, minor;
        bool removable;
    } cases[] = {
        {8, 17, true},   // a partition of a USB stick
        {8, 16, true},   // the stick itself
        {179, 0, true},  // a memory card
        {8, 2, false},   // the internal disk
        {11, 0, true},   // flagged removable by the kernel
        {254, 0, true},  // an encrypted volume on the stick
        {254, 1, false}, // one on the internal disk
        {0, 33, true},   // btrfs on the stick: named in the mount table
        {0, 34, false},  // btrfs on the internal disk
        {0, 35, false},  // a network share
        {0, 36, false},  // memory
        {0, 99, false},  // not mounted
        {9, 9, false},   // no such device
    };
    for (const auto& c : cases)
        EXPECT_EQ(RemovableMedia::Holds(makedev(c.major, c.minor), mounts, sys), c.removable)
            << c.major << ":" << c.minor;
}
