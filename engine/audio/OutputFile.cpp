#include "engine/audio/OutputFile.h"

#include "platform/Error.h"

#include <QFile>

#include <cerrno>
#include <cstring>

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
