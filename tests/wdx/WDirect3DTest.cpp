// The device's Direct3D side over the platform's Direct3D 7 (the software one on Linux,
// Wine's on Windows): the device and z-buffer lists with their combo boxes and events, a
// windowed 3D start with everything it sets and gives back, and a full-screen device that
// clears, draws a triangle and a texture component's picture, and flips.
#include <gtest/gtest.h>

#include "Direct3DDevice.h"
#include "support/FakeCombo.h"
#include "wdx/WDirect3DTexture.h"

namespace {
struct ListEvents {
    int Devices = 0, ZBuffers = 0, Offered = 0;
    bool RefuseAll = false;
    void DevicesUpdated(TObject*) { ++Devices; }
    void ZBuffersUpdated(TObject*) { ++ZBuffers; }
    void Accept(TObject*, const Td3dDeviceInfo&, bool& accept)
    {
        ++Offered;
        if (RefuseAll) accept = false;
    }
};
}  // namespace

TEST_F(Direct3DTest, DeviceAndZBufferListsMirrorIntoTheirComboBoxes)
{
    FakeCombo devices, zbuffers;
    ListEvents ev;
    WDX->ComboBoxD3DDevices = &devices;
    WDX->ComboBoxZBuffer = &zbuffers;
    WDX->OnUpdateD3DDevice = TSomeEvent::Of<&ListEvents::DevicesUpdated>(&ev);
    WDX->OnUpdateZBuffer = TSomeEvent::Of<&ListEvents::ZBuffersUpdated>(&ev);
    WDX->OnAcceptD3DDevice = TAcceptD3DDeviceEvent::Of<&ListEvents::Accept>(&ev);
    WDX->Loaded();
    ASSERT_NE(WDX->Direct3D(), nullptr);
    ASSERT_GT(WDX->D3DDeviceCount(), 0);
    EXPECT_EQ(ev.Offered, WDX->D3DDeviceCount());
    EXPECT_EQ(ev.Devices, 1);
    ASSERT_EQ(devices.ItemCount(), WDX->D3DDeviceCount());
    for (int i = 0; i < WDX->D3DDeviceCount(); ++i) {
        const Td3dDeviceInfo d = WDX->GetD3DDeviceInfo(i);
        EXPECT_EQ(devices.Item(i), d.Name + ", " + d.Description);
        EXPECT_EQ(d.IsHardware, (d.Desc.dwDevCaps & D3DDEVCAPS_HWRASTERIZATION) != 0);
        EXPECT_EQ(std::memcmp(d.GuidPtr(), &d.Desc.deviceGUID, sizeof(GUID)), 0);
    }
    EXPECT_EQ(WDX->D3DDeviceIndex(), 0);
    EXPECT_EQ(devices.Index, 0);

    // Every device's z-buffer list is rebuilt on its selection, with its own event.
    for (int i = WDX->D3DDeviceCount() - 1; i >= 0; --i) {
        SCOPED_TRACE(WDX->GetD3DDeviceInfo(i).Name);
        const int updates = ev.ZBuffers;
        devices.Index = i;
        devices.OnChange(nullptr);
        EXPECT_EQ(WDX->D3DDeviceIndex(), i);
        ASSERT_EQ(zbuffers.ItemCount(), WDX->ZBufferCount());
        if (WDX->ZBufferCount() == 0) continue;
        EXPECT_EQ(ev.ZBuffers, updates + 1);
        EXPECT_EQ(WDX->ZBufferIndex(), 0);
        for (int z = 0; z < WDX->ZBufferCount(); ++z) {
            const TDDPixelFormat_DX6 f = WDX->GetZBufferInfo(z);
            EXPECT_TRUE(f.dwFlags & DDPF_ZBUFFER);
            EXPECT_EQ(zbuffers.Item(z), "Z Buffer Depth:" + std::to_string(f.dwZBufferBitDepth) +
                                            ", Stencil Depth:" + std::to_string(f.dwStencilBitDepth));
        }
    }
    EXPECT_THROW(WDX->GetD3DDeviceInfo(WDX->D3DDeviceCount()), EListError);

    // A filter that refuses every device leaves both lists empty.
    ev.RefuseAll = true;
    WDX->GetD3DDevices();
    EXPECT_EQ(WDX->D3DDeviceCount(), 0);
    EXPECT_EQ(devices.ItemCount(), 0);
    EXPECT_EQ(WDX->ZBufferCount(), 0);
}

