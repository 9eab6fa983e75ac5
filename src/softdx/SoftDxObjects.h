#pragma once
// The software DirectDraw's objects. Each counts its references as COM does and ends when
// the count reaches zero. Surfaces and palettes hold a reference to the DirectDraw object
// that made them, so it outlives them; the front buffer of a flip chain holds one to each
// of its back buffers.
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "SoftDxBlit.h"
#include "SoftDxInternal.h"
#include "SoftDxUnknown.h"

namespace softdx {

class SoftDxSurface;

class SoftDxDirectDraw final : public SoftDxUnknown<SoftDxDirectDraw, IDirectDraw7, DDERR_INVALIDPARAMS> {
public:
    SoftDxDirectDraw();
    HRESULT STDMETHODCALLTYPE Compact() override;
    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) override;
    HRESULT STDMETHODCALLTYPE CreatePalette(DWORD flags, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* palette,
                                            IUnknown* outer) override;
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* surface,
                                            IUnknown* outer) override;
    HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE7, LPDIRECTDRAWSURFACE7*) override;
    HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD flags, LPDDSURFACEDESC2 filter, LPVOID context,
                                               LPDDENUMMODESCALLBACK2 callback) override;
    HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, LPDDSURFACEDESC2, LPVOID, LPDDENUMSURFACESCALLBACK7) override;
    HRESULT STDMETHODCALLTYPE FlipToGDISurface() override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS driverCaps, LPDDCAPS helCaps) override;
    HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC2 desc) override;
    HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD count, LPDWORD codes) override;
    HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE7* surface) override;
    HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD frequency) override;
    HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD line) override;
    HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(BOOL* inBlank) override;
    HRESULT STDMETHODCALLTYPE Initialize(GUID* guid) override;
    HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh,
                                             DWORD flags) override;
    HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD flags, HANDLE event) override;
    HRESULT STDMETHODCALLTYPE GetAvailableVidMem(LPDDSCAPS2 caps, LPDWORD total, LPDWORD free) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceFromDC(HDC dc, LPDIRECTDRAWSURFACE7* surface) override;
    HRESULT STDMETHODCALLTYPE RestoreAllSurfaces() override;
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override;
    HRESULT STDMETHODCALLTYPE GetDeviceIdentifier(LPDDDEVICEIDENTIFIER2 identifier, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE StartModeTest(LPSIZE modes, DWORD count, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE EvaluateMode(DWORD flags, DWORD* timeout) override;

    // The mode surfaces are made in: the emulated one while set, else the screen's.
    DisplayMode CurrentMode() const;
    bool Exclusive() const { return FExclusive; }
    HWND Window() const { return FWindow; }
    void Forget(SoftDxSurface* surface);
    // IDirect3D7: a new Direct3D object that holds this one.
    HRESULT QueryOther(REFIID riid, void** object);
    // Every surface but the primary and its chain: plain, 3D target, texture (with its
    // mip-map levels) or z-buffer.
    HRESULT CreateOffscreen(const DDSURFACEDESC2& desc, DWORD caps, SoftDxSurface** made);

private:
    friend SoftDxUnknown;
    static bool Answers(REFIID riid) { return riid == IID_IDirectDraw7; }
    ~SoftDxDirectDraw();
    // Tells EmulatedFullScreen what this object's level and mode now are.
    void PublishMode();
    bool FLevelSet = false;
    bool FExclusive = false;
    HWND FWindow = nullptr;
    std::optional<DisplayMode> FEmulatedMode;
    SoftDxSurface* FPrimary = nullptr;
    std::vector<SoftDxSurface*> FSurfaces;  // alive, not owned
};

class SoftDxPalette final : public SoftDxUnknown<SoftDxPalette, IDirectDrawPalette, DDERR_INVALIDPARAMS> {
public:
    SoftDxPalette(SoftDxDirectDraw* owner, DWORD caps, const PALETTEENTRY* entries);
    HRESULT STDMETHODCALLTYPE GetCaps(LPDWORD caps) override;
    HRESULT STDMETHODCALLTYPE GetEntries(DWORD flags, DWORD base, DWORD count, LPPALETTEENTRY entries) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, DWORD, LPPALETTEENTRY) override;
    HRESULT STDMETHODCALLTYPE SetEntries(DWORD flags, DWORD first, DWORD count, LPPALETTEENTRY entries) override;

    const PALETTEENTRY* Entries() const { return FEntries; }
    // Counts SetEntries calls, so copies made through the palette know when they are stale.
    uint32_t Version() const { return FVersion; }

private:
    friend SoftDxUnknown;
    static bool Answers(REFIID riid) { return riid == IID_IDirectDrawPalette; }
    ~SoftDxPalette();
    SoftDxDirectDraw* FOwner;
    DWORD FCaps;
    DWORD FSize;
    PALETTEENTRY FEntries[256] = {};
    uint32_t FVersion = 0;
};

class SoftDxClipper final : public SoftDxUnknown<SoftDxClipper, IDirectDrawClipper, DDERR_INVALIDPARAMS> {
public:
    HRESULT STDMETHODCALLTYPE GetClipList(LPRECT rect, LPRGNDATA list, LPDWORD size) override;
    HRESULT STDMETHODCALLTYPE GetHWnd(HWND* window) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, DWORD) override;
    HRESULT STDMETHODCALLTYPE IsClipListChanged(BOOL* changed) override;
    HRESULT STDMETHODCALLTYPE SetClipList(LPRGNDATA list, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND window) override;

    HWND Window() const { return FWindow; }
    // Where blits through this clipper may draw, in the destination's coordinates: the clip
    // list's rectangles, or the visible parts of the named window; nullopt for anywhere.
    std::optional<std::vector<RECT>> Region() const;

private:
    friend SoftDxUnknown;
    static bool Answers(REFIID riid) { return riid == IID_IDirectDrawClipper; }
    ~SoftDxClipper() = default;
    HWND FWindow = nullptr;
    std::vector<uint8_t> FClipList;  // the region as given, header and rectangles
};

using PixelMemory = SoftDxPixelMemory;

}  // namespace softdx
