#pragma once
// The bytes of small picture files for the surface and texture tests: a 24-bit BMP of a
// picture and a 32-bit TGA of 0xRRGGBBAA values.
#include <cstdint>
#include <string>
#include <vector>

#include "support/JpegMaker.h"

// A 24-bit BMP, rows bottom up as the format keeps them.
inline std::string MakeBmp24(const TRgbPicture& picture)
{
    const size_t rowBytes = (static_cast<size_t>(picture.Width) * 3 + 3) & ~size_t{3};
    std::string s(54, '\0');
    auto put32 = [&s](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
    };
    s[0] = 'B';
    s[1] = 'M';
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(picture.Width));
    put32(22, static_cast<uint32_t>(picture.Height));
    s[26] = 1;
    s[28] = 24;
    for (int y = picture.Height - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < picture.Width; ++x) {
            const TRgb& c = picture.At(x, y);
            row += {static_cast<char>(c.B), static_cast<char>(c.G), static_cast<char>(c.R)};
        }
        row.resize(rowBytes, '\0');
        s += row;
    }
    return s;
}

// A 32-bit top-down TGA (at most 255 x 255); each value 0xRRGGBBAA, row 0 first.
inline std::string MakeTga32(int width, int height, const std::vector<uint32_t>& pixels)
{
    std::string s(18, '\0');
    s[2] = 2;
    s[12] = static_cast<char>(width);
    s[14] = static_cast<char>(height);
    s[16] = 32;
    s[17] = 0x28;  // top-down, 8 alpha bits
    for (uint32_t v : pixels)
        s += {static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24), static_cast<char>(v)};
    return s;
}
