#include "core/SheetText.h"

#include "platform/InputFile.h"

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
    return DecodeSheetText(InputFile::Read(path));
}
