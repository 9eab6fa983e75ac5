#pragma once
// Small pieces the benchmarks share.
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <vector>

// The middle value, which one slow round on a shared machine does not move; 0 for none.
inline double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A well-mixed 32-bit hash, for grain that looks random but is the same in every run.
inline uint32_t Hash(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// User plus system processor seconds of a finished child, from wait4's usage.
inline double ProcessorSeconds(const rusage& usage)
{
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
