#pragma once
// The DirectX entry points the layer calls. On Windows they are looked up by name in the
// system's DirectX libraries, so the program still starts where a library is missing; on
// Linux they are the software DirectX's own functions. An entry point that could not be
// found is null, and the helpers below answer for it as a DirectX without drivers would.
#include <cstdint>

#include "wdx/DirectXApi.h"
#include "wdx/WdxPlatform.h"

// A function looked up by name whose type the layer does not use yet.
using TDirectXProc = void (*)();

// A rectangle in 1/65536 of a pixel.
struct TSubPixelRect {
    int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};
inline constexpr int64_t SubPixelOne = 65536;
using TBltSubPixel = HRESULT (*)(IDirectDrawSurface7* destination, const RECT* destinationRect,
                                 IDirectDrawSurface7* source, const TSubPixelRect& sourceRect);

struct TDirectXBinding {
    LPDIRECTDRAWENUMERATEEXA DirectDrawEnumerateExA = nullptr;
    decltype(&::DirectDrawCreateEx) DirectDrawCreateEx = nullptr;
    decltype(&::DirectInputCreateEx) DirectInputCreateEx = nullptr;
    decltype(&::DirectSoundCreate) DirectSoundCreate = nullptr;
    TDirectXProc DirectXFileCreate = nullptr;
    // The program's instance, which DirectInput is created for (null on Linux).
    HINSTANCE Instance = nullptr;
    // Whether a surface that one thread alone uses may be locked, written and blitted from
    // on a thread other than the one that made the DirectDraw object. Making and releasing
    // surfaces stays on that thread either way.
    bool SurfacesWorkOffThread = false;
    // A blit (waiting while the blitter is busy, no colour keys) whose source rectangle lies
    // between pixels, where the platform's DirectDraw can take one; null where it cannot, and
    // callers round the rectangle to whole pixels.
    TBltSubPixel BltSubPixel = nullptr;
    // The size a frame of width x height drawn for window ends up on the screen at, where the
    // platform scales frames to their window (an emulated mode); null where frames are shown
    // at their own size. False when it cannot tell.
    bool (*FrameShownSize)(HWND window, int width, int height, int& shownWidth, int& shownHeight) = nullptr;

    // Enumerates the DirectDraw drivers. Without DirectDraw the callback is never called, so
    // the driver list stays empty, and the result is DDERR_GENERIC (E_FAIL), which the
    // DirectDraw texts describe as a generic failure.
    HRESULT EnumerateDrivers(LPDDENUMCALLBACKEXA callback, LPVOID context, DWORD flags) const
    {
        if (!DirectDrawEnumerateExA) return E_FAIL;
        return DirectDrawEnumerateExA(callback, context, flags);
    }

    // Creates an IDirectDraw7 for the driver (null: the primary display driver). Without
    // DirectDraw *directDraw is null and the result is DDERR_GENERIC (E_FAIL).
    HRESULT CreateDirectDraw(GUID* driver, LPDIRECTDRAW7* directDraw) const
    {
        *directDraw = nullptr;
        if (!DirectDrawCreateEx) return E_FAIL;
        return DirectDrawCreateEx(driver, reinterpret_cast<LPVOID*>(directDraw), IID_IDirectDraw7, nullptr);
    }

    // Creates DirectInput 7 for the program's instance. Without DirectInput *directInput is
    // null and the result is DIERR_GENERIC (E_FAIL).
    HRESULT CreateDirectInput(IDirectInput7A** directInput) const
    {
        *directInput = nullptr;
        if (!DirectInputCreateEx) return E_FAIL;
        return DirectInputCreateEx(Instance, 0x0700, IID_IDirectInput7A, reinterpret_cast<LPVOID*>(directInput),
                                   nullptr);
    }

    // Creates DirectSound on the default output. Without DirectSound *directSound is null and
    // the result is DSERR_GENERIC (E_FAIL).
    HRESULT CreateDirectSound(IDirectSound** directSound) const
    {
        *directSound = nullptr;
        if (!DirectSoundCreate) return E_FAIL;
        return DirectSoundCreate(nullptr, directSound, nullptr);
    }
};

// DirectXBinding, LoadDirectXLibraries and FreeDirectXLibraries are the platform's:
// wdx/WdxPlatform.h.

// Holds the DirectX libraries for its lifetime: one in main() covers the whole program.
class TDirectXLibraries {
public:
    TDirectXLibraries() { LoadDirectXLibraries(); }
    ~TDirectXLibraries() { FreeDirectXLibraries(); }
    TDirectXLibraries(const TDirectXLibraries&) = delete;
    TDirectXLibraries& operator=(const TDirectXLibraries&) = delete;
};