TEST_F(Direct3DTest, AWindowedStartRendersIntoItsOwnSurfaceAndGivesEverythingBack)
{
    WDX->UseZBuffer = true;
    WDX->vpMinZ = 0.25f;
    WDX->vpMaxZ = 0.75f;
    StartWindowed();
    ASSERT_NE(WDX->D3DDevice(), nullptr);
    TWDirectDrawBasicSurface* target = WDX->RenderTarget();
    ASSERT_TRUE(target->Active());
    EXPECT_EQ(target, WDX->Back1()) << "the render target is the first back surface's object";
    EXPECT_EQ(target->Width, WDX->OutputWidth());
    EXPECT_EQ(target->Height, WDX->OutputHeight());

    // The z-buffer hangs on the render surface, in the selected format.
    ASSERT_NE(WDX->ZBufferSurface(), nullptr);
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_ZBUFFER;
    IDirectDrawSurface7* attached = nullptr;
    ASSERT_EQ(target->Surface()->GetAttachedSurface(&caps, &attached), DD_OK);
    EXPECT_EQ(attached, WDX->ZBufferSurface());
    attached->Release();

    D3DVIEWPORT7 vp{};
    ASSERT_EQ(WDX->D3DDevice()->GetViewport(&vp), D3D_OK);
    EXPECT_EQ(vp.dwX, 0u);
    EXPECT_EQ(vp.dwY, 0u);
    EXPECT_EQ(vp.dwWidth, static_cast<DWORD>(WDX->OutputWidth()));
    EXPECT_EQ(vp.dwHeight, static_cast<DWORD>(WDX->OutputHeight()));
    EXPECT_FLOAT_EQ(vp.dvMinZ, 0.25f);
    EXPECT_FLOAT_EQ(vp.dvMaxZ, 0.75f);

    const std::pair<D3DRENDERSTATETYPE, DWORD> states[] = {
        {D3DRENDERSTATE_ALPHABLENDENABLE, FALSE},
        {D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE},
        {D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE},
        {D3DRENDERSTATE_ALPHATESTENABLE, FALSE},
        {D3DRENDERSTATE_AMBIENT, 0},
        {D3DRENDERSTATE_ZENABLE, TRUE},
        {D3DRENDERSTATE_SPECULARENABLE, FALSE},
        {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID},
        {D3DRENDERSTATE_CULLMODE, D3DCULL_CCW},
        {D3DRENDERSTATE_COLORKEYENABLE, FALSE},
        {D3DRENDERSTATE_DITHERENABLE, FALSE},
    };
    for (const auto& [state, value] : states) {
        DWORD now = 0xBAD;
        EXPECT_EQ(WDX->D3DDevice()->GetRenderState(state, &now), D3D_OK);
        EXPECT_EQ(now, value) << "render state " << state;
    }
    D3DMATERIAL7 m{};
    ASSERT_EQ(WDX->D3DDevice()->GetMaterial(&m), D3D_OK);
    EXPECT_FLOAT_EQ(m.power, 40.0f);
    const float expected[4][4] = {{1, 1, 1, 1}, {1, 1, 1, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}};
    const D3DCOLORVALUE got[4] = {m.diffuse, m.ambient, m.specular, m.emissive};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(got[i].r, expected[i][0]) << i;
        EXPECT_FLOAT_EQ(got[i].g, expected[i][1]) << i;
        EXPECT_FLOAT_EQ(got[i].b, expected[i][2]) << i;
        EXPECT_FLOAT_EQ(got[i].a, expected[i][3]) << i;
    }

    WDX->StopAll();
    EXPECT_EQ(WDX->D3DDevice(), nullptr);
    EXPECT_EQ(WDX->ZBufferSurface(), nullptr);
    EXPECT_FALSE(target->Active());
}

namespace {
// Clip space straight to the screen: identity matrices, lit by the white ambient alone, so a
// vertex's colour is white (times its texture).
void ScreenSpaceWhite(IDirect3DDevice7* d3d)
{
    D3DMATRIX identity{};
    identity._11 = identity._22 = identity._33 = identity._44 = 1;
    for (D3DTRANSFORMSTATETYPE t : {D3DTRANSFORMSTATE_WORLD, D3DTRANSFORMSTATE_VIEW, D3DTRANSFORMSTATE_PROJECTION})
        ASSERT_EQ(d3d->SetTransform(t, &identity), D3D_OK);
    d3d->SetRenderState(D3DRENDERSTATE_AMBIENT, 0xFFFFFFFF);
    d3d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
}

D3DVERTEX Vertex(float x, float y, float tu = 0, float tv = 0)
{
    D3DVERTEX v{};
    v.x = x;
    v.y = y;
    v.z = 0.5f;
    v.nz = -1;
    v.tu = tu;
    v.tv = tv;
    return v;
}

class FullScreen3D : public Direct3DTest {
protected:
    // Starts in a full-screen mode of the desktop's own size (the only size every platform
    // switches to); false when the driver has none.
    bool Start()
    {
        WDX->SetBacksurfaces(1);
        WDX->UseZBuffer = true;
        WDX->Loaded();
        EXPECT_NE(WDX->Direct3D(), nullptr);
        Desktop = WDX->GetVideoModeInfo(0);
        for (int i = 0; i < WDX->VideoModeCount(); ++i) {
            const TVideoModeInfo m = WDX->GetVideoModeInfo(i);
            if (m.Windowed || m.Width != Desktop.Width || m.Height != Desktop.Height || m.Bits != Desktop.Bits)
                continue;
            WDX->SetVideoMode(i);
            WDX->StartAll();
            return WDX->Active() && WDX->D3DDevice();
        }
        return false;
    }
    TVideoModeInfo Desktop;
};
}  // namespace

