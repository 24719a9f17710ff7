#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

// A file being written by an encoder. Every failure throws Error naming it.
class OutputFile {
public:
    // Creates or truncates the file.
    explicit OutputFile(const QString& path);

    const QString& path() const { return path_; }
    void write(const void* data, std::size_t size);
    // Appends `size` bytes of the open file `source` (named `sourceName`)
    // from `at` on, copied by the kernel where it can, so the bytes never
    // pass through the program. Returns the bytes copied: fewer only when
    // the source ends first.
    std::int64_t copyFrom(const QString& sourceName, int source, std::int64_t at,
                          std::int64_t size);
    // Overwrites bytes at the start of the file, then returns to its end.
    void rewriteStart(const void* data, std::size_t size) { rewriteAt(0, data, size); }
    // The same at `offset` bytes from the start.
    void rewriteAt(long offset, const void* data, std::size_t size);
    // Flushes and closes; reports a failed flush (a full disk shows up here).
    void close();

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    [[noreturn]] void fail(const char* what) const;

    static constexpr std::int64_t WriteBackBytes = 1 << 20;

    QString path_;
    std::unique_ptr<std::FILE, Closer> file_;
    std::int64_t writtenBack_ = 0; // copied bytes before this are on their way to the disk
    bool kernelCopies_ = true;     // until the kernel refuses a copy to this file
};
