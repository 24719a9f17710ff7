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
// The comment header carries no comments, only zero padding after them: room
// the program's tag writing fills in place, so the piece is not written
// twice. Only an index of the pages is held (one entry for each page a
// packet begins on); a piece reads its own pages from the file and finds its
// packets there.
class OpusStreamCutter {
public:
    static constexpr std::int64_t PreRoll = 3840;

    // Whether the file starts as an Ogg Opus stream.
    static bool IsOpus(const QString& path);

    // Bytes of the comment header, padding included.
    static constexpr int CommentRoom = 4096;

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
    // A page on which an audio packet begins.
    struct Page {
        std::int64_t offset = 0; // in the file
        std::int64_t start = 0;  // granule position of the first audio packet begun on it
        int passOver = 0;        // header packets begun on it before that one
    };
    void read(const QString& source);

    QString source_;
    QByteArray head_; // the OpusHead packet
    int serial_ = 0;
    int preSkip_ = 0;
    std::int64_t total_ = 0;
    std::vector<Page> pages_;
    QString problem_;
};
