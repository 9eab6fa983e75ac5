// Fitting frames into windows for the X11 presenter: proportions kept, bars black, and
// bilinear scaling that keeps flat colour flat and blends neighbours in between.
#include "wdx/x11/X11PresenterScale.h"

#include <gtest/gtest.h>

#include <vector>

TEST(X11PresenterScale, FitKeepsProportionsAndCentres)
{
    const TRectT<uint32_t> wide = X11FitKeepingProportions(640, 480, 1920, 1080);
    EXPECT_EQ(wide.Width(), 1440u);
    EXPECT_EQ(wide.Height(), 1080u);
    EXPECT_EQ(wide.Left, 240u);
    EXPECT_EQ(wide.Top, 0u);
    const TRectT<uint32_t> tall = X11FitKeepingProportions(1920, 1080, 1280, 1024);
    EXPECT_EQ(tall.Width(), 1280u);
    EXPECT_EQ(tall.Height(), 720u);
    EXPECT_EQ(tall.Top, 152u);
    const TRectT<uint32_t> same = X11FitKeepingProportions(800, 600, 800, 600);
    EXPECT_EQ(same.Width(), 800u);
    EXPECT_EQ(same.Left, 0u);
}

TEST(X11PresenterScale, BarsAreBlackAndFlatColourStaysFlat)
{
    const std::vector<uint32_t> frame(4 * 3, 0x00A0B0C0);
    std::vector<uint32_t> target(20 * 10, 0xFFFFFFFF);
    X11ScaleFrame(frame.data(), 4, 3, 16, target.data(), 20, 10, 80);
    // 4 x 3 in 20 x 10 is 13 x 10 (13.3 rounded), from column 3 to 15.
    for (uint32_t y = 0; y < 10; ++y)
        for (uint32_t x = 0; x < 20; ++x)
            EXPECT_EQ(target[y * 20 + x], (x >= 3 && x < 16) ? 0x00A0B0C0u : 0u) << x << "," << y;
}

TEST(X11PresenterScale, EnlargingBlendsNeighbours)
{
    // Two pixels, black and white, doubled: the outer pixels keep their colour (edges
    // repeat), the inner ones are a quarter of the way across.
    const std::vector<uint32_t> frame = {0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF};
    std::vector<uint32_t> target(4 * 4);
    X11ScaleFrame(frame.data(), 2, 2, 8, target.data(), 4, 4, 16);
    const uint32_t row[] = {target[0], target[1], target[2], target[3]};
    EXPECT_EQ(row[0], 0x000000u);
    EXPECT_EQ(row[1] & 0xFF, 0x3Fu);
    EXPECT_EQ(row[2] & 0xFF, 0xBFu);
    EXPECT_EQ(row[3], 0xFFFFFFu);
    EXPECT_EQ(row[1] >> 16, row[1] & 0xFF) << "all channels alike";
}
