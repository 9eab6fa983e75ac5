// Off-screen surfaces of the software DirectDraw: plain ones, 3D render targets, z-buffers
// and textures, a mip-mapped texture made whole with all its levels at once.
// Implements: SoftDxDirectDraw::CreateOffscreen.
// Not here: the primary surface and its flip chain (SoftDxDirectDraw.cpp).
#include <bit>

#include "SoftDxSurface.h"

namespace softdx {

namespace {

constexpr uint32_t MaxSide = 32768;
constexpr uint64_t MaxSurfaceBytes = uint64_t{1} << 30;

// Levels of a full chain: halving down to one pixel along the longer side.
DWORD FullChainLevels(DWORD width, DWORD height) { return DWORD(std::bit_width(std::max(width, height))); }

}  // namespace

HRESULT SoftDxDirectDraw::CreateOffscreen(const DDSURFACEDESC2& desc, DWORD caps, SoftDxSurface** made)
{
    const bool depth = caps & DDSCAPS_ZBUFFER;
    const bool texture = caps & DDSCAPS_TEXTURE;
    const bool mipmap = caps & DDSCAPS_MIPMAP;
    if (depth) SOFTDX_ENTER("CreateSurface(ZBUFFER)");
    if (texture) SOFTDX_ENTER("CreateSurface(TEXTURE)");
    if (depth && (caps & (DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_OFFSCREENPLAIN))) return DDERR_INVALIDCAPS;
    if (mipmap && (!texture || !(caps & DDSCAPS_COMPLEX))) return DDERR_INVALIDCAPS;
    if ((desc.ddsCaps.dwCaps2 & (DDSCAPS2_TEXTUREMANAGE | DDSCAPS2_D3DTEXTUREMANAGE)) &&
        (!texture || (caps & DDSCAPS_SYSTEMMEMORY)))
        return DDERR_INVALIDCAPS;
    if (!(desc.dwFlags & DDSD_WIDTH) || !(desc.dwFlags & DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
    if (desc.dwWidth == 0 || desc.dwHeight == 0) return DDERR_INVALIDPARAMS;

    PixelFormat format = DisplayFormat(CurrentMode().Bits);
    if (depth) format = {16, 0xFFFF, 0, 0, 0, false, PixelFormat::Depth};
    if ((desc.dwFlags & DDSD_PIXELFORMAT) && !FormatFromDescription(desc.ddpfPixelFormat, format))
        return DDERR_INVALIDPIXELFORMAT;
    // Depth only in a z-buffer, and a z-buffer holds nothing else; luminance and bump
    // offsets only in textures; a 3D device draws into 16- and 32-bit colour.
    if (depth != (format.Kind == PixelFormat::Depth)) return DDERR_INVALIDPIXELFORMAT;
    if (!format.IsColour() && !depth && !texture) return DDERR_INVALIDPIXELFORMAT;
    if ((caps & DDSCAPS_3DDEVICE) && (!format.IsColour() || format.Indexed || format.Bits == 24))
        return DDERR_INVALIDPIXELFORMAT;
    if (desc.dwWidth > MaxSide || desc.dwHeight > MaxSide ||
        RowPitch(desc.dwWidth, format.Bits) * desc.dwHeight > MaxSurfaceBytes)
        return DDERR_OUTOFMEMORY;

    DWORD levels = 1;
    if (mipmap) {
        const DWORD full = FullChainLevels(desc.dwWidth, desc.dwHeight);
        levels = (desc.dwFlags & DDSD_MIPMAPCOUNT) && desc.dwMipMapCount ? desc.dwMipMapCount : full;
        if (levels > full) return DDERR_INVALIDPARAMS;
    }
    if (!(caps & (DDSCAPS_OFFSCREENPLAIN | DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_ZBUFFER)))
        caps |= DDSCAPS_OFFSCREENPLAIN;
    if (!(caps & DDSCAPS_SYSTEMMEMORY)) caps |= DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;

    // The smallest level first, so each larger one can take the next below it.
    SoftDxSurface* below = nullptr;
    for (DWORD level = levels; level-- > 0;) {
        const DWORD width = std::max<DWORD>(desc.dwWidth >> level, 1);
        const DWORD height = std::max<DWORD>(desc.dwHeight >> level, 1);
        const DWORD ownCaps = level ? caps & ~DWORD{DDSCAPS_COMPLEX} : caps;
        SoftDxSurface* surface = nullptr;
        if (HRESULT hr = SoftDxSurface::Make(this, ownCaps, width, height, format, &surface); FAILED(hr)) {
            if (below) below->Release();
            return hr;
        }
        const DWORD caps2 = (desc.ddsCaps.dwCaps2 & (DDSCAPS2_TEXTUREMANAGE | DDSCAPS2_D3DTEXTUREMANAGE)) |
                            (level ? DDSCAPS2_MIPMAPSUBLEVEL : 0);
        surface->SetLevels(caps2, mipmap ? levels - level : 0, below);
        FSurfaces.push_back(surface);
        below = surface;
    }
    if (desc.dwFlags & DDSD_CKSRCBLT) {
        DDCOLORKEY key = desc.ddckCKSrcBlt;
        below->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &key);
    }
    if (desc.dwFlags & DDSD_CKDESTBLT) {
        DDCOLORKEY key = desc.ddckCKDestBlt;
        below->SetColorKey(DDCKEY_DESTBLT | DDCKEY_COLORSPACE, &key);
    }
    *made = below;
    return DD_OK;
}

}  // namespace softdx
