#include "core/Random.h"

#include <gtest/gtest.h>

#include <ctime>

TEST(Random, StateStepAndIntegerDrawFollowTheGenerator)
{
    SetRandSeed(0);
    // s = 0 * 134775813 + 1 = 1; upper 32 bits of 10 * 1 are 0.
    EXPECT_EQ(RandomInt(10), 0u);
    EXPECT_EQ(GetRandSeed(), 1u);
    // s = 134775814; 100 * s = 13477581400, whose upper 32 bits are 3.
    EXPECT_EQ(RandomInt(100), 3u);
    EXPECT_EQ(GetRandSeed(), 134775814u);

    // The state wraps modulo 2^32: 0xFFFFFFFF * 134775813 + 1 = -134775812 mod 2^32.
    SetRandSeed(0xFFFFFFFFu);
    RandomInt(1);
    EXPECT_EQ(GetRandSeed(), 4160191484u);
}

TEST(Random, DrawsStayBelowTheirBoundAndStillStepOnZero)
{
    // Choose the seed whose successor is the largest state: the draw must be n - 1, never n.
    // s' = s * 134775813 + 1 = 0xFFFFFFFF  <=>  s = 0xFFFFFFFE * inverse(134775813).
    uint32_t inverse = 134775813u;  // Newton's iteration for the inverse modulo 2^32
    for (int i = 0; i < 5; ++i) inverse *= 2u - 134775813u * inverse;
    ASSERT_EQ(134775813u * inverse, 1u);
    SetRandSeed(0xFFFFFFFEu * inverse);
    EXPECT_EQ(RandomInt(1000), 999u);
    EXPECT_EQ(GetRandSeed(), 0xFFFFFFFFu);

    SetRandSeed(0xFFFFFFFEu * inverse);
    const double largest = RandomReal();
    EXPECT_LT(largest, 1.0);
    EXPECT_EQ(largest, 4294967295.0 / 4294967296.0);
    const double next = RandomReal();
    EXPECT_EQ(next, static_cast<double>(GetRandSeed()) / 4294967296.0);

    const uint32_t before = GetRandSeed();
    EXPECT_EQ(RandomInt(0), 0u);
    EXPECT_NE(GetRandSeed(), before) << "a draw below 0 still advances the state";
}

TEST(Random, SeedIsTheMillisecondsSinceUtcMidnight)
{
    const std::time_t now = std::time(nullptr);
    const std::tm utc = *std::gmtime(&now);
    const long long expected = ((utc.tm_hour * 60LL + utc.tm_min) * 60 + utc.tm_sec) * 1000;
    Randomize();
    const long long seeded = GetRandSeed();
    EXPECT_LT(seeded, 86400000LL);
    // Allow for the second that may pass between the two readings, and for midnight.
    long long diff = seeded - expected;
    if (diff < -43200000LL) diff += 86400000LL;
    EXPECT_GE(diff, 0);
    EXPECT_LT(diff, 2000);
}
