#pragma once
// An off-screen, device-independent raster image. Pixels are 3 bytes (blue, green, red),
// each row padded to a multiple of 4 bytes. Row 0 is the top row; rows are reached by index,
// and the distance from one row to the next may be negative (bottom-up storage, as Windows
// keeps its device-independent bitmaps).
#include <cstddef>
#include <cstdint>

enum class TPixelFormat { pf24bit };

// Where pixels are held. Each platform supplies it (framework/FrameworkPlatform.h), so that
// a photograph's tens of megabytes come from memory the system maps cheaply.
namespace BitmapMemory {
// Throws std::bad_alloc when the bytes cannot be had.
uint8_t* Allocate(size_t bytes);
void Release(uint8_t* pixels, size_t bytes) noexcept;
}  // namespace BitmapMemory

class TBitmap {
public:
    // A new bitmap is empty (0 x 0). bottomUp chooses bottom-up storage.
    explicit TBitmap(bool bottomUp = false) : FBottomUp(bottomUp) {}
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);
    TBitmap(TBitmap&& other) noexcept;
    TBitmap& operator=(TBitmap&& other) noexcept;
    ~TBitmap() { BitmapMemory::Release(FPixels, FBytes); }

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Empty() const { return FWidth == 0 || FHeight == 0; }

    // Resizes to width x height; every pixel becomes white, the colour of a new bitmap.
    // Negative sizes count as 0. Throws std::bad_alloc when the pixels cannot be held, leaving
    // the bitmap empty.
    void SetSize(int width, int height);
    // As SetSize, but the pixels are left undefined (the row padding is zeroed), for a
    // caller that is about to write every pixel anyway: filling first would double the
    // memory traffic of a large picture.
    void SetSizeUninitialized(int width, int height);

    TPixelFormat PixelFormat() const { return TPixelFormat::pf24bit; }
    // Pixels are always held as 24 bits, so there is nothing to convert.
    void SetPixelFormat(TPixelFormat) {}

    // Start of row y (0 is the top). y must be inside the bitmap.
    uint8_t* ScanLine(int y) { return FPixels + RowOffset(y); }
    const uint8_t* ScanLine(int y) const { return FPixels + RowOffset(y); }

    // Distance in bytes from the start of row 0 to the start of row 1.
    ptrdiff_t RowDistance() const { return FBottomUp ? -RowBytes() : RowBytes(); }
    // Bytes a row takes, padding included.
    ptrdiff_t RowBytes() const { return (static_cast<ptrdiff_t>(FWidth) * 3 + 3) & ~ptrdiff_t(3); }
    bool BottomUp() const { return FBottomUp; }

    // Copies size and pixels (storage order stays this bitmap's own).
    void Assign(const TBitmap& source);
    // Exchanges the whole contents with other, storage order included.
    void Swap(TBitmap& other) noexcept;

private:
    ptrdiff_t RowOffset(int y) const { return (FBottomUp ? FHeight - 1 - y : y) * RowBytes(); }
    void Allocate(int width, int height);

    int FWidth = 0;
    int FHeight = 0;
    bool FBottomUp;
    uint8_t* FPixels = nullptr;
    size_t FBytes = 0;
};
