#include "tags/CheckedFileStream.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr long ChunkBytes = 1 << 16;
}

CheckedFileStream::CheckedFileStream(const QString& path)
    : path_(QFile::encodeName(path)), file_(::open(path_.constData(), O_RDWR | O_CLOEXEC)) {
    if (!file_)
        fail(errno);
}

void CheckedFileStream::fail(int error) {
    if (failure_.isEmpty())
        failure_ = QString::fromLocal8Bit(std::strerror(error != 0 ? error : EIO));
}

TagLib::FileName CheckedFileStream::name() const {
    return path_.constData();
}

bool CheckedFileStream::readAt(long at, char* data, long size) {
    while (size > 0) {
        const ssize_t got = ::pread(file_.fd(), data, static_cast<size_t>(size), at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got < 0)
                fail(errno);
            return false;
        }
        data += got;
        at += got;
        size -= got;
    }
    return true;
}

bool CheckedFileStream::writeAt(long at, const char* data, long size) {
    // After a refused write the file is no longer what TagLib thinks it is.
    if (!failure_.isEmpty())
        return false;
    while (size > 0) {
        const ssize_t put = ::pwrite(file_.fd(), data, static_cast<size_t>(size), at);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            // A short write says nothing of why; the retry meets the reason.
            fail(put < 0 ? errno : ENOSPC);
            return false;
        }
        data += put;
        at += put;
        size -= put;
    }
    return true;
}

TagLib::ByteVector CheckedFileStream::readBlock(unsigned long length) {
    const long size = std::clamp<long>(this->length() - position_, 0, static_cast<long>(length));
    TagLib::ByteVector block(static_cast<unsigned int>(size), '\0');
    if (size > 0 && !readAt(position_, block.data(), size))
        return {};
    position_ += size;
    return block;
}

void CheckedFileStream::writeBlock(const TagLib::ByteVector& data) {
    if (writeAt(position_, data.data(), static_cast<long>(data.size())))
        position_ += static_cast<long>(data.size());
}

bool CheckedFileStream::shift(long from, long to) {
    const long end = length();
    if (from == to || from >= end)
        return true;
    std::vector<char> buffer(ChunkBytes);
    if (to > from) {
        // Moved back to front, so no byte is overwritten before it moved.
        for (long left = end; left > from;) {
            const long size = std::min(ChunkBytes, left - from);
            left -= size;
            if (!readAt(left, buffer.data(), size) ||
                !writeAt(left + (to - from), buffer.data(), size))
                return false;
        }
        return true;
    }
    for (long at = from; at < end;) {
        const long size = std::min(ChunkBytes, end - at);
        if (!readAt(at, buffer.data(), size) || !writeAt(at - (from - to), buffer.data(), size))
            return false;
        at += size;
    }
    truncate(end - (from - to));
    return failure_.isEmpty();
}

void CheckedFileStream::insert(const TagLib::ByteVector& data, unsigned long start,
                               unsigned long replace) {
    const auto at = static_cast<long>(start);
    const auto size = static_cast<long>(data.size());
    if (!shift(at + static_cast<long>(replace), at + size))
        return;
    if (writeAt(at, data.data(), size))
        position_ = at + size;
}

void CheckedFileStream::removeBlock(unsigned long start, unsigned long length) {
    const auto at = static_cast<long>(start);
    shift(at + static_cast<long>(length), at);
}

void CheckedFileStream::seek(long offset, Position p) {
    switch (p) {
    case Beginning:
        position_ = offset;
        break;
    case Current:
        position_ += offset;
        break;
    case End:
        position_ = length() + offset;
        break;
    }
    position_ = std::max(position_, 0L);
}

long CheckedFileStream::length() {
    struct stat info;
    if (!file_ || ::fstat(file_.fd(), &info) != 0)
        return 0;
    return static_cast<long>(info.st_size);
}

void CheckedFileStream::truncate(long length) {
    if (failure_.isEmpty() && ::ftruncate(file_.fd(), length) != 0)
        fail(errno);
}
