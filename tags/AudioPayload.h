#pragma once

#include <QByteArray>
#include <QString>

// The audio of a FLAC or Ogg file apart from its tags: what a tag writer must
// leave exactly as it was. For FLAC, the bytes after the metadata blocks; for
// Ogg, the packets after the header packets, whatever pages carry them, and
// the position of the last page. A file that ends early, holds a damaged page
// or does not start as its format does has none (valid() is false), so a
// tagged file can be proved whole before it takes the untagged one's place:
// a writer that does not report its failures (TagLib's file stream on a full
// disk) leaves just such a file.
class AudioPayload {
public:
    static AudioPayload OfFlac(const QString& path);
    // `headerPackets`: 2 for Opus, 3 for Vorbis.
    static AudioPayload OfOgg(const QString& path, int headerPackets);

    bool valid() const { return valid_; }
    bool operator==(const AudioPayload& other) const = default;

private:
    bool valid_ = false;
    qint64 bytes_ = 0;
    qint64 packets_ = 0;
    qint64 lastPosition_ = 0;
    QByteArray digest_; // of the audio bytes
};
