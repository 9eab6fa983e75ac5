// The basic surface over the DirectDraw of the platform: the software one on Linux, the
// system's (Wine's) on Windows. The same expectations hold on both.
#include "wdx/WDirectDrawBasicSurface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "support/PixelFormats.h"
#include "wdx/ComPtr.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectX.h"

namespace {
class BasicSurface : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadDirectXLibraries());
        ASSERT_EQ(DirectXBinding().CreateDirectDraw(nullptr, FDirectDraw.Put()), DD_OK);
        ASSERT_EQ(FDirectDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }

    IDirectDrawSurface7* Make(int w, int h, const DDPIXELFORMAT& format)
    {
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = static_cast<DWORD>(w);
        desc.dwHeight = static_cast<DWORD>(h);
        desc.ddpfPixelFormat = format;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        TComPtr<IDirectDrawSurface7> surface;
        EXPECT_EQ(FDirectDraw->CreateSurface(&desc, surface.Put(), nullptr), DD_OK);
        IDirectDrawSurface7* made = surface.Get();
        if (made) FSurfaces.push_back(std::move(surface));
        return made;
    }

    // The raw pixel at (x, y), read through a lock of the interface itself.
    static uint32_t Raw(IDirectDrawSurface7* surface, int x, int y)
    {
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEADBEEF;
        const int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        const auto* p = static_cast<const uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes;
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
        surface->Unlock(nullptr);
        return value;
    }

    TWDirectX FDevice{nullptr};
    // Declared in this order, the surfaces are released before the DirectDraw object.
    TComPtr<IDirectDraw7> FDirectDraw;
    std::vector<TComPtr<IDirectDrawSurface7>> FSurfaces;
};
}  // namespace

TEST(BasicSurfaceFormats, EveryRowOfTheFormatTablePacksItsWay)
{
    struct Row {
        DDPIXELFORMAT Format;
        uint32_t Red, White, K112233;  // RGBToPixel(255,0,0), ColorToPixel(clWhite), ColorToPixel($332211)
    };
    const Row rows[] = {
        {MakeFormat(DDPF_RGB | DDPF_PALETTEINDEXED8, 8, 0, 0, 0), 255, 0xFF, 0x11},
        {RgbFormat(8, 0xE0, 0x1C, 0x03), 0xE0, 0xFF, 0x04},
        {RgbFormat(16, 0xF800, 0x07E0, 0x001F), 0xF800, 0xFFFF, 0x1106},
        {RgbFormat(16, 0x001F, 0x07E0, 0xF800), 0x001F, 0xFFFF, 0x3102},
        {RgbFormat(16, 0x7C00, 0x03E0, 0x001F), 0x7C00, 0x7FFF, 0x0886},
        {RgbFormat(24, 0xFF0000, 0xFF00, 0xFF), 0xFF0000, 0xFFFFFF, 0x112233},
        {RgbFormat(24, 0xFF, 0xFF00, 0xFF0000), 0x0000FF, 0xFFFFFF, 0x332211},
        {RgbFormat(32, 0xFF0000, 0xFF00, 0xFF), 0xFF0000, 0xFFFFFF, 0x112233},
        {RgbFormat(32, 0xFF, 0xFF00, 0xFF0000), 0x0000FF, 0xFFFFFF, 0x332211},
    };
    for (const Row& row : rows) {
        const auto* format = FindSurfaceFormat(row.Format);
        ASSERT_NE(format, nullptr) << row.Format.dwRGBBitCount;
        EXPECT_EQ(format->RGBToPixel(255, 0, 0), row.Red) << row.Format.dwRGBBitCount << " bits";
        EXPECT_EQ(format->ColorToPixel(clWhite), row.White) << row.Format.dwRGBBitCount << " bits";
        EXPECT_EQ(format->ColorToPixel(0x332211), row.K112233) << row.Format.dwRGBBitCount << " bits";
        EXPECT_EQ(format->ColorToPixel(clBlack), 0u) << "black is key 0 in every format";
    }
    // Colour and RGB packers agree on pure red in the 16-bit formats.
    EXPECT_EQ(FindSurfaceFormat(RgbFormat(16, 0x7C00, 0x03E0, 0x001F))->ColorToPixel(clRed), 0x7C00u);
    EXPECT_EQ(FindSurfaceFormat(RgbFormat(16, 0xF800, 0x07E0, 0x001F))->ColorToPixel(clRed), 0xF800u);

    // Formats of no row: alpha-only masks, 4-4-4-4, palette with extra flags.
    EXPECT_EQ(FindSurfaceFormat(RgbFormat(16, 0x0F00, 0x00F0, 0x000F)), nullptr);
    EXPECT_EQ(FindSurfaceFormat(MakeFormat(DDPF_RGB | DDPF_PALETTEINDEXED8 | DDPF_ALPHAPIXELS, 8, 0, 0, 0)), nullptr);
    EXPECT_EQ(FindSurfaceFormat(RgbFormat(32, 0xFF000000, 0xFF0000, 0xFF00)), nullptr);
}

