#pragma once
// A span's texels, four neighbouring pixels at a time: texture coordinates exact at every
// pixel (u/w and v/w divided by the pixel's own 1/w; four divisions cost about one in SIMD),
// and for a bilinear texture that wraps at power-of-two sides, the four pixels' corner
// addresses and weights worked out together too.
#include <bit>

#include "SoftDxTexture.h"

namespace softdx {

// Filter: 1 point, 2 bilinear, 3 bilinear with TextureSampler::WrapsByMasks.
template <int Filter>
class SpanTexels {
public:
    // From the pixel whose 1/w, u/w, v/w are at[], stepping by step[] a pixel.
    SpanTexels(const TextureSampler& sampler, const float* at, const float* step) : FSampler(sampler)
    {
        const float width = sampler.Width(), height = sampler.Height();
        const int32_t half = Filter == 1 ? 0 : 32768;  // bilinear counts from texel centres
#if defined(__SSE2__)
        const __m128 ramp = _mm_set_ps(3, 2, 1, 0);
        for (int i = 0; i < 3; ++i) {
            FAt[i] = _mm_add_ps(_mm_set1_ps(at[i]), _mm_mul_ps(_mm_set1_ps(step[i]), ramp));
            FStep[i] = _mm_set1_ps(step[i] * 4);
        }
        FWidth = _mm_set1_ps(width), FHeight = _mm_set1_ps(height), FHalf = _mm_set1_epi32(half);
        if constexpr (Filter == 3) {
            FMaskU = _mm_set1_epi32(sampler.MaskU()), FMaskV = _mm_set1_epi32(sampler.MaskV());
            FRowShift = _mm_cvtsi32_si128(std::countr_zero(uint32_t(sampler.MaskU() + 1)));
        }
#else
        for (int i = 0; i < 3; ++i) FAt[i] = at[i], FStep[i] = step[i];
        FWidth = width, FHeight = height, FHalf = half;
#endif
    }

    // Moves on to the next four pixels (the first four on the first call).
    void Next()
    {
#if defined(__SSE2__)
        const __m128 w = _mm_div_ps(_mm_set1_ps(1.0f), FAt[0]);
        const __m128i u = Fixed(_mm_mul_ps(_mm_mul_ps(FAt[1], w), FWidth));
        const __m128i v = Fixed(_mm_mul_ps(_mm_mul_ps(FAt[2], w), FHeight));
        for (int i = 0; i < 3; ++i) FAt[i] = _mm_add_ps(FAt[i], FStep[i]);
        if constexpr (Filter == 3) {
            Corners(u, v);
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(FU), u);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(FV), v);
        }
#else
        for (int k = 0; k < 4; ++k) {
            const float w = 1.0f / FAt[0];
            FU[k] = Fixed(FAt[1] * w * FWidth), FV[k] = Fixed(FAt[2] * w * FHeight);
            for (int i = 0; i < 3; ++i) FAt[i] += FStep[i];
        }
#endif
    }

    // The texel of the k-th of the four pixels.
    TexelWords Get(int k) const
    {
#if defined(__SSE2__)
        if constexpr (Filter == 3) {
            const uint32_t* t = FSampler.Texels();
            return Bilerp(t[FCorner[0][k]], t[FCorner[1][k]], t[FCorner[2][k]], t[FCorner[3][k]], FAcross[k], FDown[k]);
        }
#endif
        return Filter == 1 ? FSampler.Point(FU[k], FV[k]) : FSampler.Bilinear(FU[k], FV[k]);
    }

private:
#if defined(__SSE2__)
    // In texels with 16 fractional bits, clamped far outside any texture so the conversion
    // cannot overflow.
    __m128i Fixed(__m128 t) const
    {
        const __m128 limit = _mm_set1_ps(32000.0f);
        t = _mm_min_ps(_mm_max_ps(t, _mm_sub_ps(_mm_setzero_ps(), limit)), limit);
        return _mm_sub_epi32(_mm_cvttps_epi32(_mm_mul_ps(t, _mm_set1_ps(65536.0f))), FHalf);
    }
    // TextureSampler::Bilinear's addresses and weights, for four pixels at once.
    void Corners(__m128i u, __m128i v)
    {
        const __m128i one = _mm_set1_epi32(1), iu = _mm_srai_epi32(u, 16), iv = _mm_srai_epi32(v, 16);
        const __m128i u0 = _mm_and_si128(iu, FMaskU), u1 = _mm_and_si128(_mm_add_epi32(iu, one), FMaskU);
        const __m128i row0 = _mm_sll_epi32(_mm_and_si128(iv, FMaskV), FRowShift);
        const __m128i row1 = _mm_sll_epi32(_mm_and_si128(_mm_add_epi32(iv, one), FMaskV), FRowShift);
        _mm_store_si128(reinterpret_cast<__m128i*>(FCorner[0]), _mm_add_epi32(row0, u0));
        _mm_store_si128(reinterpret_cast<__m128i*>(FCorner[1]), _mm_add_epi32(row0, u1));
        _mm_store_si128(reinterpret_cast<__m128i*>(FCorner[2]), _mm_add_epi32(row1, u0));
        _mm_store_si128(reinterpret_cast<__m128i*>(FCorner[3]), _mm_add_epi32(row1, u1));
        // Words 0-3 the pixels' weights across, 4-7 down; each spread over a whole register.
        const __m128i sevenBits = _mm_set1_epi32(0x7F);
        const __m128i weights = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(u, 9), sevenBits),
                                                _mm_and_si128(_mm_srli_epi32(v, 9), sevenBits));
        const __m128i down = _mm_unpackhi_epi64(weights, weights);
        FAcross[0] = _mm_shufflelo_epi16(weights, 0x00),
        FDown[0] = _mm_shufflehi_epi16(_mm_shufflelo_epi16(down, 0x00), 0x00);
        FAcross[1] = _mm_shufflelo_epi16(weights, 0x55),
        FDown[1] = _mm_shufflehi_epi16(_mm_shufflelo_epi16(down, 0x55), 0x55);
        FAcross[2] = _mm_shufflelo_epi16(weights, 0xAA),
        FDown[2] = _mm_shufflehi_epi16(_mm_shufflelo_epi16(down, 0xAA), 0xAA);
        FAcross[3] = _mm_shufflelo_epi16(weights, 0xFF),
        FDown[3] = _mm_shufflehi_epi16(_mm_shufflelo_epi16(down, 0xFF), 0xFF);
    }
    __m128 FAt[3], FStep[3], FWidth, FHeight;
    __m128i FHalf, FMaskU, FMaskV, FRowShift;
    alignas(16) int32_t FCorner[4][4];  // top left, top right, bottom left, bottom right; each pixel's
    __m128i FAcross[4], FDown[4];
#else
    int32_t Fixed(float t) const { return int32_t(std::clamp(t, -32000.0f, 32000.0f) * 65536.0f) - FHalf; }
    float FAt[3], FStep[3], FWidth, FHeight;
    int32_t FHalf;
#endif
    const TextureSampler& FSampler;
    int32_t FU[4], FV[4];
};

}  // namespace softdx
