#include "core/Random.h"

#include <chrono>

namespace {
uint32_t randSeed = 0;

uint32_t NextState()
{
    randSeed = randSeed * 134775813u + 1u;  // wraps modulo 2^32 by unsigned arithmetic
    return randSeed;
}
}  // namespace

uint32_t GetRandSeed() { return randSeed; }

void SetRandSeed(uint32_t seed) { randSeed = seed; }

void Randomize() { randSeed = MillisecondsSinceUtcMidnight(); }

uint32_t RandomInt(uint32_t n)
{
    const uint64_t s = NextState();
    return static_cast<uint32_t>((static_cast<uint64_t>(n) * s) >> 32);
}

double RandomReal() { return static_cast<double>(NextState()) / 4294967296.0; }

uint32_t MillisecondsSinceUtcMidnight()
{
    using namespace std::chrono;
    // The system clock counts UTC without leap seconds, so whole days divide it evenly.
    const auto sinceEpoch = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    constexpr long long msPerDay = 24LL * 60 * 60 * 1000;
    long long ofDay = sinceEpoch % msPerDay;
    if (ofDay < 0) ofDay += msPerDay;
    return static_cast<uint32_t>(ofDay);
}
