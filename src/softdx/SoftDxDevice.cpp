// The software Direct3D device's state: transforms, viewport, material, lights, render and
// texture stage states, the bound texture, scenes and the render target.
// Implements: IDirect3DDevice7 (SoftDxDevice) but for Clear and the drawing methods
// (SoftDxDeviceDraw.cpp).
// Not implemented (DDERR_UNSUPPORTED): state blocks, clip status, user clip planes,
// sphere visibility, vertex buffers, Load, GetInfo; SetRenderTarget answers it too.
#include <cmath>
#include <cstring>

#include "SoftDxD3DObjects.h"

namespace softdx {

namespace {

constexpr D3DMATRIX Identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr DWORD MaxActiveLights = 8;
constexpr DWORD MaxLightIndex = 4096;  // a bound on the light table a program can make us grow

int TransformSlot(D3DTRANSFORMSTATETYPE state)
{
    switch (state) {
    case D3DTRANSFORMSTATE_WORLD: return 0;
    case D3DTRANSFORMSTATE_VIEW: return 1;
    case D3DTRANSFORMSTATE_PROJECTION: return 2;
    default: return -1;
    }
}

// The light Direct3D makes when a program enables a light it never set: white, shining
// along +z.
D3DLIGHT7 DefaultLight()
{
    D3DLIGHT7 light;
    std::memset(&light, 0, sizeof light);
    light.dltType = D3DLIGHT_DIRECTIONAL;
    light.dcvDiffuse = {{1.0f}, {1.0f}, {1.0f}, {0.0f}};
    light.dvDirection.z = 1.0f;
    return light;
}

bool ValidLight(const D3DLIGHT7& l)
{
    if (l.dltType != D3DLIGHT_POINT && l.dltType != D3DLIGHT_SPOT && l.dltType != D3DLIGHT_DIRECTIONAL) return false;
    if (!(l.dvRange >= 0.0f) || !std::isfinite(l.dvRange)) return false;
    if (l.dltType == D3DLIGHT_SPOT && !(l.dvTheta >= 0.0f && l.dvPhi >= l.dvTheta && l.dvPhi <= float(M_PI) + 1e-5f))
        return false;
    if (l.dltType != D3DLIGHT_DIRECTIONAL &&
        (l.dvAttenuation0 < 0.0f || l.dvAttenuation1 < 0.0f || l.dvAttenuation2 < 0.0f))
        return false;
    return true;
}

}  // namespace

SoftDxDevice::SoftDxDevice(SoftDxDirect3D* direct3D, SoftDxSurface* target) : FDirect3D(direct3D), FTarget(target)
{
    FDirect3D->AddRef();
    FTarget->AddRef();
    FTransforms.fill(Identity);
    DDSURFACEDESC2 desc;
    desc.dwSize = sizeof desc;
    FTarget->GetSurfaceDesc(&desc);
    FViewport = {0, 0, desc.dwWidth, desc.dwHeight, 0.0f, 1.0f};
    // Direct3D 7's starting states; depth is on when the target came with a z-buffer.
    auto& rs = FRenderStates;
    rs[D3DRENDERSTATE_ZENABLE] = FTarget->ZBuffer() ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
    rs[D3DRENDERSTATE_LASTPIXEL] = TRUE;
    rs[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
    rs[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = TRUE;
    rs[D3DRENDERSTATE_TEXTUREMAPBLEND] = D3DTBLEND_MODULATE;
    rs[D3DRENDERSTATE_CLIPPING] = TRUE;
    rs[D3DRENDERSTATE_LIGHTING] = TRUE;
    rs[D3DRENDERSTATE_COLORVERTEX] = TRUE;
    rs[D3DRENDERSTATE_LOCALVIEWER] = TRUE;
    rs[D3DRENDERSTATE_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRENDERSTATE_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs[D3DRENDERSTATE_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRENDERSTATE_STENCILMASK] = rs[D3DRENDERSTATE_STENCILWRITEMASK] = 0xFFFFFFFF;
    for (DWORD stage = 0; stage < Stages; ++stage) {
        auto& ts = FStageStates[stage];
        ts[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ts[D3DTSS_TEXCOORDINDEX] = stage;
        ts[D3DTSS_ADDRESS] = ts[D3DTSS_ADDRESSU] = ts[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        ts[D3DTSS_MAGFILTER] = D3DTFG_POINT;
        ts[D3DTSS_MINFILTER] = D3DTFN_POINT;
        ts[D3DTSS_MIPFILTER] = D3DTFP_NONE;
        ts[D3DTSS_MAXANISOTROPY] = 1;
    }
}

SoftDxDevice::~SoftDxDevice()
{
    for (SoftDxSurface* texture : FTextures)
        if (texture) texture->Release();
    FTarget->Release();
    FDirect3D->Release();
}

HRESULT SoftDxDevice::GetCaps(D3DDEVICEDESC7* desc)
{
    SOFTDX_ENTER("IDirect3DDevice7::GetCaps");
    if (!desc) return DDERR_INVALIDPARAMS;
    *desc = SoftwareDeviceDesc();
    return D3D_OK;
}

HRESULT SoftDxDevice::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context)
{
    SOFTDX_ENTER("EnumTextureFormats");
    if (!callback) return DDERR_INVALIDPARAMS;
    for (DDPIXELFORMAT format : CurrentTextureFormats())
        if (callback(&format, context) == D3DENUMRET_CANCEL) break;
    return D3D_OK;
}

HRESULT SoftDxDevice::BeginScene()
{
    SOFTDX_ENTER("BeginScene");
    if (FInScene) return D3DERR_SCENE_IN_SCENE;
    FInScene = true;
    return D3D_OK;
}

HRESULT SoftDxDevice::EndScene()
{
    SOFTDX_ENTER("EndScene");
    if (!FInScene) return D3DERR_SCENE_NOT_IN_SCENE;
    FInScene = false;
    FTarget->Drawn(true);
    return D3D_OK;
}

HRESULT SoftDxDevice::GetDirect3D(IDirect3D7** direct3D)
{
    SOFTDX_ENTER("GetDirect3D");
    if (!direct3D) return DDERR_INVALIDPARAMS;
    FDirect3D->AddRef();
    *direct3D = FDirect3D;
    return D3D_OK;
}

HRESULT SoftDxDevice::SetRenderTarget(IDirectDrawSurface7*, DWORD)
{
    SOFTDX_ENTER("SetRenderTarget");
    return DDERR_UNSUPPORTED;
}

HRESULT SoftDxDevice::GetRenderTarget(IDirectDrawSurface7** surface)
{
    SOFTDX_ENTER("GetRenderTarget");
    if (!surface) return DDERR_INVALIDPARAMS;
    FTarget->AddRef();
    *surface = FTarget;
    return D3D_OK;
}

HRESULT SoftDxDevice::SetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    SOFTDX_ENTER("SetTransform");
    const int slot = TransformSlot(state);
    if (!matrix || slot < 0) return DDERR_INVALIDPARAMS;
    FTransforms[size_t(slot)] = *matrix;
    return D3D_OK;
}

HRESULT SoftDxDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    SOFTDX_ENTER("GetTransform");
    const int slot = TransformSlot(state);
    if (!matrix || slot < 0) return DDERR_INVALIDPARAMS;
    *matrix = FTransforms[size_t(slot)];
    return D3D_OK;
}

HRESULT SoftDxDevice::MultiplyTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    SOFTDX_ENTER("MultiplyTransform");
    const int slot = TransformSlot(state);
    if (!matrix || slot < 0) return DDERR_INVALIDPARAMS;
    FTransforms[size_t(slot)] = Multiply(*matrix, FTransforms[size_t(slot)]);
    return D3D_OK;
}

HRESULT SoftDxDevice::SetViewport(D3DVIEWPORT7* viewport)
{
    SOFTDX_ENTER("SetViewport");
    if (!viewport) return DDERR_INVALIDPARAMS;
    DDSURFACEDESC2 desc;
    desc.dwSize = sizeof desc;
    FTarget->GetSurfaceDesc(&desc);
    const D3DVIEWPORT7& v = *viewport;
    if (v.dwWidth == 0 || v.dwHeight == 0 || uint64_t{v.dwX} + v.dwWidth > desc.dwWidth ||
        uint64_t{v.dwY} + v.dwHeight > desc.dwHeight)
        return DDERR_INVALIDPARAMS;
    if (!(v.dvMinZ >= 0.0f && v.dvMaxZ <= 1.0f && v.dvMinZ <= v.dvMaxZ)) return DDERR_INVALIDPARAMS;
    FViewport = v;
    return D3D_OK;
}

HRESULT SoftDxDevice::GetViewport(D3DVIEWPORT7* viewport)
{
    SOFTDX_ENTER("GetViewport");
    if (!viewport) return DDERR_INVALIDPARAMS;
    *viewport = FViewport;
    return D3D_OK;
}

HRESULT SoftDxDevice::SetMaterial(D3DMATERIAL7* material)
{
    SOFTDX_ENTER("SetMaterial");
    if (!material) return DDERR_INVALIDPARAMS;
    FMaterial = *material;
    return D3D_OK;
}

HRESULT SoftDxDevice::GetMaterial(D3DMATERIAL7* material)
{
    SOFTDX_ENTER("GetMaterial");
    if (!material) return DDERR_INVALIDPARAMS;
    *material = FMaterial;
    return D3D_OK;
}

HRESULT SoftDxDevice::SetLight(DWORD index, D3DLIGHT7* light)
{
    SOFTDX_ENTER("SetLight");
    if (!light || index >= MaxLightIndex || !ValidLight(*light)) return DDERR_INVALIDPARAMS;
    if (index >= FLights.size()) FLights.resize(index + 1);
    FLights[index].Light = *light;
    FLights[index].Set = true;
    return D3D_OK;
}

HRESULT SoftDxDevice::GetLight(DWORD index, D3DLIGHT7* light)
{
    SOFTDX_ENTER("GetLight");
    if (!light || index >= FLights.size() || !FLights[index].Set) return DDERR_INVALIDPARAMS;
    *light = FLights[index].Light;
    return D3D_OK;
}

// More than eight lights at once is refused, as by a device reporting eight active lights.
HRESULT SoftDxDevice::LightEnable(DWORD index, WINBOOL enable)
{
    SOFTDX_ENTER("LightEnable");
    if (index >= MaxLightIndex) return DDERR_INVALIDPARAMS;
    if (index >= FLights.size()) FLights.resize(index + 1);
    LightSlot& slot = FLights[index];
    if (enable && !slot.Enabled) {
        DWORD active = 0;
        for (const LightSlot& s : FLights) active += s.Enabled ? 1 : 0;
        if (active >= MaxActiveLights) return D3DERR_LIGHT_SET_FAILED;
    }
    if (!slot.Set) {
        slot.Light = DefaultLight();
        slot.Set = true;
    }
    slot.Enabled = enable != FALSE;
    return D3D_OK;
}

HRESULT SoftDxDevice::GetLightEnable(DWORD index, WINBOOL* enabled)
{
    SOFTDX_ENTER("GetLightEnable");
    if (!enabled || index >= FLights.size() || !FLights[index].Set) return DDERR_INVALIDPARAMS;
    *enabled = FLights[index].Enabled ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT SoftDxDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    SOFTDX_ENTER("SetRenderState");
    if (state <= 0 || DWORD(state) >= FRenderStates.size()) return DDERR_INVALIDPARAMS;
    FRenderStates[size_t(state)] = value;
    return D3D_OK;
}

HRESULT SoftDxDevice::GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value)
{
    SOFTDX_ENTER("GetRenderState");
    if (!value || state <= 0 || DWORD(state) >= FRenderStates.size()) return DDERR_INVALIDPARAMS;
    *value = FRenderStates[size_t(state)];
    return D3D_OK;
}

HRESULT SoftDxDevice::GetTexture(DWORD stage, IDirectDrawSurface7** surface)
{
    SOFTDX_ENTER("GetTexture");
    if (!surface || stage >= Stages) return DDERR_INVALIDPARAMS;
    *surface = FTextures[stage];
    if (FTextures[stage]) FTextures[stage]->AddRef();
    return D3D_OK;
}

HRESULT SoftDxDevice::SetTexture(DWORD stage, IDirectDrawSurface7* surface)
{
    SOFTDX_ENTER("SetTexture");
    if (stage >= Stages) return DDERR_INVALIDPARAMS;
    auto* texture = static_cast<SoftDxSurface*>(surface);
    if (texture && !(texture->Caps() & DDSCAPS_TEXTURE)) return DDERR_INVALIDPARAMS;
    if (texture) texture->AddRef();
    if (FTextures[stage]) FTextures[stage]->Release();
    FTextures[stage] = texture;
    return D3D_OK;
}

HRESULT SoftDxDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, LPDWORD value)
{
    SOFTDX_ENTER("GetTextureStageState");
    if (!value || stage >= Stages || type <= 0 || DWORD(type) >= FStageStates[0].size()) return DDERR_INVALIDPARAMS;
    *value = FStageStates[stage][size_t(type)];
    return D3D_OK;
}

