// The software Direct3D's drawing, checked on the pictures it renders: lighting, textures,
// perspective, depth, culling, clearing, and drawing into a flip chain.
#include <algorithm>
#include <cmath>

#include "softdx/SoftDxD3DFixture.h"

namespace {

constexpr DWORD Side = 64;  // the scenes' square target
constexpr float Pi = 3.14159265f;

struct Vec {
    float X, Y, Z;
};
Vec Unit(Vec v)
{
    const float l = std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z);
    return {v.X / l, v.Y / l, v.Z / l};
}

// Where a camera-space point lands on the Side x Side target under the 90-degree projection.
std::pair<float, float> OnScreen(Vec p) { return {Side / 2.0f * (1 + p.X / p.Z), Side / 2.0f * (1 - p.Y / p.Z)}; }

D3DLIGHT7 MakeLight(D3DLIGHTTYPE type, Vec position, Vec direction)
{
    D3DLIGHT7 l{};
    l.dltType = type;
    l.dcvDiffuse = Rgba(1, 1, 1);
    l.dcvSpecular = Rgba(1, 1, 1);
    l.dvPosition.x = position.X, l.dvPosition.y = position.Y, l.dvPosition.z = position.Z;
    l.dvDirection.x = direction.X, l.dvDirection.y = direction.Y, l.dvDirection.z = direction.Z;
    l.dvRange = 1000;
    l.dvAttenuation0 = 1;
    l.dvFalloff = 1;
    return l;
}

// A quad in the plane z = depth (or along a floor), two triangles, corners clockwise on screen.
std::vector<D3DVERTEX> Quad(float left, float top, float right, float bottom, float depth, float u0 = 0, float v0 = 0,
                            float u1 = 1, float v1 = 1)
{
    const D3DVERTEX a = Vertex(left, top, depth, 0, 0, -1, u0, v0), b = Vertex(right, top, depth, 0, 0, -1, u1, v0);
    const D3DVERTEX c = Vertex(right, bottom, depth, 0, 0, -1, u1, v1),
                    d = Vertex(left, bottom, depth, 0, 0, -1, u0, v1);
    return {a, b, c, a, c, d};
}

}  // namespace

class SoftDxRaster : public SoftDxD3DTest {
protected:
    // A device on a Side x Side target with a z-buffer of zBits (0: none), a 90-degree
    // projection from the origin along +z, lighting off unless a test turns it on.
    void Scene(DWORD zBits = 16, DWORD targetBits = 32)
    {
        Screen = Target(Side, Side, targetBits);
        if (zBits) {
            ASSERT_EQ(Screen->AddAttachedSurface(ZBuffer(Side, Side, zBits)), DD_OK);
        }
        Dev = Device(Screen);
        D3DMATRIX projection = Perspective(Pi / 2, 1, 1, 100);
        ASSERT_EQ(Dev->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection), D3D_OK);
        D3DVIEWPORT7 viewport{0, 0, Side, Side, 0, 1};
        ASSERT_EQ(Dev->SetViewport(&viewport), D3D_OK);
        Dev->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
        Dev->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        ASSERT_EQ(Dev->Clear(0, nullptr, D3DCLEAR_TARGET | (zBits ? D3DCLEAR_ZBUFFER : 0), 0, 1, 0), D3D_OK);
    }
    void Material(D3DCOLORVALUE diffuse, D3DCOLORVALUE specular = Rgba(0, 0, 0), float power = 0)
    {
        D3DMATERIAL7 m{};
        m.diffuse = diffuse, m.specular = specular, m.power = power;
        ASSERT_EQ(Dev->SetMaterial(&m), D3D_OK);
    }
    void Draw(std::vector<D3DVERTEX> vertices, HRESULT expected = D3D_OK)
    {
        ASSERT_EQ(Dev->BeginScene(), D3D_OK);
        EXPECT_EQ(Dev->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, vertices.data(), DWORD(vertices.size()), 0),
                  expected);
        ASSERT_EQ(Dev->EndScene(), D3D_OK);
    }
    // A flat-coloured quad: lit by nothing but its material's emissive colour.
    void Solid(std::vector<D3DVERTEX> vertices, D3DCOLORVALUE colour)
    {
        D3DMATERIAL7 m{};
        m.emissive = colour;
        Dev->SetMaterial(&m);
        Dev->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
        Draw(std::move(vertices));
    }
    uint32_t At(uint32_t x, uint32_t y) { return Rgb(Screen, x, y); }

    IDirectDrawSurface7* Screen = nullptr;
    IDirect3DDevice7* Dev = nullptr;
};

