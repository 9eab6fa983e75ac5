#pragma once
// What the software DirectDraw's tests share: a headless presenter and a clock of the
// test's own for each test, a DirectDraw object, and small helpers to make surfaces.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "SoftDxApi.h"
#include "SoftDxControl.h"
#include "support/PixelFormats.h"

// Time stands still until Flip sleeps; each sleep jumps to its target and is recorded.
class FakeClock : public ISoftDxClock {
public:
    uint64_t NowNanoseconds() override { return Now; }
    void SleepUntil(uint64_t nanoseconds) override
    {
        Sleeps.push_back({Now, nanoseconds});
        if (nanoseconds > Now) Now = nanoseconds;
    }
    struct Sleep {
        uint64_t From, Until;
    };
    uint64_t Now = 5'000'000;
    std::vector<Sleep> Sleeps;
};

inline HWND TestWindow() { return reinterpret_cast<HWND>(uintptr_t{0x4200001}); }

inline DDSURFACEDESC2 Desc()
{
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    return d;
}

class SoftDxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Presenter = std::make_shared<SoftDxHeadlessPresenter>(SoftDxSize{1920, 1080});
        SoftDxSetPresenter(Presenter);
        Clock = std::make_shared<FakeClock>();
        SoftDxSetClock(Clock);
        void* made = nullptr;
        ASSERT_EQ(DirectDrawCreateEx(nullptr, &made, IID_IDirectDraw7, nullptr), DD_OK);
        DD = static_cast<IDirectDraw7*>(made);
    }
    void TearDown() override
    {
        SoftDxClearFaults();
        if (DD) {
            EXPECT_EQ(DD->Release(), 0u) << "a surface or palette of the test was not released";
        }
        SoftDxSetPresenter(nullptr);
        SoftDxSetClock(nullptr);
    }

    void Exclusive() { ASSERT_EQ(DD->SetCooperativeLevel(TestWindow(), 0x17), DD_OK); }
    void Normal() { ASSERT_EQ(DD->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK); }

    // A surface of these caps and size that CreateSurface answers with expected (null when
    // it fails); format null for the display's.
    IDirectDrawSurface7* NewSurface(DWORD caps, DWORD width, DWORD height, const DDPIXELFORMAT* format,
                                    HRESULT expected = DD_OK)
    {
        DDSURFACEDESC2 d = Desc();
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (format ? DDSD_PIXELFORMAT : 0);
        d.ddsCaps.dwCaps = caps;
        d.dwWidth = width;
        d.dwHeight = height;
        if (format) d.ddpfPixelFormat = *format;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), expected);
        return s;
    }
    // An off-screen surface; format null for the display's.
    IDirectDrawSurface7* Offscreen(DWORD width, DWORD height, const DDPIXELFORMAT* format = nullptr)
    {
        return NewSurface(DDSCAPS_OFFSCREENPLAIN, width, height, format);
    }

    IDirectDrawSurface7* FlipChain(DWORD backBuffers)
    {
        DDSURFACEDESC2 d = Desc();
        d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        d.dwBackBufferCount = backBuffers;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), DD_OK);
        return s;
    }

    std::shared_ptr<SoftDxHeadlessPresenter> Presenter;
    std::shared_ptr<FakeClock> Clock;
    IDirectDraw7* DD = nullptr;
};

// Pixel access through Lock, for checking what a surface holds.
struct LockedPixels {
    explicit LockedPixels(IDirectDrawSurface7* surface) : Surface(surface)
    {
        Desc = ::Desc();
        Ok = surface->Lock(nullptr, &Desc, DDLOCK_WAIT, nullptr) == DD_OK;
    }
    ~LockedPixels()
    {
        if (Ok) Surface->Unlock(nullptr);
    }
    uint8_t* Row(uint32_t y) const { return static_cast<uint8_t*>(Desc.lpSurface) + ptrdiff_t(y) * Desc.lPitch; }
    uint32_t Get(uint32_t x, uint32_t y) const
    {
        const uint32_t bytes = Desc.ddpfPixelFormat.dwRGBBitCount / 8;
        uint32_t v = 0;
        std::memcpy(&v, Row(y) + size_t{x} * bytes, bytes);
        return v;
    }
    void Set(uint32_t x, uint32_t y, uint32_t v) const
    {
        const uint32_t bytes = Desc.ddpfPixelFormat.dwRGBBitCount / 8;
        std::memcpy(Row(y) + size_t{x} * bytes, &v, bytes);
    }
    IDirectDrawSurface7* Surface;
    DDSURFACEDESC2 Desc;
    bool Ok;
};

// Every pixel of a width x height surface, row by row.
inline std::vector<uint32_t> SurfacePixels(IDirectDrawSurface7* s, uint32_t width, uint32_t height)
{
    LockedPixels p(s);
    std::vector<uint32_t> all;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) all.push_back(p.Get(x, y));
    return all;
}
