#pragma once
// Colour arithmetic of the rasteriser's inner loop on 0xAARRGGBB pixels, four channels at
// once: with SSE2 where the processor has it, in plain C++ otherwise (same results).
#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace softdx {

#if defined(__SSE2__)
// Four channels in 16.16 fixed point, in a pixel's byte order: blue, green, red, alpha.
using ColourLanes = __m128i;
inline ColourLanes MakeLanes(int32_t r, int32_t g, int32_t b, int32_t a) { return _mm_set_epi32(a, r, g, b); }
inline ColourLanes AddLanes(ColourLanes x, ColourLanes y) { return _mm_add_epi32(x, y); }
// The lanes' whole parts as a pixel, each clamped to 0..255.
inline uint32_t PackLanes(ColourLanes c)
{
    const __m128i whole = _mm_srai_epi32(c, 16);
    const __m128i words = _mm_packs_epi32(whole, whole);
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}
// x * y / 255 for each channel, exact at the ends and within one step between.
inline uint32_t Modulate(uint32_t x, uint32_t y)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(x)), zero);
    const __m128i b = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(y)), zero);
    __m128i m = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(128));
    m = _mm_srli_epi16(_mm_add_epi16(m, _mm_srli_epi16(m, 8)), 8);
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(m, m)));
}
inline uint32_t AddSaturated(uint32_t x, uint32_t y)
{
    return uint32_t(_mm_cvtsi128_si32(_mm_adds_epu8(_mm_cvtsi32_si128(int(x)), _mm_cvtsi32_si128(int(y)))));
}
// a + (b - a) w / 128 for each channel of two pixel pairs at once: (a0, b0) and (a1, b1)
// weighed by wx, and the two results by wy.
inline uint32_t Bilerp(uint32_t a0, uint32_t b0, uint32_t a1, uint32_t b1, uint32_t wx, uint32_t wy)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, int(b0), int(a0)), zero);
    const __m128i bottom = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, int(b1), int(a1)), zero);
    const __m128i y = _mm_set1_epi16(short(wy)), ny = _mm_set1_epi16(short(128 - wy));
    const __m128i column = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(top, ny), _mm_mullo_epi16(bottom, y)), 7);
    const __m128i x = _mm_set1_epi16(short(wx)), nx = _mm_set1_epi16(short(128 - wx));
    const __m128i mixed =
        _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(column, nx), _mm_mullo_epi16(_mm_srli_si128(column, 8), x)), 7);
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(mixed, mixed)));
}
#else
struct ColourLanes {
    int32_t V[4];  // blue, green, red, alpha
};
inline ColourLanes MakeLanes(int32_t r, int32_t g, int32_t b, int32_t a) { return {{b, g, r, a}}; }
inline ColourLanes AddLanes(ColourLanes x, ColourLanes y)
{
    for (int i = 0; i < 4; ++i) x.V[i] += y.V[i];
    return x;
}
inline uint32_t PackLanes(ColourLanes c)
{
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) out |= uint32_t(std::clamp(c.V[i] >> 16, 0, 255)) << (8 * i);
    return out;
}
inline uint32_t Modulate(uint32_t x, uint32_t y)
{
    uint32_t out = 0;
    for (int i = 0; i < 32; i += 8) {
        const uint32_t m = ((x >> i) & 0xFF) * ((y >> i) & 0xFF) + 128;
        out |= ((m + (m >> 8)) >> 8) << i;
    }
    return out;
}
inline uint32_t AddSaturated(uint32_t x, uint32_t y)
{
    uint32_t out = 0;
    for (int i = 0; i < 32; i += 8) out |= std::min(255u, ((x >> i) & 0xFF) + ((y >> i) & 0xFF)) << i;
    return out;
}
inline uint32_t Bilerp(uint32_t a0, uint32_t b0, uint32_t a1, uint32_t b1, uint32_t wx, uint32_t wy)
{
    uint32_t out = 0;
    for (int i = 0; i < 32; i += 8) {
        auto c = [i](uint32_t p) { return (p >> i) & 0xFF; };
        const uint32_t left = (c(a0) * (128 - wy) + c(a1) * wy) >> 7, right = (c(b0) * (128 - wy) + c(b1) * wy) >> 7;
        out |= ((left * (128 - wx) + right * wx) >> 7) << i;
    }
    return out;
}
#endif

}  // namespace softdx
