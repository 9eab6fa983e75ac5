// The software Direct3D's objects: the Direct3D object and its one device, z-buffers,
// textures and mip-map chains, the device's states, and the tests' controls.
#include <string>

#include "softdx/SoftDxD3DFixture.h"

using SoftDxDirect3D = SoftDxD3DTest;

namespace {

struct Devices {
    int Count = 0;
    D3DDEVICEDESC7 Desc{};
    std::string Name;
};

HRESULT CALLBACK CountDevice(char*, char* name, D3DDEVICEDESC7* desc, void* context)
{
    auto* devices = static_cast<Devices*>(context);
    ++devices->Count;
    devices->Desc = *desc;
    devices->Name = name;
    return D3DENUMRET_OK;
}

HRESULT CALLBACK KeepFormat(DDPIXELFORMAT* format, void* context)
{
    static_cast<std::vector<DDPIXELFORMAT>*>(context)->push_back(*format);
    return D3DENUMRET_OK;
}

bool SameFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST_F(SoftDxDirect3D, OffersOneSoftwareDeviceWhoseTextureCapsTestsCanChange)
{
    Devices devices;
    ASSERT_EQ(D3D->EnumDevices(CountDevice, &devices), D3D_OK);
    ASSERT_EQ(devices.Count, 1);
    EXPECT_FALSE(devices.Desc.dwDevCaps & D3DDEVCAPS_HWRASTERIZATION) << "a program must take the emulation caps";
    EXPECT_EQ(devices.Desc.deviceGUID, IID_IDirect3DRGBDevice);
    EXPECT_EQ(devices.Desc.dpcTriCaps.dwTextureCaps, SoftDxDefaultTextureCaps());
    EXPECT_FALSE(devices.Desc.dpcTriCaps.dwTextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY));

    const DWORD strict = D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY | D3DPTEXTURECAPS_ALPHAPALETTE;
    SoftDxSetTextureCaps(strict);
    ASSERT_EQ(D3D->EnumDevices(CountDevice, &devices), D3D_OK);
    EXPECT_EQ(devices.Desc.dpcTriCaps.dwTextureCaps, strict);
    IDirect3DDevice7* device = Device(Target(8, 8));
    D3DDEVICEDESC7 caps{};
    ASSERT_EQ(device->GetCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.dpcTriCaps.dwTextureCaps, strict) << "the device's own caps follow the control too";
    SoftDxClearFaults();
    ASSERT_EQ(device->GetCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.dpcTriCaps.dwTextureCaps, SoftDxDefaultTextureCaps());
}

TEST_F(SoftDxDirect3D, EveryOfferedZBufferFormatMakesAZBufferThatAttaches)
{
    std::vector<DDPIXELFORMAT> formats;
    ASSERT_EQ(D3D->EnumZBufferFormats(IID_IDirect3DRGBDevice, KeepFormat, &formats), D3D_OK);
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].dwZBufferBitDepth, 16u);
    EXPECT_EQ(formats[1].dwZBufferBitDepth, 32u);
    for (const DDPIXELFORMAT& format : formats) {
        IDirectDrawSurface7* target = Target(32, 16);
        IDirectDrawSurface7* z = Surface(DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY, 32, 16, &format);
        ASSERT_NE(z, nullptr);
        DDPIXELFORMAT got{};
        got.dwSize = sizeof got;
        ASSERT_EQ(z->GetPixelFormat(&got), DD_OK);
        EXPECT_TRUE(SameFormat(got, format));
        ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
        EXPECT_EQ(target->AddAttachedSurface(z), DDERR_SURFACEALREADYATTACHED);
        DDSCAPS2 caps{DDSCAPS_ZBUFFER, 0, 0, {0}};
        IDirectDrawSurface7* attached = nullptr;
        ASSERT_EQ(target->GetAttachedSurface(&caps, &attached), DD_OK);
        EXPECT_EQ(attached, z);
        attached->Release();
    }
    EXPECT_EQ(D3D->EnumZBufferFormats(IID_IDirect3DHALDevice, KeepFormat, &formats), DDERR_INVALIDPARAMS);
}

