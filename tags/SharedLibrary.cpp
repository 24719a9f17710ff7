#include "tags/SharedLibrary.h"

#include <QFile>

#include <dlfcn.h>
#include <utility>

SharedLibrary::SharedLibrary(const QString& fileName)
    : handle_(::dlopen(QFile::encodeName(fileName).constData(), RTLD_NOW | RTLD_LOCAL)) {}

SharedLibrary::~SharedLibrary() {
    if (handle_ != nullptr)
        ::dlclose(handle_);
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr)
            ::dlclose(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void* SharedLibrary::address(const char* name) const {
    return handle_ != nullptr ? ::dlsym(handle_, name) : nullptr;
}
