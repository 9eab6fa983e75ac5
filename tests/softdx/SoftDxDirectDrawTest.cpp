// The software DirectDraw object: enumeration, creation, references, cooperative levels,
// caps, display modes, and injected failures.
#include <string>
#include <tuple>

#include "softdx/SoftDxFixture.h"

namespace {

struct Driver {
    bool NullGuid;
    std::string Description, Name;
    void* Context;
    bool NullMonitor;
};

BOOL WINAPI CollectDriver(GUID* guid, LPSTR description, LPSTR name, LPVOID context, HMONITOR monitor)
{
    static_cast<std::vector<Driver>*>(context)->push_back(
        {guid == nullptr, description, name, context, monitor == nullptr});
    return TRUE;
}

struct ModeSeen {
    DWORD Width, Height, Bits, Refresh, Flags, RedMask, GreenMask, BlueMask, PfFlags;
    LONG Pitch;
};

HRESULT WINAPI CollectMode(LPDDSURFACEDESC2 d, LPVOID context)
{
    const DDPIXELFORMAT& f = d->ddpfPixelFormat;
    static_cast<std::vector<ModeSeen>*>(context)->push_back({d->dwWidth, d->dwHeight, f.dwRGBBitCount, d->dwRefreshRate,
                                                             d->dwFlags, f.dwRBitMask, f.dwGBitMask, f.dwBBitMask,
                                                             f.dwFlags, d->lPitch});
    return DDENUMRET_OK;
}

HRESULT WINAPI StopAfterThree(LPDDSURFACEDESC2, LPVOID context)
{
    return ++*static_cast<int*>(context) == 3 ? DDENUMRET_CANCEL : DDENUMRET_OK;
}

std::vector<ModeSeen> Modes(IDirectDraw7* dd, DDSURFACEDESC2* filter = nullptr)
{
    std::vector<ModeSeen> modes;
    EXPECT_EQ(dd->EnumDisplayModes(0, filter, &modes, CollectMode), DD_OK);
    return modes;
}

using Size = std::pair<DWORD, DWORD>;
std::vector<Size> Sizes(const std::vector<ModeSeen>& modes)
{
    std::vector<Size> sizes;
    for (const ModeSeen& m : modes)
        if (sizes.empty() || sizes.back() != Size{m.Width, m.Height}) sizes.push_back({m.Width, m.Height});
    return sizes;
}

}  // namespace

TEST(SoftDxEntryPoints, EnumerateOffersOnlyThePrimaryDisplayDriver)
{
    std::vector<Driver> drivers;
    ASSERT_EQ(DirectDrawEnumerateExA(CollectDriver, &drivers, DDENUM_ATTACHEDSECONDARYDEVICES), DD_OK);
    ASSERT_EQ(drivers.size(), 1u);
    EXPECT_TRUE(drivers[0].NullGuid);
    EXPECT_EQ(drivers[0].Description, "Primary Display Driver");
    EXPECT_EQ(drivers[0].Name, "display");
    EXPECT_EQ(drivers[0].Context, &drivers);
    EXPECT_TRUE(drivers[0].NullMonitor);
    EXPECT_EQ(DirectDrawEnumerateExA(nullptr, nullptr, 0), DDERR_INVALIDPARAMS);
}

