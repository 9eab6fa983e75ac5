#include "core/Numeric.h"
#include "framework/Bitmap.h"
#include "pictures/Resample.h"
#include "support/SamePixels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

TBitmap Grey(int width, int height, const std::vector<int>& values, bool bottomUp = false)
{
    TBitmap bitmap(bottomUp);
    bitmap.SetSize(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) bitmap.ScanLine(y)[x * 3 + c] = static_cast<uint8_t>(values[y * width + x]);
    return bitmap;
}

TBitmap Noise(int width, int height, unsigned seed, bool bottomUp = false)
{
    std::mt19937 random(seed);
    TBitmap bitmap(bottomUp);
    bitmap.SetSize(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x) bitmap.ScanLine(y)[x] = static_cast<uint8_t>(random());
    return bitmap;
}

TBitmap Resampled(TBitmap& source, int width, int height, bool bottomUp = false)
{
    TBitmap destination(bottomUp);
    destination.SetSize(width, height);
    ResampleBitmap(source, destination);
    return destination;
}

// The definition, written plainly with two MulDiv calls per pixel and the neighbours held
// inside the source; the resampler must match it bit for bit.
TBitmap Reference(const TBitmap& source, int width, int height)
{
    TBitmap out;
    out.SetSize(width, height);
    const int sw = source.Width(), sh = source.Height();
    const int32_t xstep = Core::MulDiv(sw - 1, 65536, width), ystep = Core::MulDiv(sh - 1, 65536, height);
    int64_t sy = 0;
    for (int y = 0; y < height; ++y, sy += ystep) {
        const int iy = static_cast<int>(sy >> 16);
        const uint8_t* r0 = source.ScanLine(iy);
        const uint8_t* r1 = source.ScanLine(iy < sh - 1 ? iy + 1 : iy);
        const int32_t wy0 = static_cast<int32_t>(((~sy) & 0xFFFF) + 1), wy1 = static_cast<int32_t>((sy & 0xFFFF) + 1);
        int64_t sx = 0;
        for (int x = 0; x < width; ++x, sx += xstep) {
            const int ix = static_cast<int>(sx >> 16), fx = static_cast<int>(sx & 0xFFFF);
            const int ix1 = ix + 1 < sw ? ix + 1 : ix;
            const uint32_t w01 = static_cast<uint32_t>(Core::MulDiv(fx, wy0, 65536));
            const uint32_t w00 = static_cast<uint32_t>(wy0) - w01;
            const uint32_t w11 = static_cast<uint32_t>(Core::MulDiv(fx, wy1, 65536));
            const uint32_t w10 = static_cast<uint32_t>(wy1) - w11;
            for (int c = 0; c < 3; ++c)
                out.ScanLine(y)[x * 3 + c] = static_cast<uint8_t>(
                    (r0[ix * 3 + c] * w00 + r0[ix1 * 3 + c] * w01 + r1[ix * 3 + c] * w10 + r1[ix1 * 3 + c] * w11) >>
                    16);
        }
    }
    return out;
}

TEST(ResampleTest, WeightMatchesMulDiv)
{
    std::mt19937 random(7);
    std::vector<uint32_t> rowWeights{0, 1, 2, 3, 255, 256, 32767, 32768, 32769, 65534, 65535, 65536};
    for (int i = 0; i < 200; ++i) rowWeights.push_back(1 + random() % 65536);
    for (uint32_t rowWeight : rowWeights)
        for (uint32_t fraction = 0; fraction < 65536; ++fraction)
            ASSERT_EQ(static_cast<uint32_t>(
                          Core::MulDiv(static_cast<int32_t>(fraction), static_cast<int32_t>(rowWeight), 65536)),
                      ResampleWeight(fraction, rowWeight))
                << fraction << " x " << rowWeight;
}

TEST(ResampleTest, StretchesTwoByTwoGreyAsDefined)
{
    TBitmap source = Grey(2, 2, {0, 100, 200, 255});
    const TBitmap stretched = Resampled(source, 4, 4);
    const std::vector<int> expected{0, 25, 50, 75, 50, 72, 94, 116, 100, 119, 138, 158, 150, 166, 183, 199};
    EXPECT_TRUE(SamePixels(Grey(4, 4, expected), stretched));
}

