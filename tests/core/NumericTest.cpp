#include "core/Numeric.h"

#include <gtest/gtest.h>

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3);
    EXPECT_EQ(RoundHalfEven(2.4999999), 2);
    EXPECT_EQ(RoundHalfEven(-0.4), 0);
    EXPECT_EQ(RoundHalfEven(1e12 + 0.5), 1000000000000LL);
    EXPECT_EQ(RoundHalfEven(2.5L), 2);
    EXPECT_EQ(RoundHalfEven(7.5L), 8);
    // Only extended precision can tell this value from the halfway point.
    EXPECT_EQ(RoundHalfEven(4096.5L + 1.0L / 65536 / 65536), 4097);
}

TEST(MulDiv, RoundsHalvesAwayFromZero)
{
    EXPECT_EQ(Core::MulDiv(1, 1, 2), 1);
    EXPECT_EQ(Core::MulDiv(5, 1, 2), 3);
    EXPECT_EQ(Core::MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(Core::MulDiv(5, -1, 2), -3);
    EXPECT_EQ(Core::MulDiv(5, 1, -2), -3);
    EXPECT_EQ(Core::MulDiv(-5, 1, -2), 3);
    EXPECT_EQ(Core::MulDiv(7, 1, 3), 2);
    EXPECT_EQ(Core::MulDiv(8, 1, 3), 3);
    EXPECT_EQ(Core::MulDiv(-8, 1, 3), -3);
    EXPECT_EQ(Core::MulDiv(0, 123, 7), 0);
}

TEST(MulDiv, UsesA64BitProductAndReportsOverflow)
{
    EXPECT_EQ(Core::MulDiv(100000, 100000, 100000), 100000);
    EXPECT_EQ(Core::MulDiv(65536, 65536, 65536 * 4), 16384);
    EXPECT_EQ(Core::MulDiv(2147483647, 2147483647, 2147483647), 2147483647);
    EXPECT_EQ(Core::MulDiv(2147483647, 2, 1), -1);
    EXPECT_EQ(Core::MulDiv(-2147483647, 2, 1), -1);
    EXPECT_EQ(Core::MulDiv(12, 34, 0), -1);
}
