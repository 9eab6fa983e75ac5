#pragma once
// Number conversions shared by the animation, the preview and the resampler.
#include <cstdint>

// Nearest integer, a value exactly halfway going to the even neighbour (2.5 -> 2, 3.5 -> 4).
int64_t RoundHalfEven(double value);
int64_t RoundHalfEven(long double value);

namespace Core {
// a * b / c with a 64-bit intermediate product, rounded to nearest with halves away from
// zero; -1 when c is 0 or the result does not fit 32 bits, as the Win32 call does. In its
// own namespace so that it never meets the system's declaration of the same name.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);
}  // namespace Core