TEST(ResampleTest, SameSizeCopies)
{
    TBitmap source = Noise(13, 9, 1);
    for (bool bottomUp : {false, true}) EXPECT_TRUE(SamePixels(source, Resampled(source, 13, 9, bottomUp)));
    // A bitmap resampled onto itself stays as it is.
    TBitmap copy = source;
    ResampleBitmap(copy, copy);
    EXPECT_TRUE(SamePixels(source, copy));
}

TEST(ResampleTest, UniformColourStaysUniform)
{
    for (int value : {0, 1, 128, 254, 255}) {
        TBitmap source = Grey(7, 5, std::vector<int>(35, value));
        for (auto [w, h] : {std::pair{19, 23}, std::pair{3, 2}, std::pair{1, 1}, std::pair{64, 1}})
            EXPECT_TRUE(
                SamePixels(Grey(w, h, std::vector<int>(static_cast<size_t>(w * h), value)), Resampled(source, w, h)))
                << value << " to " << w << " x " << h;
    }
}

TEST(ResampleTest, MatchesDefinitionBitForBit)
{
    struct TCase {
        int SourceWidth, SourceHeight, Width, Height;
    };
    for (const TCase& c : {TCase{7, 5, 23, 17}, TCase{640, 480, 333, 199}, TCase{100, 60, 7, 3}, TCase{2, 9, 31, 4},
                           TCase{300, 1, 77, 5}, TCase{1, 1, 4, 4}, TCase{5, 8, 5, 20}}) {
        TBitmap source = Noise(c.SourceWidth, c.SourceHeight, static_cast<unsigned>(c.Width * 131 + c.Height));
        EXPECT_TRUE(SamePixels(Reference(source, c.Width, c.Height), Resampled(source, c.Width, c.Height)))
            << c.SourceWidth << " x " << c.SourceHeight << " to " << c.Width << " x " << c.Height;
    }
}

TEST(ResampleTest, BottomUpGivesTheSameResult)
{
    TBitmap topDown = Noise(37, 21, 5);
    TBitmap bottomUp(true);
    bottomUp.Assign(topDown);
    const TBitmap expected = Resampled(topDown, 50, 33);
    EXPECT_TRUE(SamePixels(expected, Resampled(bottomUp, 50, 33)));
    EXPECT_TRUE(SamePixels(expected, Resampled(bottomUp, 50, 33, true)));
    EXPECT_TRUE(SamePixels(expected, Resampled(topDown, 50, 33, true)));
}

// Run under the address sanitizer, these show that the right-hand and lower neighbours are
// never read past the source's last column and row.
TEST(ResampleTest, HugeEnlargementStaysInsideSource)
{
    TBitmap source = Noise(3, 2, 9);
    const TBitmap wide = Resampled(source, 1500, 3);
    EXPECT_TRUE(SamePixels(Reference(source, 1500, 3), wide));
    TBitmap tall = Noise(2, 3, 10);
    EXPECT_TRUE(SamePixels(Reference(tall, 3, 1500), Resampled(tall, 3, 1500)));
}

TEST(ResampleTest, OneRowAndEmptyDestinations)
{
    TBitmap source = Noise(40, 30, 11);
    EXPECT_TRUE(SamePixels(Reference(source, 17, 1), Resampled(source, 17, 1)));
    EXPECT_TRUE(SamePixels(Reference(source, 1, 9), Resampled(source, 1, 9)));
    for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, 0}}) {
        const TBitmap empty = Resampled(source, w, h);
        EXPECT_EQ(w, empty.Width());
        EXPECT_EQ(h, empty.Height());
    }
    // An empty source leaves the destination as it was.
    TBitmap nothing;
    const TBitmap untouched = Resampled(nothing, 4, 3);
    EXPECT_TRUE(SamePixels(Grey(4, 3, std::vector<int>(12, 255)), untouched));
}

}  // namespace