TEST_F(SoftDxRaster, ALitSpheresBrightestPointFacesTheLight)
{
    // A sphere round (0, 0, 4) of radius 1.5, as an indexed list over latitude and longitude.
    const Vec centre{0, 0, 4};
    const float radius = 1.5f;
    std::vector<D3DVERTEX> vertices;
    std::vector<WORD> indices;
    constexpr int Rings = 24, Segments = 48;
    for (int i = 0; i <= Rings; ++i)
        for (int j = 0; j <= Segments; ++j) {
            const float theta = Pi * float(i) / Rings, phi = 2 * Pi * float(j) / Segments;
            const Vec n{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
            vertices.push_back(
                Vertex(centre.X + radius * n.X, centre.Y + radius * n.Y, centre.Z + radius * n.Z, n.X, n.Y, n.Z));
        }
    for (int i = 0; i < Rings; ++i)
        for (int j = 0; j < Segments; ++j) {
            const WORD a = WORD(i * (Segments + 1) + j), b = WORD(a + 1), c = WORD(a + Segments + 1), d = WORD(c + 1);
            indices.insert(indices.end(), {a, b, d, a, d, c});
        }

    struct Case {
        D3DLIGHTTYPE Type;
        Vec PositionOrDirection;
    };
    const Case cases[] = {
        {D3DLIGHT_DIRECTIONAL, {1, -1, 1}}, {D3DLIGHT_DIRECTIONAL, {-1, 0, 1}}, {D3DLIGHT_DIRECTIONAL, {0, 1, 2}},
        {D3DLIGHT_POINT, {2, 2, 1}},        {D3DLIGHT_POINT, {-3, -1, 2}},
    };
    for (const Case& c : cases) {
        Made.clear();  // each case its own scene; TearDown releases what the last one made
        Scene();
        Dev->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
        Material(Rgba(1, 1, 1));
        D3DLIGHT7 light = MakeLight(c.Type, c.PositionOrDirection, c.PositionOrDirection);
        ASSERT_EQ(Dev->SetLight(0, &light), D3D_OK);
        ASSERT_EQ(Dev->LightEnable(0, TRUE), D3D_OK);
        ASSERT_EQ(Dev->BeginScene(), D3D_OK);
        ASSERT_EQ(Dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, vertices.data(), DWORD(vertices.size()),
                                            indices.data(), DWORD(indices.size()), 0),
                  D3D_OK);
        ASSERT_EQ(Dev->EndScene(), D3D_OK);

        // The sphere's point whose normal points at the light.
        const Vec p = c.PositionOrDirection;
        const Vec toLight = c.Type == D3DLIGHT_DIRECTIONAL ? Unit({-p.X, -p.Y, -p.Z})
                                                           : Unit({p.X - centre.X, p.Y - centre.Y, p.Z - centre.Z});
        const auto [ex, ey] =
            OnScreen({centre.X + radius * toLight.X, centre.Y + radius * toLight.Y, centre.Z + radius * toLight.Z});
        uint32_t best = 0, bx = 0, by = 0;
        for (uint32_t y = 0; y < Side; ++y)
            for (uint32_t x = 0; x < Side; ++x)
                if (Red(At(x, y)) > best) best = Red(At(x, y)), bx = x, by = y;
        EXPECT_GT(best, 240u);
        EXPECT_NEAR(float(bx) + 0.5f, ex, 2.5f) << "light " << p.X << "," << p.Y << "," << p.Z;
        EXPECT_NEAR(float(by) + 0.5f, ey, 2.5f) << "light " << p.X << "," << p.Y << "," << p.Z;
        for (auto it = Made.rbegin(); it != Made.rend(); ++it) (*it)->Release();
    }
    Made.clear();
}

