#pragma once

#include <QFileDevice>
#include <QString>

// The permissions a file had before a tag writer touched it. The writer may
// open them up for its work; they are set back when this goes away unless
// the writer has already given them to the file's new version.
class SavedPermissions {
public:
    explicit SavedPermissions(const QString& fileName);
    ~SavedPermissions();
    SavedPermissions(const SavedPermissions&) = delete;
    SavedPermissions& operator=(const SavedPermissions&) = delete;

    QFileDevice::Permissions saved() const { return saved_; }
    // The mode bits of a file (owner, group, others). Qt's "user" flags say
    // what the running user may do, and would come back as owner bits.
    static QFileDevice::Permissions modeOf(const QString& fileName);
    // Makes the file readable and writable by its owner for the work.
    void openUp();
    // The permissions are in place already; nothing to restore.
    void dismiss() { active_ = false; }

private:
    QString fileName_;
    QFileDevice::Permissions saved_;
    bool active_ = false;
};