HRESULT SoftDxDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    SOFTDX_ENTER("SetTextureStageState");
    if (stage >= Stages || type <= 0 || DWORD(type) >= FStageStates[0].size()) return DDERR_INVALIDPARAMS;
    FStageStates[stage][size_t(type)] = value;
    // The old single address state sets both directions.
    if (type == D3DTSS_ADDRESS) FStageStates[stage][D3DTSS_ADDRESSU] = FStageStates[stage][D3DTSS_ADDRESSV] = value;
    return D3D_OK;
}

// One pass whenever stage 0 holds what the rasteriser does.
HRESULT SoftDxDevice::ValidateDevice(LPDWORD passes)
{
    SOFTDX_ENTER("ValidateDevice");
    if (!passes) return DDERR_INVALIDPARAMS;
    const DWORD op = FStageStates[0][D3DTSS_COLOROP];
    if (op != D3DTOP_DISABLE && op != D3DTOP_SELECTARG1 && op != D3DTOP_SELECTARG2 && op != D3DTOP_MODULATE)
        return D3DERR_UNSUPPORTEDCOLOROPERATION;
    for (DWORD stage = 1; stage < Stages; ++stage)
        if (FStageStates[stage][D3DTSS_COLOROP] != D3DTOP_DISABLE) return D3DERR_TOOMANYOPERATIONS;
    *passes = 1;
    return D3D_OK;
}

