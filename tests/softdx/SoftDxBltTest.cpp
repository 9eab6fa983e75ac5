// Blt of the software DirectDraw: colour fills in every format, copies and stretches
// against a reference, colour keys, overlapping copies, and the failures that change nothing.
#include <bit>
#include <cmath>
#include <random>

#include "softdx/SoftDxBlit.h"
#include "softdx/SoftDxFixture.h"

namespace {

DDBLTFX FillFx(DWORD colour)
{
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    fx.dwFillColor = colour;
    return fx;
}

void Scribble(IDirectDrawSurface7* s, uint32_t width, uint32_t height, uint32_t seed, uint32_t mask)
{
    std::mt19937 random(seed);
    LockedPixels p(s);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) p.Set(x, y, random() & mask);
}

// Where the centre of destination pixel i falls in a source span, by plain floating point.
uint32_t Sample(int32_t i, int32_t destinationLength, int32_t sourceStart, int32_t sourceLength)
{
    return uint32_t(sourceStart + int32_t(std::floor((i + 0.5) * sourceLength / destinationLength)));
}

}  // namespace

using SoftDxBlt = SoftDxTest;

TEST_F(SoftDxBlt, ColourFillInEveryFormat)
{
    Normal();
    struct Case {
        DDPIXELFORMAT Format;
        uint32_t Colour, Mask;
    };
    const Case cases[] = {
        {IndexedFormat(), 0xA5, 0xFF},
        {RgbFormat(16, 0x7C00, 0x3E0, 0x1F), 0x7ABC, 0xFFFF},
        {RgbFormat(16, 0xF800, 0x7E0, 0x1F), 0xF00D, 0xFFFF},
        {RgbFormat(24, 0xFF0000, 0xFF00, 0xFF), 0x123456, 0xFFFFFF},
        {RgbFormat(32, 0xFF0000, 0xFF00, 0xFF), 0x00C0FFEE, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Format.dwRGBBitCount);
        IDirectDrawSurface7* s = Offscreen(9, 7, &c.Format);
        Scribble(s, 9, 7, 1, c.Mask);
        const auto before = SurfacePixels(s, 9, 7);
        RECT r{2, 1, 7, 5};
        DDBLTFX fx = FillFx(c.Colour);
        ASSERT_EQ(s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
        const auto after = SurfacePixels(s, 9, 7);
        for (uint32_t y = 0; y < 7; ++y)
            for (uint32_t x = 0; x < 9; ++x) {
                const bool inside = x >= 2 && x < 7 && y >= 1 && y < 5;
                EXPECT_EQ(after[y * 9 + x], inside ? c.Colour : before[y * 9 + x]) << x << "," << y;
            }
        fx.dwSize = sizeof fx - 1;
        EXPECT_EQ(s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDPARAMS);
        s->Release();
    }
}

TEST_F(SoftDxBlt, BadRectanglesFailAndChangeNothing)
{
    Normal();
    IDirectDrawSurface7* destination = Offscreen(10, 10);
    IDirectDrawSurface7* source = Offscreen(10, 10);
    Scribble(destination, 10, 10, 2, 0xFFFFFF);
    Scribble(source, 10, 10, 3, 0xFFFFFF);
    const auto before = SurfacePixels(destination, 10, 10);
    DDBLTFX fx = FillFx(0);
    const RECT bad[] = {{0, 0, 0, 5}, {3, 3, 3, 3}, {5, 0, 4, 5}, {-1, 0, 5, 5}, {0, 0, 11, 5}, {0, 8, 5, 11}};
    for (RECT r : bad) {
        RECT good{0, 0, 5, 5};
        EXPECT_EQ(destination->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
        EXPECT_EQ(destination->Blt(&r, source, &good, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
        EXPECT_EQ(destination->Blt(&good, source, &r, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    }
    EXPECT_EQ(SurfacePixels(destination, 10, 10), before);
    destination->Release();
    source->Release();
}

TEST_F(SoftDxBlt, DifferentFormatsAndBusySurfacesAreRefused)
{
    Normal();
    const DDPIXELFORMAT f565 = RgbFormat(16, 0xF800, 0x7E0, 0x1F);
    IDirectDrawSurface7* wide = Offscreen(8, 8);
    IDirectDrawSurface7* narrow = Offscreen(8, 8, &f565);
    EXPECT_EQ(wide->Blt(nullptr, narrow, nullptr, DDBLT_WAIT, nullptr), DDERR_UNSUPPORTED);
    EXPECT_EQ(wide->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPARAMS);

    IDirectDrawSurface7* other = Offscreen(8, 8);
    HDC dc = nullptr;
    ASSERT_EQ(other->GetDC(&dc), DD_OK);
    EXPECT_EQ(wide->Blt(nullptr, other, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(other->Blt(nullptr, wide, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    other->ReleaseDC(dc);
    DDSURFACEDESC2 d = Desc();
    ASSERT_EQ(other->Lock(nullptr, &d, 0, nullptr), DD_OK);
    EXPECT_EQ(other->Blt(nullptr, wide, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    other->Unlock(nullptr);
    EXPECT_EQ(other->Blt(nullptr, wide, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    for (auto s : {wide, narrow, other}) s->Release();
}

TEST_F(SoftDxBlt, StretchesTakeThePixelUnderEachDestinationCentre)
{
    Normal();
    struct Case {
        DDPIXELFORMAT Format;
        uint32_t Mask;
        RECT From, To;
    };
    const DDPIXELFORMAT f32 = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
    const Case cases[] = {
        {f32, 0xFFFFFFFF, {0, 0, 64, 48}, {0, 0, 64, 48}},                           // plain copy
        {f32, 0xFFFFFFFF, {3, 5, 60, 41}, {1, 2, 40, 25}},                           // shrink
        {f32, 0xFFFFFFFF, {10, 10, 17, 13}, {0, 0, 70, 50}},                         // enlarge
        {RgbFormat(16, 0xF800, 0x7E0, 0x1F), 0xFFFF, {0, 0, 64, 48}, {5, 4, 6, 5}},  // down to one pixel
        {f32, 0xFFFFFFFF, {1, 1, 62, 47}, {0, 0, 37, 61}},                           // shrink one way, grow the other
        {IndexedFormat(), 0xFF, {2, 3, 50, 40}, {0, 0, 31, 70}},                     // other pixel sizes share the rule
        {RgbFormat(16, 0xF800, 0x7E0, 0x1F), 0xFFFF, {0, 0, 64, 48}, {3, 3, 70, 33}},
        {RgbFormat(24, 0xFF0000, 0xFF00, 0xFF), 0xFFFFFF, {7, 0, 64, 48}, {0, 1, 29, 77}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Format.dwRGBBitCount << " bits to " << c.To.right << "x" << c.To.bottom);
        IDirectDrawSurface7* source = Offscreen(64, 48, &c.Format);
        IDirectDrawSurface7* destination = Offscreen(80, 80, &c.Format);
        Scribble(source, 64, 48, 4, c.Mask);
        Scribble(destination, 80, 80, 5, c.Mask);
        const auto in = SurfacePixels(source, 64, 48);
        const auto before = SurfacePixels(destination, 80, 80);
        RECT from = c.From, to = c.To;
        ASSERT_EQ(destination->Blt(&to, source, &from, DDBLT_WAIT, nullptr), DD_OK);
        const auto out = SurfacePixels(destination, 80, 80);
        const int32_t dw = to.right - to.left, dh = to.bottom - to.top;
        int wrong = 0;
        for (int32_t y = 0; y < 80; ++y)
            for (int32_t x = 0; x < 80; ++x) {
                uint32_t expected = before[y * 80 + x];
                if (x >= to.left && x < to.right && y >= to.top && y < to.bottom) {
                    const uint32_t sx = Sample(x - to.left, dw, from.left, from.right - from.left);
                    const uint32_t sy = Sample(y - to.top, dh, from.top, from.bottom - from.top);
                    expected = in[sy * 64 + sx];
                }
                wrong += out[y * 80 + x] != expected;
            }
        EXPECT_EQ(wrong, 0);
        source->Release();
        destination->Release();
    }
}

TEST_F(SoftDxBlt, LargeShrinkMatchesTheReferenceAtEveryPixel)
{
    // The show's own proportions, at a size where the index tables' rounding would show.
    Normal();
    IDirectDrawSurface7* source = Offscreen(3001, 1689);
    IDirectDrawSurface7* destination = Offscreen(1920, 1080);
    Scribble(source, 3001, 1689, 6, 0xFFFFFF);
    const auto in = SurfacePixels(source, 3001, 1689);
    RECT from{1, 1, 3001, 1689};
    ASSERT_EQ(destination->Blt(nullptr, source, &from, DDBLT_WAIT, nullptr), DD_OK);
    const auto out = SurfacePixels(destination, 1920, 1080);
    int wrong = 0;
    for (int32_t y = 0; y < 1080; ++y)
        for (int32_t x = 0; x < 1920; ++x)
            wrong += out[y * 1920 + x] != in[Sample(y, 1080, 1, 1688) * 3001 + Sample(x, 1920, 1, 3000)];
    EXPECT_EQ(wrong, 0);
    source->Release();
    destination->Release();
}

TEST_F(SoftDxBlt, ShrinksByHalfOrMoreSampleThePictureAveragedDownByHalves)
{
    Normal();
    constexpr uint32_t W = 64, H = 48;
    IDirectDrawSurface7* source = Offscreen(W, H);
    IDirectDrawSurface7* destination = Offscreen(32, 32);
    // The averages at each level, worked out independently of the blitter.
    auto average = [](const std::vector<uint32_t>& in, uint32_t width, uint32_t height) {
        std::vector<uint32_t> out;
        for (uint32_t y = 0; y < height / 2; ++y)
            for (uint32_t x = 0; x < width / 2; ++x) {
                uint32_t value = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    uint32_t sum = 2;
                    for (uint32_t dy = 0; dy < 2; ++dy)
                        for (uint32_t dx = 0; dx < 2; ++dx)
                            sum += (in[(2 * y + dy) * width + 2 * x + dx] >> shift) & 0xFF;
                    value |= (sum / 4) << shift;
                }
                out.push_back(value);
            }
        return out;
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first pixels" : "after the pixels changed");
        Scribble(source, W, H, 11 + round, 0xFFFFFFFF);
        const auto in = SurfacePixels(source, W, H);
        const auto half = average(in, W, H), quarter = average(half, W / 2, H / 2);

        // 64 x 48 to 32 x 24 is exactly the first level.
        RECT to{0, 0, 32, 24};
        ASSERT_EQ(destination->Blt(&to, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
        auto out = SurfacePixels(destination, 32, 32);
        int wrong = 0;
        for (uint32_t y = 0; y < 24; ++y)
            for (uint32_t x = 0; x < 32; ++x) wrong += out[y * 32 + x] != half[y * 32 + x];
        EXPECT_EQ(wrong, 0) << "halved";

        // A part of the picture shrunk about five times: the second level, sampled at the
        // centres, over the same part of it.
        RECT from{8, 4, 56, 44}, small{0, 0, 9, 8};
        ASSERT_EQ(destination->Blt(&small, source, &from, DDBLT_WAIT, nullptr), DD_OK);
        out = SurfacePixels(destination, 32, 32);
        wrong = 0;
        for (uint32_t y = 0; y < 8; ++y)
            for (uint32_t x = 0; x < 9; ++x)
                wrong += out[y * 32 + x] != quarter[Sample(y, 8, 1, 10) * 16 + Sample(x, 9, 2, 12)];
        EXPECT_EQ(wrong, 0) << "quartered";
    }

    // With a colour key every pixel is the picture's own: an average could match no key.
    Scribble(source, W, H, 21, 0x00FFFFFF);
    const auto in = SurfacePixels(source, W, H);
    DDCOLORKEY key{0xFF000000, 0xFF000000};
    ASSERT_EQ(source->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    RECT to{0, 0, 16, 12};
    ASSERT_EQ(destination->Blt(&to, source, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr), DD_OK);
    const auto out = SurfacePixels(destination, 32, 32);
    int wrong = 0;
    for (uint32_t y = 0; y < 12; ++y)
        for (uint32_t x = 0; x < 16; ++x) wrong += out[y * 32 + x] != in[Sample(y, 12, 0, H) * W + Sample(x, 16, 0, W)];
    EXPECT_EQ(wrong, 0) << "keyed";
    source->Release();
    destination->Release();
}

TEST_F(SoftDxBlt, SourceColourKeyLeavesKeyedPixelsAlone)
{
    Normal();
    IDirectDrawSurface7* source = Offscreen(6, 1);
    IDirectDrawSurface7* destination = Offscreen(6, 1);
    {
        LockedPixels p(source);
        const uint32_t values[] = {0x00FF00FF, 0x00000001, 0xFFFF00FF, 0x00FF00FE, 0x00FF00FF, 0x00123456};
        for (uint32_t x = 0; x < 6; ++x) p.Set(x, 0, values[x]);
    }
    DDBLTFX fx = FillFx(0x00777777);
    destination->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    EXPECT_EQ(destination->Blt(nullptr, source, nullptr, DDBLT_KEYSRC, nullptr), DDERR_NOCOLORKEY);
    DDCOLORKEY key{0x00FF00FF, 0x00FF00FF};
    ASSERT_EQ(source->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    ASSERT_EQ(destination->Blt(nullptr, source, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr), DD_OK);
    const std::vector<uint32_t> expected = {0x00777777, 0x00000001, 0x00777777, 0x00FF00FE, 0x00777777, 0x00123456};
    EXPECT_EQ(SurfacePixels(destination, 6, 1), expected) << "the unused top byte does not take part in the key";

    fx.ddckSrcColorkey = {0x00000001, 0x00FF00FE};
    destination->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    ASSERT_EQ(destination->Blt(nullptr, source, nullptr, DDBLT_KEYSRCOVERRIDE, &fx), DD_OK);
    const std::vector<uint32_t> ranged = {0x00FF00FF, 0x00777777, 0xFFFF00FF, 0x00777777, 0x00FF00FF, 0x00777777};
    EXPECT_EQ(SurfacePixels(destination, 6, 1), ranged) << "an override key is a range";
    source->Release();
    destination->Release();
}

TEST_F(SoftDxBlt, OverlappingCopyWithinOneSurface)
{
    Normal();
    IDirectDrawSurface7* s = Offscreen(20, 20);
    Scribble(s, 20, 20, 7, 0xFFFFFF);
    const auto before = SurfacePixels(s, 20, 20);
    for (RECT to : {RECT{3, 2, 15, 14}, RECT{0, 0, 12, 12}}) {
        RECT from{1, 1, 13, 13};
        Scribble(s, 20, 20, 7, 0xFFFFFF);
        ASSERT_EQ(s->Blt(&to, s, &from, DDBLT_WAIT, nullptr), DD_OK);
        const auto after = SurfacePixels(s, 20, 20);
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t x = 0; x < 12; ++x)
                ASSERT_EQ(after[(to.top + y) * 20 + to.left + x], before[(1 + y) * 20 + 1 + x]) << x << "," << y;
    }
    s->Release();
}

TEST_F(SoftDxBlt, WindowedPrimaryIsPresentedAfterABlt)
{
    Normal();
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface7* primary = nullptr;
    ASSERT_EQ(DD->CreateSurface(&d, &primary, nullptr), DD_OK);
    IDirectDrawClipper* clipper = nullptr;
    DD->CreateClipper(0, &clipper, nullptr);
    clipper->SetHWnd(0, TestWindow());
    primary->SetClipper(clipper);
    clipper->Release();
    DDBLTFX fx = FillFx(0x00ABCDEF);
    ASSERT_EQ(primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    EXPECT_EQ(Presenter->PresentCount(), 1u);
    EXPECT_EQ(Presenter->LastWindow(), TestWindow());
    ASSERT_EQ(Presenter->LastFrame().size(), 1920u * 1080u);
    EXPECT_EQ(Presenter->LastFrame()[12345], 0x00ABCDEFu);
    primary->Release();
}

TEST(SoftDxWiden16, EachFieldKeepsItsBitsOnTopAndFullStaysFull)
{
    // 16-bit frames become 0x00RRGGBB ones for the screen: each channel's byte starts with the
    // field's own bits, none from another field, and a full field is a full byte.
    struct Case {
        const char* Name;
        softdx::PixelFormat Format;
        uint32_t Ignored;  // bits that take no part
    };
    const Case cases[] = {
        {"5-6-5", {16, 0xF800, 0x07E0, 0x001F, 0}, 0},
        {"X-5-5-5", {16, 0x7C00, 0x03E0, 0x001F, 0}, 0x8000},
        {"1-5-5-5", {16, 0x7C00, 0x03E0, 0x001F, 0x8000}, 0x8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_TRUE(softdx::Widen16::Takes(c.Format));
        const softdx::Widen16 widen(c.Format);
        int wrong = 0;
        for (uint32_t v = 0; v < 0x10000; ++v) {
            const uint32_t w = widen(v);
            wrong += (w >> 24) != 0 || widen(v ^ c.Ignored) != w;
            const uint32_t masks[] = {c.Format.RedMask, c.Format.GreenMask, c.Format.BlueMask};
            for (int i = 0; i < 3; ++i) {
                const int bits = std::popcount(masks[i]), shift = std::countr_zero(masks[i]);
                const uint32_t field = (v & masks[i]) >> shift, byte = (w >> (16 - 8 * i)) & 0xFF;
                wrong += byte >> (8 - bits) != field;
                wrong += field == masks[i] >> shift && byte != 0xFF;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
    // Formats the tables cannot widen go the general way.
    EXPECT_FALSE(softdx::Widen16::Takes({16, 0x0F00, 0x00F0, 0x000F, 0xF000}));
    EXPECT_FALSE(softdx::Widen16::Takes({32, 0xFF0000, 0xFF00, 0xFF, 0}));
}
