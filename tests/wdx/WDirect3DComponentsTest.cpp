// The flexible surface, texture, palette and clipper components on a device started with
// Direct3D over the platform's DirectX: the device's start and stop order, image lists,
// mip-map chains, textures sized for the 3D device, TGA pictures and the grey palette.
#include <gtest/gtest.h>

#include "Direct3DDevice.h"
#include "wdx/WDirect3DTexture.h"
#include "wdx/WDirectDrawFlexibleSurface.h"
#include "wdx/WDirectDrawPaletteClipper.h"
#include "wdx/results/ResultTexts.h"

namespace {
const TRgb Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255}, White{255, 255, 255};

std::vector<std::string> Only(const std::vector<std::string>& lines, const std::vector<std::string>& kept)
{
    std::vector<std::string> out;
    for (const std::string& line : lines)
        if (std::find(kept.begin(), kept.end(), line) != kept.end()) out.push_back(line);
    return out;
}
}  // namespace

TEST_F(Direct3DTest, TheDeviceStartsAndStopsItsFormsComponentsInTheFormsOrderUnderTheirConditions)
{
    // The device walks its form's components in the form's order, and stops them in that
    // same order, not the reverse.
    auto* clipper = new TWDirectDrawClipper(Form.get());
    auto* palette = new TWDirectDrawPalette(Form.get());
    auto* waiting = new TWDirectDrawFlexibleSurface(Form.get());
    waiting->AutoStart = false;
    waiting->SurfaceType = dxstEmptyImage;
    waiting->Images = {"never"};
    auto* flexible = new TWDirectDrawFlexibleSurface(Form.get());
    flexible->SurfaceType = dxstEmptyImage;
    flexible->Images = {"flex"};
    auto* texture = new TWDirect3DTexture(Form.get());
    texture->AutoStart = false;  // not consulted
    texture->Image = WriteBmp("t.bmp", TRgbPicture(8, 8, Red));
    const std::vector<std::string> lines = {
        "TWDirectDrawClipper.Start",        "TWDirectDrawPalette.Start",   "TWDirectDrawFlexibleSurface.Start",
        "TWDirect3dTexture.Start",          "TWDirectDrawClipper.Stopped", "TWDirectDrawPalette.Stopped",
        "TWDirectDrawFlexibleSurface.Stop", "TWDirect3dTexture.Stopped",
    };
    StartWindowed();
    WDX->StopAll();
    WDX->Lines.clear();
    WDX->StartAll();
    EXPECT_TRUE(texture->Active() && flexible->Active() && palette->Active() && clipper->Active());
    EXPECT_FALSE(waiting->Active());
    EXPECT_NE(palette->Palette(), nullptr);
    EXPECT_NE(clipper->Clipper(), nullptr);
    WDX->StopAll();
    EXPECT_EQ(Only(WDX->Lines, lines), lines);
    EXPECT_FALSE(texture->Active() || flexible->Active() || palette->Active() || clipper->Active());
    EXPECT_EQ(palette->Palette(), nullptr);

    // Without Direct3D the texture stays out of it.
    WDX->DisableDirect3D = true;
    WDX->StartAll();
    EXPECT_FALSE(texture->Active());
    EXPECT_TRUE(flexible->Active() && palette->Active() && clipper->Active());
}

TEST_F(Direct3DTest, ANewPaletteHoldsTheGreyRamp)
{
    auto* palette = new TWDirectDrawPalette(Form.get());
    StartWindowed();
    ASSERT_NE(palette->Palette(), nullptr);
    PALETTEENTRY entries[256];
    std::memset(entries, 0x55, sizeof entries);
    ASSERT_EQ(palette->Palette()->GetEntries(0, 0, 256, entries), DD_OK);
    int wrong = 0;
    for (int i = 0; i < 256; ++i)
        wrong += entries[i].peRed != i || entries[i].peGreen != i || entries[i].peBlue != i || entries[i].peFlags != 0;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(entries[128].peRed, 128);
}

