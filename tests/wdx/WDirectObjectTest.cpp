// The mesh component's generators checked against geometry rather than against their own
// tables: counts against the lists they build, every triangle's winding against its normals,
// texture corners found by position, normals reversed before the per-point event, and the
// setter rules; then a lit ellipsoid drawn on the platform's Direct3D.
#include "wdx/WDirectObject.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "Direct3DDevice.h"
#include "wdx/WDirect3DLight.h"

namespace {
using Vec = std::array<float, 3>;
Vec Sub(const TD3DVertex& a, const TD3DVertex& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec Cross(Vec a, Vec b) { return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}; }

// The triangles of a built mesh as vertex triples, whether indexed or not.
std::vector<std::array<TD3DVertex, 3>> Triangles(TWDirectObject& mesh)
{
    std::vector<std::array<TD3DVertex, 3>> out;
    if (mesh.Indexed())
        for (size_t i = 0; i + 2 < mesh.Indices().size(); i += 3)
            out.push_back({mesh.Vertices().at(mesh.Indices()[i]), mesh.Vertices().at(mesh.Indices()[i + 1]),
                           mesh.Vertices().at(mesh.Indices()[i + 2])});
    else
        for (size_t i = 0; i + 2 < mesh.Vertices().size(); i += 3)
            out.push_back({mesh.Vertices()[i], mesh.Vertices()[i + 1], mesh.Vertices()[i + 2]});
    return out;
}

const TWDirectObjectType kGenerated[] = {dxotCube,     dxotPlaneXY,  dxotPlaneXZ, dxotPlaneZY, dxotPlaneXY2,
                                         dxotPlaneXZ2, dxotPlaneZY2, dxotEllipse, dxotTube};

class MeshTest : public ::testing::Test {
protected:
    TComponent Owner{nullptr};
    TWDirectX* Device = new TWDirectX(&Owner);
    TWDirectObject* Mesh = new TWDirectObject(&Owner);
    void Shape(TWDirectObjectType type, int sx, int sy, int sz, bool indexed)
    {
        Mesh->SetObjectType(type);
        Mesh->SetSegmentsX(sx);
        Mesh->SetSegmentsY(sy);
        Mesh->SetSegmentsZ(sz);
        Mesh->SetIndexed(indexed);
        Mesh->Build(Device);
    }
};
}  // namespace

TEST_F(MeshTest, CountsMatchTheBuiltListsAndTheKnownShapes)
{
    // Created: counts only, no vertices; a default cube has 12 triangles.
    EXPECT_EQ(Mesh->NumTriangles(), 12);
    EXPECT_EQ(Mesh->NumVertices(), 36);
    EXPECT_TRUE(Mesh->Vertices().empty());
    Shape(dxotCube, 1, 1, 1, true);
    EXPECT_EQ(Mesh->NumVertices(), 24);
    EXPECT_EQ(Mesh->NumIndices(), 36);
    Shape(dxotEllipse, 4, 1, 1, true);
    EXPECT_EQ(Mesh->NumVertices(), 12);
    EXPECT_EQ(Mesh->NumTriangles(), 16);

    for (TWDirectObjectType type : kGenerated)
        for (bool indexed : {false, true}) {
            Shape(type, 3, 2, 4, indexed);
            SCOPED_TRACE(testing::Message() << "type " << int(type) << " indexed " << indexed);
            EXPECT_EQ(static_cast<int>(Mesh->Vertices().size()), Mesh->NumVertices());
            EXPECT_EQ(static_cast<int>(Triangles(*Mesh).size()), Mesh->NumTriangles());
            EXPECT_EQ(Mesh->NumIndices(), 3 * Mesh->NumTriangles());
            if (indexed) {
                // Every grid point is used and every index lies inside the list.
                std::vector<bool> used(Mesh->Vertices().size());
                for (uint16_t i : Mesh->Indices()) used.at(i) = true;
                EXPECT_EQ(std::count(used.begin(), used.end(), false), 0);
            }
        }
}

TEST_F(MeshTest, APlaneGridComesOuterAxisFirstWithItsIndices)
{
    Shape(dxotPlaneXY, 2, 1, 1, true);
    const std::vector<std::pair<float, float>> xy = {{-1, -1}, {0, -1}, {1, -1}, {-1, 1}, {0, 1}, {1, 1}};
    ASSERT_EQ(Mesh->Vertices().size(), xy.size());
    for (size_t i = 0; i < xy.size(); ++i) {
        EXPECT_FLOAT_EQ(Mesh->Vertices()[i].x, xy[i].first);
        EXPECT_FLOAT_EQ(Mesh->Vertices()[i].y, xy[i].second);
        EXPECT_FLOAT_EQ(Mesh->Vertices()[i].z, -1);
    }
    EXPECT_EQ(Mesh->Indices(), (std::vector<uint16_t>{0, 4, 1, 0, 3, 4, 1, 5, 2, 1, 4, 5}));
}

