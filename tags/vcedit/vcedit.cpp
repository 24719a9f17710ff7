// The comment editor behind libvcedit.so. Only the comment packet is rebuilt:
// the identification and setup packets are kept as read, and every later page
// is copied as it stands, renumbered only when the header pages changed in
// number. That keeps audio packets, granule positions and page boundaries of
// the edited stream bit for bit.

// The API is the library's only exported surface (the rest is hidden).
#pragma GCC visibility push(default)
#include "tags/vcedit/vcedit.h"
#pragma GCC visibility pop

#include <ogg/ogg.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr size_t ChunkSize = 65536;
// A Vorbis file starts with its first page; this much unrecognised data at
// the start means the input is something else.
constexpr size_t MaxLeadingGarbage = 65536;

struct Failed {
    const char* reason;
};

// A libogg or libvorbis state struct, set up by its init call and released by
// its clear call, so no failure path can skip the clear.
template <typename T, auto Init, auto Clear> class CState {
public:
    template <typename... Args> explicit CState(Args... args) { Init(&state_, args...); }
    ~CState() { Clear(&state_); }
    CState(const CState&) = delete;
    CState& operator=(const CState&) = delete;
    T* get() { return &state_; }

private:
    T state_{};
};

// A packet starts out empty; libogg fills it and allocates its buffer.
void noInit(ogg_packet*) {}

using SyncState = CState<ogg_sync_state, ogg_sync_init, ogg_sync_clear>;
using StreamState = CState<ogg_stream_state, ogg_stream_init, ogg_stream_clear>;
using VorbisInfo = CState<vorbis_info, vorbis_info_init, vorbis_info_clear>;
using VorbisComment = CState<vorbis_comment, vorbis_comment_init, vorbis_comment_clear>;
using OwnedPacket = CState<ogg_packet, noInit, ogg_packet_clear>;

Bytes pageBytes(const ogg_page& page) {
    Bytes bytes(page.header, page.header + page.header_len);
    bytes.insert(bytes.end(), page.body, page.body + page.body_len);
    return bytes;
}

ogg_packet makePacket(Bytes& bytes, ogg_int64_t number, bool first) {
    ogg_packet packet;
    std::memset(&packet, 0, sizeof packet);
    packet.packet = bytes.data();
    packet.bytes = static_cast<long>(bytes.size());
    packet.b_o_s = first ? 1 : 0;
    packet.granulepos = 0;
    packet.packetno = number;
    return packet;
}

std::uint32_t readLe32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void appendLe32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>((value >> (8 * i)) & 0xff));
}

char* copyText(const unsigned char* text, size_t length) {
    // malloc, because libvorbis frees these with free().
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy == nullptr)
        throw Failed{"out of memory"};
    if (length > 0)
        std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

// Fills `comments` (empty on entry) from a comment packet. Every length is
// checked against what is left of the packet before anything is read or
// allocated, so a damaged block fails instead of overreading.
bool parseCommentPacket(const Bytes& packet, vorbis_comment& comments, std::string& vendor) {
    const size_t size = packet.size();
    const unsigned char* p = packet.data();
    if (size < 7 || p[0] != 3 || std::memcmp(p + 1, "vorbis", 6) != 0)
        return false;
    size_t pos = 7;
    const auto left = [&] { return size - pos; };

    if (left() < 4)
        return false;
    const std::uint32_t vendorLength = readLe32(p + pos);
    pos += 4;
    if (vendorLength > left())
        return false;
    vendor.assign(reinterpret_cast<const char*>(p + pos), vendorLength);
    comments.vendor = copyText(p + pos, vendorLength);
    pos += vendorLength;

    if (left() < 4)
        return false;
    const std::uint32_t count = readLe32(p + pos);
    pos += 4;
    // Each comment takes at least its four length bytes.
    if (count > left() / 4 || count >= static_cast<std::uint32_t>(std::numeric_limits<int>::max()))
        return false;
    comments.user_comments = static_cast<char**>(std::calloc(count + 1, sizeof(char*)));
    comments.comment_lengths = static_cast<int*>(std::calloc(count + 1, sizeof(int)));
    if (comments.user_comments == nullptr || comments.comment_lengths == nullptr)
        throw Failed{"out of memory"};
    for (std::uint32_t i = 0; i < count; ++i) {
        if (left() < 4)
            return false;
        const std::uint32_t length = readLe32(p + pos);
        pos += 4;
        if (length > left() || length > static_cast<std::uint32_t>(std::numeric_limits<int>::max()))
            return false;
        comments.user_comments[i] = copyText(p + pos, length);
        comments.comment_lengths[i] = static_cast<int>(length);
        comments.comments = static_cast<int>(i + 1);
        pos += length;
    }
    // The framing bit is not insisted on: the comments are readable without it
    // and a rewrite puts it back.
    return true;
}

