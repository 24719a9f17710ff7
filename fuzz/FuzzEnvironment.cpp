#include "fuzz/FuzzEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

namespace {

QString scratchTemplate() {
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return base + QStringLiteral("/tarnwell-fuzz-XXXXXX");
}

} // namespace

FuzzEnvironment::FuzzEnvironment() : dir_(scratchTemplate()) {
    if (!dir_.isValid()) {
        std::fprintf(stderr, "cannot create a scratch folder: %s\n",
                     qPrintable(dir_.errorString()));
        std::abort();
    }
}

FuzzEnvironment& FuzzEnvironment::instance() {
    static FuzzEnvironment environment;
    return environment;
}

QString FuzzEnvironment::path(const QString& name) const {
    return dir_.filePath(name);
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
    return QDir(dir_.path())
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

void FuzzEnvironment::clear() const {
    QDir dir(dir_.path());
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
