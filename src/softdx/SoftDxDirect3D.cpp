// The software Direct3D object, reached by QueryInterface(IID_IDirect3D7) on DirectDraw, with
// its one device's description and the tests' controls of it.
// Implements: IDirect3D7 (SoftDxDirect3D); SoftDxDirectDraw::QueryOther; SoftDxSetTextureCaps,
// SoftDxDefaultTextureCaps, SoftDxSetTextureFormats, SoftDxDefaultTextureFormats.
// Not implemented: vertex buffers (CreateVertexBuffer answers DDERR_UNSUPPORTED).
#include <cstring>
#include <mutex>
#include <new>
#include <optional>

#include "SoftDxD3DObjects.h"

namespace {

std::mutex controlLock;
std::optional<DWORD> textureCaps;
std::optional<std::vector<DDPIXELFORMAT>> textureFormats;

constexpr DWORD DefaultTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA;

}  // namespace

void SoftDxSetTextureCaps(DWORD caps)
{
    std::lock_guard guard(controlLock);
    textureCaps = caps;
}

DWORD SoftDxDefaultTextureCaps() { return DefaultTextureCaps; }

void SoftDxSetTextureFormats(std::vector<DDPIXELFORMAT> formats)
{
    std::lock_guard guard(controlLock);
    textureFormats = std::move(formats);
}

std::vector<DDPIXELFORMAT> SoftDxDefaultTextureFormats() { return softdx::TextureFormats(); }

