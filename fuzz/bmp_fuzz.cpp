// The BMP reader: any bytes give a whole bitmap or a refusal that leaves it empty.
#include "imaging/PictureLimits.h"
#include "wdx/ImageFiles.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TLoadedBitmap bitmap;
    if (!ReadBmp(data, size, bitmap)) {
        if (!bitmap.Pixels.Empty()) std::abort();
        return 0;
    }
    const TBitmap& pixels = bitmap.Pixels;
    if (pixels.Empty() || static_cast<uint64_t>(pixels.Width()) * pixels.Height() > MaxPicturePixels) std::abort();
    if (bitmap.FileBits <= 8 ? bitmap.ColorTable.size() > (size_t{1} << bitmap.FileBits) : !bitmap.ColorTable.empty())
        std::abort();
    volatile uint8_t last = pixels.ScanLine(pixels.Height() - 1)[pixels.Width() * 3 - 1];
    (void)last;
    return 0;
}
