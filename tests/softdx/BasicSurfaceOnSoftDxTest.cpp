// The basic surface's failure path and its flip-chain attachment, driven through the
// software DirectDraw, which can be made to fail on request.
#include <gtest/gtest.h>

#include "SoftDxFixture.h"
#include "support/TestDevice.h"
#include "wdx/ComPtr.h"
#include "wdx/WDirectDrawBasicSurface.h"
#include "wdx/WDirectX.h"

namespace {
class BasicSurfaceOnSoftDx : public SoftDxTest {};
using TSurfacePtr = TComPtr<IDirectDrawSurface7>;
}  // namespace

TEST_F(BasicSurfaceOnSoftDx, RefusedColourKeyStopsTheSurfaceAndRaises)
{
    Normal();
    const DDPIXELFORMAT rgb565 = RgbFormat(16, 0xF800, 0x07E0, 0x001F);
    const auto s = TSurfacePtr::Adopt(Offscreen(8, 8, &rgb565));
    TTestDevice<> device;
    TWDirectDrawBasicSurface surface;
    surface.Start(&device, s.Get());
    SoftDxFailNext("SetColorKey", DDERR_SURFACELOST);
    try {
        surface.SetColorKey(clRed);
        FAIL() << "a refused key must raise";
    } catch (const EWDirectXError& e) {
        EXPECT_EQ(e.Message(),
                  "TWDirectDrawBasicSurface.SetColorKey\rAccess to this surface is being refused because "
                  "the surface memory is gone. The DirectDrawSurface object representing this surface "
                  "should have Restore called on it.");
    }
    EXPECT_FALSE(surface.Active()) << "the surface stops before the error is raised";
    EXPECT_EQ(device.Stops.size(), 1u) << "the device stops too";
    EXPECT_EQ(surface.ColorKey(), clRed);
}

TEST_F(BasicSurfaceOnSoftDx, FillsAndBlitsIgnoreFailuresButRetryWhileStillDrawing)
{
    Normal();
    const auto s = TSurfacePtr::Adopt(Offscreen(4, 4));
    TTestDevice<> device;
    TWDirectDrawBasicSurface surface;
    surface.Start(&device, s.Get());
    surface.ColorFill(0);
    SoftDxFailNext("Blt", DDERR_WASSTILLDRAWING, 3);
    surface.ColorFill(0x00ABCDEF);
    EXPECT_EQ(LockedPixels(s.Get()).Get(2, 2) & 0xFFFFFF, 0xABCDEFu)
        << "the fill is repeated until the blitter is free";
    SoftDxFailNext("Blt", DDERR_SURFACELOST);
    surface.ColorFill(0);
    EXPECT_EQ(LockedPixels(s.Get()).Get(2, 2) & 0xFFFFFF, 0xABCDEFu) << "any other failure is dropped";
    EXPECT_TRUE(surface.Active());

    uint8_t* address = nullptr;
    SoftDxFailNext("Lock", DDERR_SURFACELOST);
    EXPECT_FALSE(surface.LockPixel(1, 1, address)) << "a refused lock gives no address";
    surface.PixelValue = 0x123456;
    surface.PutPixelLocked(1, 1);  // nothing was locked: nothing is written
    EXPECT_EQ(LockedPixels(s.Get()).Get(1, 1) & 0xFFFFFF, 0xABCDEFu);
    surface.Stop();
}

TEST_F(BasicSurfaceOnSoftDx, AttachSurfaceStartsTheBackBufferOfTheFlipChain)
{
    Exclusive();
    ASSERT_EQ(DD->SetDisplayMode(800, 600, 32, 0, 0), DD_OK);
    const auto chain = TSurfacePtr::Adopt(FlipChain(1));
    ASSERT_NE(chain.Get(), nullptr);
    TTestDevice<> device;
    TWDirectDrawBasicSurface primary, back;
    primary.Start(&device, chain.Get());
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    EXPECT_EQ(primary.AttachSurface(chain.Get(), caps, back), DD_OK);
    EXPECT_TRUE(back.Active());
    EXPECT_EQ(back.Device, &device);
    EXPECT_EQ(back.Width, 800);
    EXPECT_EQ(back.Height, 600);

    back.ColorFill(0x00FF0000);
    back.ReleaseHandle();
    EXPECT_EQ(chain->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(LockedPixels(chain.Get()).Get(10, 10) & 0xFFFFFF, 0xFF0000u)
        << "the back buffer's picture is now in front";

    TWDirectDrawBasicSurface missing;
    SoftDxFailNext("GetAttachedSurface", DDERR_NOTFOUND);
    EXPECT_EQ(primary.AttachSurface(chain.Get(), caps, missing), DDERR_NOTFOUND);
    EXPECT_FALSE(missing.Active());

    back.Stop();
    primary.Stop();
}
