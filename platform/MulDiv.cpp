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
