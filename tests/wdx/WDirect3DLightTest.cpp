// The light component: its index rule, colour scales and defaults, and on the platform's
// Direct3D what it hands the device and when the device's walks start and stop it.
#include "wdx/WDirect3DLight.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "Direct3DDevice.h"
#include "wdx/WDirect3DTexture.h"

TEST(WDirect3DLight, TakesTheLowestFreeIndexAndScalesColoursBy256InAnd255Out)
{
    TComponent owner(nullptr);
    auto* first = new TWDirect3DLight(&owner);
    auto* second = new TWDirect3DLight(&owner);
    EXPECT_EQ(first->LightIndex, 0);
    EXPECT_EQ(second->LightIndex, 1);
    second->LightIndex = 2;
    EXPECT_EQ((new TWDirect3DLight(&owner))->LightIndex, 1);
    EXPECT_EQ((new TWDirect3DLight(&owner))->LightIndex, 3);

    EXPECT_EQ(first->LightType(), D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(std::bit_cast<uint32_t>(first->Range()), 0x5DCCB70Bu);
    EXPECT_EQ(first->AmbientColor(), 0u);
    EXPECT_FALSE(first->LightOn() || first->Active());
    // In: component / 256; out: round(component × 255), halves to even.
    const struct {
        TColor In, Out;
    } colours[] = {
        {0xFFFFFF, 0xFEFEFE}, {0x000000, 0x000000}, {0x800102, 0x800102}, {0x0000FF, 0x0000FE}, {0xC040FF, 0xBF40FE}};
    for (const auto& c : colours) {
        first->SetSpecularColor(c.In);
        EXPECT_EQ(first->SpecularColor(), c.Out) << std::hex << c.In;
    }
    EXPECT_EQ(first->DiffuseColor(), 0xFEFEFEu);
    first->SetDiffuseColor(0x0000FF);
    EXPECT_FLOAT_EQ(first->Description().dcvDiffuse.r, 255.0f / 256);
    EXPECT_EQ(first->Description().dcvDiffuse.a, 0);
}

TEST_F(Direct3DTest, LightsStartAfterEveryOtherComponentAndHandTheirDescriptionToTheDevice)
{
    auto* light = new TWDirect3DLight(Form.get());
    auto* texture = new TWDirect3DTexture(Form.get());  // later on the form, started first
    texture->Image = WriteBmp("t.bmp", TRgbPicture(8, 8, TRgb{255, 0, 0}));
    light->LightIndex = 3;
    light->SetLightOn(true);
    light->SetDiffuseColor(0x4080FF);
    light->SetRange(50);
    StartWindowed();
    WDX->StopAll();
    WDX->Lines.clear();
    WDX->StartAll();
    ASSERT_TRUE(light->Active());
    IDirect3DDevice7* d3d = WDX->D3DDevice();
    D3DLIGHT7 set{};
    ASSERT_EQ(d3d->GetLight(3, &set), D3D_OK);
    EXPECT_EQ(std::memcmp(&set, &light->Description(), sizeof set), 0);
    BOOL on = FALSE;
    ASSERT_EQ(d3d->GetLightEnable(3, &on), D3D_OK);
    EXPECT_TRUE(on);
    light->SetLightOn(false);  // at once while active
    ASSERT_EQ(d3d->GetLightEnable(3, &on), D3D_OK);
    EXPECT_FALSE(on);
    light->SetRange(7);  // waits for the next apply
    ASSERT_EQ(d3d->GetLight(3, &set), D3D_OK);
    EXPECT_EQ(set.dvRange, 50);
    light->Apply();
    ASSERT_EQ(d3d->GetLight(3, &set), D3D_OK);
    EXPECT_EQ(set.dvRange, 7);

    WDX->StopAll();
    EXPECT_FALSE(light->Active());
    EXPECT_TRUE(WDX->LogHoldsInOrder(
        {"TWDirect3dTexture.Start", "TWDirect3DLight.Start", "TWDirect3dTexture.Stopped", "TWDirect3DLight.Stopped"}));
    EXPECT_FALSE(WDX->LogHoldsInOrder({"TWDirect3DLight.Start", "TWDirect3dTexture.Start"}));
}
