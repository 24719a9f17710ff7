#pragma once

#include <cstdint>

// x * y / z with a 64-bit intermediate, rounded to the nearest integer with
// halves away from zero. Returns -1 when z is 0 or the result does not fit in
// 32 bits. Every conversion between seconds, slider positions and sample
// frames goes through this so that they all round the same way.
std::int32_t MulDiv(std::int32_t x, std::int32_t y, std::int32_t z);
