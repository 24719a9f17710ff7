#include "engine/audio/LameCrc.h"

#include <array>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// The music CRC runs over every byte of a file, so it takes eight bytes a
// step: table k holds the CRC of a byte followed by k zero bytes.
using CrcTables = std::array<std::array<std::uint16_t, 256>, 8>;
constexpr CrcTables Crc = [] {
    CrcTables t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xa001 : crc >> 1;
        t[0][i] = static_cast<std::uint16_t>(crc);
    }
    for (std::size_t k = 1; k < t.size(); ++k)
        for (unsigned i = 0; i < 256; ++i)
            t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xff]);
    return t;
}();

std::uint16_t crc16Tables(const unsigned char* data, std::size_t size, std::uint16_t start) {
    unsigned crc = start;
    const unsigned char* p = data;
    for (; size >= 8; size -= 8, p += 8) {
        crc ^= unsigned(p[0]) | unsigned(p[1]) << 8;
        crc = Crc[7][crc & 0xff] ^ Crc[6][crc >> 8] ^ Crc[5][p[2]] ^ Crc[4][p[3]] ^ Crc[3][p[4]] ^
              Crc[2][p[5]] ^ Crc[1][p[6]] ^ Crc[0][p[7]];
    }
    for (; size > 0; --size, ++p)
        crc = (crc >> 8) ^ Crc[0][(crc ^ *p) & 0xff];
    return static_cast<std::uint16_t>(crc);
}

#if defined(__x86_64__)
// With carry-less multiplication, sixteen bytes at a time in four lanes:
// a block followed by n bytes leaves the remainder that its two halves
// multiplied by x^(8n+16) and x^(8n-48) mod P leave (the constants below,
// bit-reversed in 17 bits), so the lanes fold into the next blocks, then
// into each other, and the tables finish the last sixteen bytes.
__attribute__((target("pclmul,sse2"))) __m128i fold(__m128i block, __m128i by, __m128i next) {
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(block, by, 0x00), _mm_clmulepi64_si128(block, by, 0x11)),
        next);
}

__attribute__((target("pclmul,sse2"))) std::uint16_t
crc16Folded(const unsigned char* p, std::size_t size, std::uint16_t start) {
    const __m128i by16 = _mm_set_epi64x(0x18cc2, 0x1d0c2); // n = 16
    const __m128i by64 = _mm_set_epi64x(0x0bffa, 0x1b0c2); // n = 64
    const auto load = [](const unsigned char* q) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    };
    __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(start));
    __m128i x1 = load(p + 16);
    __m128i x2 = load(p + 32);
    __m128i x3 = load(p + 48);
    p += 64;
    size -= 64;
    for (; size >= 64; size -= 64, p += 64) {
        x0 = fold(x0, by64, load(p));
        x1 = fold(x1, by64, load(p + 16));
        x2 = fold(x2, by64, load(p + 32));
        x3 = fold(x3, by64, load(p + 48));
    }
    __m128i x = fold(fold(fold(x0, by16, x1), by16, x2), by16, x3);
    for (; size >= 16; size -= 16, p += 16)
        x = fold(x, by16, load(p));
    std::array<unsigned char, 16> last{};
    _mm_storeu_si128(reinterpret_cast<__m128i*>(last.data()), x);
    return crc16Tables(p, size, crc16Tables(last.data(), last.size(), 0));
}
#endif

// Linear maps on the 16 bits of a CRC, a column per bit.
using Matrix = std::array<std::uint16_t, 16>;

std::uint16_t times(const Matrix& m, std::uint16_t v) {
    std::uint16_t product = 0;
    for (std::size_t i = 0; v != 0; ++i, v = static_cast<std::uint16_t>(v >> 1))
        if (v & 1)
            product ^= m[i];
    return product;
}

Matrix squared(const Matrix& m) {
    Matrix square{};
    for (std::size_t i = 0; i < m.size(); ++i)
        square[i] = times(m, m[i]);
    return square;
}

} // namespace

std::uint16_t LameCrc::Of(const unsigned char* data, std::size_t size, std::uint16_t start) {
#if defined(__x86_64__)
    static const bool folds = __builtin_cpu_supports("pclmul");
    if (folds && size >= 64)
        return crc16Folded(data, size, start);
#endif
    return crc16Tables(data, size, start);
}

std::uint16_t LameCrc::Joined(std::uint16_t first, std::uint16_t second, std::uint64_t secondSize) {
    // The CRC is linear: the whole's is the first's carried through as many
    // zero bytes as the second holds, XOR the second's. Carrying it through
    // 2^k bytes is a matrix squared k + 3 times from the one for a zero bit.
    Matrix step{};
    step[0] = 0xa001;
    for (std::size_t i = 1; i < step.size(); ++i)
        step[i] = static_cast<std::uint16_t>(1u << (i - 1));
    step = squared(squared(squared(step))); // a zero byte
    for (; secondSize != 0; secondSize >>= 1, step = squared(step))
        if (secondSize & 1)
            first = times(step, first);
    return first ^ second;
}
