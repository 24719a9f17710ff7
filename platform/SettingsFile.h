#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// The program's INI settings file. The object holds only the file's path:
// every read looks at the file as it is now, every write changes the file at
// once. Section and key names compare without regard to case.
//
// Reads never fail: a missing file, section or key, or a value that is not a
// valid integer, gives the default. A write that cannot be carried out throws
// `Error` with "Unable to write to <name>"; the file then is unchanged, because
// each write replaces the whole file in one rename.
//
// A write changes only the line of its key (or adds lines); every other line
// keeps its bytes and its line ending, even when it is not valid UTF-8. Line
// breaks inside a written value become spaces, so a value stays on one line.
class SettingsFile {
public:
    // The longest string value a read returns.
    static constexpr int MaxStringLength = 2047;

    explicit SettingsFile(QString path);

    // "Velmora.ini" in the user's configuration folder ($XDG_CONFIG_HOME).
    static QString defaultPath();

    const QString& path() const { return path_; }

    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;
    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // Whether the file holds the key, whatever its value.
    bool Contains(const QString& section, const QString& key) const;

    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void WriteString(const QString& section, const QString& key, const QString& value);

    // The integer rules on their own: decimal with an optional sign, or
    // hexadecimal after "0x"/"0X" when the text is longer than two characters.
    static bool parseInteger(const QString& text, int& value);

private:
    // One line of the file as stored, and as the reading rules see it.
    struct Line {
        QByteArray bytes;  // without the line ending
        QByteArray ending; // "\n", "\r\n", or empty for a last line without one
        QString text;      // the bytes decoded as UTF-8
    };
    std::vector<Line> readLines() const;
    static bool findValue(const std::vector<Line>& lines, const QString& section,
                          const QString& key, QString& value);

    QString path_;
};
