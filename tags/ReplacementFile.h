#pragma once

#include <QFileDevice>
#include <QString>
#include <QTemporaryFile>

#include <functional>

class Error;

// The new version of an existing file, written beside it under a name no
// other file has and then renamed over it in one step: the file is always
// either the old version or the complete new one. Unless committed, the
// partly written file is removed.
//
// Writes go straight to the disk, unbuffered: a write the disk refuses fails
// at once with the system's reason (a full disk, a read-only file system),
// never later as a flush of a buffer that knows no reason.
class ReplacementFile {
public:
    explicit ReplacementFile(const QString& target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the new file ("<name>.XXXXXX.temp" in the target's folder).
    bool open();
    // Opens the new file holding a copy of `source` (the target as it
    // stands), for an editor that rewrites in place to work on. Throws
    // Error "Cannot open <source>: why" when the source cannot be read, and
    // `fail(why)` when the copy cannot be written.
    void openCopyOf(const QString& source, const std::function<Error(const QString&)>& fail);
    QFile& file() { return file_; }
    QString fileName() const { return reserved_.fileName(); }
    QString errorString() const { return error_; }

    // Writes all of `bytes`; false when the disk refuses them.
    bool write(const QByteArray& bytes);
    // Writes everything out to the disk and closes the new file; false when
    // the disk refuses (a full disk often shows only here).
    bool finish();
    // Finishes the file if that is still to do, gives it `permissions` and
    // puts it in the target's place. False (new file removed) on failure.
    bool commit(QFileDevice::Permissions permissions);

private:
    QString target_;
    QTemporaryFile reserved_; // holds the name; removed unless committed
    QFile file_;              // the same file, written without a buffer
    QString error_;
    bool finished_ = false;
};
