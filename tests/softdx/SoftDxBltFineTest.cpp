// Blits from source rectangles in fractions of a pixel: whole pixels give Blt's own pixels,
// fractions sample where the exact centres fall, small steps move the picture smoothly, and
// the show's deferred frame tells a repeat from a move of a fraction.
#include <random>

#include "softdx/SoftDxFixture.h"

namespace {

const DDPIXELFORMAT F32 = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
const DDPIXELFORMAT F565 = RgbFormat(16, 0xF800, 0x7E0, 0x1F);
constexpr int64_t Unit = SoftDxFineUnit;

// Each 16-bit pixel its own place, so that a sample tells where it was taken (16-bit stretches
// read the pixels themselves, never averaged copies).
void Number(IDirectDrawSurface7* s, uint32_t width, uint32_t height)
{
    LockedPixels p(s);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) p.Set(x, y, y * width + x);
}

// The source index under destination pixel i's centre, as an exact fraction.
int64_t Centre(int64_t i, int64_t count, int64_t start, int64_t end)
{
    const int64_t numerator = 2 * count * start + (2 * i + 1) * (end - start), denominator = 2 * count * Unit;
    return numerator / denominator;
}

}  // namespace

using SoftDxFineBlt = SoftDxTest;

TEST_F(SoftDxFineBlt, WholePixelsGiveWhatBltGives)
{
    Normal();
    struct Case {
        const DDPIXELFORMAT* Format;
        RECT From, To;
    };
    const Case cases[] = {
        {&F32, {0, 0, 96, 64}, {0, 0, 96, 64}},  // copy
        {&F32, {3, 5, 90, 61}, {1, 2, 40, 25}},  // averaged copies, at odd places
        {&F32, {1, 3, 95, 62}, {0, 0, 11, 7}},   // deeper levels
        {&F32, {10, 10, 17, 13}, {0, 0, 70, 50}}, {&F565, {3, 5, 90, 61}, {1, 2, 40, 25}},
        {&F565, {0, 0, 96, 64}, {5, 4, 6, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Format->dwRGBBitCount << " bits, " << c.From.left << "," << c.From.top);
        IDirectDrawSurface7* source = Offscreen(96, 64, c.Format);
        IDirectDrawSurface7* byBlt = Offscreen(100, 80, c.Format);
        IDirectDrawSurface7* byFine = Offscreen(100, 80, c.Format);
        {
            std::mt19937 random(7);
            LockedPixels p(source);
            for (uint32_t y = 0; y < 64; ++y)
                for (uint32_t x = 0; x < 96; ++x) p.Set(x, y, random());
        }
        RECT from = c.From, to = c.To;
        ASSERT_EQ(byBlt->Blt(&to, source, &from, DDBLT_WAIT, nullptr), DD_OK);
        ASSERT_EQ(SoftDxBltFine(byFine, &to, source, SoftDxFine(from)), DD_OK);
        EXPECT_EQ(SurfacePixels(byFine, 100, 80), SurfacePixels(byBlt, 100, 80));
        for (auto* s : {source, byBlt, byFine}) s->Release();
    }
}

TEST_F(SoftDxFineBlt, FractionsSampleUnderTheExactCentres)
{
    Normal();
    constexpr uint32_t W = 120, H = 90;
    IDirectDrawSurface7* source = Offscreen(W, H, &F565);
    IDirectDrawSurface7* destination = Offscreen(70, 70, &F565);
    Number(source, W, H);
    const SoftDxFineRect cases[] = {
        {Unit / 2, Unit / 3, 100 * Unit + Unit / 2, 80 * Unit + 1},    // shrink
        {7 * Unit + 12345, 3 * Unit + 999, 19 * Unit + 7, 11 * Unit},  // enlarge
        {1, 1, W * Unit - 1, H * Unit - 1},
        {40 * Unit + 100, 40 * Unit + 100, 40 * Unit + 9000, 40 * Unit + 60000},  // within one pixel
    };
    const RECT to{0, 0, 67, 59};
    for (const SoftDxFineRect& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Left << "," << c.Top << "," << c.Right << "," << c.Bottom);
        ASSERT_EQ(SoftDxBltFine(destination, &to, source, c), DD_OK);
        const auto out = SurfacePixels(destination, 70, 70);
        int wrong = 0;
        for (int64_t y = 0; y < to.bottom; ++y)
            for (int64_t x = 0; x < to.right; ++x)
                wrong += out[size_t(y * 70 + x)] !=
                         uint32_t(Centre(y, to.bottom, c.Top, c.Bottom) * W + Centre(x, to.right, c.Left, c.Right));
        EXPECT_EQ(wrong, 0);
    }
    source->Release();
    destination->Release();
}

