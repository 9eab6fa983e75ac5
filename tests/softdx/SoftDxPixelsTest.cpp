// The rasteriser's pixel arithmetic against plain per-channel sums: the shading of a pixel,
// bilinear filtering, the wrapping colour lanes, and the four-pixel texture addressing
// against the one-pixel sampler.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "softdx/SoftDxSpanTexels.h"

namespace softdx {
namespace {

uint32_t Channel(uint32_t pixel, int i) { return (pixel >> (8 * i)) & 0xFF; }
// A texel's words as a pixel again.
const ColourLanes None = MakeLanes(0, 0, 0, 0);
uint32_t Packed(TexelWords t) { return Shade(ShadeMode::Texture, false, None, None, t); }

TEST(SoftDxPixels, ShadingModulatesAddsTheSpecularAndClampsEachChannel)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> lane(-40 << 16, 300 << 16);
    for (int round = 0; round < 2000; ++round) {
        const int32_t d[4] = {lane(random), lane(random), lane(random), lane(random)};  // b, g, r, a
        const int32_t g[3] = {lane(random), lane(random), lane(random)};
        const uint32_t texel = random();
        const ColourLanes diffuse = MakeLanes(d[2], d[1], d[0], d[3]), glint = MakeLanes(g[2], g[1], g[0], 0);
        for (ShadeMode mode : {ShadeMode::Diffuse, ShadeMode::Texture, ShadeMode::Modulate})
            for (bool specular : {false, true}) {
                const uint32_t seen = Shade(mode, specular, diffuse, glint, Widen(texel));
                for (int i = 0; i < 4; ++i) {
                    const double dc = std::clamp(d[i] >> 16, 0, 255), tc = Channel(texel, i);
                    double want = mode == ShadeMode::Diffuse ? dc : mode == ShadeMode::Texture ? tc : dc * tc / 255;
                    if (specular && i < 3) want = std::min(255.0, want + std::clamp(g[i] >> 16, 0, 255));
                    // The product is exact at full and empty channels and within a step between.
                    const bool exact = mode != ShadeMode::Modulate || tc == 0 || tc == 255 || dc == 0 || dc == 255;
                    EXPECT_NEAR(double(Channel(seen, i)), want, exact ? 0.0 : 1.0)
                        << "mode " << int(mode) << " specular " << specular << " channel " << i;
                }
            }
    }
}

TEST(SoftDxPixels, BilinearFilteringWeighsTheFourTexelsByNearness)
{
    std::mt19937 random(11);
    for (uint32_t wx = 0; wx < 128; ++wx)
        for (uint32_t wy = 0; wy < 128; wy += 7) {
            const uint32_t a0 = random(), b0 = random(), a1 = random(), b1 = random();
            const uint32_t seen = Packed(Bilerp(a0, b0, a1, b1, wx, wy));
            for (int i = 0; i < 4; ++i) {
                // Each row across by wx, then the two rows down by wy, rounding down each time.
                const uint32_t top = (Channel(a0, i) * (128 - wx) + Channel(b0, i) * wx) >> 7;
                const uint32_t bottom = (Channel(a1, i) * (128 - wx) + Channel(b1, i) * wx) >> 7;
                const uint32_t left = (Channel(a0, i) * (128 - wy) + Channel(a1, i) * wy) >> 7;
                const uint32_t right = (Channel(b0, i) * (128 - wy) + Channel(b1, i) * wy) >> 7;
                const uint32_t want = (left * (128 - wx) + right * wx) >> 7;
                EXPECT_EQ(Channel(seen, i), want) << wx << "," << wy;
                // Either order of the two passes lands within a step of the other.
                EXPECT_NEAR(double(want), double((top * (128 - wy) + bottom * wy) >> 7), 1.0);
            }
        }
}

TEST(SoftDxPixels, ColourLanesComeBackFromWrappingSums)
{
    // A steep gradient stepped far: the sums wrap past 32 bits on the way, the end fits.
    struct Case {
        int32_t End, Step, Count;
    };
    for (const Case& c : {Case{200 << 16, 300000000, 1000}, Case{0, -2000000000, 77}, Case{255 << 16, 65536, 3}}) {
        const auto start = int32_t(uint32_t(c.End) - uint32_t(c.Step) * uint32_t(c.Count));
        const ColourLanes end = AddLanes(MakeLanes(start, start, start, start),
                                         MultiplyLanes(MakeLanes(c.Step, c.Step, c.Step, c.Step), c.Count));
        const uint32_t channel = uint32_t(c.End >> 16);
        EXPECT_EQ(Shade(ShadeMode::Diffuse, false, end, None, Widen(0)), channel * 0x01010101u) << c.Step;
    }
}

TEST(SoftDxPixels, FourPixelTextureAddressingMatchesTheSampler)
{
    // A wrapping power-of-two texture read across its edges, in perspective and along
    // steep and shallow steps: the four-pixel corners and weights must give the texels the
    // one-pixel sampler gives.
    std::mt19937 random(3);
    for (auto [width, height] : {std::pair{8u, 4u}, std::pair{256u, 256u}, std::pair{1u, 16u}}) {
        std::vector<uint32_t> texels(size_t{width} * height);
        for (uint32_t& t : texels) t = random();
        PipelineState s;
        s.Texture = {texels.data(), width, height};
        const TextureSampler sampler(s);
        ASSERT_TRUE(sampler.WrapsByMasks());
        std::uniform_real_distribution<float> at(-3, 3), step(-0.4f, 0.4f), w(0.2f, 2);
        for (int round = 0; round < 300; ++round) {
            const float start[3] = {w(random), at(random), at(random)};
            const float steps[3] = {step(random) * 0.1f, step(random), step(random)};
            SpanTexels<3> quad(sampler, start, steps);
            SpanTexels<2> single(sampler, start, steps);
            for (int group = 0; group < 3; ++group) {
                quad.Next(), single.Next();
                for (int k = 0; k < 4; ++k) EXPECT_EQ(Packed(quad.Get(k)), Packed(single.Get(k))) << width;
            }
        }
    }
}

}  // namespace
}  // namespace softdx
