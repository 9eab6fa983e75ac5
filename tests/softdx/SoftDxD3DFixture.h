#pragma once
// What the software Direct3D's tests share: a Direct3D object on the DirectDraw object of
// SoftDxTest, render targets, z-buffers, textures and devices, and the matrices and
// vertices of small scenes.
#include <cmath>
#include <functional>

#include "softdx/SoftDxFixture.h"

inline D3DMATRIX Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

// A left-handed perspective projection (Direct3D's): the eye at the origin looking along +z.
inline D3DMATRIX Perspective(float fovY, float aspect, float zn, float zf)
{
    const float h = 1.0f / std::tan(fovY / 2), q = zf / (zf - zn);
    return {h / aspect, 0, 0, 0, 0, h, 0, 0, 0, 0, q, 1, 0, 0, -q * zn, 0};
}

inline D3DMATRIX Translation(float x, float y, float z) { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}; }

inline D3DVERTEX Vertex(float x, float y, float z, float nx, float ny, float nz, float u = 0, float v = 0)
{
    D3DVERTEX vertex;
    vertex.x = x, vertex.y = y, vertex.z = z, vertex.nx = nx, vertex.ny = ny, vertex.nz = nz, vertex.tu = u,
    vertex.tv = v;
    return vertex;
}

inline D3DCOLORVALUE Rgba(float r, float g, float b, float a = 1)
{
    D3DCOLORVALUE c;
    c.r = r, c.g = g, c.b = b, c.a = a;
    return c;
}

class SoftDxD3DTest : public SoftDxTest {
protected:
    void SetUp() override
    {
        SoftDxTest::SetUp();
        Normal();
        ASSERT_EQ(DD->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&D3D)), DD_OK);
    }
    void TearDown() override
    {
        for (auto it = Made.rbegin(); it != Made.rend(); ++it) (*it)->Release();
        if (D3D) D3D->Release();
        SoftDxTest::TearDown();
    }
    template <typename T>
    T* Keep(T* object)
    {
        if (object) Made.push_back(object);
        return object;
    }

    IDirectDrawSurface7* Surface(DWORD caps, DWORD width, DWORD height, const DDPIXELFORMAT* format,
                                 HRESULT expected = DD_OK)
    {
        return Keep(NewSurface(caps, width, height, format, expected));
    }
    IDirectDrawSurface7* Target(DWORD width, DWORD height, DWORD bits = 32)
    {
        const DDPIXELFORMAT f =
            bits == 32 ? RgbFormat(32, 0xFF0000, 0xFF00, 0xFF) : RgbFormat(16, 0xF800, 0x07E0, 0x1F);
        return Surface(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY, width, height, &f);
    }
    IDirectDrawSurface7* ZBuffer(DWORD width, DWORD height, DWORD bits = 16)
    {
        const DDPIXELFORMAT f = ZFormat(bits);
        return Surface(DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY, width, height, &f);
    }
    IDirect3DDevice7* Device(IDirectDrawSurface7* target)
    {
        IDirect3DDevice7* device = nullptr;
        EXPECT_EQ(D3D->CreateDevice(IID_IDirect3DRGBDevice, target, &device), D3D_OK);
        return Keep(device);
    }
    // A 32-bit texture whose texel (x, y) is pixel(x, y).
    IDirectDrawSurface7* Texture(DWORD width, DWORD height, const std::function<uint32_t(DWORD, DWORD)>& pixel)
    {
        const DDPIXELFORMAT f = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
        IDirectDrawSurface7* t = Surface(DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, width, height, &f);
        LockedPixels px(t);
        for (DWORD y = 0; y < height; ++y)
            for (DWORD x = 0; x < width; ++x) px.Set(x, y, pixel(x, y));
        return t;
    }

    IDirect3D7* D3D = nullptr;
    std::vector<IUnknown*> Made;
};

// 0x00RRGGBB of a 32-bit surface's pixel.
inline uint32_t Rgb(IDirectDrawSurface7* s, uint32_t x, uint32_t y) { return LockedPixels(s).Get(x, y) & 0xFFFFFF; }
inline uint32_t Red(uint32_t c) { return c >> 16 & 0xFF; }
inline uint32_t Green(uint32_t c) { return c >> 8 & 0xFF; }
inline uint32_t Blue(uint32_t c) { return c & 0xFF; }
