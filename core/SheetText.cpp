#include "core/SheetText.h"

#include "platform/InputFile.h"

QString DecodeSheetText(const QByteArray& bytes) {
    return TextEncoding::Decode(bytes).text;
}

TextEncoding::Decoded ReadSheetText(const QString& path, const QString& forced) {
    return TextEncoding::Decode(InputFile::Read(path), forced);
}
