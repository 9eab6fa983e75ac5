#pragma once
// The process-wide pseudo-random generator: one 32-bit state, a linear congruential step
// per draw. The show, the preview and the picture shuffle all draw from it, in a fixed
// order, so the same seed always replays the same show.
#include <cstdint>

// Current state; tests set it to replay a known sequence.
uint32_t GetRandSeed();
void SetRandSeed(uint32_t seed);

// Seeds the state with the milliseconds since midnight of the current UTC time of day.
void Randomize();

// Integer draw in [0, n): the upper 32 bits of the 64-bit product n * state (0 for n = 0).
uint32_t RandomInt(uint32_t n);

// Real draw in [0, 1): state / 2^32.
double RandomReal();

// Milliseconds since midnight, UTC: ((h * 60 + m) * 60 + s) * 1000 + ms.
uint32_t MillisecondsSinceUtcMidnight();
