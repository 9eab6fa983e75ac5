// The device's Direct3D side: the Direct3D device and z-buffer lists, the 3D stages of the
// start (render surface, z-buffer, 3D device, viewport, default states) and their undo, and
// what the texture surfaces ask of the 3D device.
#include <cstring>

#include "wdx/WDirectX.h"

namespace {
[[noreturn]] void IndexError(int index)
{
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

DDSURFACEDESC2 EmptyDesc()
{
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    return desc;
}

D3DCOLORVALUE Color(float r, float g, float b, float a)
{
    D3DCOLORVALUE c;
    c.r = r;
    c.g = g;
    c.b = b;
    c.a = a;
    return c;
}
}  // namespace

HRESULT WINAPI TWDirectX::EnumD3DDevice(LPSTR description, LPSTR name, LPD3DDEVICEDESC7 desc, LPVOID context)
{
    auto* device = static_cast<TWDirectX*>(context);
    Td3dDeviceInfo info;
    info.Guid = desc->deviceGUID;
    info.Description = description ? description : "";
    info.Name = name ? name : "";
    info.Desc = *desc;
    info.IsHardware = (desc->dwDevCaps & D3DDEVCAPS_HWRASTERIZATION) != 0;
    bool accept = true;
    device->OnAcceptD3DDevice(device, info, accept);
    if (accept) device->FD3DDevices.push_back(info);
    return D3DENUMRET_OK;
}

void TWDirectX::GetD3DDevices()
{
    LogAll("TWDirectX.GetD3DDevices");
    FD3DDevices.clear();
    if (!FDirect3D) return;
    FDirect3D->EnumDevices(&TWDirectX::EnumD3DDevice, this);
    if (ComboBoxD3DDevices) {
        ComboBoxD3DDevices->ClearItems();
        for (const Td3dDeviceInfo& d : FD3DDevices) ComboBoxD3DDevices->AddItem(d.Name + ", " + d.Description);
    }
    SetD3DDevice(0);
    OnUpdateD3DDevice(this);
}

void TWDirectX::SetD3DDevice(int index)
{
    if (ComboBoxD3DDevices) ComboBoxD3DDevices->SetItemIndex(FD3DDeviceIndex);
    if (index >= 0 && index < D3DDeviceCount()) FD3DDeviceIndex = index;
    if (ComboBoxD3DDevices) ComboBoxD3DDevices->SetItemIndex(FD3DDeviceIndex);
    const bool selected = FD3DDeviceIndex >= 0 && FD3DDeviceIndex < D3DDeviceCount();
    GetZBuffers(selected ? FD3DDevices[static_cast<size_t>(FD3DDeviceIndex)].GuidPtr() : nullptr);
}

Td3dDeviceInfo TWDirectX::GetD3DDeviceInfo(int index) const
{
    if (index < 0 || index >= D3DDeviceCount()) IndexError(index);
    return FD3DDevices[static_cast<size_t>(index)];
}

// Collects z-buffer and texture formats alike: context is the list to append to.
HRESULT WINAPI TWDirectX::EnumPixelFormat(LPDDPIXELFORMAT format, LPVOID context)
{
    static_cast<std::vector<DDPIXELFORMAT>*>(context)->push_back(*format);
    return D3DENUMRET_OK;
}

void TWDirectX::GetZBuffers(const GUID* deviceGuid)
{
    LogAll("TWDirectX.GetZBuffers");
    FZBuffers.clear();
    // Every format is listed: OnAcceptZBuffer is published but never raised.
    if (!FDirect3D || !deviceGuid) return;
    FDirect3D->EnumZBufferFormats(*deviceGuid, &TWDirectX::EnumPixelFormat, &FZBuffers);
    if (ComboBoxZBuffer) {
        ComboBoxZBuffer->ClearItems();
        for (const TDDPixelFormat_DX6& f : FZBuffers)
            ComboBoxZBuffer->AddItem("Z Buffer Depth:" + std::to_string(f.dwZBufferBitDepth) +
                                     ", Stencil Depth:" + std::to_string(f.dwStencilBitDepth));
    }
    SetZBuffer(0);
    OnUpdateZBuffer(this);
}

TDDPixelFormat_DX6 TWDirectX::GetZBufferInfo(int index) const
{
    if (index < 0 || index >= ZBufferCount()) IndexError(index);
    return FZBuffers[static_cast<size_t>(index)];
}

HRESULT TWDirectX::Create3DSurface(bool hardware, TComPtr<IDirectDrawSurface7>& surface)
{
    DDSURFACEDESC2 desc = EmptyDesc();
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = static_cast<DWORD>(OutputWidth());
    desc.dwHeight = static_cast<DWORD>(OutputHeight());
    desc.ddsCaps.dwCaps =
        DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | (hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
    return FDirectDraw->CreateSurface(&desc, surface.Put(), nullptr);
}

HRESULT TWDirectX::CreateZBufferSurface()
{
    DDSURFACEDESC2 desc = EmptyDesc();
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (FIsHardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
    desc.dwWidth = static_cast<DWORD>(OutputWidth());
    desc.dwHeight = static_cast<DWORD>(OutputHeight());
    // Without a selected format the description asks for none, which DirectDraw refuses.
    if (FZBufferIndex >= 0 && FZBufferIndex < ZBufferCount())
        desc.ddpfPixelFormat = FZBuffers[static_cast<size_t>(FZBufferIndex)];
    return FDirectDraw->CreateSurface(&desc, FZBuffer.Put(), nullptr);
}

void TWDirectX::StartDirect3D()
{
    using enum TStartStage;
    FStartStage = Direct3DObject;
    if (!FDirect3D) Fail(rkNone, "TWDirectX.StartAll - No COM for Direct3D", DD_OK);

    // Without a listed device the start goes on as for a software device, and CreateDevice
    // refuses the empty GUID.
    const bool selected = FD3DDeviceIndex >= 0 && FD3DDeviceIndex < D3DDeviceCount();
    const Td3dDeviceInfo device = selected ? FD3DDevices[static_cast<size_t>(FD3DDeviceIndex)] : Td3dDeviceInfo{};
    FIsHardware = device.IsHardware;
    LogAll(FIsHardware ? "TWDirectX.StartAll - Device is hardware" : "TWDirectX.StartAll - Device is software");
    FActiveCaps = FIsHardware ? FDriverCaps : FEmulationCaps;

    const bool fullScreen = IsFullScreen();
    FStartStage = RenderSurface;
    if (!fullScreen) {
        TComPtr<IDirectDrawSurface7> surface;
        HRESULT result = Create3DSurface(FIsHardware, surface);
        if (result != DD_OK && FIsHardware) result = Create3DSurface(false, surface);
        if (result != DD_OK) Fail(rkDirect3D, "TWDirectX.StartAll - Create 3D surface", result);
        FRenderTarget->Start(this, surface.Get());
        FRenderTarget->SetColorKey(clBlack);
    }
    // A full-screen device renders into the first back surface, a windowed one into its own.
    IDirectDrawSurface7* target = fullScreen ? FBack1->Surface() : FRenderTarget->Surface();

    FStartStage = ZBufferFormat;
    if (UseZBuffer) {
        HRESULT result = CreateZBufferSurface();
        if (result != DD_OK) {
            const std::string text = FormatError(rkDirectDraw, "TWDirectX.StartAll - Create Z buffer", result) +
                                     " W:" + std::to_string(OutputWidth()) + " H:" + std::to_string(OutputHeight());
            for (int i = 0; i < ZBufferCount() && result != DD_OK; ++i) {
                SetZBuffer(i);
                result = CreateZBufferSurface();
            }
            if (result != DD_OK) throw TStartFailure{text};
        }
        FStartStage = ZBufferAttached;
        // A full-screen device without back surfaces has nothing to attach to.
        result = target ? target->AddAttachedSurface(FZBuffer.Get()) : DDERR_INVALIDOBJECT;
        if (result != DD_OK) Fail(rkDirectDraw, "TWDirectX.StartAll - Attached Z buffer)", result);
    }

    FStartStage = Direct3DDevice;
    HRESULT result = target ? FDirect3D->CreateDevice(device.Guid, target, FD3DDevice.Put()) : DDERR_INVALIDOBJECT;
    if (result != DD_OK) Fail(rkDirect3D, "TWDirectX.StartAll - Create 3D Device", result);

    FStartStage = Viewport;
    FViewport = D3DVIEWPORT7{};
    FViewport.dwWidth = static_cast<DWORD>(OutputWidth());
    FViewport.dwHeight = static_cast<DWORD>(OutputHeight());
    FViewport.dvMinZ = vpMinZ;
    FViewport.dvMaxZ = vpMaxZ;
    result = FD3DDevice->SetViewport(&FViewport);
    if (result != DD_OK) Fail(rkDirect3D, "TWDirectX.StartAll - Set ViewPort", result);
    SetDefaultRenderStates();
}

void TWDirectX::StopDirect3D(TStartStage stage)
{
    using enum TStartStage;
    if (stage > Direct3DDevice) FD3DDevice.Reset();
    if (stage > ZBufferFormat) FZBuffer.Reset();
    if (stage > RenderSurface && FRenderTarget) FRenderTarget->Stop();
}

void TWDirectX::SetDefaultRenderStates()
{
    if (!FD3DDevice) return;
    const std::pair<D3DRENDERSTATETYPE, DWORD> states[] = {
        {D3DRENDERSTATE_ALPHABLENDENABLE, FALSE},
        {D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE},
        {D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE},
        {D3DRENDERSTATE_ALPHATESTENABLE, FALSE},
        {D3DRENDERSTATE_AMBIENT, 0},
        {D3DRENDERSTATE_ZENABLE, UseZBuffer ? TRUE : FALSE},
        {D3DRENDERSTATE_SPECULARENABLE, FALSE},
        {D3DRENDERSTATE_ANTIALIAS, D3DANTIALIAS_NONE},
        {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID},
        {D3DRENDERSTATE_CULLMODE, D3DCULL_CCW},
        {D3DRENDERSTATE_COLORKEYENABLE, FALSE},
        {D3DRENDERSTATE_DITHERENABLE, FALSE},
        {D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE},
    };
    for (const auto& [state, value] : states) FD3DDevice->SetRenderState(state, value);
}

void TWDirectX::SetDefaultMaterial()
{
    if (!FD3DDevice) return;
    D3DMATERIAL7 material;
    std::memset(&material, 0, sizeof material);
    material.diffuse = Color(1, 1, 1, 1);
    material.ambient = Color(1, 1, 1, 1);
    material.specular = Color(0, 0, 0, 1);
    material.emissive = Color(0, 0, 0, 1);
    material.power = 40;
    FD3DDevice->SetMaterial(&material);
}

// Texture capabilities come from the started 3D device itself when there is one (what it
// answers now), otherwise from the description the selected device was listed with; a
// device without a selected 3D device asks for nothing (no power-of-two, no square rule).
DWORD TWDirectX::TextureCaps() const
{
    if (FD3DDevice) {
        D3DDEVICEDESC7 desc;
        std::memset(&desc, 0, sizeof desc);
        if (FD3DDevice->GetCaps(&desc) == D3D_OK) return desc.dpcTriCaps.dwTextureCaps;
    }
    if (FD3DDeviceIndex >= 0 && FD3DDeviceIndex < D3DDeviceCount())
        return FD3DDevices[static_cast<size_t>(FD3DDeviceIndex)].Desc.dpcTriCaps.dwTextureCaps;
    return 0;
}

bool TWDirectX::TextureDeviceIsHardware() const
{
    if (FD3DDeviceIndex < 0 || FD3DDeviceIndex >= D3DDeviceCount()) return false;
    return FD3DDevices[static_cast<size_t>(FD3DDeviceIndex)].IsHardware;
}

// Texture formats are a 3D device's: they are enumerated from the started one. A device
// that has none (Direct3D disabled or not started yet) offers no format, so a texture asked
// of it fails with "Looking for texture" rather than guessing a format DirectDraw may take
// but no 3D device could use.
const std::vector<DDPIXELFORMAT>& TWDirectX::GetTextureFormats()
{
    FTextureFormats.clear();
    if (FD3DDevice) FD3DDevice->EnumTextureFormats(&TWDirectX::EnumPixelFormat, &FTextureFormats);
    return FTextureFormats;
}
