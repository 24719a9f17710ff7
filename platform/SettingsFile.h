#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

// The program's INI settings file. Every read sees the file as it is now and
// every write changes the file at once. Section and key names compare without
// regard to case.
//
// The file is read and parsed once, and again only when it has changed: each
// read looks at the file's identity, size and times, which costs no opening
// and no parsing, so a run that reads thousands of keys reads the file once,
// and a change made by hand is still seen by the next read. Every object on
// the same path shares one copy of the contents, so a value one writes the
// other reads at once, and neither loses the other's writes.
//
// Reads never fail: a missing file, section or key, or a value that is not a
// valid integer, gives the default. A file that is there but cannot be read
// (not a regular file, larger than InputFile::MaxBytes) reads as empty and
// problem() says why. A write that cannot be carried out throws `Error` with
// "Unable to write to <name>"; the file then is unchanged, because each write
// replaces the whole file in one rename, and a file that cannot be read is
// never replaced.
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

    // The settings as they are now, kept apart: the copy never reads the
    // file again and cannot be written, so work on another thread reads the
    // values it started with while the file changes.
    SettingsFile Snapshot() const;

    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;
    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // Whether the file holds the key, whatever its value.
    bool Contains(const QString& section, const QString& key) const;
    // Why the file that is there cannot be read ("Cannot read Velmora.ini:
    // not a regular file"); empty when it can, or when it is missing.
    QString problem() const;
    // How many times the settings objects of this process have read a file:
    // what the caching saves, for the tests.
    static int FileReads();

    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void WriteString(const QString& section, const QString& key, const QString& value);

    // The integer rules on their own: decimal with an optional sign, or
    // hexadecimal after "0x"/"0X" when the text is longer than two characters.
    static bool parseInteger(const QString& text, int& value);

private:
    // The contents shared by every object on one path; defined beside the code.
    struct Contents;

    SettingsFile(QString path, std::shared_ptr<Contents> contents);

    QString path_;
    std::shared_ptr<Contents> contents_;
};
