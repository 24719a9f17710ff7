#include "tags/ReplacementFile.h"

#include "platform/Error.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// A link is followed, so its target is replaced and the link stays a link.
QString resolved(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

} // namespace

ReplacementFile::ReplacementFile(const QString& target) : target_(resolved(target)) {
    const QFileInfo info(target_);
    reserved_.setFileTemplate(info.path() + QLatin1Char('/') + info.completeBaseName() +
                              QStringLiteral(".XXXXXX.temp"));
}

ReplacementFile::~ReplacementFile() {
    // The writing side lets go of the file before the name is removed.
    file_.close();
}

bool ReplacementFile::open() {
    if (!reserved_.open()) {
        error_ = reserved_.errorString();
        return false;
    }
    if (!file_.open(reserved_.handle(), QIODevice::ReadWrite | QIODevice::Unbuffered,
                    QFileDevice::DontCloseHandle)) {
        error_ = file_.errorString();
        return false;
    }
    return true;
}

void ReplacementFile::openCopyOf(const QString& source,
                                 const std::function<Error(const QString&)>& fail) {
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open %1: %2").arg(source, from.errorString()));
    if (!open())
        throw fail(errorString());
    QByteArray chunk;
    while (!(chunk = from.read(1 << 16)).isEmpty())
        if (!write(chunk))
            throw fail(errorString());
    if (from.error() != QFileDevice::NoError)
        throw fail(from.errorString());
}

bool ReplacementFile::write(const QByteArray& bytes) {
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    // A short write says nothing of why; the retry meets the failure itself
    // and its reason.
    while (left > 0) {
        errno = 0;
        const qint64 put = file_.write(data, left);
        if (put <= 0) {
            error_ =
                errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file_.errorString();
            return false;
        }
        data += put;
        left -= put;
    }
    return true;
}

bool ReplacementFile::finish() {
    if (!file_.isOpen()) {
        error_ = QStringLiteral("the new file is not open");
        return false;
    }
    // Nothing waits in a buffer; what the disk has not yet taken shows here.
    if (::fsync(file_.handle()) != 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        file_.close();
        reserved_.close();
        return false;
    }
    file_.close();
    reserved_.close();
    finished_ = true;
    return true;
}

bool ReplacementFile::commit(QFileDevice::Permissions permissions) {
    if (!finished_ && !finish())
        return false;
    if (!reserved_.setPermissions(permissions)) {
        error_ = reserved_.errorString();
        return false;
    }
    const QByteArray from = QFile::encodeName(reserved_.fileName());
    const QByteArray to = QFile::encodeName(target_);
    if (std::rename(from.constData(), to.constData()) != 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    reserved_.setAutoRemove(false);
    return true;
}
