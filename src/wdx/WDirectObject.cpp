// The mesh component: counts, the plane and ellipsoid generators, and the build around them.
#include "wdx/WDirectObject.h"

#include <cmath>
#include <numbers>

#include "wdx/WDirectX.h"

namespace {
// A generated grid of points and its triangles, as indices into the grid.
struct TPatch {
    std::vector<TD3DVertex> Points;
    std::vector<uint16_t> Triangles;
};

// One plane generator's fixed values. Axes are 0 (x), 1 (y), 2 (z).
struct TPlaneSpec {
    int Outer, Inner, Fixed;
    float FixedSign;    // the fixed coordinate is P + sign × S
    bool TuFromFactor;  // tu = F − o × F / m, else o × F / m
    bool WindingA;      // (a, c, b), (a, d, c); else (a, b, c), (a, c, d)
};

TPatch MakePlane(const TPlaneSpec& spec, const float* p, const float* s, const int* segments, float f)
{
    const int m = segments[spec.Outer], n = segments[spec.Inner];
    TPatch patch;
    patch.Points.resize(static_cast<size_t>((m + 1) * (n + 1)));
    for (int o = 0; o <= m; ++o)
        for (int i = 0; i <= n; ++i) {
            float position[3];
            position[spec.Outer] = p[spec.Outer] - s[spec.Outer] + static_cast<float>(o) * (2 * s[spec.Outer] / m);
            position[spec.Inner] = p[spec.Inner] - s[spec.Inner] + static_cast<float>(i) * (2 * s[spec.Inner] / n);
            position[spec.Fixed] = p[spec.Fixed] + spec.FixedSign * s[spec.Fixed];
            float normal[3] = {0, 0, 0};
            normal[spec.Fixed] = spec.FixedSign;
            const float along = static_cast<float>(o) * f / static_cast<float>(m);
            TD3DVertex& v = patch.Points[static_cast<size_t>(o + i * (m + 1))];
            v = {position[0],
                 position[1],
                 position[2],
                 normal[0],
                 normal[1],
                 normal[2],
                 spec.TuFromFactor ? f - along : along,
                 static_cast<float>(i) * f / static_cast<float>(n)};
        }
    for (int o = 0; o < m; ++o)
        for (int i = 0; i < n; ++i) {
            const auto at = [m](int oo, int ii) { return static_cast<uint16_t>(oo + ii * (m + 1)); };
            const uint16_t a = at(o, i), b = at(o + 1, i), c = at(o + 1, i + 1), d = at(o, i + 1);
            if (spec.WindingA)
                patch.Triangles.insert(patch.Triangles.end(), {a, c, b, a, d, c});
            else
                patch.Triangles.insert(patch.Triangles.end(), {a, b, c, a, c, d});
        }
    return patch;
}

// The ellipsoid (tube when tube is set): two poles and r + 1 rings of s + 1 points, the last
// point of each ring on the first, so the texture's seam closes.
TPatch MakeEllipse(bool tube, const float* p, const float* sz, const int* segments, float f)
{
    const int r = static_cast<uint16_t>(segments[2]), s = static_cast<uint16_t>(segments[0]);
    const int count = (s + 1) * (r + 1) + 2, bottom = count - 1;
    TPatch patch;
    patch.Points.resize(static_cast<size_t>(count));
    patch.Points[0] = {p[0], p[1], p[2] + sz[2], 0, 0, 1, 0, 0};
    patch.Points[static_cast<size_t>(bottom)] = {p[0], p[1], p[2] - sz[2], 0, 0, -1, 0, f};
    // The angles are accumulated in single precision, not recomputed per ring and slice.
    const float dTheta = static_cast<float>(std::numbers::pi / (r + 2));
    const float dPhi = static_cast<float>(2 * std::numbers::pi / s);
    float theta = dTheta;
    for (int q = 0; q <= r; ++q) {
        const float h = tube ? (1.0f - static_cast<float>(q) / static_cast<float>(r)) * 2 - 1 : std::cos(theta);
        const float w = tube ? 1.0f : std::sin(theta);
        const float tv = f * theta / std::numbers::pi_v<float>;
        float phi = 0;
        for (int k = 0; k <= s; ++k) {
            const float ex = std::sin(phi) * w, ey = -std::cos(phi) * w;
            patch.Points[static_cast<size_t>(1 + q * (s + 1) + k)] = {
                p[0] + sz[0] * ex,
                p[1] + sz[1] * ey,
                p[2] + sz[2] * h,
                ex,
                ey,
                h,
                (1.0f - static_cast<float>(k) / static_cast<float>(s)) * f,
                tv};
            phi += dPhi;
        }
        theta += dTheta;
    }
    const auto point = [s](int q, int k) { return static_cast<uint16_t>(1 + q * (s + 1) + k); };
    auto& t = patch.Triangles;
    for (int k = 0; k < s; ++k) t.insert(t.end(), {0, point(0, k), point(0, k + 1)});
    for (int q = 0; q < r; ++q)
        for (int k = 0; k < s; ++k)
            t.insert(t.end(), {point(q, k), point(q + 1, k), point(q + 1, k + 1), point(q, k), point(q + 1, k + 1),
                               point(q, k + 1)});
    const auto back = [bottom](int places) { return static_cast<uint16_t>(bottom - places); };
    for (int k = 0; k < s; ++k) t.insert(t.end(), {static_cast<uint16_t>(bottom), back(k + 1), back(k + 2)});
    return patch;
}

constexpr TPlaneSpec kPlaneXY{0, 1, 2, -1, true, true};
constexpr TPlaneSpec kPlaneXY2{0, 1, 2, 1, true, false};
constexpr TPlaneSpec kPlaneZY{2, 1, 0, -1, false, false};
constexpr TPlaneSpec kPlaneZY2{2, 1, 0, 1, true, true};
constexpr TPlaneSpec kPlaneXZ{0, 2, 1, -1, false, false};
constexpr TPlaneSpec kPlaneXZ2{0, 2, 1, 1, true, true};
}  // namespace

