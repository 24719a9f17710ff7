#include "tests/support/ProgramProcess.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTest>

#include <csignal>
#include <utility>

namespace {

constexpr int Deadline = 30000;

QByteArray procFile(qint64 pid, const char* name) {
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

ProgramProcess::ProgramProcess(QString program) : program_(std::move(program)) {
    QDir().mkpath(home_.filePath(QStringLiteral("runtime")));
    QFile::setPermissions(home_.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

ProgramProcess::~ProgramProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(Deadline);
    }
}

bool ProgramProcess::start(const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("HOME"), home_.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(home_.path());
    process_.start(program_, arguments);
    if (!process_.waitForStarted(Deadline))
        return false;
    return QTest::qWaitFor(
               [this] {
                   return process_.state() != QProcess::Running ||
                          handlesTermination(process_.processId());
               },
               Deadline) &&
           process_.state() == QProcess::Running;
}

bool ProgramProcess::terminate() {
    ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
    return process_.waitForFinished(Deadline) && process_.exitStatus() == QProcess::NormalExit &&
           process_.exitCode() == 0;
}

QString ProgramProcess::settingsText() const {
    QFile f(home_.filePath(QStringLiteral("config/Velmora.ini")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QStringList ProgramProcess::mappedFiles() const {
    QStringList files;
    for (const QByteArray& line : procFile(process_.processId(), "maps").split('\n')) {
        const qsizetype slash = line.indexOf('/');
        if (slash >= 0 && !files.contains(QString::fromUtf8(line.mid(slash))))
            files << QString::fromUtf8(line.mid(slash));
    }
    return files;
}

bool ProgramProcess::handlesTermination(qint64 pid) {
    // SigCgt is the mask of the signals the process catches.
    for (const QByteArray& line : procFile(pid, "status").split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1U;
    }
    return false;
}
