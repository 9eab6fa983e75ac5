#pragma once
// A surface of the software DirectDraw: pixels in system memory whatever the caps asked.
// A flip chain is one front buffer and its back buffers sharing a FlipChain; Flip moves
// the pixel memory round the chain while the surface objects stay where they are.
#include <memory>
#include <vector>

#include "SoftDxObjects.h"

namespace softdx {

struct FlipChain {
    std::vector<SoftDxSurface*> Members;  // front buffer first
    // The screen's whole picture, for frames stretched straight to the screen's size
    // (SoftDxSurfaceBlt.cpp); memory of the presenter's, made on first use.
    PixelMemory ScreenFrame;
    SoftDxSize ScreenFrameSize;
    RECT ScreenFrameRect{};
    // What it shows: a slow animation repeats a frame often, and the stretch is then skipped.
    uint64_t ShownSerial = 0;  // the source's; 0 for nothing yet
    DWORD ShownUniqueness = 0;
    SoftDxFineRect ShownSourceRect;
    // The stretch the front buffer shows, while its pixels are unchanged since (its
    // uniqueness value then): a flip to the same stretch again only repeats the frame.
    struct Stretch {
        uint64_t SourceSerial = 0;
        DWORD SourceUniqueness = 0;
        SoftDxFineRect SourceRect;
        DWORD FrontUniqueness = 0;
    };
    std::optional<Stretch> FrontShows;
};

class SoftDxSurface final : public SoftDxUnknown<SoftDxSurface, IDirectDrawSurface7, DDERR_INVALIDPARAMS> {
public:
    SoftDxSurface(SoftDxDirectDraw* owner, DWORD caps, uint32_t width, uint32_t height, const PixelFormat& format,
                  PixelMemory memory, uint32_t pitch);

    // Makes a surface, or says why not: DDERR_OUTOFMEMORY when the pixels cannot be held.
    static HRESULT Make(SoftDxDirectDraw* owner, DWORD caps, uint32_t width, uint32_t height, const PixelFormat& format,
                        SoftDxSurface** made);
    // Joins surfaces[0] (the front buffer) and its back buffers into one chain.
    static void Chain(const std::vector<SoftDxSurface*>& surfaces);

    HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE7) override;
    HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT) override;
    HRESULT STDMETHODCALLTYPE Blt(LPRECT destRect, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD flags,
                                  LPDDBLTFX fx) override;
    HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect,
                                      DWORD trans) override;
    HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE7) override;
    HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) override;
    HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK7) override;
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE7 target, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* attached) override;
    HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS2 caps) override;
    HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER* clipper) override;
    HRESULT STDMETHODCALLTYPE GetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT STDMETHODCALLTYPE GetDC(HDC* dc) override;
    HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG, LPLONG) override;
    HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE* palette) override;
    HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC2 desc) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, LPDDSURFACEDESC2) override;
    HRESULT STDMETHODCALLTYPE IsLost() override;
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE event) override;
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override;
    HRESULT STDMETHODCALLTYPE Restore() override;
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) override;
    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE palette) override;
    HRESULT STDMETHODCALLTYPE Unlock(LPRECT rect) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE7, LPRECT, DWORD, LPDDOVERLAYFX) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE7) override;
    HRESULT STDMETHODCALLTYPE GetDDInterface(LPVOID* directDraw) override;
    HRESULT STDMETHODCALLTYPE PageLock(DWORD) override;
    HRESULT STDMETHODCALLTYPE PageUnlock(DWORD) override;
    HRESULT STDMETHODCALLTYPE SetSurfaceDesc(LPDDSURFACEDESC2, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, LPVOID, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, LPVOID, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override;
    HRESULT STDMETHODCALLTYPE GetUniquenessValue(LPDWORD value) override;
    HRESULT STDMETHODCALLTYPE ChangeUniquenessValue() override;
    HRESULT STDMETHODCALLTYPE SetPriority(DWORD) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE SetLOD(DWORD) override;
    HRESULT STDMETHODCALLTYPE GetLOD(LPDWORD) override;

    // Blt with the source rectangle in 1/65536 of a pixel (whole source when null), after
    // the injected failures were asked.
    HRESULT Blit(const RECT* destRect, LPDIRECTDRAWSURFACE7 source, const SoftDxFineRect* sourceRect, DWORD flags,
                 LPDDBLTFX fx);
    // Zeroed pixel memory of that many bytes; empty when there is none to be had.
    static PixelMemory ZeroedMemory(uint64_t bytes);
    // The pixels, a stretch put off made first. WritableView also makes the stretches put
    // off that read this surface, before the caller changes it.
    PixelView View()
    {
        if (FDeferred) Realise();
        return Pixels();
    }
    PixelView WritableView()
    {
        Changing();
        return View();
    }
    // The pixels averaged down by halves, level times (1 is half the size each way), for
    // stretches that shrink a lot; kept until the pixels change. 32-bit pixels, a 16-bit
    // surface's widened to 0x00RRGGBB. Empty (no pixels) when the memory cannot be had.
    PixelView Reduced(uint32_t level);
    const PixelFormat& Format() const { return FFormat; }
    bool Busy() const { return FLocked || FDcOut; }
    const SoftDxDeviceContext* DeviceContext() const { return FDcOut ? &FDc : nullptr; }
    DWORD Caps() const { return FCaps; }
    // A mip-map level's place in its chain: caps2, the number of levels from this one down
    // (0 for a surface without levels), and the next smaller level, whose reference this
    // surface takes over.
    void SetLevels(DWORD caps2, DWORD mipMapCount, SoftDxSurface* next);
    SoftDxSurface* NextLevel() const { return FNextLevel; }
    SoftDxSurface* ZBuffer() const { return FZBuffer; }
    const SoftDxPalette* Palette() const { return FPalette; }
    DWORD Uniqueness() const { return FUniqueness; }
    // A 3D device drew into the pixels: copies made of them are stale, and a visible
    // surface is shown again when shown is true.
    void Drawn(bool shown);
    // The pixels as 0xAARRGGBB texels (alpha 0xFF where the format has none), kept until
    // the pixels change. Luminance gives grey, bump offsets give du in red, dv in green.
    const std::vector<uint32_t>& Texels();

private:
    friend SoftDxUnknown;
    static bool Answers(REFIID riid) { return riid == IID_IDirectDrawSurface7; }
    ~SoftDxSurface();
    bool IsFront() const { return FChain && FChain->Members.front() == this; }
    PixelView Pixels() const { return {FMemory.get(), FPitch, FWidth, FHeight, FFormat.BytesPerPixel()}; }
    // A back buffer's whole content as one stretch from another surface, not yet made: the
    // show's frame. Presented, it is made at the screen's size (an emulated mode then costs
    // what the screen's own does); anything else that reads or changes the pixels makes it
    // in them first. It moves with the pixel memory at a flip.
    struct Deferred {
        SoftDxSurface* Source = nullptr;  // not owned: the source makes its readers first
        SoftDxFineRect SourceRect;
    };
    bool CanDefer(const SoftDxSurface* from, const RECT& destRect) const;
    // For a stretch of sr (of this surface) onto dw x dh pixels that shrinks by half or more
    // both ways: the averaged copy to read instead and the same part of the picture in it.
    // False, in and inRect untouched, for other stretches and formats the copies cannot hold.
    bool ShrinkInput(const SoftDxFineRect& sr, uint32_t dw, uint32_t dh, PixelView& in, SoftDxFineRect& inRect);
    void Defer(SoftDxSurface* source, const SoftDxFineRect& sourceRect);
    void DropDeferred();
    void Realise();
    // Makes the stretches put off that read this surface, which is about to change or go.
    void Changing();
    // Shows the stretch put off at the window's size; false when it cannot, or should not.
    bool PresentDeferred(ISoftDxPresenter& presenter, HWND window);
    bool ChainBusy() const;
    // Whether a flip would show what the front buffer shows already: a two-buffer chain
    // whose back buffer is the same stretch put off, from the same unchanged source.
    bool FlipRepeats() const;
    // Shows this surface's pixels when it is what the user sees without a Flip.
    void PresentIfVisible();
    void Present();
    // The window the surface's frames go to.
    HWND ShownIn() const;

    SoftDxDirectDraw* FOwner;
    DWORD FCaps;
    uint32_t FWidth, FHeight;
    PixelFormat FFormat;
    PixelMemory FMemory;
    ptrdiff_t FPitch;
    std::shared_ptr<FlipChain> FChain;
    std::optional<Deferred> FDeferred;
    const uint64_t FSerial;                        // unique among all surfaces ever made, unlike an address
    std::vector<SoftDxSurface*> FDeferredReaders;  // surfaces whose stretch put off reads this one
    bool FLocked = false;
    bool FDcOut = false;
    SoftDxDeviceContext FDc;
    std::optional<DDCOLORKEY> FSourceKey, FDestKey, FSourceOverlayKey, FDestOverlayKey;
    SoftDxPalette* FPalette = nullptr;
    SoftDxClipper* FClipper = nullptr;
    DWORD FUniqueness = 1;
    std::vector<uint32_t> FXrgb;  // scratch for presenting surfaces that are not 32-bit
    struct Reduction {
        std::unique_ptr<uint32_t[]> Pixels;
        uint32_t Width = 0, Height = 0;
    };
    std::vector<Reduction> FReductions;  // level 1 first
    DWORD FReductionsOf = 0;             // the uniqueness value they were made from
    DWORD FCaps2 = 0;
    DWORD FMipMapCount = 0;
    SoftDxSurface* FNextLevel = nullptr;  // owned reference
    SoftDxSurface* FZBuffer = nullptr;    // owned reference
    std::vector<uint32_t> FTexels;
    // What the texels were made from: the pixels' uniqueness value, and the palette.
    DWORD FTexelsOf = 0;
    const SoftDxPalette* FTexelsPalette = nullptr;
    uint32_t FTexelsPaletteVersion = 0;
};

}  // namespace softdx
