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

// A pixel from the span's colours: the diffuse colour, the texel or their product, plus the
// specular colour when asked for, every channel clamped to 0..255.
enum class ShadeMode { Diffuse, Texture, Modulate };

#if defined(__SSE2__)
// Four channels in 16.16 fixed point, in a pixel's byte order: blue, green, red, alpha.
using ColourLanes = __m128i;
inline ColourLanes MakeLanes(int32_t r, int32_t g, int32_t b, int32_t a) { return _mm_set_epi32(a, r, g, b); }
inline ColourLanes AddLanes(ColourLanes x, ColourLanes y) { return _mm_add_epi32(x, y); }
// Each lane times n, modulo 2^32 as the sums are (the values drawn always fit).
inline ColourLanes MultiplyLanes(ColourLanes x, int32_t n)
{
    const __m128i m = _mm_set1_epi32(n);
    const __m128i even = _mm_mul_epu32(x, m), odd = _mm_mul_epu32(_mm_srli_epi64(x, 32), m);
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08));
}

// A texel's channels as 16-bit words (blue, green, red, alpha in the low half), so that
// filtering, modulation and the specular sum unpack and pack a pixel only once.
using TexelWords = __m128i;
inline TexelWords Widen(uint32_t texel)
{
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(texel)), _mm_setzero_si128());
}
// a + (b - a) w / 128 for each channel of two pixel pairs at once: (a0, b0) and (a1, b1)
// weighed by wx, and the two results by wy, the weights given in every word. With an
// arithmetic shift, a + ((b - a) w >> 7) is (a (128 - w) + b w) / 128 rounded down, with
// half the multiplications.
inline TexelWords Bilerp(uint32_t a0, uint32_t b0, uint32_t a1, uint32_t b1, __m128i wx, __m128i wy)
{
    const __m128i zero = _mm_setzero_si128();
    auto pair = [&](uint32_t a, uint32_t b) {
        return _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(int(a)), _mm_cvtsi32_si128(int(b))), zero);
    };
    auto mix = [](__m128i from, __m128i to, __m128i w) {
        return _mm_add_epi16(from, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(to, from), w), 7));
    };
    const __m128i column = mix(pair(a0, b0), pair(a1, b1), wy);
    return mix(column, _mm_srli_si128(column, 8), wx);
}
inline TexelWords Bilerp(uint32_t a0, uint32_t b0, uint32_t a1, uint32_t b1, uint32_t wx, uint32_t wy)
{
    return Bilerp(a0, b0, a1, b1, _mm_set1_epi16(short(wx)), _mm_set1_epi16(short(wy)));
}
// The product is x y / 255 for each channel, exact at the ends and within one step between.
inline uint32_t Shade(ShadeMode mode, bool specular, ColourLanes diffuse, ColourLanes glint, TexelWords texel)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i words = _mm_packs_epi32(_mm_srai_epi32(diffuse, 16), _mm_srai_epi32(glint, 16));
    words = _mm_min_epi16(_mm_max_epi16(words, zero), _mm_set1_epi16(255));
    __m128i c = mode == ShadeMode::Texture ? texel : words;
    if (mode == ShadeMode::Modulate) {
        const __m128i m = _mm_add_epi16(_mm_mullo_epi16(words, texel), _mm_set1_epi16(128));
        c = _mm_srli_epi16(_mm_add_epi16(m, _mm_srli_epi16(m, 8)), 8);
    }
    // The specular words sit in the high half with alpha zero; the pack saturates the sum.
    if (specular) c = _mm_add_epi16(c, _mm_srli_si128(words, 8));
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(c, c)));
}
#else
struct ColourLanes {
    int32_t V[4];  // blue, green, red, alpha
};
inline ColourLanes MakeLanes(int32_t r, int32_t g, int32_t b, int32_t a) { return {{b, g, r, a}}; }
inline ColourLanes AddLanes(ColourLanes x, ColourLanes y)
{
    for (int i = 0; i < 4; ++i) x.V[i] = int32_t(uint32_t(x.V[i]) + uint32_t(y.V[i]));
    return x;
}
inline ColourLanes MultiplyLanes(ColourLanes x, int32_t n)
{
    for (int i = 0; i < 4; ++i) x.V[i] = int32_t(uint32_t(x.V[i]) * uint32_t(n));
    return x;
}
using TexelWords = uint32_t;
inline TexelWords Widen(uint32_t texel) { return texel; }
inline TexelWords Bilerp(uint32_t a0, uint32_t b0, uint32_t a1, uint32_t b1, uint32_t wx, uint32_t wy)
{
    uint32_t out = 0;
    for (int i = 0; i < 32; i += 8) {
        auto c = [i](uint32_t p) { return (p >> i) & 0xFF; };
        const uint32_t left = (c(a0) * (128 - wy) + c(a1) * wy) >> 7, right = (c(b0) * (128 - wy) + c(b1) * wy) >> 7;
        out |= ((left * (128 - wx) + right * wx) >> 7) << i;
    }
    return out;
}
inline uint32_t Shade(ShadeMode mode, bool specular, ColourLanes diffuse, ColourLanes glint, TexelWords texel)
{
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        const uint32_t d = uint32_t(std::clamp(diffuse.V[i] >> 16, 0, 255)), t = (texel >> (8 * i)) & 0xFF;
        uint32_t c = mode == ShadeMode::Texture ? t : d;
        if (mode == ShadeMode::Modulate) {
            const uint32_t m = d * t + 128;
            c = (m + (m >> 8)) >> 8;
        }
        if (specular) c = std::min(255u, c + uint32_t(std::clamp(glint.V[i] >> 16, 0, 255)));
        out |= c << (8 * i);
    }
    return out;
}
#endif

}  // namespace softdx