TEST_F(Direct3DTest, AnImageListMakesOneSurfacePerLineAndGivesThemBackLastFirst)
{
    auto* flexible = new TWDirectDrawFlexibleSurface(Form.get());
    flexible->SurfaceType = dxstImageList;
    const TRgb colours[] = {Red, Green, Blue};
    for (int i = 0; i < 3; ++i)
        flexible->Images.push_back(WriteBmp("l" + std::to_string(i) + ".bmp", TRgbPicture(4 + i, 3, colours[i])));
    StartWindowed();
    ASSERT_TRUE(flexible->Active());
    ASSERT_EQ(flexible->EntryCount(), 3);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(flexible->Surface(i), nullptr);
        EXPECT_EQ(flexible->Surface(i)->Width, 4 + i);
        EXPECT_TRUE(Near(Pixel(flexible->Surface(i)->Surface(), 1, 1), colours[i])) << i;
    }
    EXPECT_EQ(flexible->Entry(3), nullptr);

    // Another index on a list changes nothing until the next start.
    const int before = WDX->SurfaceCount();
    flexible->SetImageIndex(2);
    EXPECT_EQ(WDX->SurfaceCount(), before);
    EXPECT_TRUE(flexible->Active());

    const int first = WDX->SurfaceIndex(flexible->Images[0]);
    WDX->Lines.clear();
    flexible->Stop();
    const std::vector<std::string> destroyed = {"TWDirectX.DestroySurface: " + std::to_string(first + 2),
                                                "TWDirectX.DestroySurface: " + std::to_string(first + 1),
                                                "TWDirectX.DestroySurface: " + std::to_string(first)};
    EXPECT_TRUE(WDX->LogHoldsInOrder(destroyed));
    EXPECT_EQ(WDX->SurfaceIndex(flexible->Images[0]), -1);
}

TEST_F(Direct3DTest, ASinglePictureReloadsOnANewIndexAndABadIndexIsAClearError)
{
    auto* flexible = new TWDirectDrawFlexibleSurface(Form.get());
    flexible->Images = {WriteBmp("a.bmp", TRgbPicture(4, 4, Red)), WriteBmp("b.bmp", TRgbPicture(6, 6, Green))};
    StartWindowed();
    ASSERT_EQ(flexible->EntryCount(), 1);
    EXPECT_EQ(flexible->Surface(0)->Width, 4);
    flexible->SetImageIndex(1);
    ASSERT_TRUE(flexible->Active());
    EXPECT_EQ(flexible->Surface(0)->Width, 6);
    EXPECT_EQ(WDX->SurfaceIndex(flexible->Images[0]), -1) << "the first picture's surface went";
    EXPECT_THROW(flexible->SetImageIndex(2), EListError);
    EXPECT_FALSE(flexible->Active());
}

TEST_F(Direct3DTest, MipMapsFillEachLevelOfOneChainFromTheirOwnPictures)
{
    auto* chain = new TWDirectDrawFlexibleSurface(Form.get());
    chain->SurfaceType = dxstMipMaps;
    chain->Images = {WriteBmp("m0.bmp", TRgbPicture(16, 16, Red)), WriteBmp("m1.bmp", TRgbPicture(8, 8, Green)),
                     WriteBmp("m2.bmp", TRgbPicture(4, 4, Blue))};
    auto* one = new TWDirectDrawFlexibleSurface(Form.get());
    one->SurfaceType = dxstMipMaps;
    one->Images = {WriteBmp("single.bmp", TRgbPicture(8, 8, White))};
    auto* none = new TWDirectDrawFlexibleSurface(Form.get());
    none->SurfaceType = dxstMipMaps;
    StartWindowed();

    ASSERT_TRUE(chain->Active());
    ASSERT_EQ(chain->EntryCount(), 3);
    const TRgb colours[] = {Red, Green, Blue};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const TSurfaceContainer* entry = chain->Entry(i);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->Owned, i == 0);
        EXPECT_EQ(entry->AttachTo.Get(), i == 0 ? nullptr : chain->Surface(i - 1)->Surface());
        EXPECT_EQ(entry->Surface->Width, 16 >> i);
        EXPECT_TRUE(Near(Pixel(entry->Surface->Surface(), 1, 1), colours[i]));
    }
    // The levels are the chain's own, not surfaces of their own.
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
    IDirectDrawSurface7* level = nullptr;
    ASSERT_EQ(chain->Surface(0)->Surface()->GetAttachedSurface(&caps, &level), DD_OK);
    EXPECT_EQ(level, chain->Surface(1)->Surface());
    level->Release();

    ASSERT_EQ(one->EntryCount(), 1);
    EXPECT_NE(one->Surface(0)->Surface()->GetAttachedSurface(&caps, &level), DD_OK) << "a chain of one level";
    EXPECT_TRUE(none->Active());
    EXPECT_EQ(none->EntryCount(), 0);

    // Only the chain's top is stopped; the levels' entries just go.
    WDX->Lines.clear();
    chain->Stop();
    int stopped = 0;
    for (const std::string& line : WDX->Lines) stopped += line.rfind("TWDirectX.DestroySurface STOPPED", 0) == 0;
    EXPECT_EQ(stopped, 1);
}

