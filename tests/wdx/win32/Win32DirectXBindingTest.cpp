// The DirectX libraries loaded by name, checked against the DirectDraw that Wine provides.
#include "wdx/DirectXBinding.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TFoundDriver {
    bool Primary;
    std::string Description;
};

BOOL WINAPI CollectDriver(GUID* guid, LPSTR description, LPSTR, LPVOID context, HMONITOR)
{
    static_cast<std::vector<TFoundDriver>*>(context)->push_back({guid == nullptr, description ? description : ""});
    return TRUE;
}

HRESULT WINAPI CountMode(LPDDSURFACEDESC2 desc, LPVOID context)
{
    if (desc->dwWidth > 0 && desc->dwHeight > 0) ++*static_cast<int*>(context);
    return DDENUMRET_OK;
}

}  // namespace

TEST(Win32DirectXBinding, RecordsHaveTheSizesOf32BitWindows)
{
    // Drivers check dwSize against these exact sizes.
    EXPECT_EQ(sizeof(DDCAPS), 380u);
    EXPECT_EQ(sizeof(DDSURFACEDESC2), 124u);
}

TEST(Win32DirectXBinding, MissingEntryPointsActAsADirectXWithoutDrivers)
{
    const TDirectXBinding none;
    std::vector<TFoundDriver> drivers;
    EXPECT_EQ(none.EnumerateDrivers(CollectDriver, &drivers, 0), E_FAIL);
    EXPECT_TRUE(drivers.empty());

    LPDIRECTDRAW7 directDraw = reinterpret_cast<LPDIRECTDRAW7>(&drivers);  // must be overwritten
    EXPECT_EQ(none.CreateDirectDraw(nullptr, &directDraw), E_FAIL);
    EXPECT_EQ(directDraw, nullptr);
}

TEST(Win32DirectXBinding, LoadsEveryLibraryByNameAndFreesThem)
{
    FreeDirectXLibraries();  // other tests of the run may have bound them
    ASSERT_EQ(DirectXBinding().DirectDrawCreateEx, nullptr) << "nothing is bound before loading";
    ASSERT_TRUE(LoadDirectXLibraries());
    const TDirectXBinding loaded = DirectXBinding();
    EXPECT_NE(loaded.DirectDrawEnumerateExA, nullptr);
    EXPECT_NE(loaded.DirectDrawCreateEx, nullptr);
    EXPECT_NE(loaded.DirectInputCreateEx, nullptr);
    EXPECT_NE(loaded.DirectSoundCreate, nullptr);
    EXPECT_NE(loaded.DirectXFileCreate, nullptr);

    // Loading again keeps what is loaded.
    EXPECT_TRUE(LoadDirectXLibraries());
    EXPECT_EQ(DirectXBinding().DirectDrawCreateEx, loaded.DirectDrawCreateEx);

    FreeDirectXLibraries();
    EXPECT_EQ(DirectXBinding().DirectDrawEnumerateExA, nullptr);
    EXPECT_EQ(DirectXBinding().DirectDrawCreateEx, nullptr);
    EXPECT_EQ(DirectXBinding().DirectInputCreateEx, nullptr);
    EXPECT_EQ(DirectXBinding().DirectSoundCreate, nullptr);
    EXPECT_EQ(DirectXBinding().DirectXFileCreate, nullptr);
    LPDIRECTDRAW7 directDraw = nullptr;
    EXPECT_EQ(DirectXBinding().CreateDirectDraw(nullptr, &directDraw), E_FAIL);
}

TEST(Win32DirectXBinding, EnumeratesThePrimaryDriver)
{
    const TDirectXLibraries libraries;
    std::vector<TFoundDriver> drivers;
    ASSERT_EQ(DirectXBinding().EnumerateDrivers(CollectDriver, &drivers, DDENUM_ATTACHEDSECONDARYDEVICES), DD_OK);
    ASSERT_FALSE(drivers.empty());
    EXPECT_TRUE(drivers.front().Primary) << "the primary display driver comes first, with a null GUID";
    EXPECT_FALSE(drivers.front().Description.empty());
}

TEST(Win32DirectXBinding, CreatesADirectDraw7ThatDescribesTheDisplay)
{
    const TDirectXLibraries libraries;
    LPDIRECTDRAW7 directDraw = nullptr;
    ASSERT_EQ(DirectXBinding().CreateDirectDraw(nullptr, &directDraw), DD_OK);
    ASSERT_NE(directDraw, nullptr);

    DDCAPS driverCaps = {};
    driverCaps.dwSize = sizeof driverCaps;
    DDCAPS helCaps = {};
    helCaps.dwSize = sizeof helCaps;
    EXPECT_EQ(directDraw->GetCaps(&driverCaps, &helCaps), DD_OK);
    EXPECT_NE(driverCaps.dwCaps2 & DDCAPS2_CANRENDERWINDOWED, 0u);

    DDSURFACEDESC2 mode = {};
    mode.dwSize = sizeof mode;
    EXPECT_EQ(directDraw->GetDisplayMode(&mode), DD_OK);
    EXPECT_GT(mode.dwWidth, 0u);
    EXPECT_GT(mode.dwHeight, 0u);
    EXPECT_GT(mode.ddpfPixelFormat.dwRGBBitCount, 0u);

    int modes = 0;
    EXPECT_EQ(directDraw->EnumDisplayModes(0, nullptr, &modes, CountMode), DD_OK);
    EXPECT_GE(modes, 1);

    EXPECT_EQ(directDraw->Release(), 0u);
}
