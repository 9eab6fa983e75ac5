#pragma once
// TWDirectDrawBasicSurface: the one wrapper through which the program touches a DirectDraw
// surface. It is a canvas too: ordinary drawing goes through the surface's device context.
// On top it offers colour fills, blits from another basic surface, a colour key from a
// TColor, and single-pixel writes with a pixel packer chosen once when it starts.
#include <cstdint>

#include "framework/Canvas.h"
#include "wdx/ComPtr.h"
#include "wdx/DirectXApi.h"

class TWDirectX;

class TWDirectDrawBasicSurface : public TCanvas {
public:
    TWDirectDrawBasicSurface();
    ~TWDirectDrawBasicSurface() override;

    TWDirectX* Device = nullptr;  // the device that started this surface; not owned

    void Start(TWDirectX* device, IDirectDrawSurface7* surface);
    void Stop();
    // Hands the device context back to the surface; call before flipping or blitting from it.
    void ReleaseHandle();

    void SetColorKey(TColor color);
    TColor ColorKey() const { return FColorKey; }

    void ColorFillRect(const TRect& rect, uint32_t value);  // raw pixel value
    void ColorFill(uint32_t value);
    void BltRect(const TRect& destRect, TWDirectDrawBasicSurface* source, const TRect& sourceRect);
    void BltCoords(int destLeft, int destTop, int destRight, int destBottom, TWDirectDrawBasicSurface* source,
                   int srcLeft, int srcTop, int srcRight, int srcBottom);
    // As BltRect, with sourceRect in the pixels of the picture source holds (PictureWidth x
    // PictureHeight), which may be stored smaller: the rectangle is mapped into the stored
    // picture, between pixels where the platform's DirectDraw blits so, else to whole pixels.
    void BltPicture(const TRect& destRect, TWDirectDrawBasicSurface* source, const TRect& pictureRect);
    // Starts target on the surface attached to surface with caps; the call's result.
    HRESULT AttachSurface(IDirectDrawSurface7* surface, DDSCAPS2 caps, TWDirectDrawBasicSurface& target);

    // Locks the whole surface and gives the address of pixel (x, y); false (and no lock)
    // outside the surface, when inactive or when the lock fails. The caller unlocks through
    // the interface (Unlock with no rectangle).
    bool LockPixel(int x, int y, uint8_t*& address);

    // The pixel operations of the surface's format. A format the surface layer does not know
    // has none: the packers give 0 and the writers write nothing.
    bool HasPixelFormat() const { return FFormat != nullptr; }
    uint32_t RGBToPixel(uint8_t r, uint8_t g, uint8_t b) const;
    uint32_t ColorToPixel(TColor color) const;
    void StorePixel(uint8_t* address) const;
    bool PutPixel(int x, int y);
    void PutPixelLocked(int x, int y);

    uint32_t PixelValue = 0;  // what the pixel writers store

    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Bits = 0;
    // The size of the picture the surface holds, which may be stored smaller than it: the
    // surface's own size unless its maker says otherwise.
    int32_t PictureWidth = 0;
    int32_t PictureHeight = 0;
    bool Active() const { return FActive; }
    bool HasAlpha() const { return FHasAlpha; }
    uint32_t RedMask() const { return FRedMask; }
    uint32_t GreenMask() const { return FGreenMask; }
    uint32_t BlueMask() const { return FBlueMask; }
    uint32_t AlphaMask() const { return FAlphaMask; }
    IDirectDrawSurface7* Surface() const { return FSurface.Get(); }
    const DDSURFACEDESC2& LockDesc() const { return FLockDesc; }

    // One row of the format table: how to pack a colour and how wide a pixel is.
    struct TFormat {
        uint32_t (*RGBToPixel)(uint8_t r, uint8_t g, uint8_t b);
        uint32_t (*ColorToPixel)(TColor color);
        int Bytes;
    };

protected:
    void CreateHandle() override;

private:
    void LogAll(const char* line);

    bool FActive = false;
    HDC FDC = nullptr;
    TColor FColorKey = clBlack;
    bool FHasAlpha = false;
    uint32_t FRedMask = 0, FGreenMask = 0, FBlueMask = 0, FAlphaMask = 0;
    DDSURFACEDESC2 FLockDesc{};
    TComPtr<IDirectDrawSurface7> FSurface;
    const TFormat* FFormat = nullptr;
};

// The format row that matches a pixel format, or null; exposed for the image surfaces.
const TWDirectDrawBasicSurface::TFormat* FindSurfaceFormat(const DDPIXELFORMAT& format);
