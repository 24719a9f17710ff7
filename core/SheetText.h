#pragma once

#include <QByteArray>
#include <QString>

// The text of a cue sheet or label file, as other programs save them: UTF-8
// with or without a byte order mark, or an older 8-bit file, taken as
// Windows-1252 (Latin-1 where that is missing) when it is not valid UTF-8. Line ends are "\n",
// "\r\n" or "\r".
QString DecodeSheetText(const QByteArray& bytes);
// Reads and decodes such a file; throws Error naming it when it cannot be
// read, is not a regular file or is larger than InputFile::MaxBytes.
QString ReadSheetText(const QString& path);
