// The software Direct3D's vertex stage: reading flexible vertex layouts, the world, view and
// projection transforms, and Direct3D 7's lighting equation for up to eight directional,
// point and spot lights, evaluated per vertex in camera space.
// Implements: softdx::VertexStride, TransformAndLight.
// Not here: vertex blending (D3DFVF_XYZB1..5 layouts are refused), texture coordinate
// generation and transforms, fog.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "SoftDxRaster.h"

namespace softdx {

namespace {

struct Vec3 {
    float X, Y, Z;
};
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.X * s, a.Y * s, a.Z * s}; }
inline float Dot(Vec3 a, Vec3 b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
inline float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
inline Vec3 Normalised(Vec3 a)
{
    const float length = Length(a);
    return length > 0.0f ? a * (1.0f / length) : a;
}

struct Colour {
    float R = 0, G = 0, B = 0;
};
Colour FromValue(const D3DCOLORVALUE& c) { return {c.r, c.g, c.b}; }

// Points go through rows 1-3 plus the translation row; directions through rows 1-3 only.
inline Vec3 Point(const D3DMATRIX& m, Vec3 p)
{
    return {p.X * m._11 + p.Y * m._21 + p.Z * m._31 + m._41, p.X * m._12 + p.Y * m._22 + p.Z * m._32 + m._42,
            p.X * m._13 + p.Y * m._23 + p.Z * m._33 + m._43};
}
inline Vec3 Direction(const D3DMATRIX& m, Vec3 d)
{
    return {d.X * m._11 + d.Y * m._21 + d.Z * m._31, d.X * m._12 + d.Y * m._22 + d.Z * m._32,
            d.X * m._13 + d.Y * m._23 + d.Z * m._33};
}

// Normals go through the inverse transpose of the world-view matrix's upper 3 x 3, so
// they stay at right angles to surfaces under any scaling. A singular matrix keeps the
// matrix itself.
D3DMATRIX NormalMatrix(const D3DMATRIX& m)
{
    const float a = m._11, b = m._12, c = m._13, d = m._21, e = m._22, f = m._23, g = m._31, h = m._32, i = m._33;
    const float co11 = e * i - f * h, co12 = f * g - d * i, co13 = d * h - e * g;
    const float det = a * co11 + b * co12 + c * co13;
    D3DMATRIX n{};
    if (std::fabs(det) < 1e-20f) {
        n = m;
        n._41 = n._42 = n._43 = 0;
        return n;
    }
    const float s = 1.0f / det;
    // (M^-1)^T is the cofactor matrix over the determinant.
    n._11 = co11 * s, n._12 = co12 * s, n._13 = co13 * s;
    n._21 = (c * h - b * i) * s, n._22 = (a * i - c * g) * s, n._23 = (b * g - a * h) * s;
    n._31 = (b * f - c * e) * s, n._32 = (c * d - a * f) * s, n._33 = (a * e - b * d) * s;
    n._44 = 1;
    return n;
}

struct CameraLight {
    D3DLIGHTTYPE Type;
    Colour Diffuse, Specular, Ambient;
    Vec3 Position, Direction;  // direction: towards where the light shines, unit length
    float Range, Falloff, A0, A1, A2, CosHalfTheta, CosHalfPhi;
};

struct Layout {
    uint32_t Stride = 0, Normal = 0, Diffuse = 0, Specular = 0, Texture = 0;
    bool HasNormal = false, HasDiffuse = false, HasSpecular = false, HasTexture = false, ScreenSpace = false;
};

bool ReadLayout(DWORD fvf, Layout& l)
{
    if (fvf & (0x001 | 0xF000)) return false;  // reserved bits
    uint32_t at;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: at = 12; break;
    case D3DFVF_XYZRHW: at = 16, l.ScreenSpace = true; break;
    default: return false;
    }
    if (fvf & D3DFVF_NORMAL) l.HasNormal = !l.ScreenSpace, l.Normal = at, at += 12;
    if (fvf & 0x020) at += 4;  // the reserved field of D3DFVF_LVERTEX
    if (fvf & D3DFVF_DIFFUSE) l.HasDiffuse = true, l.Diffuse = at, at += 4;
    if (fvf & D3DFVF_SPECULAR) l.HasSpecular = true, l.Specular = at, at += 4;
    const DWORD sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > 8) return false;
    l.HasTexture = sets > 0;
    l.Texture = at;
    for (DWORD set = 0; set < sets; ++set) {
        static constexpr uint32_t Floats[4] = {2, 3, 4, 1};
        at += 4 * Floats[(fvf >> (16 + 2 * set)) & 3];
    }
    l.Stride = at;
    return true;
}