TEST_F(SoftDxRaster, ATexturedQuadShowsItsTextureWhereItsCoordinatesSay)
{
    // Quadrants red, green / blue, white, the quad filling the screen at z = 2.
    constexpr uint32_t Colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    struct Case {
        float U1, V1;  // the far corner's coordinates (the near one has 0, 0)
        bool Bilinear;
        DWORD Address;
        float ColumnQuarters, RowQuarters;  // how many quarter-textures fit across and down
    };
    const Case cases[] = {
        {1, 1, false, D3DTADDRESS_WRAP, 4, 4},
        {1, 1, true, D3DTADDRESS_WRAP, 4, 4},
        {2, 2, false, D3DTADDRESS_WRAP, 8, 8},  // repeats twice each way
        {2, 1, true, D3DTADDRESS_CLAMP, 0, 4},  // right half all the last column
    };
    for (const Case& c : cases) {
        Made.clear();
        Scene(0);
        IDirectDrawSurface7* texture = Texture(4, 4, [&](DWORD x, DWORD y) { return Colours[(y / 2) * 2 + x / 2]; });
        ASSERT_EQ(Dev->SetTexture(0, texture), D3D_OK);
        Dev->SetTextureStageState(0, D3DTSS_MAGFILTER, c.Bilinear ? D3DTFG_LINEAR : D3DTFG_POINT);
        Dev->SetTextureStageState(0, D3DTSS_ADDRESS, c.Address);
        Draw(Quad(-2, 2, 2, -2, 2, 0, 0, c.U1, c.V1));
        // Sample the middle of each quarter of the screen, away from filtering's blends.
        for (uint32_t qy = 0; qy < 4; ++qy)
            for (uint32_t qx = 0; qx < 4; ++qx) {
                const uint32_t x = qx * Side / 4 + Side / 8, y = qy * Side / 4 + Side / 8;
                const float u = (float(x) + 0.5f) / Side * c.U1, v = (float(y) + 0.5f) / Side * c.V1;
                const auto texel = [](float t) { return uint32_t(std::fmod(t, 1.0f) * 4) / 2; };
                uint32_t column = texel(u), row = texel(v);
                if (c.Address == D3DTADDRESS_CLAMP && u >= 1) column = 1;
                // Filtering blends neighbours; where both are of one quadrant it must not show.
                const auto steady = [](float t) {
                    const float f = std::fmod(t * 4, 2.0f);
                    return f >= 0.5f && f <= 1.5f;
                };
                const bool clamped = c.Address == D3DTADDRESS_CLAMP && u >= 1;
                if (!c.Bilinear || ((steady(u) || clamped) && steady(v))) {
                    EXPECT_EQ(At(x, y), Colours[row * 2 + column]) << "case U1 " << c.U1 << " at " << x << "," << y;
                }
            }
        for (auto it = Made.rbegin(); it != Made.rend(); ++it) (*it)->Release();
    }
    Made.clear();
}

TEST_F(SoftDxRaster, TextureCoordinatesFollowPerspective)
{
    // A floor at y = -1 from z = 1.5 (v = 0) to z = 21.5 (v = 1): red nearer than v = 0.5,
    // blue beyond. Halfway in texture is halfway in depth, z = 11.5, whose row is far above
    // the halfway row on screen.
    Scene(0);
    IDirectDrawSurface7* texture = Texture(2, 2, [](DWORD, DWORD y) { return y == 0 ? 0xFF0000u : 0x0000FFu; });
    Dev->SetTexture(0, texture);
    const float nearZ = 1.5f, farZ = 21.5f;
    const D3DVERTEX a = Vertex(-20, -1, nearZ, 0, 1, 0, 0, 0), b = Vertex(20, -1, nearZ, 0, 1, 0, 1, 0);
    const D3DVERTEX c = Vertex(20, -1, farZ, 0, 1, 0, 1, 1), d = Vertex(-20, -1, farZ, 0, 1, 0, 0, 1);
    Draw({a, b, c, a, c, d});
    const float boundary = OnScreen({0, -1, (nearZ + farZ) / 2}).second;
    EXPECT_EQ(At(Side / 2, uint32_t(boundary + 2)), 0xFF0000u);
    EXPECT_EQ(At(Side / 2, uint32_t(boundary - 1.2f)), 0x0000FFu);
    const float affine = (OnScreen({0, -1, nearZ}).second + OnScreen({0, -1, farZ}).second) / 2;
    ASSERT_GT(affine - boundary, 6) << "the scene must tell the two apart";
}

