// The program as `cmake --install` lays it out in a prefix, run from there as
// a user would run it.
#include "platform/DataPaths.h"
#include "tags/SharedLibrary.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/OggFixture.h"
#include "tests/support/ProgramProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString Bin = QStringLiteral(TARNWELL_INSTALLED_BIN_DIR);

QString canonical(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

TEST(InstalledProgramTest, FindsSkinGuideAndTagLibrariesFromItsFolder) {
    const QString data = DataPaths::dataFolder(Bin);
    const QString libraries = DataPaths::libraryFolder(Bin);
    // The installed bin/ holds programs only; the rest lies in its own folders.
    EXPECT_NE(canonical(data), canonical(Bin));
    EXPECT_NE(canonical(libraries), canonical(Bin));
    EXPECT_TRUE(QFileInfo::exists(data + "/mp3enc.dll")) << data.toStdString();
    EXPECT_TRUE(QFileInfo::exists(data + "/help/Ostrel.html")) << data.toStdString();
    using Function = void (*)();
    EXPECT_NE(SharedLibrary(libraries + "/libvcedit.so").resolve<Function>("vcedit_new_state"),
              nullptr);
    EXPECT_NE(SharedLibrary(libraries + "/libwmaudsdk.so").resolve<Function>("WMAudioCreateInfo"),
              nullptr);
}

TEST(InstalledProgramTest, ManPagesAndPackageDocumentsAreLaidOutAsDebianWants) {
    const QString share = Bin + "/../share/";
    // gzip -9n: compressed at the most, without a name or time inside.
    for (const QString& name :
         {share + "man/man1/tarnwell.1.gz", share + "man/man1/tarnwell-cli.1.gz",
          share + "doc/tarnwell/changelog.gz"}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray head = file.read(10);
        EXPECT_TRUE(head.startsWith("\x1f\x8b\x08")) << name.toStdString();
        EXPECT_EQ(head.mid(3, 5), QByteArray(5, '\0')) << name.toStdString();
        EXPECT_EQ(head.at(8), '\x02') << name.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(share + "man/man1/tarnwell.1"));
    QFile copyright(share + "doc/tarnwell/copyright");
    ASSERT_TRUE(copyright.open(QIODevice::ReadOnly));
    EXPECT_TRUE(copyright.readLine().startsWith("Format: https://www.debian.org/doc/"));
}

TEST(InstalledProgramTest, RunsFromAnyFolderAndClosesOnSigterm) {
    ProgramProcess program(Bin + "/tarnwell");
    ASSERT_TRUE(program.start()) << program.process().readAllStandardError().toStdString();
    // The WMA tag library is loaded at start-up, after the signal handling
    // is in place: the installed one, and nothing at all from the build folder.
    const QString wma = canonical(DataPaths::libraryFolder(Bin) + "/libwmaudsdk.so");
    QStringList mapped;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            mapped = program.mappedFiles();
            return mapped.contains(wma);
        },
        30000))
        << mapped.join('\n').toStdString();
    for (const QString& file : mapped)
        EXPECT_FALSE(file.startsWith(canonical(TARNWELL_BIN_DIR) + '/')) << file.toStdString();
    // A missing skin would stop the window at an error box, and it would not close.
    EXPECT_TRUE(program.terminate()) << program.process().readAllStandardError().toStdString();
    EXPECT_TRUE(program.settingsText().contains("[Output]\nDir="))
        << program.settingsText().toStdString();
}

TEST(InstalledProgramTest, CommandLineToolReadsAndSplitsFromAnyFolder) {
    QTemporaryDir work;
    OggFixture fixture = OggFixture::Tone(2.0);
    fixture.comments = {"TITLE=Tune"};
    const QString song = fixture.write(work.filePath("song.ogg"));
    const auto run = [&](const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(work.path());
        process.start(Bin + "/tarnwell-cli", arguments);
        EXPECT_TRUE(process.waitForFinished(120000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    // The title comes through the installed Ogg comment library.
    const QString info = run({"info", "song.ogg"});
    EXPECT_TRUE(info.contains("title:    Tune")) << info.toStdString();
    run({"split", "song.ogg", "--time", "1", "--format", "ogg", "--out", "pieces"});
    EXPECT_EQ(QDir(work.filePath("pieces")).entryList(QDir::Files),
              QStringList({"Tune_1.ogg", "Tune_2.ogg"}));
    // Copied by default: FFmpeg also plays the lead of the packet before it.
    EXPECT_NEAR(decodeWithFfmpeg(work.filePath("pieces/Tune_2.ogg")).seconds(), 1.02, 0.025);
}

} // namespace
