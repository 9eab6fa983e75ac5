// Texels of a software DirectDraw surface for the rasteriser: every texture format widened
// to 0xAARRGGBB once per change of the surface's pixels or of its palette.
// Implements: SoftDxSurface::Texels.
// Not here: sampling (SoftDxTexture.h).
#include <bit>
#include <cstring>

#include "SoftDxSurface.h"

namespace softdx {

namespace {

// A channel's bits widened to eight by repeating them, so full stays full; a missing
// channel reads as full.
uint32_t Widen(uint32_t value, uint32_t mask, uint32_t absent)
{
    if (!mask) return absent;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    uint32_t v = (value & mask) >> shift;
    if (bits >= 8) return v >> (bits - 8);
    uint32_t out = 0;
    for (int have = 0; have < 8; have += bits) out = (out << bits) | v;
    const int total = ((8 + bits - 1) / bits) * bits;
    return out >> (total - 8);
}

}  // namespace

const std::vector<uint32_t>& SoftDxSurface::Texels()
{
    const uint32_t paletteVersion = FPalette ? FPalette->Version() : 0;
    if (FTexelsOf == FUniqueness && FTexelsPalette == FPalette && FTexelsPaletteVersion == paletteVersion &&
        !FTexels.empty())
        return FTexels;
    const size_t count = size_t{FWidth} * FHeight;
    FTexels.resize(count);
    const PixelFormat& f = FFormat;
    const PALETTEENTRY* palette = FPalette ? FPalette->Entries() : nullptr;
    const PixelView view = View();
    for (uint32_t y = 0; y < FHeight; ++y) {
        const uint8_t* row = view.At(0, int32_t(y));
        uint32_t* out = FTexels.data() + size_t{y} * FWidth;
        for (uint32_t x = 0; x < FWidth; ++x) {
            uint32_t v = 0;
            std::memcpy(&v, row + size_t{x} * view.BytesPerPixel, view.BytesPerPixel);
            uint32_t a = 0xFF, r, g, b;
            if (f.Indexed) {
                r = palette ? palette[v & 0xFF].peRed : v & 0xFF;
                g = palette ? palette[v & 0xFF].peGreen : v & 0xFF;
                b = palette ? palette[v & 0xFF].peBlue : v & 0xFF;
            } else if (f.Kind == PixelFormat::Luminance) {
                r = g = b = v & 0xFF;
            } else if (f.Kind == PixelFormat::Bump) {
                r = v & 0xFF, g = (v >> 8) & 0xFF, b = 0;
            } else {
                r = Widen(v, f.RedMask, 0), g = Widen(v, f.GreenMask, 0), b = Widen(v, f.BlueMask, 0);
                a = Widen(v, f.AlphaMask, 0xFF);
            }
            out[x] = a << 24 | r << 16 | g << 8 | b;
        }
    }
    FTexelsOf = FUniqueness;
    FTexelsPalette = FPalette;
    FTexelsPaletteVersion = paletteVersion;
    return FTexels;
}

}  // namespace softdx