Bytes buildCommentPacket(const vorbis_comment& comments, const std::string& vendor) {
    constexpr std::uint64_t limit = std::numeric_limits<std::uint32_t>::max();
    if (comments.comments < 0 || (comments.comments > 0 && (comments.user_comments == nullptr ||
                                                            comments.comment_lengths == nullptr)))
        throw Failed{"the comment list is invalid"};
    std::uint64_t total = 7 + 4 + vendor.size() + 4 + 1;
    for (int i = 0; i < comments.comments; ++i) {
        const int length = comments.comment_lengths[i];
        if (length < 0 || (length > 0 && comments.user_comments[i] == nullptr))
            throw Failed{"the comment list is invalid"};
        total += 4 + static_cast<std::uint64_t>(length);
        if (total > limit)
            throw Failed{"the comments are too large"};
    }
    if (total > limit || vendor.size() > limit)
        throw Failed{"the comments are too large"};

    Bytes packet;
    packet.reserve(static_cast<size_t>(total));
    packet.push_back(3);
    packet.insert(packet.end(), {'v', 'o', 'r', 'b', 'i', 's'});
    appendLe32(packet, static_cast<std::uint32_t>(vendor.size()));
    packet.insert(packet.end(), vendor.begin(), vendor.end());
    appendLe32(packet, static_cast<std::uint32_t>(comments.comments));
    for (int i = 0; i < comments.comments; ++i) {
        const auto length = static_cast<size_t>(comments.comment_lengths[i]);
        appendLe32(packet, static_cast<std::uint32_t>(length));
        const auto* text = reinterpret_cast<const unsigned char*>(comments.user_comments[i]);
        if (length > 0)
            packet.insert(packet.end(), text, text + length);
    }
    packet.push_back(1); // framing bit
    return packet;
}

} // namespace

struct vcedit_state {
    vorbis_comment comments;
    // The vendor text as read (it may hold zero bytes), and the copy handed
    // out in `comments` so a changed vendor can be told apart.
    std::string vendor;
    const char* vendorHandedOut = nullptr;
    std::string error;

    void* in = nullptr;
    vcedit_read_func read = nullptr;
    vcedit_write_func write = nullptr;
    std::unique_ptr<SyncState> sync;
    bool inputEnded = false;
    bool opened = false;
    bool written = false;

    int serial = 0;
    Bytes identification;
    Bytes setup;
    long lastHeaderPage = 0;
    // Pages of other streams met among the headers, kept in their order.
    std::vector<Bytes> otherPages;

    vcedit_state() { vorbis_comment_init(&comments); }
    ~vcedit_state() { vorbis_comment_clear(&comments); }
    vcedit_state(const vcedit_state&) = delete;
    vcedit_state& operator=(const vcedit_state&) = delete;

    void reset() {
        vorbis_comment_clear(&comments);
        vorbis_comment_init(&comments);
        vendor.clear();
        vendorHandedOut = nullptr;
        error.clear();
        in = nullptr;
        read = nullptr;
        write = nullptr;
        sync = std::make_unique<SyncState>();
        inputEnded = false;
        opened = false;
        written = false;
        serial = 0;
        identification.clear();
        setup.clear();
        lastHeaderPage = 0;
        otherPages.clear();
    }

    // Reads more input into the sync buffer; false at its end.
    bool fill() {
        if (inputEnded)
            return false;
        char* buffer = ogg_sync_buffer(sync->get(), static_cast<long>(ChunkSize));
        if (buffer == nullptr)
            throw Failed{"out of memory"};
        const size_t got = read(buffer, 1, ChunkSize, in);
        if (got == 0 || got > ChunkSize) {
            inputEnded = true;
            return false;
        }
        ogg_sync_wrote(sync->get(), static_cast<long>(got));
        return true;
    }

