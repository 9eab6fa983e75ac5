#pragma once
// The resampler's weight arithmetic, shared with its tests.
#include <cstdint>

// Core::MulDiv(fraction, rowWeight, 65536) for 0 <= fraction < 65536 and 0 <= rowWeight <=
// 65536: the product plus the half stays below 2^32, and the rounding is MulDiv's (halves
// away from zero), without the 64-bit division two calls per pixel would cost.
inline uint32_t ResampleWeight(uint32_t fraction, uint32_t rowWeight) { return (fraction * rowWeight + 32768u) >> 16; }