TEST(SoftDxEntryPoints, CreateChecksGuidInterfaceAndAggregation)
{
    void* made = reinterpret_cast<void*>(1);
    GUID other = IID_IDirectDrawSurface7;
    EXPECT_EQ(DirectDrawCreateEx(&other, &made, IID_IDirectDraw7, nullptr), DDERR_INVALIDDIRECTDRAWGUID);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(DirectDrawCreateEx(nullptr, &made, IID_IDirectDraw, nullptr), DDERR_INVALIDPARAMS);
    auto outer = reinterpret_cast<IUnknown*>(&other);
    EXPECT_EQ(DirectDrawCreateEx(nullptr, &made, IID_IDirectDraw7, outer), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(DirectDrawCreateEx(nullptr, nullptr, IID_IDirectDraw7, nullptr), DDERR_INVALIDPARAMS);

    auto emulation = reinterpret_cast<GUID*>(uintptr_t{DDCREATE_EMULATIONONLY});
    ASSERT_EQ(DirectDrawCreateEx(emulation, &made, IID_IDirectDraw7, nullptr), DD_OK);
    EXPECT_EQ(static_cast<IDirectDraw7*>(made)->Release(), 0u);
}

TEST(SoftDxEntryPoints, InjectedFaultsFailTheNamedCallTheAskedNumberOfTimes)
{
    void* made = nullptr;
    SoftDxFailNext("DirectDrawCreateEx", DDERR_NODIRECTDRAWHW, 2);
    EXPECT_EQ(DirectDrawCreateEx(nullptr, &made, IID_IDirectDraw7, nullptr), DDERR_NODIRECTDRAWHW);
    EXPECT_EQ(DirectDrawCreateEx(nullptr, &made, IID_IDirectDraw7, nullptr), DDERR_NODIRECTDRAWHW);
    ASSERT_EQ(DirectDrawCreateEx(nullptr, &made, IID_IDirectDraw7, nullptr), DD_OK);
    auto dd = static_cast<IDirectDraw7*>(made);

    SoftDxFailAlways("SetCooperativeLevel", DDERR_EXCLUSIVEMODEALREADYSET);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DDERR_EXCLUSIVEMODEALREADYSET);
    SoftDxClearFaults();
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(dd->Release(), 0u);
}

using SoftDxDirectDraw = SoftDxTest;

