#include "settings/SettingsFile.h"

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

QStringList SettingsFile::readLines() const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool SettingsFile::findValue(const QStringList& lines, const QString& section, const QString& key,
                             QString& value) const {
    bool inSection = false;
    for (const QString& line : lines) {
        if (const auto name = sectionOf(line)) {
            inSection = sameName(*name, section);
            continue;
        }
        QString k;
        QString v;
        if (inSection && splitEntry(line, k, v) && sameName(k, key)) {
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

void SettingsFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void SettingsFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteInteger(section, key, value ? 1 : 0);
}

void SettingsFile::WriteString(const QString& section, const QString& key, const QString& value) {
    QStringList lines = readLines();

    // Find the section and, inside it, the key and the last line that holds
    // anything, so a new key goes after the section's entries and before the
    // blank lines that separate it from the next section.
    qsizetype sectionLine = -1;
    qsizetype lastContent = -1;
    qsizetype keyLine = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionOf(lines[i])) {
            if (sectionLine >= 0)
                break;
            if (sameName(*name, section)) {
                sectionLine = i;
                lastContent = i;
            }
            continue;
        }
        if (sectionLine < 0)
            continue;
        if (!lines[i].trimmed().isEmpty())
            lastContent = i;
        QString k;
        QString v;
        if (splitEntry(lines[i], k, v) && sameName(k, key)) {
            keyLine = i;
            break;
        }
    }

    if (keyLine >= 0) {
        // Keep the key as it was spelled in the file; only the value changes.
        const qsizetype eq = lines[keyLine].indexOf(QLatin1Char('='));
        lines[keyLine] = lines[keyLine].left(eq + 1) + value;
    } else if (sectionLine >= 0) {
        lines.insert(lastContent + 1, key + QLatin1Char('=') + value);
    } else {
        lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        lines.append(key + QLatin1Char('=') + value);
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
    const QByteArray bytes = (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw Error(failure);
}
