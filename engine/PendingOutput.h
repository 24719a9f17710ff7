#pragma once

#include "platform/FileHandle.h"

#include <QString>
#include <QStringList>

#include <functional>

// An output file while it is being written. It lives under a hidden
// temporary name beside its final one (OutputNames::Temporary) and takes the
// final name only once it is complete and tagged, so an output that failed
// or was never finished is never mistaken for a finished one. Whatever ends
// it unfinished removes the temporary file.
//
// Only a killed program leaves one behind. To tell those from the outputs
// other copies of the program are writing, a pending output holds an
// exclusive lock (flock) on its temporary until it is done; a later output
// in the same folder removes the temporaries nobody holds (RemoveLeftovers).
class PendingOutput {
public:
    // A temporary that has not changed for this long and that nobody holds
    // is a leftover. A file just written is never taken for one, even in the
    // moment a tag writer has put a new file in its place and the lock is
    // not yet on it.
    static constexpr int LeftoverSeconds = 60;

    PendingOutput() = default;
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    // Creates the empty temporary file for `finalPath`, and its folder when
    // that is missing; the writer then opens path(). Removes the folder's
    // leftovers first. Throws Error naming `finalPath` (or the folder) when
    // the folder refuses it.
    void create(const QString& finalPath);
    const QString& path() const { return temporary_; }
    const QString& finalPath() const { return final_; }

    // Gives the complete file its final name, never over a file: when one
    // of that name has appeared meanwhile, the name `another` gives is taken
    // instead. Its writing to the disk is started, not waited for (see
    // SyncCompleted). Throws Error on failure (the file stays pending).
    void complete(const std::function<QString()>& another);
    // The same, replacing a file of the final name (the user agreed to it);
    // the new file keeps the old one's permissions.
    void completeReplacing();

    // Removes the temporary file, if any.
    void discard() noexcept;
    // Inside an exception handler: discards the file and rethrows, an
    // Error's message naming the final file instead of the temporary one.
    [[noreturn]] void abandon();

    // Waits until the outputs completed so far in the folders `waitsFor`
    // picks, and their names, are on the disk; returns a message for each
    // folder the disk refused (an error in writing any of its files shows
    // here). By default, the folders on drives one unplugs (RemovableMedia):
    // the kernel puts the rest on the disk in its own time, as it does other
    // programs' files, and a run need not stand waiting for that.
    static QStringList
    SyncCompleted(const std::function<bool(const QString& folder)>& waitsFor = {});

    // Whether the temporary at `path` is a leftover: a plain file nobody
    // holds that has not changed for LeftoverSeconds.
    static bool Abandoned(const QString& path);
    // Removes the leftovers among the temporaries in `folder`; returns how
    // many went. Nothing else is touched.
    static int RemoveLeftovers(const QString& folder);
    // Creates `folder` and those above it where missing; throws Error saying
    // why one cannot be.
    static void MakeFolder(const QString& folder);

private:
    // The temporary, opened and locked; invalid when it is not a leftover.
    static FileHandle lockLeftover(const QString& path);
    // Holds the temporary's file again: a tag writer may have put a new
    // file in its place.
    void relock();
    // Starts writing the file to the disk.
    void startSync() const;
    // The file has its final name: its folder waits for SyncCompleted.
    void named();
    [[noreturn]] void fail(int error) const;

    QString final_;
    QString temporary_;
    FileHandle lock_; // open on the temporary, locked while it is pending
};
