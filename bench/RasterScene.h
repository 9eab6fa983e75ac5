#pragma once
// The scene raster_bench draws, shared by its two renderers: 40 spheres of 500 triangles
// turning in an 8 x 5 grid, a checker texture with grain, a sun and a lamp.
#include <cmath>
#include <cstdint>
#include <vector>

#include "BenchSupport.h"
#include "SoftDxApi.h"

namespace raster_scene {

constexpr DWORD Width = 1280, Height = 720;
constexpr int Columns = 8, Rows = 5, Rings = 10, Segments = 25;
constexpr int Frames = 40;
constexpr uint32_t TextureSide = 256;
constexpr float FieldOfView = 1.0f, Near = 1.0f, Far = 100.0f;

struct Mesh {
    std::vector<D3DVERTEX> Vertices;
    std::vector<WORD> Indices;
};

inline Mesh Sphere(float radius = 0.55f)
{
    Mesh m;
    const float pi = 3.14159265f;
    for (int i = 0; i <= Rings; ++i)
        for (int j = 0; j <= Segments; ++j) {
            const float theta = pi * float(i) / Rings, phi = 2 * pi * float(j) / Segments;
            const float nx = std::sin(theta) * std::cos(phi), ny = std::cos(theta),
                        nz = std::sin(theta) * std::sin(phi);
            D3DVERTEX v;
            v.x = radius * nx, v.y = radius * ny, v.z = radius * nz, v.nx = nx, v.ny = ny, v.nz = nz;
            v.tu = 4.0f * float(j) / Segments, v.tv = 2.0f * float(i) / Rings;
            m.Vertices.push_back(v);
        }
    for (int i = 0; i < Rings; ++i)
        for (int j = 0; j < Segments; ++j) {
            const WORD a = WORD(i * (Segments + 1) + j), b = WORD(a + 1), c = WORD(a + Segments + 1), d = WORD(c + 1);
            m.Indices.insert(m.Indices.end(), {a, b, d, a, d, c});  // clockwise on screen from outside
        }
    return m;
}

inline uint32_t Texel(uint32_t x, uint32_t y)
{
    return ((x / 32 + y / 32) % 2 ? 0xF0E0C0u : 0x405080u) ^ (Hash(x * 256 + y) & 0x0F0F0F);
}

// The world matrix (row vectors, Direct3D's order) of one sphere in one frame: each turns a
// little every frame so no two frames draw the same pixels.
inline D3DMATRIX World(int frame, int row, int column)
{
    const float angle = 0.05f * float(frame) + float(row * Columns + column);
    const float c = std::cos(angle), s = std::sin(angle);
    return {c,
            0,
            -s,
            0,
            0,
            1,
            0,
            0,
            s,
            0,
            c,
            0,
            1.15f * (float(column) - (Columns - 1) / 2.0f),
            1.15f * (float(row) - (Rows - 1) / 2.0f),
            5.5f,
            1};
}

inline D3DMATRIX Projection()
{
    const float h = 1.0f / std::tan(FieldOfView / 2), aspect = float(Width) / Height, q = Far / (Far - Near);
    return {h / aspect, 0, 0, 0, 0, h, 0, 0, 0, 0, q, 1, 0, 0, -q * Near, 0};
}

// Sun: directional, 0.8 grey, shining along (0.5, -0.6, 1). Lamp: a point at (-2, 2, 3),
// colour (0.6, 0.5, 0.3), range 50, attenuation 0.5 + 0.05 d. Ambient 0x20 grey; material
// white with specular 0.5 of power 20.
constexpr float SunDirection[3] = {0.5f, -0.6f, 1}, SunColour = 0.8f;
constexpr float LampPosition[3] = {-2, 2, 3}, LampColour[3] = {0.6f, 0.5f, 0.3f};
constexpr float LampRange = 50, LampConstant = 0.5f, LampLinear = 0.05f;
constexpr float Ambient = 0x20 / 255.0f, Specular = 0.5f, Power = 20;

}  // namespace raster_scene
