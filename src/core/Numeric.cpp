#include "core/Numeric.h"

#include <cfenv>
#include <cmath>

// llrint follows the current rounding mode; the program never changes it from the
// default round-to-nearest-even, so this is the banker's rounding every caller expects.
int64_t RoundHalfEven(double value) { return std::llrint(value); }

int64_t RoundHalfEven(long double value) { return std::llrintl(value); }

int32_t Core::MulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0) return -1;
    int64_t product = static_cast<int64_t>(a) * b;
    int64_t divisor = c;
    if (divisor < 0) {
        divisor = -divisor;
        product = -product;
    }
    // Add or subtract half the divisor so the truncating division rounds halves away from zero.
    const int64_t half = divisor / 2;
    const int64_t result = product >= 0 ? (product + half) / divisor : (product - half) / divisor;
    if (result > 2147483647LL || result < -2147483647LL) return -1;
    return static_cast<int32_t>(result);
}
