// The device's Direct3D stages and its textures on the software DirectX, whose calls can be
// made to fail and whose 3D device's texture rules tests choose: every 3D stage's failure
// with its text and what StopAll gives back, the z-buffer walk, texture sizing, the format
// search, exact TGA copies, component failures, and a frame that reaches the presenter.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SoftDxFixture.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "support/JpegMaker.h"
#include "support/PictureFiles.h"
#include "support/TestDevice.h"
#include "support/TestSupport.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirect3DTexture.h"
#include "wdx/WDirectDrawPaletteClipper.h"
#include "wdx/WDirectX.h"
#include "wdx/results/ResultTexts.h"

namespace {
// What the device's 3D side looked like when StopAll began.
struct Snapshot {
    int Stage;
    bool D3DDevice, ZBuffer, RenderTarget;
    static Snapshot Of(const TWDirectX& device)
    {
        return {static_cast<int>(device.StartStage()), device.D3DDevice() != nullptr,
                device.ZBufferSurface() != nullptr, device.RenderTarget() && device.RenderTarget()->Active()};
    }
};
using Device3D = TTestDevice<Snapshot>;

ULONG References(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

const DDPIXELFORMAT F565 = RgbFormat(16, 0xF800, 0x7E0, 0x1F);
const DDPIXELFORMAT F1555 = AlphaFormat(16, 0x8000, 0x7C00, 0x3E0, 0x1F);
const DDPIXELFORMAT F4444 = AlphaFormat(16, 0xF000, 0xF00, 0xF0, 0xF);
const DDPIXELFORMAT F8888 = AlphaFormat(32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF);

class Direct3DOnSoftDx : public SoftDxTest {
protected:
    void SetUp() override
    {
        LoadDirectXLibraries();
        SoftDxTest::SetUp();
        SetMessageBoxHandler([](const std::string&, const std::string&, TMsgIcon) {});
        MakeDevice();
    }
    void TearDown() override
    {
        if (Device && Device->Active()) Device->StopAll();
        Form.reset();
        SetMessageBoxHandler(nullptr);
        SoftDxTest::TearDown();
    }
    void MakeDevice()
    {
        Form.reset();
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(40, 30, 640, 480);
        Device = new Device3D(Form.get());
        Device->LogType = dxlogAll;
        Device->DisableDirect3D = false;
        Device->UseZBuffer = true;
        Device->SetBacksurfaces(1);
    }
    // Loads the device; 800 x 600 x 32 unless windowed.
    void Load(bool windowed = false)
    {
        Device->Loaded();
        ASSERT_NE(Device->Direct3D(), nullptr);
        for (int i = 0; i < Device->VideoModeCount() && !windowed; ++i) {
            const TVideoModeInfo m = Device->GetVideoModeInfo(i);
            if (!m.Windowed && m.Width == 800 && m.Height == 600 && m.Bits == 32) Device->SetVideoMode(i);
        }
        ASSERT_EQ(Device->GetCurrentVideoMode().Windowed, windowed);
    }
    std::string FailedStart() { return StartAllError(*Device); }
    std::string WriteTga(const std::string& name, int width, int height, const std::vector<uint32_t>& pixels)
    {
        return Dir.WriteFile(name, MakeTga32(width, height, pixels)).string();
    }
    // A 24-bit picture, left half red, right half green.
    std::string WriteBmp(const std::string& name, int width, int height)
    {
        TRgbPicture picture(width, height, {0, 255, 0});
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width / 2; ++x) picture.At(x, y) = {255, 0, 0};
        return Dir.WriteFile(name, MakeBmp24(picture)).string();
    }
    // Starts a texture of the picture on the started device; its surface, or null.
    TWDirectDrawBasicSurface* Texture(const std::string& image, Td3dTextr flags = {})
    {
        auto* texture = new TWDirect3DTexture(Form.get());
        texture->Image = image;
        texture->Flags = flags;
        texture->Start(Device);
        return texture->Surface();
    }

    TempDir Dir;
    std::unique_ptr<TForm> Form;
    Device3D* Device = nullptr;  // owned by Form
};
}  // namespace