TEST_F(SoftDxRaster, EveryTextureFormatIsReadAsItsColours)
{
    struct Case {
        DDPIXELFORMAT Format;
        uint32_t Raw, Seen;
    };
    DDPIXELFORMAT argb4444 = RgbFormat(16, 0x0F00, 0x00F0, 0x000F), luminance{},
                  a1555 = RgbFormat(16, 0x7C00, 0x3E0, 0x1F);
    argb4444.dwFlags |= DDPF_ALPHAPIXELS, argb4444.dwRGBAlphaBitMask = 0xF000;
    a1555.dwFlags |= DDPF_ALPHAPIXELS, a1555.dwRGBAlphaBitMask = 0x8000;
    luminance.dwSize = sizeof luminance, luminance.dwFlags = DDPF_LUMINANCE, luminance.dwLuminanceBitCount = 8;
    luminance.dwLuminanceBitMask = 0xFF;
    const Case cases[] = {
        {RgbFormat(16, 0xF800, 0x07E0, 0x1F), 0xF81F, 0xFF00FF},
        {a1555, 0x801F | (0x10 << 5), 0x0084FF},
        {argb4444, 0xF0F8, 0x00FF88},
        {RgbFormat(32, 0xFF0000, 0xFF00, 0xFF), 0x123456, 0x123456},
        {luminance, 0x80, 0x808080},
        {IndexedFormat(), 7, 0x070707},  // no palette: the grey ramp
    };
    for (const Case& c : cases) {
        Made.clear();
        Scene(0);
        IDirectDrawSurface7* texture = Surface(DDSCAPS_TEXTURE, 1, 1, &c.Format);
        LockedPixels(texture).Set(0, 0, c.Raw);
        Dev->SetTexture(0, texture);
        Dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        Draw(Quad(-2, 2, 2, -2, 2));
        EXPECT_EQ(At(Side / 2, Side / 2), c.Seen) << std::hex << c.Raw;
        for (auto it = Made.rbegin(); it != Made.rend(); ++it) (*it)->Release();
    }
    Made.clear();
}

TEST_F(SoftDxRaster, NearerTrianglesHideFartherOnes)
{
    struct Case {
        DWORD ZBits, ZFunc;
        bool NearFirst;
        uint32_t Seen;  // at the centre, where both cover
    };
    const Case cases[] = {
        {16, D3DCMP_LESSEQUAL, true, 0xFF0000}, {16, D3DCMP_LESSEQUAL, false, 0xFF0000},
        {32, D3DCMP_LESSEQUAL, true, 0xFF0000}, {32, D3DCMP_LESSEQUAL, false, 0xFF0000},
        {16, D3DCMP_ALWAYS, true, 0x00FF00},    {0, D3DCMP_LESSEQUAL, true, 0x00FF00},  // last one drawn wins
        {32, D3DCMP_LESS, true, 0xFF0000},
    };
    for (const Case& c : cases) {
        Made.clear();
        Scene(c.ZBits);
        Dev->SetRenderState(D3DRENDERSTATE_ZFUNC, c.ZFunc);
        // Red nearer (z = 2) on the left, green farther (z = 2.02) on the right; they overlap in the middle.
        const auto nearQuad = Quad(-1.0f, 1, 0.5f, -1, 2), farQuad = Quad(-0.5f * 1.01f, 1.01f, 1.01f, -1.01f, 2.02f);
        if (c.NearFirst)
            Solid(nearQuad, Rgba(1, 0, 0)), Solid(farQuad, Rgba(0, 1, 0));
        else
            Solid(farQuad, Rgba(0, 1, 0)), Solid(nearQuad, Rgba(1, 0, 0));
        EXPECT_EQ(At(Side / 2, Side / 2), c.Seen) << c.ZBits << " bits, function " << c.ZFunc;
        EXPECT_EQ(At(20, Side / 2), 0xFF0000u);
        EXPECT_EQ(At(44, Side / 2), 0x00FF00u);
        for (auto it = Made.rbegin(); it != Made.rend(); ++it) (*it)->Release();
    }
    Made.clear();
}

