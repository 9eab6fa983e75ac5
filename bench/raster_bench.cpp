// The software Direct3D's speed: a frame of 40 lit, textured spheres (20,000 triangles,
// two lights, a bilinear 256 x 256 texture, a 16-bit z-buffer) drawn into a 1280 x 720
// 32-bit target on one core. Reports triangles per second and the median milliseconds a
// frame takes (clearing, transforming, lighting and filling), in processor time of the
// drawing thread: the machines this runs on are shared, and waiting for a core is not
// drawing. Wall-clock time is printed beside it. When Mesa is installed the same scene is
// drawn by its software OpenGL (llvmpipe) on one thread, and the ratio is reported.
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "RasterBenchGl.h"
#include "RasterScene.h"
#include "SoftDxControl.h"

namespace {

using namespace raster_scene;
constexpr double TargetMs = 16;

double ThreadMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

#define CHECK(call)                                                                              \
    do {                                                                                         \
        if (HRESULT hr_ = (call); FAILED(hr_)) {                                                 \
            std::printf("%s failed: 0x%08X\n", #call, unsigned(hr_));                            \
            std::printf("raster-frame-ms: not measured (target at most %.0f) FAIL\n", TargetMs); \
            return 1;                                                                            \
        }                                                                                        \
    } while (0)

}  // namespace

int main()
{
    IDirectDraw7* dd = nullptr;
    CHECK(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr));
    CHECK(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
    IDirect3D7* d3d = nullptr;
    CHECK(dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&d3d)));

    auto surface = [&](DWORD caps, DWORD w, DWORD h, const DDPIXELFORMAT& format, IDirectDrawSurface7** made) {
        DDSURFACEDESC2 d;
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.ddsCaps.dwCaps = caps | DDSCAPS_SYSTEMMEMORY;
        d.dwWidth = w, d.dwHeight = h, d.ddpfPixelFormat = format;
        return dd->CreateSurface(&d, made, nullptr);
    };
    DDPIXELFORMAT rgb{}, z{};
    rgb.dwSize = z.dwSize = sizeof rgb;
    rgb.dwFlags = DDPF_RGB, rgb.dwRGBBitCount = 32, rgb.dwRBitMask = 0xFF0000, rgb.dwGBitMask = 0xFF00;
    rgb.dwBBitMask = 0xFF;
    z.dwFlags = DDPF_ZBUFFER, z.dwZBufferBitDepth = 16, z.dwZBitMask = 0xFFFF;
    IDirectDrawSurface7 *target = nullptr, *depth = nullptr, *texture = nullptr;
    CHECK(surface(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, Width, Height, rgb, &target));
    CHECK(surface(DDSCAPS_ZBUFFER, Width, Height, z, &depth));
    CHECK(target->AddAttachedSurface(depth));
    CHECK(surface(DDSCAPS_TEXTURE, TextureSide, TextureSide, rgb, &texture));
    DDSURFACEDESC2 lock;
    std::memset(&lock, 0, sizeof lock);
    lock.dwSize = sizeof lock;
    CHECK(texture->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr));
    for (DWORD y = 0; y < TextureSide; ++y)
        for (DWORD x = 0; x < TextureSide; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lock.lpSurface) + y * lock.lPitch)[x] = Texel(x, y);
    CHECK(texture->Unlock(nullptr));

    IDirect3DDevice7* device = nullptr;
    CHECK(d3d->CreateDevice(IID_IDirect3DRGBDevice, target, &device));
    D3DVIEWPORT7 viewport{0, 0, Width, Height, 0, 1};
    CHECK(device->SetViewport(&viewport));
    D3DMATRIX projection = Projection();
    CHECK(device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection));
    D3DMATERIAL7 material{};
    material.diffuse.r = material.diffuse.g = material.diffuse.b = material.diffuse.a = 1;
    material.ambient = material.diffuse;
    material.specular.r = material.specular.g = material.specular.b = Specular;
    material.power = Power;
    CHECK(device->SetMaterial(&material));
    D3DLIGHT7 sun{}, lamp{};
    sun.dltType = D3DLIGHT_DIRECTIONAL;
    sun.dcvDiffuse.r = sun.dcvDiffuse.g = sun.dcvDiffuse.b = SunColour;
    sun.dcvSpecular = sun.dcvDiffuse;
    sun.dvDirection.x = SunDirection[0], sun.dvDirection.y = SunDirection[1], sun.dvDirection.z = SunDirection[2];
    lamp.dltType = D3DLIGHT_POINT;
    lamp.dcvDiffuse.r = LampColour[0], lamp.dcvDiffuse.g = LampColour[1], lamp.dcvDiffuse.b = LampColour[2];
    lamp.dvPosition.x = LampPosition[0], lamp.dvPosition.y = LampPosition[1], lamp.dvPosition.z = LampPosition[2];
    lamp.dvRange = LampRange, lamp.dvAttenuation0 = LampConstant, lamp.dvAttenuation1 = LampLinear;
    CHECK(device->SetLight(0, &sun));
    CHECK(device->SetLight(1, &lamp));
    CHECK(device->LightEnable(0, TRUE));
    CHECK(device->LightEnable(1, TRUE));
    CHECK(device->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x00202020));
    CHECK(device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE));
    CHECK(device->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_TRUE));
    CHECK(device->SetTexture(0, texture));
    CHECK(device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR));
    CHECK(device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR));

    Mesh sphere = Sphere();
    const size_t trianglesPerFrame = size_t{Columns} * Rows * sphere.Indices.size() / 3;
    std::vector<double> frames, wall;
    for (int frame = 0; frame < Frames; ++frame) {
        const auto start = std::chrono::steady_clock::now();
        const double startCpu = ThreadMs();
        CHECK(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00101830, 1, 0));
        CHECK(device->BeginScene());
        for (int row = 0; row < Rows; ++row)
            for (int column = 0; column < Columns; ++column) {
                D3DMATRIX world = World(frame, row, column);
                CHECK(device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world));
                CHECK(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, sphere.Vertices.data(),
                                                   DWORD(sphere.Vertices.size()), sphere.Indices.data(),
                                                   DWORD(sphere.Indices.size()), 0));
            }
        CHECK(device->EndScene());
        frames.push_back(ThreadMs() - startCpu);
        wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    const double ms = Median(frames);
    std::printf(
        "%zu triangles a frame, %u x %u: %.2f ms of processor time a frame (median of %zu; %.2f ms by the "
        "clock), %.2f million triangles a second\n",
        trianglesPerFrame, unsigned(Width), unsigned(Height), ms, frames.size(), Median(wall),
        double(trianglesPerFrame) / ms / 1000.0);
    std::printf("raster-frame-ms: %.2f (target at most %.0f) %s\n", ms, TargetMs, ms <= TargetMs ? "PASS" : "FAIL");
    std::string why;
    const double reference = LlvmpipeFrameMs(why);
    if (reference > 0)
        std::printf(
            "raster-vs-llvmpipe: %.2f (target none, report only: ours %.2f ms, llvmpipe on one core %.2f ms) PASS\n",
            ms / reference, ms, reference);
    else
        std::printf("llvmpipe not measured: %s\n", why.c_str());
    device->Release();
    texture->Release();
    depth->Release();
    target->Release();
    d3d->Release();
    dd->Release();
    return 0;
}
