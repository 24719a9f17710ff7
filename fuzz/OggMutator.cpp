#include "fuzz/OggMutator.h"

#include <ogg/ogg.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <random>
#include <vector>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace {

struct Span {
    std::size_t begin;
    std::size_t size;
};

constexpr std::size_t HeaderSize = 27;

std::vector<Span> findPages(const std::uint8_t* data, std::size_t size) {
    std::vector<Span> pages;
    std::size_t at = 0;
    while (at + HeaderSize <= size) {
        if (std::memcmp(data + at, "OggS", 4) != 0) {
            ++at;
            continue;
        }
        const std::size_t segments = data[at + 26];
        std::size_t length = HeaderSize + segments;
        if (at + length > size) {
            ++at;
            continue;
        }
        for (std::size_t i = 0; i < segments; ++i)
            length += data[at + HeaderSize + i];
        if (at + length > size) {
            ++at;
            continue;
        }
        pages.push_back({at, length});
        at += length;
    }
    return pages;
}

void putLe(std::uint8_t* at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xff);
}

// Whole-page damage; false when the file has no page to work on or the
// result would not fit.
bool mutatePages(std::uint8_t* data, std::size_t& size, std::size_t maxSize,
                 std::minstd_rand& rng) {
    const std::vector<Span> pages = findPages(data, size);
    if (pages.empty())
        return false;
    const Span page = pages[rng() % pages.size()];
    switch (rng() % 5) {
    case 0: { // a page again, after any page
        if (size + page.size > maxSize)
            return false;
        const std::vector<std::uint8_t> copy(data + page.begin, data + page.begin + page.size);
        const Span& before = pages[rng() % pages.size()];
        const std::size_t at = before.begin + before.size;
        std::memmove(data + at + copy.size(), data + at, size - at);
        std::memcpy(data + at, copy.data(), copy.size());
        size += copy.size();
        return true;
    }
    case 1: // a page lost
        std::memmove(data + page.begin, data + page.begin + page.size,
                     size - page.begin - page.size);
        size -= page.size;
        return true;
    case 2: { // two neighbouring pages in the wrong order
        const auto it = std::find_if(pages.begin(), pages.end(),
                                     [&](const Span& p) { return p.begin == page.begin; });
        if (it + 1 == pages.end() || (it + 1)->begin != page.begin + page.size)
            return false;
        const Span next = *(it + 1);
        std::vector<std::uint8_t> both(data + next.begin, data + next.begin + next.size);
        both.insert(both.end(), data + page.begin, data + page.begin + page.size);
        std::memcpy(data + page.begin, both.data(), both.size());
        return true;
    }
    case 3: { // a granule position no real file has, or a random one
        static const std::uint64_t odd[] = {0,
                                            1,
                                            0xffffffffffffffffULL,
                                            0x7fffffffffffffffULL,
                                            0x8000000000000000ULL,
                                            1ULL << 62,
                                            1ULL << 32,
                                            0xffffffffULL};
        const std::uint64_t granule = rng() % 2 == 0
                                          ? odd[rng() % std::size(odd)]
                                          : (static_cast<std::uint64_t>(rng()) << 31) ^ rng();
        putLe(data + page.begin + 6, granule, 8);
        return true;
    }
    default: // a page number out of order
        putLe(data + page.begin + 18, rng() % (pages.size() + 2), 4);
        return true;
    }
}

} // namespace

void fixOggChecksums(std::uint8_t* data, std::size_t size) {
    for (const Span& span : findPages(data, size)) {
        ogg_page page;
        page.header = data + span.begin;
        page.header_len = static_cast<long>(HeaderSize + data[span.begin + 26]);
        page.body = page.header + page.header_len;
        page.body_len = static_cast<long>(span.size) - page.header_len;
        ogg_page_checksum_set(&page);
    }
}

std::size_t mutateOgg(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                      unsigned int seed) {
    std::minstd_rand rng(seed);
    if (rng() % 3 != 0 || !mutatePages(data, size, maxSize, rng))
        size = LLVMFuzzerMutate(data, size, maxSize);
    // Now and then the damage stays where a checksum would catch it.
    if (rng() % 8 != 0)
        fixOggChecksums(data, size);
    return size;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned int seed) {
    return mutateOgg(data, size, maxSize, seed);
}