TEST_F(SoftDxDirect3D, AttachingRefusesWhatIsNoFittingZBuffer)
{
    IDirectDrawSurface7* target = Target(32, 16);
    EXPECT_EQ(target->AddAttachedSurface(Target(32, 16)), DDERR_CANNOTATTACHSURFACE);
    EXPECT_EQ(target->AddAttachedSurface(ZBuffer(16, 16)), DDERR_CANNOTATTACHSURFACE) << "smaller than the target";
    IDirectDrawSurface7* z = ZBuffer(32, 16);
    EXPECT_EQ(z->AddAttachedSurface(ZBuffer(32, 16)), DDERR_CANNOTATTACHSURFACE);
    const DDPIXELFORMAT colour = RgbFormat(16, 0xF800, 0x07E0, 0x1F);
    Surface(DDSCAPS_ZBUFFER, 8, 8, &colour, DDERR_INVALIDPIXELFORMAT);
    const DDPIXELFORMAT depth = ZFormat(16);
    Surface(DDSCAPS_OFFSCREENPLAIN, 8, 8, &depth, DDERR_INVALIDPIXELFORMAT);
    Surface(DDSCAPS_ZBUFFER | DDSCAPS_TEXTURE, 8, 8, &depth, DDERR_INVALIDCAPS);
    ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
    EXPECT_EQ(target->DeleteAttachedSurface(0, z), DD_OK);
    EXPECT_EQ(target->DeleteAttachedSurface(0, z), DDERR_CANNOTDETACHSURFACE);
}

TEST_F(SoftDxDirect3D, EveryOfferedTextureFormatMakesATextureOfThatFormat)
{
    IDirect3DDevice7* device = Device(Target(8, 8));
    std::vector<DDPIXELFORMAT> formats;
    ASSERT_EQ(device->EnumTextureFormats(KeepFormat, &formats), D3D_OK);
    ASSERT_EQ(formats.size(), 9u);
    int luminance = 0, bump = 0, palette = 0, fourBitAlpha = 0;
    for (const DDPIXELFORMAT& format : formats) {
        luminance += (format.dwFlags & DDPF_LUMINANCE) != 0;
        bump += (format.dwFlags & DDPF_BUMPDUDV) != 0;
        palette += (format.dwFlags & DDPF_PALETTEINDEXED8) != 0;
        fourBitAlpha += format.dwRGBAlphaBitMask == 0xF000;
        IDirectDrawSurface7* texture = Surface(DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, 16, 8, &format);
        ASSERT_NE(texture, nullptr);
        DDPIXELFORMAT got{};
        got.dwSize = sizeof got;
        ASSERT_EQ(texture->GetPixelFormat(&got), DD_OK);
        EXPECT_TRUE(SameFormat(got, format)) << "flags " << std::hex << format.dwFlags;
        EXPECT_EQ(device->SetTexture(0, texture), D3D_OK);
    }
    EXPECT_EQ(luminance + bump + palette + fourBitAlpha, 4);
    EXPECT_EQ(device->SetTexture(0, nullptr), D3D_OK);

    SoftDxSetTextureFormats({formats[0], formats[4]});
    std::vector<DDPIXELFORMAT> changed;
    ASSERT_EQ(device->EnumTextureFormats(KeepFormat, &changed), D3D_OK);
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_TRUE(SameFormat(changed[1], formats[4]));
}

