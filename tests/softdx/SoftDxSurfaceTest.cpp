// Surfaces of the software DirectDraw: creation and its failures, the primary and its flip
// chain, descriptions, Lock, device contexts, colour keys, palettes and clippers.
#include "softdx/SoftDxFixture.h"

using SoftDxSurface = SoftDxTest;

TEST_F(SoftDxSurface, CreationNeedsACooperativeLevel)
{
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), DDERR_NOCOOPERATIVELEVELSET);
    EXPECT_EQ(s, nullptr);
}

TEST_F(SoftDxSurface, OnePrimaryPerDirectDrawObject)
{
    Normal();
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface7 *first = nullptr, *second = nullptr;
    ASSERT_EQ(DD->CreateSurface(&d, &first, nullptr), DD_OK);
    EXPECT_EQ(DD->CreateSurface(&d, &second, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
    DDSURFACEDESC2 got = Desc();
    ASSERT_EQ(first->GetSurfaceDesc(&got), DD_OK);
    EXPECT_EQ(got.dwWidth, 1920u);
    EXPECT_EQ(got.dwHeight, 1080u);
    EXPECT_TRUE(got.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE);
    EXPECT_EQ(first->Release(), 0u);
    ASSERT_EQ(DD->CreateSurface(&d, &second, nullptr), DD_OK) << "a released primary makes room for another";
    EXPECT_EQ(second->Release(), 0u);
}

TEST_F(SoftDxSurface, PrimaryTakesTheEmulatedModesSizeAndFormat)
{
    Exclusive();
    ASSERT_EQ(DD->SetDisplayMode(800, 600, 8, 0, 0), DD_OK);
    IDirectDrawSurface7* front = FlipChain(1);
    ASSERT_NE(front, nullptr);
    DDSURFACEDESC2 got = Desc();
    ASSERT_EQ(front->GetSurfaceDesc(&got), DD_OK);
    EXPECT_EQ(got.dwWidth, 800u);
    EXPECT_EQ(got.dwHeight, 600u);
    EXPECT_EQ(got.ddpfPixelFormat.dwRGBBitCount, 8u);
    EXPECT_TRUE(got.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8);
    EXPECT_EQ(got.dwBackBufferCount, 1u);
    EXPECT_EQ(front->Release(), 0u);
}

TEST_F(SoftDxSurface, FlipChainRules)
{
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    d.dwBackBufferCount = 1;
    IDirectDrawSurface7* s = nullptr;
    Normal();
    EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), DDERR_NOEXCLUSIVEMODE);
    Exclusive();
    for (DWORD count : {0u, 4u}) {
        d.dwBackBufferCount = count;
        EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS) << count;
    }
    EXPECT_EQ(s, nullptr);
}

TEST_F(SoftDxSurface, GetAttachedSurfaceWalksTheChain)
{
    Exclusive();
    for (DWORD count = 1; count <= 3; ++count) {
        IDirectDrawSurface7* front = FlipChain(count);
        ASSERT_NE(front, nullptr);
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        IDirectDrawSurface7* back = nullptr;
        ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
        DDSCAPS2 got{};
        back->GetCaps(&got);
        EXPECT_TRUE(got.dwCaps & DDSCAPS_BACKBUFFER);
        EXPECT_FALSE(got.dwCaps & DDSCAPS_PRIMARYSURFACE);
        caps.dwCaps = DDSCAPS_TEXTURE;
        IDirectDrawSurface7* none = nullptr;
        EXPECT_EQ(front->GetAttachedSurface(&caps, &none), DDERR_NOTFOUND);
        EXPECT_EQ(back->Release(), 1u) << "the front buffer holds the back buffer";
        EXPECT_EQ(front->Release(), 0u);
    }
    IDirectDrawSurface7* plain = Offscreen(4, 4);
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    IDirectDrawSurface7* none = nullptr;
    EXPECT_EQ(plain->GetAttachedSurface(&caps, &none), DDERR_NOTFOUND);
    plain->Release();
}

