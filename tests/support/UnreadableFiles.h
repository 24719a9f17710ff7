#pragma once

#include <QFile>
#include <QString>

#include <sys/stat.h>

// Files the program must refuse to read whole: a FIFO nobody writes to, and a
// sparse file just past the largest settings file or sheet it reads (8 MB)
// that begins with `start`. Each returns `path`, or an empty text when the
// file could not be made.
struct UnreadableFiles {
    static constexpr qint64 TooLarge = 8 * 1024 * 1024 + 1;

    static QString fifo(const QString& path) {
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? path : QString();
    }
    static QString tooLarge(const QString& path, const QByteArray& start = {}) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(start) != start.size() ||
            !file.resize(TooLarge))
            return {};
        return path;
    }
};
