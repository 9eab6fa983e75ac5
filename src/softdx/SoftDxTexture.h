#pragma once
// Reading a texture's texels for the rasteriser: wrap or clamp addressing, point or
// bilinear filtering, at coordinates in texels with 16 fractional bits.
#include <algorithm>
#include <cstdint>

#include "SoftDxPixels.h"
#include "SoftDxRaster.h"

namespace softdx {

class TextureSampler {
public:
    explicit TextureSampler(const PipelineState& s)
        : FTexels(s.Texture.Texels),
          FWidth(int32_t(s.Texture.Width)),
          FHeight(int32_t(s.Texture.Height)),
          FMaskU(Mask(FWidth, s.ClampU)),
          FMaskV(Mask(FHeight, s.ClampV)),
          FClampU(s.ClampU),
          FClampV(s.ClampV)
    {
    }
    float Width() const { return float(FWidth); }
    float Height() const { return float(FHeight); }
    // Both sides powers of two that wrap: addresses are masks and rows shifts.
    bool WrapsByMasks() const { return FMaskU >= 0 && FMaskV >= 0; }
    const uint32_t* Texels() const { return FTexels; }
    int32_t MaskU() const { return FMaskU; }
    int32_t MaskV() const { return FMaskV; }

    // The texel whose square holds (u, v).
    TexelWords Point(int32_t u, int32_t v) const
    {
        return Widen(At(Address(u >> 16, FWidth, FMaskU, FClampU), Address(v >> 16, FHeight, FMaskV, FClampV)));
    }

    // The four texels round (u, v) weighed by nearness, in 1/128 steps; (u, v) counted from
    // texel centres (half a texel less than for Point).
    TexelWords Bilinear(int32_t u, int32_t v) const
    {
        const int32_t iu = u >> 16, iv = v >> 16;
        const uint32_t wu = uint32_t(u >> 9) & 0x7F, wv = uint32_t(v >> 9) & 0x7F;
        const int32_t u0 = Address(iu, FWidth, FMaskU, FClampU), u1 = Address(iu + 1, FWidth, FMaskU, FClampU);
        const int32_t v0 = Address(iv, FHeight, FMaskV, FClampV), v1 = Address(iv + 1, FHeight, FMaskV, FClampV);
        const uint32_t* row0 = FTexels + size_t(v0) * size_t(FWidth);
        const uint32_t* row1 = FTexels + size_t(v1) * size_t(FWidth);
        return Bilerp(row0[u0], row0[u1], row1[u0], row1[u1], wu, wv);
    }

private:
    // Wrapping a power-of-two size is a mask; other sizes take a remainder.
    static int32_t Mask(int32_t size, bool clamp) { return !clamp && (size & (size - 1)) == 0 ? size - 1 : -1; }
    static int32_t Address(int32_t i, int32_t size, int32_t mask, bool clamp)
    {
        if (mask >= 0) return i & mask;
        if (clamp) return std::clamp(i, 0, size - 1);
        const int32_t m = i % size;
        return m < 0 ? m + size : m;
    }
    uint32_t At(int32_t x, int32_t y) const { return FTexels[size_t(y) * size_t(FWidth) + size_t(x)]; }

    const uint32_t* FTexels;
    int32_t FWidth, FHeight;
    int32_t FMaskU, FMaskV;
    bool FClampU, FClampV;
};

}  // namespace softdx
