#include "platform/SettingsFile.h"

#include "platform/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <optional>

namespace {

const QString kFileName = QStringLiteral("Velmora.ini");

// The section name of a "[name]" line, or nothing for any other line.
std::optional<QString> sectionOf(const QString& line) {
    const QString trimmed = line.trimmed();
    if (trimmed.size() < 2 || !trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return trimmed.mid(1, close - 1).trimmed();
}

// Splits "key=value" at the first equals sign; comments and blank lines have none.
bool splitEntry(const QString& line, QString& key, QString& value) {
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')))
        return false;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    key = line.left(eq).trimmed();
    value = line.mid(eq + 1).trimmed();
    return true;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A written text with each line break (CR LF, CR or LF) turned into a space:
// anything written stays on its one line of the file.
QString oneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

SettingsFile::SettingsFile(QString path) : path_(std::move(path)) {}

QString SettingsFile::defaultPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.config");
    return QDir(folder).filePath(kFileName);
}

bool SettingsFile::parseInteger(const QString& text, int& value) {
    const QString t = text.trimmed();
    bool ok = false;
    if (t.size() > 2 && (t.startsWith(QLatin1String("0x")) || t.startsWith(QLatin1String("0X")))) {
        // Hexadecimal covers the full 32 bits, so 0xFFFFFFFF reads as -1.
        const QString digits = t.mid(2);
        if (digits.size() > 8)
            return false;
        const uint parsed = digits.toUInt(&ok, 16);
        if (!ok)
            return false;
        value = static_cast<int>(parsed);
        return true;
    }
    // Only an optional sign and digits; no blanks, no "+", no other bases.
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (!(c.isDigit() && c.unicode() < 128) && !(i == 0 && c == QLatin1Char('-')))
            return false;
    }
    const int parsed = t.toInt(&ok, 10);
    if (!ok)
        return false;
    value = parsed;
    return true;
}

std::vector<SettingsFile::Line> SettingsFile::readLines() const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<Line> lines;
    qsizetype from = 0;
    while (from < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', from);
        Line line;
        if (newline < 0) {
            line.bytes = bytes.mid(from);
            from = bytes.size();
        } else {
            line.bytes = bytes.mid(from, newline - from);
            line.ending = QByteArrayLiteral("\n");
            if (line.bytes.endsWith('\r')) {
                line.bytes.chop(1);
                line.ending.prepend('\r');
            }
            from = newline + 1;
        }
        line.text = QString::fromUtf8(line.bytes);
        lines.push_back(std::move(line));
    }
    return lines;
}

bool SettingsFile::findValue(const std::vector<Line>& lines, const QString& section,
                             const QString& key, QString& value) {
    bool inSection = false;
    for (const Line& line : lines) {
        if (const auto name = sectionOf(line.text)) {
            inSection = sameName(*name, section);
            continue;
        }
        QString k;
        QString v;
        if (inSection && splitEntry(line.text, k, v) && sameName(k, key)) {
            value = v;
            return true;
        }
    }
    return false;
}

int SettingsFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
    QString text;
    int value = defaultValue;
    if (findValue(readLines(), section, key, text) && parseInteger(text, value))
        return value;
    return defaultValue;
}

bool SettingsFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

QString SettingsFile::ReadString(const QString& section, const QString& key,
                                 const QString& defaultValue) const {
    QString text;
    if (!findValue(readLines(), section, key, text))
        return defaultValue;
    return text.left(MaxStringLength);
}

bool SettingsFile::Contains(const QString& section, const QString& key) const {
    QString text;
    return findValue(readLines(), section, key, text);
}

void SettingsFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void SettingsFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteInteger(section, key, value ? 1 : 0);
}

void SettingsFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QString sectionName = oneLine(section);
    const QString keyName = oneLine(key);
    const QString valueText = oneLine(value);
    std::vector<Line> lines = readLines();

    // Find the section and, inside it, the key and the last line that holds
    // anything, so a new key goes after the section's entries and before the
    // blank lines that separate it from the next section.
    const auto count = static_cast<qsizetype>(lines.size());
    qsizetype sectionLine = -1;
    qsizetype lastContent = -1;
    qsizetype keyLine = -1;
    for (qsizetype i = 0; i < count; ++i) {
        const QString& text = lines[static_cast<size_t>(i)].text;
        if (const auto name = sectionOf(text)) {
            if (sectionLine >= 0)
                break;
            if (sameName(*name, sectionName)) {
                sectionLine = i;
                lastContent = i;
            }
            continue;
        }
        if (sectionLine < 0)
            continue;
        if (!text.trimmed().isEmpty())
            lastContent = i;
        QString k;
        QString v;
        if (splitEntry(text, k, v) && sameName(k, keyName)) {
            keyLine = i;
            break;
        }
    }

    // New lines end as the file's lines do.
    QByteArray ending = QByteArrayLiteral("\n");
    if (!lines.empty() && !lines.front().ending.isEmpty())
        ending = lines.front().ending;
    auto newLine = [&](const QString& text) { return Line{text.toUtf8(), ending, text}; };
    auto insertAt = [&](qsizetype index, const QString& text) {
        // The line before gets an ending if it was the file's last and had none.
        if (index > 0 && lines[static_cast<size_t>(index - 1)].ending.isEmpty())
            lines[static_cast<size_t>(index - 1)].ending = ending;
        lines.insert(lines.begin() + index, newLine(text));
    };

    const QString entry = keyName + QLatin1Char('=') + valueText;
    if (keyLine >= 0) {
        // Keep the key as it was spelled in the file, byte for byte; only the
        // value changes.
        Line& line = lines[static_cast<size_t>(keyLine)];
        line.bytes = line.bytes.left(line.bytes.indexOf('=') + 1) + valueText.toUtf8();
    } else if (sectionLine >= 0) {
        insertAt(lastContent + 1, entry);
    } else {
        insertAt(count, QLatin1Char('[') + sectionName + QLatin1Char(']'));
        insertAt(count + 1, entry);
    }

    const QString failure =
        QStringLiteral("Unable to write to %1").arg(QFileInfo(path_).fileName());
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()))
        throw Error(failure);
    // Written beside the old file and renamed over it: a crash or a full disk
    // leaves either the old file or the new one, never half of one.
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(failure);
    QByteArray bytes;
    for (const Line& line : lines)
        bytes += line.bytes + line.ending;
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw Error(failure);
}
