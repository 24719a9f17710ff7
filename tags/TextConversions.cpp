#include "tags/TextConversions.h"

QString Utf8ToWide(QByteArrayView utf8) {
    return QString::fromUtf8(utf8);
}

QByteArray WideToAnsi(const QString& wide) {
    return wide.toUtf8();
}

QString AnsiToWide(QByteArrayView ansi) {
    return QString::fromUtf8(ansi);
}

QByteArray WideToUtf8(const QString& wide) {
    return wide.toUtf8();
}