    // The next valid page; false at the end of the input. Bytes that belong
    // to no valid page go to `skipped`.
    template <class Skipped> bool nextPage(ogg_page& page, Skipped&& skipped) {
        for (;;) {
            ogg_sync_state* s = sync->get();
            const unsigned char* at = s->data != nullptr ? s->data + s->returned : nullptr;
            const long result = ogg_sync_pageseek(s, &page);
            if (result > 0)
                return true;
            if (result < 0) {
                skipped(at, static_cast<size_t>(-result));
                continue;
            }
            if (!fill())
                return false;
        }
    }

    void open() {
        size_t garbage = 0;
        bool sawPage = false;
        const auto dropLeading = [&](const unsigned char*, size_t count) {
            garbage += count;
            if (garbage > MaxLeadingGarbage)
                throw Failed{"not an Ogg bitstream"};
        };

        VorbisInfo info;
        VorbisComment scratch;
        ogg_page page;
        std::unique_ptr<StreamState> stream;
        for (;;) {
            if (!nextPage(page, dropLeading)) {
                if (sawPage)
                    throw Failed{"not an Ogg Vorbis stream"};
                throw Failed{garbage == 0 ? "the file is empty" : "not an Ogg bitstream"};
            }
            sawPage = true;
            if (!ogg_page_bos(&page))
                throw Failed{"not an Ogg Vorbis stream"};
            auto candidate = std::make_unique<StreamState>(ogg_page_serialno(&page));
            ogg_stream_pagein(candidate->get(), &page);
            ogg_packet packet;
            if (ogg_stream_packetout(candidate->get(), &packet) == 1 &&
                vorbis_synthesis_idheader(&packet) == 1) {
                if (vorbis_synthesis_headerin(info.get(), scratch.get(), &packet) != 0)
                    throw Failed{"damaged Vorbis identification header"};
                identification.assign(packet.packet, packet.packet + packet.bytes);
                serial = ogg_page_serialno(&page);
                lastHeaderPage = ogg_page_pageno(&page);
                stream = std::move(candidate);
                break;
            }
            otherPages.push_back(pageBytes(page));
        }

        const auto dropInside = [](const unsigned char*, size_t) {};
        Bytes commentPacket;
        int headers = 1;
        while (headers < 3) {
            ogg_packet packet;
            const int result = ogg_stream_packetout(stream->get(), &packet);
            if (result < 0)
                throw Failed{"damaged Vorbis stream headers"};
            if (result == 1) {
                Bytes& target = headers == 1 ? commentPacket : setup;
                target.assign(packet.packet, packet.packet + packet.bytes);
                ++headers;
                continue;
            }
            if (!nextPage(page, dropInside))
                throw Failed{"the file ends inside the Vorbis stream headers"};
            if (ogg_page_serialno(&page) == serial) {
                if (ogg_stream_pagein(stream->get(), &page) != 0)
                    throw Failed{"damaged Vorbis stream headers"};
                lastHeaderPage = ogg_page_pageno(&page);
            } else {
                otherPages.push_back(pageBytes(page));
            }
        }
        // Audio pages are copied whole, so audio must start on a page of its
        // own, as Vorbis requires.
        if (stream->get()->lacing_returned < stream->get()->lacing_fill)
            throw Failed{"audio data shares a page with the Vorbis stream headers"};

        if (!parseCommentPacket(commentPacket, comments, vendor))
            throw Failed{"damaged comment header"};
        vendorHandedOut = comments.vendor;

        // The setup header is checked by libvorbis, which wants a comment
        // header first: an empty one stands in for the one parsed above.
        VorbisComment empty;
        OwnedPacket emptyHeader;
        if (vorbis_commentheader_out(empty.get(), emptyHeader.get()) != 0 ||
            vorbis_synthesis_headerin(info.get(), scratch.get(), emptyHeader.get()) != 0)
            throw Failed{"out of memory"};
        ogg_packet setupPacket = makePacket(setup, 2, false);
        if (vorbis_synthesis_headerin(info.get(), scratch.get(), &setupPacket) != 0)
            throw Failed{"damaged Vorbis setup header"};
        opened = true;
    }

