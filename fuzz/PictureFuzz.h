#pragma once
// One fuzz input through a picture decoder: written to an in-memory file reached through
// /proc (the decoders open files only), opened, and decoded into guarded memory at a size the
// input's last two bytes choose (after the end of the picture, where no decoder looks). A
// write past a row's end, or past the last row, aborts.
#include "imaging/Picture.h"
#include "imaging/PictureLimits.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace picture_fuzz {

// Larger pictures are opened (their header is read) but not decoded: the decoding of a huge
// picture from a few hundred damaged bytes only slows the search down.
constexpr uint64_t MaxDecodedPixels = 4'000'000;

inline int MemoryFile()
{
    static const int fd = memfd_create("picture", 0);
    return fd;
}

// The path of a file holding the input; aborts when it cannot be written.
inline std::string WriteInput(const uint8_t* data, size_t size)
{
    const int fd = MemoryFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    return "/proc/self/fd/" + std::to_string(fd);
}

// Decodes at width x height into rows with a pitch wider than the row, so that a write past a
// row's end lands in the gap, and a guard row after the last one: both must stay untouched.
inline void DecodeGuarded(TPicture& picture, int width, int height)
{
    const ptrdiff_t pitch = static_cast<ptrdiff_t>(width) * 4 + 8;
    std::vector<uint8_t> memory(static_cast<size_t>(pitch) * (static_cast<size_t>(height) + 1), 0xA5);
    picture.DecodeStored(memory.data(), pitch, width, height);
    for (int y = 0; y <= height; ++y) {
        const uint8_t* row = memory.data() + y * pitch;
        const int from = y < height ? width * 4 : 0;
        for (ptrdiff_t x = from; x < pitch; ++x)
            if (row[x] != 0xA5) std::abort();
    }
}

// The whole run of one input through a fresh decoder.
inline int Run(TPicture& picture, const uint8_t* data, size_t size)
{
    if (size == 0 || !picture.Open(WriteInput(data, size))) return 0;
    const int width = picture.OwnWidth(), height = picture.OwnHeight();
    if (width <= 0 || height <= 0) std::abort();
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > MaxDecodedPixels) return 0;
    // A box from 1 x 1 to a fifth larger than the picture; or, taken as it is, a size of other
    // proportions than the picture's.
    const uint8_t a = size > 2 ? data[size - 2] : 0, b = data[size - 1];
    const int boxWidth = 1 + static_cast<int>(int64_t{width} * a / 212);
    const int boxHeight = 1 + static_cast<int>(int64_t{height} * (b >> 1) / 106);
    TStoredSize stored{boxWidth, boxHeight};
    if (b & 2) stored = StoredSize(width, height, boxWidth, boxHeight);
    if (stored.Width > width || stored.Height > height) {
        std::vector<uint8_t> nothing(4);
        if (picture.DecodeStored(nothing.data(), 4, stored.Width, stored.Height)) std::abort();
        return 0;
    }
    DecodeGuarded(picture, stored.Width, stored.Height);
    return 0;
}

}  // namespace picture_fuzz