namespace softdx {

void ResetDirect3DControls()
{
    std::lock_guard guard(controlLock);
    textureCaps.reset();
    textureFormats.reset();
}

std::vector<DDPIXELFORMAT> CurrentTextureFormats()
{
    std::lock_guard guard(controlLock);
    return textureFormats ? *textureFormats : TextureFormats();
}

D3DDEVICEDESC7 SoftwareDeviceDesc()
{
    DWORD texture;
    {
        std::lock_guard guard(controlLock);
        texture = textureCaps.value_or(DefaultTextureCaps);
    }
    D3DDEVICEDESC7 d;
    std::memset(&d, 0, sizeof d);
    // What the rasteriser really does, and nothing it does not.
    d.dwDevCaps = D3DDEVCAPS_FLOATTLVERTEX | D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                  D3DDEVCAPS_TEXTURESYSTEMMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_CANRENDERAFTERFLIP |
                  D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_DRAWPRIMITIVES2EX;
    D3DPRIMCAPS& p = d.dpcTriCaps;
    p.dwSize = sizeof p;
    p.dwMiscCaps = D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW;
    p.dwRasterCaps = D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_SUBPIXEL;
    p.dwZCmpCaps = D3DPCMPCAPS_NEVER | D3DPCMPCAPS_LESS | D3DPCMPCAPS_EQUAL | D3DPCMPCAPS_LESSEQUAL |
                   D3DPCMPCAPS_GREATER | D3DPCMPCAPS_NOTEQUAL | D3DPCMPCAPS_GREATEREQUAL | D3DPCMPCAPS_ALWAYS;
    p.dwSrcBlendCaps = p.dwDestBlendCaps =
        D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR | D3DPBLENDCAPS_INVSRCCOLOR |
        D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA | D3DPBLENDCAPS_DESTALPHA | D3DPBLENDCAPS_INVDESTALPHA |
        D3DPBLENDCAPS_DESTCOLOR | D3DPBLENDCAPS_INVDESTCOLOR | D3DPBLENDCAPS_SRCALPHASAT | D3DPBLENDCAPS_BOTHSRCALPHA |
        D3DPBLENDCAPS_BOTHINVSRCALPHA;
    p.dwAlphaCmpCaps = p.dwZCmpCaps;
    p.dwShadeCaps = D3DPSHADECAPS_COLORFLATRGB | D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARFLATRGB |
                    D3DPSHADECAPS_SPECULARGOURAUDRGB | D3DPSHADECAPS_ALPHAFLATBLEND | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
    p.dwTextureCaps = texture;
    p.dwTextureFilterCaps = D3DPTFILTERCAPS_NEAREST | D3DPTFILTERCAPS_LINEAR | D3DPTFILTERCAPS_MINFPOINT |
                            D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    p.dwTextureBlendCaps = D3DPTBLENDCAPS_MODULATE;
    p.dwTextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_INDEPENDENTUV;
    d.dpcLineCaps = p;
    d.dwDeviceRenderBitDepth = DDBD_16 | DDBD_32;
    d.dwDeviceZBufferBitDepth = DDBD_16 | DDBD_32;
    d.dwMinTextureWidth = d.dwMinTextureHeight = 1;
    d.dwMaxTextureWidth = d.dwMaxTextureHeight = 4096;
    d.dwMaxTextureRepeat = 32768;
    d.dwMaxTextureAspectRatio = 4096;
    d.dwFVFCaps = 1;  // one set of texture coordinates
    d.dwTextureOpCaps =
        D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 | D3DTEXOPCAPS_MODULATE;
    d.wMaxTextureBlendStages = 1;
    d.wMaxSimultaneousTextures = 1;
    d.dwMaxActiveLights = 8;
    d.dvMaxVertexW = 1e10f;
    d.deviceGUID = SoftwareDeviceGuid;
    d.dwVertexProcessingCaps = D3DVTXPCAPS_DIRECTIONALLIGHTS | D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
    return d;
}

HRESULT SoftDxDirectDraw::QueryOther(REFIID riid, void** object)
{
    if (riid != IID_IDirect3D7) return E_NOINTERFACE;
    SOFTDX_ENTER("QueryInterface(IID_IDirect3D7)");
    try {
        *object = static_cast<IDirect3D7*>(new SoftDxDirect3D(this));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

SoftDxDirect3D::SoftDxDirect3D(SoftDxDirectDraw* owner) : FOwner(owner) { FOwner->AddRef(); }

SoftDxDirect3D::~SoftDxDirect3D() { FOwner->Release(); }

HRESULT SoftDxDirect3D::QueryOther(REFIID riid, void** object)
{
    if (riid != IID_IDirectDraw7) return E_NOINTERFACE;
    FOwner->AddRef();
    *object = static_cast<IDirectDraw7*>(FOwner);
    return S_OK;
}

HRESULT SoftDxDirect3D::EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, void* context)
{
    SOFTDX_ENTER("EnumDevices");
    if (!callback) return DDERR_INVALIDPARAMS;
    char description[] = "Vellumine software rasteriser";
    char name[] = "Software Rasteriser";
    D3DDEVICEDESC7 desc = SoftwareDeviceDesc();
    callback(description, name, &desc, context);
    return D3D_OK;
}

HRESULT SoftDxDirect3D::CreateDevice(REFCLSID guid, IDirectDrawSurface7* surface, IDirect3DDevice7** device)
{
    SOFTDX_ENTER("CreateDevice");
    if (!surface || !device) return DDERR_INVALIDPARAMS;
    *device = nullptr;
    if (guid != SoftwareDeviceGuid) return DDERR_INVALIDPARAMS;
    auto* target = static_cast<SoftDxSurface*>(surface);
    if (!(target->Caps() & DDSCAPS_3DDEVICE)) return DDERR_INVALIDCAPS;
    const PixelFormat& f = target->Format();
    if (!f.IsColour() || f.Indexed || (f.Bits != 16 && f.Bits != 32)) return DDERR_INVALIDPIXELFORMAT;
    try {
        *device = new SoftDxDevice(this, target);
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT SoftDxDirect3D::CreateVertexBuffer(D3DVERTEXBUFFERDESC*, IDirect3DVertexBuffer7** buffer, DWORD)
{
    SOFTDX_ENTER("CreateVertexBuffer");
    if (buffer) *buffer = nullptr;
    return DDERR_UNSUPPORTED;
}

HRESULT SoftDxDirect3D::EnumZBufferFormats(REFCLSID guid, LPD3DENUMPIXELFORMATSCALLBACK callback, void* context)
{
    SOFTDX_ENTER("EnumZBufferFormats");
    if (!callback) return DDERR_INVALIDPARAMS;
    if (guid != SoftwareDeviceGuid) return DDERR_INVALIDPARAMS;
    for (DDPIXELFORMAT format : ZBufferFormats())
        if (callback(&format, context) == D3DENUMRET_CANCEL) break;
    return D3D_OK;
}

HRESULT SoftDxDirect3D::EvictManagedTextures()
{
    SOFTDX_ENTER("EvictManagedTextures");
    return D3D_OK;
}

}  // namespace softdx