TEST_F(BasicSurface, StartReadsTheSurfaceAndStopLetsGo)
{
    IDirectDrawSurface7* s = Make(40, 30, RgbFormat(16, 0x7C00, 0x03E0, 0x001F));
    ASSERT_NE(s, nullptr);
    TWDirectDrawBasicSurface surface;
    EXPECT_FALSE(surface.Active());
    EXPECT_FALSE(surface.HasPixelFormat());
    surface.Start(&FDevice, s);
    EXPECT_TRUE(surface.Active());
    EXPECT_EQ(surface.Width, 40);
    EXPECT_EQ(surface.Height, 30);
    EXPECT_EQ(surface.Bits, 16);
    EXPECT_EQ(surface.RedMask(), 0x7C00u);
    EXPECT_EQ(surface.BlueMask(), 0x001Fu);
    EXPECT_FALSE(surface.HasAlpha());
    EXPECT_EQ(surface.RGBToPixel(255, 0, 0), 0x7C00u);

    s->AddRef();
    EXPECT_EQ(s->Release(), 2u) << "the surface holds one counted reference";
    surface.Stop();
    s->AddRef();
    EXPECT_EQ(s->Release(), 1u);
    surface.Stop();  // inactive: nothing
    EXPECT_FALSE(surface.Active());
}

TEST_F(BasicSurface, FillsTakeRawValuesAndEmptyRectanglesFillNothing)
{
    IDirectDrawSurface7* s = Make(16, 8, RgbFormat(32, 0xFF0000, 0xFF00, 0xFF));
    TWDirectDrawBasicSurface surface;
    surface.ColorFill(0x123456);  // inactive: nothing
    surface.Start(&FDevice, s);
    surface.ColorFill(0x00FF8040);
    EXPECT_EQ(Raw(s, 15, 7) & 0xFFFFFF, 0xFF8040u);
    surface.ColorFillRect(Rect(2, 2, 4, 3), 0);
    EXPECT_EQ(Raw(s, 2, 2) & 0xFFFFFF, 0u);
    EXPECT_EQ(Raw(s, 3, 2) & 0xFFFFFF, 0u);
    EXPECT_EQ(Raw(s, 4, 2) & 0xFFFFFF, 0xFF8040u);
    EXPECT_EQ(Raw(s, 2, 3) & 0xFFFFFF, 0xFF8040u);
    surface.ColorFillRect(Rect(5, 5, 5, 6), 0);  // empty
    EXPECT_EQ(Raw(s, 5, 5) & 0xFFFFFF, 0xFF8040u);
    surface.ColorFill(0);
    EXPECT_EQ(Raw(s, 9, 4) & 0xFFFFFF, 0u);
}