TEST_F(Direct3DOnSoftDx, Each3DStageFailureIsUndoneExactlyAndLeavesNoReference)
{
    struct Case {
        const char* Method;
        HRESULT Code;
        bool Windowed;
        std::string Text;
        int Stage;
        int Backsurfaces = 1;
    };
    const std::string unknown = "Unrecognized Error";
    const Case cases[] = {
        {"CreateSurface", DDERR_OUTOFMEMORY, true, "TWDirectX.StartAll - Create 3D surface\r" + unknown, 11},
        {"CreateSurface(ZBUFFER)", DDERR_OUTOFMEMORY, false,
         "TWDirectX.StartAll - Create Z buffer\r" + ResultText(1, DDERR_OUTOFMEMORY) + " W:800 H:600", 12},
        {"AddAttachedSurface", DDERR_CANNOTATTACHSURFACE, false,
         "TWDirectX.StartAll - Attached Z buffer)\r" + ResultText(1, DDERR_CANNOTATTACHSURFACE), 13},
        {"CreateDevice", D3DERR_INITFAILED, false, "TWDirectX.StartAll - Create 3D Device\rD3DERR_INITFAILED", 14},
        {"SetViewport", D3DERR_VIEWPORTHASNODEVICE, true,
         "TWDirectX.StartAll - Set ViewPort\rD3DERR_VIEWPORTHASNODEVICE", 17},
        // Full screen without a back surface leaves nothing to render into: refused, not called.
        {"", DD_OK, false, "TWDirectX.StartAll - Attached Z buffer)\r" + ResultText(1, DDERR_INVALIDOBJECT), 13, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        MakeDevice();
        Device->SetBacksurfaces(c.Backsurfaces);
        Load(c.Windowed);
        const ULONG references = References(Device->DirectDraw());
        // The 3D surface is the second surface made in a window, after the primary.
        Device->OnLine = [&](const std::string& line) {
            if (line == "TWDirectX.StartAll - Device is software" && c.Code != DD_OK)
                SoftDxFailAlways(c.Method, c.Code);
        };
        EXPECT_EQ(FailedStart(), c.Text);
        SoftDxClearFaults();
        ASSERT_EQ(Device->Stops.size(), 1u);
        const Snapshot& at = Device->Stops[0];
        EXPECT_EQ(at.Stage, c.Stage);
        EXPECT_EQ(at.D3DDevice, c.Stage > 14);
        EXPECT_EQ(at.ZBuffer, c.Stage > 12);
        EXPECT_EQ(at.RenderTarget, c.Windowed ? c.Stage > 11 : c.Backsurfaces > 0);
        EXPECT_EQ(Device->D3DDevice(), nullptr);
        EXPECT_EQ(Device->ZBufferSurface(), nullptr);
        EXPECT_FALSE(Device->RenderTarget()->Active());
        EXPECT_FALSE(Device->Primary()->Active());
        EXPECT_EQ(References(Device->DirectDraw()), references) << "every surface and device was given back";
        EXPECT_EQ(Device->LastError, "");
    }
}

TEST_F(Direct3DOnSoftDx, AFailedZBufferWalksTheListFromItsStart)
{
    Load();
    ASSERT_GE(Device->ZBufferCount(), 2);
    // Fails: the selected format only; then the selected and the first.
    for (int failures : {1, 2}) {
        SCOPED_TRACE(failures);
        Device->SetZBuffer(1);
        SoftDxFailNext("CreateSurface(ZBUFFER)", DDERR_OUTOFMEMORY, failures);
        Device->StartAll();
        ASSERT_TRUE(Device->Active());
        EXPECT_EQ(Device->ZBufferIndex(), failures - 1);
        DDSURFACEDESC2 d = Desc();
        ASSERT_EQ(Device->ZBufferSurface()->GetSurfaceDesc(&d), DD_OK);
        EXPECT_EQ(d.ddpfPixelFormat.dwZBufferBitDepth, Device->GetZBufferInfo(failures - 1).dwZBufferBitDepth);
        Device->StopAll();
    }
}

TEST_F(Direct3DOnSoftDx, TexturesTakeTheSizesTheDeviceAsksFor)
{
    const std::string picture = WriteBmp("p.bmp", 200, 100);
    struct Case {
        DWORD Caps;
        int Width, Height;
    };
    const Case cases[] = {{0, 200, 100},
                          {D3DPTEXTURECAPS_POW2, 256, 128},
                          {D3DPTEXTURECAPS_SQUAREONLY, 200, 200},
                          {D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY, 256, 256}};
    Load();
    Device->StartAll();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Caps);
        Device->DestroySurface(picture);
        SoftDxSetTextureCaps(c.Caps);
        TWDirectDrawBasicSurface* s = Texture(picture);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->Width, c.Width);
        EXPECT_EQ(s->Height, c.Height);
        // The picture covers the whole texture: its halves meet in the middle.
        LockedPixels px(s->Surface());
        ASSERT_TRUE(px.Ok);
        const DDPIXELFORMAT& f = px.Desc.ddpfPixelFormat;
        EXPECT_EQ(px.Get(c.Width / 2 - 2, c.Height - 1) & f.dwRBitMask, f.dwRBitMask);
        EXPECT_EQ(px.Get(c.Width / 2 + 2, 0) & f.dwGBitMask, f.dwGBitMask);
    }
}

