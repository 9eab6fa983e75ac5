// Pixel formats and display modes of the software DirectDraw. Modes are emulated: every
// listed mode renders at its own size and the presenter scales it to the screen, so the
// list is the monitor's own sizes plus the usual ones, larger than the screen too (scaled
// down, keeping proportions): settings stored on a bigger display work as stored.
// Implements: softdx::DisplayFormat, FormatFromDescription, DescribeFormat, RowPitch,
// DisplayModes, DescribeMode (SoftDxInternal.h).
// ZBufferFormats, TextureFormats.
// Not here: FourCC and YUV formats (FormatFromDescription refuses them).
#include <algorithm>
#include <cstring>
#include <iterator>
#include <tuple>

#include "SoftDxInternal.h"

namespace softdx {

namespace {

constexpr SoftDxSize CommonSizes[] = {{640, 480},  {800, 600},   {1024, 768},  {1280, 720},  {1280, 1024},
                                      {1600, 900}, {1920, 1080}, {1920, 1200}, {2560, 1440}, {3840, 2160}};
constexpr uint32_t ModeBits[] = {8, 16, 32};

bool Masks(const DDPIXELFORMAT& d, uint32_t r, uint32_t g, uint32_t b)
{
    return d.dwRBitMask == r && d.dwGBitMask == g && d.dwBBitMask == b;
}

}  // namespace

PixelFormat DisplayFormat(uint32_t bits)
{
    PixelFormat format;
    format.Bits = bits;
    if (bits == 8) {
        format.Indexed = true;
        format.RedMask = format.GreenMask = format.BlueMask = 0;
    } else if (bits == 16) {
        format.RedMask = 0xF800;
        format.GreenMask = 0x07E0;
        format.BlueMask = 0x001F;
    }
    return format;
}

bool FormatFromDescription(const DDPIXELFORMAT& d, PixelFormat& format)
{
    format = PixelFormat{};
    if (d.dwFlags & DDPF_PALETTEINDEXED8) {
        if (d.dwRGBBitCount != 8 && d.dwRGBBitCount != 0) return false;
        format = DisplayFormat(8);
        return true;
    }
    if (d.dwFlags & (DDPF_FOURCC | DDPF_YUV)) return false;
    if (d.dwFlags & DDPF_ZBUFFER) {
        // Depth is an unsigned integer filling the whole pixel; no stencil.
        const uint32_t bits = d.dwZBufferBitDepth;
        if ((bits != 16 && bits != 32) || d.dwStencilBitDepth != 0) return false;
        format = {bits, bits == 16 ? 0xFFFFu : 0xFFFFFFFFu, 0, 0, 0, false, PixelFormat::Depth};
        return d.dwZBitMask == 0 || d.dwZBitMask == format.RedMask;
    }
    if (d.dwFlags & DDPF_LUMINANCE) {
        format = {8, 0xFF, 0, 0, 0, false, PixelFormat::Luminance};
        return d.dwLuminanceBitCount == 8 && d.dwLuminanceBitMask == 0xFF && !(d.dwFlags & DDPF_ALPHAPIXELS);
    }
    if (d.dwFlags & DDPF_BUMPDUDV) {
        format = {16, 0x00FF, 0xFF00, 0, 0, false, PixelFormat::Bump};
        return d.dwBumpBitCount == 16 && d.dwBumpDuBitMask == 0x00FF && d.dwBumpDvBitMask == 0xFF00 &&
               !(d.dwFlags & DDPF_BUMPLUMINANCE);
    }
    if (!(d.dwFlags & DDPF_RGB)) return false;
    const uint32_t bits = d.dwRGBBitCount;
    const bool alpha = (d.dwFlags & DDPF_ALPHAPIXELS) != 0;
    format.Bits = bits;
    format.RedMask = d.dwRBitMask;
    format.GreenMask = d.dwGBitMask;
    format.BlueMask = d.dwBBitMask;
    format.AlphaMask = alpha ? d.dwRGBAlphaBitMask : 0;
    switch (bits) {
    case 16:
        if (Masks(d, 0xF800, 0x07E0, 0x001F) && !alpha) return true;
        if (Masks(d, 0x7C00, 0x03E0, 0x001F) && (!alpha || format.AlphaMask == 0x8000)) return true;
        return Masks(d, 0x0F00, 0x00F0, 0x000F) && format.AlphaMask == 0xF000;
    case 24:
    case 32:
        if (!Masks(d, 0xFF0000, 0xFF00, 0xFF) && !Masks(d, 0xFF, 0xFF00, 0xFF0000)) return false;
        return !alpha || (bits == 32 && format.AlphaMask == 0xFF000000);
    default: return false;
    }
}

DDPIXELFORMAT DescribeFormat(const PixelFormat& format)
{
    DDPIXELFORMAT d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    d.dwRGBBitCount = format.Bits;
    switch (format.Kind) {
    case PixelFormat::Depth:
        d.dwFlags = DDPF_ZBUFFER;
        d.dwZBitMask = format.RedMask;
        return d;
    case PixelFormat::Luminance:
        d.dwFlags = DDPF_LUMINANCE;
        d.dwLuminanceBitMask = format.RedMask;
        return d;
    case PixelFormat::Bump:
        d.dwFlags = DDPF_BUMPDUDV;
        d.dwBumpDuBitMask = format.RedMask;
        d.dwBumpDvBitMask = format.GreenMask;
        return d;
    case PixelFormat::Rgb: break;
    }
    if (format.Indexed) {
        d.dwFlags = DDPF_PALETTEINDEXED8 | DDPF_RGB;
        return d;
    }
    d.dwFlags = DDPF_RGB | (format.AlphaMask ? DDPF_ALPHAPIXELS : 0);
    d.dwRBitMask = format.RedMask;
    d.dwGBitMask = format.GreenMask;
    d.dwBBitMask = format.BlueMask;
    d.dwRGBAlphaBitMask = format.AlphaMask;
    return d;
}

std::vector<DDPIXELFORMAT> ZBufferFormats()
{
    std::vector<DDPIXELFORMAT> formats;
    for (uint32_t bits : {16u, 32u})
        formats.push_back(
            DescribeFormat({bits, bits == 16 ? 0xFFFFu : 0xFFFFFFFFu, 0, 0, 0, false, PixelFormat::Depth}));
    return formats;
}

std::vector<DDPIXELFORMAT> TextureFormats()
{
    // Every rule of a program's format search meets one of these: plain and alpha colour
    // at 16 and 32 bits, four-bit alpha, a palette, and two kinds that are no colour at all.
    const PixelFormat list[] = {
        {16, 0xF800, 0x07E0, 0x001F, 0},
        {16, 0x7C00, 0x03E0, 0x001F, 0},
        {16, 0x7C00, 0x03E0, 0x001F, 0x8000},
        {16, 0x0F00, 0x00F0, 0x000F, 0xF000},
        {32, 0xFF0000, 0xFF00, 0xFF, 0},
        {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        DisplayFormat(8),
        {8, 0xFF, 0, 0, 0, false, PixelFormat::Luminance},
        {16, 0x00FF, 0xFF00, 0, 0, false, PixelFormat::Bump},
    };
    std::vector<DDPIXELFORMAT> formats;
    for (const PixelFormat& f : list) formats.push_back(DescribeFormat(f));
    return formats;
}

uint64_t RowPitch(uint64_t width, uint32_t bits) { return (width * (bits / 8) + 3) & ~uint64_t{3}; }

std::vector<DisplayMode> DisplayModes(ISoftDxPresenter& presenter)
{
    const SoftDxSize screen = presenter.ScreenSize();
    std::vector<SoftDxSize> sizes = presenter.MonitorModes();
    sizes.push_back(screen);
    sizes.insert(sizes.end(), std::begin(CommonSizes), std::end(CommonSizes));

    std::vector<DisplayMode> modes;
    for (SoftDxSize size : sizes) {
        if (size.Width == 0 || size.Height == 0) continue;
        for (uint32_t bits : ModeBits) modes.push_back({size.Width, size.Height, bits});
    }
    auto key = [](const DisplayMode& m) { return std::tuple(m.Width, m.Height, m.Bits); };
    std::sort(modes.begin(), modes.end(), [&](const DisplayMode& a, const DisplayMode& b) { return key(a) < key(b); });
    modes.erase(std::unique(modes.begin(), modes.end()), modes.end());
    return modes;
}

void DescribeMode(const DisplayMode& mode, DDSURFACEDESC2& d)
{
    const DWORD size = d.dwSize;
    std::memset(&d, 0, sizeof d);
    d.dwSize = size;
    d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    d.dwWidth = mode.Width;
    d.dwHeight = mode.Height;
    d.lPitch = static_cast<LONG>(RowPitch(mode.Width, mode.Bits));
    d.dwRefreshRate = RefreshRate;
    d.ddpfPixelFormat = DescribeFormat(DisplayFormat(mode.Bits));
}

}  // namespace softdx