TEST_F(MeshTest, EveryTriangleWindsTheSameWayAboutItsOutwardNormal)
{
    // Each generated triangle's (v1 - v0) x (v2 - v0) points along its vertices' normals, on
    // all shapes alike; so culling one winding hides the same side of every shape.
    Mesh->SetPositionX(0.3f);
    Mesh->SetSizeZ(2);
    for (TWDirectObjectType type : kGenerated)
        for (bool indexed : {false, true}) {
            Shape(type, 5, 3, 4, indexed);
            int checked = 0;
            for (const auto& t : Triangles(*Mesh)) {
                const Vec n = Cross(Sub(t[1], t[0]), Sub(t[2], t[0]));
                const float normal[3] = {t[0].nx + t[1].nx + t[2].nx, t[0].ny + t[1].ny + t[2].ny,
                                         t[0].nz + t[1].nz + t[2].nz};
                const float dot = n[0] * normal[0] + n[1] * normal[1] + n[2] * normal[2];
                if (std::abs(n[0]) + std::abs(n[1]) + std::abs(n[2]) < 1e-6f) continue;  // none expected
                EXPECT_GT(dot, 0) << "type " << int(type) << " triangle " << checked;
                ++checked;
            }
            EXPECT_EQ(checked, Mesh->NumTriangles()) << "type " << int(type);
        }
}

TEST_F(MeshTest, PlaneCornersCarryTheirTextureCoordinatesAndEllipsoidRingsTheirAngles)
{
    // Texture corners by position, factor 2: the corner at the two axes' minima, per plane.
    struct Case {
        TWDirectObjectType Type;
        int Outer, Inner;  // axes
        float TuAtMin;
    };
    const Case cases[] = {{dxotPlaneXY, 0, 1, 2},  {dxotPlaneXY2, 0, 1, 2}, {dxotPlaneZY, 2, 1, 0},
                          {dxotPlaneZY2, 2, 1, 2}, {dxotPlaneXZ, 0, 2, 0},  {dxotPlaneXZ2, 0, 2, 2}};
    Mesh->SetTextureFactor(2);
    for (const Case& c : cases) {
        Shape(c.Type, 2, 3, 4, true);
        for (const TD3DVertex& v : Mesh->Vertices()) {
            const float at[3] = {v.x, v.y, v.z};
            const float outer = (at[c.Outer] + 1) / 2, inner = (at[c.Inner] + 1) / 2;  // 0 .. 1
            const float tu = c.TuAtMin == 0 ? 2 * outer : 2 - 2 * outer;
            EXPECT_NEAR(v.tu, tu, 1e-5f) << "type " << int(c.Type);
            EXPECT_NEAR(v.tv, 2 * inner, 1e-5f) << "type " << int(c.Type);
        }
    }
    // Two rings at a third and two thirds of the half turn; the seam's slice lies on slice 0.
    Mesh->SetTextureFactor(1);
    Shape(dxotEllipse, 4, 1, 1, true);
    const auto& v = Mesh->Vertices();
    EXPECT_NEAR(v[1].z, std::cos(std::numbers::pi / 3), 1e-6);
    EXPECT_NEAR(v[6].z, std::cos(2 * std::numbers::pi / 3), 1e-6);
    EXPECT_NEAR(v[1].tv, 1.0 / 3, 1e-6);
    EXPECT_NEAR(v[5].x, v[1].x, 1e-6);
    EXPECT_NEAR(v[5].y, v[1].y, 1e-6);
    EXPECT_EQ(v[1].tu, 1);
    EXPECT_EQ(v[5].tu, 0);
    EXPECT_EQ(v[11].z, -1);
    EXPECT_EQ(v[11].tv, 1);
}

TEST_F(MeshTest, NormalsAreReversedBeforeEachPointIsOffered)
{
    struct Seen : TObject {
        std::vector<TD3DVertex> Points;
        void Calc(TObject*, TD3DVertex& v)
        {
            Points.push_back(v);
            v.tu = 7;  // the event may change the point
        }
    } seen;
    Mesh->OnCalcPoint = TCalcPointEvent::Of<&Seen::Calc>(&seen);
    Shape(dxotEllipse, 6, 1, 3, false);
    const std::vector<TD3DVertex> plain = seen.Points;
    seen.Points.clear();
    Mesh->NegativeNormal = true;
    Mesh->Rebuild();
    ASSERT_EQ(seen.Points.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(seen.Points[i].nx, -plain[i].nx);
        EXPECT_EQ(seen.Points[i].ny, -plain[i].ny);
        EXPECT_EQ(seen.Points[i].nz, -plain[i].nz);
        EXPECT_EQ(Mesh->Vertices()[i].tu, 7);
    }
}

