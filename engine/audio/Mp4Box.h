#pragma once

#include <QByteArray>
#include <QFile>

#include <cstdint>

// One box of an MP4 file (M4A, M4B, MOV): its type and where it lies. The
// readers of the file walk the boxes with Read; what they hold is theirs.
struct Mp4Box {
    char type[5] = {};
    long long start = 0;   // of its header
    long long payload = 0; // of its contents
    long long end = 0;

    bool is(const char* name) const;

    // The box at `at` within [at, end); false where none fits.
    static bool Read(QFile& file, long long at, long long end, Mp4Box& box);
    // The contents of a small box; empty for one too large to hold whole
    // (the sample tables never are read so).
    static QByteArray Contents(QFile& file, const Mp4Box& box);

    static std::uint32_t Be16(const unsigned char* p);
    static std::uint32_t Be32(const unsigned char* p);
    static std::uint64_t Be64(const unsigned char* p);
    static const unsigned char* Bytes(const QByteArray& data);
};