TEST_F(SoftDxDirect3D, OneCreateSurfaceMakesAWholeMipMapChain)
{
    struct Case {
        DWORD Width, Height, Count, Flags;
        std::vector<std::pair<DWORD, DWORD>> Levels;
    };
    const Case cases[] = {
        {64, 32, 4, DDSD_MIPMAPCOUNT, {{64, 32}, {32, 16}, {16, 8}, {8, 4}}},
        {4, 1, 0, 0, {{4, 1}, {2, 1}, {1, 1}}},  // no count: down to one texel
        {200, 100, 1, DDSD_MIPMAPCOUNT, {{200, 100}}},
    };
    const DDPIXELFORMAT f = RgbFormat(16, 0xF800, 0x07E0, 0x1F);
    for (const Case& c : cases) {
        DDSURFACEDESC2 d = Desc();
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | c.Flags;
        d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX | DDSCAPS_SYSTEMMEMORY;
        d.dwWidth = c.Width, d.dwHeight = c.Height, d.dwMipMapCount = c.Count, d.ddpfPixelFormat = f;
        IDirectDrawSurface7* top = nullptr;
        ASSERT_EQ(DD->CreateSurface(&d, &top, nullptr), DD_OK);
        IDirectDrawSurface7* level = top;
        level->AddRef();
        for (size_t i = 0; i < c.Levels.size(); ++i) {
            DDSURFACEDESC2 got = Desc();
            ASSERT_EQ(level->GetSurfaceDesc(&got), DD_OK);
            EXPECT_EQ(std::pair(got.dwWidth, got.dwHeight), c.Levels[i]) << c.Width << " level " << i;
            EXPECT_EQ(got.dwMipMapCount, c.Levels.size() - i);
            EXPECT_EQ((got.ddsCaps.dwCaps2 & DDSCAPS2_MIPMAPSUBLEVEL) != 0, i > 0);
            DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP, 0, 0, {0}};
            IDirectDrawSurface7* next = nullptr;
            EXPECT_EQ(level->GetAttachedSurface(&caps, &next), i + 1 < c.Levels.size() ? DD_OK : DDERR_NOTFOUND);
            level->Release();
            level = next;
        }
        EXPECT_EQ(top->Release(), 0u) << "the top level takes its levels with it";
    }
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_MIPMAPCOUNT;
    d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    d.dwWidth = 8, d.dwHeight = 8, d.dwMipMapCount = 5;
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS) << "8 x 8 has four levels";
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), DDERR_INVALIDCAPS);
}

TEST_F(SoftDxDirect3D, DevicesAreMadeOnlyOnColourSurfacesMeantFor3D)
{
    IDirect3DDevice7* device = nullptr;
    const DDPIXELFORMAT rgb = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
    EXPECT_EQ(D3D->CreateDevice(IID_IDirect3DRGBDevice, Surface(DDSCAPS_OFFSCREENPLAIN, 8, 8, &rgb), &device),
              DDERR_INVALIDCAPS);
    EXPECT_EQ(D3D->CreateDevice(IID_IDirect3DHALDevice, Target(8, 8), &device), DDERR_INVALIDPARAMS);
    const DDPIXELFORMAT indexed = IndexedFormat();
    Surface(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, 8, 8, &indexed, DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(device, nullptr);
    IDirect3DDevice7* made = Device(Target(8, 8, 16));
    IDirectDrawSurface7* target = nullptr;
    ASSERT_EQ(made->GetRenderTarget(&target), D3D_OK);
    EXPECT_EQ(target->Release(), 2u) << "the device holds its target";
}

TEST_F(SoftDxDirect3D, StatesReadBackAsSetAndBadOnesAreRefused)
{
    IDirect3DDevice7* device = Device(Target(64, 32));
    const std::pair<D3DRENDERSTATETYPE, DWORD> states[] = {
        {D3DRENDERSTATE_CULLMODE, D3DCULL_CW},      {D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS},
        {D3DRENDERSTATE_AMBIENT, 0x00102030},       {D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT},
        {D3DRENDERSTATE_TEXTUREPERSPECTIVE, FALSE}, {D3DRENDERSTATE_SPECULARENABLE, TRUE},
    };
    for (auto [state, value] : states) {
        ASSERT_EQ(device->SetRenderState(state, value), D3D_OK);
        DWORD got = ~value;
        ASSERT_EQ(device->GetRenderState(state, &got), D3D_OK);
        EXPECT_EQ(got, value) << state;
    }
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATETYPE(1000), 1), DDERR_INVALIDPARAMS);

    D3DMATRIX m = Translation(1, 2, 3), got{};
    ASSERT_EQ(device->SetTransform(D3DTRANSFORMSTATE_VIEW, &m), D3D_OK);
    ASSERT_EQ(device->GetTransform(D3DTRANSFORMSTATE_VIEW, &got), D3D_OK);
    EXPECT_EQ(got._43, 3.0f);

    D3DVIEWPORT7 viewports[] = {{0, 0, 65, 32, 0, 1}, {0, 0, 0, 32, 0, 1}, {0, 0, 64, 32, 0.5f, 0.4f}};
    for (D3DVIEWPORT7& v : viewports) EXPECT_EQ(device->SetViewport(&v), DDERR_INVALIDPARAMS);
    D3DVIEWPORT7 good{8, 4, 56, 28, 0.0f, 1.0f}, read{};
    ASSERT_EQ(device->SetViewport(&good), D3D_OK);
    ASSERT_EQ(device->GetViewport(&read), D3D_OK);
    EXPECT_EQ(read.dwX + read.dwWidth, 64u);

    D3DLIGHT7 light{};
    light.dltType = D3DLIGHT_PARALLELPOINT;
    EXPECT_EQ(device->SetLight(0, &light), DDERR_INVALIDPARAMS) << "not a Direct3D 7 light";
    light.dltType = D3DLIGHT_POINT;
    light.dvRange = -1;
    EXPECT_EQ(device->SetLight(0, &light), DDERR_INVALIDPARAMS);
    for (DWORD i = 0; i < 8; ++i) EXPECT_EQ(device->LightEnable(i, TRUE), D3D_OK);
    EXPECT_EQ(device->LightEnable(8, TRUE), D3DERR_LIGHT_SET_FAILED) << "eight lights at once at most";
    ASSERT_EQ(device->GetLight(3, &light), D3D_OK) << "enabling an unset light sets the default one";
    EXPECT_EQ(light.dltType, D3DLIGHT_DIRECTIONAL);
    WINBOOL on = FALSE;
    ASSERT_EQ(device->GetLightEnable(3, &on), D3D_OK);
    EXPECT_TRUE(on);

    EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}

