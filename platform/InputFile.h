#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A file the program reads whole to take its settings or its pieces from:
// the settings file, a cue sheet, a label file. Only a regular file of at
// most MaxBytes is read. A FIFO would keep the program waiting for a writer
// it may never get, and a device such as /dev/zero would feed it without end,
// so both are refused before anything is read from them.
class InputFile {
public:
    // Far more than any of these files holds; the message names it.
    static constexpr qint64 MaxBytes = 8 * 1024 * 1024;

    // The whole file. Throws Error "Cannot read <name>: <why>" for a file
    // that is missing, not a regular file, larger than MaxBytes or unreadable.
    static QByteArray Read(const QString& path);
    // The same, but nothing, without an error, where the file or its folder
    // is not there.
    static std::optional<QByteArray> ReadIfPresent(const QString& path);
};