TEST_F(BasicSurface, BltCoordsStretchesDestinationFirstThenSource)
{
    const DDPIXELFORMAT xrgb = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
    TWDirectDrawBasicSurface source, dest;
    source.Start(&FDevice, Make(420, 330, xrgb));
    dest.Start(&FDevice, Make(800, 600, xrgb));
    source.ColorFill(0x000000FF);                              // blue everywhere
    source.ColorFillRect(Rect(10, 20, 210, 320), 0x00FF0000);  // red: left half of the area
    dest.ColorFill(0);
    dest.BltCoords(0, 0, 800, 600, &source, 10, 20, 410, 320);
    EXPECT_EQ(Raw(dest.Surface(), 0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(Raw(dest.Surface(), 398, 599) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(Raw(dest.Surface(), 402, 0) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(Raw(dest.Surface(), 799, 599) & 0xFFFFFF, 0x0000FFu);
}

TEST_F(BasicSurface, PixelWritersStoreTheFormatsBytesOnly)
{
    IDirectDrawSurface7* s = Make(8, 4, RgbFormat(24, 0xFF0000, 0xFF00, 0xFF));
    TWDirectDrawBasicSurface surface;
    surface.Start(&FDevice, s);
    surface.ColorFill(0);
    surface.PixelValue = 0xAA112233;
    EXPECT_TRUE(surface.PutPixel(1, 1));
    EXPECT_EQ(Raw(s, 1, 1), 0x112233u) << "three bytes of the value";
    EXPECT_EQ(Raw(s, 2, 1), 0u) << "the neighbour is untouched";
    EXPECT_FALSE(surface.PutPixel(8, 0)) << "outside";
    EXPECT_FALSE(surface.PutPixel(0, -1));

    uint8_t* address = nullptr;
    EXPECT_FALSE(surface.LockPixel(0, 4, address)) << "Y = Height is outside and locks nothing";
    ASSERT_TRUE(surface.LockPixel(3, 2, address));
    surface.PixelValue = 0x445566;
    surface.StorePixel(address);
    surface.PutPixelLocked(5, 3);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK) << "the lock was held";
    EXPECT_EQ(Raw(s, 3, 2), 0x445566u);
    EXPECT_EQ(Raw(s, 5, 3), 0x445566u);
    EXPECT_EQ(Raw(s, 4, 2), 0u);
}

TEST_F(BasicSurface, ColourKeyIsStoredAlwaysAndSetWhenActive)
{
    IDirectDrawSurface7* s = Make(4, 4, RgbFormat(16, 0xF800, 0x07E0, 0x001F));
    TWDirectDrawBasicSurface surface;
    surface.SetColorKey(clRed);
    EXPECT_EQ(surface.ColorKey(), clRed);
    DDCOLORKEY key{};
    EXPECT_NE(s->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK) << "an inactive surface only stores the key";

    surface.Start(&FDevice, s);
    surface.SetColorKey(clRed);
    ASSERT_EQ(s->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0xF800u);
    EXPECT_EQ(key.dwColorSpaceHighValue, 0xF800u);
    surface.SetColorKey(clBlack);
    ASSERT_EQ(s->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0u);
    EXPECT_EQ(key.dwColorSpaceHighValue, 0u);
}

TEST_F(BasicSurface, CanvasDrawsThroughOneDeviceContextUntilReleased)
{
    IDirectDrawSurface7* s = Make(64, 32, RgbFormat(32, 0xFF0000, 0xFF00, 0xFF));
    TWDirectDrawBasicSurface surface;
    surface.Brush.Color = clRed;
    surface.FillRect(Rect(0, 0, 4, 4));  // inactive: no context, nothing drawn
    EXPECT_FALSE(surface.HandleAllocated());

    surface.Start(&FDevice, s);
    surface.ColorFill(0);
    surface.FillRect(Rect(0, 0, 10, 10));
    EXPECT_TRUE(surface.HandleAllocated());
    surface.Brush.Color = clLime;
    surface.FillRect(Rect(10, 0, 20, 10));  // same context
    HDC second = nullptr;
    EXPECT_EQ(s->GetDC(&second), DDERR_DCALREADYCREATED) << "the canvas still holds the context";

    surface.ReleaseHandle();
    EXPECT_FALSE(surface.HandleAllocated());
    EXPECT_EQ(Raw(s, 5, 5) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(Raw(s, 15, 5) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(Raw(s, 25, 5) & 0xFFFFFF, 0u);
}

TEST_F(BasicSurface, TracesStartAndStopAtTheFullLogLevel)
{
    FDevice.LogType = dxlogAll;
    FDevice.LogFile = "vellumine-surface-log-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                      std::to_string(reinterpret_cast<uintptr_t>(this) & 0xFFFF) + ".log";
    IDirectDrawSurface7* s = Make(4, 4, RgbFormat(32, 0xFF0000, 0xFF00, 0xFF));
    {
        TWDirectDrawBasicSurface surface;
        surface.Start(&FDevice, s);
        surface.Start(&FDevice, s);  // active already: only the log line
        surface.Stop();
    }
    FILE* file = std::fopen(FDevice.LogPath().c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::string log(4096, '\0');
    log.resize(std::fread(log.data(), 1, log.size(), file));
    std::fclose(file);
    std::remove(FDevice.LogPath().c_str());
    size_t starts = 0;
    for (size_t at = log.find(" TWDirectDrawBasicSurface.Start\r\n"); at != std::string::npos;
         at = log.find(" TWDirectDrawBasicSurface.Start\r\n", at + 1))
        ++starts;
    EXPECT_EQ(starts, 2u);
    EXPECT_NE(log.find(" TWDirectDrawBasicSurface.Stopped\r\n"), std::string::npos);
}
