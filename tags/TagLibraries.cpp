#include "tags/TagLibraries.h"

#include "platform/DataPaths.h"

namespace {

QString& folderOverride() {
    static QString folder;
    return folder;
}

QString& vorbisOverride() {
    static QString name;
    return name;
}

} // namespace

QString TagLibraries::folder() {
    return folderOverride().isEmpty() ? DataPaths::libraryFolder() : folderOverride();
}

void TagLibraries::setFolder(const QString& folder) {
    folderOverride() = folder;
}

QString TagLibraries::vceditPath() {
    return folder() + QStringLiteral("/libvcedit.so");
}

QString TagLibraries::wmaPath() {
    return folder() + QStringLiteral("/libwmaudsdk.so");
}

QString TagLibraries::vorbisName() {
    return vorbisOverride().isEmpty() ? QStringLiteral("libvorbis.so.0") : vorbisOverride();
}

void TagLibraries::setVorbisName(const QString& name) {
    vorbisOverride() = name;
}
