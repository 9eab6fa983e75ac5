#include "show/ShowAnimation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "core/Random.h"

namespace {
// The draw -> type table as the show's design lays it out.
constexpr std::array<uint8_t, 29> typeOfDraw = {0,  1,  2,  3, 5,  6,  8,  7,  4,  20, 21, 22, 23, 24, 25,
                                                26, 27, 28, 9, 10, 11, 12, 13, 15, 16, 18, 17, 14, 19};

// The generator's formula, worked out here independently of the generator itself.
constexpr uint32_t lcgMultiplier = 134775813u;
uint32_t NextState(uint32_t s) { return s * lcgMultiplier + 1u; }
uint32_t Below(uint32_t n, uint32_t s) { return static_cast<uint32_t>((static_cast<uint64_t>(n) * s) >> 32); }

// The seed whose next state is s: the multiplier is odd, so it has an inverse modulo 2^32.
uint32_t SeedBefore(uint32_t s)
{
    uint32_t inverse = lcgMultiplier;  // Newton's iteration doubles the correct low bits each time
    for (int i = 0; i < 5; ++i) inverse *= 2u - lcgMultiplier * inverse;
    return (s - 1u) * inverse;
}

TShowAnimation Animation(int32_t screenW, int32_t screenH, int32_t picW, int32_t picH, uint8_t type, int32_t speed = 5)
{
    TShowAnimation a;
    a.SetSpeed(speed);
    a.SetScreen(screenW, screenH);
    a.SetPictureSize(picW, picH);
    a.SetAnimation(type);
    return a;
}

TRect At(TShowAnimation& a, float progress)
{
    a.SetProgress(progress);
    a.UpdateSourceRect();
    return a.SourceRect();
}

// Ticks until the picture completes.
int TicksPerPicture(int32_t speed)
{
    TShowAnimation a = Animation(800, 600, 1600, 1200, 0, speed);
    int ticks = 0;
    while (!a.Tick()) ++ticks;
    return ticks + 1;
}
}  // namespace

TEST(ShowAnimationWorkedExample, MatchesTheTableFor1600x1200On800x600)
{
    struct Row {
        uint8_t type;
        TRect at0, at500, at1000;
    };
    const Row rows[] = {
        {0, Rect(0, 0, 1600, 1200), Rect(0, 0, 1200, 900), Rect(0, 0, 800, 600)},
        {4, Rect(0, 0, 1600, 1200), Rect(200, 150, 1400, 1050), Rect(400, 300, 1200, 900)},
        {13, Rect(800, 600, 1600, 1200), Rect(400, 300, 1600, 1200), Rect(0, 0, 1600, 1200)},
        {27, Rect(480, 360, 1600, 1200), Rect(240, 180, 1360, 1020), Rect(0, 0, 1120, 840)},
    };
    for (const Row& row : rows) {
        TShowAnimation a = Animation(800, 600, 1600, 1200, row.type);
        EXPECT_EQ(a.Aspect(), 0.75f);
        EXPECT_EQ(At(a, 0), row.at0) << "type " << int(row.type);
        EXPECT_EQ(At(a, 500), row.at500) << "type " << int(row.type);
        EXPECT_EQ(At(a, 1000), row.at1000) << "type " << int(row.type);
    }
}

TEST(ShowAnimationChoice, EachDrawGivesItsTypeFromTheTable)
{
    TShowAnimation a;
    for (uint32_t r = 0; r < 29; ++r) {
        // The smallest state whose draw below 29 is r.
        const uint32_t state = static_cast<uint32_t>(((static_cast<uint64_t>(r) << 32) + 28) / 29);
        ASSERT_EQ(Below(29, state), r);
        SetRandSeed(SeedBefore(state));
        a.ChooseAnimation();
        EXPECT_EQ(a.Animation(), typeOfDraw[r]) << "r=" << r;
        EXPECT_EQ(GetRandSeed(), state) << "one draw only";
    }
}

