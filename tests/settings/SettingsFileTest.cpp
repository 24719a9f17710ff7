#include "platform/SettingsFile.h"
#include "platform/Error.h"
#include "tests/support/UnreadableFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Velmora.ini"));

    void writeText(const QByteArray& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray text() {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // As a file last changed long ago, whose times prove it unchanged.
    void age() {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                  QFileDevice::FileModificationTime));
    }
};

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndCreatesNothing) {
    SettingsFile s(path);
    EXPECT_EQ(s.ReadInteger("Choice", "time", 60), 60);
    EXPECT_FALSE(s.ReadBool("Fade", "In", false));
    EXPECT_TRUE(s.ReadBool("MP3VBR", "vbrck", true));
    EXPECT_EQ(s.ReadString("Output", "Dir", "/music/"), "/music/");
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(SettingsFileTest, IntegerReadRules) {
    writeText("[n]\nhex=0x1F\nHEX=0X10\nshort=0x\nabc=abc\nneg=-12\nspace= 42 \nplus=+5\n"
              "big=99999999999\nall=0xFFFFFFFF\nmixed=12a\nempty=\n");
    SettingsFile s(path);
    EXPECT_EQ(s.ReadInteger("n", "hex", 7), 31);
    EXPECT_EQ(s.ReadInteger("n", "short", 7), 7) << "0x alone is not a number";
    EXPECT_EQ(s.ReadInteger("n", "abc", 7), 7);
    EXPECT_EQ(s.ReadInteger("n", "neg", 7), -12);
    EXPECT_EQ(s.ReadInteger("n", "space", 7), 42);
    EXPECT_EQ(s.ReadInteger("n", "plus", 7), 7);
    EXPECT_EQ(s.ReadInteger("n", "big", 7), 7) << "outside 32 bits";
    EXPECT_EQ(s.ReadInteger("n", "all", 7), -1);
    EXPECT_EQ(s.ReadInteger("n", "mixed", 7), 7);
    EXPECT_EQ(s.ReadInteger("n", "empty", 7), 7);
}

TEST_F(SettingsFileTest, BooleansAreIntegersAndAnyNonZeroIsTrue) {
    writeText("[b]\ntwo=2\nzero=0\nminus=-1\nword=yes\n");
    SettingsFile s(path);
    EXPECT_TRUE(s.ReadBool("b", "two", false));
    EXPECT_FALSE(s.ReadBool("b", "zero", true));
    EXPECT_TRUE(s.ReadBool("b", "minus", false));
    EXPECT_TRUE(s.ReadBool("b", "word", true)) << "not a number: the default";
    EXPECT_FALSE(s.ReadBool("b", "word", false));
}

TEST_F(SettingsFileTest, StringsEmptyValueAndLengthLimit) {
    writeText("[Output]\nDir=\n[Long]\nText=" + QByteArray(3000, 'x') + "\n");
    SettingsFile s(path);
    EXPECT_EQ(s.ReadString("Output", "Dir", "/music/"), "")
        << "present but empty is not the default";
    EXPECT_EQ(s.ReadString("Long", "Text", "").size(), SettingsFile::MaxStringLength);
}

TEST_F(SettingsFileTest, NamesCompareWithoutCase) {
    writeText("[MP3VBR]\nCoding Method=3\n");
    SettingsFile s(path);
    EXPECT_EQ(s.ReadInteger("mp3vbr", "coding method", 0), 3);
    s.WriteInteger("Mp3Vbr", "CODING METHOD", 4);
    EXPECT_EQ(text(), "[MP3VBR]\nCoding Method=4\n") << "the file keeps its own spelling";
}

TEST_F(SettingsFileTest, FileWrittenFromScratchKeepsOrderOfFirstWrite) {
    SettingsFile s(dir.filePath("sub/folder/Velmora.ini"));
    s.WriteInteger("Function", "Choice", 0);
    s.WriteString("Output", "Dir", "/home/u/Music/");
    s.WriteInteger("Choice", "time", 60);
    s.WriteInteger("Choice", "Count", 6);
    s.WriteBool("Fade", "In", false);
    s.WriteBool("Fade", "Out", true);
    s.WriteInteger("Function", "Choice", 2);
    QFile f(s.path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "[Function]\nChoice=2\n[Output]\nDir=/home/u/Music/\n"
                           "[Choice]\ntime=60\nCount=6\n[Fade]\nIn=0\nOut=1\n");
}

TEST_F(SettingsFileTest, HandWrittenFileKeepsEveryOtherLineByteForByte) {
    // Windows line endings, Latin-1 and broken UTF-8, a last line without an ending.
    writeText("; caf\xE9 settings\r\n[Fade]\r\nIn=1\r\n; keep this\r\nUnknown=\xFF\xFEx\r\n\r\n"
              "[Other]\na=b\xE2\x82\n[Last]\nend \xC3");
    SettingsFile s(path);
    s.WriteBool("Fade", "In", false);
    s.WriteInteger("Fade", "Intime", 7);
    s.WriteString("New", "k", "v");
    EXPECT_EQ(text(), "; caf\xE9 settings\r\n[Fade]\r\nIn=0\r\n; keep this\r\nUnknown=\xFF\xFEx\r\n"
                      "Intime=7\r\n\r\n[Other]\na=b\xE2\x82\n[Last]\nend \xC3\r\n[New]\r\nk=v\r\n");
    EXPECT_EQ(s.ReadInteger("Fade", "Intime", 0), 7);
    EXPECT_EQ(s.ReadString("Other", "a", ""), QString::fromUtf8("b\xE2\x82"));
}

TEST_F(SettingsFileTest, LineBreaksInAWrittenValueBecomeSpaces) {
    writeText("[Output]\nDir=/old/\n[Choice]\ntime=60\n");
    SettingsFile s(path);
    s.WriteString("Output", "Dir", "/a\nb/\r\n[Choice]\rtime=1");
    s.WriteString("Main", "Path", "x\n");
    EXPECT_EQ(text(), "[Output]\nDir=/a b/ [Choice] time=1\n[Choice]\ntime=60\n[Main]\nPath=x \n");
    EXPECT_EQ(s.ReadString("Output", "Dir", ""), "/a b/ [Choice] time=1");
    EXPECT_EQ(s.ReadInteger("Choice", "time", 0), 60);
}

TEST_F(SettingsFileTest, RefusedWriteRaisesTheFilesName) {
    // Refusals that hold even for root: the folder is a file, the file is a folder.
    writeText("not a folder");
    for (const QString& target : {path + "/Velmora.ini", dir.filePath("Velmora.ini.d")}) {
        if (target.endsWith(".d")) {
            ASSERT_TRUE(QDir().mkpath(target + "/Velmora.ini"));
        }
        SettingsFile s(target.endsWith(".d") ? target + "/Velmora.ini" : target);
        try {
            s.WriteInteger("a", "b", 2);
            FAIL() << "the write should have been refused";
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), "Unable to write to Velmora.ini");
        }
    }
    EXPECT_EQ(text(), "not a folder");
}

