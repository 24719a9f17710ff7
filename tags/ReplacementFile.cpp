#include "tags/ReplacementFile.h"

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
    file_.setFileTemplate(info.path() + QLatin1Char('/') + info.completeBaseName() +
                          QStringLiteral(".XXXXXX.temp"));
}

ReplacementFile::~ReplacementFile() = default;

bool ReplacementFile::open() {
    if (!file_.open()) {
        error_ = file_.errorString();
        return false;
    }
    return true;
}

bool ReplacementFile::write(const QByteArray& bytes) {
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    // A short write says nothing of why; the retry meets the failure itself
    // and its reason.
    while (left > 0) {
        const qint64 put = file_.write(data, left);
        if (put <= 0) {
            error_ = file_.errorString();
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
    // The same for the buffer: a flush that wrote part of it is tried once
    // more for the reason.
    if (!file_.flush() && !file_.flush()) {
        error_ = file_.errorString();
        file_.close();
        return false;
    }
    if (::fsync(file_.handle()) != 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        file_.close();
        return false;
    }
    file_.close();
    finished_ = true;
    return true;
}

bool ReplacementFile::commit(QFileDevice::Permissions permissions) {
    if (!finished_ && !finish())
        return false;
    if (!file_.setPermissions(permissions)) {
        error_ = file_.errorString();
        return false;
    }
    const QByteArray from = QFile::encodeName(file_.fileName());
    const QByteArray to = QFile::encodeName(target_);
    if (std::rename(from.constData(), to.constData()) != 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    file_.setAutoRemove(false);
    return true;
}
