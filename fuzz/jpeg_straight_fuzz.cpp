// The JPEG decoder that writes straight into the caller's memory, at the picture's own size
// and reduced to a size the input's last two bytes choose (after the end of the picture, where
// the decoder does not look). It opens files only, so each input becomes an in-memory file
// reached through /proc, with no disk traffic.
#include "imaging/PictureLimits.h"
#include "imaging/PictureLoader.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace {
// Larger pictures are opened (their header is read) but not decoded: the decoding of a huge
// picture from a few hundred damaged bytes only slows the search down.
constexpr uint64_t MaxDecodedPixels = 4'000'000;

int MemoryFile()
{
    static const int fd = memfd_create("jpeg", 0);
    return fd;
}

// Decodes into rows with a pitch wider than the row, so that a write past a row's end lands in
// the gap, and a guard row after the last one: both must stay untouched.
void DecodeGuarded(TJpegPicture& picture, int width, int height, bool stored)
{
    const ptrdiff_t pitch = static_cast<ptrdiff_t>(width) * 4 + 8;
    std::vector<uint8_t> memory(static_cast<size_t>(pitch) * (static_cast<size_t>(height) + 1), 0xA5);
    if (stored)
        picture.DecodeStored(memory.data(), pitch, width, height);
    else
        picture.DecodeInto(memory.data(), pitch);
    for (int y = 0; y <= height; ++y) {
        const uint8_t* row = memory.data() + y * pitch;
        const int from = y < height ? width * 4 : 0;
        for (ptrdiff_t x = from; x < pitch; ++x)
            if (row[x] != 0xA5) std::abort();
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int fd = MemoryFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    TJpegPicture picture;
    if (!picture.Open("/proc/self/fd/" + std::to_string(fd))) return 0;
    const int width = picture.OwnWidth(), height = picture.OwnHeight();
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) std::abort();
    if (static_cast<uint64_t>(width) * height > MaxDecodedPixels) return 0;
    if (picture.DecodesStraight()) {
        if (width != picture.Width() || height != picture.Height()) std::abort();
        // Every other input decodes straight at its own size, the rest reduced.
        if (data[size - 1] & 1) {
            DecodeGuarded(picture, width, height, false);
            return 0;
        }
    }
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
    DecodeGuarded(picture, stored.Width, stored.Height, true);
    return 0;
}
