#include "engine/audio/FileStamp.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

FileStamp FileStamp::Of(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return {QFileInfo(path).absoluteFilePath(), status.st_dev, status.st_ino, status.st_size,
            status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec};
}
