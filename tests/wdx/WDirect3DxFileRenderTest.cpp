// A textured, lit cube model written by the tests' own encoders in the text, binary and
// compressed encodings, read by the platform's X-file reader (ours on Linux, the system's under
// Wine) into TWDirect3DxFile's tree, and drawn by the device into its render target. The three
// pictures must be the same, and each must match a picture ray-cast here from the model's
// geometry, the lights and the transforms, compared per cell of the picture so that the
// rasterisers' edge and pixel-centre rules do not matter while a wrong face, a lost texture or
// a mirrored matrix does.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "Direct3DDevice.h"
#include "core/Paths.h"
#include "support/XFileWriter.h"
#include "wdx/WDirect3DLight.h"
#include "wdx/WDirect3DxFile.h"
#include "wdx/WDirectDrawBasicSurface.h"

using namespace xfiletest;

namespace {
using Vec = std::array<double, 3>;
using Mat = std::array<double, 16>;  // Direct3D's row-vector layout: p' = p * M

Vec Cross(const Vec& a, const Vec& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Mat Multiply(const Mat& a, const Mat& b)
{
    Mat out{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k) out[r * 4 + c] += a[r * 4 + k] * b[k * 4 + c];
    return out;
}
Mat Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }
Mat RotationX(double a)
{
    return {1, 0, 0, 0, 0, std::cos(a), std::sin(a), 0, 0, -std::sin(a), std::cos(a), 0, 0, 0, 0, 1};
}
Mat RotationY(double a)
{
    return {std::cos(a), 0, -std::sin(a), 0, 0, 1, 0, 0, std::sin(a), 0, std::cos(a), 0, 0, 0, 0, 1};
}
D3DMATRIX ToD3D(const Mat& m)
{
    D3DMATRIX out;
    float* f = reinterpret_cast<float*>(&out);
    for (int i = 0; i < 16; ++i) f[i] = static_cast<float>(m[static_cast<size_t>(i)]);
    return out;
}
// The cube: unit edges about the origin, one face per (u, v) pair of axes, its outward normal
// u x v, so that corners in the order (-,-), (+,-), (+,+), (-,+) run clockwise seen from
// outside, the front faces of Direct3D's left-handed space. Face f takes material kFaceMaterial[f];
// material 0 is white and textured.
constexpr Vec kFaceAxes[6][2] = {{{0, 1, 0}, {1, 0, 0}}, {{1, 0, 0}, {0, 1, 0}}, {{0, 0, 1}, {0, 1, 0}},
                                 {{0, 1, 0}, {0, 0, 1}}, {{1, 0, 0}, {0, 0, 1}}, {{0, 0, 1}, {1, 0, 0}}};
constexpr uint32_t kFaceMaterial[6] = {3, 5, 0, 2, 4, 1};
constexpr std::array<double, 4> kMaterials[6] = {{1, 1, 1, 1},      {1, 0.5, 0, 1},     {0, 0.75, 1, 1},
                                                 {0.5, 1, 0.25, 1}, {1, 0.25, 0.75, 1}, {0.75, 0.75, 0.25, 1}};
constexpr int kCorner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
// The frame's matrix as the file holds it: a quarter turn about y, and a shift off the
// origin in every axis (values a text file holds exactly, so every encoding gives the same
// floats).
constexpr double kFileMatrix[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0.125, -0.125, 0.25, 1};
// The texture: four quadrants of colours every texture format keeps exactly.
const TRgb kQuadrants[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
constexpr int kTextureSize = 32;

// The quadrant colour of texture coordinates (tu, tv), the picture's top row at tv = 0.
TRgb Texel(double tu, double tv)
{
    const auto cell = [](double t) {
        return std::clamp(static_cast<int>(std::floor(t * kTextureSize)), 0, kTextureSize - 1);
    };
    return kQuadrants[(cell(tv) >= kTextureSize / 2 ? 2 : 0) + (cell(tu) >= kTextureSize / 2 ? 1 : 0)];
}

XWriter CubeModel()
{
    XWriter w;
    w.N("Frame").N("Cube").P("{").N("FrameTransformMatrix").P("{");
    for (int i = 0; i < 16; ++i) w.F(kFileMatrix[i]).P(i == 15 ? ";;" : ",");
    w.P("}").N("Mesh").N("CubeMesh").P("{").I(24).P(";");
    const auto corners = [&](auto&& write) {
        for (int f = 0; f < 6; ++f)
            for (int c = 0; c < 4; ++c) write(f, c, f == 5 && c == 3 ? ";" : ",");
    };
    corners([&](int f, int c, const char* end) {
        const Vec n = Cross(kFaceAxes[f][0], kFaceAxes[f][1]);
        for (int k = 0; k < 3; ++k)
            w.F(0.5 * (n[k] + kCorner[c][0] * kFaceAxes[f][0][k] + kCorner[c][1] * kFaceAxes[f][1][k])).P(";");
        w.P(end);
    });
    const auto faces = [&] {
        w.I(6).P(";");
        for (uint32_t f = 0; f < 6; ++f)
            w.I(4).P(";").I(4 * f).P(",").I(4 * f + 1).P(",").I(4 * f + 2).P(",").I(4 * f + 3).P(f == 5 ? ";;" : ";,");
    };
    faces();
    w.N("MeshNormals").P("{").I(24).P(";");
    corners([&](int f, int, const char* end) {
        const Vec n = Cross(kFaceAxes[f][0], kFaceAxes[f][1]);
        w.F(n[0]).P(";").F(n[1]).P(";").F(n[2]).P(";").P(end);
    });
    faces();
    w.P("}").N("MeshTextureCoords").P("{").I(24).P(";");
    corners([&](int, int c, const char* end) {
        w.F((kCorner[c][0] + 1) / 2.0).P(";").F((kCorner[c][1] + 1) / 2.0).P(";").P(end);
    });
    w.P("}").N("MeshMaterialList").P("{").I(6).P(";").I(6).P(";");
    for (int f = 0; f < 6; ++f) w.I(kFaceMaterial[f]).P(f == 5 ? ";;" : ",");
    for (int m = 0; m < 6; ++m) {
        w.N("Material").P("{");
        for (int k = 0; k < 4; ++k) w.F(kMaterials[m][static_cast<size_t>(k)]).P(k == 3 ? ";;" : ";");
        w.F(0).P(";").F(0).P(";").F(0).P(";").F(0).P(";;").F(0).P(";").F(0).P(";").F(0).P(";;");
        if (m == 0) w.N("TextureFilename").P("{").S("cube.bmp").P(";}");
        w.P("}");
    }
    w.P("}").P("}").P("}");
    return w;
}

// The scene the test sets on the device: the model turned and tilted towards the eye, which
// stands back from it, and a perspective projection.
struct Scene {
    Mat World = Multiply(RotationY(0.6), RotationX(-0.45));
    Mat View = [] {
        Mat v = Identity();
        v[13] = 0.15;
        v[14] = 2.3;
        return v;
    }();
    Mat Projection = [] {
        Mat p{};
        const double nearZ = 0.5, farZ = 10;
        p[0] = p[5] = 1.8;
        p[10] = farZ / (farZ - nearZ);
        p[11] = 1;
        p[14] = -nearZ * farZ / (farZ - nearZ);
        return p;
    }();
    uint32_t Ambient = 0x00404040;
    uint32_t Background = 0xFF203040;
};

struct Picture {
    int Width = 0, Height = 0;
    std::vector<TRgb> Pixels;
    bool operator==(const Picture&) const = default;
};

// Ray-casts the cube: per pixel the face seen, its material lit by the light as Direct3D's
// fixed-function lighting does (emissive and specular black, the material's ambient its
// diffuse), times the texture on the textured face. frame is the frame's matrix as Direct3D
// takes it.
Picture CastCube(const Scene& scene, const Mat& frame, const D3DLIGHT7& light, int width, int height)
{
    // Model to eye; the transforms are rigid, so the way back is the transpose and a shift.
    const Mat toEye = Multiply(Multiply(frame, scene.World), scene.View);
    const auto back = [&](const Vec& v, bool point) {
        Vec p = v;
        if (point)
            for (int k = 0; k < 3; ++k) p[k] -= toEye[static_cast<size_t>(12 + k)];
        Vec out{};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) out[r] += p[c] * toEye[static_cast<size_t>(r * 4 + c)];
        return out;
    };
    const Vec origin = back({0, 0, 0}, true);
    // The light's direction in the model's space, and the ambient light.
    const Mat toWorld = Multiply(frame, scene.World);
    Vec toLight{};
    {
        const Vec d = {light.dvDirection.x, light.dvDirection.y, light.dvDirection.z};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) toLight[r] -= d[c] * toWorld[static_cast<size_t>(r * 4 + c)];
        const double length = std::sqrt(Dot(toLight, toLight));
        for (double& x : toLight) x /= length;
    }
    const double ambient[3] = {((scene.Ambient >> 16) & 0xFF) / 255.0, ((scene.Ambient >> 8) & 0xFF) / 255.0,
                               (scene.Ambient & 0xFF) / 255.0};
    const double diffuse[3] = {light.dcvDiffuse.r, light.dcvDiffuse.g, light.dcvDiffuse.b};

