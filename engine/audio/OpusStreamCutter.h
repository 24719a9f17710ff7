#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// Cuts frames [begin, end) out of an Ogg Opus file without re-encoding. The
// copy starts 80 ms (3840 frames) before `begin`, as the Opus decoder needs
// that long to settle after a jump; the pre-skip in the new header drops
// exactly those lead frames and the last page's granule position the surplus
// at the end, so the piece decodes to exactly end - begin frames at 48 kHz.
// The first frames after the lead come close to, but are not bit for bit,
// what a decode from the start gives.
//
// The comment header carries no comments; the program's tag writing fills it
// afterwards, as it does for every output. Only an index of the packets is
// held (16 bytes a packet); a piece reads its own pages from the file.
class OpusStreamCutter {
public:
    static constexpr std::int64_t PreRoll = 3840;

    // Whether the file starts as an Ogg Opus stream.
    static bool IsOpus(const QString& path);

    // Reads the source once. Throws Error when it cannot be read.
    explicit OpusStreamCutter(const QString& source);

    // Frames after the pre-skip, as a decoder delivers them.
    std::int64_t totalFrames() const { return total_; }

    // Why [begin, end) cannot be copied exactly, in a few words; empty when
    // it can.
    QString obstacle(std::int64_t begin, std::int64_t end) const;

    // Called now and then with the frames written so far; false ends the
    // piece at the packet in hand, still as a complete file.
    using Progress = std::function<bool(std::int64_t frames)>;

    // Writes the piece to `output` (created or replaced) and returns the
    // frames it holds. Throws Error when it cannot be written.
    std::int64_t write(std::int64_t begin, std::int64_t end, const QString& output,
                       const Progress& progress = {}) const;

private:
    struct Packet {
        std::int64_t start = 0; // granule position of its first frame
        std::uint32_t page = 0; // in pages_, the page it begins on
        std::uint16_t frames = 0;
        std::uint16_t onPage = 0; // packets beginning before it on that page
    };
    void read(const QString& source);
    std::size_t packetAt(std::int64_t granule) const;

    QString source_;
    QByteArray head_; // the OpusHead packet
    int serial_ = 0;
    int preSkip_ = 0;
    std::int64_t total_ = 0;
    std::vector<std::int64_t> pages_; // byte offsets of the pages packets begin on
    std::vector<Packet> packets_;
    QString problem_;
};
