#include "platform/FileHandle.h"

#include <unistd.h>

#include <utility>

FileHandle::~FileHandle() {
    reset();
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other)
        reset(other.release());
    return *this;
}

void FileHandle::reset(int fd) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

int FileHandle::release() {
    return std::exchange(fd_, -1);
}
