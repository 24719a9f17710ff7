#include "core/SheetText.h"

#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

QString DecodeSheetText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        // Older sheets come from Windows programs.
        QStringDecoder windows("windows-1252");
        text = windows.isValid() ? windows.decode(bytes) : QString::fromLatin1(bytes);
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

QString ReadSheetText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot read %1: %2")
                        .arg(QFileInfo(path).fileName(), file.errorString()));
    return DecodeSheetText(file.readAll());
}
