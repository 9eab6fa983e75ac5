#include "preview/PreviewAnimation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/Random.h"

TEST(PreviewSourceRect, FirstStepShowsAllButAFifteenHundredthAroundTheFocus)
{
    // k = 1/1500: the window loses 1/1500 of the picture, split as the focus point divides it.
    EXPECT_EQ(PreviewSourceRect(1, 1500, 3000, 3000, 4500), (TPreviewRect{1, 2, 2999, 4499}));
    EXPECT_EQ(PreviewSourceRect(1, 0, 0, 3000, 1500), (TPreviewRect{0, 0, 2998, 1499}));
    EXPECT_EQ(PreviewSourceRect(1, 2999, 1499, 3000, 1500), (TPreviewRect{2, 1, 3000, 1500}));
    // A preview-box sized picture: the loss is below half a pixel, so all of it shows.
    EXPECT_EQ(PreviewSourceRect(1, 100, 50, 153, 113), (TPreviewRect{0, 0, 153, 113}));
}

TEST(PreviewSourceRect, LastStepShowsOneThirdAroundTheFocus)
{
    EXPECT_EQ(PreviewSourceRect(1000, 150, 90, 300, 300), (TPreviewRect{100, 60, 200, 160}));
    // Focus in a corner: the third that starts (or ends) at that corner.
    EXPECT_EQ(PreviewSourceRect(1000, 0, 0, 300, 600), (TPreviewRect{0, 0, 100, 200}));
    EXPECT_EQ(PreviewSourceRect(1000, 300, 600, 300, 600), (TPreviewRect{200, 400, 300, 600}));
}

TEST(PreviewSourceRect, EdgesStayInsideThePictureAndShrinkWithTheZoom)
{
    const int width = 153;
    const int height = 113;
    for (int f = 1; f <= 1000; f += 3) {
        for (int p = 0; p < width; p += 19) {
            const TPreviewRect r = PreviewSourceRect(f, p, p % height, width, height);
            EXPECT_GE(r.Left, 0);
            EXPECT_GE(r.Top, 0);
            EXPECT_LE(r.Right, width);
            EXPECT_LE(r.Bottom, height);
            const double keep = 1.0 - f / 1500.0;
            EXPECT_NEAR(static_cast<double>(r.Width()), width * keep, 1.0) << "f=" << f << " p=" << p;
            EXPECT_NEAR(static_cast<double>(r.Height()), height * keep, 1.0) << "f=" << f << " p=" << p;
        }
    }
}

TEST(PreviewSourceRect, ExactHalvesGoToTheEvenNeighbour)
{
    // k = 1/2 and 1/4 are exact, so these products are exact halves.
    EXPECT_EQ(PreviewSourceRect(750, 1, 1, 4, 4), (TPreviewRect{0, 0, 2, 2}));  // 0.5 -> 0, 2.5 -> 2
    EXPECT_EQ(PreviewSourceRect(750, 3, 3, 4, 4), (TPreviewRect{2, 2, 4, 4}));  // 1.5 -> 2, 3.5 -> 4
    EXPECT_EQ(PreviewSourceRect(375, 2, 6, 8, 8), (TPreviewRect{0, 2, 6, 8}));  // 0.5, 1.5, 6.5, 7.5
    EXPECT_EQ(PreviewSourceRect(375, 10, 14, 16, 16).Left, 2);                  // 2.5 -> 2
}

TEST(PreviewSourceRect, WorkedInExtendedPrecision)
{
    // 775/1500 is inexact; (0 - 90) * k + 90 is 43.5 exactly, and extended precision keeps it
    // there (44), where a double lands below it (43).
    EXPECT_EQ(PreviewSourceRect(775, 0, 0, 90, 90).Right, 44);
    // 25/1500 rounds up in extended precision, so 150 * k passes 2.5 and rounds to 3 where
    // exact arithmetic (and a double) give the half, 2.
    EXPECT_EQ(PreviewSourceRect(25, 150, 150, 200, 200).Left, 3);
}

namespace {
// Replays the generator from seed: the draws a correct animation makes, in the order given.
struct Replay {
    explicit Replay(uint32_t seed) { SetRandSeed(seed); }
    uint32_t Int(uint32_t n) { return RandomInt(n); }
    double Real() { return RandomReal(); }
};

// Frames spent on the present picture, the zoom step of each one recorded.
std::vector<int> RunOnePicture(TPreviewAnimation& animation)
{
    std::vector<int> steps;
    const int picture = animation.Picture();
    do {
        steps.push_back(animation.F());
        animation.Advance();
    } while (animation.Picture() == picture && steps.size() < 5000);
    return steps;
}

// A seed whose third draw from the generator, read as a real, is at least one half: a start
// that wrongly drew the direction would then zoom out.
uint32_t SeedWithHighThirdDraw()
{
    for (uint32_t seed = 1;; ++seed) {
        SetRandSeed(seed);
        RandomInt(100);
        RandomInt(100);
        if (RandomReal() >= 0.5) return seed;
    }
}
}  // namespace

