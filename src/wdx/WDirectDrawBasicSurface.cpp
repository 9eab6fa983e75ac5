#include "wdx/WDirectDrawBasicSurface.h"

#include <algorithm>
#include <cstring>

#include "wdx/DirectXBinding.h"
#include "wdx/SurfaceLock.h"
#include "wdx/WDirectX.h"

namespace {
using TFormat = TWDirectDrawBasicSurface::TFormat;

// K is a TColor: red in the low byte, then green, then blue.
const TFormat Palette8{[](uint8_t r, uint8_t, uint8_t) -> uint32_t { return r; },
                       [](TColor k) -> uint32_t { return k & 0xFF; }, 1};
const TFormat Rgb332{
    [](uint8_t r, uint8_t g, uint8_t b) -> uint32_t { return (r & 0xE0u) | ((g & 0xE0u) >> 3) | ((b & 0xC0u) >> 6); },
    [](TColor k) -> uint32_t { return (k & 0xE0) | ((k & 0xE000) >> 11) | ((k & 0xC00000) >> 22); }, 1};
const TFormat Rgb565{
    [](uint8_t r, uint8_t g, uint8_t b) -> uint32_t {
        return ((r & 0xF8u) << 8) | ((g & 0xFCu) << 3) | ((b & 0xF8u) >> 3);
    },
    [](TColor k) -> uint32_t { return ((k & 0xF8) << 8) | ((k & 0xFC00) >> 5) | ((k & 0xF80000) >> 19); }, 2};
const TFormat Bgr565{
    [](uint8_t r, uint8_t g, uint8_t b) -> uint32_t {
        return ((r & 0xF8u) >> 3) | ((g & 0xFCu) << 3) | ((b & 0xF8u) << 8);
    },
    [](TColor k) -> uint32_t { return ((k & 0xF8) >> 3) | ((k & 0xFC00) >> 5) | ((k & 0xF80000) >> 8); }, 2};
const TFormat Rgb555{
    [](uint8_t r, uint8_t g, uint8_t b) -> uint32_t {
        return ((r & 0xF8u) << 7) | ((g & 0xF8u) << 2) | ((b & 0xF8u) >> 3);
    },
    [](TColor k) -> uint32_t { return ((k & 0xF8) << 7) | ((k & 0xF800) >> 6) | ((k & 0xF80000) >> 19); }, 2};
uint32_t PackRgb(uint8_t r, uint8_t g, uint8_t b) { return static_cast<uint32_t>(r) << 16 | g << 8 | b; }
uint32_t PackBgr(uint8_t r, uint8_t g, uint8_t b) { return r | g << 8 | static_cast<uint32_t>(b) << 16; }
uint32_t ColorRgb(TColor k) { return ((k & 0xFF) << 16) | (k & 0xFF00) | ((k & 0xFF0000) >> 16); }
uint32_t ColorBgr(TColor k) { return k & 0xFFFFFF; }
const TFormat Rgb24{PackRgb, ColorRgb, 3};
const TFormat Bgr24{PackBgr, ColorBgr, 3};
const TFormat Rgb32{PackRgb, ColorRgb, 4};
const TFormat Bgr32{PackBgr, ColorBgr, 4};

void Store(uint8_t* address, uint32_t value, int bytes)
{
    // Little-endian: the low bytes of the value, low byte first.
    for (int i = 0; i < bytes; ++i) address[i] = static_cast<uint8_t>(value >> (8 * i));
}

RECT ToRect(const TRect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; }
}  // namespace

const TFormat* FindSurfaceFormat(const DDPIXELFORMAT& pf)
{
    const DWORD bits = pf.dwRGBBitCount;
    const DWORD r = pf.dwRBitMask, g = pf.dwGBitMask, b = pf.dwBBitMask;
    auto masks = [&](DWORD rm, DWORD gm, DWORD bm) { return r == rm && g == gm && b == bm; };
    if (pf.dwFlags == (DDPF_RGB | DDPF_PALETTEINDEXED8) && bits == 8 && masks(0, 0, 0)) return &Palette8;
    if (bits == 8 && masks(0xE0, 0x1C, 0x03)) return &Rgb332;
    if (bits == 16 && masks(0xF800, 0x07E0, 0x001F)) return &Rgb565;
    if (bits == 16 && masks(0x001F, 0x07E0, 0xF800)) return &Bgr565;
    if (bits == 16 && masks(0x7C00, 0x03E0, 0x001F)) return &Rgb555;
    if (bits == 24 && masks(0xFF0000, 0xFF00, 0xFF)) return &Rgb24;
    if (bits == 24 && masks(0xFF, 0xFF00, 0xFF0000)) return &Bgr24;
    if (bits == 32 && masks(0xFF0000, 0xFF00, 0xFF)) return &Rgb32;
    if (bits == 32 && masks(0xFF, 0xFF00, 0xFF0000)) return &Bgr32;
    return nullptr;
}

