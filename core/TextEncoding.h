#pragma once

#include <QByteArray>
#include <QString>

// The encoding of a text file another program wrote, cue sheets above all:
// UTF-8 or UTF-16 by their byte order marks, else UTF-8 where the bytes are
// valid UTF-8, else what uchardet finds (the code pages of Western and
// Central Europe, Cyrillic, Greek, Japanese, Chinese and Korean) where the
// text decodes in it, else Windows-1252. Encodings are named as iconv names them ("UTF-8",
// "UTF-16LE", "WINDOWS-1251", "SHIFT_JIS"), so a name shown can be given
// back to force it.
class TextEncoding {
public:
    struct Decoded {
        QString text; // without a byte order mark
        QString encoding;
    };

    // Decodes `bytes` in the encoding found, or in `forced` when it is not
    // empty; bytes that do not decode in a forced encoding become U+FFFD.
    // Throws Error when `forced` is no encoding this system knows.
    static Decoded Decode(const QByteArray& bytes, const QString& forced = QString());
    // Whether `name` is an encoding Decode can force.
    static bool IsKnown(const QString& name);
};