TEST_F(SoftDxDirectDraw, QueryInterfaceCountsReferences)
{
    void* other = nullptr;
    ASSERT_EQ(DD->QueryInterface(IID_IDirectDraw7, &other), S_OK);
    EXPECT_EQ(other, DD);
    EXPECT_EQ(DD->Release(), 1u);
    EXPECT_EQ(DD->QueryInterface(IID_IDirectDrawSurface7, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(DD->AddRef(), 2u);
    EXPECT_EQ(DD->Release(), 1u);
}

TEST_F(SoftDxDirectDraw, CooperativeLevelCombinations)
{
    EXPECT_EQ(DD->SetCooperativeLevel(TestWindow(), DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DD->SetCooperativeLevel(TestWindow(), DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DD->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DD->SetCooperativeLevel(TestWindow(), DDSCL_NORMAL | DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(DD->SetCooperativeLevel(TestWindow(), 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DD->SetCooperativeLevel(TestWindow(),
                                      DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_NOWINDOWCHANGES),
              DD_OK);
    EXPECT_EQ(DD->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(DD->SetCooperativeLevel(TestWindow(), DDSCL_NORMAL), DD_OK);
}

TEST_F(SoftDxDirectDraw, OnlyOneObjectHoldsTheExclusiveLevel)
{
    Exclusive();
    void* made = nullptr;
    ASSERT_EQ(DirectDrawCreateEx(nullptr, &made, IID_IDirectDraw7, nullptr), DD_OK);
    auto second = static_cast<IDirectDraw7*>(made);
    EXPECT_EQ(second->SetCooperativeLevel(TestWindow(), 0x17), DDERR_EXCLUSIVEMODEALREADYSET);
    Normal();
    EXPECT_EQ(second->SetCooperativeLevel(TestWindow(), 0x17), DD_OK);
    EXPECT_EQ(second->Release(), 0u);
    Exclusive();
}

TEST_F(SoftDxDirectDraw, GetCapsNeedsTheRecordSizeAndReportsTheBlitter)
{
    DDCAPS driver, hel;
    std::memset(&driver, 0xAB, sizeof driver);
    driver.dwSize = sizeof driver - 4;
    EXPECT_EQ(DD->GetCaps(&driver, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DD->GetCaps(nullptr, nullptr), DDERR_INVALIDPARAMS);
    driver.dwSize = hel.dwSize = sizeof(DDCAPS);
    ASSERT_EQ(DD->GetCaps(&driver, &hel), DD_OK);
    for (const DDCAPS* caps : {&driver, &hel}) {
        EXPECT_EQ(caps->dwSize, sizeof(DDCAPS));
        EXPECT_TRUE(caps->dwCaps2 & DDCAPS2_CANRENDERWINDOWED);
        for (DWORD bit : {DDCAPS_BLT, DDCAPS_BLTSTRETCH, DDCAPS_BLTCOLORFILL, DDCAPS_COLORKEY})
            EXPECT_TRUE(caps->dwCaps & bit) << std::hex << bit;
        EXPECT_GT(caps->dwVidMemTotal, 0u);
        EXPECT_LE(caps->dwVidMemFree, caps->dwVidMemTotal);
        EXPECT_EQ(caps->dwReserved1, 0u) << "fields the driver does not use are cleared";
    }
}

TEST_F(SoftDxDirectDraw, DisplayModeIsTheScreensUntilAModeIsSet)
{
    Presenter->SetScreenSize({2560, 1440});
    DDSURFACEDESC2 d = Desc();
    ASSERT_EQ(DD->GetDisplayMode(&d), DD_OK);
    EXPECT_EQ(d.dwWidth, 2560u);
    EXPECT_EQ(d.dwHeight, 1440u);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 32u);
    EXPECT_EQ(d.ddpfPixelFormat.dwRBitMask, 0xFF0000u);
    EXPECT_EQ(d.ddpfPixelFormat.dwGBitMask, 0xFF00u);
    EXPECT_EQ(d.ddpfPixelFormat.dwBBitMask, 0xFFu);
    EXPECT_GE(d.lPitch, 2560 * 4);

    Exclusive();
    ASSERT_EQ(DD->SetDisplayMode(800, 600, 16, 0, 0), DD_OK);
    ASSERT_EQ(DD->GetDisplayMode(&d), DD_OK);
    EXPECT_EQ(std::tuple(d.dwWidth, d.dwHeight, d.ddpfPixelFormat.dwRGBBitCount), std::tuple(800u, 600u, 16u));
    EXPECT_EQ(d.ddpfPixelFormat.dwGBitMask, 0x07E0u);
    ASSERT_EQ(DD->RestoreDisplayMode(), DD_OK);
    ASSERT_EQ(DD->GetDisplayMode(&d), DD_OK);
    EXPECT_EQ(d.dwWidth, 2560u);

    d.dwSize = sizeof d + 1;
    EXPECT_EQ(DD->GetDisplayMode(&d), DDERR_INVALIDPARAMS);
}

TEST_F(SoftDxDirectDraw, ModesAreTheMonitorsAndTheCommonOnesInOrder)
{
    Presenter->SetScreenSize({1280, 1024});
    Presenter->SetMonitorModes({{1280, 1024}, {1152, 864}, {1024, 768}});
    const auto modes = Modes(DD);
    // The common sizes larger than the screen too: they are scaled down to it.
    const std::vector<Size> expected = {{640, 480},   {800, 600},   {1024, 768}, {1152, 864},
                                        {1280, 720},  {1280, 1024}, {1600, 900}, {1920, 1080},
                                        {1920, 1200}, {2560, 1440}, {3840, 2160}};
    EXPECT_EQ(Sizes(modes), expected);
    ASSERT_EQ(modes.size(), expected.size() * 3);
    constexpr DWORD bitsInOrder[] = {8, 16, 32};
    for (size_t i = 0; i < modes.size(); ++i) {
        const ModeSeen& m = modes[i];
        EXPECT_EQ(m.Bits, bitsInOrder[i % 3]);
        EXPECT_EQ(m.Refresh, 60u);
        EXPECT_GE(m.Pitch, LONG(m.Width * m.Bits / 8));
        for (DWORD bit : {DDSD_WIDTH, DDSD_HEIGHT, DDSD_PITCH, DDSD_PIXELFORMAT, DDSD_REFRESHRATE})
            EXPECT_TRUE(m.Flags & bit);
        const auto masks = std::tuple(m.RedMask, m.GreenMask, m.BlueMask);
        if (m.Bits == 8) {
            EXPECT_EQ(m.PfFlags, DWORD{DDPF_PALETTEINDEXED8 | DDPF_RGB});
        } else if (m.Bits == 16) {
            EXPECT_EQ(masks, std::tuple(0xF800u, 0x7E0u, 0x1Fu));
        } else {
            EXPECT_EQ(masks, std::tuple(0xFF0000u, 0xFF00u, 0xFFu));
        }
    }
}

TEST_F(SoftDxDirectDraw, ModeFilterAndCancel)
{
    DDSURFACEDESC2 filter = Desc();
    filter.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
    filter.dwWidth = 800;
    filter.dwHeight = 600;
    auto modes = Modes(DD, &filter);
    ASSERT_EQ(modes.size(), 3u);
    for (const ModeSeen& m : modes) EXPECT_EQ(std::pair(m.Width, m.Height), Size(800, 600));

    filter.dwFlags = DDSD_PIXELFORMAT;
    filter.ddpfPixelFormat.dwRGBBitCount = 16;
    modes = Modes(DD, &filter);
    EXPECT_EQ(modes.size(), Sizes(Modes(DD)).size());
    for (const ModeSeen& m : modes) EXPECT_EQ(m.Bits, 16u);

    int calls = 0;
    EXPECT_EQ(DD->EnumDisplayModes(0, nullptr, &calls, StopAfterThree), DD_OK);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(DD->EnumDisplayModes(0, nullptr, nullptr, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(SoftDxDirectDraw, SetDisplayModeNeedsExclusiveLevelAndAListedMode)
{
    Normal();
    EXPECT_EQ(DD->SetDisplayMode(640, 480, 32, 0, 0), DDERR_NOEXCLUSIVEMODE);
    Exclusive();
    EXPECT_EQ(DD->SetDisplayMode(641, 480, 32, 0, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(DD->SetDisplayMode(640, 480, 24, 0, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(DD->SetDisplayMode(2000, 1000, 32, 0, 0), DDERR_INVALIDMODE) << "larger than the screen, not listed";
    EXPECT_EQ(DD->SetDisplayMode(2560, 1440, 32, 0, 0), DD_OK) << "larger than the screen, listed";
    EXPECT_EQ(DD->SetDisplayMode(640, 480, 32, 60, 0), DD_OK);
    EXPECT_EQ(DD->SetDisplayMode(1920, 1080, 8, 0, 0), DD_OK);
}

TEST_F(SoftDxDirectDraw, SurfacesKeepTheirDirectDrawObjectAlive)
{
    Normal();
    IDirectDrawSurface7* surface = Offscreen(16, 16);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(DD->Release(), 1u) << "the surface holds the other reference";
    DD = nullptr;
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    EXPECT_EQ(surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    void* owner = nullptr;
    ASSERT_EQ(surface->GetDDInterface(&owner), DD_OK);
    EXPECT_EQ(static_cast<IDirectDraw7*>(owner)->Release(), 1u);
    EXPECT_EQ(surface->Release(), 0u);  // and with it the DirectDraw object (checked by the leak sanitizer)
}

TEST_F(SoftDxDirectDraw, EveryMethodConsultsInjectedFaults)
{
    Exclusive();
    SoftDxFailNext("CreateSurface", DDERR_OUTOFVIDEOMEMORY);
    DDSURFACEDESC2 d = Desc();
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), DDERR_OUTOFVIDEOMEMORY);
    SoftDxFailNext("SetDisplayMode", DDERR_UNSUPPORTEDMODE);
    EXPECT_EQ(DD->SetDisplayMode(640, 480, 32, 0, 0), DDERR_UNSUPPORTEDMODE);
    EXPECT_EQ(DD->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
    SoftDxFailNext("EnumDisplayModes", DDERR_GENERIC);
    EXPECT_EQ(DD->EnumDisplayModes(0, nullptr, nullptr, StopAfterThree), DDERR_GENERIC);
    SoftDxFailNext("GetCaps", DDERR_GENERIC);
    EXPECT_EQ(DD->GetCaps(nullptr, nullptr), DDERR_GENERIC);
    SoftDxFailNext("GetDisplayMode", DDERR_GENERIC);
    EXPECT_EQ(DD->GetDisplayMode(&d), DDERR_GENERIC);
}
