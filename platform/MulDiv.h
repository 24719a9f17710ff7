#pragma once

#include <cstdint>

// x * y / z with a 64-bit intermediate, rounded to the nearest integer with
// halves away from zero. Returns -1 when z is 0 or the result does not fit in
// 32 bits. Every conversion between seconds, slider positions and sample
// frames goes through this so that they all round the same way.
std::int32_t MulDiv(std::int32_t x, std::int32_t y, std::int32_t z);

// The same rule for counts that may pass 32 bits (frames of files longer than
// 12 hours at 48 kHz): x * y / z with a 128-bit intermediate, rounded to the
// nearest integer with halves away from zero, -1 when z is 0 or the result
// does not fit in 64 bits. Wherever MulDiv gives a result this gives the same.
std::int64_t MulDiv64(std::int64_t x, std::int64_t y, std::int64_t z);
