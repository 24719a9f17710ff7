#include "tags/WmaTagBuffer.h"

#include "tags/TextConversions.h"

#include <cstring>

QByteArray WmaFieldText(const char* field, std::size_t width) {
    const void* zero = std::memchr(field, 0, width);
    const std::size_t length =
        zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : width;
    return QByteArray(field, static_cast<qsizetype>(length));
}

void SetWmaField(char* field, std::size_t width, const QString& text) {
    const QByteArray bytes = WideToAnsi(text);
    auto length = static_cast<std::size_t>(bytes.size());
    if (length > width) {
        length = width;
        // Back up to the first byte of a UTF-8 sequence.
        while (length > 0 &&
               (static_cast<unsigned char>(bytes[static_cast<qsizetype>(length)]) & 0xC0) == 0x80)
            --length;
    }
    std::memset(field, 0, width);
    std::memcpy(field, bytes.constData(), length);
}
