#pragma once

#include <QString>

#include <functional>

// An output file while it is being written. It lives under a hidden
// temporary name beside its final one (OutputNames::Temporary) and takes the
// final name only once it is complete and tagged, so an output that failed
// or was never finished is never mistaken for a finished one. Whatever ends
// it unfinished removes the temporary file; only a killed program leaves
// one behind, and that one keeps its final name taken, never overwritten.
class PendingOutput {
public:
    PendingOutput() = default;
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    // Creates the empty temporary file for `finalPath`, and its folder when
    // that is missing; the writer then opens path(). Throws Error naming
    // `finalPath` (or the folder) when the folder refuses it.
    void create(const QString& finalPath);
    const QString& path() const { return temporary_; }
    const QString& finalPath() const { return final_; }

    // Puts the complete file on the disk and gives it its final name, never
    // over a file: when one of that name has appeared meanwhile, the name
    // `another` gives is taken instead. Throws Error on failure (the file
    // stays pending).
    void complete(const std::function<QString()>& another);
    // The same, replacing a file of the final name (the user agreed to it);
    // the new file keeps the old one's permissions.
    void completeReplacing();

    // Removes the temporary file, if any.
    void discard() noexcept;
    // Inside an exception handler: discards the file and rethrows, an
    // Error's message naming the final file instead of the temporary one.
    [[noreturn]] void abandon();

    // Creates `folder` and those above it where missing; throws Error saying
    // why one cannot be.
    static void MakeFolder(const QString& folder);

private:
    void sync() const;
    [[noreturn]] void fail(int error) const;

    QString final_;
    QString temporary_;
};