TWDirectObject::TWDirectObject(TComponent* owner) : TComponent(owner) { Build(nullptr); }

TWDirectObject::~TWDirectObject() = default;

void TWDirectObject::Changed()
{
    if (AutoRebuild) Rebuild();
}

void TWDirectObject::SetFloat(float& field, float value)
{
    if (field == value) return;
    field = value;
    Changed();
}

void TWDirectObject::SetSegments(int& field, int value)
{
    if (value <= 0) value = 1;
    if (field == value) return;
    field = value;
    Changed();
}

void TWDirectObject::SetSize(float& field, float value)
{
    if (!(value >= 0)) value = 0;
    SetFloat(field, value);
}

void TWDirectObject::SetObjectType(TWDirectObjectType type)
{
    if (FObjectType == type) return;
    FObjectType = type;
    Changed();
}

void TWDirectObject::SetIndexed(bool indexed)
{
    if (FIndexed == indexed) return;
    FIndexed = indexed;
    Changed();
}

void TWDirectObject::SetNumTriangles(int value)
{
    if (FObjectType != dxotUserDefined || value <= 0 || value > 65535 / 3 || value == FUserTriangles) return;
    FUserTriangles = FNumTriangles = value;
    FNumIndices = 3 * value;
    Changed();
}

void TWDirectObject::SetNumVertices(int value)
{
    if (FObjectType != dxotUserDefined || value < 1 || value > 65535 || value == FUserVertices) return;
    FUserVertices = FNumVertices = value;
    Changed();
}

void TWDirectObject::Clear()
{
    FBuilt = false;
    FVertices.clear();
}

