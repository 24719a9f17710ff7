#pragma once

#include "core/TextEncoding.h"

#include <QByteArray>
#include <QString>

// The text of a cue sheet or label file, as other programs save them: in
// the encoding TextEncoding finds, or in `forced` when it is not empty. Line
// ends are "\n", "\r\n" or "\r".
QString DecodeSheetText(const QByteArray& bytes);
// Reads and decodes such a file; throws Error naming it when it cannot be
// read, is not a regular file or is larger than InputFile::MaxBytes, or
// `forced` is no encoding.
TextEncoding::Decoded ReadSheetText(const QString& path, const QString& forced = QString());
