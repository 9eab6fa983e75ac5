// Implements: StoredSize, OpenPictureFile and TPicture's checks around each decoder (Picture.h).
#include "imaging/Picture.h"

#include <new>

#include "core/Paths.h"
#include "framework/Bitmap.h"
#include "imaging/PictureLimits.h"

// Progressive JPEGs keep every coefficient of the whole picture while they decode (two bytes
// a sample: 72 MB for a 24 MP photograph with halved colour, 144 MB for 48 MP), and HEIF and
// JPEG XL pictures are decoded whole (4 bytes a pixel: 192 MB for 48 MP).
// A picture that would need more fails as damaged data does, instead of taking the memory
// the show and the system need.
const long TPicture::DefaultMemoryBudget = 192L << 20;

TStoredSize StoredSize(int width, int height, int boxWidth, int boxHeight)
{
    if (width <= 0 || height <= 0) return {};
    if (boxWidth <= 0 || boxHeight <= 0 || boxWidth >= width || boxHeight >= height) return {width, height};
    const int64_t w = width, h = height, bw = boxWidth, bh = boxHeight;
    if (bw * h >= bh * w) return {boxWidth, static_cast<int>((h * bw + w - 1) / w)};
    return {static_cast<int>((w * bh + h - 1) / h), boxHeight};
}

std::FILE* OpenPictureFile(const std::string& path, uint64_t* sizeOut)
{
    std::FILE* file = path.empty() ? nullptr : OpenFileStream(path, "rb");
    if (file == nullptr) return nullptr;
    // A file whose size cannot be told is refused with those too large.
    long end = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) end = std::ftell(file);
    if (end < 0 || static_cast<uint64_t>(end) > MaxPictureFileBytes || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return nullptr;
    }
    if (sizeOut != nullptr) *sizeOut = static_cast<uint64_t>(end);
    return file;
}

bool TPicture::DecodeStored(uint8_t* pixels, ptrdiff_t pitch, int width, int height)
{
    if (FUsed || pixels == nullptr || width > OwnWidth() || height > OwnHeight() || !HoldablePicture(width, height))
        return false;
    FUsed = true;
    return Decode({pixels, pitch, width, height, 4});
}

bool TPicture::DecodeStored(TBitmap& bitmap, int width, int height)
{
    bool decoded = false;
    if (!FUsed && width <= OwnWidth() && height <= OwnHeight() && HoldablePicture(width, height)) {
        try {
            bitmap.SetSizeUninitialized(width, height);
            FUsed = true;
            decoded = Decode({bitmap.ScanLine(0), bitmap.RowDistance(), width, height, 3});
        } catch (const std::bad_alloc&) {
            decoded = false;
        }
    }
    // A half-decoded picture is of no use to anyone; give its memory back at once.
    if (!decoded) bitmap.SetSize(0, 0);
    return decoded;
}