TEST_F(SoftDxRaster, CullingDropsTheFacesItsModeNames)
{
    // A triangle clockwise on screen, and the same one counter-clockwise.
    const D3DVERTEX a = Vertex(-1, 1, 2, 0, 0, -1), b = Vertex(1, 1, 2, 0, 0, -1), c = Vertex(0, -1, 2, 0, 0, -1);
    struct Case {
        DWORD Mode;
        bool Clockwise, Drawn;
    };
    const Case cases[] = {{D3DCULL_NONE, true, true},  {D3DCULL_NONE, false, true}, {D3DCULL_CCW, true, true},
                          {D3DCULL_CCW, false, false}, {D3DCULL_CW, true, false},   {D3DCULL_CW, false, true}};
    Scene(0);
    for (const Case& k : cases) {
        Dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0);
        Dev->SetRenderState(D3DRENDERSTATE_CULLMODE, k.Mode);
        Solid(k.Clockwise ? std::vector{a, b, c} : std::vector{a, c, b}, Rgba(1, 1, 1));
        EXPECT_EQ(At(Side / 2, Side / 2) != 0, k.Drawn) << "mode " << k.Mode << " clockwise " << k.Clockwise;
    }
}

TEST_F(SoftDxRaster, GouraudShadingMatchesAnIndependentRendering)
{
    // Three corners lit by one light along +z, each normal turned its own way, so each gets
    // its own brightness N.L; inside, every pixel centre must carry the corners' colours
    // weighed by its barycentric coordinates, and nothing outside may be touched.
    const Vec corners[3] = {{-1.6f, 1.4f, 2}, {1.5f, 0.9f, 2}, {-0.2f, -1.7f, 2}};
    const Vec normals[3] = {Unit({0, 0, -1}), Unit({0.8f, 0, -0.6f}), Unit({0, 0.9f, -0.3f})};
    for (DWORD bits : {32u, 16u}) {
        Made.clear();
        Scene(0, bits);
        Dev->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
        Material(Rgba(1, 0.5f, 0.25f));
        D3DLIGHT7 light = MakeLight(D3DLIGHT_DIRECTIONAL, {}, {0, 0, 1});
        Dev->SetLight(0, &light);
        Dev->LightEnable(0, TRUE);
        std::vector<D3DVERTEX> v;
        for (int i = 0; i < 3; ++i)
            v.push_back(Vertex(corners[i].X, corners[i].Y, corners[i].Z, normals[i].X, normals[i].Y, normals[i].Z));
        Draw(v);

        std::pair<float, float> p[3];
        float brightness[3];
        for (int i = 0; i < 3; ++i) p[i] = OnScreen(corners[i]), brightness[i] = -normals[i].Z * 255;
        const auto edge = [](std::pair<float, float> a, std::pair<float, float> b, float x, float y) {
            return (b.first - a.first) * (y - a.second) - (b.second - a.second) * (x - a.first);
        };
        const float area = edge(p[0], p[1], p[2].first, p[2].second);
        const float tolerance = bits == 32 ? 2.0f : 9.0f;
        int inside = 0;
        for (uint32_t y = 0; y < Side; ++y)
            for (uint32_t x = 0; x < Side; ++x) {
                const float cx = float(x) + 0.5f, cy = float(y) + 0.5f;
                const float w0 = edge(p[1], p[2], cx, cy) / area, w1 = edge(p[2], p[0], cx, cy) / area,
                            w2 = edge(p[0], p[1], cx, cy) / area;
                const uint32_t seen = bits == 32 ? At(x, y) : [&] {
                    const uint32_t raw = LockedPixels(Screen).Get(x, y);
                    return ((raw >> 11) << 3) << 16 | ((raw >> 5 & 63) << 2) << 8 | (raw & 31) << 3;
                }();
                const float margin = 0.02f;
                if (w0 < -margin || w1 < -margin || w2 < -margin) {
                    EXPECT_EQ(seen, 0u) << x << "," << y;
                } else if (w0 > margin && w1 > margin && w2 > margin) {
                    ++inside;
                    const float b = w0 * brightness[0] + w1 * brightness[1] + w2 * brightness[2];
                    EXPECT_NEAR(float(Red(seen)), b, tolerance) << x << "," << y;
                    EXPECT_NEAR(float(Green(seen)), b * 0.5f, tolerance) << x << "," << y;
                    EXPECT_NEAR(float(Blue(seen)), b * 0.25f, tolerance) << x << "," << y;
                }
            }
        EXPECT_GT(inside, 600);
        for (auto it = Made.rbegin(); it != Made.rend(); ++it) (*it)->Release();
    }
    Made.clear();
}

