#pragma once
// Turning a bitmap into another size, and the resampler's weight arithmetic, shared with its
// tests.
#include <cstdint>

class TBitmap;

// Fills destination, at its present size, with the whole source stretched to that size
// (bilinear, 16.16 fixed point). Both end in the 24-bit format.
void ResampleBitmap(TBitmap& source, TBitmap& destination);

// Core::MulDiv(fraction, rowWeight, 65536) for 0 <= fraction < 65536 and 0 <= rowWeight <=
// 65536: the product plus the half stays below 2^32, and the rounding is MulDiv's (halves
// away from zero), without the 64-bit division two calls per pixel would cost.
inline uint32_t ResampleWeight(uint32_t fraction, uint32_t rowWeight) { return (fraction * rowWeight + 32768u) >> 16; }