TEST_F(SoftDxFineBlt, RectanglesOutsideTheSourceAreRefusedAndChangeNothing)
{
    Normal();
    IDirectDrawSurface7* source = Offscreen(10, 10, &F565);
    IDirectDrawSurface7* destination = Offscreen(10, 10, &F565);
    Number(source, 10, 10);
    const auto before = SurfacePixels(destination, 10, 10);
    const SoftDxFineRect bad[] = {
        {-1, 0, Unit, Unit},   {0, 0, 10 * Unit + 1, Unit}, {0, 9 * Unit, Unit, 10 * Unit + 1},
        {Unit, 0, Unit, Unit}, {Unit + 1, 0, Unit, Unit},   {0, 5, 5 * Unit, 5}};
    for (const SoftDxFineRect& r : bad) EXPECT_EQ(SoftDxBltFine(destination, nullptr, source, r), DDERR_INVALIDRECT);
    EXPECT_EQ(SoftDxBltFine(destination, nullptr, nullptr, {0, 0, Unit, Unit}), DDERR_INVALIDPARAMS);
    SoftDxFailNext("Blt", DDERR_GENERIC);
    EXPECT_EQ(SoftDxBltFine(destination, nullptr, source, {0, 0, Unit, Unit}), DDERR_GENERIC);
    EXPECT_EQ(SurfacePixels(destination, 10, 10), before);
    source->Release();
    destination->Release();
}

TEST_F(SoftDxFineBlt, SmallStepsMoveThePictureSmoothly)
{
    // A pan of a 2:1 shrink in steps of 1/16 of a pixel. Each column samples where its centre
    // falls; each step moves it forward by one pixel of what it reads at most; and a shift by
    // half a pixel of the picture moves the frame by a quarter of a frame's pixel on average.
    // The 32-bit picture is read through its copy averaged to half the size (2 x 2 blocks), whose
    // pixel j covers the picture's 2j and 2j + 1.
    Normal();
    constexpr uint32_t W = 240, Dw = 100;
    constexpr int64_t Step = Unit / 16, Steps = 16 * 8;
    for (const DDPIXELFORMAT* format : {&F565, &F32}) {
        const bool averaged = format == &F32;
        SCOPED_TRACE(averaged ? "averaged" : "the pixels themselves");
        IDirectDrawSurface7* source = Offscreen(W, 2, format);
        IDirectDrawSurface7* destination = Offscreen(Dw, 1, format);
        {
            // Red counts the columns, so that an average of two still tells where it was.
            LockedPixels p(source);
            for (uint32_t y = 0; y < 2; ++y)
                for (uint32_t x = 0; x < W; ++x) p.Set(x, y, averaged ? x << 16 : x);
        }
        // The column each destination pixel shows, in the picture's pixels, at each step.
        std::vector<std::vector<int64_t>> at;
        int wrong = 0;
        for (int64_t k = 0; k <= Steps + 8; ++k) {
            const SoftDxFineRect r{k * Step, 0, k * Step + 2 * Dw * Unit, 2 * Unit};
            ASSERT_EQ(SoftDxBltFine(destination, nullptr, source, r), DD_OK);
            at.emplace_back();
            const auto out = SurfacePixels(destination, Dw, 1);
            for (uint32_t i = 0; i < Dw; ++i) {
                const int64_t column = Centre(i, Dw, r.Left, r.Right);
                // An average of columns 2j and 2j + 1 rounds up to 2j + 1.
                const int64_t expected = averaged ? column / 2 * 2 + 1 : column;
                const int64_t seen = averaged ? (out[i] >> 16) & 0xFF : out[i];
                wrong += seen != expected;
                at.back().push_back(seen);
            }
        }
        EXPECT_EQ(wrong, 0);
        int worst = 0, backwards = 0;
        double halfShift = 0;
        for (size_t k = 1; k < at.size(); ++k)
            for (uint32_t i = 0; i < Dw; ++i) {
                worst = std::max<int>(worst, int(at[k][i] - at[k - 1][i]));
                backwards += at[k][i] < at[k - 1][i];
                if (k <= Steps) halfShift += double(at[k - 1 + 8][i] - at[k - 1][i]);
            }
        EXPECT_LE(worst, averaged ? 2 : 1);
        EXPECT_EQ(backwards, 0);
        // Half a picture pixel is a quarter of a frame pixel (two picture pixels).
        EXPECT_NEAR(halfShift / double(Steps * Dw) / 2, 0.25, 0.01);
        source->Release();
        destination->Release();
    }
}

