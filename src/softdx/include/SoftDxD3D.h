#pragma once
// Direct3D 7's interfaces, reached by QueryInterface(IID_IDirect3D7) on the DirectDraw
// object. As with DirectDraw, the methods are virtual functions in the system's vtable order.
#include "SoftDxD3DCaps.h"
#include "SoftDxD3DErrors.h"
#include "SoftDxD3DStages.h"
#include "SoftDxD3DStates.h"
#include "SoftDxD3DTypes.h"
#include "SoftDxDDraw.h"

// clang-format off
inline constexpr GUID IID_IDirect3D7 = {0xF5049E77, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};
inline constexpr GUID IID_IDirect3DRGBDevice = {0xA4665C60, 0x2673, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
inline constexpr GUID IID_IDirect3DHALDevice = {0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E}};
inline constexpr GUID IID_IDirect3DRefDevice = {0x50936643, 0x13E9, 0x11D1, {0x89, 0xAA, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};
inline constexpr GUID IID_IDirect3DTnLHalDevice = {0xF5049E78, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};
inline constexpr GUID IID_IDirect3DNullDevice = {0x8767DF22, 0xBACC, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};
inline constexpr GUID IID_IDirect3DDevice7 = {0xF5049E79, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};
inline constexpr GUID IID_IDirect3DVertexBuffer7 = {0xF5049E7D, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};
// clang-format on
typedef struct _D3DCLIPSTATUS {
    DWORD dwFlags;
    DWORD dwStatus;
    float minx, maxx;
    float miny, maxy;
    float minz, maxz;
} D3DCLIPSTATUS, *LPD3DCLIPSTATUS;

typedef struct _D3DVERTEXBUFFERDESC {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwFVF;
    DWORD dwNumVertices;
} D3DVERTEXBUFFERDESC, *LPD3DVERTEXBUFFERDESC;

typedef struct _D3DDP_PTRSTRIDE {
    void* lpvData;
    DWORD dwStride;
} D3DDP_PTRSTRIDE;
#define D3DDP_MAXTEXCOORD 8
typedef struct _D3DDRAWPRIMITIVESTRIDEDDATA {
    D3DDP_PTRSTRIDE position;
    D3DDP_PTRSTRIDE normal;
    D3DDP_PTRSTRIDE diffuse;
    D3DDP_PTRSTRIDE specular;
    D3DDP_PTRSTRIDE textureCoords[D3DDP_MAXTEXCOORD];
} D3DDRAWPRIMITIVESTRIDEDDATA, *LPD3DDRAWPRIMITIVESTRIDEDDATA;

#define D3DDP_WAIT 0x00000001
#define D3DDP_DONOTCLIP 0x00000004
#define D3DDP_DONOTUPDATEEXTENTS 0x00000008
#define D3DDP_DONOTLIGHT 0x00000010
#define D3DMAXNUMVERTICES ((1 << 16) - 1)
#define D3DMAXNUMPRIMITIVES ((1 << 16) - 1)

struct IDirect3DDevice7;
struct IDirect3DVertexBuffer7;
typedef struct IDirect3D7* LPDIRECT3D7;
typedef IDirect3DDevice7* LPDIRECT3DDEVICE7;
typedef IDirect3DVertexBuffer7* LPDIRECT3DVERTEXBUFFER7;

struct IDirect3D7 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumDevices(LPD3DENUMDEVICESCALLBACK7 cb, void* ctx) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDevice(REFCLSID rclsid, IDirectDrawSurface7* surface,
                                                   IDirect3DDevice7** device) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateVertexBuffer(D3DVERTEXBUFFERDESC* desc, IDirect3DVertexBuffer7** buffer,
                                                         DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumZBufferFormats(REFCLSID device_iid, LPD3DENUMPIXELFORMATSCALLBACK cb,
                                                         void* ctx) = 0;
    virtual HRESULT STDMETHODCALLTYPE EvictManagedTextures() = 0;
};

struct IDirect3DDevice7 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCaps(D3DDEVICEDESC7* desc) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK cb, void* ctx) = 0;
    virtual HRESULT STDMETHODCALLTYPE BeginScene() = 0;
    virtual HRESULT STDMETHODCALLTYPE EndScene() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D7** d3d) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRenderTarget(IDirectDrawSurface7* surface, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRenderTarget(IDirectDrawSurface7** surface) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color, D3DVALUE z,
                                            DWORD stencil) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetViewport(D3DVIEWPORT7* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT7* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMaterial(D3DMATERIAL7* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL7* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetLight(DWORD idx, D3DLIGHT7* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLight(DWORD idx, D3DLIGHT7* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) = 0;
    virtual HRESULT STDMETHODCALLTYPE BeginStateBlock() = 0;
    virtual HRESULT STDMETHODCALLTYPE EndStateBlock(LPDWORD lpdwBlockHandle) = 0;
    virtual HRESULT STDMETHODCALLTYPE PreLoad(IDirectDrawSurface7* surface) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE primitive_type, DWORD fvf, void* vertices,
                                                    DWORD vertex_count, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE primitive_type, DWORD fvf, void* vertices,
                                                           DWORD vertex_count, WORD* indices, DWORD index_count,
                                                           DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetClipStatus(D3DCLIPSTATUS* clip_status) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS* clip_status) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrawPrimitiveStrided(D3DPRIMITIVETYPE primitive_type, DWORD fvf,
                                                           D3DDRAWPRIMITIVESTRIDEDDATA* strided_data,
                                                           DWORD vertex_count, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveStrided(D3DPRIMITIVETYPE primitive_type, DWORD fvf,
                                                                  D3DDRAWPRIMITIVESTRIDEDDATA* strided_data,
                                                                  DWORD vertex_count, WORD* indices, DWORD index_count,
                                                                  DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrawPrimitiveVB(D3DPRIMITIVETYPE primitive_type, IDirect3DVertexBuffer7* vb,
                                                      DWORD start_vertex, DWORD vertex_count, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE primitive_type,
                                                             IDirect3DVertexBuffer7* vb, DWORD start_vertex,
                                                             DWORD vertex_count, WORD* indices, DWORD index_count,
                                                             DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE ComputeSphereVisibility(D3DVECTOR* centers, D3DVALUE* radii, DWORD sphere_count,
                                                              DWORD flags, DWORD* ret) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, IDirectDrawSurface7** surface) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirectDrawSurface7* surface) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                                           LPDWORD value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ValidateDevice(LPDWORD lpdwPasses) = 0;
    virtual HRESULT STDMETHODCALLTYPE ApplyStateBlock(DWORD dwBlockHandle) = 0;
    virtual HRESULT STDMETHODCALLTYPE CaptureStateBlock(DWORD dwBlockHandle) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteStateBlock(DWORD dwBlockHandle) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE d3dsbType, LPDWORD lpdwBlockHandle) = 0;
    virtual HRESULT STDMETHODCALLTYPE Load(IDirectDrawSurface7* dst_surface, POINT* dst_point,
                                           IDirectDrawSurface7* src_surface, RECT* src_rect, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE LightEnable(DWORD dwLightIndex, WINBOOL bEnable) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD dwLightIndex, WINBOOL* pbEnable) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD dwIndex, D3DVALUE* pPlaneEquation) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD dwIndex, D3DVALUE* pPlaneEquation) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInfo(DWORD info_id, void* info, DWORD info_size) = 0;
};
