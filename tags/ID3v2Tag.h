#pragma once

#include "tags/ID3StructV2.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

// The tag is built in a working buffer of fixed slots, one per frame in
// writing order (TIT2, TPE1, TALB, TRCK, TYER, TCON, COMM, TPOS), then written
// out with ten bytes of padding. The TPOS slot is used only for a disc
// number; an unused slot has no id and is not written.
struct ID3v2FrameSlot {
    std::array<std::uint8_t, 10> header{}; // id, size (big-endian), flags
    std::uint8_t encoding = 0;             // 0 ISO-8859-1, 1 UTF-16 with byte-order mark
    std::array<std::uint8_t, 256> data{};  // the text's bytes, then at least one zero
};

struct ID3v2Buffer {
    std::array<std::uint8_t, 10> header{};
    std::array<ID3v2FrameSlot, 8> frames{};
};

// One text as a frame carries it: ISO-8859-1 when every character exists
// there, otherwise UTF-16 with a byte-order mark; at most 255 bytes, cut
// between characters.
struct ID3v2Text {
    std::uint8_t encoding = 0;
    QByteArray bytes;
};
ID3v2Text EncodeID3v2Text(const QString& text);

ID3v2Buffer BuildID3v2Buffer(const ID3StructV2& tag);
// Fills the header's synchsafe size from the frame headers in the buffer.
void ComputeTagSize(ID3v2Buffer& buffer);
// The tag exactly as it goes to the start of the file.
QByteArray ID3v2TagBytes(const ID3v2Buffer& buffer);

// Puts the tag at the start of an existing MP3 file, ahead of everything the
// encoder wrote. The file is written anew beside the old one and renamed over
// it, so a failure leaves the old file as it was. An empty tag at its start
// is room kept for this one: the tag is written into it in place when it
// fits, and takes its place otherwise. Throws Error when the file cannot be
// opened or the new one cannot be written.
void WriteID3v2Tag(const QString& fileName, ID3StructV2 tag);