void TWDirectObject::Build(TWDirectX* device)
{
    FDevice = device;
    Clear();
    OnBeforeConstruct(this);

    const int sx = FSegments[0], sy = FSegments[1], sz = FSegments[2];
    int vertices = 0;
    switch (FObjectType) {
    case dxotCube:
        FNumTriangles = 4 * (sx * (sy + sz) + sz * sy);
        vertices = 2 * ((sx + 1) * (sy + 1) + (sx + 1) * (sz + 1) + (sz + 1) * (sy + 1));
        break;
    case dxotPlaneXY:
    case dxotPlaneXY2: FNumTriangles = 2 * sx * sy, vertices = (sx + 1) * (sy + 1); break;
    case dxotPlaneXZ:
    case dxotPlaneXZ2: FNumTriangles = 2 * sx * sz, vertices = (sx + 1) * (sz + 1); break;
    case dxotPlaneZY:
    case dxotPlaneZY2: FNumTriangles = 2 * sz * sy, vertices = (sz + 1) * (sy + 1); break;
    case dxotEllipse:
    case dxotTube: FNumTriangles = 2 * sx * (sz + 1), vertices = (sx + 1) * (sz + 1) + 2; break;
    case dxotUserDefined: FNumTriangles = FUserTriangles, vertices = FUserVertices; break;
    }
    FNumVertices = FIndexed ? vertices : 3 * FNumTriangles;
    FNumIndices = 3 * FNumTriangles;
    if (!device) return;

    FVertices.assign(static_cast<size_t>(FNumVertices), TD3DVertex{});
    FIndices.clear();
    if (FIndexed) FIndices.resize(static_cast<size_t>(FNumIndices));
    Generate();
    if (NegativeNormal)
        for (TD3DVertex& v : FVertices) v.nx = -v.nx, v.ny = -v.ny, v.nz = -v.nz;
    if (OnCalcPoint)
        for (TD3DVertex& v : FVertices) OnCalcPoint(this, v);
    FBuilt = true;
    OnAfterConstruct(this);
}

void TWDirectObject::Generate()
{
    size_t vertex = 0, index = 0;
    // Appends a patch at the cursors: its grid and offset indices, or copies per triangle.
    const auto append = [&](const TPatch& patch) {
        if (FIndexed) {
            const auto base = static_cast<uint16_t>(vertex);
            for (const TD3DVertex& v : patch.Points)
                if (vertex < FVertices.size()) FVertices[vertex++] = v;
            for (uint16_t t : patch.Triangles)
                if (index < FIndices.size()) FIndices[index++] = static_cast<uint16_t>(base + t);
        } else {
            for (uint16_t t : patch.Triangles)
                if (vertex < FVertices.size()) FVertices[vertex++] = patch.Points[t];
        }
    };
    const auto plane = [&](const TPlaneSpec& spec) {
        append(MakePlane(spec, FPosition, FSize, FSegments, FTextureFactor));
    };
    switch (FObjectType) {
    case dxotCube:
        for (const TPlaneSpec* spec : {&kPlaneXY, &kPlaneXY2, &kPlaneZY, &kPlaneZY2, &kPlaneXZ, &kPlaneXZ2})
            plane(*spec);
        break;
    case dxotPlaneXY: plane(kPlaneXY); break;
    case dxotPlaneXY2: plane(kPlaneXY2); break;
    case dxotPlaneZY: plane(kPlaneZY); break;
    case dxotPlaneZY2: plane(kPlaneZY2); break;
    case dxotPlaneXZ: plane(kPlaneXZ); break;
    case dxotPlaneXZ2: plane(kPlaneXZ2); break;
    case dxotEllipse:
    case dxotTube: append(MakeEllipse(FObjectType == dxotTube, FPosition, FSize, FSegments, FTextureFactor)); break;
    case dxotUserDefined: OnSetData(this); break;
    }
}

HRESULT TWDirectObject::Draw() const
{
    IDirect3DDevice7* device = FDevice ? FDevice->D3DDevice() : nullptr;
    if (!FBuilt || !device || FVertices.empty()) return E_FAIL;
    auto* vertices = const_cast<TD3DVertex*>(FVertices.data());
    const auto count = static_cast<DWORD>(FVertices.size());
    if (FIndexed && !FIndices.empty())
        return device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, vertices, count,
                                            const_cast<uint16_t*>(FIndices.data()), static_cast<DWORD>(FIndices.size()),
                                            0);
    return device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, vertices, count, 0);
}
