#pragma once

#include <QString>

#include <sys/types.h>

// A file as it is on disk: what is learnt from reading it holds while all
// of this stays the same. A file written anew gets a new modification time,
// one renamed into place a new inode.
struct FileStamp {
    QString path; // absolute
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1; // -1 when the file cannot be looked at
    long long modifiedNs = 0;

    static FileStamp Of(const QString& path);
    bool operator==(const FileStamp&) const = default;
};
