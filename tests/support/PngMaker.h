#pragma once
// PNG files made by the tests themselves, on either platform: 8-bit RGB or RGBA rows, each
// unfiltered, in one zlib stream.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <zlib.h>

// pixel(x, y) gives 0xAARRGGBB; alpha is written only when asked for.
inline std::string MakePng(int width, int height, const std::function<uint32_t(int, int)>& pixel, bool alpha = false)
{
    const auto be32 = [](std::string& out, uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(v >> shift & 0xFF);
    };
    std::string png("\x89PNG\r\n\x1A\n", 8);
    const auto chunk = [&](const char* type, const std::string& data) {
        be32(png, static_cast<uint32_t>(data.size()));
        const std::string body = type + data;
        png += body;
        be32(png, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
    };
    std::string header;
    be32(header, uint32_t(width));
    be32(header, uint32_t(height));
    header += std::string{8, alpha ? '\6' : '\2', 0, 0, 0};
    chunk("IHDR", header);
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixel(x, y);
            raw += {static_cast<char>(p >> 16), static_cast<char>(p >> 8), static_cast<char>(p)};
            if (alpha) raw += static_cast<char>(p >> 24);
        }
    }
    std::vector<Bytef> packed(compressBound(uLong(raw.size())));
    uLongf packedSize = uLongf(packed.size());
    compress(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()));
    chunk("IDAT", std::string(reinterpret_cast<const char*>(packed.data()), packedSize));
    chunk("IEND", "");
    return png;
}