TEST(ShowAnimationChoice, EveryTypeHasOneDrawAndTheKindsComeTenTenNine)
{
    std::array<int, 29> drawsOfType{};
    std::array<int, 3> kinds{};
    for (uint32_t r = 0; r < 29; ++r) {
        const uint8_t type = AnimationForDraw(r);
        ASSERT_LT(type, 29);
        ++drawsOfType[type];
        ++kinds[static_cast<int>(AnimationKindOf(type))];
    }
    for (int count : drawsOfType) EXPECT_EQ(count, 1);
    EXPECT_EQ(kinds[static_cast<int>(TAnimationKind::ZoomIn)], 10);
    EXPECT_EQ(kinds[static_cast<int>(TAnimationKind::ZoomOut)], 10);
    EXPECT_EQ(kinds[static_cast<int>(TAnimationKind::Pan)], 9);
}

TEST(ShowAnimationChoice, StartingAPictureDrawsTypeThenColumnThenRow)
{
    for (uint32_t seed : {0u, 1u, 0xDEADBEEFu, 86399999u, 0xFFFFFFFFu}) {
        const int32_t w = 1023, h = 4001;
        SetRandSeed(seed);
        TShowAnimation a;
        a.SetScreen(800, 600);
        a.SetProgress(777);
        a.StartPicture(w, h);

        const uint32_t s1 = NextState(seed), s2 = NextState(s1), s3 = NextState(s2);
        EXPECT_EQ(a.Animation(), typeOfDraw[Below(29, s1)]);
        EXPECT_EQ(a.Focus(), (TPoint{static_cast<int32_t>(Below(w, s2)), static_cast<int32_t>(Below(h, s3))}));
        EXPECT_EQ(a.Progress(), 0.0f);
        EXPECT_EQ(GetRandSeed(), s3) << "three draws, no more";
    }
}

TEST(ShowAnimationChoice, TheTypeCanBeDrawnBeforeThePictureIsLoaded)
{
    // As at the show's creation: the type first, the focus once the picture's size is known.
    SetRandSeed(42);
    TShowAnimation a;
    a.BeginPicture();
    EXPECT_EQ(GetRandSeed(), NextState(42));
    a.PlacePicture(640, 480);
    const uint32_t s1 = NextState(42), s2 = NextState(s1), s3 = NextState(s2);
    EXPECT_EQ(a.Animation(), typeOfDraw[Below(29, s1)]);
    EXPECT_EQ(a.Focus(), (TPoint{static_cast<int32_t>(Below(640, s2)), static_cast<int32_t>(Below(480, s3))}));
}

TEST(ShowAnimationProgress, PictureLengthsInTicks)
{
    EXPECT_EQ(TicksPerPicture(1), 30005);
    EXPECT_EQ(TicksPerPicture(5), 6000);
    EXPECT_EQ(TicksPerPicture(50), 600);
    EXPECT_EQ(TicksPerPicture(100), 301);
}

TEST(ShowAnimationProgress, EachStepStoresTheNearest32BitRealToTheExactSum)
{
    // Exact rational arithmetic in units of 1/(30 * 2^30): every stored progress from 1/30 up
    // is a float with at least that resolution, and p + speed/30 lies far from any float
    // midpoint, so the stored value is the float nearest to the exact sum. Stepping by a
    // 32-bit speed/30 instead drifts from it within a few ticks at speeds 1, 11 and 13.
    constexpr int64_t unit = 30LL << 30;
    const auto nearestFloat = [](int64_t scaled) {
        int e = 10;
        while (e > -5 && scaled < (e >= 0 ? unit << e : unit >> -e)) --e;
        const int64_t ulpUnits = 30LL << (e + 7);  // 2^(e - 23) in units
        int64_t q = scaled / ulpUnits;
        const int64_t rem = scaled % ulpUnits;
        if (rem * 2 > ulpUnits || (rem * 2 == ulpUnits && (q & 1))) ++q;
        return std::ldexp(static_cast<float>(q), e - 23);
    };
    for (int32_t speed : {1, 5, 11, 13, 100}) {
        TShowAnimation a = Animation(800, 600, 1600, 1200, 0, speed);
        float expected = 0.0f;
        int tick = 0;
        do {
            ++tick;
            const int64_t scaled = static_cast<int64_t>(static_cast<double>(expected) * unit) + (speed * (1LL << 30));
            expected = nearestFloat(scaled);
            a.Tick();
            ASSERT_EQ(a.Progress(), expected) << "speed " << speed << " tick " << tick;
        } while (expected <= 1000.0f);
        EXPECT_TRUE(a.Finished());
    }
}