    void writeTo(void* out) {
        if (!opened)
            throw Failed{"no Vorbis stream is open"};
        if (written)
            throw Failed{"the input has already been written"};
        written = true;
        const auto put = [&](const unsigned char* bytes, size_t count) {
            if (count > 0 && write(bytes, 1, count, out) != count)
                throw Failed{"cannot write the output"};
        };
        const auto putPage = [&](const ogg_page& page) {
            put(page.header, static_cast<size_t>(page.header_len));
            put(page.body, static_cast<size_t>(page.body_len));
        };

        const bool vendorKept = comments.vendor == nullptr || comments.vendor == vendorHandedOut;
        Bytes commentPacket = buildCommentPacket(comments, vendorKept ? vendor : comments.vendor);

        StreamState headers(serial);
        ogg_page page;
        long pages = 0;
        ogg_packet packet = makePacket(identification, 0, true);
        ogg_stream_packetin(headers.get(), &packet);
        while (ogg_stream_flush(headers.get(), &page) != 0) {
            putPage(page);
            ++pages;
        }
        for (const Bytes& other : otherPages)
            put(other.data(), other.size());
        packet = makePacket(commentPacket, 1, false);
        ogg_stream_packetin(headers.get(), &packet);
        packet = makePacket(setup, 2, false);
        ogg_stream_packetin(headers.get(), &packet);
        while (ogg_stream_flush(headers.get(), &page) != 0) {
            putPage(page);
            ++pages;
        }

        // The remaining pages of the edited stream follow the new headers
        // without a gap in their numbering.
        const auto shift = static_cast<std::uint32_t>(pages - (lastHeaderPage + 1));
        const auto copySkipped = [&](const unsigned char* bytes, size_t count) {
            put(bytes, count);
        };
        bool streamEnded = false;
        while (!streamEnded && nextPage(page, copySkipped)) {
            if (ogg_page_serialno(&page) == serial) {
                if (shift != 0) {
                    const std::uint32_t number =
                        static_cast<std::uint32_t>(ogg_page_pageno(&page)) + shift;
                    for (int i = 0; i < 4; ++i)
                        page.header[18 + i] =
                            static_cast<unsigned char>((number >> (8 * i)) & 0xff);
                    ogg_page_checksum_set(&page);
                }
                streamEnded = ogg_page_eos(&page) != 0;
            }
            putPage(page);
        }

        // Whatever follows (later links of a chained file, a damaged tail) is
        // copied byte for byte.
        ogg_sync_state* s = sync->get();
        if (s->data != nullptr && s->fill > s->returned)
            put(s->data + s->returned, static_cast<size_t>(s->fill - s->returned));
        ogg_sync_reset(s);
        if (!inputEnded) {
            std::vector<unsigned char> buffer(ChunkSize);
            for (;;) {
                const size_t got = read(buffer.data(), 1, ChunkSize, in);
                if (got == 0 || got > ChunkSize)
                    break;
                put(buffer.data(), got);
            }
            inputEnded = true;
        }
    }
};

namespace {

// Runs `work` for a C caller: nothing may be thrown across the library's
// edge, so a failure becomes the reason vcedit_error hands out.
template <typename Work> bool reportFailures(vcedit_state& state, Work&& work) {
    try {
        work();
        return true;
    } catch (const Failed& failure) {
        state.error = failure.reason;
    } catch (const std::bad_alloc&) {
        state.error = "out of memory";
    } catch (...) {
        state.error = "unexpected failure";
    }
    return false;
}

} // namespace

extern "C" {

vcedit_state* vcedit_new_state(void) {
    try {
        auto* state = new vcedit_state();
        state->reset();
        return state;
    } catch (...) {
        return nullptr;
    }
}

void vcedit_clear(vcedit_state* state) {
    delete state;
}

vorbis_comment* vcedit_comments(vcedit_state* state) {
    return state != nullptr ? &state->comments : nullptr;
}

int vcedit_open_callbacks(vcedit_state* state, void* in, vcedit_read_func read,
                          vcedit_write_func write) {
    if (state == nullptr)
        return -1;
    const bool opened = reportFailures(*state, [&] {
        state->reset();
        if (read == nullptr || write == nullptr)
            throw Failed{"no read or write function given"};
        state->in = in;
        state->read = read;
        state->write = write;
        state->open();
    });
    if (opened)
        return 0;
    // A half-read comment block is of no use to anyone.
    state->opened = false;
    vorbis_comment_clear(&state->comments);
    vorbis_comment_init(&state->comments);
    state->vendorHandedOut = nullptr;
    return -1;
}

int vcedit_write(vcedit_state* state, void* out) {
    if (state == nullptr)
        return -1;
    const bool written = reportFailures(*state, [&] {
        state->error.clear();
        state->writeTo(out);
    });
    return written ? 0 : -1;
}

const char* vcedit_error(vcedit_state* state) {
    if (state == nullptr || state->error.empty())
        return nullptr;
    return state->error.c_str();
}

} // extern "C"
