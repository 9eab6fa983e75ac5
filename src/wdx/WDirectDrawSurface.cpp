// The image surface component, and CopyBitmapToSurface, which fills a surface from a picture.
#include "wdx/WDirectDrawSurface.h"

#include <algorithm>
#include <cstring>

#include "imaging/Picture.h"
#include "wdx/ComPtr.h"
#include "wdx/ImageFiles.h"
#include "wdx/SurfaceLock.h"
#include "wdx/WDirectDrawBasicSurface.h"
#include "wdx/WDirectX.h"

TWDirectDrawSurface::TWDirectDrawSurface(TComponent* owner) : TComponent(owner) {}

TWDirectDrawSurface::~TWDirectDrawSurface()
{
    // A form frees its newest components first, so its device (made before its surfaces)
    // is still there to give the entry back.
    if (FActive) Stop();
}

TWDirectDrawBasicSurface* TWDirectDrawSurface::DDBS() const
{
    if (!FActive || !FDevice) return nullptr;
    const TSurfaceContainer* entry = FDevice->SurfaceEntry(FIndex);
    return entry ? entry->Surface : nullptr;
}

void TWDirectDrawSurface::SetColorKey(TColor color)
{
    FColorKey = color;
    if (TWDirectDrawBasicSurface* surface = DDBS()) surface->SetColorKey(color);
}

void TWDirectDrawSurface::Start(TWDirectX* device) { StartWith(device, nullptr); }

void TWDirectDrawSurface::StartMadeAhead(TWDirectX* device, TPreparedPicture& madeAhead)
{
    StartWith(device, &madeAhead);
}

void TWDirectDrawSurface::StartWith(TWDirectX* device, TPreparedPicture* madeAhead)
{
    FDevice = device;
    if (FActive || !device) return;
    if (device->LogType == dxlogAll) device->WriteLog("TWDirectDrawSurface.Start(" + Image + ")");
    OnSettingDimension(this, Width, Height, Bits);

    TdxMemoryType memory = dxmtAuto;
    if (MustUseSystemMemory) memory = dxmtSystemMemory;
    if (MustUseVideoMemory) memory = dxmtVideoMemory;

    TdxSurfaceType type = dxstImage;
    std::string name = Image;
    if (!UseFile) {
        type = dxstEmptyImage;
        for (int n = 0;; ++n) {
            name = "Empty-" + std::to_string(n);
            if (device->SurfaceIndex(name) < 0) break;
        }
    }
    // A failure raises here and leaves the component inactive.
    FIndex = device->CreateNewSurface(name, Td3dTextr{}, Width, Height, Bits, FColorKey, 0, memory, SurfaceDimension,
                                      type, nullptr, 0, madeAhead, StoreWithin);
    FActive = true;
    if (const TWDirectDrawBasicSurface* surface = DDBS()) {
        Width = surface->PictureWidth;
        Height = surface->PictureHeight;
        Bits = surface->Bits;
    }
}

void TWDirectDrawSurface::Stop()
{
    if (!FActive) return;
    FActive = false;
    FDevice->DestroySurface(FIndex);
    if (FDevice->LogType == dxlogAll) FDevice->WriteLog("TWDirectDrawSurface.Stopped");
}

namespace {
// DDSD_CAPS, DDSD_HEIGHT, DDSD_WIDTH, DDSD_PIXELFORMAT and DDSD_TEXTURESTAGE.
constexpr DWORD TextureStagingFlags = 0x101007;
// DDSCAPS_TEXTURE and DDSCAPS_SYSTEMMEMORY.
constexpr DWORD TextureStagingCaps = 0x1800;
// DDPCAPS_8BIT and DDPCAPS_ALLOW256, and DDPCAPS_ALPHA.
constexpr DWORD PaletteCaps = 0x44;
constexpr DWORD PaletteAlpha = 0x400;

// The palette entry nearest to a colour, for pictures drawn into an 8-bit surface.
uint8_t NearestEntry(const PALETTEENTRY* palette, uint8_t r, uint8_t g, uint8_t b)
{
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 256; ++i) {
        const long dr = palette[i].peRed - r, dg = palette[i].peGreen - g, db = palette[i].peBlue - b;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
            if (distance == 0) break;
        }
    }
    return static_cast<uint8_t>(best);
}

