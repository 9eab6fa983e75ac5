// The texture steps of the device's CreateNewSurface: the texture's size as the 3D device
// wants it, the choice of one of its texture formats, the surface (or the next level of a
// mip-map chain), and the copy of a bitmap or a TGA picture into it.
#include <bit>
#include <cstring>

#include "wdx/NewSurface.h"
#include "wdx/SurfaceLock.h"
#include "wdx/TextureFormats.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectX.h"
#include "wdx/results/ResultTexts.h"

namespace {
// DDSD_CAPS, DDSD_HEIGHT, DDSD_WIDTH, DDSD_PIXELFORMAT and DDSD_TEXTURESTAGE.
constexpr DWORD TextureDescFlags = 0x101007;

// The display's bits per pixel: a picture decoded into a bitmap has the display's format.
int DisplayBits(IDirectDraw7* directDraw)
{
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (directDraw && directDraw->GetDisplayMode(&desc) == DD_OK && desc.ddpfPixelFormat.dwRGBBitCount != 0)
        return static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount);
    return 32;
}

// One 8-bit component placed into a mask: its top bits, moved to the mask's place.
struct TMaskPlace {
    explicit TMaskPlace(DWORD mask)
        : Mask(mask), Shift(mask ? std::countr_zero(mask) : 0), Loss(8 - std::popcount(mask))
    {
    }
    uint32_t Of(uint32_t component) const
    {
        // A mask wider than 8 bits takes the component's bits at its top.
        const uint32_t scaled = Loss >= 0 ? component >> Loss : component << -Loss;
        return (scaled << Shift) & Mask;
    }
    DWORD Mask;
    int Shift, Loss;
};
}  // namespace

int TextureSide(int side, DWORD textureCaps)
{
    if (!(textureCaps & D3DPTEXTURECAPS_POW2)) return side;
    int power = 1;
    while (power < side && power < (1 << 30)) power <<= 1;
    return power;
}

bool TextureFormatMatches(const DDPIXELFORMAT& format, bool palettized, bool alpha, int depth)
{
    if (format.dwFlags & (DDPF_LUMINANCE | DDPF_BUMPLUMINANCE | DDPF_BUMPDUDV)) return false;
    if (palettized) return (format.dwFlags & DDPF_PALETTEINDEXED8) != 0;
    if (format.dwRGBBitCount < 16 || format.dwFourCC != 0 || format.dwRGBAlphaBitMask == 0xF000) return false;
    if (((format.dwFlags & DDPF_ALPHAPIXELS) != 0) != alpha) return false;
    return format.dwRGBBitCount == static_cast<DWORD>(depth);
}

int FindTextureFormat(const std::vector<DDPIXELFORMAT>& formats, TTextureChoice& choice)
{
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            choice.Palettized = false;
            choice.Depth = 16;
        }
        for (size_t i = 0; i < formats.size(); ++i)
            if (TextureFormatMatches(formats[i], choice.Palettized, choice.Alpha, choice.Depth))
                return static_cast<int>(i);
    }
    return -1;
}

bool CopyRawToSurface(IDirectDraw7* directDraw, IDirectDrawSurface7* target, const TRawPicture& picture)
{
    if (!directDraw || !target || picture.Width == 0 || picture.Height == 0) return false;
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.ddpfPixelFormat.dwSize = sizeof desc.ddpfPixelFormat;
    if (target->GetSurfaceDesc(&desc) != DD_OK) return false;
    desc.dwFlags = TextureDescFlags;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
    desc.ddsCaps.dwCaps2 = 0;
    desc.dwWidth = picture.Width;
    desc.dwHeight = picture.Height;
    desc.dwMipMapCount = 0;
    TComPtr<IDirectDrawSurface7> staging;
    if (directDraw->CreateSurface(&desc, staging.Put(), nullptr) != DD_OK || !staging) return false;

    DDSURFACEDESC2 locked;
    if (LockWhole(staging.Get(), locked) != DD_OK) return false;
    const DDPIXELFORMAT& pf = locked.ddpfPixelFormat;
    const TMaskPlace red(pf.dwRBitMask), green(pf.dwGBitMask), blue(pf.dwBBitMask), alpha(pf.dwRGBAlphaBitMask);
    const bool wide = pf.dwRGBBitCount == 32;
    const uint32_t* source = picture.Pixels.data();
    for (uint32_t y = 0; y < picture.Height; ++y) {
        auto* row = static_cast<uint8_t*>(locked.lpSurface) + static_cast<ptrdiff_t>(y) * locked.lPitch;
        for (uint32_t x = 0; x < picture.Width; ++x) {
            const uint32_t v = *source++;
            const uint32_t pixel =
                red.Of(v >> 24) + green.Of((v >> 16) & 0xFF) + blue.Of((v >> 8) & 0xFF) + alpha.Of(v & 0xFF);
            if (wide) {
                std::memcpy(row + 4 * size_t{x}, &pixel, 4);
            } else {
                const auto narrow = static_cast<uint16_t>(pixel);
                std::memcpy(row + 2 * size_t{x}, &narrow, 2);
            }
        }
    }
    staging->Unlock(nullptr);
    // Whole onto whole: a texture rounded up to a power of two gets the picture stretched.
    while (target->Blt(nullptr, staging.Get(), nullptr, DDBLT_WAIT, nullptr) == DDERR_WASSTILLDRAWING) {
    }
    return true;
}

