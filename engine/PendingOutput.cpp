#include "engine/PendingOutput.h"

#include "engine/OutputNames.h"
#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

// Six letters and digits: enough that a clash is rare, and retried anyway.
QString randomTag() {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString tag;
    for (int i = 0; i < 6; ++i)
        tag.append(QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]));
    return tag;
}

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Renames without replacing. File systems without renameat2's flag get a
// hard link (which fails on an existing name) and, failing that, a check
// before the rename.
int renameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return -1;
    if (::link(from, to) == 0) {
        ::unlink(from);
        return 0;
    }
    if (errno == EEXIST)
        return -1;
    struct stat existing;
    if (::lstat(to, &existing) == 0) {
        errno = EEXIST;
        return -1;
    }
    return std::rename(from, to);
}

} // namespace

PendingOutput::~PendingOutput() {
    discard();
}

void PendingOutput::create(const QString& finalPath) {
    discard();
    final_ = finalPath;
    MakeFolder(QFileInfo(finalPath).path());
    // A name the folder cannot hold fails here, before any audio is
    // written, as it would when the file is created under it.
    if (!OutputNames::NameFits(finalPath))
        throw Error(QStringLiteral("Cannot create %1: %2").arg(finalPath, reason(ENAMETOOLONG)));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = OutputNames::Temporary(finalPath, randomTag());
        // Created by this call alone (O_EXCL), with the mode of any new file.
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            temporary_ = candidate;
            return;
        }
        if (errno != EEXIST)
            break;
    }
    throw Error(QStringLiteral("Cannot create %1: %2").arg(finalPath, reason(errno)));
}

void PendingOutput::MakeFolder(const QString& folder) {
    if (folder.isEmpty())
        return;
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error)
        throw Error(QStringLiteral("Cannot create the folder %1: %2")
                        .arg(folder, QString::fromLocal8Bit(error.message())));
}

void PendingOutput::fail(int error) const {
    throw Error(QStringLiteral("Cannot complete %1: %2").arg(final_, reason(error)));
}

void PendingOutput::sync() const {
    // A full disk or a failing device may only show here, and the file must
    // be whole on the disk before its name says it is finished.
    const int fd = ::open(QFile::encodeName(temporary_).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(errno);
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!synced)
        fail(error);
}

void PendingOutput::complete(const std::function<QString()>& another) {
    sync();
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (renameNoReplace(QFile::encodeName(temporary_).constData(),
                            QFile::encodeName(final_).constData()) == 0) {
            temporary_.clear();
            return;
        }
        if (errno != EEXIST)
            fail(errno);
        final_ = another();
    }
    fail(EEXIST);
}

void PendingOutput::completeReplacing() {
    sync();
    const QByteArray from = QFile::encodeName(temporary_);
    const QByteArray to = QFile::encodeName(final_);
    struct stat old;
    if (::stat(to.constData(), &old) == 0)
        ::chmod(from.constData(), old.st_mode & 07777);
    if (std::rename(from.constData(), to.constData()) != 0)
        fail(errno);
    temporary_.clear();
}

void PendingOutput::discard() noexcept {
    if (temporary_.isEmpty())
        return;
    ::unlink(QFile::encodeName(temporary_).constData());
    temporary_.clear();
}

void PendingOutput::abandon() {
    const QString temporary = temporary_;
    discard();
    try {
        throw;
    } catch (const Error& e) {
        if (temporary.isEmpty() || !e.message().contains(temporary))
            throw;
        QString message = e.message();
        throw Error(message.replace(temporary, final_));
    }
}
