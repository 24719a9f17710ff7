// Starts the real program, as a user would, in an empty configuration folder.
#include "platform/SingleInstance.h"
#include "tests/support/ProgramProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

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

    void start(QProcess& p) {
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral(TARNWELL_BIN_DIR "/tarnwell"), {});
        ASSERT_TRUE(p.waitForStarted(10000));
        // The lock is taken before the window is created, and SIGTERM is
        // handled once it is; a signal from then on closes the window.
        ASSERT_TRUE(QTest::qWaitFor(
            [&p] { return ProgramProcess::handlesTermination(p.processId()); }, 30000));
        ASSERT_TRUE(QFile::exists(lockFile()));
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
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString music = home.filePath("Music") + "/";
    EXPECT_EQ(settingsText(), QStringLiteral("[Function]\nChoice=0\n[Output]\nDir=%1\n"
                                             "[Choice]\ntime=60\nCount=6\n"
                                             "[Fade]\nIn=0\nOut=0\nIntime=5\nOuttime=5\n"
                                             "[RQD]\nSkin=0\n")
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
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(settingsText(), QStringLiteral("; hand-written\n[RQD]\nSkin=1\n[Function]\nChoice=3\n"
                                             "[Output]\nDir=\n[Fade]\nIntime=5\nIn=0\nOut=0\n"
                                             "Outtime=5\n[Choice]\ntime=60\nCount=6\n"));
}

TEST_F(StartupTest, SecondStartEndsAtOnceSilently) {
    QProcess first;
    start(first);
    QProcess second;
    second.setProcessEnvironment(environment());
    second.start(QStringLiteral(TARNWELL_BIN_DIR "/tarnwell"), {});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(second.readAllStandardError().isEmpty());
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(10000);
}

TEST_F(StartupTest, LockOfAKilledCopyDoesNotBlockTheNextStart) {
    QProcess first;
    start(first);
    first.kill();
    ASSERT_TRUE(first.waitForFinished(10000));
    ASSERT_TRUE(QFile::exists(lockFile())) << "a killed copy leaves its lock behind";
    QProcess next;
    start(next);
    QThread::msleep(300);
    EXPECT_EQ(next.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(next.processId()), SIGTERM);
    ASSERT_TRUE(next.waitForFinished(10000));
    EXPECT_FALSE(settingsText().isEmpty());
}

} // namespace
