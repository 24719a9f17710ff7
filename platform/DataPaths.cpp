#include "platform/DataPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <initializer_list>

// TARNWELL_DATA_FROM_BIN and TARNWELL_LIBRARIES_FROM_BIN, set by the build
// from its install layout, are the installed folders relative to the
// executable's folder (for example "../share/tarnwell").

namespace {

QString locate(const QString& programFolder, std::initializer_list<const char*> markers,
               const char* installed) {
    for (const char* marker : markers) {
        if (QFileInfo::exists(programFolder + QLatin1Char('/') + QLatin1String(marker)))
            return programFolder;
    }
    return QDir::cleanPath(programFolder + QLatin1Char('/') + QLatin1String(installed));
}

} // namespace

QString DataPaths::dataFolder() {
    return dataFolder(programFolder());
}

QString DataPaths::libraryFolder() {
    return libraryFolder(programFolder());
}

QString DataPaths::dataFolder(const QString& programFolder) {
    return locate(programFolder, {"mp3enc.dll", "help"}, TARNWELL_DATA_FROM_BIN);
}

QString DataPaths::libraryFolder(const QString& programFolder) {
    return locate(programFolder, {"libvcedit.so", "libwmaudsdk.so"}, TARNWELL_LIBRARIES_FROM_BIN);
}

QString DataPaths::programFolder() {
    if (QCoreApplication::instance() != nullptr)
        return QCoreApplication::applicationDirPath();
    // Before the application object exists (and in tools without one).
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path();
}
