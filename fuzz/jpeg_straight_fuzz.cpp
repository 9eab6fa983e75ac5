// The JPEG decoder that writes straight into the caller's memory. It opens files only, so each
// input becomes an in-memory file reached through /proc, with no disk traffic.
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
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int fd = MemoryFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    TJpegPicture picture;
    if (!picture.Open("/proc/self/fd/" + std::to_string(fd))) return 0;
    const uint64_t pixels = static_cast<uint64_t>(picture.Width()) * picture.Height();
    if (picture.Width() <= 0 || picture.Height() <= 0 || pixels > MaxPicturePixels) std::abort();
    if (!picture.DecodesStraight() || pixels > MaxDecodedPixels) return 0;
    // A pitch wider than the row, so a write past a row's end lands in the gap, and the guard
    // row after the last one must stay untouched.
    const ptrdiff_t pitch = static_cast<ptrdiff_t>(picture.Width()) * 4 + 8;
    std::vector<uint8_t> memory(static_cast<size_t>(pitch) * (picture.Height() + 1), 0xA5);
    picture.DecodeInto(memory.data(), pitch);
    for (int y = 0; y <= picture.Height(); ++y) {
        const uint8_t* row = memory.data() + y * pitch;
        const int from = y < picture.Height() ? picture.Width() * 4 : 0;
        for (ptrdiff_t x = from; x < pitch; ++x)
            if (row[x] != 0xA5) std::abort();
    }
    return 0;
}