TEST_F(Direct3DOnSoftDx, TheFormatSearchFallsBackTo16BitsAndNeverTakesFourBitAlpha)
{
    const std::string picture = WriteBmp("p.bmp", 4, 4);  // 24 bits
    const std::string expectedFailure =
        "TWDirectX.CreateNewSurface " + picture + " (4x4x0) Looking for texture\r" + ResultText(1, 1);
    struct Case {
        std::vector<DDPIXELFORMAT> Formats;
        Td3dTextr Flags;
        DDPIXELFORMAT Chosen;  // dwSize 0: none
    };
    const Case cases[] = {
        {{F4444, F8888, F565}, {}, F565},
        {{F4444, F1555}, d3dCREATEWITHALPHA, F1555},
        {{F565, F8888}, d3d32BITSPERPIXEL, F565},  // no 32 bits without alpha: back to 16
        {{F4444}, d3dCREATEWITHALPHA, DDPIXELFORMAT{}},
        {{F4444, F8888}, d3dTRANSPARENTBLACK, DDPIXELFORMAT{}},  // alpha at 24 bits, then 16
    };
    Load();
    Device->StartAll();
    Device->ExceptionIgnore = true;
    for (const Case& c : cases) {
        Device->DestroySurface(picture);
        SoftDxSetTextureFormats(c.Formats);
        if (c.Chosen.dwSize == 0) {
            EXPECT_THROW(Texture(picture, c.Flags), EWDirectXError);
            EXPECT_EQ(Device->LastError, expectedFailure);
            continue;
        }
        TWDirectDrawBasicSurface* s = Texture(picture, c.Flags);
        ASSERT_NE(s, nullptr);
        DDSURFACEDESC2 d = Desc();
        ASSERT_EQ(s->Surface()->GetSurfaceDesc(&d), DD_OK);
        EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, c.Chosen.dwRGBBitCount);
        EXPECT_EQ(d.ddpfPixelFormat.dwRBitMask, c.Chosen.dwRBitMask);
        EXPECT_EQ(d.ddpfPixelFormat.dwRGBAlphaBitMask, c.Chosen.dwRGBAlphaBitMask);
    }
}

TEST_F(Direct3DOnSoftDx, ATgaPictureIsCopiedBitExactIntoEachFormat)
{
    struct Case {
        DDPIXELFORMAT Format;
        Td3dTextr Flags;
        uint32_t AlphaB;  // the second pixel's alpha
        uint32_t Expected[2];
    };
    // 0xFF8010 and 0x123456, each component keeping its top bits.
    const Case cases[] = {
        {F565, d3d16BITSPERPIXEL, 0xFF, {0xFC02, 0x11AA}},
        {F1555, d3d16BITSPERPIXEL, 0x00, {0xFE02, 0x08CA}},
        {F8888, {}, 0x00, {0xFFFF8010, 0x00123456}},
    };
    Load();
    Device->StartAll();
    SoftDxSetTextureCaps(0);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        SoftDxSetTextureFormats({c.Format});
        const std::string name =
            WriteTga("t" + std::to_string(n++) + ".tga", 2, 1, {0xFF8010FF, 0x12345600 | c.AlphaB});
        TWDirectDrawBasicSurface* s = Texture(name, c.Flags);
        ASSERT_NE(s, nullptr);
        LockedPixels px(s->Surface());
        ASSERT_TRUE(px.Ok);
        EXPECT_EQ(px.Get(0, 0), c.Expected[0]);
        EXPECT_EQ(px.Get(1, 0), c.Expected[1]);
    }
}

