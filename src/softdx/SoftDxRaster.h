#pragma once
// The software Direct3D's pipeline, in three steps: vertices are transformed and lit
// (SoftDxTransform.cpp), triangles are clipped, projected, culled and set up
// (SoftDxRasterSetup.cpp), and their pixels are filled span by span (SoftDxRaster.cpp).
#include <cstdint>
#include <vector>

#include "SoftDxBlit.h"

namespace softdx {

// Where a draw goes: the target's pixels, its depth (none when Depth.Bits is null) and the
// rectangle drawing stays inside (the viewport within the surface).
struct RasterTarget {
    enum Layouts : uint8_t { Xrgb8888, Rgb565, Xrgb1555 };
    PixelView Colour;
    Layouts Layout = Xrgb8888;
    uint32_t AlphaMask = 0;  // the target's alpha bits, written with the texel's alpha
    PixelView Depth;
    uint32_t DepthBits = 0;  // 0 (no z-buffer), 16 or 32
    RECT Clip{};
};

// A texture's top level as 0xAARRGGBB texels.
struct TextureView {
    const uint32_t* Texels = nullptr;
    uint32_t Width = 0, Height = 0;
};

struct PipelineState {
    D3DMATRIX World{}, View{}, Projection{};
    D3DVIEWPORT7 Viewport{};
    D3DMATERIAL7 Material{};
    std::vector<D3DLIGHT7> Lights;  // the enabled ones, at most eight
    D3DCOLOR Ambient = 0;
    bool Lighting = true, Specular = false, LocalViewer = true, NormalizeNormals = false;
    DWORD CullMode = D3DCULL_CCW, ShadeMode = D3DSHADE_GOURAUD;
    bool DepthTest = false, DepthWrite = true;
    DWORD DepthFunc = D3DCMP_LESSEQUAL;
    // Pixels whose alpha fails the test are not drawn (nor their depth written); blended
    // pixels mix with the target by the two factors.
    bool AlphaTest = false, AlphaBlend = false;
    DWORD AlphaFunc = D3DCMP_ALWAYS, AlphaRef = 0;
    DWORD SourceBlend = D3DBLEND_ONE, DestBlend = D3DBLEND_ZERO;
    // Texture stage 0; later stages are not drawn.
    TextureView Texture;
    DWORD ColorOp = D3DTOP_MODULATE, ColorArg1 = D3DTA_TEXTURE, ColorArg2 = D3DTA_CURRENT;
    bool Bilinear = false, ClampU = false, ClampV = false;
};

// A vertex after transform and lighting, in clip space, colours in 0..255.
struct ClipVertex {
    float X, Y, Z, W;
    float R, G, B, A;
    float SR, SG, SB;
    float U, V;
};

// One triangle in screen space: X and Y in pixels, Z in 0..1, and the attributes a
// span interpolates (texture coordinates already divided by w).
struct ScreenVertex {
    float X, Y, Z, InvW;
    float R, G, B, A;
    float SR, SG, SB;
    float UW, VW;
};

// The buffers one draw needs, kept by the device so draws do not allocate.
struct PipelineScratch {
    std::vector<ClipVertex> Vertices;
    bool ScreenSpace = false;  // the vertices came transformed (D3DFVF_XYZRHW): X, Y in pixels, W = 1 / rhw
    std::vector<uint32_t> Triangles;
    // Each vertex projected once for all the triangles that share it, and the planes it lies
    // beyond (DrawTriangles).
    std::vector<ScreenVertex> Screen;
    std::vector<uint8_t> Outside;
};

// Bytes of one vertex of the layout; 0 for layouts the pipeline does not take.
uint32_t VertexStride(DWORD fvf);
// Transforms and lights count vertices of layout fvf into scratch.Vertices.
void TransformAndLight(const PipelineState& state, DWORD fvf, const uint8_t* vertices, uint32_t count,
                       PipelineScratch& scratch);
// Draws the triangles whose corners the index triples name (into scratch.Vertices).
void DrawTriangles(const PipelineState& state, const RasterTarget& target, PipelineScratch& scratch,
                   const uint32_t* indices, size_t indexCount);
// Fills one triangle whose corners run clockwise on screen.
void RasteriseTriangle(const PipelineState& state, const RasterTarget& target, const ScreenVertex& a,
                       const ScreenVertex& b, const ScreenVertex& c);

// Fills a rectangle of the target's colour or depth.
void ClearColour(const RasterTarget& target, const RECT& rect, D3DCOLOR colour);
void ClearDepth(const RasterTarget& target, const RECT& rect, float z);

// The product a x b of two transforms (SoftDxTransform.cpp).
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b);

}  // namespace softdx