TEST(ShowAnimationProgress, FinishedOnlyPast1000)
{
    TShowAnimation a = Animation(800, 600, 1600, 1200, 0);
    a.SetProgress(1000.0f);
    EXPECT_FALSE(a.Finished());
    a.SetProgress(std::nextafter(1000.0f, 2000.0f));
    EXPECT_TRUE(a.Finished());
}

TEST(ShowAnimationProgress, SpeedZeroNeverMoves)
{
    TShowAnimation a = Animation(800, 600, 1600, 1200, 4, 0);
    a.Tick();
    const TRect first = a.SourceRect();
    EXPECT_EQ(first, Rect(0, 0, 1600, 1200));
    for (int i = 0; i < 50000; ++i) ASSERT_FALSE(a.Tick());
    EXPECT_EQ(a.Progress(), 0.0f);
    EXPECT_EQ(a.SourceRect(), first);
}

TEST(ShowAnimationProgress, NegativeSpeedIsTakenAsOne)
{
    TShowAnimation a;
    a.SetSpeed(-7);
    EXPECT_EQ(a.Speed(), 1);
    a.SetSpeed(std::numeric_limits<int32_t>::min());
    EXPECT_EQ(a.Speed(), 1);
    TShowAnimation one = Animation(800, 600, 1600, 1200, 27, 1);
    a = Animation(800, 600, 1600, 1200, 27, -1);
    for (int i = 0; i < 1000; ++i) {
        a.Tick();
        one.Tick();
        ASSERT_EQ(a.Progress(), one.Progress());
        ASSERT_EQ(a.SourceRect(), one.SourceRect());
    }
}

TEST(ShowAnimationRounding, HalvesGoToTheEvenNeighbour)
{
    // 5 x 4 on a 4:3 screen: at the end of the zoom in, k is 1/2 exactly.
    TShowAnimation five = Animation(800, 600, 5, 4, 1);  // anchor (5, 0): left = 2.5
    EXPECT_EQ(At(five, 1000).Left, 2);
    five.SetAnimation(0);  // anchor (0, 0): right = 2.5
    EXPECT_EQ(At(five, 1000).Right, 2);
    TShowAnimation seven = Animation(800, 600, 7, 6, 1);  // left = 3.5
    EXPECT_EQ(At(seven, 1000).Left, 4);
}

TEST(ShowAnimationRounding, HalfPointsOfOddSizes)
{
    TShowAnimation a = Animation(800, 600, 1021, 1000, 22);  // (W/2, 0)
    EXPECT_EQ(a.Anchor(), (TPoint{510, 0}));
    a.SetPictureSize(1023, 1000);
    EXPECT_EQ(a.Anchor(), (TPoint{512, 0}));
    a.SetAnimation(20);  // (0, H/2)
    a.SetPictureSize(100, 1021);
    EXPECT_EQ(a.Anchor(), (TPoint{0, 510}));
    a.SetPictureSize(100, 1023);
    EXPECT_EQ(a.Anchor(), (TPoint{0, 512}));
}

TEST(ShowAnimationRounding, PanMarginIsThe32BitRealOf0Point3)
{
    // 15 x 0.3 is 4.5, which would round to 4; 15 x 0.300000011920928955078125 is just
    // above it and rounds to 5, on either side of the 15-pixel-wide picture.
    TShowAnimation a = Animation(800, 600, 15, 12, 27);  // pan to (0, 0), from (15, 12)
    EXPECT_EQ(At(a, 0).Left, 5);
    a.SetAnimation(24);             // pan to (15, 12), ending at the mirror of (0, 0)
    EXPECT_EQ(At(a, 0).Right, 10);  // 15 - 4.5000002
}

TEST(ShowAnimationRounding, PanSlidesWithTheUnroundedProgress)
{
    // 417 x 313: the pan to (0, 0) starts with its left edge at round(0.3 * 417) = 125, so
    // at p = 4, 12 and 20 the edge is 124.5, 123.5 and 122.5.
    TShowAnimation a = Animation(800, 600, 417, 313, 27);
    EXPECT_EQ(At(a, 0).Left, 125);
    EXPECT_EQ(At(a, 4).Left, 124);
    EXPECT_EQ(At(a, 12).Left, 124);
    EXPECT_EQ(At(a, 20).Left, 122);
    // A progress between whole numbers moves the view by its fraction too.
    EXPECT_EQ(At(a, 1.5f).Left, 125);  // 124.8125
    EXPECT_EQ(At(a, 5.0f).Left, 124);  // 124.375
}

