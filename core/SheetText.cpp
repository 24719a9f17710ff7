#include "core/SheetText.h"

#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>

QString DecodeSheetText(const QByteArray& bytes) {
    return TextEncoding::Decode(bytes).text;
}

TextEncoding::Decoded ReadSheetText(const QString& path, const QString& forced) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot read %1: %2")
                        .arg(QFileInfo(path).fileName(), file.errorString()));
    return TextEncoding::Decode(file.readAll(), forced);
}
