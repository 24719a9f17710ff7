#pragma once

#include <QString>

#include <stdexcept>

// The one exception type of the program: a failure with a message that can be
// shown to the user as it stands ("Unable to write to Velmora.ini", "Cannot
// open song.ogg: not an Ogg Vorbis file").
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}

    const QString& message() const noexcept { return message_; }

private:
    QString message_;
};