TEST_F(Direct3DOnSoftDx, ComponentFailuresCarryTheirOwnTexts)
{
    const std::string tga = WriteTga("c.tga", 2, 1, {0xFFFFFFFF, 0xFFFFFFFF});
    Load();
    Device->StartAll();
    SoftDxFailNext("Lock", DDERR_SURFACEBUSY);
    EXPECT_THROW(Texture(tga), EWDirectXError);
    EXPECT_EQ(Device->LastError,
              "TWDirectX.CreateNewSurface " + tga + " (2x1x0) CopyBitmapToSurface\r" + ResultText(1, 1));
    EXPECT_FALSE(Device->Active()) << "the error stopped the device";

    struct Case {
        const char* Method;
        std::string Text;
    };
    const Case cases[] = {{"CreatePalette", "TWDirectDraw.CreatePalette"},
                          {"CreateClipper", "TWDirectDraw.CreateClipper"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Method);
        MakeDevice();
        new TWDirectDrawPalette(Form.get());
        new TWDirectDrawClipper(Form.get());
        Load();
        SoftDxFailNext(c.Method, DDERR_OUTOFMEMORY);
        EXPECT_EQ(FailedStart(), "TWDirectX.StartAll - Failed to start other component");
        EXPECT_EQ(Device->LastError, c.Text + "\r" + ResultText(1, DDERR_OUTOFMEMORY));
        ASSERT_FALSE(Device->Stops.empty());
        EXPECT_EQ(Device->Stops.back().Stage, 21);
        EXPECT_FALSE(Device->Active());
    }
}

TEST_F(Direct3DOnSoftDx, AClearedFrameWithATriangleReachesThePresenter)
{
    Load();
    Device->StartAll();
    IDirect3DDevice7* d3d = Device->D3DDevice();
    ASSERT_NE(d3d, nullptr);
    D3DMATRIX identity{};
    identity._11 = identity._22 = identity._33 = identity._44 = 1;
    for (D3DTRANSFORMSTATETYPE t : {D3DTRANSFORMSTATE_WORLD, D3DTRANSFORMSTATE_VIEW, D3DTRANSFORMSTATE_PROJECTION})
        d3d->SetTransform(t, &identity);
    d3d->SetRenderState(D3DRENDERSTATE_AMBIENT, 0xFFFFFFFF);
    d3d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(d3d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0), D3D_OK);
    D3DVERTEX v[3]{};
    const float xy[3][2] = {{-0.5f, -0.5f}, {0.0f, 0.5f}, {0.5f, -0.5f}};
    for (int i = 0; i < 3; ++i) {
        v[i].x = xy[i][0];
        v[i].y = xy[i][1];
        v[i].z = 0.5f;
        v[i].nz = -1;
    }
    ASSERT_EQ(d3d->BeginScene(), D3D_OK);
    ASSERT_EQ(d3d->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, v, 3, 0), D3D_OK);
    ASSERT_EQ(d3d->EndScene(), D3D_OK);
    const uint32_t presented = Presenter->PresentCount();
    Device->Flip();
    ASSERT_EQ(Presenter->PresentCount(), presented + 1);
    ASSERT_EQ(Presenter->LastSize(), (SoftDxSize{800, 600}));
    const std::vector<uint32_t>& frame = Presenter->LastFrame();
    auto at = [&frame](int x, int y) { return frame[static_cast<size_t>(y) * 800 + x] & 0xFFFFFF; };
    EXPECT_EQ(at(400, 300), 0xFFFFFFu) << "the triangle";
    EXPECT_EQ(at(400, 140), 0x0000FFu) << "above its apex (y = 0.5 maps to row 150)";
    EXPECT_EQ(at(5, 5), 0x0000FFu);
    EXPECT_EQ(at(190, 440), 0x0000FFu) << "left of its base";
    EXPECT_EQ(at(400, 440), 0xFFFFFFu) << "just inside its base (row 450)";
}
