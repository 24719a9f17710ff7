#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Conversions between the encodings the tag libraries want and the
// program's own. The program's 8-bit text ("ANSI") is UTF-8, so no character
// is lost on the way; malformed UTF-8 reads as U+FFFD.
QString Utf8ToWide(QByteArrayView utf8);
QByteArray WideToAnsi(const QString& wide);
QString AnsiToWide(QByteArrayView ansi);
QByteArray WideToUtf8(const QString& wide);
