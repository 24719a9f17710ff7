#include "platform/MulDiv.h"

#include <limits>

std::int32_t MulDiv(std::int32_t x, std::int32_t y, std::int32_t z) {
    if (z == 0)
        return -1;
    // |x * y| < 2^62 always fits; doubling it for the rounding still fits in 64 bits.
    const std::int64_t product = static_cast<std::int64_t>(x) * y;
    const bool negative = (product < 0) != (z < 0);
    const std::uint64_t num =
        product < 0 ? 0 - static_cast<std::uint64_t>(product) : static_cast<std::uint64_t>(product);
    const std::uint64_t den =
        z < 0 ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(z)) : std::uint64_t(z);
    std::uint64_t quotient = num / den;
    if ((num % den) * 2 >= den)
        ++quotient;
    if (!negative && quotient > std::uint64_t(std::numeric_limits<std::int32_t>::max()))
        return -1;
    if (negative && quotient > std::uint64_t(std::numeric_limits<std::int32_t>::max()) + 1)
        return -1;
    return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(quotient))
                    : static_cast<std::int32_t>(quotient);
}

std::int64_t MulDiv64(std::int64_t x, std::int64_t y, std::int64_t z) {
    if (z == 0)
        return -1;
    // |x * y| < 2^126; doubling the remainder for the rounding still fits.
    __extension__ typedef unsigned __int128 Wide;
    const auto magnitude = [](std::int64_t v) { return v < 0 ? Wide(0) - Wide(v) : Wide(v); };
    const bool negative = ((x < 0) != (y < 0)) != (z < 0) && x != 0 && y != 0;
    const Wide num = magnitude(x) * magnitude(y);
    const Wide den = magnitude(z);
    Wide quotient = num / den;
    if ((num % den) * 2 >= den)
        ++quotient;
    const Wide largest = Wide(std::numeric_limits<std::int64_t>::max());
    if (!negative && quotient > largest)
        return -1;
    if (negative && quotient > largest + 1)
        return -1;
    return negative ? static_cast<std::int64_t>(Wide(0) - quotient)
                    : static_cast<std::int64_t>(quotient);
}