    Picture out{width, height, {}};
    const TRgb background{uint8_t(scene.Background >> 16), uint8_t(scene.Background >> 8), uint8_t(scene.Background)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double nx = (x + 0.5) / width * 2 - 1, ny = 1 - (y + 0.5) / height * 2;
            const Vec ray = back({nx / scene.Projection[0], ny / scene.Projection[5], 1}, false);
            // Slabs of the unit cube: the last entry is the face the ray comes in through.
            double enter = -std::numeric_limits<double>::infinity(), leave = -enter;
            int axis = -1;
            for (int k = 0; k < 3; ++k) {
                if (ray[k] == 0) {
                    if (std::abs(origin[k]) > 0.5) leave = -1;
                    continue;
                }
                double t0 = (-0.5 - origin[k]) / ray[k], t1 = (0.5 - origin[k]) / ray[k];
                if (t0 > t1) std::swap(t0, t1);
                if (t0 > enter) enter = t0, axis = k;
                leave = std::min(leave, t1);
            }
            if (axis < 0 || enter > leave || enter <= 0) {
                out.Pixels.push_back(background);
                continue;
            }
            const Vec hit = {origin[0] + enter * ray[0], origin[1] + enter * ray[1], origin[2] + enter * ray[2]};
            int face = 0;
            Vec normal{};
            for (int f = 0; f < 6; ++f) {
                const Vec n = Cross(kFaceAxes[f][0], kFaceAxes[f][1]);
                if (n[axis] != 0 && (n[axis] > 0) == (hit[axis] > 0)) face = f, normal = n;
            }
            const std::array<double, 4>& m = kMaterials[kFaceMaterial[face]];
            const double lit = std::max(0.0, Dot(normal, toLight));
            TRgb texel{255, 255, 255};
            if (kFaceMaterial[face] == 0)
                texel = Texel(Dot(hit, kFaceAxes[face][0]) + 0.5, Dot(hit, kFaceAxes[face][1]) + 0.5);
            const uint8_t texels[3] = {texel.R, texel.G, texel.B};
            uint8_t rgb[3];
            for (int k = 0; k < 3; ++k) {
                const double colour = std::min(1.0, m[static_cast<size_t>(k)] * (ambient[k] + diffuse[k] * lit));
                rgb[k] = static_cast<uint8_t>(std::lround(colour * texels[k]));
            }
            out.Pixels.push_back({rgb[0], rgb[1], rgb[2]});
        }
    return out;
}