TEST_F(Direct3DTest, ATextureTakesTheSizeTheDeviceWantsWithThePictureStretchedOverIt)
{
    auto* texture = new TWDirect3DTexture(Form.get());
    texture->Image = WriteBmp("q.bmp", QuadrantPicture(200, 100, Red, Green, Blue, White));
    StartWindowed();
    ASSERT_TRUE(texture->Active());
    TWDirectDrawBasicSurface* s = texture->Surface();
    ASSERT_NE(s, nullptr);
    const DWORD caps = WDX->TextureCaps();
    int w = 200, h = 100;
    if (caps & D3DPTEXTURECAPS_POW2) w = 256, h = 128;
    if (caps & D3DPTEXTURECAPS_SQUAREONLY) h = w = std::max(w, h);
    EXPECT_EQ(s->Width, w);
    EXPECT_EQ(s->Height, h);
    IDirectDrawSurface7* raw = s->Surface();
    EXPECT_TRUE(Near(Pixel(raw, 2, 2), Red));
    EXPECT_TRUE(Near(Pixel(raw, w - 3, 2), Green));
    EXPECT_TRUE(Near(Pixel(raw, 2, h - 3), Blue));
    EXPECT_TRUE(Near(Pixel(raw, w - 3, h - 3), White));
    const TSurfaceContainer* entry = WDX->SurfaceEntry(texture->Index());
    EXPECT_FALSE(entry->Alpha);
}

TEST_F(Direct3DTest, ATgaTextureKeepsItsColoursAndAlpha)
{
    auto* texture = new TWDirect3DTexture(Form.get());
    // Red opaque, green half, blue clear, white opaque.
    texture->Image = WriteTga("a.tga", 2, 2, {0xFF0000FF, 0x00FF0080, 0x0000FF00, 0xFFFFFFFF});
    StartWindowed();
    TWDirectDrawBasicSurface* s = texture->Surface();
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(WDX->SurfaceEntry(texture->Index())->Alpha) << "some alpha byte was not 255";
    DDPIXELFORMAT f{};
    RawPixel(s->Surface(), 0, 0, &f);
    ASSERT_TRUE(f.dwFlags & DDPF_ALPHAPIXELS);
    const TRgb expected[4] = {Red, Green, Blue, White};
    const int alphas[4] = {0xFF, 0x80, 0x00, 0xFF};
    const int w = s->Width / 2, h = s->Height / 2;
    for (int i = 0; i < 4; ++i) {
        const int x = (i % 2) * w + w / 2, y = (i / 2) * h + h / 2;
        EXPECT_TRUE(Near(Pixel(s->Surface(), x, y), expected[i])) << i;
        const uint32_t a = RawPixel(s->Surface(), x, y) & f.dwRGBAlphaBitMask;
        const uint32_t top = f.dwRGBAlphaBitMask & ~(f.dwRGBAlphaBitMask >> 1);
        // The alpha's top bit survives every depth.
        EXPECT_EQ(a & top ? 1 : 0, alphas[i] >> 7) << i;
    }
}