TWDirectDrawBasicSurface::TWDirectDrawBasicSurface() = default;

TWDirectDrawBasicSurface::~TWDirectDrawBasicSurface()
{
    // The owner stops a surface before freeing it; a reference still held goes with FSurface.
    ReleaseHandle();
}

void TWDirectDrawBasicSurface::LogAll(const char* line)
{
    if (Device && Device->LogType == dxlogAll) Device->WriteLog(line);
}

void TWDirectDrawBasicSurface::Start(TWDirectX* device, IDirectDrawSurface7* surface)
{
    Device = device;
    LogAll("TWDirectDrawBasicSurface.Start");
    if (FActive) return;
    FActive = true;
    FSurface = TComPtr<IDirectDrawSurface7>::Share(surface);

    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    if (FSurface) FSurface->GetSurfaceDesc(&desc);
    Width = static_cast<int32_t>(desc.dwWidth);
    Height = static_cast<int32_t>(desc.dwHeight);
    PictureWidth = Width;
    PictureHeight = Height;
    const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    Bits = static_cast<int32_t>(pf.dwRGBBitCount);
    FHasAlpha = (pf.dwFlags & DDPF_ALPHAPIXELS) != 0;
    FRedMask = pf.dwRBitMask;
    FGreenMask = pf.dwGBitMask;
    FBlueMask = pf.dwBBitMask;
    FAlphaMask = pf.dwRGBAlphaBitMask;
    FFormat = FindSurfaceFormat(pf);
}

void TWDirectDrawBasicSurface::Stop()
{
    if (!FActive) return;
    FActive = false;
    FSurface.Reset();
    LogAll("TWDirectDrawBasicSurface.Stopped");
}

void TWDirectDrawBasicSurface::CreateHandle()
{
    if (!FActive || FDC || !FSurface) return;
    // The result is not looked at: a failed GetDC leaves no context and nothing is drawn.
    FSurface->GetDC(&FDC);
    SetHandle(FDC);
}

void TWDirectDrawBasicSurface::ReleaseHandle()
{
    if (!FActive || !FDC) return;
    SetHandle(nullptr);
    FSurface->ReleaseDC(FDC);
    FDC = nullptr;
}

void TWDirectDrawBasicSurface::SetColorKey(TColor color)
{
    FColorKey = color;
    // A format without a packer has no key to convert to; the key is then left unset.
    if (!FActive || !FFormat || !FSurface) return;
    const uint32_t value = FFormat->ColorToPixel(color);
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = value;
    key.dwColorSpaceHighValue = value;
    const HRESULT result = FSurface->SetColorKey(DDCKEY_SRCBLT, &key);
    if (result != DD_OK) {
        Stop();
        if (Device) Device->RaiseError(rkDirectDraw, "TWDirectDrawBasicSurface.SetColorKey", result);
    }
}

void TWDirectDrawBasicSurface::ColorFillRect(const TRect& rect, uint32_t value)
{
    if (!FActive || !FSurface) return;
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof(fx));
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = value;
    RECT dest = ToRect(rect);
    while (FSurface->Blt(&dest, nullptr, nullptr, DDBLT_COLORFILL, &fx) == DDERR_WASSTILLDRAWING) {
    }
}

void TWDirectDrawBasicSurface::ColorFill(uint32_t value) { ColorFillRect(Rect(0, 0, Width, Height), value); }

void TWDirectDrawBasicSurface::BltRect(const TRect& destRect, TWDirectDrawBasicSurface* source, const TRect& sourceRect)
{
    if (!FActive || !FSurface) return;
    RECT dest = ToRect(destRect);
    RECT src = ToRect(sourceRect);
    IDirectDrawSurface7* sourceSurface = source ? source->FSurface.Get() : nullptr;
    // No flags: no colour key, no waiting flag; the call is repeated while the blitter is busy.
    while (FSurface->Blt(&dest, sourceSurface, &src, 0, nullptr) == DDERR_WASSTILLDRAWING) {
    }
}

void TWDirectDrawBasicSurface::BltCoords(int destLeft, int destTop, int destRight, int destBottom,
                                         TWDirectDrawBasicSurface* source, int srcLeft, int srcTop, int srcRight,
                                         int srcBottom)
{
    BltRect(Rect(destLeft, destTop, destRight, destBottom), source, Rect(srcLeft, srcTop, srcRight, srcBottom));
}

