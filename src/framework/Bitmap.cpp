#include "framework/Bitmap.h"

#include <algorithm>
#include <cstring>

void TBitmap::SetSize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    std::vector<uint8_t> pixels(static_cast<size_t>((static_cast<ptrdiff_t>(width) * 3 + 3) & ~ptrdiff_t(3)) *
                                    static_cast<size_t>(height),
                                0xFF);
    FPixels.swap(pixels);
    FWidth = width;
    FHeight = height;
}

void TBitmap::Assign(const TBitmap& source)
{
    if (&source == this) return;
    SetSize(source.Width(), source.Height());
    const size_t rowBytes = static_cast<size_t>(RowBytes());
    for (int y = 0; y < FHeight; ++y) std::memcpy(ScanLine(y), source.ScanLine(y), rowBytes);
}
