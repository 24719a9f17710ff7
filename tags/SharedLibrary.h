#pragma once

#include <QString>

// A shared library opened with dlopen and closed when this goes away. A file
// that cannot be loaded gives an object that resolves nothing.
class SharedLibrary {
public:
    // `fileName` is a path, or a bare name searched the way the system
    // searches for libraries.
    explicit SharedLibrary(const QString& fileName);
    ~SharedLibrary();
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool isLoaded() const { return handle_ != nullptr; }

    // The function `name`, or null when the library or the function is missing.
    template <class Function> Function resolve(const char* name) const {
        return reinterpret_cast<Function>(address(name));
    }

private:
    void* address(const char* name) const;

    void* handle_ = nullptr;
};