TEST_F(SoftDxRaster, LightsFollowDirect3DsEquation)
{
    // A square at z = d facing the eye, lit from the eye: its four corners are alike, so the
    // centre shows their colour. Each corner lies at distance r = sqrt(d^2 + 2 s^2) with
    // N.L = d / r; a local viewer at the light makes N.H equal it too.
    struct Case {
        D3DLIGHTTYPE Type;
        float A0, A1, A2, Range;
        float Theta, Phi, Falloff;
        bool Specular;
        float Power;
    };
    const Case cases[] = {
        {D3DLIGHT_POINT, 1, 0, 0, 100, 0, 0, 1, false, 0},
        {D3DLIGHT_POINT, 0, 0.25f, 0, 100, 0, 0, 1, false, 0},
        {D3DLIGHT_POINT, 0.5f, 0, 0.05f, 100, 0, 0, 1, false, 0},
        {D3DLIGHT_POINT, 1, 0, 0, 3.5f, 0, 0, 1, false, 0},  // corners out of range: dark
        {D3DLIGHT_SPOT, 1, 0, 0, 100, 0.2f, 0.6f, 1, false, 0},
        {D3DLIGHT_SPOT, 1, 0, 0, 100, 0.1f, 0.3f, 1, false, 0},  // corners outside the cone
        {D3DLIGHT_SPOT, 1, 0, 0, 100, 0.9f, 1.2f, 1, false, 0},  // corners inside the inner cone
        {D3DLIGHT_POINT, 2, 0, 0, 100, 0, 0, 1, true, 10},
    };
    const float d = 4, s = 0.5f;
    const float r = std::sqrt(d * d + 2 * s * s), cosine = d / r;
    for (const Case& c : cases) {
        Made.clear();
        Scene(0);
        Dev->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
        Dev->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, c.Specular);
        Material(Rgba(0.6f, 0.6f, 0.6f), Rgba(0, 0.5f, 1), c.Power);
        D3DLIGHT7 light = MakeLight(c.Type, {0, 0, 0}, {0, 0, 1});
        light.dvAttenuation0 = c.A0, light.dvAttenuation1 = c.A1, light.dvAttenuation2 = c.A2;
        light.dvRange = c.Range, light.dvTheta = c.Theta, light.dvPhi = c.Phi, light.dvFalloff = c.Falloff;
        ASSERT_EQ(Dev->SetLight(0, &light), D3D_OK);
        Dev->LightEnable(0, TRUE);
        Draw(Quad(-s, s, s, -s, d));

        float scale = r > c.Range ? 0 : 1 / (c.A0 + c.A1 * r + c.A2 * r * r);
        if (c.Type == D3DLIGHT_SPOT) {
            const float inner = std::cos(c.Theta / 2), outer = std::cos(c.Phi / 2);
            scale *= cosine <= outer ? 0 : cosine >= inner ? 1 : (cosine - outer) / (inner - outer);
        }
        const float diffuse = std::min(1.0f, 0.6f * cosine * scale) * 255;
        const float specular = c.Specular ? std::pow(cosine, c.Power) * scale : 0;
        const uint32_t seen = At(Side / 2, Side / 2);
        EXPECT_NEAR(float(Red(seen)), diffuse, 1.5f) << "case " << (&c - cases);
        EXPECT_NEAR(float(Green(seen)), std::min(255.0f, diffuse + specular * 0.5f * 255), 1.5f) << (&c - cases);
        EXPECT_NEAR(float(Blue(seen)), std::min(255.0f, diffuse + specular * 255), 1.5f) << (&c - cases);
        for (auto it = Made.rbegin(); it != Made.rend(); ++it) (*it)->Release();
    }
    Made.clear();
}

