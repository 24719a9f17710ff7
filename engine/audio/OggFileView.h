#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

// A source file as the decoder reads it: its bytes, less ranges left out
// (pages that repeat the one before them whole, so that libogg never sees a
// break in the page sequence where nothing was lost). Offsets are those of
// the view.
class OggFileView {
public:
    struct Range {
        std::int64_t begin = 0;
        std::int64_t end = 0;
    };

    // Throws Error naming the file when it cannot be opened for reading.
    explicit OggFileView(const QString& path);
    ~OggFileView();
    OggFileView(const OggFileView&) = delete;
    OggFileView& operator=(const OggFileView&) = delete;

    // Leaves out `ranges`, given as offsets of the view as it is now, in
    // order and apart.
    void leaveOut(const std::vector<Range>& ranges);
    // Up to `bytes` from `offset`; 0 at the end, -1 with errno on failure.
    long readAt(std::int64_t offset, char* buffer, std::size_t bytes) const;

    // Reading in sequence, as a stream: the view keeps the position.
    long read(char* buffer, std::size_t bytes);
    // As fseek and ftell.
    int seek(std::int64_t offset, int whence);
    std::int64_t tell() const { return position_; }

private:
    // The file offset of view offset `offset`, and where the next range
    // left out begins there.
    std::int64_t fileOffset(std::int64_t offset, std::int64_t* nextHidden = nullptr) const;

    int fd_ = -1;
    std::int64_t size_ = 0; // of the view
    // Ranges left out, as file offsets in order, with the bytes left out
    // before each.
    std::vector<Range> hidden_;
    std::vector<std::int64_t> hiddenBefore_;
    std::int64_t position_ = 0; // where `read` reads next
};