TEST_F(MeshTest, SettersRefuseOutOfRangeValuesAndFollowTheRebuildRule)
{
    Mesh->SetSegmentsX(-5);
    EXPECT_EQ(Mesh->SegmentsX(), 1);
    Mesh->SetSizeY(-2);
    EXPECT_EQ(Mesh->SizeY(), 0);
    Mesh->SetSizeZ(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(Mesh->SizeZ(), 0);
    Mesh->SetNumTriangles(5);  // not a user-defined mesh
    EXPECT_EQ(Mesh->NumTriangles(), 12);

    Mesh->SetObjectType(dxotUserDefined);
    for (int refused : {0, -1, 21846}) Mesh->SetNumTriangles(refused);
    Mesh->SetNumTriangles(21845);
    EXPECT_EQ(Mesh->NumIndices(), 65535);
    for (int refused : {0, 65536}) Mesh->SetNumVertices(refused);
    Mesh->SetIndexed(true);
    Mesh->SetNumVertices(65535);
    EXPECT_EQ(Mesh->NumVertices(), 65535);

    // Without AutoRebuild the counts wait for the next build.
    Mesh->AutoRebuild = false;
    Mesh->SetObjectType(dxotPlaneXY);
    EXPECT_EQ(Mesh->NumVertices(), 65535);
    Mesh->Rebuild();
    EXPECT_EQ(Mesh->NumVertices(), 4);
}

TEST_F(Direct3DTest, ALitEllipsoidDrawsOnlyWhereTheLightFallsOnIt)
{
    auto* mesh = new TWDirectObject(Form.get());
    mesh->SetObjectType(dxotEllipse);
    mesh->SetSegmentsX(24);
    mesh->SetSegmentsZ(12);
    mesh->SetIndexed(true);
    for (auto set : {&TWDirectObject::SetSizeX, &TWDirectObject::SetSizeY, &TWDirectObject::SetSizeZ})
        (mesh->*set)(0.4f);
    mesh->SetPositionZ(0.5f);
    auto* light = new TWDirect3DLight(Form.get());
    light->SetDirectionZ(1);  // from the viewer into the screen
    StartWindowed();
    ASSERT_TRUE(mesh->Built());
    IDirect3DDevice7* d3d = WDX->D3DDevice();
    D3DMATRIX identity{};
    identity._11 = identity._22 = identity._33 = identity._44 = 1;
    for (D3DTRANSFORMSTATETYPE t : {D3DTRANSFORMSTATE_WORLD, D3DTRANSFORMSTATE_VIEW, D3DTRANSFORMSTATE_PROJECTION})
        ASSERT_EQ(d3d->SetTransform(t, &identity), D3D_OK);
    d3d->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
    d3d->SetRenderState(D3DRENDERSTATE_AMBIENT, 0);
    d3d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    IDirectDrawSurface7* target = WDX->RenderTarget()->Surface();
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(target->GetSurfaceDesc(&desc), DD_OK);
    const int w = static_cast<int>(desc.dwWidth), h = static_cast<int>(desc.dwHeight);
    const auto draw = [&] {
        ASSERT_EQ(d3d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
        ASSERT_EQ(d3d->BeginScene(), D3D_OK);
        EXPECT_EQ(mesh->Draw(), D3D_OK);
        ASSERT_EQ(d3d->EndScene(), D3D_OK);
    };
    draw();  // the light is off: the unlit ellipsoid stays black
    EXPECT_TRUE(Near(Pixel(target, w / 2, h / 2), {0, 0, 0}));
    light->SetLightOn(true);
    draw();
    const TRgb middle = Pixel(target, w / 2, h / 2);
    EXPECT_GT(middle.R, 200);
    EXPECT_TRUE(Near(middle, {middle.R, middle.R, middle.R})) << "white light on a white material";
    EXPECT_GT(Pixel(target, w / 2 + w / 8, h / 2).R, 60) << "inside the outline, at a slant";
    EXPECT_TRUE(Near(Pixel(target, w / 20, h / 2), {0, 0, 0})) << "outside its outline";
    mesh->Stop();
    EXPECT_EQ(mesh->Draw(), E_FAIL);
}