HRESULT SoftDxDevice::PreLoad(IDirectDrawSurface7*)
{
    SOFTDX_ENTER("PreLoad");
    return D3D_OK;
}

#define SOFTDX_UNSUPPORTED(signature, name) \
    HRESULT SoftDxDevice::signature         \
    {                                       \
        SOFTDX_ENTER(name);                 \
        return DDERR_UNSUPPORTED;           \
    }
SOFTDX_UNSUPPORTED(BeginStateBlock(), "BeginStateBlock")
SOFTDX_UNSUPPORTED(EndStateBlock(LPDWORD), "EndStateBlock")
SOFTDX_UNSUPPORTED(SetClipStatus(D3DCLIPSTATUS*), "SetClipStatus")
SOFTDX_UNSUPPORTED(GetClipStatus(D3DCLIPSTATUS*), "GetClipStatus")
SOFTDX_UNSUPPORTED(DrawPrimitiveStrided(D3DPRIMITIVETYPE, DWORD, D3DDRAWPRIMITIVESTRIDEDDATA*, DWORD, DWORD),
                   "DrawPrimitiveStrided")
SOFTDX_UNSUPPORTED(DrawIndexedPrimitiveStrided(D3DPRIMITIVETYPE, DWORD, D3DDRAWPRIMITIVESTRIDEDDATA*, DWORD, WORD*,
                                               DWORD, DWORD),
                   "DrawIndexedPrimitiveStrided")