TEST_F(SettingsFileTest, ReadOnceUntilChangedAndSharedByEveryObjectOnTheFile) {
    writeText("[mp3]\nbitrate=3\n");
    age();
    SettingsFile s(path);
    const int before = SettingsFile::FileReads();
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(s.ReadInteger("MP3", "bitrate", 9), 3);
    EXPECT_EQ(SettingsFile::FileReads() - before, 1);

    // Written through one object: read back at once through both, and
    // neither loses the other's writes.
    SettingsFile t(path);
    t.WriteInteger("ogg", "quality", 500);
    EXPECT_EQ(s.ReadInteger("ogg", "quality", 300), 500);
    s.WriteInteger("mp3", "bitrate", 4);
    t.WriteInteger("wav", "mode", 2);
    EXPECT_EQ(t.ReadInteger("mp3", "bitrate", 9), 4);
    EXPECT_EQ(text(), "[mp3]\nbitrate=4\n[ogg]\nquality=500\n[wav]\nmode=2\n");

    // Changed by hand in place, at once and to the same size: seen.
    writeText("[mp3]\nbitrate=5\n[ogg]\nquality=500\n[wav]\nmode=2\n");
    EXPECT_EQ(s.ReadInteger("mp3", "bitrate", 9), 5);
}

// A snapshot keeps the values it was taken with, whatever is written to the
// file or its other objects afterwards, and is never written itself.
TEST_F(SettingsFileTest, ASnapshotKeepsItsValuesAndIsNotWritten) {
    writeText("[mp3]\nbitrate=3\n");
    SettingsFile s(path);
    const SettingsFile snapshot = s.Snapshot();
    s.WriteInteger("mp3", "bitrate", 4);
    writeText("[mp3]\nbitrate=5\n[ogg]\nquality=500\n");
    EXPECT_EQ(snapshot.ReadInteger("mp3", "bitrate", 9), 3);
    EXPECT_FALSE(snapshot.Contains("ogg", "quality"));
    EXPECT_EQ(snapshot.path(), s.path());
    SettingsFile copy = snapshot;
    EXPECT_THROW(copy.WriteInteger("mp3", "bitrate", 6), Error);
    EXPECT_EQ(text(), "[mp3]\nbitrate=5\n[ogg]\nquality=500\n");
    EXPECT_EQ(s.ReadInteger("mp3", "bitrate", 9), 5);
}

TEST_F(SettingsFileTest, AFileThatCannotBeReadGivesDefaultsAndIsNeverReplaced) {
    const QString fifo = UnreadableFiles::fifo(dir.filePath("fifo.ini"));
    const QString large =
        UnreadableFiles::tooLarge(dir.filePath("large.ini"), "[mp3]\nbitrate=3\n");
    ASSERT_FALSE(fifo.isEmpty() || large.isEmpty());
    const std::pair<QString, QString> cases[] = {
        {fifo, "Cannot read fifo.ini: not a regular file"},
        {"/dev/zero", "Cannot read zero: not a regular file"},
        {large, "Cannot read large.ini: larger than 8 MB"},
    };
    for (const auto& [file, problem] : cases) {
        SettingsFile s(file);
        EXPECT_EQ(s.problem(), problem);
        EXPECT_EQ(s.ReadInteger("mp3", "bitrate", 9), 9);
        // Never tried on a device of the system's.
        if (file.startsWith(dir.path())) {
            EXPECT_THROW(s.WriteInteger("mp3", "bitrate", 4), Error);
        }
    }
    EXPECT_EQ(QFileInfo(large).size(), UnreadableFiles::TooLarge);
    EXPECT_FALSE(QFileInfo(fifo).isFile());
    EXPECT_EQ(SettingsFile(path).problem(), QString()) << "a missing file is no problem";
}

TEST_F(SettingsFileTest, DefaultPathIsInTheUsersConfigFolder) {
    EXPECT_EQ(SettingsFile::defaultPath(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + "/Velmora.ini");
}

} // namespace