// Writes the picture into the locked staging surface in its own pixel format, converting
// colours as a device-context copy would. A format without a packer is left as it is.
void WritePixels(const TBitmap& picture, const DDSURFACEDESC2& locked, const PALETTEENTRY* palette)
{
    const TWDirectDrawBasicSurface::TFormat* format = FindSurfaceFormat(locked.ddpfPixelFormat);
    if (!format) return;
    const bool indexed = format->Bytes == 1 && (locked.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8);
    const int width = std::min<int>(picture.Width(), static_cast<int>(locked.dwWidth));
    const int height = std::min<int>(picture.Height(), static_cast<int>(locked.dwHeight));
    const DDPIXELFORMAT& pf = locked.ddpfPixelFormat;
    if (format->Bytes == 4 && pf.dwRBitMask == 0xFF0000 && pf.dwGBitMask == 0xFF00 && pf.dwBBitMask == 0xFF) {
        // The usual display format: a straight repacking, which a picture of many millions
        // of pixels needs to be fast.
        for (int y = 0; y < height; ++y) {
            const uint8_t* source = picture.ScanLine(y);
            auto* dest = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.lpSurface) +
                                                     static_cast<ptrdiff_t>(y) * locked.lPitch);
            for (int x = 0; x < width; ++x, source += 3)
                dest[x] = static_cast<uint32_t>(source[2]) << 16 | static_cast<uint32_t>(source[1]) << 8 | source[0];
        }
        return;
    }
    uint32_t lastRgb = 0xFFFFFFFF, lastValue = 0;
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = picture.ScanLine(y);
        uint8_t* dest = static_cast<uint8_t*>(locked.lpSurface) + static_cast<ptrdiff_t>(y) * locked.lPitch;
        for (int x = 0; x < width; ++x, source += 3, dest += format->Bytes) {
            const uint32_t rgb =
                static_cast<uint32_t>(source[2]) << 16 | static_cast<uint32_t>(source[1]) << 8 | source[0];
            if (rgb != lastRgb) {
                lastRgb = rgb;
                lastValue = indexed ? NearestEntry(palette, source[2], source[1], source[0])
                                    : format->RGBToPixel(source[2], source[1], source[0]);
            }
            for (int i = 0; i < format->Bytes; ++i) dest[i] = static_cast<uint8_t>(lastValue >> (8 * i));
        }
    }
}

// Whether a surface has the display's RGB pixel format (a staging surface would have it).
bool InDisplayFormat(IDirectDraw7* directDraw, const DDSURFACEDESC2& surface)
{
    DDSURFACEDESC2 display;
    std::memset(&display, 0, sizeof display);
    display.dwSize = sizeof display;
    if (directDraw->GetDisplayMode(&display) != DD_OK) return false;
    const DDPIXELFORMAT &a = display.ddpfPixelFormat, &b = surface.ddpfPixelFormat;
    return (a.dwFlags & DDPF_RGB) && (b.dwFlags & DDPF_RGB) && !(b.dwFlags & DDPF_PALETTEINDEXED8) &&
           a.dwRGBBitCount == b.dwRGBBitCount && a.dwRBitMask == b.dwRBitMask && a.dwGBitMask == b.dwGBitMask &&
           a.dwBBitMask == b.dwBBitMask && b.dwRGBAlphaBitMask == 0;
}

// Sets the alpha bits of every pixel that is not the transparent colour.
void AlphaPass(IDirectDrawSurface7* target, const DDPIXELFORMAT& format, Td3dTextr flags)
{
    DDSURFACEDESC2 locked;
    if (LockWhole(target, locked) != DD_OK) return;
    const uint32_t rgb = format.dwRBitMask | format.dwGBitMask | format.dwBBitMask;
    const uint32_t alpha = format.dwRGBAlphaBitMask;
    const uint32_t transparent = flags.Contains(d3dTRANSPARENTWHITE) ? rgb : 0;
    const DWORD bits = locked.ddpfPixelFormat.dwRGBBitCount;
    if (bits == 16 || bits == 32) {
        const int bytes = static_cast<int>(bits / 8);
        for (DWORD y = 0; y < locked.dwHeight; ++y) {
            uint8_t* p = static_cast<uint8_t*>(locked.lpSurface) + static_cast<ptrdiff_t>(y) * locked.lPitch;
            for (DWORD x = 0; x < locked.dwWidth; ++x, p += bytes) {
                uint32_t value = 0;
                std::memcpy(&value, p, static_cast<size_t>(bytes));
                value &= rgb;
                if (value != transparent) value |= alpha;
                std::memcpy(p, &value, static_cast<size_t>(bytes));
            }
        }
    }
    target->Unlock(nullptr);
}
}  // namespace