// The search depth when no bitmap gives one (a choice of this layer's own): a TGA picture
// holds 8 bits for each of its four components, so it asks for 32 bits, which keeps them
// all; an empty texture asks for the display's depth, the format it is most likely filled
// from. Either falls back to 16 bits by the second search where the 3D device has no such
// format; the 16 and 32 bit flags still decide over both.
TTextureChoice ChooseTexture(const TSurfacePicture& picture, Td3dTextr flags, DWORD textureCaps,
                             IDirectDraw7* directDraw)
{
    TTextureChoice choice;
    choice.Alpha = flags.Contains(d3dCREATEWITHALPHA) || (picture.HaveRaw && picture.Raw.HasAlpha);
    if (picture.HaveBitmap) {
        const int bits = picture.Bitmap.FileBits != 0 ? picture.Bitmap.FileBits : DisplayBits(directDraw);
        choice.Palettized = bits <= 8;
        choice.Depth = bits;
    } else {
        choice.Depth = picture.HaveRaw ? 32 : DisplayBits(directDraw);
    }
    if (flags.Contains(d3d16BITSPERPIXEL)) choice.Depth = 16;
    if (flags.Contains(d3d32BITSPERPIXEL)) choice.Depth = 32;
    if (flags.Contains(d3dTRANSPARENTWHITE) || flags.Contains(d3dTRANSPARENTBLACK)) {
        choice.Alpha = true;
        choice.Palettized = choice.Palettized && (textureCaps & D3DPTEXTURECAPS_ALPHAPALETTE) != 0;
    }
    return choice;
}

TComPtr<IDirectDrawSurface7> CreateTextureSurface(TWDirectX& device, TSurfacePicture& picture, Td3dTextr flags,
                                                  int stage, TdxSurfaceType surfaceType, IDirectDrawSurface7* attachTo,
                                                  int mipMapCount, TNewSurface& made)
{
    TComPtr<IDirectDrawSurface7> surface;
    const DWORD caps = device.TextureCaps();
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = TextureDescFlags;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    desc.dwTextureStage = static_cast<DWORD>(stage);
    if (device.TextureDeviceIsHardware())
        desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    else
        desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    if (mipMapCount != 0) {
        desc.dwFlags |= DDSD_MIPMAPCOUNT;
        desc.dwMipMapCount = static_cast<DWORD>(mipMapCount);
        desc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    }
    int width = TextureSide(made.Width, caps), height = TextureSide(made.Height, caps);
    if (caps & D3DPTEXTURECAPS_SQUAREONLY) width = height = std::max(width, height);
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);

    TTextureChoice choice = ChooseTexture(picture, flags, caps, device.DirectDraw());
    const std::vector<DDPIXELFORMAT>& formats = device.GetTextureFormats();
    const int format = FindTextureFormat(formats, choice);
    if (format < 0) {
        made.Refuse("Looking for texture", 1);
        return surface;
    }
    desc.ddpfPixelFormat = formats[static_cast<size_t>(format)];

    if (attachTo) {
        DDSCAPS2 levelCaps;
        std::memset(&levelCaps, 0, sizeof levelCaps);
        levelCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
        const HRESULT result = attachTo->GetAttachedSurface(&levelCaps, surface.Put());
        if (result != DD_OK) {
            made.Refuse("GetAttachedSurface", result);
            return surface;
        }
    } else {
        IDirectDraw7* directDraw = device.DirectDraw();
        const HRESULT result =
            directDraw ? directDraw->CreateSurface(&desc, surface.Put(), nullptr) : DDERR_INVALIDOBJECT;
        if (result != DD_OK) {
            made.Refuse(ResultText(rkDirectDraw, result), result);
            surface.Reset();
            return surface;
        }
        if (surfaceType == dxstEmptyTexture) {
            made.Alpha = choice.Alpha;
            return surface;
        }
    }

    bool copied = true;
    if (picture.HaveBitmap)
        copied = CopyBitmapToSurface(true, device.DirectDraw(), surface.Get(), picture.Bitmap, flags);
    else if (picture.HaveRaw)
        copied = CopyRawToSurface(device.DirectDraw(), surface.Get(), picture.Raw);
    if (!copied) {
        made.Refuse("CopyBitmapToSurface", 1);
        surface.Reset();
        return surface;
    }
    made.Alpha = choice.Alpha;
    return surface;
}
