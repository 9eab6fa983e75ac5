// The software Direct3D's pixel stage. Corners are snapped to 1/16 pixel; each row's span
// comes from the three integer edge functions (with the top-left rule, so triangles that
// share an edge never both draw a pixel of it), and the span's pixels step their
// attributes by plane equations: depth, colour and specular linearly on screen, texture
// coordinates through 1/w so they stay correct in perspective.
// Implements: softdx::RasteriseTriangle, ClearColour, ClearDepth.
// Not here: alpha blending, alpha test, fog, dithering, mip-mapping.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "SoftDxRaster.h"
#include "SoftDxTexture.h"

namespace softdx {

namespace {

constexpr int SubPixel = 16;

inline int64_t FloorDiv(int64_t a, int64_t b)  // b > 0
{
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}
inline int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }  // b > 0

// One edge from corner a to corner b: E = K0 + KStep * row + A * column at pixel centres,
// inside where E >= Bias.
struct Edge {
    int64_t A, K0, KStep, Bias;
    Edge(int64_t xa, int64_t ya, int64_t xb, int64_t yb)
    {
        const int64_t dx = xb - xa, dy = yb - ya;
        A = -dy * SubPixel;
        KStep = dx * SubPixel;
        K0 = dx * (SubPixel / 2 - ya) - dy * (SubPixel / 2 - xa);
        // Top edges (level, interior below) and left edges (going up) own their pixels.
        Bias = (dy < 0 || (dy == 0 && dx > 0)) ? 0 : 1;
    }
    // Narrows [lo, hi] to the columns of row y inside this edge.
    void Span(int64_t y, int64_t& lo, int64_t& hi) const
    {
        const int64_t k = K0 + KStep * y;
        if (A > 0)
            lo = std::max(lo, CeilDiv(Bias - k, A));
        else if (A < 0)
            hi = std::min(hi, FloorDiv(k - Bias, -A));
        else if (k < Bias)
            hi = lo - 1;
    }
};

enum Attribute { AZ, AIW, AUW, AVW, AR, AG, AB, AA, ASR, ASG, ASB, Attributes };

inline void Values(const ScreenVertex& v, float* out)
{
    const float in[Attributes] = {v.Z, v.InvW, v.UW, v.VW, v.R, v.G, v.B, v.A, v.SR, v.SG, v.SB};
    std::memcpy(out, in, sizeof in);
}

enum Combine { UseDiffuse, UseTexture, UseModulate };

struct Triangle {
    float Base[Attributes], Dx[Attributes], Dy[Attributes];  // f(x, y) = Base + Dx x + Dy y
    Edge E[3];
    int64_t Top, Bottom;  // rows, inclusive
    Combine Mode;
};

inline uint32_t Channel(float v) { return v <= 0.0f ? 0u : v >= 255.0f ? 255u : uint32_t(v); }

inline bool DepthPasses(DWORD func, uint32_t z, uint32_t stored)
{
    switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return z < stored;
    case D3DCMP_EQUAL: return z == stored;
    case D3DCMP_LESSEQUAL: return z <= stored;
    case D3DCMP_GREATER: return z > stored;
    case D3DCMP_NOTEQUAL: return z != stored;
    case D3DCMP_GREATEREQUAL: return z >= stored;
    default: return true;
    }
}

template <int DepthBits>
inline uint32_t DepthValue(float z)
{
    if constexpr (DepthBits == 16)
        return uint32_t(std::clamp(z, 0.0f, 1.0f) * 65535.0f + 0.5f);
    else
        return uint32_t(std::clamp(z, 0.0f, 1.0f) * 4294967040.0f);
}

