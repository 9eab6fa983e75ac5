// The JPEG loader that decodes into a bitmap: any bytes give a picture or a refusal, and a
// picture is never empty nor larger than the limit.
#include "framework/Bitmap.h"
#include "imaging/PictureLimits.h"
#include "imaging/PictureLoader.h"

#include <cstdint>
#include <cstdlib>

namespace {
// Inputs whose frame header announces more pixels than this are skipped: decoding a huge
// picture out of a few hundred damaged bytes takes seconds and finds nothing new, and the
// size limit itself is the unit tests' concern.
constexpr uint64_t MaxFuzzedPixels = 4'000'000;

uint64_t AnnouncedPixels(const uint8_t* data, size_t size)
{
    uint64_t most = 0;
    for (size_t i = 0; i + 9 <= size; ++i) {
        const uint8_t m = data[i + 1];
        if (data[i] != 0xFF || m < 0xC0 || m > 0xCF || m == 0xC4 || m == 0xC8 || m == 0xCC) continue;
        const uint64_t height = data[i + 5] << 8 | data[i + 6], width = data[i + 7] << 8 | data[i + 8];
        if (height * width > most) most = height * width;
    }
    return most;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (AnnouncedPixels(data, size) > MaxFuzzedPixels) return 0;
    TBitmap bitmap;
    if (LoadJpegBytesIntoBitmap(bitmap, data, size)) {
        if (bitmap.Empty() || static_cast<uint64_t>(bitmap.Width()) * bitmap.Height() > MaxPicturePixels) std::abort();
        // Every row must be the bitmap's own memory: touch the first and last byte of the last.
        volatile uint8_t last = bitmap.ScanLine(bitmap.Height() - 1)[bitmap.Width() * 3 - 1];
        (void)last;
    } else if (!bitmap.Empty()) {
        std::abort();
    }
    return 0;
}
