#include "platform/InputFile.h"

#include "platform/Error.h"
#include "platform/FileHandle.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void refuse(const QString& path, const QString& why) {
    throw Error(QStringLiteral("Cannot read %1: %2").arg(QFileInfo(path).fileName(), why));
}

QString tooLarge() {
    return QStringLiteral("larger than %1 MB").arg(InputFile::MaxBytes / (1024 * 1024));
}

} // namespace

QByteArray InputFile::Read(const QString& path) {
    if (auto bytes = ReadIfPresent(path))
        return *std::move(bytes);
    refuse(path, QString::fromLocal8Bit(std::strerror(ENOENT)));
}

std::optional<QByteArray> InputFile::ReadIfPresent(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    // Without O_NONBLOCK, opening a FIFO waits for a writer, and no signal
    // handler that restarts calls can end that wait.
    FileHandle file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        refuse(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct stat info;
    if (::fstat(file.fd(), &info) != 0)
        refuse(path, QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(info.st_mode))
        refuse(path, QStringLiteral("not a regular file"));
    if (info.st_size > MaxBytes)
        refuse(path, tooLarge());
    // The file may grow while it is read: never more than the limit, and a
    // byte past it tells that it was passed.
    QByteArray bytes(static_cast<qsizetype>(info.st_size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() > MaxBytes)
                refuse(path, tooLarge());
            bytes.resize(std::min<qsizetype>(bytes.size() * 2, MaxBytes + 1));
        }
        const ssize_t n =
            ::read(file.fd(), bytes.data() + got, static_cast<size_t>(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            refuse(path, QString::fromLocal8Bit(std::strerror(errno)));
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}
