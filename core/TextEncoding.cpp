#include "core/TextEncoding.h"

#include "platform/Error.h"

#include <QStringDecoder>

#include <uchardet/uchardet.h>

#include <cerrno>
#include <iconv.h>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

namespace {

struct UchardetDelete {
    void operator()(uchardet_t detector) const { uchardet_delete(detector); }
};
using Detector = std::unique_ptr<std::remove_pointer_t<uchardet_t>, UchardetDelete>;

struct IconvClose {
    void operator()(iconv_t converter) const { iconv_close(converter); }
};
using Converter = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvClose>;

// A converter from `name` to UTF-8; empty when iconv does not know the name.
Converter toUtf8From(const QString& name) {
    const iconv_t converter = iconv_open("UTF-8", name.toLatin1().constData());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return {};
    return Converter(converter);
}

// Qt's own decoders, whatever its build: the Unicode forms. The code pages
// go through glibc's iconv, which knows all of them on every system, where
// Qt knows them only when it was built with ICU.
std::optional<QStringConverter::Encoding> unicodeForm(const QString& name) {
    const QString upper = name.toUpper();
    if (upper == QLatin1String("UTF-8") || upper == QLatin1String("UTF8"))
        return QStringConverter::Utf8;
    if (upper == QLatin1String("UTF-16LE"))
        return QStringConverter::Utf16LE;
    if (upper == QLatin1String("UTF-16BE"))
        return QStringConverter::Utf16BE;
    if (upper == QLatin1String("UTF-16"))
        return QStringConverter::Utf16; // by its mark, big-endian without
    return std::nullopt;
}

// `bytes` decoded by Qt; nothing when `strict` and a byte does not decode.
std::optional<QString> decodeUnicode(const QByteArray& bytes, QStringConverter::Encoding form,
                                     bool strict) {
    QStringDecoder decoder(form, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (strict && decoder.hasError())
        return std::nullopt;
    return text;
}

// `bytes` decoded by iconv; nothing when `strict` and a byte does not
// decode, else such bytes become U+FFFD.
std::optional<QString> decodeCodePage(const QByteArray& bytes, const QString& name, bool strict) {
    const Converter converter = toUtf8From(name);
    if (!converter)
        return std::nullopt;
    std::string utf8;
    char* in = const_cast<char*>(bytes.constData()); // iconv's interface; it only reads
    size_t inLeft = static_cast<size_t>(bytes.size());
    char chunk[4096];
    while (inLeft > 0) {
        char* out = chunk;
        size_t outLeft = sizeof chunk;
        const size_t done = iconv(converter.get(), &in, &inLeft, &out, &outLeft);
        const int error = errno;
        utf8.append(chunk, static_cast<size_t>(out - chunk));
        if (done != static_cast<size_t>(-1) || error == E2BIG)
            continue;
        // A byte that is no character here, or a character cut off by the
        // end of the file.
        if (strict)
            return std::nullopt;
        utf8.append("\xEF\xBF\xBD");
        ++in;
        --inLeft;
        iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return QString::fromStdString(utf8);
}

std::optional<QString> decodeIn(const QByteArray& bytes, const QString& name, bool strict) {
    if (const auto form = unicodeForm(name))
        return decodeUnicode(bytes, *form, strict);
    return decodeCodePage(bytes, name, strict);
}

// The encoding uchardet names for `bytes`; empty when it finds none.
QString detected(const QByteArray& bytes) {
    const Detector detector(uchardet_new());
    if (!detector || uchardet_handle_data(detector.get(), bytes.constData(),
                                          static_cast<size_t>(bytes.size())) != 0)
        return {};
    uchardet_data_end(detector.get());
    const QString name = QString::fromLatin1(uchardet_get_charset(detector.get()));
    // Windows programs write Windows-1252 where a detector sees Latin-1:
    // the same letters, and quotes and dashes where Latin-1 has controls.
    if (name.compare(QLatin1String("ISO-8859-1"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("WINDOWS-1252");
    return name;
}

QString withoutMark(QString text) {
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

} // namespace

TextEncoding::Decoded TextEncoding::Decode(const QByteArray& bytes, const QString& forced) {
    if (!forced.isEmpty()) {
        if (!IsKnown(forced))
            throw Error(QStringLiteral("Unknown text encoding \"%1\"").arg(forced));
        return {withoutMark(*decodeIn(bytes, forced, false)), forced};
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {withoutMark(*decodeIn(bytes, QStringLiteral("UTF-8"), false)),
                QStringLiteral("UTF-8")};
    for (const char* form : {"UTF-16LE", "UTF-16BE"}) {
        const bool little = form[6] == 'L';
        if (bytes.startsWith(little ? "\xFF\xFE" : "\xFE\xFF"))
            return {withoutMark(*decodeIn(bytes, QLatin1String(form), false)), QLatin1String(form)};
    }
    // Valid UTF-8 is UTF-8: text in a code page hardly ever is, while
    // uchardet takes a sheet with one accented title for Windows-1250.
    if (const auto text = decodeIn(bytes, QStringLiteral("UTF-8"), true))
        return {withoutMark(*text), QStringLiteral("UTF-8")};
    // A guess is taken only when the whole text decodes in it.
    const QString guess = detected(bytes);
    if (!guess.isEmpty() && guess.compare(QLatin1String("ASCII"), Qt::CaseInsensitive) != 0)
        if (const auto text = decodeIn(bytes, guess, true))
            return {withoutMark(*text), guess};
    const QString windows = QStringLiteral("WINDOWS-1252");
    return {withoutMark(*decodeIn(bytes, windows, false)), windows};
}

bool TextEncoding::IsKnown(const QString& name) {
    return !name.isEmpty() && (unicodeForm(name) || toUtf8From(name));
}