TEST_F(SoftDxRaster, ClearFillsTheViewportOrItsRectanglesInTheTargetsFormat)
{
    Scene(16, 16);
    D3DVIEWPORT7 viewport{8, 8, 48, 48, 0, 1};
    ASSERT_EQ(Dev->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(Dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FF0000, 1, 0), D3D_OK);
    D3DRECT rect{{0}, {0}, {20}, {20}};
    ASSERT_EQ(Dev->Clear(1, &rect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x000000FF, 0.25f, 0), D3D_OK);
    {
        LockedPixels px(Screen);
        EXPECT_EQ(px.Get(7, 7), 0u) << "outside the viewport";
        EXPECT_EQ(px.Get(10, 10), 0x001Fu) << "the rectangle, within the viewport";
        EXPECT_EQ(px.Get(30, 30), 0xF800u);
    }
    // Depth 0.25 in the rectangle: a square at depth 0.5 shows only outside it.
    D3DMATRIX identity = Identity();
    Dev->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &identity);
    Solid(Quad(-1, 1, 1, -1, 0.5f), Rgba(0, 1, 0));
    {
        LockedPixels px(Screen);
        EXPECT_EQ(px.Get(10, 10), 0x001Fu);
        EXPECT_EQ(px.Get(30, 30), 0x07E0u);
    }

    IDirect3DDevice7* bare = Device(Target(8, 8));
    EXPECT_EQ(bare->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1, 0), D3DERR_ZBUFFER_NOTPRESENT);
}

TEST_F(SoftDxRaster, AFlipChainWithADeviceOnItsBackBufferShowsWhatWasDrawn)
{
    Exclusive();
    ASSERT_EQ(DD->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    d.dwBackBufferCount = 1;
    IDirectDrawSurface7* front = nullptr;
    ASSERT_EQ(DD->CreateSurface(&d, &front, nullptr), DD_OK);
    Keep(front);
    DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, {0}};
    IDirectDrawSurface7* back = nullptr;
    ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
    Keep(back);
    ASSERT_EQ(back->AddAttachedSurface(ZBuffer(640, 480)), DD_OK);
    IDirect3DDevice7* device = Device(back);
    for (D3DCOLOR colour : {0x00FF0000u, 0x000000FFu}) {
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1, 0), D3D_OK);
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        struct {
            float X, Y, Z, Rhw;
            DWORD Colour;
        } triangle[3] = {{100, 100, 0.5f, 1, 0x00FF00}, {200, 100, 0.5f, 1, 0x00FF00}, {100, 200, 0.5f, 1, 0x00FF00}};
        ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZRHW | D3DFVF_DIFFUSE, triangle, 3, 0), D3D_OK);
        ASSERT_EQ(device->EndScene(), D3D_OK);
        ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
        const auto& frame = Presenter->LastFrame();
        ASSERT_EQ(Presenter->LastSize(), (SoftDxSize{640, 480}));
        EXPECT_EQ(frame[10 * 640 + 10] & 0xFFFFFF, colour);
        EXPECT_EQ(frame[120 * 640 + 120] & 0xFFFFFF, 0x00FF00u);
    }
}

