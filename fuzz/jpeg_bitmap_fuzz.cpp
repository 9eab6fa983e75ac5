// The JPEG loader that decodes into a bitmap: any bytes give a picture or a refusal, and a
// picture is never empty nor larger than the limit.
#include "framework/Bitmap.h"
#include "imaging/PictureLimits.h"
#include "imaging/PictureLoader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
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
