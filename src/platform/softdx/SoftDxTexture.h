#pragma once
// Reading a texture's texels for the rasteriser: wrap or clamp addressing, point or
// bilinear filtering.
#include <cmath>
#include <cstdint>

#include "SoftDxRaster.h"

namespace softdx {

class TextureSampler {
public:
    explicit TextureSampler(const PipelineState& s)
        : FTexels(s.Texture.Texels),
          FWidth(int32_t(s.Texture.Width)),
          FHeight(int32_t(s.Texture.Height)),
          FClampU(s.ClampU),
          FClampV(s.ClampV)
    {
    }

    // The texel whose square holds (u, v), u and v in texture widths (1 is the far edge).
    uint32_t Point(float u, float v) const
    {
        return At(Address(Floor(u * float(FWidth)), FWidth, FClampU),
                  Address(Floor(v * float(FHeight)), FHeight, FClampV));
    }

    // The four texels round (u, v) weighed by nearness, in 1/256 steps.
    uint32_t Bilinear(float u, float v) const
    {
        const float fu = u * float(FWidth) - 0.5f, fv = v * float(FHeight) - 0.5f;
        const int32_t iu = Floor(fu), iv = Floor(fv);
        const uint32_t wu = uint32_t((fu - float(iu)) * 256.0f), wv = uint32_t((fv - float(iv)) * 256.0f);
        const int32_t u0 = Address(iu, FWidth, FClampU), u1 = Address(iu + 1, FWidth, FClampU);
        const int32_t v0 = Address(iv, FHeight, FClampV), v1 = Address(iv + 1, FHeight, FClampV);
        return Mix(Mix(At(u0, v0), At(u1, v0), wu), Mix(At(u0, v1), At(u1, v1), wu), wv);
    }

private:
    // Coordinates far outside the texture wrap the same as near ones; the bound keeps the
    // conversion to an integer defined.
    static int32_t Floor(float f) { return int32_t(std::floor(std::clamp(f, -1e8f, 1e8f))); }
    static int32_t Address(int32_t i, int32_t size, bool clamp)
    {
        if (clamp) return std::clamp(i, 0, size - 1);
        if ((size & (size - 1)) == 0) return i & (size - 1);
        const int32_t m = i % size;
        return m < 0 ? m + size : m;
    }
    uint32_t At(int32_t x, int32_t y) const { return FTexels[size_t(y) * size_t(FWidth) + size_t(x)]; }
    // a + (b - a) w / 256 for each byte, two at a time.
    static uint32_t Mix(uint32_t a, uint32_t b, uint32_t w)
    {
        constexpr uint32_t Even = 0x00FF00FF;
        const uint32_t lowA = a & Even, lowB = b & Even, highA = (a >> 8) & Even, highB = (b >> 8) & Even;
        const uint32_t low = (lowA * (256 - w) + lowB * w) >> 8 & Even;
        const uint32_t high = (highA * (256 - w) + highB * w) & ~Even;
        return low | high;
    }

    const uint32_t* FTexels;
    int32_t FWidth, FHeight;
    bool FClampU, FClampV;
};

}  // namespace softdx