TEST_F(SoftDxSurface, OffscreenFormats)
{
    Normal();
    struct Case {
        DDPIXELFORMAT Format;
        DWORD Bytes;
    };
    const Case cases[] = {
        {IndexedFormat(), 1},
        {RgbFormat(16, 0x7C00, 0x3E0, 0x1F), 2},
        {RgbFormat(16, 0xF800, 0x7E0, 0x1F), 2},
        {RgbFormat(24, 0xFF0000, 0xFF00, 0xFF), 3},
        {RgbFormat(24, 0xFF, 0xFF00, 0xFF0000), 3},
        {RgbFormat(32, 0xFF0000, 0xFF00, 0xFF), 4},
        {RgbFormat(32, 0xFF, 0xFF00, 0xFF0000), 4},
    };
    for (const Case& c : cases) {
        IDirectDrawSurface7* s = Offscreen(33, 7, &c.Format);
        ASSERT_NE(s, nullptr);
        DDSURFACEDESC2 got = Desc();
        ASSERT_EQ(s->GetSurfaceDesc(&got), DD_OK);
        EXPECT_EQ(got.ddpfPixelFormat.dwRGBBitCount, c.Bytes * 8);
        EXPECT_EQ(got.ddpfPixelFormat.dwRBitMask, c.Format.dwRBitMask);
        EXPECT_GE(got.lPitch, LONG(33 * c.Bytes));
        for (DWORD bit : {DDSD_CAPS, DDSD_WIDTH, DDSD_HEIGHT, DDSD_PITCH, DDSD_PIXELFORMAT})
            EXPECT_TRUE(got.dwFlags & bit);
        EXPECT_EQ(s->Release(), 0u);
    }
    IDirectDrawSurface7* display = Offscreen(5, 5);
    DDSURFACEDESC2 got = Desc();
    display->GetSurfaceDesc(&got);
    EXPECT_EQ(got.ddpfPixelFormat.dwRGBBitCount, 32u) << "the display's format when none is given";
    display->Release();
}

TEST_F(SoftDxSurface, CreationFailures)
{
    Normal();
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    d.dwWidth = d.dwHeight = 8;
    d.ddpfPixelFormat = RgbFormat(16, 0xF00, 0xF0, 0xF);
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPIXELFORMAT);
    d.ddpfPixelFormat = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
    d.dwWidth = 0;
    EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS);
    d.dwWidth = 100000;
    EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), DDERR_OUTOFMEMORY);
    d.dwWidth = d.dwHeight = 30000;  // each side allowed, the whole too big to hold
    EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), DDERR_OUTOFMEMORY);
    d.dwWidth = d.dwHeight = 8;
    d.dwSize = sizeof d - 4;
    EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS);
    d.dwSize = sizeof d;
    EXPECT_EQ(DD->CreateSurface(&d, &s, reinterpret_cast<IUnknown*>(DD)), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(s, nullptr);
    ASSERT_EQ(DD->CreateSurface(&d, &s, nullptr), DD_OK);
    EXPECT_EQ(s->Release(), 0u);
}