TEST_F(SoftDxDirect3D, InjectedFailuresReachEachMethodByName)
{
    constexpr HRESULT Code = DDERR_OUTOFVIDEOMEMORY;
    IDirectDrawSurface7* target = Target(16, 16);
    IDirect3DDevice7* device = Device(target);
    D3DVIEWPORT7 viewport{0, 0, 16, 16, 0, 1};
    D3DDEVICEDESC7 desc{};
    DDCAPS ddCaps{};
    ddCaps.dwSize = sizeof ddCaps;
    std::vector<DDPIXELFORMAT> formats;
    Devices devices;
    const DDPIXELFORMAT z16 = ZFormat(16);
    const std::pair<const char*, std::function<HRESULT()>> calls[] = {
        {"QueryInterface(IID_IDirect3D7)",
         [&] {
             void* d3d = nullptr;
             const HRESULT hr = DD->QueryInterface(IID_IDirect3D7, &d3d);
             Keep(static_cast<IDirect3D7*>(d3d));
             return hr;
         }},
        {"EnumDevices", [&] { return D3D->EnumDevices(CountDevice, &devices); }},
        {"EnumZBufferFormats", [&] { return D3D->EnumZBufferFormats(IID_IDirect3DRGBDevice, KeepFormat, &formats); }},
        {"CreateDevice",
         [&] {
             IDirect3DDevice7* d = nullptr;
             const HRESULT hr = D3D->CreateDevice(IID_IDirect3DRGBDevice, target, &d);
             Keep(d);
             return hr;
         }},
        {"AddAttachedSurface", [&] { return target->AddAttachedSurface(ZBuffer(16, 16)); }},
        {"EnumTextureFormats", [&] { return device->EnumTextureFormats(KeepFormat, &formats); }},
        {"SetViewport", [&] { return device->SetViewport(&viewport); }},
        {"SetRenderState", [&] { return device->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE); }},
        {"IDirect3DDevice7::GetCaps", [&] { return device->GetCaps(&desc); }},
    };
    for (const auto& [name, call] : calls) {
        SoftDxFailNext(name, Code);
        EXPECT_EQ(call(), Code) << name;
        EXPECT_EQ(call(), D3D_OK) << name << " fails once only";
    }
    SoftDxFailNext("CreateSurface(ZBUFFER)", Code);
    EXPECT_NE(Target(16, 16), nullptr) << "a render target is no z-buffer";
    Surface(DDSCAPS_ZBUFFER, 16, 16, &z16, Code);
    EXPECT_EQ(DD->GetCaps(&ddCaps, nullptr), DD_OK);
    SoftDxFailNext("IDirect3DDevice7::GetCaps", Code);
    EXPECT_EQ(DD->GetCaps(&ddCaps, nullptr), DD_OK) << "DirectDraw's GetCaps is another method";
}
