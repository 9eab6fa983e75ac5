// Our MulDiv must agree with the system's own, whose rounding the resampler relies on.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/Numeric.h"

TEST(Win32MulDiv, AgreesWithTheSystemOverAGridOfValues)
{
    const int32_t samples[] = {0,     1,      -1,         2,           -2,      3,      5,     7,
                               -7,    255,    256,        65535,       65536,   -65536, 65537, 1 << 20,
                               46341, -46341, 2147483647, -2147483647, 1000003, -999983};
    for (int32_t a : samples)
        for (int32_t b : samples)
            for (int32_t c : samples)
                ASSERT_EQ(Core::MulDiv(a, b, c), ::MulDiv(a, b, c)) << a << " * " << b << " / " << c;
}