TEST_F(SoftDxRaster, APalettedTextureShowsItsPalettesColoursAsTheyChange)
{
    Scene(0);
    const DDPIXELFORMAT indexed = IndexedFormat();
    IDirectDrawSurface7* texture = Surface(DDSCAPS_TEXTURE, 1, 1, &indexed);
    LockedPixels(texture).Set(0, 0, 9);
    PALETTEENTRY entries[256] = {};
    entries[9] = {0x20, 0x40, 0x80, 0};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(DD->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr), DD_OK);
    Keep(palette);
    ASSERT_EQ(texture->SetPalette(palette), DD_OK);
    Dev->SetTexture(0, texture);
    Dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Draw(Quad(-2, 2, 2, -2, 2));
    EXPECT_EQ(At(Side / 2, Side / 2), 0x204080u);
    PALETTEENTRY changed{0x90, 0x10, 0x00, 0};
    ASSERT_EQ(palette->SetEntries(0, 9, 1, &changed), DD_OK);
    Draw(Quad(-2, 2, 2, -2, 2));
    EXPECT_EQ(At(Side / 2, Side / 2), 0x901000u) << "the texture's colours follow its palette";
}

TEST_F(SoftDxRaster, BlendingMixesWithTheTargetAndTheAlphaTestDropsPixels)
{
    // An orange square of alpha 0.25 (63) over grey (128): each case's colour worked out by hand.
    struct Case {
        bool Blend;
        DWORD Source, Dest;
        bool AlphaTest;
        DWORD AlphaFunc;
        uint32_t R, G, B;
    };
    const Case cases[] = {
        {false, D3DBLEND_ONE, D3DBLEND_ZERO, false, D3DCMP_ALWAYS, 255, 127, 0},
        {true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, false, D3DCMP_ALWAYS, 159, 128, 96},
        {true, D3DBLEND_ONE, D3DBLEND_ONE, false, D3DCMP_ALWAYS, 255, 255, 128},
        {true, D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, false, D3DCMP_ALWAYS, 128, 64, 0},
        {false, D3DBLEND_ONE, D3DBLEND_ZERO, true, D3DCMP_GREATER, 128, 128, 128},  // 63 is not above 128
        {false, D3DBLEND_ONE, D3DBLEND_ZERO, true, D3DCMP_LESS, 255, 127, 0},
    };
    for (const Case& c : cases) {
        Made.clear();
        Scene(16);
        Dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00808080, 1, 0);
        Dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, c.Blend);
        Dev->SetRenderState(D3DRENDERSTATE_SRCBLEND, c.Source);
        Dev->SetRenderState(D3DRENDERSTATE_DESTBLEND, c.Dest);
        Dev->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, c.AlphaTest);
        Dev->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, c.AlphaFunc);
        Dev->SetRenderState(D3DRENDERSTATE_ALPHAREF, 0x80);
        D3DMATERIAL7 m{};
        m.emissive = Rgba(1, 0.5f, 0);
        m.diffuse = Rgba(0, 0, 0, 0.25f);
        Dev->SetMaterial(&m);
        Dev->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
        Draw(Quad(-1, 1, 1, -1, 2));
        const uint32_t seen = At(Side / 2, Side / 2);
        EXPECT_NEAR(double(Red(seen)), c.R, 2) << "case " << (&c - cases);
        EXPECT_NEAR(double(Green(seen)), c.G, 2) << "case " << (&c - cases);
        EXPECT_NEAR(double(Blue(seen)), c.B, 2) << "case " << (&c - cases);
        if (c.AlphaTest && c.AlphaFunc == D3DCMP_GREATER) {
            // A dropped pixel leaves the depth as it was: a square behind still shows.
            Dev->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, FALSE);
            Solid(Quad(-1, 1, 1, -1, 3), Rgba(0, 1, 0));
            EXPECT_EQ(At(Side / 2, Side / 2), 0x00FF00u);
        }
        for (auto it = Made.rbegin(); it != Made.rend(); ++it) (*it)->Release();
    }
    Made.clear();
}
