#pragma once
// A picture reduced by area averaging in double precision, the plain way: every output pixel
// is the mean of the source area it covers, with partly covered source pixels counted by the
// part covered. The reference the fixed-point reducer is checked against.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// For each output index, the source indices it covers and how much of each (in source pixels).
inline std::vector<std::vector<std::pair<int, double>>> AreaShares(int from, int to)
{
    std::vector<std::vector<std::pair<int, double>>> shares(static_cast<size_t>(to));
    const double step = static_cast<double>(from) / to;
    for (int o = 0; o < to; ++o) {
        const double begin = o * step, end = (o + 1) * step;
        for (int i = static_cast<int>(std::floor(begin)); i < from && i < end; ++i) {
            const double part = std::min<double>(end, i + 1) - std::max<double>(begin, i);
            if (part > 0) shares[static_cast<size_t>(o)].push_back({i, part});
        }
    }
    return shares;
}

// pixels: width x height values 0x00RRGGBB, row by row.
inline std::vector<uint32_t> AreaAverage(const std::vector<uint32_t>& pixels, int width, int height, int toWidth,
                                         int toHeight)
{
    const auto across = AreaShares(width, toWidth), down = AreaShares(height, toHeight);
    const double area = static_cast<double>(width) / toWidth * height / toHeight;
    std::vector<uint32_t> out(static_cast<size_t>(toWidth) * static_cast<size_t>(toHeight));
    for (int y = 0; y < toHeight; ++y)
        for (int x = 0; x < toWidth; ++x) {
            double sum[3] = {};
            for (const auto& [j, partY] : down[static_cast<size_t>(y)])
                for (const auto& [i, partX] : across[static_cast<size_t>(x)]) {
                    const uint32_t p =
                        pixels[static_cast<size_t>(j) * static_cast<size_t>(width) + static_cast<size_t>(i)];
                    for (int c = 0; c < 3; ++c) sum[c] += partX * partY * (p >> (8 * c) & 0xFF);
                }
            uint32_t pixel = 0;
            for (int c = 0; c < 3; ++c) pixel |= static_cast<uint32_t>(std::lround(sum[c] / area)) << (8 * c);
            out[static_cast<size_t>(y) * static_cast<size_t>(toWidth) + static_cast<size_t>(x)] = pixel;
        }
    return out;
}

// The largest difference of one channel between two pictures of the same size.
inline int LargestChannelDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    int most = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        for (int c = 0; c < 4; ++c)
            most = std::max(
                most, std::abs(static_cast<int>(a[i] >> (8 * c) & 0xFF) - static_cast<int>(b[i] >> (8 * c) & 0xFF)));
    return most;
}
