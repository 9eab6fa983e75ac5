// The software Direct3D device's drawing: Clear, DrawPrimitive and DrawIndexedPrimitive,
// which gather the device's state for the pipeline (SoftDxRaster.h).
// Implements: SoftDxDevice::Clear, DrawPrimitive, DrawIndexedPrimitive.
// Not implemented: point and line primitives (DDERR_UNSUPPORTED), fog, stencil, texture
// stages after the first.
#include <algorithm>

#include "SoftDxD3DObjects.h"

namespace softdx {

namespace {

RECT Intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

// The triangles of a list, strip or fan as index triples into the vertices (or into the
// index list, when given). Strips alternate their winding back to the first triangle's.
bool TriangleIndices(D3DPRIMITIVETYPE type, const WORD* indices, DWORD count, std::vector<uint32_t>& out)
{
    out.clear();
    auto at = [&](DWORD i) { return indices ? uint32_t{indices[i]} : uint32_t(i); };
    switch (type) {
    case D3DPT_TRIANGLELIST:
        for (DWORD i = 0; i + 2 < count; i += 3) out.insert(out.end(), {at(i), at(i + 1), at(i + 2)});
        return true;
    case D3DPT_TRIANGLESTRIP:
        for (DWORD i = 0; i + 2 < count; ++i) {
            if (i % 2)
                out.insert(out.end(), {at(i + 1), at(i), at(i + 2)});
            else
                out.insert(out.end(), {at(i), at(i + 1), at(i + 2)});
        }
        return true;
    case D3DPT_TRIANGLEFAN:
        for (DWORD i = 1; i + 1 < count; ++i) out.insert(out.end(), {at(0), at(i), at(i + 1)});
        return true;
    default: return false;
    }
}

RasterTarget::Layouts LayoutOf(const PixelFormat& f)
{
    if (f.Bits == 32) return RasterTarget::Xrgb8888;
    return f.GreenMask == 0x07E0 ? RasterTarget::Rgb565 : RasterTarget::Xrgb1555;
}

}  // namespace

RasterTarget SoftDxDevice::Target() const
{
    RasterTarget t;
    t.Colour = FTarget->WritableView();
    t.Layout = LayoutOf(FTarget->Format());
    t.AlphaMask = FTarget->Format().AlphaMask;
    const RECT surface{0, 0, LONG(t.Colour.Width), LONG(t.Colour.Height)};
    const RECT viewport{LONG(FViewport.dwX), LONG(FViewport.dwY), LONG(FViewport.dwX + FViewport.dwWidth),
                        LONG(FViewport.dwY + FViewport.dwHeight)};
    t.Clip = Intersect(surface, viewport);
    if (SoftDxSurface* z = FTarget->ZBuffer()) {
        t.Depth = z->WritableView();
        t.DepthBits = z->Format().Bits;
    }
    return t;
}

HRESULT SoftDxDevice::Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color, D3DVALUE z, DWORD)
{
    SOFTDX_ENTER("Clear");
    if ((count && !rects) || !(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
        return DDERR_INVALIDPARAMS;
    const RasterTarget target = Target();
    if ((flags & D3DCLEAR_ZBUFFER) && !target.DepthBits) return D3DERR_ZBUFFER_NOTPRESENT;
    if (flags & D3DCLEAR_STENCIL) return D3DERR_STENCILBUFFER_NOTPRESENT;
    if (!(z >= 0.0f && z <= 1.0f)) return DDERR_INVALIDPARAMS;
    if (FTarget->Busy() || (FTarget->ZBuffer() && FTarget->ZBuffer()->Busy())) return DDERR_SURFACEBUSY;
    // No rectangles clears the whole viewport.
    std::vector<RECT> areas;
    if (count == 0) areas.push_back(target.Clip);
    for (DWORD i = 0; i < count; ++i)
        areas.push_back(Intersect(target.Clip, RECT{rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2}));
    for (const RECT& area : areas) {
        if (area.left >= area.right || area.top >= area.bottom) continue;
        if (flags & D3DCLEAR_TARGET) ClearColour(target, area, color);
        if (flags & D3DCLEAR_ZBUFFER) ClearDepth(target, area, z);
    }
    FTarget->Drawn(!FInScene);
    if (FTarget->ZBuffer()) FTarget->ZBuffer()->Drawn(false);
    return D3D_OK;
}

HRESULT SoftDxDevice::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount, DWORD)
{
    SOFTDX_ENTER("DrawPrimitive");
    return Draw(type, fvf, vertices, vertexCount, nullptr, vertexCount);
}

HRESULT SoftDxDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount,
                                           WORD* indices, DWORD indexCount, DWORD)
{
    SOFTDX_ENTER("DrawIndexedPrimitive");
    if (!indices && indexCount) return DDERR_INVALIDPARAMS;
    return Draw(type, fvf, vertices, vertexCount, indices, indexCount);
}