inline float ReadFloat(const uint8_t* p)
{
    float f;
    std::memcpy(&f, p, sizeof f);
    return f;
}
inline DWORD ReadColour(const uint8_t* p)
{
    DWORD c;
    std::memcpy(&c, p, sizeof c);
    return c;
}

CameraLight ToCamera(const D3DLIGHT7& l, const D3DMATRIX& view)
{
    CameraLight c;
    c.Type = l.dltType;
    c.Diffuse = FromValue(l.dcvDiffuse);
    c.Specular = FromValue(l.dcvSpecular);
    c.Ambient = FromValue(l.dcvAmbient);
    c.Position = Point(view, {l.dvPosition.x, l.dvPosition.y, l.dvPosition.z});
    c.Direction = Normalised(Direction(view, {l.dvDirection.x, l.dvDirection.y, l.dvDirection.z}));
    c.Range = l.dvRange;
    c.Falloff = l.dvFalloff;
    c.A0 = l.dvAttenuation0, c.A1 = l.dvAttenuation1, c.A2 = l.dvAttenuation2;
    c.CosHalfTheta = std::cos(l.dvTheta * 0.5f);
    c.CosHalfPhi = std::cos(l.dvPhi * 0.5f);
    return c;
}

// x^power. Materials mostly give whole powers, and squaring for those is several times
// quicker than the library's pow, and as exact.
struct Power {
    float P;
    uint32_t Whole;  // the power when whole and at most 256, else 0
    explicit Power(float p) : P(p), Whole(p >= 1.0f && p <= 256.0f && p == std::floor(p) ? uint32_t(p) : 0) {}
    float Of(float x) const
    {
        if (!Whole) return std::pow(x, P);
        float result = 1.0f;
        for (uint32_t n = Whole; n; n >>= 1, x *= x)
            if (n & 1) result *= x;
        return result;
    }
};

// Direct3D 7's equation: emissive + material ambient x (global ambient + each light's
// ambient) + material diffuse x each light's diffuse x N.L, and separately material
// specular x each light's specular x (N.H)^power, every light's share scaled by its
// attenuation 1 / (a0 + a1 d + a2 d^2) and spot factor, and nothing beyond its range.
void Light(const PipelineState& s, const std::vector<CameraLight>& lights, const Power& power, Vec3 position,
           Vec3 normal, ClipVertex& out)
{
    const D3DMATERIAL7& m = s.Material;
    Colour ambient{RGBA_GETRED(s.Ambient) / 255.0f, RGBA_GETGREEN(s.Ambient) / 255.0f,
                   RGBA_GETBLUE(s.Ambient) / 255.0f};
    Colour diffuse, specular;
    const Vec3 toEye = s.LocalViewer ? Normalised(position * -1.0f) : Vec3{0, 0, -1};
    for (const CameraLight& l : lights) {
        Vec3 toLight;
        float scale = 1.0f;
        if (l.Type == D3DLIGHT_DIRECTIONAL) {
            toLight = l.Direction * -1.0f;
        } else {
            const Vec3 offset = l.Position - position;
            const float distance = Length(offset);
            if (distance > l.Range) continue;
            toLight = distance > 0.0f ? offset * (1.0f / distance) : Vec3{0, 0, -1};
            const float attenuation = l.A0 + l.A1 * distance + l.A2 * distance * distance;
            scale = attenuation > 0.0f ? 1.0f / attenuation : 1.0f;
            if (l.Type == D3DLIGHT_SPOT) {
                const float rho = -Dot(toLight, l.Direction);
                if (rho <= l.CosHalfPhi) continue;
                if (rho < l.CosHalfTheta) {
                    const float t = (rho - l.CosHalfPhi) / (l.CosHalfTheta - l.CosHalfPhi);
                    scale *= l.Falloff == 1.0f ? t : std::pow(t, l.Falloff);
                }
            }
        }
        ambient.R += l.Ambient.R * scale, ambient.G += l.Ambient.G * scale, ambient.B += l.Ambient.B * scale;
        const float lambert = Dot(normal, toLight);
        if (lambert <= 0.0f) continue;
        const float d = lambert * scale;
        diffuse.R += l.Diffuse.R * d, diffuse.G += l.Diffuse.G * d, diffuse.B += l.Diffuse.B * d;
        if (s.Specular && m.power > 0.0f) {
            const float nh = Dot(normal, Normalised(toLight + toEye));
            if (nh > 0.0f) {
                const float sp = power.Of(nh) * scale;
                specular.R += l.Specular.R * sp, specular.G += l.Specular.G * sp, specular.B += l.Specular.B * sp;
            }
        }
    }
    auto channel = [](float v) { return std::clamp(v, 0.0f, 1.0f) * 255.0f; };
    out.R = channel(m.emissive.r + m.ambient.r * ambient.R + m.diffuse.r * diffuse.R);
    out.G = channel(m.emissive.g + m.ambient.g * ambient.G + m.diffuse.g * diffuse.G);
    out.B = channel(m.emissive.b + m.ambient.b * ambient.B + m.diffuse.b * diffuse.B);
    out.A = channel(m.diffuse.a);
    out.SR = channel(m.specular.r * specular.R);
    out.SG = channel(m.specular.g * specular.G);
    out.SB = channel(m.specular.b * specular.B);
}

}  // namespace