void TWDirectDrawBasicSurface::BltPicture(const TRect& destRect, TWDirectDrawBasicSurface* source,
                                          const TRect& pictureRect)
{
    if (!source || (source->PictureWidth == source->Width && source->PictureHeight == source->Height) ||
        source->PictureWidth <= 0 || source->PictureHeight <= 0)
        return BltRect(destRect, source, pictureRect);
    if (!FActive || !FSurface || !source->FSurface) return;
    // The rectangle in the stored picture, exactly: a step of one pixel of the picture moves
    // the stored rectangle by less than one of its pixels.
    const auto map = [](int v, int stored, int own) { return int64_t{v} * stored * SubPixelOne / own; };
    const TSubPixelRect fine{map(pictureRect.Left, source->Width, source->PictureWidth),
                             map(pictureRect.Top, source->Height, source->PictureHeight),
                             map(pictureRect.Right, source->Width, source->PictureWidth),
                             map(pictureRect.Bottom, source->Height, source->PictureHeight)};
    RECT dest = ToRect(destRect);
    if (const auto blt = DirectXBinding().BltSubPixel) {
        while (blt(FSurface.Get(), &dest, source->FSurface.Get(), fine) == DDERR_WASSTILLDRAWING) {
        }
        return;
    }
    // Whole pixels: each edge to the nearest, the rectangle kept at least one pixel wide.
    const auto nearest = [](int64_t v) { return LONG((v + SubPixelOne / 2) / SubPixelOne); };
    RECT src{nearest(fine.Left), nearest(fine.Top), nearest(fine.Right), nearest(fine.Bottom)};
    src.right = std::min<LONG>(std::max(src.right, src.left + 1), source->Width);
    src.bottom = std::min<LONG>(std::max(src.bottom, src.top + 1), source->Height);
    src.left = std::min(src.left, src.right - 1);
    src.top = std::min(src.top, src.bottom - 1);
    while (FSurface->Blt(&dest, source->FSurface.Get(), &src, 0, nullptr) == DDERR_WASSTILLDRAWING) {
    }
}

HRESULT TWDirectDrawBasicSurface::AttachSurface(IDirectDrawSurface7* surface, DDSCAPS2 caps,
                                                TWDirectDrawBasicSurface& target)
{
    target.Width = Width;
    target.Height = Height;
    TComPtr<IDirectDrawSurface7> attached;
    const HRESULT result = surface->GetAttachedSurface(&caps, attached.Put());
    // The target takes a reference of its own; this one goes on return.
    if (result == DD_OK) target.Start(Device, attached.Get());
    return result;
}

bool TWDirectDrawBasicSurface::LockPixel(int x, int y, uint8_t*& address)
{
    if (!FActive || !FSurface || x < 0 || x >= Width || y < 0 || y >= Height) return false;
    if (LockWhole(FSurface.Get(), FLockDesc) != DD_OK) return false;
    address = static_cast<uint8_t*>(FLockDesc.lpSurface) + static_cast<ptrdiff_t>(y) * FLockDesc.lPitch +
              static_cast<ptrdiff_t>(x) * (FLockDesc.ddpfPixelFormat.dwRGBBitCount / 8);
    return true;
}

uint32_t TWDirectDrawBasicSurface::RGBToPixel(uint8_t r, uint8_t g, uint8_t b) const
{
    return FFormat ? FFormat->RGBToPixel(r, g, b) : 0;
}

uint32_t TWDirectDrawBasicSurface::ColorToPixel(TColor color) const
{
    return FFormat ? FFormat->ColorToPixel(color) : 0;
}

void TWDirectDrawBasicSurface::StorePixel(uint8_t* address) const
{
    if (FFormat) Store(address, PixelValue, FFormat->Bytes);
}

bool TWDirectDrawBasicSurface::PutPixel(int x, int y)
{
    if (!FFormat) return false;
    uint8_t* address = nullptr;
    if (!LockPixel(x, y, address)) return false;
    StorePixel(address);
    FSurface->Unlock(nullptr);
    return true;
}

void TWDirectDrawBasicSurface::PutPixelLocked(int x, int y)
{
    if (!FFormat || !FLockDesc.lpSurface) return;
    uint8_t* address = static_cast<uint8_t*>(FLockDesc.lpSurface) + static_cast<ptrdiff_t>(y) * FLockDesc.lPitch +
                       static_cast<ptrdiff_t>(x) * (FLockDesc.ddpfPixelFormat.dwRGBBitCount / 8);
    StorePixel(address);
}