// The mean colour of each cell of `size` pixels square.
std::vector<std::array<double, 3>> Cells(const Picture& p, int size)
{
    std::vector<std::array<double, 3>> cells;
    for (int cy = 0; cy + size <= p.Height; cy += size)
        for (int cx = 0; cx + size <= p.Width; cx += size) {
            std::array<double, 3> sum{};
            for (int y = cy; y < cy + size; ++y)
                for (int x = cx; x < cx + size; ++x) {
                    const TRgb& c = p.Pixels[static_cast<size_t>(y * p.Width + x)];
                    sum[0] += c.R, sum[1] += c.G, sum[2] += c.B;
                }
            for (double& s : sum) s /= size * size;
            cells.push_back(sum);
        }
    return cells;
}

class XFileRenderTest : public Direct3DTest {
protected:
    // The whole render target, read through one lock.
    Picture ReadTarget()
    {
        IDirectDrawSurface7* surface = WDX->RenderTarget()->Surface();
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        Picture out;
        if (surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return out;
        const DDPIXELFORMAT& f = desc.ddpfPixelFormat;
        const auto channel = [](uint32_t v, DWORD mask) {
            int shift = 0;
            while (mask && !((mask >> shift) & 1)) ++shift;
            return mask ? static_cast<uint8_t>(((v & mask) >> shift) * 255 / (mask >> shift)) : uint8_t{0};
        };
        out.Width = static_cast<int>(desc.dwWidth);
        out.Height = static_cast<int>(desc.dwHeight);
        const DWORD bytes = f.dwRGBBitCount / 8;
        for (DWORD y = 0; y < desc.dwHeight; ++y)
            for (DWORD x = 0; x < desc.dwWidth; ++x) {
                uint32_t v = 0;
                std::memcpy(&v, static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes, bytes);
                out.Pixels.push_back({channel(v, f.dwRBitMask), channel(v, f.dwGBitMask), channel(v, f.dwBBitMask)});
            }
        surface->Unlock(nullptr);
        return out;
    }

    IDirectDrawSurface7* Texture(const std::string& name) const
    {
        const TSurfaceContainer* entry = name.empty() ? nullptr : WDX->SurfaceEntryByName(name);
        return entry && entry->Surface ? entry->Surface->Surface() : nullptr;
    }

    // Draws each node's material slots with their textures, as a program walks the tree.
    void DrawNode(IDirect3DDevice7* d3d, const TCD3DFileObject* node, const Mat& parent)
    {
        for (; node; node = node->Next.get()) {
            Mat own;
            std::copy(node->Matrix.begin(), node->Matrix.end(), own.begin());
            const Mat world = Multiply(own, parent);
            if (node->HasGeometry) {
                D3DMATRIX w = ToD3D(world);
                d3d->SetTransform(D3DTRANSFORMSTATE_WORLD, &w);
                int first = 0;
                for (int s = 0; s < node->MaterialCount; ++s) {
                    const TD3DFileMaterial& slot = node->Materials[static_cast<size_t>(s)];
                    D3DMATERIAL7 material = slot.Material;
                    d3d->SetMaterial(&material);
                    d3d->SetTexture(0, Texture(slot.TextureName));
                    if (slot.IndexCount > 0) {
                        EXPECT_EQ(d3d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX,
                                                            const_cast<TD3DFileVertex*>(node->Vertices.data()),
                                                            static_cast<DWORD>(node->Vertices.size()),
                                                            const_cast<uint16_t*>(node->Indices.data()) + first,
                                                            static_cast<DWORD>(slot.IndexCount), 0),
                                  D3D_OK);
                    }
                    first += slot.IndexCount;
                }
                d3d->SetTexture(0, nullptr);
            }
            DrawNode(d3d, node->Children.get(), world);
        }
    }

