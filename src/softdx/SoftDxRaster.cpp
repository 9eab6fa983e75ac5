// The software Direct3D's pixel stage. Corners are snapped to 1/16 pixel; each row's span
// comes from the three integer edge functions (with the top-left rule, so triangles that
// share an edge never both draw a pixel of it), and the span's pixels step their
// attributes by plane equations: depth, colour and specular linearly on screen, texture
// coordinates through 1/w so they stay correct in perspective.
// Implements: softdx::RasteriseTriangle, ClearColour, ClearDepth.
// Alpha-tested or blended triangles take a slower loop of their own, which shades before
// testing depth and reads the target back.
// Not here: fog, dithering, mip-mapping.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "SoftDxPixels.h"
#include "SoftDxRaster.h"
#include "SoftDxSpanTexels.h"

namespace softdx {

namespace {

constexpr int SubPixel = 16;

inline int64_t FloorDiv(int64_t a, int64_t b)  // b > 0
{
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// One edge from corner a to corner b: E = K0 + KStep * row + A * column at pixel centres,
// inside where E >= Bias. Each row's bound on the columns is the quotient of a division;
// rows step it on with a remainder, so only the first row divides.
struct Edge {
    int64_t A = 0, K0 = 0, KStep = 0, Bias = 0;
    int64_t Q = 0, R = 0, S = 0, T = 0, D = 1;  // bound Q with remainder R; a row adds S and T
    Edge() = default;
    Edge(int64_t xa, int64_t ya, int64_t xb, int64_t yb)
    {
        const int64_t dx = xb - xa, dy = yb - ya;
        A = -dy * SubPixel;
        KStep = dx * SubPixel;
        K0 = dx * (SubPixel / 2 - ya) - dy * (SubPixel / 2 - xa);
        // Top edges (level, interior below) and left edges (going up) own their pixels.
        Bias = (dy < 0 || (dy == 0 && dx > 0)) ? 0 : 1;
    }
    // A left bound (A > 0) is the smallest column with A x >= Bias - k: Q = ceil((Bias - k) / A),
    // kept as Bias - k = A Q - R. A right bound (A < 0) is the largest column with
    // -A x <= k - Bias: Q = floor((k - Bias) / -A), kept as k - Bias = -A Q + R.
    void Start(int64_t row)
    {
        if (A == 0) return;
        const int64_t k = K0 + KStep * row;
        D = A > 0 ? A : -A;
        const int64_t n = A > 0 ? Bias - k : k - Bias;
        Q = FloorDiv(n, D), R = n - Q * D;    // n = D Q + R, 0 <= R < D
        if (A > 0 && R != 0) ++Q, R = D - R;  // ceiling: n = D Q - R
        const int64_t step = A > 0 ? -KStep : KStep;
        S = FloorDiv(step, D), T = step - S * D;
    }
    void Next()
    {
        if (A == 0) return;
        // The carries follow no pattern a branch predictor could learn: take them by masks.
        if (A > 0) {
            // n - KStep = D (Q + S) - (R - T)
            Q += S, R -= T;
            const int64_t carry = R >> 63;  // all ones when R < 0
            R += D & carry, Q -= carry;
        } else {
            Q += S, R += T;
            const int64_t carry = ~((R - D) >> 63);  // all ones when R >= D
            R -= D & carry, Q -= carry;
        }
    }
    void Span(int64_t row, int64_t& lo, int64_t& hi) const
    {
        if (A > 0)
            lo = std::max(lo, Q);
        else if (A < 0)
            hi = std::min(hi, Q);
        else if (K0 + KStep * row < Bias)
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

// Eight attributes step in fixed point with 16 fractional bits: the seven colours (0..255)
// and depth (in the z-buffer's own unit); the three of perspective (1/w, u/w, v/w) in
// floating point. All are given at the centre of the origin pixel (OX, Top) and per pixel
// right and down, so each row starts from the one before with additions.
constexpr int Colours = 7;  // R, G, B, A, SR, SG, SB
constexpr int FixedAttributes = Colours + 1;
constexpr int DepthSlot = Colours;

struct Triangle {
    int64_t Fix[FixedAttributes], FixDx[FixedAttributes], FixDy[FixedAttributes];
    float Persp[3], PerspDx[3], PerspDy[3];  // 1/w, u/w, v/w at the first corner
    float X0, Y0;                            // the first corner
    Edge E[3];
    int64_t OX, Top, Bottom;  // rows inclusive
    Combine Mode;
};

// A comparison function as its answers for less, equal and greater, so the test in the
// pixel loop is two comparisons and no jump.
struct Comparison {
    bool Less, Equal, Greater;
    explicit Comparison(DWORD func)
        : Less(func == D3DCMP_LESS || func == D3DCMP_LESSEQUAL || func == D3DCMP_NOTEQUAL || func == D3DCMP_ALWAYS),
          Equal(func == D3DCMP_EQUAL || func == D3DCMP_LESSEQUAL || func == D3DCMP_GREATEREQUAL ||
                func == D3DCMP_ALWAYS),
          Greater(func == D3DCMP_GREATER || func == D3DCMP_NOTEQUAL || func == D3DCMP_GREATEREQUAL ||
                  func == D3DCMP_ALWAYS)
    {
    }
    bool Passes(uint32_t z, uint32_t stored) const { return z < stored ? Less : z == stored ? Equal : Greater; }
};

// Rounds half away from zero, as llround does, without a library call, and without a jump
// on the sign, which gradients give at random.
inline int64_t Round(double v) { return int64_t(v + std::copysign(0.5, v)); }

template <int DepthBits>
inline uint32_t DepthValue(float z)
{
    if constexpr (DepthBits == 16)
        return uint32_t(std::clamp(z, 0.0f, 1.0f) * 65535.0f + 0.5f);
    else
        return uint32_t(std::clamp(z, 0.0f, 1.0f) * 4294967040.0f);
}

// Reads a target pixel as 0xAARRGGBB; alpha full where the target has none.
template <RasterTarget::Layouts Layout>
inline uint32_t Load(const uint8_t* at, uint32_t alphaMask)
{
    if constexpr (Layout == RasterTarget::Xrgb8888) {
        uint32_t p;
        std::memcpy(&p, at, 4);
        return (p & 0xFFFFFF) | (alphaMask ? p & alphaMask : 0xFF000000);
    } else {
        uint16_t p;
        std::memcpy(&p, at, 2);
        const bool wide = Layout == RasterTarget::Rgb565;
        const uint32_t r = wide ? (p >> 11) & 31 : (p >> 10) & 31, g = wide ? (p >> 5) & 63 : (p >> 5) & 31, b = p & 31;
        const uint32_t r8 = r << 3 | r >> 2, g8 = wide ? (g << 2 | g >> 4) : (g << 3 | g >> 2), b8 = b << 3 | b >> 2;
        const uint32_t a = (!wide && alphaMask) ? ((p & 0x8000) ? 0xFF : 0) : 0xFF;
        return a << 24 | r8 << 16 | g8 << 8 | b8;
    }
}

// source x its factor + destination x its factor, for each channel, saturated.
uint32_t Blend(uint32_t source, uint32_t destination, DWORD sourceFactor, DWORD destinationFactor)
{
    const uint32_t sa = source >> 24, da = destination >> 24;
    if (sourceFactor == D3DBLEND_BOTHSRCALPHA)
        sourceFactor = D3DBLEND_SRCALPHA, destinationFactor = D3DBLEND_INVSRCALPHA;
    if (sourceFactor == D3DBLEND_BOTHINVSRCALPHA)
        sourceFactor = D3DBLEND_INVSRCALPHA, destinationFactor = D3DBLEND_SRCALPHA;
    auto factor = [&](DWORD f, uint32_t shift) -> uint32_t {
        const uint32_t s = (source >> shift) & 0xFF, d = (destination >> shift) & 0xFF;
        switch (f) {
        case D3DBLEND_ZERO: return 0;
        case D3DBLEND_SRCCOLOR: return s;
        case D3DBLEND_INVSRCCOLOR: return 255 - s;
        case D3DBLEND_SRCALPHA: return sa;
        case D3DBLEND_INVSRCALPHA: return 255 - sa;
        case D3DBLEND_DESTALPHA: return da;
        case D3DBLEND_INVDESTALPHA: return 255 - da;
        case D3DBLEND_DESTCOLOR: return d;
        case D3DBLEND_INVDESTCOLOR: return 255 - d;
        case D3DBLEND_SRCALPHASAT: return shift == 24 ? 255 : std::min(sa, 255 - da);
        default: return 255;  // D3DBLEND_ONE
        }
    };
    uint32_t out = 0;
    for (uint32_t shift = 0; shift < 32; shift += 8) {
        const uint32_t s = (source >> shift) & 0xFF, d = (destination >> shift) & 0xFF;
        const uint32_t sum = s * factor(sourceFactor, shift) + d * factor(destinationFactor, shift);
        out |= std::min(255u, (sum + 127) / 255) << shift;
    }
    return out;
}

// Writes an 0xAARRGGBB colour in the target's layout; alpha only where the target has it.
template <RasterTarget::Layouts Layout>
inline void Store(uint8_t* at, uint32_t c, uint32_t alphaMask)
{
    if constexpr (Layout == RasterTarget::Xrgb8888) {
        const uint32_t pixel = (c & 0xFFFFFF) | (c & alphaMask);
        std::memcpy(at, &pixel, 4);
    } else if constexpr (Layout == RasterTarget::Rgb565) {
        const auto pixel = uint16_t((c >> 8 & 0xF800) | (c >> 5 & 0x07E0) | (c >> 3 & 0x001F));
        std::memcpy(at, &pixel, 2);
    } else {
        const auto pixel =
            uint16_t((c >> 9 & 0x7C00) | (c >> 6 & 0x03E0) | (c >> 3 & 0x001F) | (c >> 16 & 0x8000 & alphaMask));
        std::memcpy(at, &pixel, 2);
    }
}

template <RasterTarget::Layouts Layout, int DepthBits, int Filter, bool Blended>
void Fill(const Triangle& t, const PipelineState& s, const RasterTarget& target)
{
    const TextureSampler sampler(s);
    const uint32_t bytes = target.Colour.BytesPerPixel;
    const int64_t depthStep = t.FixDx[DepthSlot];
    Edge edges[3] = {t.E[0], t.E[1], t.E[2]};
    for (Edge& e : edges) e.Start(t.Top);
    const Comparison depthTest(s.DepthFunc), alphaTest(s.AlphaTest ? s.AlphaFunc : DWORD{D3DCMP_ALWAYS});
    const bool depthWrite = s.DepthWrite, specular = s.Specular;
    const ShadeMode mode = Filter == 0            ? ShadeMode::Diffuse
                           : t.Mode == UseTexture ? ShadeMode::Texture
                                                  : ShadeMode::Modulate;
    const uint32_t alphaMask = target.AlphaMask;
    // The colours at the start of each row, and their steps, wrap as 32-bit lanes: the
    // values at the pixels drawn fit, so what wraps on the way comes back.
    auto lanes = [](const int64_t* c, bool glint) {
        return MakeLanes(int32_t(c[glint ? 4 : 0]), int32_t(c[glint ? 5 : 1]), int32_t(c[glint ? 6 : 2]),
                         glint ? 0 : int32_t(c[3]));
    };
    ColourLanes rowDiffuse = lanes(t.Fix, false), rowGlint = lanes(t.Fix, true);
    const ColourLanes diffuseStep = lanes(t.FixDx, false), glintStep = lanes(t.FixDx, true);
    const ColourLanes diffuseDown = lanes(t.FixDy, false), glintDown = lanes(t.FixDy, true);
    int64_t rowDepth = t.Fix[DepthSlot];
    for (int64_t y = t.Top; y <= t.Bottom; ++y) {
        int64_t lo = target.Clip.left, hi = int64_t{target.Clip.right} - 1;
        for (Edge& e : edges) e.Span(y, lo, hi), e.Next();
        if (lo <= hi) {
            const int64_t dx = lo - t.OX;
            ColourLanes diffuse = AddLanes(rowDiffuse, MultiplyLanes(diffuseStep, int32_t(dx)));
            ColourLanes glint = AddLanes(rowGlint, MultiplyLanes(glintStep, int32_t(dx)));
            int64_t depthValue = rowDepth + depthStep * dx;
            // Perspective from the first corner, not stepped from row to row: its precision
            // matters most.
            const float px = float(lo) + 0.5f - t.X0, py = float(y) + 0.5f - t.Y0;
            float at[3];
            for (int i = 0; i < 3; ++i) at[i] = t.Persp[i] + t.PerspDx[i] * px + t.PerspDy[i] * py;
            SpanTexels<Filter == 0 ? 1 : Filter> texels(sampler, at, t.PerspDx);
            uint8_t* pixel = target.Colour.At(int32_t(lo), int32_t(y));
            uint8_t* depth = DepthBits ? target.Depth.At(int32_t(lo), int32_t(y)) : nullptr;
            // Spans are short and each row's pixels and depths lie a pitch from the last
            // ones, too far for the processor to foresee: ask for the next row's ends now.
            if (y < t.Bottom) {
                const ptrdiff_t last = ptrdiff_t(hi - lo);
                __builtin_prefetch(pixel + target.Colour.Pitch, 1);
                __builtin_prefetch(pixel + target.Colour.Pitch + last * bytes, 1);
                if (DepthBits) __builtin_prefetch(depth + target.Depth.Pitch, 1);
                if (DepthBits) __builtin_prefetch(depth + target.Depth.Pitch + last * (DepthBits / 8), 1);
            }
            for (int64_t x = lo; x <= hi;) {
                const int64_t n = std::min<int64_t>(4, hi - x + 1);
                if constexpr (Filter != 0) texels.Next();
                for (int64_t i = 0; i < n; ++i, ++x, pixel += bytes) {
                    auto shade = [&] {
                        TexelWords texel{};
                        if constexpr (Filter != 0) texel = texels.Get(int(i));
                        return Shade(mode, specular, diffuse, glint, texel);
                    };
                    uint32_t c = 0;
                    bool draw = true;
                    if constexpr (Blended) {
                        c = shade();
                        draw = alphaTest.Passes(c >> 24, s.AlphaRef);
                    }
                    if constexpr (DepthBits != 0) {
                        const auto z =
                            uint32_t(std::clamp<int64_t>(depthValue >> 16, 0, DepthBits == 16 ? 65535 : 0xFFFFFF00));
                        if constexpr (DepthBits == 16) {
                            uint16_t stored;
                            std::memcpy(&stored, depth, 2);
                            draw = draw && depthTest.Passes(z, stored);
                            if (draw && depthWrite) {
                                const uint16_t narrow = uint16_t(z);
                                std::memcpy(depth, &narrow, 2);
                            }
                        } else {
                            uint32_t stored;
                            std::memcpy(&stored, depth, 4);
                            draw = draw && depthTest.Passes(z, stored);
                            if (draw && depthWrite) std::memcpy(depth, &z, 4);
                        }
                        depth += DepthBits / 8;
                        depthValue += depthStep;
                    }
                    if (draw) {
                        if constexpr (Blended) {
                            if (s.AlphaBlend) c = Blend(c, Load<Layout>(pixel, alphaMask), s.SourceBlend, s.DestBlend);
                        } else {
                            c = shade();
                        }
                        Store<Layout>(pixel, c, alphaMask);
                    }
                    diffuse = AddLanes(diffuse, diffuseStep), glint = AddLanes(glint, glintStep);
                }
            }
        }
        rowDiffuse = AddLanes(rowDiffuse, diffuseDown), rowGlint = AddLanes(rowGlint, glintDown);
        rowDepth += t.FixDy[DepthSlot];
    }
}

template <RasterTarget::Layouts Layout, int DepthBits, bool Blended>
void FillFiltered(const Triangle& t, const PipelineState& s, const RasterTarget& target)
{
    if (t.Mode == UseDiffuse)
        Fill<Layout, DepthBits, 0, Blended>(t, s, target);
    else if (s.Bilinear && TextureSampler(s).WrapsByMasks())
        Fill<Layout, DepthBits, 3, Blended>(t, s, target);
    else if (s.Bilinear)
        Fill<Layout, DepthBits, 2, Blended>(t, s, target);
    else
        Fill<Layout, DepthBits, 1, Blended>(t, s, target);
}

template <RasterTarget::Layouts Layout, int DepthBits>
void FillBlended(const Triangle& t, const PipelineState& s, const RasterTarget& target)
{
    if (s.AlphaTest || s.AlphaBlend)
        FillFiltered<Layout, DepthBits, true>(t, s, target);
    else
        FillFiltered<Layout, DepthBits, false>(t, s, target);
}

template <RasterTarget::Layouts Layout>
void FillDepth(const Triangle& t, const PipelineState& s, const RasterTarget& target)
{
    if (!s.DepthTest)
        FillBlended<Layout, 0>(t, s, target);
    else if (target.DepthBits == 16)
        FillBlended<Layout, 16>(t, s, target);
    else
        FillBlended<Layout, 32>(t, s, target);
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
    const int64_t x0 = Round(v0.X * SubPixel), y0 = Round(v0.Y * SubPixel);
    const int64_t x1 = Round(v1.X * SubPixel), y1 = Round(v1.Y * SubPixel);
    const int64_t x2 = Round(v2.X * SubPixel), y2 = Round(v2.Y * SubPixel);
    const int64_t area = (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0);
    if (area <= 0) return;  // clockwise only; snapping can flatten a sliver

    Triangle t{};
    t.E[0] = Edge(x0, y0, x1, y1), t.E[1] = Edge(x1, y1, x2, y2), t.E[2] = Edge(x2, y2, x0, y0);
    const int64_t top = std::min({y0, y1, y2}), bottom = std::max({y0, y1, y2});
    t.Top = std::max<int64_t>(target.Clip.top, FloorDiv(top, SubPixel));
    t.Bottom = std::min<int64_t>(int64_t{target.Clip.bottom} - 1, FloorDiv(bottom, SubPixel));
    if (t.Top > t.Bottom) return;
    t.OX = FloorDiv(std::min({x0, x1, x2}), SubPixel);
    t.X0 = float(x0) / SubPixel, t.Y0 = float(y0) / SubPixel;
    t.Mode = ModeOf(s);

    // Plane equations through the snapped corners, in double so that steep gradients far
    // from the origin keep their precision.
    const double ex1 = double(x1 - x0) / SubPixel, ey1 = double(y1 - y0) / SubPixel;
    const double ex2 = double(x2 - x0) / SubPixel, ey2 = double(y2 - y0) / SubPixel;
    const double inverse = 1.0 / (ex1 * ey2 - ex2 * ey1);
    // From the first corner to the centre of the origin pixel.
    const double ox = double(t.OX) + 0.5 - double(x0) / SubPixel, oy = double(t.Top) + 0.5 - double(y0) / SubPixel;
    float f0[Attributes], f1[Attributes], f2[Attributes];
    Values(v0, f0), Values(v1, f1), Values(v2, f2);
    const double depthUnit = target.DepthBits == 16 ? 65535.0 : 4294967040.0;
    for (int i = 0; i < Attributes; ++i) {
        const double d1 = double(f1[i]) - f0[i], d2 = double(f2[i]) - f0[i];
        const double dx = (d1 * ey2 - d2 * ey1) * inverse, dy = (d2 * ex1 - d1 * ex2) * inverse;
        const double origin = f0[i] + dx * ox + dy * oy;
        if (i >= AR) {
            const int slot = i - AR;
            t.Fix[slot] = Round(origin * 65536), t.FixDx[slot] = Round(dx * 65536);
            t.FixDy[slot] = Round(dy * 65536);
        } else if (i == AZ) {
            // 16-bit depth rounds to nearest, as Clear does; 32-bit depth truncates, as Clear does.
            const double scale = depthUnit * 65536;
            t.Fix[DepthSlot] = Round(origin * scale) + (target.DepthBits == 16 ? 32768 : 0);
            t.FixDx[DepthSlot] = Round(dx * scale), t.FixDy[DepthSlot] = Round(dy * scale);
        } else {
            t.Persp[i - AIW] = f0[i], t.PerspDx[i - AIW] = float(dx), t.PerspDy[i - AIW] = float(dy);
        }
    }
    switch (target.Layout) {
    case RasterTarget::Xrgb8888: FillDepth<RasterTarget::Xrgb8888>(t, s, target); break;
    case RasterTarget::Rgb565: FillDepth<RasterTarget::Rgb565>(t, s, target); break;
    case RasterTarget::Xrgb1555: FillDepth<RasterTarget::Xrgb1555>(t, s, target); break;
    }
}

void ClearColour(const RasterTarget& target, const RECT& rect, D3DCOLOR colour)
{
    uint8_t packed[4] = {};
    switch (target.Layout) {
    case RasterTarget::Xrgb8888: Store<RasterTarget::Xrgb8888>(packed, colour, target.AlphaMask); break;
    case RasterTarget::Rgb565: Store<RasterTarget::Rgb565>(packed, colour, target.AlphaMask); break;
    case RasterTarget::Xrgb1555: Store<RasterTarget::Xrgb1555>(packed, colour, target.AlphaMask); break;
    }
    uint32_t pixel = 0;
    std::memcpy(&pixel, packed, target.Colour.BytesPerPixel);
    FillRect(target.Colour, rect, pixel);
}

void ClearDepth(const RasterTarget& target, const RECT& rect, float z)
{
    FillRect(target.Depth, rect, target.DepthBits == 16 ? DepthValue<16>(z) : DepthValue<32>(z));
}

}  // namespace softdx