TEST_F(SoftDxSurface, LockGivesPitchAndRectangleAddress)
{
    Normal();
    const DDPIXELFORMAT format = RgbFormat(16, 0xF800, 0x7E0, 0x1F);
    IDirectDrawSurface7* s = Offscreen(21, 9, &format);
    DDSURFACEDESC2 whole = Desc();
    ASSERT_EQ(s->Lock(nullptr, &whole, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_GE(whole.lPitch, 42);
    EXPECT_TRUE(whole.dwFlags & DDSD_LPSURFACE);
    DDSURFACEDESC2 again = Desc();
    EXPECT_EQ(s->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    ASSERT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);

    RECT r{3, 5, 10, 9};
    DDSURFACEDESC2 part = Desc();
    ASSERT_EQ(s->Lock(&r, &part, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(static_cast<uint8_t*>(part.lpSurface), static_cast<uint8_t*>(whole.lpSurface) + 5 * whole.lPitch + 3 * 2);
    ASSERT_EQ(s->Unlock(&r), DD_OK);

    RECT outside{3, 5, 22, 9};
    EXPECT_EQ(s->Lock(&outside, &part, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
    part.dwSize = 0;
    EXPECT_EQ(s->Lock(nullptr, &part, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    s->Release();
}

TEST_F(SoftDxSurface, DeviceContextDescribesThePixels)
{
    Normal();
    IDirectDrawSurface7* s = Offscreen(13, 6);
    DDSURFACEDESC2 locked = Desc();
    ASSERT_EQ(s->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    HDC dc = nullptr;
    EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACEBUSY);
    s->Unlock(nullptr);

    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_EQ(dc->Bits, locked.lpSurface);
    EXPECT_EQ(dc->Pitch, locked.lPitch);
    EXPECT_EQ(dc->Width, 13u);
    EXPECT_EQ(dc->Height, 6u);
    EXPECT_EQ(dc->BitCount, 32u);
    EXPECT_EQ(dc->RedMask, 0xFF0000u);
    EXPECT_EQ(dc->Palette, nullptr);
    HDC second = nullptr;
    EXPECT_EQ(s->GetDC(&second), DDERR_DCALREADYCREATED);
    EXPECT_EQ(s->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    IDirectDrawSurface7* found = nullptr;
    ASSERT_EQ(DD->GetSurfaceFromDC(dc, &found), DD_OK);
    EXPECT_EQ(found, s);
    found->Release();
    SoftDxDeviceContext stranger;
    EXPECT_EQ(s->ReleaseDC(&stranger), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(s->ReleaseDC(dc), DDERR_NODC);
    s->Release();
}

TEST_F(SoftDxSurface, PaletteOfAnIndexedSurfaceReachesItsDeviceContext)
{
    Normal();
    const DDPIXELFORMAT indexed = IndexedFormat();
    IDirectDrawSurface7* s = Offscreen(4, 4, &indexed);
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i) entries[i] = {BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(DD->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr), DD_OK);
    IDirectDrawPalette* none = nullptr;
    EXPECT_EQ(s->GetPalette(&none), DDERR_NOPALETTEATTACHED);
    ASSERT_EQ(s->SetPalette(palette), DD_OK);
    PALETTEENTRY changed{1, 2, 3, 0};
    ASSERT_EQ(palette->SetEntries(0, 200, 1, &changed), DD_OK);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_EQ(dc->BitCount, 8u);
    EXPECT_EQ(dc->RedMask, 0u);
    ASSERT_NE(dc->Palette, nullptr);
    EXPECT_EQ(dc->Palette[4 * 10 + 1], 245);
    EXPECT_EQ(dc->Palette[4 * 200 + 2], 3);
    s->ReleaseDC(dc);

    PALETTEENTRY read[2];
    ASSERT_EQ(palette->GetEntries(0, 199, 2, read), DD_OK);
    EXPECT_EQ(read[1].peGreen, 2);
    EXPECT_EQ(palette->GetEntries(0, 255, 2, read), DDERR_INVALIDPARAMS);

    IDirectDrawSurface7* rgb = Offscreen(4, 4);
    EXPECT_EQ(rgb->SetPalette(palette), DDERR_INVALIDPIXELFORMAT);
    rgb->Release();
    EXPECT_EQ(palette->Release(), 1u) << "the surface holds the palette";
    EXPECT_EQ(s->Release(), 0u);
}

TEST_F(SoftDxSurface, ColourKeys)
{
    Normal();
    IDirectDrawSurface7* s = Offscreen(4, 4);
    DDCOLORKEY key{};
    EXPECT_EQ(s->GetColorKey(DDCKEY_SRCBLT, &key), DDERR_NOCOLORKEY);
    key = {0x00FF00FF, 0x12345678};
    ASSERT_EQ(s->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    DDCOLORKEY got{};
    ASSERT_EQ(s->GetColorKey(DDCKEY_SRCBLT, &got), DD_OK);
    EXPECT_EQ(got.dwColorSpaceLowValue, 0x00FF00FFu);
    EXPECT_EQ(got.dwColorSpaceHighValue, 0x00FF00FFu) << "one colour without DDCKEY_COLORSPACE";
    EXPECT_EQ(s->GetColorKey(DDCKEY_DESTBLT, &got), DDERR_NOCOLORKEY);
    EXPECT_EQ(s->SetColorKey(0, &key), DDERR_INVALIDPARAMS);
    ASSERT_EQ(s->SetColorKey(DDCKEY_SRCBLT, nullptr), DD_OK);
    EXPECT_EQ(s->GetColorKey(DDCKEY_SRCBLT, &got), DDERR_NOCOLORKEY);
    s->Release();
}

TEST_F(SoftDxSurface, ClipperNamesTheWindow)
{
    Normal();
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(DD->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, TestWindow()), DD_OK);
    HWND window = nullptr;
    ASSERT_EQ(clipper->GetHWnd(&window), DD_OK);
    EXPECT_EQ(window, TestWindow());
    IDirectDrawSurface7* s = Offscreen(4, 4);
    IDirectDrawClipper* got = nullptr;
    EXPECT_EQ(s->GetClipper(&got), DDERR_NOCLIPPERATTACHED);
    ASSERT_EQ(s->SetClipper(clipper), DD_OK);
    ASSERT_EQ(s->GetClipper(&got), DD_OK);
    EXPECT_EQ(got, clipper);
    got->Release();
    EXPECT_EQ(clipper->Release(), 1u);
    EXPECT_EQ(s->Release(), 0u);
}

TEST_F(SoftDxSurface, InjectedFaultsReachSurfaceMethods)
{
    Normal();
    IDirectDrawSurface7* s = Offscreen(4, 4);
    HDC dc = nullptr;
    SoftDxFailNext("GetDC", DDERR_CANTCREATEDC);
    EXPECT_EQ(s->GetDC(&dc), DDERR_CANTCREATEDC);
    SoftDxFailNext("Lock", DDERR_SURFACELOST);
    DDSURFACEDESC2 d = Desc();
    EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DDERR_SURFACELOST);
    SoftDxFailNext("SetColorKey", DDERR_NOCOLORKEYHW);
    DDCOLORKEY key{};
    EXPECT_EQ(s->SetColorKey(DDCKEY_SRCBLT, &key), DDERR_NOCOLORKEYHW);
    SoftDxFailNext("GetAttachedSurface", DDERR_SURFACELOST);
    DDSCAPS2 caps{};
    IDirectDrawSurface7* none = nullptr;
    EXPECT_EQ(s->GetAttachedSurface(&caps, &none), DDERR_SURFACELOST);
    SoftDxFailNext("Blt", DDERR_SURFACELOST);
    EXPECT_EQ(s->Blt(nullptr, s, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
    s->Release();
}
