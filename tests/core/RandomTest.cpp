#include "core/Random.h"

#include <gtest/gtest.h>

TEST(Random, StateStepAndIntegerDrawFollowTheGenerator)
{
    SetRandSeed(0);
    // s = 0 * 134775813 + 1 = 1; upper 32 bits of 10 * 1 are 0.
    EXPECT_EQ(RandomInt(10), 0u);
    EXPECT_EQ(GetRandSeed(), 1u);
    // s = 134775814; 100 * s >> 32 = 3.
    EXPECT_EQ(RandomInt(100), 3u);
    EXPECT_EQ(GetRandSeed(), 134775814u);
}