bool CopyBitmapToSurface(bool texture, IDirectDraw7* directDraw, IDirectDrawSurface7* target,
                         const TLoadedBitmap& bitmap, Td3dTextr flags)
{
    if (!directDraw || !target) return false;
    const TBitmap& picture = bitmap.Pixels;
    DDSURFACEDESC2 targetDesc;
    std::memset(&targetDesc, 0, sizeof targetDesc);
    targetDesc.dwSize = sizeof targetDesc;
    targetDesc.ddpfPixelFormat.dwSize = sizeof targetDesc.ddpfPixelFormat;
    if (target->GetSurfaceDesc(&targetDesc) != DD_OK) return false;

    // A picture of the surface's own size in the display's format gives the same pixels
    // written straight into the surface, without a staging surface of the same size: a
    // large photograph costs half the memory and one copy less.
    if (!texture && targetDesc.dwWidth == static_cast<DWORD>(picture.Width()) &&
        targetDesc.dwHeight == static_cast<DWORD>(picture.Height()) && InDisplayFormat(directDraw, targetDesc)) {
        HDC dc = nullptr;
        if (target->GetDC(&dc) != DD_OK) return true;
        target->ReleaseDC(dc);
        DDSURFACEDESC2 locked;
        if (LockWhole(target, locked) == DD_OK) {
            WritePixels(picture, locked, nullptr);
            target->Unlock(nullptr);
        }
        return true;
    }

    DDSURFACEDESC2 stagingDesc = targetDesc;
    if (texture) {
        stagingDesc.dwFlags = TextureStagingFlags;
        stagingDesc.ddsCaps.dwCaps = TextureStagingCaps;
        stagingDesc.ddsCaps.dwCaps2 = 0;
    } else {
        // Size only: DirectDraw makes its default off-screen surface in the display's format.
        stagingDesc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
    }
    stagingDesc.dwWidth = static_cast<DWORD>(picture.Width());
    stagingDesc.dwHeight = static_cast<DWORD>(picture.Height());
    TComPtr<IDirectDrawSurface7> staging;
    if (directDraw->CreateSurface(&stagingDesc, staging.Put(), nullptr) != DD_OK || !staging) return false;

    PALETTEENTRY palette[256];
    std::memset(palette, 0, sizeof palette);
    if (targetDesc.ddpfPixelFormat.dwRGBBitCount == 8) {
        const bool transparentBlack = flags.Contains(d3dTRANSPARENTBLACK);
        const bool transparentWhite = flags.Contains(d3dTRANSPARENTWHITE);
        const size_t count = std::min<size_t>(bitmap.ColorTable.size(), 256);
        for (size_t i = 0; i < count; ++i) {
            const uint32_t entry = bitmap.ColorTable[i];
            palette[i].peRed = static_cast<BYTE>(entry >> 16);
            palette[i].peGreen = static_cast<BYTE>(entry >> 8);
            palette[i].peBlue = static_cast<BYTE>(entry);
            const uint32_t rgb = entry & 0xFFFFFF;
            if (transparentBlack ? rgb != 0 : transparentWhite && rgb != 0xFFFFFF) palette[i].peFlags = 0xFF;
        }
        const DWORD caps = PaletteCaps | (transparentBlack || transparentWhite ? PaletteAlpha : 0);
        TComPtr<IDirectDrawPalette> ddPalette;
        if (directDraw->CreatePalette(caps, palette, ddPalette.Put(), nullptr) == DD_OK && ddPalette) {
            staging->SetPalette(ddPalette.Get());
            target->SetPalette(ddPalette.Get());
        }
    }

    // The picture goes in only when the staging surface grants a device context, as a copy
    // through that context would; the pixels themselves are written through a lock, which
    // both platforms' DirectDraw offer alike.
    HDC dc = nullptr;
    if (staging->GetDC(&dc) == DD_OK) {
        staging->ReleaseDC(dc);
        DDSURFACEDESC2 locked;
        if (LockWhole(staging.Get(), locked) == DD_OK) {
            WritePixels(picture, locked, palette);
            staging->Unlock(nullptr);
        }
    }

    target->Blt(nullptr, staging.Get(), nullptr, DDBLT_WAIT, nullptr);
    staging.Reset();  // a photograph's size of memory: it goes as soon as it is copied

    const DDPIXELFORMAT& format = targetDesc.ddpfPixelFormat;
    if (format.dwRGBAlphaBitMask != 0 && (flags.Contains(d3dTRANSPARENTBLACK) || flags.Contains(d3dTRANSPARENTWHITE)))
        AlphaPass(target, format, flags);
    return true;
}

TStraightLoad DecodePictureIntoSurface(IDirectDraw7* directDraw, IDirectDrawSurface7* target, TPicture& picture,
                                       int width, int height)
{
    if (!directDraw || !target || picture.OwnWidth() <= 0) return TStraightLoad::NotPossible;
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.ddpfPixelFormat.dwSize = sizeof desc.ddpfPixelFormat;
    if (target->GetSurfaceDesc(&desc) != DD_OK) return TStraightLoad::NotPossible;
    const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    if (desc.dwWidth != static_cast<DWORD>(width) || desc.dwHeight != static_cast<DWORD>(height) ||
        pf.dwRGBBitCount != 32 || pf.dwRBitMask != 0xFF0000 || pf.dwGBitMask != 0xFF00 || pf.dwBBitMask != 0xFF ||
        !InDisplayFormat(directDraw, desc))
        return TStraightLoad::NotPossible;
    // As with a copy: the picture goes in only when the surface grants a device context.
    HDC dc = nullptr;
    if (target->GetDC(&dc) != DD_OK) return TStraightLoad::Done;
    target->ReleaseDC(dc);
    DDSURFACEDESC2 locked;
    if (LockWhole(target, locked) != DD_OK) return TStraightLoad::Done;
    const bool decoded = picture.DecodeStored(static_cast<uint8_t*>(locked.lpSurface), locked.lPitch, width, height);
    target->Unlock(nullptr);
    return decoded ? TStraightLoad::Done : TStraightLoad::BadData;
}
