// Flips a full-screen DirectDraw flip chain of the desktop's size, as the show does, while
// the process's memory moves between flips as it does at each picture change: after every
// flip a block of memory is taken and kept. Ends with status 0 and "flipped N" after all
// flips; any fault in the system's present path ends it early.
//
// Wine 8's GDI renderer (what its DirectDraw falls back to without OpenGL, or with
// WINE_D3D_CONFIG=renderer=gdi) frees the back buffer's memory after each present while the
// device context drawn from at the next present still points into it. This program makes that
// memory go to someone else, so such a renderer faults within a few flips instead of after a
// random number of picture changes:
//   WINE_D3D_CONFIG=renderer=gdi wine explorer /desktop=T,1280x720 FlipChainProgram.exe
//
// Usage: FlipChainProgram [FLIPS]   (default 60)
#include <ddraw.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

int Fail(const char* step, HRESULT result)
{
    std::printf("%s failed: 0x%08lx\n", step, static_cast<unsigned long>(result));
    return 1;
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}
}  // namespace

int main(int argc, char** argv)
{
    const int flips = argc > 1 ? std::atoi(argv[1]) : 60;
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "FlipChainProgram";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, windowClass.lpszClassName, "Flip chain", WS_POPUP | WS_VISIBLE, 0, 0,
                                  width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
    SetForegroundWindow(window);
    PumpMessages();

    IDirectDraw7* directDraw = nullptr;
    HRESULT result = DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&directDraw), IID_IDirectDraw7, nullptr);
    if (result != DD_OK) return Fail("DirectDrawCreateEx", result);
    result = directDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    if (result != DD_OK) return Fail("SetCooperativeLevel", result);
    result = directDraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height), 32, 0, 0);
    if (result != DD_OK) return Fail("SetDisplayMode", result);

    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    IDirectDrawSurface7* primary = nullptr;
    result = directDraw->CreateSurface(&desc, &primary, nullptr);
    if (result != DD_OK) return Fail("CreateSurface", result);
    DDSCAPS2 backCaps{};
    backCaps.dwCaps = DDSCAPS_BACKBUFFER;
    IDirectDrawSurface7* back = nullptr;
    result = primary->GetAttachedSurface(&backCaps, &back);
    if (result != DD_OK) return Fail("GetAttachedSurface", result);

    std::vector<void*> kept;
    for (int flip = 0; flip < flips; ++flip) {
        DDBLTFX fill{};
        fill.dwSize = sizeof fill;
        fill.dwFillColor = flip % 2 ? 0x0000FF : 0xFF0000;
        back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
        while ((result = primary->Flip(nullptr, DDFLIP_WAIT)) == DDERR_WASSTILLDRAWING) {
        }
        if (result != DD_OK) return Fail("Flip", result);
        // A megabyte, about a small picture's surface, taken where the system has just freed
        // memory and kept, as a new picture's surface is.
        kept.push_back(VirtualAlloc(nullptr, 1 << 20, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        PumpMessages();
    }
    std::printf("flipped %d\n", flips);

    back->Release();
    primary->Release();
    directDraw->Release();
    for (void* block : kept) VirtualFree(block, 0, MEM_RELEASE);
    DestroyWindow(window);
    return 0;
}
