#include "platform/SettingsFile.h"

#include "platform/Error.h"
#include "platform/InputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <utility>

namespace {

const QString kFileName = QStringLiteral("Velmora.ini");

std::atomic<int> fileReads{0};

std::int64_t nanoseconds(const timespec& t) {
    return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

std::int64_t nowNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

// A file changed within this long before it was read may change again with
// the same size and times (file systems keep times in ticks, some of two
// seconds), so its stamp proves nothing until it is older.
constexpr std::int64_t UncertainNanoseconds = std::int64_t{2} * 1000000000;

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

// The file as last read or written, shared by every object on its path, with
// each key's value looked up by its folded section and key names.
struct SettingsFile::Contents {
    // One line of the file as stored, and as the reading rules see it.
    struct Line {
        QByteArray bytes;  // without the line ending
        QByteArray ending; // "\n", "\r\n", or empty for a last line without one
        QString text;      // the bytes decoded as UTF-8
    };
    // What tells one state of the file from another without reading it.
    struct Stamp {
        bool present = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        std::int64_t modified = 0; // nanoseconds
        std::int64_t changed = 0;
        bool operator==(const Stamp&) const = default;
    };

    std::mutex mutex;
    bool known = false;
    // A snapshot's: never read again, never written.
    bool frozen = false;
    Stamp stamp;
    std::int64_t readAt = 0;
    std::vector<Line> lines;
    QHash<QString, QString> values;
    QString problem;

    static Stamp stampOf(const QString& path) {
        struct stat info;
        if (::stat(QFile::encodeName(path).constData(), &info) != 0)
            return {};
        return {true,
                info.st_dev,
                info.st_ino,
                info.st_size,
                nanoseconds(info.st_mtim),
                nanoseconds(info.st_ctim)};
    }

    // Brings the contents up to the file as it is now; reads it only when
    // it has changed, or may have.
    void refresh(const QString& path) {
        if (frozen)
            return;
        const Stamp now = stampOf(path);
        const bool settled = stamp.modified + UncertainNanoseconds < readAt;
        if (known && now == stamp && (settled || !now.present))
            return;
        std::vector<Line> read;
        problem.clear();
        if (now.present) {
            ++fileReads;
            try {
                if (const auto bytes = InputFile::ReadIfPresent(path))
                    read = linesOf(*bytes);
            } catch (const Error& e) {
                problem = e.message();
            }
        }
        take(std::move(read), now);
    }

    // Takes `newLines` as the file's contents, stamped `now`.
    void take(std::vector<Line> newLines, const Stamp& now) {
        lines = std::move(newLines);
        stamp = now;
        readAt = nowNanoseconds();
        known = true;
        values.clear();
        // The first line of a key in any section of its name counts.
        std::optional<QString> section;
        for (const Line& line : lines) {
            if (const auto name = sectionOf(line.text)) {
                section = name->toCaseFolded();
                continue;
            }
            QString k;
            QString v;
            if (section && splitEntry(line.text, k, v)) {
                const QString id = keyId(*section, k.toCaseFolded());
                if (!values.contains(id))
                    values.insert(id, v);
            }
        }
    }

    std::optional<QString> value(const QString& section, const QString& key) const {
        const auto found = values.constFind(keyId(section.toCaseFolded(), key.toCaseFolded()));
        if (found == values.constEnd())
            return std::nullopt;
        return *found;
    }

    static QString keyId(const QString& foldedSection, const QString& foldedKey) {
        // A line break is in no name read from the file.
        return foldedSection + QLatin1Char('\n') + foldedKey;
    }

    static std::vector<Line> linesOf(const QByteArray& bytes) {
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
};

SettingsFile::SettingsFile(QString path) : path_(std::move(path)) {
    // One copy of the contents a path, for as long as an object uses it.
    static std::mutex mutex;
    static std::map<QString, std::weak_ptr<Contents>> all;
    const QString id = QDir::cleanPath(QFileInfo(path_).absoluteFilePath());
    const std::lock_guard lock(mutex);
    std::erase_if(all, [](const auto& entry) { return entry.second.expired(); });
    std::weak_ptr<Contents>& shared = all[id];
    contents_ = shared.lock();
    if (!contents_) {
        contents_ = std::make_shared<Contents>();
        shared = contents_;
    }
}

SettingsFile::SettingsFile(QString path, std::shared_ptr<Contents> contents)
    : path_(std::move(path)), contents_(std::move(contents)) {}

SettingsFile SettingsFile::Snapshot() const {
    auto copy = std::make_shared<Contents>();
    const std::lock_guard lock(contents_->mutex);
    contents_->refresh(path_);
    copy->known = true;
    copy->frozen = true;
    copy->stamp = contents_->stamp;
    copy->readAt = contents_->readAt;
    copy->lines = contents_->lines;
    copy->values = contents_->values;
    copy->problem = contents_->problem;
    return SettingsFile(path_, std::move(copy));
}

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

int SettingsFile::FileReads() {
    return fileReads;
}

QString SettingsFile::problem() const {
    const std::lock_guard lock(contents_->mutex);
    contents_->refresh(path_);
    return contents_->problem;
}

int SettingsFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
    const std::lock_guard lock(contents_->mutex);
    contents_->refresh(path_);
    const std::optional<QString> text = contents_->value(section, key);
    int value = defaultValue;
    if (text && parseInteger(*text, value))
        return value;
    return defaultValue;
}

bool SettingsFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

QString SettingsFile::ReadString(const QString& section, const QString& key,
                                 const QString& defaultValue) const {
    const std::lock_guard lock(contents_->mutex);
    contents_->refresh(path_);
    const std::optional<QString> text = contents_->value(section, key);
    return text ? text->left(MaxStringLength) : defaultValue;
}

bool SettingsFile::Contains(const QString& section, const QString& key) const {
    const std::lock_guard lock(contents_->mutex);
    contents_->refresh(path_);
    return contents_->value(section, key).has_value();
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
    using Line = Contents::Line;
    const QString failure =
        QStringLiteral("Unable to write to %1").arg(QFileInfo(path_).fileName());
    const std::lock_guard lock(contents_->mutex);
    contents_->refresh(path_);
    // What cannot be read is not replaced by the few keys written to it;
    // a snapshot stands for the file as it was, not as it is to be.
    if (!contents_->problem.isEmpty() || contents_->frozen)
        throw Error(failure);
    std::vector<Line> lines = contents_->lines;

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
    // Read back at once, by this object and every other on the file.
    contents_->take(std::move(lines), Contents::stampOf(path_));
}
