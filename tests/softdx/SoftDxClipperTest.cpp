// Clippers of the software DirectDraw: blits to a surface with a clipper draw only inside
// the clip list, or inside the parts of the clipper's window the presenter says are seen.
#include <functional>

#include "softdx/SoftDxFixture.h"

using SoftDxClipping = SoftDxTest;

namespace {

RGNDATA* ClipList(std::vector<uint8_t>& storage, const std::vector<RECT>& rects)
{
    storage.assign(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT), 0);
    auto* data = reinterpret_cast<RGNDATA*>(storage.data());
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = DWORD(rects.size());
    std::memcpy(data->Buffer, rects.data(), rects.size() * sizeof(RECT));
    return data;
}

bool Inside(const std::vector<RECT>& rects, uint32_t x, uint32_t y)
{
    for (const RECT& r : rects)
        if (LONG(x) >= r.left && LONG(x) < r.right && LONG(y) >= r.top && LONG(y) < r.bottom) return true;
    return false;
}

}  // namespace

TEST_F(SoftDxClipping, BlitsDrawOnlyInsideTheClippersRegion)
{
    Normal();
    const DDPIXELFORMAT rgb = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
    IDirectDrawSurface7* source = Offscreen(7, 5, &rgb);
    {
        LockedPixels px(source);
        for (uint32_t y = 0; y < 5; ++y)
            for (uint32_t x = 0; x < 7; ++x) px.Set(x, y, 0x010000 * x + 0x000100 * y + 0x40);
    }
    const std::vector<RECT> region = {{2, 3, 20, 9}, {25, 0, 40, 30}, {0, 28, 8, 40}};
    std::vector<uint8_t> storage;
    struct Case {
        const char* Name;
        std::function<void(IDirectDrawClipper*)> Setup;
    };
    const Case cases[] = {
        {"clip list", [&](IDirectDrawClipper* c) { ASSERT_EQ(c->SetClipList(ClipList(storage, region), 0), DD_OK); }},
        {"window",
         [&](IDirectDrawClipper* c) {
             Presenter->SetVisibleRects(region);
             ASSERT_EQ(c->SetHWnd(0, TestWindow()), DD_OK);
         }},
    };
    // A stretched copy reaching past the surface's right and bottom, and a fill.
    RECT destination{-3, -2, 45, 50};
    for (const Case& c : cases) {
        IDirectDrawSurface7* clipped = Offscreen(40, 40, &rgb);
        IDirectDrawSurface7* reference = Offscreen(60, 60, &rgb);
        IDirectDrawClipper* clipper = nullptr;
        ASSERT_EQ(DD->CreateClipper(0, &clipper, nullptr), DD_OK);
        c.Setup(clipper);
        ASSERT_EQ(clipped->SetClipper(clipper), DD_OK);
        ASSERT_EQ(clipped->Blt(&destination, source, nullptr, DDBLT_WAIT, nullptr), DD_OK) << c.Name;
        // The unclipped blit, moved by (3, 2) so that it fits a larger surface.
        RECT shifted{0, 0, 48, 52};
        ASSERT_EQ(reference->Blt(&shifted, source, nullptr, DDBLT_WAIT, nullptr), DD_OK);
        {
            LockedPixels got(clipped), want(reference);
            for (uint32_t y = 0; y < 40; ++y)
                for (uint32_t x = 0; x < 40; ++x)
                    ASSERT_EQ(got.Get(x, y), Inside(region, x, y) ? want.Get(x + 3, y + 2) : 0u)
                        << c.Name << " at " << x << "," << y;
        }
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = 0xABCDEF;
        ASSERT_EQ(clipped->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
        {
            LockedPixels got(clipped);
            EXPECT_EQ(got.Get(2, 3), 0xABCDEFu);
            EXPECT_NE(got.Get(1, 3), 0xABCDEFu);
            EXPECT_NE(got.Get(24, 10), 0xABCDEFu);
        }
        clipper->Release();
        clipped->Release();
        reference->Release();
    }
    source->Release();
}

TEST_F(SoftDxClipping, WithoutAnswerFromThePresenterOnlyTheSurfaceClips)
{
    Normal();
    const DDPIXELFORMAT rgb = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
    IDirectDrawSurface7* target = Offscreen(16, 16, &rgb);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x123456;
    RECT beyond{8, 8, 24, 24};
    EXPECT_EQ(target->Blt(&beyond, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT) << "no clipper";
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(DD->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, TestWindow()), DD_OK);
    ASSERT_EQ(target->SetClipper(clipper), DD_OK);
    ASSERT_EQ(target->Blt(&beyond, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    {
        LockedPixels px(target);
        EXPECT_EQ(px.Get(15, 15), 0x123456u);
        EXPECT_EQ(px.Get(7, 15), 0u);
    }
    Presenter->SetVisibleRects(std::vector<RECT>{});  // the window is wholly covered
    fx.dwFillColor = 0x654321;
    ASSERT_EQ(target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    EXPECT_EQ(LockedPixels(target).Get(15, 15), 0x123456u);
    clipper->Release();
    target->Release();
}
