// The software Direct3D's triangle stage: flat shading's colour choice, clipping against the
// near and far planes and a guard band round the viewport, projection to the viewport,
// and culling by winding.
// Implements: softdx::DrawTriangles.
// Not here: user clip planes; filling the pixels (SoftDxRaster.cpp).
#include <algorithm>
#include <array>
#include <cmath>

#include "SoftDxRaster.h"

namespace softdx {

namespace {

// A clipped triangle has at most one corner more per plane it crosses.
constexpr int Planes = 6;
constexpr int MaxCorners = 3 + Planes;
using Polygon = std::array<ClipVertex, MaxCorners>;

// Signed distance of a vertex from each plane, inside when not negative: near z >= 0,
// far z <= w, and x and y within the guard band (guard x w). The band keeps screen
// coordinates small enough for the rasteriser's fixed-point arithmetic while sparing most
// triangles that only overhang the viewport the cost of clipping.
float Distance(const ClipVertex& v, int plane, float guard)
{
    switch (plane) {
    case 0: return v.Z;
    case 1: return v.W - v.Z;
    case 2: return guard * v.W + v.X;
    case 3: return guard * v.W - v.X;
    case 4: return guard * v.W + v.Y;
    default: return guard * v.W - v.Y;
    }
}

ClipVertex Lerp(const ClipVertex& a, const ClipVertex& b, float t)
{
    auto mix = [t](float x, float y) { return x + (y - x) * t; };
    return {mix(a.X, b.X),   mix(a.Y, b.Y), mix(a.Z, b.Z), mix(a.W, b.W),   mix(a.R, b.R),
            mix(a.G, b.G),   mix(a.B, b.B), mix(a.A, b.A), mix(a.SR, b.SR), mix(a.SG, b.SG),
            mix(a.SB, b.SB), mix(a.U, b.U), mix(a.V, b.V)};
}

// Sutherland-Hodgman against the planes the corners' codes name.
int Clip(Polygon& polygon, int count, unsigned planes, float guard)
{
    Polygon other;
    Polygon* in = &polygon;
    Polygon* out = &other;
    for (int plane = 0; plane < Planes && count >= 3; ++plane) {
        if (!(planes & (1u << plane))) continue;
        int made = 0;
        for (int i = 0; i < count; ++i) {
            const ClipVertex& a = (*in)[size_t(i)];
            const ClipVertex& b = (*in)[size_t((i + 1) % count)];
            const float da = Distance(a, plane, guard), db = Distance(b, plane, guard);
            if (da >= 0.0f) (*out)[size_t(made++)] = a;
            if ((da >= 0.0f) != (db >= 0.0f)) (*out)[size_t(made++)] = Lerp(a, b, da / (da - db));
        }
        count = made;
        std::swap(in, out);
    }
    if (in != &polygon) std::copy_n(in->begin(), count, polygon.begin());
    return count;
}

ScreenVertex Project(const ClipVertex& v, const D3DVIEWPORT7& vp)
{
    const float invW = 1.0f / v.W;
    ScreenVertex s;
    s.X = float(vp.dwX) + (v.X * invW + 1.0f) * 0.5f * float(vp.dwWidth);
    s.Y = float(vp.dwY) + (1.0f - v.Y * invW) * 0.5f * float(vp.dwHeight);
    s.Z = std::clamp(vp.dvMinZ + v.Z * invW * (vp.dvMaxZ - vp.dvMinZ), 0.0f, 1.0f);
    s.InvW = invW;
    s.R = v.R, s.G = v.G, s.B = v.B, s.A = v.A, s.SR = v.SR, s.SG = v.SG, s.SB = v.SB;
    s.UW = v.U * invW, s.VW = v.V * invW;
    return s;
}

ScreenVertex AsScreen(const ClipVertex& v)
{
    return {v.X,       v.Y,      std::clamp(v.Z, 0.0f, 1.0f), 1.0f / v.W, v.R, v.G, v.B, v.A, v.SR, v.SG, v.SB,
            v.U / v.W, v.V / v.W};
}

// Culls by the winding on screen (y down): clockwise counts positive. Draws the rest with
// clockwise corners, as the rasteriser wants them.
void CullAndDraw(const PipelineState& s, const RasterTarget& target, const ScreenVertex& a, const ScreenVertex& b,
                 const ScreenVertex& c)
{
    const float area = (b.X - a.X) * (c.Y - a.Y) - (c.X - a.X) * (b.Y - a.Y);
    if (!(area != 0.0f)) return;
    if ((area > 0.0f && s.CullMode == D3DCULL_CW) || (area < 0.0f && s.CullMode == D3DCULL_CCW)) return;
    if (area > 0.0f)
        RasteriseTriangle(s, target, a, b, c);
    else
        RasteriseTriangle(s, target, a, c, b);
}

template <typename Vertex>
void CopyColour(const Vertex& from, Vertex& to)
{
    to.R = from.R, to.G = from.G, to.B = from.B, to.A = from.A, to.SR = from.SR, to.SG = from.SG, to.SB = from.SB;
}

}  // namespace

void DrawTriangles(const PipelineState& s, const RasterTarget& target, PipelineScratch& scratch,
                   const uint32_t* indices, size_t indexCount)
{
    if (target.Clip.left >= target.Clip.right || target.Clip.top >= target.Clip.bottom) return;
    const D3DVIEWPORT7& vp = s.Viewport;
    const float guard = std::max(1.0f, 8192.0f / float(std::max<DWORD>({vp.dwWidth, vp.dwHeight, 1})));
    const bool flat = s.ShadeMode == D3DSHADE_FLAT;
    // Most corners are shared by several triangles and lie inside every plane: project
    // those once. A corner at or behind the eye is marked too, for the clipping path.
    constexpr uint8_t Unprojectable = 1u << Planes;
    const size_t count = scratch.Vertices.size();
    scratch.Screen.resize(count);
    scratch.Outside.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const ClipVertex& v = scratch.Vertices[i];
        uint8_t outside = 0;
        if (scratch.ScreenSpace) {
            scratch.Screen[i] = AsScreen(v);
        } else {
            for (int plane = 0; plane < Planes; ++plane)
                if (!(Distance(v, plane, guard) >= 0.0f)) outside |= uint8_t(1u << plane);
            if (!(v.W > 1e-20f)) outside |= Unprojectable;
            if (!outside) scratch.Screen[i] = Project(v, vp);
        }
        scratch.Outside[i] = outside;
    }
    for (size_t t = 0; t + 2 < indexCount; t += 3) {
        const uint32_t corner[3] = {indices[t], indices[t + 1], indices[t + 2]};
        const unsigned outside[3] = {scratch.Outside[corner[0]], scratch.Outside[corner[1]],
                                     scratch.Outside[corner[2]]};
        if (!(outside[0] | outside[1] | outside[2])) {
            const ScreenVertex& a = scratch.Screen[corner[0]];
            if (!flat) {
                CullAndDraw(s, target, a, scratch.Screen[corner[1]], scratch.Screen[corner[2]]);
                continue;
            }
            // Flat shading colours the whole triangle as its first corner.
            ScreenVertex b = scratch.Screen[corner[1]], c = scratch.Screen[corner[2]];
            CopyColour(a, b), CopyColour(a, c);
            CullAndDraw(s, target, a, b, c);
            continue;
        }
        if (outside[0] & outside[1] & outside[2] & ~Unprojectable) continue;  // wholly beyond one plane
        Polygon p;
        for (int i = 0; i < 3; ++i) p[size_t(i)] = scratch.Vertices[corner[i]];
        if (flat) CopyColour(p[0], p[1]), CopyColour(p[0], p[2]);
        int n = 3;
        const unsigned planes = (outside[0] | outside[1] | outside[2]) & ~Unprojectable;
        if (planes) n = Clip(p, 3, planes, guard);
        if (n < 3) continue;
        // A projection without a near plane at positive w could still leave corners at
        // or behind the eye; such triangles are not drawn.
        if (std::any_of(p.begin(), p.begin() + n, [](const ClipVertex& v) { return !(v.W > 1e-20f); })) continue;
        const ScreenVertex first = Project(p[0], vp);
        ScreenVertex previous = Project(p[1], vp);
        for (int i = 2; i < n; ++i) {
            const ScreenVertex next = Project(p[size_t(i)], vp);
            CullAndDraw(s, target, first, previous, next);
            previous = next;
        }
    }
}

}  // namespace softdx