TEST_F(FullScreen3D, ClearsDrawsATriangleAndFlips)
{
    if (!Start()) GTEST_SKIP() << "the driver reports no full-screen mode of the desktop's size";
    const Td3dDeviceInfo device = WDX->GetD3DDeviceInfo(WDX->D3DDeviceIndex());
    EXPECT_TRUE(WDX->LogHoldsInOrder(
        {"TWDirectX.StartAll - Start Direct3D",
         device.IsHardware ? "TWDirectX.StartAll - Device is hardware" : "TWDirectX.StartAll - Device is software",
         "TWDirectX.StartAll - Start DirectSound", "TWDirectX.StartAll - All ok"}));
    EXPECT_EQ(
        std::memcmp(&WDX->ActiveCaps(), device.IsHardware ? &WDX->DriverCaps() : &WDX->EmulationCaps(), sizeof(DDCAPS)),
        0);
    IDirect3DDevice7* d3d = WDX->D3DDevice();
    ScreenSpaceWhite(d3d);
    ASSERT_EQ(d3d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0), D3D_OK);
    D3DVERTEX v[3] = {Vertex(-0.5f, -0.5f), Vertex(0.0f, 0.5f), Vertex(0.5f, -0.5f)};
    ASSERT_EQ(d3d->BeginScene(), D3D_OK);
    EXPECT_EQ(d3d->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, v, 3, 0), D3D_OK);
    ASSERT_EQ(d3d->EndScene(), D3D_OK);

    IDirectDrawSurface7* back = WDX->Back1()->Surface();
    const int w = Desktop.Width, h = Desktop.Height;
    EXPECT_TRUE(Near(Pixel(back, w / 2, h / 2), {255, 255, 255})) << "the triangle's middle";
    EXPECT_TRUE(Near(Pixel(back, 3, 3), {0, 0, 255})) << "a corner keeps the clear colour";
    EXPECT_TRUE(Near(Pixel(back, w / 2, h / 8), {0, 0, 255})) << "above the triangle's apex";
    WDX->Flip();
    WDX->StopAll();
    EXPECT_EQ(WDX->D3DDevice(), nullptr);
}

TEST_F(FullScreen3D, ATextureComponentsSurfaceDrawsOnTheDevice)
{
    auto* texture = new TWDirect3DTexture(Form.get());
    texture->Image = WriteBmp("q.bmp", QuadrantPicture(16, 16, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}));
    if (!Start()) GTEST_SKIP() << "the driver reports no full-screen mode of the desktop's size";
    ASSERT_NE(texture->Surface(), nullptr);
    IDirect3DDevice7* d3d = WDX->D3DDevice();
    ScreenSpaceWhite(d3d);
    ASSERT_EQ(d3d->SetTexture(0, texture->Surface()->Surface()), D3D_OK);
    ASSERT_EQ(d3d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
    // A quad over the middle half of the screen, the texture's top left at the top left.
    D3DVERTEX quad[6] = {Vertex(-0.5f, 0.5f, 0, 0), Vertex(0.5f, 0.5f, 1, 0),  Vertex(-0.5f, -0.5f, 0, 1),
                         Vertex(0.5f, 0.5f, 1, 0),  Vertex(0.5f, -0.5f, 1, 1), Vertex(-0.5f, -0.5f, 0, 1)};
    ASSERT_EQ(d3d->BeginScene(), D3D_OK);
    EXPECT_EQ(d3d->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, quad, 6, 0), D3D_OK);
    ASSERT_EQ(d3d->EndScene(), D3D_OK);
    d3d->SetTexture(0, nullptr);

    IDirectDrawSurface7* back = WDX->Back1()->Surface();
    const int w = Desktop.Width, h = Desktop.Height;
    EXPECT_TRUE(Near(Pixel(back, w * 3 / 8, h * 3 / 8), {255, 0, 0}));
    EXPECT_TRUE(Near(Pixel(back, w * 5 / 8, h * 3 / 8), {0, 255, 0}));
    EXPECT_TRUE(Near(Pixel(back, w * 3 / 8, h * 5 / 8), {0, 0, 255}));
    EXPECT_TRUE(Near(Pixel(back, w * 5 / 8, h * 5 / 8), {255, 255, 0}));
    EXPECT_TRUE(Near(Pixel(back, w / 8, h / 2), {0, 0, 0})) << "outside the quad";
    WDX->Flip();
}
