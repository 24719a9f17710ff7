#include "tags/SavedPermissions.h"

#include <QFile>

SavedPermissions::SavedPermissions(const QString& fileName)
    : fileName_(fileName), saved_(modeOf(fileName)) {}

QFileDevice::Permissions SavedPermissions::modeOf(const QString& fileName) {
    constexpr auto userFlags =
        QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    return QFile::permissions(fileName) & ~userFlags;
}

SavedPermissions::~SavedPermissions() {
    if (active_)
        QFile::setPermissions(fileName_, saved_);
}

void SavedPermissions::openUp() {
    if (!QFile::exists(fileName_))
        return;
    const auto wanted = saved_ | QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (wanted != saved_ && QFile::setPermissions(fileName_, wanted))
        active_ = true;
}