HRESULT SoftDxDevice::Draw(D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices, DWORD vertexCount,
                           const WORD* indices, DWORD indexCount)
{
    if (!vertices && vertexCount) return DDERR_INVALIDPARAMS;
    if (!FInScene) return D3DERR_SCENE_NOT_IN_SCENE;
    if (vertexCount > D3DMAXNUMVERTICES) return D3DERR_TOOMANYVERTICES;
    if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDPRIMITIVETYPE;
    if (type < D3DPT_TRIANGLELIST) return DDERR_UNSUPPORTED;
    const uint32_t stride = VertexStride(fvf);
    if (!stride) return D3DERR_INVALIDVERTEXFORMAT;
    if (FTarget->Busy()) return DDERR_SURFACEBUSY;
    if (indices)
        for (DWORD i = 0; i < indexCount; ++i)
            if (indices[i] >= vertexCount) return DDERR_INVALIDPARAMS;

    std::vector<uint32_t>& triangles = FScratch.Triangles;
    TriangleIndices(type, indices, indexCount, triangles);
    if (triangles.empty()) return D3D_OK;

    PipelineState s;
    s.World = FTransforms[0];
    s.View = FTransforms[1];
    s.Projection = FTransforms[2];
    s.Viewport = FViewport;
    s.Material = FMaterial;
    for (const LightSlot& slot : FLights)
        if (slot.Enabled) s.Lights.push_back(slot.Light);
    const auto& rs = FRenderStates;
    s.Ambient = rs[D3DRENDERSTATE_AMBIENT];
    s.Lighting = rs[D3DRENDERSTATE_LIGHTING] != FALSE;
    s.Specular = rs[D3DRENDERSTATE_SPECULARENABLE] != FALSE;
    s.LocalViewer = rs[D3DRENDERSTATE_LOCALVIEWER] != FALSE;
    s.NormalizeNormals = rs[D3DRENDERSTATE_NORMALIZENORMALS] != FALSE;
    s.CullMode = rs[D3DRENDERSTATE_CULLMODE];
    s.ShadeMode = rs[D3DRENDERSTATE_SHADEMODE];
    const RasterTarget target = Target();
    s.DepthTest = rs[D3DRENDERSTATE_ZENABLE] != D3DZB_FALSE && target.DepthBits != 0;
    s.DepthWrite = rs[D3DRENDERSTATE_ZWRITEENABLE] != FALSE;
    s.DepthFunc = rs[D3DRENDERSTATE_ZFUNC];
    s.AlphaTest = rs[D3DRENDERSTATE_ALPHATESTENABLE] != FALSE && rs[D3DRENDERSTATE_ALPHAFUNC] != D3DCMP_ALWAYS;
    s.AlphaFunc = rs[D3DRENDERSTATE_ALPHAFUNC];
    s.AlphaRef = rs[D3DRENDERSTATE_ALPHAREF] & 0xFF;
    s.SourceBlend = rs[D3DRENDERSTATE_SRCBLEND];
    s.DestBlend = rs[D3DRENDERSTATE_DESTBLEND];
    s.AlphaBlend = rs[D3DRENDERSTATE_ALPHABLENDENABLE] != FALSE &&
                   !(s.SourceBlend == D3DBLEND_ONE && s.DestBlend == D3DBLEND_ZERO);
    const auto& stage = FStageStates[0];
    s.ColorOp = stage[D3DTSS_COLOROP];
    s.ColorArg1 = stage[D3DTSS_COLORARG1];
    s.ColorArg2 = stage[D3DTSS_COLORARG2];
    s.Bilinear = stage[D3DTSS_MAGFILTER] == D3DTFG_LINEAR || stage[D3DTSS_MINFILTER] == D3DTFN_LINEAR;
    s.ClampU = stage[D3DTSS_ADDRESSU] == D3DTADDRESS_CLAMP;
    s.ClampV = stage[D3DTSS_ADDRESSV] == D3DTADDRESS_CLAMP;
    if (SoftDxSurface* texture = FTextures[0]; texture && (fvf & D3DFVF_TEXCOUNT_MASK)) {
        if (texture->Busy()) return DDERR_SURFACEBUSY;
        const std::vector<uint32_t>& texels = texture->Texels();
        const PixelView view = texture->View();
        if (!texels.empty()) s.Texture = {texels.data(), view.Width, view.Height};
    }

    TransformAndLight(s, fvf, static_cast<const uint8_t*>(vertices), vertexCount, FScratch);
    DrawTriangles(s, target, FScratch, triangles.data(), triangles.size());
    FTarget->Drawn(false);
    if (s.DepthTest && s.DepthWrite) FTarget->ZBuffer()->Drawn(false);
    return D3D_OK;
}

}  // namespace softdx