SOFTDX_UNSUPPORTED(DrawPrimitiveVB(D3DPRIMITIVETYPE, IDirect3DVertexBuffer7*, DWORD, DWORD, DWORD), "DrawPrimitiveVB")
SOFTDX_UNSUPPORTED(DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE, IDirect3DVertexBuffer7*, DWORD, DWORD, WORD*, DWORD, DWORD),
                   "DrawIndexedPrimitiveVB")
SOFTDX_UNSUPPORTED(ComputeSphereVisibility(D3DVECTOR*, D3DVALUE*, DWORD, DWORD, DWORD*), "ComputeSphereVisibility")
SOFTDX_UNSUPPORTED(ApplyStateBlock(DWORD), "ApplyStateBlock")
SOFTDX_UNSUPPORTED(CaptureStateBlock(DWORD), "CaptureStateBlock")
SOFTDX_UNSUPPORTED(DeleteStateBlock(DWORD), "DeleteStateBlock")
SOFTDX_UNSUPPORTED(CreateStateBlock(D3DSTATEBLOCKTYPE, LPDWORD), "CreateStateBlock")
SOFTDX_UNSUPPORTED(Load(IDirectDrawSurface7*, POINT*, IDirectDrawSurface7*, RECT*, DWORD), "Load")
SOFTDX_UNSUPPORTED(SetClipPlane(DWORD, D3DVALUE*), "SetClipPlane")
SOFTDX_UNSUPPORTED(GetClipPlane(DWORD, D3DVALUE*), "GetClipPlane")
SOFTDX_UNSUPPORTED(GetInfo(DWORD, void*, DWORD), "GetInfo")
#undef SOFTDX_UNSUPPORTED

}  // namespace softdx
