#pragma once
// The pixel work behind Blt and presentation, on raw pixel memory. Callers have checked
// every rectangle against its surface.
#include <cstddef>
#include <cstdint>

#include "SoftDxInternal.h"

namespace softdx {

struct PixelView {
    uint8_t* Bits = nullptr;  // top-left pixel
    ptrdiff_t Pitch = 0;      // bytes from one row to the next
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t BytesPerPixel = 4;

    uint8_t* At(int32_t x, int32_t y) const { return Bits + y * Pitch + ptrdiff_t{x} * BytesPerPixel; }
};

// A colour key: pixel values from Low to High (both included, compared under the format's
// value mask) are transparent.
struct KeyRange {
    bool Enabled = false;
    uint32_t Low = 0;
    uint32_t High = 0;
};

void FillRect(const PixelView& destination, const RECT& rect, uint32_t pixel);

// Copies source onto destination, stretching or shrinking as the rectangles' sizes differ.
// The source rectangle is in 1/65536 of a pixel. Each destination pixel takes the source
// pixel under its centre: destination column x (counted from the rectangle's left) reads source
// column floor((left + floor((2x + 1) * (right - left) / (2 * dw))) / 65536), rows likewise.
// No filtering. With a source key, keyed source pixels leave the destination as it was; with a
// destination key, only keyed destination pixels are written.
void StretchCopy(const PixelView& destination, const RECT& destinationRect, const PixelView& source,
                 const SoftDxFineRect& sourceRect, const KeyRange& sourceKey, const KeyRange& destinationKey,
                 uint32_t valueMask);
// The same, drawing only the destination pixels inside clip (a part of destinationRect
// within the destination's pixels); each keeps the source pixel of the whole blit.
void StretchCopy(const PixelView& destination, const RECT& destinationRect, const RECT& clip, const PixelView& source,
                 const SoftDxFineRect& sourceRect, const KeyRange& sourceKey, const KeyRange& destinationKey,
                 uint32_t valueMask);

// Whether each channel of a 32-bit format is a whole byte, so that averaging bytes averages
// colours.
bool ByteChannels(const PixelFormat& format);

// 16-bit pixels of 5-6-5 or X-5-5-5 layout as 0x00RRGGBB: each field widened by repeating its
// top bits, so that full intensity stays full. Every bit of the result is a copy of one bit of
// the pixel, so the result is the two bytes' contributions or-ed together.
class Widen16 {
public:
    explicit Widen16(const PixelFormat& format);
    // Whether the format is one of those two layouts (an alpha bit of 1-5-5-5 is ignored).
    static bool Takes(const PixelFormat& format);
    uint32_t operator()(uint32_t pixel) const { return FHigh[(pixel >> 8) & 0xFF] | FLow[pixel & 0xFF]; }

private:
    uint32_t FLow[256], FHigh[256];
};
// StretchCopy from 16-bit pixels (Widen16::Takes their format) into 0x00RRGGBB ones, unkeyed.
void StretchToXrgb(const PixelView& destination, const RECT& destinationRect, const PixelView& source,
                   const SoftDxFineRect& sourceRect, const PixelFormat& sourceFormat);

// 0x00RRGGBB pixels of a whole view; palette (256 entries) for indexed formats.
void ConvertToXrgb(const PixelView& source, const PixelFormat& format, const PALETTEENTRY* palette, uint32_t* out,
                   size_t outPitchBytes);

}  // namespace softdx