    Picture Render(const TWDirect3DxFile& file, const Scene& scene)
    {
        IDirect3DDevice7* d3d = WDX->D3DDevice();
        D3DMATRIX view = ToD3D(scene.View), projection = ToD3D(scene.Projection);
        d3d->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
        d3d->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
        d3d->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
        d3d->SetRenderState(D3DRENDERSTATE_AMBIENT, scene.Ambient);
        // No depth test: only the culling of back faces keeps the far side of the cube away.
        d3d->SetRenderState(D3DRENDERSTATE_ZENABLE, FALSE);
        d3d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
        d3d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
        d3d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_POINT);
        EXPECT_EQ(d3d->Clear(0, nullptr, D3DCLEAR_TARGET, scene.Background, 1, 0), D3D_OK);
        EXPECT_EQ(d3d->BeginScene(), D3D_OK);
        DrawNode(d3d, file.Root(), scene.World);
        EXPECT_EQ(d3d->EndScene(), D3D_OK);
        return ReadTarget();
    }
};
}  // namespace

TEST_F(XFileRenderTest, ACubeInEveryEncodingDrawsAsTheModelSays)
{
    if (!DirectXBinding().DirectXFileCreate) GTEST_SKIP() << "this platform has no X-file reader";
    WDX->PathImages = Dir.Path().string() + PathDelim;
    WriteBmp("cube.bmp",
             QuadrantPicture(kTextureSize, kTextureSize, kQuadrants[0], kQuadrants[1], kQuadrants[2], kQuadrants[3]));
    const std::vector<XTok> model = CubeModel().tokens;
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } files[] = {{"text", EncodeText(model)},
                 {"binary", EncodeBinary(model)},
                 // Several blocks each, compressed alone: Wine's reader keeps no history.
                 {"compressed text", Compress(EncodeText(model), 1024, false)},
                 {"compressed binary", Compress(EncodeBinary(model), 512, false)}};

    auto* light = new TWDirect3DLight(Form.get());
    light->SetDiffuseColor(0xFFFFFF);
    light->SetDirectionX(0.48f);
    light->SetDirectionY(-0.6f);
    light->SetDirectionZ(0.64f);
    light->SetLightOn(true);
    auto* file = new TWDirect3DxFile(Form.get());
    file->SetXFile(Dir.WriteFile("cube-text.x", std::string(files[0].bytes.begin(), files[0].bytes.end())).string());
    StartWindowed();
    Scene scene;
    scene.Projection[0] = scene.Projection[5] * WDX->OutputHeight() / WDX->OutputWidth();  // square pixels

    std::vector<Picture> pictures;
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        file->SetXFile(
            Dir.WriteFile(std::string("cube-") + f.name + ".x", std::string(f.bytes.begin(), f.bytes.end())).string());
        ASSERT_TRUE(file->Root() && file->Root()->Children) << "the reader refused the " << f.name << " file";
        pictures.push_back(Render(*file, scene));
        ASSERT_GT(pictures.back().Width, 0);
    }
    for (size_t i = 1; i < pictures.size(); ++i)
        EXPECT_TRUE(pictures[i] == pictures[0]) << files[i].name << " and text differ";

    // The expected picture, with the frame's matrix in Direct3D's hand: the file's z axis
    // reversed on both sides of it.
    Mat flip = Identity(), stored;
    flip[10] = -1;
    std::copy(std::begin(kFileMatrix), std::end(kFileMatrix), stored.begin());
    const Picture& drawn = pictures[0];
    const Picture expected =
        CastCube(scene, Multiply(Multiply(flip, stored), flip), light->Description(), drawn.Width, drawn.Height);

    // The scene proves something only when the cube fills a good part of the picture and its
    // textured face shows.
    int textured = 0, cube = 0;
    const TRgb background{0x20, 0x30, 0x40};
    for (const TRgb& c : expected.Pixels) {
        cube += !(c == background);
        textured += c.G == 0 && c.B == 0 && c.R > 100;  // the red quadrant
    }
    ASSERT_GT(cube, drawn.Width * drawn.Height / 8);
    ASSERT_GT(textured, cube / 40);

    // Cells of 16 pixels: an edge or a texel boundary a pixel away moves a cell's mean by a
    // few steps; a face of the wrong colour, a missing texture or a mirrored model by a
    // hundred or more over many cells.
    const auto got = Cells(drawn, 16), want = Cells(expected, 16);
    int offCells = 0;
    double worst = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        double d = 0;
        for (int k = 0; k < 3; ++k)
            d = std::max(d, std::abs(got[i][static_cast<size_t>(k)] - want[i][static_cast<size_t>(k)]));
        worst = std::max(worst, d);
        offCells += d > 24;
    }
    EXPECT_EQ(offCells, 0) << "cells off by more than 24 steps; the worst by " << worst;
    std::printf("cube cells: worst %.1f steps\n", worst);
}
