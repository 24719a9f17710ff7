// Starts the real program, as a user would, in an empty configuration folder.
#include "platform/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// Generous: the suite also runs on a busy machine.
constexpr int Deadline = 30000;

class StartupTest : public ::testing::Test {
protected:
    QTemporaryDir home;

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
        env.insert("HOME", home.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }
    void SetUp() override {
        QDir().mkpath(home.filePath("runtime"));
        QFile::setPermissions(home.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString lockFile() const { return home.filePath("runtime/Kestrune V1.00.lock"); }

    // Starts the program and returns as soon as it holds the single-instance
    // lock, while its windows may still be being built: from then on it is the
    // running copy, and a request to end must close it normally.
    void start(QProcess& p) {
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral(TARNWELL_BIN_DIR "/tarnwell"), {});
        ASSERT_TRUE(p.waitForStarted(Deadline));
        ASSERT_TRUE(QTest::qWaitFor([&] { return lockHolder() == p.processId(); }, Deadline))
            << "the lock names the process " << lockHolder();
    }
    qint64 lockHolder() const {
        QLockFile lock(lockFile());
        qint64 pid = 0;
        QString host;
        QString application;
        return lock.getLockInfo(&pid, &host, &application) ? pid : 0;
    }
    static void terminate(QProcess& p) {
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        ASSERT_TRUE(p.waitForFinished(Deadline));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "ended by the signal, not closed";
        EXPECT_EQ(p.exitCode(), 0);
    }
    QString settingsText() const {
        QFile f(home.filePath("config/Velmora.ini"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
};

TEST_F(StartupTest, ClosingWritesTheNineMainKeysWithDefaults) {
    QProcess p;
    start(p);
    EXPECT_FALSE(QFile::exists(home.filePath("config/Velmora.ini"))) << "nothing written on start";
    // The signal comes right after the lock is taken, before the window is up.
    terminate(p);
    const QString music = home.filePath("Music") + "/";
    EXPECT_EQ(settingsText(),
              QStringLiteral("[Function]\nChoice=0\n[Output]\nDir=%1\n"
                             "[Choice]\ntime=60\nCount=6\n"
                             "[Fade]\nIn=0\nOut=0\nIntime=5\nOuttime=5\n"
                             "[RQD]\nSkin=0\n"
                             // The output format and the silence settings
                             // follow, each in a section of its own.
                             "[Format]\nOutput=0\n"
                             "[Silence]\nThreshold=-40\nMinSilence=1000\nMinPiece=5\nSnap=0\n"
                             "SnapWindow=10\nSnapMarks=0\n")
                  .arg(music));
}

TEST_F(StartupTest, ValuesReadAtStartAreWrittenBackAtClose) {
    QDir().mkpath(home.filePath("config"));
    QFile f(home.filePath("config/Velmora.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("; "
            "hand-written\n[RQD]\nSkin=2\n[Function]\nChoice=0x3\n[Output]\nDir=\n[Fade]\nIntime="
            "abc\n");
    f.close();
    QProcess p;
    start(p);
    terminate(p);
    EXPECT_EQ(settingsText(),
              QStringLiteral("; hand-written\n[RQD]\nSkin=1\n[Function]\nChoice=3\n"
                             "[Output]\nDir=\n[Fade]\nIntime=5\nIn=0\nOut=0\n"
                             "Outtime=5\n[Choice]\ntime=60\nCount=6\n[Format]\nOutput=0\n"
                             "[Silence]\nThreshold=-40\nMinSilence=1000\nMinPiece=5\nSnap=0\n"
                             "SnapWindow=10\nSnapMarks=0\n"));
}

TEST_F(StartupTest, SecondStartEndsAtOnceSilently) {
    QProcess first;
    start(first);
    QProcess second;
    second.setProcessEnvironment(environment());
    second.start(QStringLiteral(TARNWELL_BIN_DIR "/tarnwell"), {});
    ASSERT_TRUE(second.waitForFinished(Deadline));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(second.readAllStandardError().isEmpty());
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(lockHolder(), first.processId());
    first.kill();
    first.waitForFinished(Deadline);
}

TEST_F(StartupTest, LockOfAKilledCopyDoesNotBlockTheNextStart) {
    QProcess first;
    start(first);
    first.kill();
    ASSERT_TRUE(first.waitForFinished(Deadline));
    ASSERT_TRUE(QFile::exists(lockFile())) << "a killed copy leaves its lock behind";
    // The next copy takes the lock over and runs on as the only copy: it
    // closes normally and writes its settings.
    QProcess next;
    start(next);
    EXPECT_EQ(next.state(), QProcess::Running);
    terminate(next);
    EXPECT_FALSE(settingsText().isEmpty());
}

} // namespace
