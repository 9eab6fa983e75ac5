// Bilinear resampling in 16.16 fixed point. The weights are defined by Core::MulDiv; the
// loop computes them with the same rounding in plain integer arithmetic.
#include "pictures/Resample.h"
#include "core/Numeric.h"
#include "framework/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct TColumn {
    uint32_t Left;   // byte offset of the pixel ix
    uint32_t Right;  // byte offset of ix + 1, or of ix itself at the last column
    uint32_t Fraction;
};

}  // namespace

void ResampleBitmap(TBitmap& source, TBitmap& destination)
{
    source.SetPixelFormat(TPixelFormat::pf24bit);
    destination.SetPixelFormat(TPixelFormat::pf24bit);
    const int sourceWidth = source.Width();
    const int sourceHeight = source.Height();
    const int width = destination.Width();
    const int height = destination.Height();
    // Nothing to draw into, or nothing to draw from.
    if (destination.Empty() || source.Empty()) return;

    uint8_t* const firstRow = destination.ScanLine(0);
    const ptrdiff_t rowDistance = destination.RowDistance();
    if (sourceWidth == width && sourceHeight == height) {
        if (&source == &destination) return;
        for (int y = 0; y < height; ++y)
            std::memcpy(firstRow + y * rowDistance, source.ScanLine(y), static_cast<size_t>(width) * 3);
        return;
    }

    const int32_t xStep = Core::MulDiv(sourceWidth - 1, 65536, width);
    const int32_t yStep = Core::MulDiv(sourceHeight - 1, 65536, height);
    const uint32_t lastColumn = static_cast<uint32_t>(sourceWidth - 1);
    std::vector<TColumn> columns(static_cast<size_t>(width));
    uint32_t sx = 0;
    for (TColumn& column : columns) {
        const uint32_t ix = std::min(sx >> 16, lastColumn);
        column.Left = ix * 3;
        column.Right = std::min(ix + 1, lastColumn) * 3;
        column.Fraction = sx & 0xFFFF;
        sx += static_cast<uint32_t>(xStep);
    }

    uint32_t sy = 0;
    for (int y = 0; y < height; ++y, sy += static_cast<uint32_t>(yStep)) {
        const int iy = std::min(static_cast<int>(sy >> 16), sourceHeight - 1);
        const uint8_t* const r0 = source.ScanLine(iy);
        const uint8_t* const r1 = source.ScanLine(iy < sourceHeight - 1 ? iy + 1 : iy);
        const uint32_t wy0 = ((~sy) & 0xFFFF) + 1;
        const uint32_t wy1 = (sy & 0xFFFF) + 1;
        uint8_t* out = firstRow + y * rowDistance;
        for (const TColumn& column : columns) {
            const uint32_t w01 = ResampleWeight(column.Fraction, wy0);
            const uint32_t w00 = wy0 - w01;
            const uint32_t w11 = ResampleWeight(column.Fraction, wy1);
            const uint32_t w10 = wy1 - w11;
            const uint8_t* a = r0 + column.Left;
            const uint8_t* b = r0 + column.Right;
            const uint8_t* c = r1 + column.Left;
            const uint8_t* d = r1 + column.Right;
            for (int channel = 0; channel < 3; ++channel)
                out[channel] = static_cast<uint8_t>(
                    (a[channel] * w00 + b[channel] * w01 + c[channel] * w10 + d[channel] * w11) >> 16);
            out += 3;
        }
    }
}