uint32_t VertexStride(DWORD fvf)
{
    Layout layout;
    return ReadLayout(fvf, layout) ? layout.Stride : 0;
}

void TransformAndLight(const PipelineState& s, DWORD fvf, const uint8_t* vertices, uint32_t count,
                       PipelineScratch& scratch)
{
    Layout l;
    ReadLayout(fvf, l);
    scratch.Vertices.resize(count);
    scratch.ScreenSpace = l.ScreenSpace;
    const D3DMATRIX worldView = Multiply(s.World, s.View);
    const D3DMATRIX all = Multiply(worldView, s.Projection);
    const D3DMATRIX normals = NormalMatrix(worldView);
    const bool lit = s.Lighting && l.HasNormal;
    const Power power(s.Material.power);
    std::vector<CameraLight> lights;
    if (lit)
        for (const D3DLIGHT7& light : s.Lights) lights.push_back(ToCamera(light, s.View));

    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* v = vertices + size_t{i} * l.Stride;
        ClipVertex& out = scratch.Vertices[i];
        const Vec3 p{ReadFloat(v), ReadFloat(v + 4), ReadFloat(v + 8)};
        if (l.ScreenSpace) {
            const float rhw = ReadFloat(v + 12);
            out.X = p.X, out.Y = p.Y, out.Z = p.Z, out.W = rhw != 0.0f ? 1.0f / rhw : 1.0f;
        } else {
            out.X = p.X * all._11 + p.Y * all._21 + p.Z * all._31 + all._41;
            out.Y = p.X * all._12 + p.Y * all._22 + p.Z * all._32 + all._42;
            out.Z = p.X * all._13 + p.Y * all._23 + p.Z * all._33 + all._43;
            out.W = p.X * all._14 + p.Y * all._24 + p.Z * all._34 + all._44;
        }
        if (lit) {
            Vec3 n =
                Direction(normals, {ReadFloat(v + l.Normal), ReadFloat(v + l.Normal + 4), ReadFloat(v + l.Normal + 8)});
            if (s.NormalizeNormals) n = Normalised(n);
            Light(s, lights, power, Point(worldView, p), n, out);
        } else {
            const DWORD c = l.HasDiffuse ? ReadColour(v + l.Diffuse) : 0xFFFFFFFF;
            const DWORD sp = l.HasSpecular ? ReadColour(v + l.Specular) : 0;
            out.R = float(RGBA_GETRED(c)), out.G = float(RGBA_GETGREEN(c)), out.B = float(RGBA_GETBLUE(c));
            out.A = float(RGBA_GETALPHA(c));
            out.SR = float(RGBA_GETRED(sp)), out.SG = float(RGBA_GETGREEN(sp)), out.SB = float(RGBA_GETBLUE(sp));
        }
        out.U = l.HasTexture ? ReadFloat(v + l.Texture) : 0.0f;
        out.V = l.HasTexture ? ReadFloat(v + l.Texture + 4) : 0.0f;
    }
}

// Row vectors, as Direct3D's: a then b.
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r;
    const float* x = &a._11;
    const float* y = &b._11;
    float* out = &r._11;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out[i * 4 + j] =
                x[i * 4] * y[j] + x[i * 4 + 1] * y[4 + j] + x[i * 4 + 2] * y[8 + j] + x[i * 4 + 3] * y[12 + j];
    return r;
}

}  // namespace softdx
