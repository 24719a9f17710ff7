#pragma once

#include <QString>

#include <cstddef>
#include <cstdio>
#include <memory>

// A file being written by an encoder. Every failure throws Error naming it.
class OutputFile {
public:
    // Creates or truncates the file.
    explicit OutputFile(const QString& path);

    const QString& path() const { return path_; }
    void write(const void* data, std::size_t size);
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

    QString path_;
    std::unique_ptr<std::FILE, Closer> file_;
};