TEST_F(SoftDxFineBlt, TheShowsFrameRepeatsOnlyForTheSameFineRectangle)
{
    // A back buffer filled whole from the picture is put off and presented at the window's size;
    // a rectangle moved by the smallest fraction is a new frame, the same one a repeat. The
    // frame the buffer holds is the one an ordinary surface gets.
    Presenter->SetWindowSize(SoftDxSize{1024, 768});
    ASSERT_NO_FATAL_FAILURE(Exclusive());
    ASSERT_EQ(DD->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
    IDirectDrawSurface7* front = FlipChain(1);
    IDirectDrawSurface7* back = nullptr;
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
    IDirectDrawSurface7* picture = Offscreen(2000, 1500);
    IDirectDrawSurface7* plain = Offscreen(640, 480);
    {
        std::mt19937 random(3);
        LockedPixels p(picture);
        for (uint32_t y = 0; y < 1500; ++y)
            for (uint32_t x = 0; x < 2000; ++x) p.Set(x, y, random() & 0xFFFFFF);
    }
    const SoftDxFineRect first{100 * Unit + Unit / 3, 50 * Unit + 7, 1700 * Unit + Unit / 3, 1250 * Unit + 7};
    struct Step {
        SoftDxFineRect Rect;
        bool Repeats;
    };
    const Step steps[] = {
        {first, false}, {first, true}, {{first.Left + 1, first.Top, first.Right + 1, first.Bottom}, false},
        {first, false}, {first, true}, {{first.Left, first.Top, first.Right, first.Bottom + 1}, false},
    };
    for (const Step& s : steps) {
        const uint32_t repeats = Presenter->RepeatCount();
        ASSERT_EQ(SoftDxBltFine(back, nullptr, picture, s.Rect), DD_OK);
        ASSERT_EQ(front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
        EXPECT_EQ(Presenter->RepeatCount(), repeats + (s.Repeats ? 1 : 0));
        EXPECT_EQ(Presenter->LastSize(), (SoftDxSize{1024, 768}));
    }
    // The window's frame samples the picture's pixels under its centres (1600 / 1024 shrinks by
    // less than half: no averaged copy).
    const SoftDxFineRect last = steps[std::size(steps) - 1].Rect;
    const std::vector<uint32_t> seen = Presenter->LastFrame();
    const auto in = SurfacePixels(picture, 2000, 1500);
    int wrong = 0;
    for (int64_t y = 0; y < 768; y += 7)
        for (int64_t x = 0; x < 1024; x += 5)
            wrong += (seen[size_t(y * 1024 + x)] & 0xFFFFFF) !=
                     in[size_t(Centre(y, 768, last.Top, last.Bottom) * 2000 + Centre(x, 1024, last.Left, last.Right))];
    EXPECT_EQ(wrong, 0);
    ASSERT_EQ(SoftDxBltFine(plain, nullptr, picture, last), DD_OK);
    EXPECT_EQ(SurfacePixels(front, 640, 480), SurfacePixels(plain, 640, 480)) << "made in the mode's own pixels";
    for (auto* s : {plain, picture, back, front}) s->Release();
}