template <RasterTarget::Layouts Layout>
inline void Store(uint8_t* at, uint32_t r, uint32_t g, uint32_t b, uint32_t a, uint32_t alphaMask)
{
    if constexpr (Layout == RasterTarget::Xrgb8888) {
        const uint32_t pixel = (r << 16 | g << 8 | b) | ((a << 24) & alphaMask);
        std::memcpy(at, &pixel, 4);
    } else if constexpr (Layout == RasterTarget::Rgb565) {
        const uint16_t pixel = uint16_t((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
        std::memcpy(at, &pixel, 2);
    } else {
        const uint16_t pixel = uint16_t((r >> 3) << 10 | (g >> 3) << 5 | b >> 3 | ((a & 0x80) << 8 & alphaMask));
        std::memcpy(at, &pixel, 2);
    }
}

template <RasterTarget::Layouts Layout, int DepthBits, int Filter>
void Fill(const Triangle& t, const PipelineState& s, const RasterTarget& target)
{
    const TextureSampler sampler(s);
    const uint32_t bytes = target.Colour.BytesPerPixel;
    for (int64_t y = t.Top; y <= t.Bottom; ++y) {
        int64_t lo = target.Clip.left, hi = int64_t{target.Clip.right} - 1;
        for (const Edge& e : t.E) e.Span(y, lo, hi);
        if (lo > hi) continue;
        float a[Attributes];
        const float cx = float(lo) + 0.5f, cy = float(y) + 0.5f;
        for (int i = 0; i < Attributes; ++i) a[i] = t.Base[i] + t.Dx[i] * cx + t.Dy[i] * cy;
        uint8_t* pixel = target.Colour.At(int32_t(lo), int32_t(y));
        uint8_t* depth = DepthBits ? target.Depth.At(int32_t(lo), int32_t(y)) : nullptr;
        for (int64_t x = lo; x <= hi; ++x, pixel += bytes) {
            bool draw = true;
            if constexpr (DepthBits != 0) {
                const uint32_t z = DepthValue<DepthBits>(a[AZ]);
                if constexpr (DepthBits == 16) {
                    uint16_t stored;
                    std::memcpy(&stored, depth, 2);
                    draw = DepthPasses(s.DepthFunc, z, stored);
                    if (draw && s.DepthWrite) {
                        const uint16_t narrow = uint16_t(z);
                        std::memcpy(depth, &narrow, 2);
                    }
                } else {
                    uint32_t stored;
                    std::memcpy(&stored, depth, 4);
                    draw = DepthPasses(s.DepthFunc, z, stored);
                    if (draw && s.DepthWrite) std::memcpy(depth, &z, 4);
                }
                depth += DepthBits / 8;
            }
            if (draw) {
                uint32_t r = Channel(a[AR]), g = Channel(a[AG]), b = Channel(a[AB]), al = Channel(a[AA]);
                if constexpr (Filter != 0) {
                    const float w = 1.0f / a[AIW];
                    const uint32_t texel =
                        Filter == 1 ? sampler.Point(a[AUW] * w, a[AVW] * w) : sampler.Bilinear(a[AUW] * w, a[AVW] * w);
                    const uint32_t tr = texel >> 16 & 0xFF, tg = texel >> 8 & 0xFF, tb = texel & 0xFF, ta = texel >> 24;
                    if (t.Mode == UseTexture) {
                        r = tr, g = tg, b = tb, al = ta;
                    } else {
                        // x * y / 255, exactly for the ends and within one step between.
                        auto mul = [](uint32_t x, uint32_t y) {
                            const uint32_t p = x * y + 128;
                            return (p + (p >> 8)) >> 8;
                        };
                        r = mul(r, tr), g = mul(g, tg), b = mul(b, tb), al = mul(al, ta);
                    }
                }
                if (s.Specular) {
                    r = std::min(255u, r + Channel(a[ASR]));
                    g = std::min(255u, g + Channel(a[ASG]));
                    b = std::min(255u, b + Channel(a[ASB]));
                }
                Store<Layout>(pixel, r, g, b, al, target.AlphaMask);
            }
            for (int i = 0; i < Attributes; ++i) a[i] += t.Dx[i];
        }
    }
}

template <RasterTarget::Layouts Layout, int DepthBits>
void FillFiltered(const Triangle& t, const PipelineState& s, const RasterTarget& target)
{
    if (t.Mode == UseDiffuse)
        Fill<Layout, DepthBits, 0>(t, s, target);
    else if (s.Bilinear)
        Fill<Layout, DepthBits, 2>(t, s, target);
    else
        Fill<Layout, DepthBits, 1>(t, s, target);
}

template <RasterTarget::Layouts Layout>
void FillDepth(const Triangle& t, const PipelineState& s, const RasterTarget& target)
{
    if (!s.DepthTest)
        FillFiltered<Layout, 0>(t, s, target);
    else if (target.DepthBits == 16)
        FillFiltered<Layout, 16>(t, s, target);
    else
        FillFiltered<Layout, 32>(t, s, target);
}

Combine ModeOf(const PipelineState& s)
{
    if (!s.Texture.Texels) return UseDiffuse;
    auto pick = [](DWORD arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE ? UseTexture : UseDiffuse; };
    switch (s.ColorOp) {
    case D3DTOP_SELECTARG1: return pick(s.ColorArg1);
    case D3DTOP_SELECTARG2: return pick(s.ColorArg2);
    case D3DTOP_MODULATE:
        if (pick(s.ColorArg1) == UseTexture && pick(s.ColorArg2) == UseTexture) return UseTexture;
        return pick(s.ColorArg1) == UseTexture || pick(s.ColorArg2) == UseTexture ? UseModulate : UseDiffuse;
    default: return UseDiffuse;
    }
}

}  // namespace

void RasteriseTriangle(const PipelineState& s, const RasterTarget& target, const ScreenVertex& v0,
                       const ScreenVertex& v1, const ScreenVertex& v2)
{
    const int64_t x0 = std::llround(v0.X * SubPixel), y0 = std::llround(v0.Y * SubPixel);
    const int64_t x1 = std::llround(v1.X * SubPixel), y1 = std::llround(v1.Y * SubPixel);
    const int64_t x2 = std::llround(v2.X * SubPixel), y2 = std::llround(v2.Y * SubPixel);
    const int64_t area = (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0);
    if (area <= 0) return;  // clockwise only; snapping can flatten a sliver

    Triangle t{{}, {}, {}, {Edge(x0, y0, x1, y1), Edge(x1, y1, x2, y2), Edge(x2, y2, x0, y0)}, 0, 0, UseDiffuse};
    const int64_t top = std::min({y0, y1, y2}), bottom = std::max({y0, y1, y2});
    t.Top = std::max<int64_t>(target.Clip.top, FloorDiv(top, SubPixel));
    t.Bottom = std::min<int64_t>(int64_t{target.Clip.bottom} - 1, FloorDiv(bottom, SubPixel));
    if (t.Top > t.Bottom) return;
    t.Mode = ModeOf(s);

    // Plane equations through the snapped corners.
    const float fx0 = float(x0) / SubPixel, fy0 = float(y0) / SubPixel;
    const float ex1 = float(x1 - x0) / SubPixel, ey1 = float(y1 - y0) / SubPixel;
    const float ex2 = float(x2 - x0) / SubPixel, ey2 = float(y2 - y0) / SubPixel;
    const float inverse = 1.0f / (ex1 * ey2 - ex2 * ey1);
    float f0[Attributes], f1[Attributes], f2[Attributes];
    Values(v0, f0), Values(v1, f1), Values(v2, f2);
    for (int i = 0; i < Attributes; ++i) {
        const float d1 = f1[i] - f0[i], d2 = f2[i] - f0[i];
        t.Dx[i] = (d1 * ey2 - d2 * ey1) * inverse;
        t.Dy[i] = (d2 * ex1 - d1 * ex2) * inverse;
        t.Base[i] = f0[i] - t.Dx[i] * fx0 - t.Dy[i] * fy0;
    }
    switch (target.Layout) {
    case RasterTarget::Xrgb8888: FillDepth<RasterTarget::Xrgb8888>(t, s, target); break;
    case RasterTarget::Rgb565: FillDepth<RasterTarget::Rgb565>(t, s, target); break;
    case RasterTarget::Xrgb1555: FillDepth<RasterTarget::Xrgb1555>(t, s, target); break;
    }
}

void ClearColour(const RasterTarget& target, const RECT& rect, D3DCOLOR colour)
{
    uint32_t pixel;
    const uint32_t r = RGBA_GETRED(colour), g = RGBA_GETGREEN(colour), b = RGBA_GETBLUE(colour),
                   a = RGBA_GETALPHA(colour);
    uint8_t packed[4];
    switch (target.Layout) {
    case RasterTarget::Xrgb8888: Store<RasterTarget::Xrgb8888>(packed, r, g, b, a, target.AlphaMask); break;
    case RasterTarget::Rgb565: Store<RasterTarget::Rgb565>(packed, r, g, b, a, target.AlphaMask); break;
    case RasterTarget::Xrgb1555: Store<RasterTarget::Xrgb1555>(packed, r, g, b, a, target.AlphaMask); break;
    }
    pixel = 0;
    std::memcpy(&pixel, packed, target.Colour.BytesPerPixel);
    FillRect(target.Colour, rect, pixel);
}

void ClearDepth(const RasterTarget& target, const RECT& rect, float z)
{
    FillRect(target.Depth, rect, target.DepthBits == 16 ? DepthValue<16>(z) : DepthValue<32>(z));
}

}  // namespace softdx