TEST(PreviewAnimation, StartDrawsTheRowThenTheColumnAndAlwaysZoomsIn)
{
    const uint32_t seed = SeedWithHighThirdDraw();
    const int width = 640;
    const int height = 97;
    Replay replay(seed);
    const int py = static_cast<int>(replay.Int(height));
    const int px = static_cast<int>(replay.Int(width));
    const uint32_t afterTwoDraws = GetRandSeed();
    {
        Replay swapped(seed);
        ASSERT_NE(static_cast<int>(swapped.Int(width)), px) << "the seed must tell the two orders apart";
    }

    SetRandSeed(seed);
    TPreviewAnimation animation(5, width, height);
    animation.Start();
    EXPECT_EQ(animation.FocusY(), py);
    EXPECT_EQ(animation.FocusX(), px);
    EXPECT_EQ(GetRandSeed(), afterTwoDraws) << "the start draws the focus point and nothing else";
    EXPECT_EQ(animation.Picture(), 0);
    EXPECT_EQ(animation.F(), 1);
    EXPECT_EQ(animation.Step(), 3);
}

TEST(PreviewAnimation, ZoomInRunsOneFourToOneThousandThenChangesPicture)
{
    SetRandSeed(7);
    TPreviewAnimation animation(5, 152, 112);
    animation.Start();
    const std::vector<int> steps = RunOnePicture(animation);
    ASSERT_EQ(steps.size(), 334u);
    for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(steps[i], 1 + 3 * static_cast<int>(i));
    EXPECT_EQ(steps.back(), 1000);
    EXPECT_EQ(animation.Picture(), 1);
}

TEST(PreviewAnimation, PictureChangeDrawsRowColumnThenDirection)
{
    const int width = 152;
    const int height = 112;
    bool sawIn = false;
    bool sawOut = false;
    for (uint32_t seed = 100; seed < 140; ++seed) {
        SetRandSeed(seed);
        TPreviewAnimation animation(3, width, height);
        animation.Start();
        const uint32_t afterStart = GetRandSeed();
        for (int i = 0; i < 333; ++i) animation.Advance();
        ASSERT_EQ(GetRandSeed(), afterStart) << "steps within one picture draw nothing";
        ASSERT_EQ(animation.F(), 1000);
        ASSERT_EQ(animation.Picture(), 0);

        const uint32_t beforeChange = GetRandSeed();
        Replay replay(beforeChange);
        const int py = static_cast<int>(replay.Int(height));
        const int px = static_cast<int>(replay.Int(width));
        const bool out = replay.Real() >= 0.5;
        const uint32_t afterThreeDraws = GetRandSeed();

        SetRandSeed(beforeChange);
        animation.Advance();
        EXPECT_EQ(animation.Picture(), 1);
        EXPECT_EQ(animation.FocusY(), py) << seed;
        EXPECT_EQ(animation.FocusX(), px) << seed;
        EXPECT_EQ(animation.F(), out ? 1000 : 1) << seed;
        EXPECT_EQ(animation.Step(), out ? -3 : 3) << seed;
        EXPECT_EQ(GetRandSeed(), afterThreeDraws) << "exactly three draws per change";
        (out ? sawOut : sawIn) = true;
    }
    EXPECT_TRUE(sawIn && sawOut) << "the seeds should have covered both directions";
}

TEST(PreviewAnimation, ZoomOutRunsDownToOneThenChangesPicture)
{
    // Find a run whose second picture zooms out, then follow it.
    for (uint32_t seed = 1; seed < 200; ++seed) {
        SetRandSeed(seed);
        TPreviewAnimation animation(2, 40, 30);
        animation.Start();
        RunOnePicture(animation);
        if (animation.Step() > 0) continue;
        const std::vector<int> steps = RunOnePicture(animation);
        ASSERT_EQ(steps.size(), 334u);
        for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(steps[i], 1000 - 3 * static_cast<int>(i));
        EXPECT_EQ(animation.Picture(), 0) << "after the last picture comes the first";
        return;
    }
    FAIL() << "no seed gave a zoom out";
}

TEST(PreviewAnimation, CyclesThroughThePicturesInOrder)
{
    for (int count : {1, 2, 5}) {
        SetRandSeed(99);
        TPreviewAnimation animation(count, 20, 10);
        animation.Start();
        std::vector<int> order{animation.Picture()};
        for (int turn = 0; turn < 11; ++turn) {
            RunOnePicture(animation);
            order.push_back(animation.Picture());
        }
        for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], static_cast<int>(i) % count) << count;
    }
}

TEST(PreviewAnimation, FocusPointsStayInsideThePicture)
{
    SetRandSeed(4242);
    TPreviewAnimation animation(5, 3, 2);
    animation.Start();
    for (int turn = 0; turn < 200; ++turn) {
        EXPECT_GE(animation.FocusX(), 0);
        EXPECT_LT(animation.FocusX(), 3);
        EXPECT_GE(animation.FocusY(), 0);
        EXPECT_LT(animation.FocusY(), 2);
        RunOnePicture(animation);
    }
}
