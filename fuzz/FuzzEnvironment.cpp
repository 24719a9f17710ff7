#include "fuzz/FuzzEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

const QString Prefix = QStringLiteral("tarnwell-fuzz-");

QString scratchBase() {
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
}

bool processAlive(const QString& pidText) {
    bool ok = false;
    const pid_t pid = static_cast<pid_t>(pidText.toLongLong(&ok));
    return ok && pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

} // namespace

FuzzEnvironment::FuzzEnvironment() {
    const QDir base(scratchBase());
    for (const QString& name : base.entryList({Prefix + QLatin1Char('*')}, QDir::Dirs))
        if (!processAlive(name.mid(Prefix.size())))
            QDir(base.filePath(name)).removeRecursively();
    dir_ = base.filePath(Prefix + QString::number(::getpid()));
    QDir(dir_).removeRecursively();
    if (!base.mkpath(dir_)) {
        std::fprintf(stderr, "cannot create the scratch folder %s\n", qPrintable(dir_));
        std::abort();
    }
}

FuzzEnvironment::~FuzzEnvironment() {
    QDir(dir_).removeRecursively();
}

FuzzEnvironment& FuzzEnvironment::instance() {
    static FuzzEnvironment environment;
    return environment;
}

QString FuzzEnvironment::path(const QString& name) const {
    return QDir(dir_).filePath(name);
}

void FuzzEnvironment::write(const QString& name, const QByteArray& bytes) const {
    QFile file(path(name));
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                file.write(bytes) == bytes.size(),
            "cannot write to the scratch folder");
}

QByteArray FuzzEnvironment::read(const QString& name) const {
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList FuzzEnvironment::entries() const {
    return QDir(dir_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

void FuzzEnvironment::clear() const {
    QDir dir(dir_);
    for (const QString& name : entries()) {
        QFile::setPermissions(dir.filePath(name), QFile::ReadOwner | QFile::WriteOwner);
        dir.remove(name);
    }
}

void require(bool holds, const char* what) {
    if (holds)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}
