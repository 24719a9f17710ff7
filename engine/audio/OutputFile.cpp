#include "engine/audio/OutputFile.h"

#include "platform/Error.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

OutputFile::OutputFile(const QString& path) : path_(path) {
    file_.reset(std::fopen(QFile::encodeName(path).constData(), "wb"));
    if (!file_)
        throw Error(QStringLiteral("Cannot create %1: %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
}

void OutputFile::fail(const char* what) const {
    throw Error(
        QStringLiteral("Cannot %1 %2: %3")
            .arg(QString::fromLatin1(what), path_, QString::fromLocal8Bit(std::strerror(errno))));
}

void OutputFile::write(const void* data, std::size_t size) {
    if (size == 0)
        return;
    if (!file_)
        throw Error(QStringLiteral("Cannot write %1: the file is closed").arg(path_));
    if (std::fwrite(data, 1, size, file_.get()) != size)
        fail("write");
}

std::int64_t OutputFile::copyFrom(const QString& sourceName, int source, std::int64_t at,
                                  std::int64_t size) {
    if (!file_)
        throw Error(QStringLiteral("Cannot write %1: the file is closed").arg(path_));
    if (std::fflush(file_.get()) != 0)
        fail("write");
    const int out = fileno(file_.get());
    const auto failCopy = [&] {
        throw Error(QStringLiteral("Cannot copy %1 to %2: %3")
                        .arg(sourceName, path_, QString::fromLocal8Bit(std::strerror(errno))));
    };
    off_t from = at;
    std::int64_t copied = 0;
    while (copied < size && kernelCopies_) {
        const ssize_t n = ::copy_file_range(source, &from, out, nullptr,
                                            static_cast<std::size_t>(size - copied), 0);
        if (n > 0)
            copied += n;
        else if (n == 0)
            break; // the source ended
        else if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                 errno == EPERM || errno == EBADF || errno == ETXTBSY)
            kernelCopies_ = false; // files the kernel will not copy between, or an old kernel
        else if (errno != EINTR)
            failCopy();
    }
    if (copied < size && !kernelCopies_) {
        std::vector<char> buffer(static_cast<std::size_t>(std::min<std::int64_t>(size, 1 << 18)));
        while (copied < size) {
            const ssize_t n = ::pread(
                source, buffer.data(),
                static_cast<std::size_t>(std::min<std::int64_t>(size - copied, buffer.size())),
                from);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                failCopy();
            if (n == 0)
                break;
            write(buffer.data(), static_cast<std::size_t>(n));
            from += n;
            copied += n;
        }
    }
    // Flushed, and on from the new end the kernel's copy left.
    if (std::fseek(file_.get(), 0, SEEK_END) != 0)
        fail("write");
    // A copy outruns the disk: the bytes copied start on their way there
    // every few megabytes, so the wait for the disk when the run ends is for
    // the last few only.
    const off_t end = ::lseek(out, 0, SEEK_CUR);
    if (end - writtenBack_ >= WriteBackBytes) {
        ::sync_file_range(out, writtenBack_, end - writtenBack_, SYNC_FILE_RANGE_WRITE);
        writtenBack_ = end;
    }
    return copied;
}

void OutputFile::rewriteAt(long offset, const void* data, std::size_t size) {
    if (!file_)
        throw Error(QStringLiteral("Cannot write %1: the file is closed").arg(path_));
    if (std::fseek(file_.get(), offset, SEEK_SET) != 0)
        fail("write");
    write(data, size);
    if (std::fseek(file_.get(), 0, SEEK_END) != 0)
        fail("write");
}

void OutputFile::close() {
    if (!file_)
        return;
    std::FILE* file = file_.release();
    const bool flushed = std::fflush(file) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!flushed) {
        errno = flushError;
        fail("complete");
    }
    if (!closed)
        fail("complete");
}
