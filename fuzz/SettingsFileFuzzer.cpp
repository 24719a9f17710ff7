// The settings file: the input is a value, the byte that ends it, the file's
// bytes and a last byte choosing one of the program's keys (the layout the
// seed program writes). Every key is read, then the chosen key is written
// with the value and the file read again. Lines other than the key's own are
// kept byte for byte with their line ends (a last line without one may get
// one), the key gets exactly one line, and a value that fits on one line
// reads back as written.

#include "fuzz/FuzzEnvironment.h"
#include "platform/Error.h"
#include "platform/SettingsFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QList>

#include <cstdint>
#include <iterator>

namespace {

const QString FileName = QStringLiteral("Velmora.ini");

struct Key {
    const char* section;
    const char* name;
};

// Keys the program reads and writes, in both spellings it meets.
const Key Keys[] = {
    {"Output", "Dir"},           {"Function", "Choice"}, {"Choice", "time"},
    {"Choice", "Count"},         {"Fade", "In"},         {"Fade", "Intime"},
    {"MP3VBR", "Coding Method"}, {"RQD", "Skin"},        {"mp3vbr", "CODING METHOD"},
};

// The file's lines, each with its "\n" if it has one.
QList<QByteArray> linesOf(const QByteArray& bytes) {
    QList<QByteArray> lines;
    for (qsizetype from = 0; from < bytes.size();) {
        const qsizetype end = bytes.indexOf('\n', from);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        lines.append(bytes.mid(from, next - from));
        from = next;
    }
    return lines;
}

// A line without its line end.
QByteArray textOf(QByteArray line) {
    if (line.endsWith('\n'))
        line.chop(line.endsWith("\r\n") ? 2 : 1);
    return line;
}

// The same line of the old and the new file: the old file's last line may
// have been given a line end when something was written after it.
bool sameLine(const QByteArray& before, const QByteArray& after) {
    return before == after ||
           (!before.endsWith('\n') && (after == before + '\n' || after == before + "\r\n"));
}

bool isSectionLine(const QByteArray& line, const QString& section) {
    return QString::fromUtf8(textOf(line))
               .trimmed()
               .compare(QLatin1Char('[') + section + QLatin1Char(']'), Qt::CaseInsensitive) == 0;
}

bool isKeyLine(const QByteArray& line, const QString& key) {
    const QString text = QString::fromUtf8(textOf(line));
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    return !text.trimmed().startsWith(QLatin1Char(';')) && equals > 0 &&
           text.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0;
}

// The new file is the old one with the key's line changed or added, or with
// the section and the key added at the end.
void checkOnlyTheKeyChanged(const QList<QByteArray>& before, const QList<QByteArray>& after,
                            const QString& section, const QString& key) {
    qsizetype same = 0;
    while (same < before.size() && same < after.size() && sameLine(before[same], after[same]))
        ++same;
    qsizetype tail = 0;
    while (tail < before.size() - same && tail < after.size() - same &&
           sameLine(before[before.size() - 1 - tail], after[after.size() - 1 - tail]))
        ++tail;
    const QList<QByteArray> removed = before.mid(same, before.size() - same - tail);
    const QList<QByteArray> added = after.mid(same, after.size() - same - tail);
    if (removed.isEmpty() && added.isEmpty())
        return;
    require(removed.size() <= 1, "a write changed lines other than the key's");
    if (added.size() == 1) {
        require(isKeyLine(added[0], key), "a write added a line that is not the key's");
        return;
    }
    require(removed.isEmpty() && added.size() == 2 && isSectionLine(added[0], section) &&
                isKeyLine(added[1], key),
            "a write changed the file in more than the key's line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FuzzEnvironment& scratch = FuzzEnvironment::instance();
    FuzzedDataProvider input(data, size);
    const Key& chosen = Keys[input.ConsumeIntegralInRange<std::size_t>(0, std::size(Keys) - 1)];
    const std::string valueBytes = input.ConsumeRandomLengthString();
    const QString value = QString::fromUtf8(valueBytes.data(), qsizetype(valueBytes.size()));
    const std::vector<char> fileBytes = input.ConsumeRemainingBytes<char>();
    const QByteArray before(fileBytes.data(), qsizetype(fileBytes.size()));
    scratch.write(FileName, before);

    SettingsFile settings(scratch.path(FileName));
    for (const Key& key : Keys) {
        const QString section = QString::fromLatin1(key.section);
        const QString name = QString::fromLatin1(key.name);
        const QString text = settings.ReadString(section, name, QString());
        require(text.size() <= SettingsFile::MaxStringLength, "a value longer than the limit");
        int number = 0;
        if (SettingsFile::parseInteger(text, number))
            require(settings.ReadInteger(section, name, number ^ 1) == number,
                    "a number reads differently as a string and as an integer");
        settings.ReadBool(section, name, true);
    }

    const QString section = QString::fromLatin1(chosen.section);
    const QString key = QString::fromLatin1(chosen.name);
    try {
        settings.WriteString(section, key, value);
    } catch (const Error&) {
        require(scratch.read(FileName) == before, "a failed write changed the file");
        return 0;
    }
    const QByteArray after = scratch.read(FileName);
    checkOnlyTheKeyChanged(linesOf(before), linesOf(after), section, key);
    const bool oneLine = !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r'));
    if (oneLine && value == value.trimmed())
        require(settings.ReadString(section, key, QStringLiteral("-")) ==
                    value.left(SettingsFile::MaxStringLength),
                "a written value reads back differently");
    return 0;
}
