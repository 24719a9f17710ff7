#include "engine/audio/OggFileView.h"

#include "platform/Error.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

OggFileView::OggFileView(const QString& path) {
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0) {
        const int error = errno;
        if (fd_ >= 0)
            ::close(fd_);
        throw Error(QStringLiteral("Cannot open %1: %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    size_ = status.st_size;
}

OggFileView::~OggFileView() {
    ::close(fd_);
}

std::int64_t OggFileView::fileOffset(std::int64_t offset, std::int64_t* nextHidden) const {
    // The last range left out that begins at or before the offset, counted
    // in the view.
    std::size_t lo = 0;
    std::size_t hi = hidden_.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (hidden_[mid].begin - hiddenBefore_[mid] <= offset)
            lo = mid + 1;
        else
            hi = mid;
    }
    const std::int64_t at =
        lo == 0 ? offset
                : offset + hiddenBefore_[lo - 1] + (hidden_[lo - 1].end - hidden_[lo - 1].begin);
    if (nextHidden)
        *nextHidden = lo < hidden_.size() ? hidden_[lo].begin : -1;
    return at;
}

void OggFileView::leaveOut(const std::vector<Range>& ranges) {
    std::vector<Range> file;
    for (const Range& range : ranges) {
        const std::int64_t begin = fileOffset(range.begin);
        file.push_back({begin, begin + (range.end - range.begin)});
        size_ -= range.end - range.begin;
    }
    hidden_.insert(hidden_.end(), file.begin(), file.end());
    std::sort(hidden_.begin(), hidden_.end(),
              [](const Range& a, const Range& b) { return a.begin < b.begin; });
    hiddenBefore_.assign(hidden_.size(), 0);
    for (std::size_t i = 1; i < hidden_.size(); ++i)
        hiddenBefore_[i] = hiddenBefore_[i - 1] + (hidden_[i - 1].end - hidden_[i - 1].begin);
}

long OggFileView::readAt(std::int64_t offset, char* buffer, std::size_t bytes) const {
    if (offset < 0 || offset >= size_)
        return 0;
    std::int64_t nextHidden = -1;
    const std::int64_t at = fileOffset(offset, &nextHidden);
    // Up to the next range left out, so that one read is one run of bytes.
    std::int64_t until = at + static_cast<std::int64_t>(bytes);
    if (nextHidden >= 0)
        until = std::min(until, nextHidden);
    ssize_t got = 0;
    do {
        got = ::pread(fd_, buffer, static_cast<std::size_t>(until - at), static_cast<off_t>(at));
    } while (got < 0 && errno == EINTR);
    return static_cast<long>(got);
}

long OggFileView::read(char* buffer, std::size_t bytes) {
    const long got = readAt(position_, buffer, bytes);
    if (got > 0)
        position_ += got;
    return got;
}

int OggFileView::seek(std::int64_t offset, int whence) {
    const std::int64_t base = whence == SEEK_CUR ? position_ : whence == SEEK_END ? size_ : 0;
    if (base + offset < 0)
        return -1;
    position_ = base + offset;
    return 0;
}
