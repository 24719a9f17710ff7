// The harness: every test program runs offscreen, with a silent audio driver
// and its own empty configuration and runtime folders, so no test touches the
// user's settings or sees another test's files.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");

    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    const QString config = home.filePath(QStringLiteral("config"));
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    const QString music = home.filePath(QStringLiteral("Music"));
    QDir().mkpath(config);
    QDir().mkpath(runtime);
    QDir().mkpath(music);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    qputenv("HOME", home.path().toUtf8());

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