TEST(ShowAnimationTypes, StartAndEndOfEveryTypeOnAPictureOfTheScreensProportions)
{
    const int32_t w = 1600, h = 1200;
    const TPoint focus{200, 1000};
    const TRect full = Rect(0, 0, w, h);
    // The half view keeping the anchor in place, and the 0.7 view at the anchor's side.
    const auto half = [&](TPoint p) { return Rect(p.X / 2, p.Y / 2, p.X / 2 + w / 2, p.Y / 2 + h / 2); };
    const auto pan = [&](TPoint p) {
        return Rect(3 * p.X / 10, 3 * p.Y / 10, 3 * p.X / 10 + 7 * w / 10, 3 * p.Y / 10 + 7 * h / 10);
    };
    const auto mirror = [&](TPoint p) { return TPoint{w - p.X, h - p.Y}; };
    const std::array<TPoint, 10> zoomAnchors = {TPoint{0, 0}, {w, 0},     {0, h},     {w, h},     {w / 2, h / 2},
                                                {w / 2, 0},   {w / 2, h}, {0, h / 2}, {w, h / 2}, focus};
    const std::array<TPoint, 9> panAnchors = {TPoint{0, h / 2}, {w, h / 2}, {w / 2, 0}, {w / 2, h}, {w, h},
                                              {0, h},           {w, 0},     {0, 0},     focus};
    for (uint8_t type = 0; type < 29; ++type) {
        TShowAnimation a = Animation(800, 600, w, h, type);
        a.SetFocus(focus);
        SCOPED_TRACE(testing::Message() << "type " << int(type));
        if (type < 10) {
            EXPECT_EQ(a.Anchor(), zoomAnchors[type]);
            EXPECT_EQ(At(a, 0), full);
            EXPECT_EQ(At(a, 1000), half(zoomAnchors[type]));
        } else if (type < 20) {
            EXPECT_EQ(a.Anchor(), zoomAnchors[type - 10]);
            EXPECT_EQ(At(a, 0), half(zoomAnchors[type - 10]));
            EXPECT_EQ(At(a, 1000), full);
        } else {
            const TPoint anchor = panAnchors[type - 20];
            EXPECT_EQ(a.Anchor(), anchor);
            EXPECT_EQ(At(a, 0), pan(mirror(anchor)));
            EXPECT_EQ(At(a, 1000), pan(anchor));
        }
    }
}

TEST(ShowAnimationTypes, FocusTypesFollowTheFocusPoint)
{
    for (uint8_t type : {9, 19, 28}) {
        TShowAnimation a = Animation(800, 600, 1600, 1200, type);
        a.SetFocus({100, 100});
        const TRect first = At(a, 700);
        a.SetFocus({1500, 1100});
        EXPECT_NE(At(a, 700), first) << "type " << int(type);
    }
}

TEST(ShowAnimationShapes, PortraitPictureShowsItsUpperPartAndLowerAnchorsPullDown)
{
    // 800 x 1200 on 4:3: the full view is 800 x 600 from the top.
    TShowAnimation a = Animation(800, 600, 800, 1200, 0);
    EXPECT_EQ(a.FullView(), Rect(0, 0, 800, 1200));
    EXPECT_EQ(At(a, 0), Rect(0, 0, 800, 600));
    a.SetAnimation(2);  // zoom in at (0, H)
    EXPECT_EQ(At(a, 0), Rect(0, 0, 800, 600));
    const TRect end = At(a, 1000);
    EXPECT_EQ(end, Rect(0, 600, 400, 900));  // 600 + (1200 - 600) / 2 = 900
    EXPECT_GT(end.Top, 0);
}