TEST_F(Direct3DTest, ATextureThatCannotBeFoundOrReadIsRefusedWithItsSize)
{
    auto* texture = new TWDirect3DTexture(Form.get());
    texture->Image = "missing.bmp";
    WDX->Loaded();
    WDX->ExceptionIgnore = true;
    try {
        WDX->StartAll();
        FAIL() << "started without the picture";
    } catch (const EWDirectXError& e) {
        EXPECT_EQ(std::string(e.what()), "TWDirectX.StartAll - Failed to start other component");
    }
    EXPECT_NE(WDX->LastError.find("TWDirectX.CreateNewSurface missing.bmp (0x0x0) File not found\r"),
              std::string::npos);
    EXPECT_FALSE(texture->Active());
    EXPECT_FALSE(WDX->Active());
    EXPECT_EQ(WDX->D3DDevice(), nullptr);
}

TEST_F(Direct3DTest, AListThatFailsPartWayKeepsWhatItMadeAndStaysInactive)
{
    StartWindowed();
    auto* flexible = new TWDirectDrawFlexibleSurface(Form.get());
    flexible->SurfaceType = dxstImageList;
    flexible->Images = {WriteBmp("a.bmp", TRgbPicture(4, 4, Red)), WriteBmp("b.bmp", TRgbPicture(4, 4, Green)),
                        "gone.bmp"};
    WDX->ExceptionIgnore = true;
    EXPECT_THROW(flexible->Start(WDX), EWDirectXError);
    EXPECT_FALSE(flexible->Active());
    ASSERT_EQ(flexible->EntryCount(), 2);
    EXPECT_NE(flexible->Surface(1), nullptr);
    flexible->Stop();  // inactive: nothing
    EXPECT_GE(WDX->SurfaceIndex(flexible->Images[0]), 0);
    EXPECT_GE(WDX->SurfaceIndex(flexible->Images[1]), 0);
    WDX->StopAll();
    EXPECT_EQ(WDX->SurfaceCount(), 0) << "the device's stop takes them";
}

TEST_F(Direct3DTest, EveryListedDeviceStartsInAWindowWithATexture)
{
    auto* texture = new TWDirect3DTexture(Form.get());
    texture->Image = WriteBmp("e.bmp", TRgbPicture(8, 8, Green));
    WDX->Loaded();
    ASSERT_GT(WDX->D3DDeviceCount(), 0);
    for (int i = 0; i < WDX->D3DDeviceCount(); ++i) {
        const Td3dDeviceInfo device = WDX->GetD3DDeviceInfo(i);
        SCOPED_TRACE(device.Name);
        WDX->SetD3DDevice(i);
        WDX->Lines.clear();
        WDX->StartAll();
        ASSERT_TRUE(WDX->Active());
        EXPECT_EQ(WDX->IsHardware(), device.IsHardware);
        EXPECT_TRUE(WDX->LogHoldsInOrder(
            {device.IsHardware ? "TWDirectX.StartAll - Device is hardware" : "TWDirectX.StartAll - Device is software",
             "TWDirect3dTexture.Start", "TWDirectX.StartAll - All ok"}));
        ASSERT_NE(texture->Surface(), nullptr);
        DDSCAPS2 caps{};
        ASSERT_EQ(texture->Surface()->Surface()->GetCaps(&caps), DD_OK);
        EXPECT_TRUE(caps.dwCaps & DDSCAPS_TEXTURE);
        // A hardware device's textures are managed; a software device's live in system memory.
        if (device.IsHardware)
            EXPECT_TRUE(caps.dwCaps2 & DDSCAPS2_TEXTUREMANAGE);
        else
            EXPECT_TRUE(caps.dwCaps & DDSCAPS_SYSTEMMEMORY);
        EXPECT_TRUE(Near(Pixel(texture->Surface()->Surface(), 4, 4), Green));
        WDX->StopAll();
    }
}
