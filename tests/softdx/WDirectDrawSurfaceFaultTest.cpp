// The image surface when the software DirectDraw refuses a call: the surface's creation,
// the staging copy's device context and lock, and the colour key.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "SoftDxControl.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "support/DeviceFormTest.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectDrawBasicSurface.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectX.h"
#include "wdx/results/ResultTexts.h"

namespace {
class SurfaceFaults : public DeviceFormTest<TWDirectX> {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(DeviceFormTest::SetUp());
        WDX->Loaded();
        WDX->StartAll();
        ASSERT_TRUE(WDX->Active());
        Picture = Dir.WriteFile("red.jpg", MakeSolidJpeg(16, 8, {255, 0, 0})).string();
        Surface = new TWDirectDrawSurface(Form.get());
        Surface->Image = Picture;
        Surface->UseFile = true;
        Surface->SurfaceDimension = sdFromFile;
    }
    void TearDown() override
    {
        SoftDxClearFaults();
        DeviceFormTest::TearDown();
    }
    void PlaceForm(TForm&) override {}  // the form's own place

    // Whether pixel (0, 0) of the component's surface shows the red picture (JPEG is lossy).
    bool ShowsPicture()
    {
        const uint32_t v = FirstPixel();
        return (v >> 16) >= 0xF0 && ((v >> 8) & 0xFF) < 0x10 && (v & 0xFF) < 0x10;
    }
    uint32_t FirstPixel()
    {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        IDirectDrawSurface7* s = Surface->DDBS()->Surface();
        if (s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEADBEEF;
        const uint32_t value = *static_cast<uint32_t*>(desc.lpSurface) & 0xFFFFFF;
        s->Unlock(nullptr);
        return value;
    }

    TempDir Dir;
    TWDirectDrawSurface* Surface = nullptr;
    std::string Picture;
};
}  // namespace

TEST_F(SurfaceFaults, ARefusedSurfaceRaisesTheDirectDrawTextAndStopsTheDevice)
{
    SoftDxFailNext("CreateSurface", DDERR_OUTOFVIDEOMEMORY);
    try {
        Surface->Start(WDX);
        FAIL() << "no exception";
    } catch (const EWDirectXError& e) {
        const std::string text = ResultText(1, DDERR_OUTOFVIDEOMEMORY);
        EXPECT_EQ(std::string(e.what()), "TWDirectX.CreateNewSurface " + Picture + " (16x8x0) " + text + "\r" + text);
    }
    EXPECT_FALSE(Surface->Active());
    EXPECT_FALSE(WDX->Active());
    EXPECT_EQ(WDX->SurfaceCount(), 0);
}

TEST_F(SurfaceFaults, ASurfaceInSystemMemoryIsAskedForAndMadeThere)
{
    Surface->MustUseSystemMemory = true;
    Surface->Start(WDX);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(Surface->DDBS()->Surface()->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_TRUE(desc.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
    EXPECT_TRUE(ShowsPicture());
}

TEST_F(SurfaceFaults, ACopyThatFailsLeavesTheSurfaceWithoutThePictureAndReportsNothing)
{
    for (const char* method : {"GetDC", "Lock"}) {
        SoftDxFailNext(method, DDERR_SURFACEBUSY);
        Surface->Start(WDX);
        ASSERT_TRUE(Surface->Active()) << method;
        EXPECT_FALSE(ShowsPicture()) << method;
        Surface->Stop();
    }
    // A picture of the surface's own size in the display's format is written straight in:
    // no blit takes part.
    SoftDxFailAlways("Blt", DDERR_GENERIC);
    Surface->Start(WDX);
    EXPECT_TRUE(ShowsPicture());
    Surface->Stop();
    // A surface of another size takes the picture through a staging surface and a blit.
    Surface->SurfaceDimension = sdExact;
    Surface->Width = 32;
    Surface->Height = 16;
    Surface->Start(WDX);
    SoftDxClearFaults();
    EXPECT_FALSE(ShowsPicture()) << "the blit from the staging surface refused";
    Surface->Stop();
    Surface->Width = 32;
    Surface->Height = 16;
    Surface->Start(WDX);
    EXPECT_TRUE(ShowsPicture()) << "with nothing refused the picture arrives";
}

TEST_F(SurfaceFaults, ARefusedColourKeyFreesTheNewSurface)
{
    SoftDxFailNext("SetColorKey", DDERR_NOCOLORKEYHW);
    try {
        Surface->Start(WDX);
        FAIL() << "no exception";
    } catch (const EWDirectXError& e) {
        EXPECT_EQ(std::string(e.what()), "TWDirectDrawBasicSurface.SetColorKey\r" + ResultText(1, DDERR_NOCOLORKEYHW));
    }
    EXPECT_FALSE(Surface->Active());
    EXPECT_EQ(WDX->SurfaceCount(), 0);
}