TEST(ShowAnimationShapes, WidePictureIsCroppedToACentredBand)
{
    // 1800 x 1200 (3:2) on 4:3: a band 1600 wide, 100 cut from each side.
    TShowAnimation a = Animation(800, 600, 1800, 1200, 0);
    EXPECT_EQ(a.FullView(), Rect(100, 0, 1700, 1200));
    EXPECT_EQ(At(a, 0), Rect(100, 0, 1700, 1200));
    EXPECT_EQ(At(a, 1000), Rect(100, 0, 900, 600));
    a.SetAnimation(13);  // zoom out from the band's lower right corner
    EXPECT_EQ(At(a, 0), Rect(900, 600, 1700, 1200));
    // A focus at the picture's edge lands on the band's edge.
    a.SetAnimation(9);
    a.SetFocus({0, 0});
    EXPECT_EQ(At(a, 1000), Rect(100, 0, 900, 600));
    a.SetFocus({1800, 1200});
    EXPECT_EQ(At(a, 1000), Rect(900, 600, 1700, 1200));
    // Inside, the focus is scaled into the band, so a quarter across the picture is a
    // quarter across the band.
    a.SetFocus({450, 600});
    EXPECT_EQ(a.Anchor(), (TPoint{400, 600}));
    EXPECT_EQ(At(a, 1000), Rect(300, 300, 1100, 900));
}

TEST(ShowAnimationShapes, EveryFrameLiesInsideThePictureAndKeepsTheScreensProportions)
{
    std::mt19937 sizes(20240601);
    std::vector<std::array<int32_t, 4>> shapes = {
        {800, 600, 1600, 1200},  {800, 600, 1800, 1200},   {800, 600, 800, 1200},  {1366, 768, 1366, 768},
        {1366, 768, 4000, 1000}, {1280, 1024, 1280, 1024}, {600, 800, 1600, 1200}, {1920, 1080, 333, 1999},
        {640, 480, 1, 1},        {640, 480, 2, 3},         {640, 480, 5000, 1},    {1280, 720, 6000, 4000}};
    for (int i = 0; i < 120; ++i) {
        std::uniform_int_distribution<int32_t> screen(200, 2560), picture(1, 7000);
        shapes.push_back({screen(sizes), screen(sizes), picture(sizes), picture(sizes)});
    }
    uint32_t seed = 1;
    for (const auto& [sw, sh, pw, ph] : shapes) {
        for (uint8_t type = 0; type < 29; ++type) {
            SetRandSeed(seed++ * 2654435761u);
            TShowAnimation a;
            a.SetSpeed(100);
            a.SetScreen(sw, sh);
            a.StartPicture(pw, ph);
            a.SetAnimation(type);
            const TRect band = a.FullView();
            SCOPED_TRACE(testing::Message() << sw << "x" << sh << " picture " << pw << "x" << ph << " type "
                                            << int(type) << " focus " << a.Focus().X << "," << a.Focus().Y);
            ASSERT_GE(band.Left, 0);
            ASSERT_LE(band.Right, pw);
            ASSERT_LE(std::abs(band.Left - (pw - band.Right)), 1) << "band centred";
            const long double aspect = a.Aspect();
            const int rounds = AnimationKindOf(type) == TAnimationKind::Pan ? 2 : 1;
            std::vector<TRect> frames = {At(a, 0)};
            a.SetProgress(0);
            while (!a.Tick()) frames.push_back(a.SourceRect());
            frames.push_back(At(a, 1000));
            for (const TRect& r : frames) {
                ASSERT_TRUE(r.Left >= band.Left && r.Top >= 0 && r.Right <= band.Right && r.Bottom <= ph &&
                            r.Left <= r.Right && r.Top <= r.Bottom)
                    << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
                // Each edge is rounded on its own, so a zoom's height is off by at most one pixel
                // plus the aspect's share of the width's error; a pan rounds twice.
                ASSERT_LE(std::fabs(r.Height() - r.Width() * aspect), rounds * (1 + aspect) + 1e-6L)
                    << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
            }
        }
    }
}

TEST(ShowAnimationShapes, EmptyPictureGivesEmptyViews)
{
    SetRandSeed(7);
    TShowAnimation a;
    a.SetScreen(800, 600);
    a.StartPicture(0, 0);
    EXPECT_EQ(a.Focus(), (TPoint{0, 0}));
    for (uint8_t type = 0; type < 29; ++type) {
        a.SetAnimation(type);
        EXPECT_TRUE(At(a, 500).IsEmpty()) << "type " << int(type);
    }
}
