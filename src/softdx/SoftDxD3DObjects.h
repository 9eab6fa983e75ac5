#pragma once
// The software Direct3D's objects: the Direct3D object (one per QueryInterface on a
// DirectDraw object, holding it) and the device, which draws into its render target with
// the rasteriser. Both count references as the DirectDraw objects do.
#include <array>
#include <vector>

#include "SoftDxD3DControl.h"
#include "SoftDxRaster.h"
#include "SoftDxSurface.h"

namespace softdx {

// The one device: software, so a program takes DirectDraw's emulation caps for it.
inline constexpr const GUID& SoftwareDeviceGuid = IID_IDirect3DRGBDevice;
D3DDEVICEDESC7 SoftwareDeviceDesc();
std::vector<DDPIXELFORMAT> CurrentTextureFormats();

class SoftDxDirect3D final : public SoftDxUnknown<SoftDxDirect3D, IDirect3D7, DDERR_INVALIDPARAMS> {
public:
    explicit SoftDxDirect3D(SoftDxDirectDraw* owner);
    HRESULT STDMETHODCALLTYPE EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, void* context) override;
    HRESULT STDMETHODCALLTYPE CreateDevice(REFCLSID guid, IDirectDrawSurface7* surface,
                                           IDirect3DDevice7** device) override;
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(D3DVERTEXBUFFERDESC*, IDirect3DVertexBuffer7**, DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumZBufferFormats(REFCLSID guid, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                                 void* context) override;
    HRESULT STDMETHODCALLTYPE EvictManagedTextures() override;
    HRESULT QueryOther(REFIID riid, void** object);

private:
    friend SoftDxUnknown;
    static bool Answers(REFIID riid) { return riid == IID_IDirect3D7; }
    ~SoftDxDirect3D();
    SoftDxDirectDraw* FOwner;
};

struct LightSlot {
    D3DLIGHT7 Light{};
    bool Set = false;
    bool Enabled = false;
};

class SoftDxDevice final : public SoftDxUnknown<SoftDxDevice, IDirect3DDevice7, DDERR_INVALIDPARAMS> {
public:
    SoftDxDevice(SoftDxDirect3D* direct3D, SoftDxSurface* target);
    HRESULT STDMETHODCALLTYPE GetCaps(D3DDEVICEDESC7* desc) override;
    HRESULT STDMETHODCALLTYPE EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override;
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D7** direct3D) override;
    HRESULT STDMETHODCALLTYPE SetRenderTarget(IDirectDrawSurface7* surface, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetRenderTarget(IDirectDrawSurface7** surface) override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color, D3DVALUE z,
                                    DWORD stencil) override;
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT STDMETHODCALLTYPE SetViewport(D3DVIEWPORT7* viewport) override;
    HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT7* viewport) override;
    HRESULT STDMETHODCALLTYPE SetMaterial(D3DMATERIAL7* material) override;
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL7* material) override;
    HRESULT STDMETHODCALLTYPE SetLight(DWORD index, D3DLIGHT7* light) override;
    HRESULT STDMETHODCALLTYPE GetLight(DWORD index, D3DLIGHT7* light) override;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) override;
    HRESULT STDMETHODCALLTYPE BeginStateBlock() override;
    HRESULT STDMETHODCALLTYPE EndStateBlock(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE PreLoad(IDirectDrawSurface7*) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount,
                                            DWORD flags) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount,
                                                   WORD* indices, DWORD indexCount, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetClipStatus(D3DCLIPSTATUS*) override;
    HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS*) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitiveStrided(D3DPRIMITIVETYPE, DWORD, D3DDRAWPRIMITIVESTRIDEDDATA*, DWORD,
                                                   DWORD) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveStrided(D3DPRIMITIVETYPE, DWORD, D3DDRAWPRIMITIVESTRIDEDDATA*, DWORD,
                                                          WORD*, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitiveVB(D3DPRIMITIVETYPE, IDirect3DVertexBuffer7*, DWORD, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE, IDirect3DVertexBuffer7*, DWORD, DWORD, WORD*,
                                                     DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE ComputeSphereVisibility(D3DVECTOR*, D3DVALUE*, DWORD, DWORD, DWORD*) override;
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, IDirectDrawSurface7** surface) override;
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirectDrawSurface7* surface) override;
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, LPDWORD value) override;
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT STDMETHODCALLTYPE ValidateDevice(LPDWORD passes) override;
    HRESULT STDMETHODCALLTYPE ApplyStateBlock(DWORD) override;
    HRESULT STDMETHODCALLTYPE CaptureStateBlock(DWORD) override;
    HRESULT STDMETHODCALLTYPE DeleteStateBlock(DWORD) override;
    HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE Load(IDirectDrawSurface7*, POINT*, IDirectDrawSurface7*, RECT*, DWORD) override;
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, WINBOOL enable) override;
    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD index, WINBOOL* enabled) override;
    HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD, D3DVALUE*) override;
    HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD, D3DVALUE*) override;
    HRESULT STDMETHODCALLTYPE GetInfo(DWORD, void*, DWORD) override;

private:
    friend SoftDxUnknown;
    static bool Answers(REFIID riid) { return riid == IID_IDirect3DDevice7; }
    ~SoftDxDevice();
    // One draw call: checks it, gathers the state the pipeline needs and runs it. Depth is
    // tested only when enabled and a z-buffer is attached.
    HRESULT Draw(D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices, DWORD vertexCount, const WORD* indices,
                 DWORD indexCount);
    RasterTarget Target() const;

    SoftDxDirect3D* FDirect3D;
    SoftDxSurface* FTarget;
    bool FInScene = false;
    std::array<D3DMATRIX, 3> FTransforms{};  // world, view, projection
    D3DVIEWPORT7 FViewport{};
    D3DMATERIAL7 FMaterial{};
    std::vector<LightSlot> FLights;
    std::array<DWORD, 256> FRenderStates{};
    static constexpr DWORD Stages = 8;
    std::array<std::array<DWORD, 32>, Stages> FStageStates{};
    std::array<SoftDxSurface*, Stages> FTextures{};  // owned references
    PipelineScratch FScratch;
};

}  // namespace softdx
