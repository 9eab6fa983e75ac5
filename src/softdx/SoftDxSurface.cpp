// Surfaces of the software DirectDraw: making them, references, description, Lock, device
// contexts, colour keys, palettes, clippers and the flip chain's attachments.
// Implements: IDirectDrawSurface7 (SoftDxSurface) but for Blt, BltFast and Flip; attaching a
// z-buffer by hand; mip-map levels reached through GetAttachedSurface.
// Not implemented (DDERR_UNSUPPORTED or the overlay codes): attaching other surfaces by hand,
// overlays, private data, BltBatch, SetSurfaceDesc, texture priority and level of detail.
#include <sys/mman.h>

#include <atomic>
#include <cstring>
#include <new>

#include "SoftDxSurface.h"

namespace softdx {

namespace {

// A grey ramp stands in for the palette of 8-bit surfaces that have none.
struct GreyPalette {
    PALETTEENTRY Entries[256];
    GreyPalette()
    {
        for (int i = 0; i < 256; ++i) Entries[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
    }
};
const GreyPalette greyPalette;

bool InsideSurface(const RECT& r, uint32_t width, uint32_t height)
{
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && uint32_t(r.right) <= width &&
           uint32_t(r.bottom) <= height;
}

std::atomic<uint64_t> nextSerial{0};

}  // namespace

SoftDxSurface::SoftDxSurface(SoftDxDirectDraw* owner, DWORD caps, uint32_t width, uint32_t height,
                             const PixelFormat& format, PixelMemory memory, uint32_t pitch)
    : FOwner(owner),
      FCaps(caps),
      FWidth(width),
      FHeight(height),
      FFormat(format),
      FMemory(std::move(memory)),
      FPitch(pitch),
      FSerial(nextSerial.fetch_add(1) + 1)
{
    FOwner->AddRef();
}

namespace {
// Surfaces of a photograph's size are mapped on their own and asked for huge pages: the
// kernel then zeroes and maps them 2 MB at a time instead of 4 KB, which takes a good part
// off the cost of each picture change.
constexpr uint64_t LargeSurfaceBytes = uint64_t{8} << 20;
}  // namespace

PixelMemory SoftDxSurface::ZeroedMemory(uint64_t bytes)
{
    if (bytes >= LargeSurfaceBytes && bytes <= SIZE_MAX) {
        void* mapped = mmap(nullptr, size_t(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped != MAP_FAILED) {
            madvise(mapped, size_t(bytes), MADV_HUGEPAGE);  // a hint: refused, small pages serve
            return PixelMemory(static_cast<uint8_t*>(mapped),
                               SoftDxMemoryRelease{[bytes](uint8_t* p) { munmap(p, size_t(bytes)); }});
        }
    }
    // calloc leaves untouched pages to the kernel's zero pages, so big pictures cost nothing
    // until drawn.
    return PixelMemory(static_cast<uint8_t*>(std::calloc(size_t(bytes), 1)));
}

HRESULT SoftDxSurface::Make(SoftDxDirectDraw* owner, DWORD caps, uint32_t width, uint32_t height,
                            const PixelFormat& format, SoftDxSurface** made)
{
    const uint64_t pitch = RowPitch(width, format.Bits);
    const uint64_t bytes = pitch * height + 16;
    PixelMemory memory;
    // The buffers of a flip chain in the presenter's own memory are shown without a copy.
    if ((caps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_BACKBUFFER | DDSCAPS_FLIP)) && format.Bits == 32 &&
        format.RedMask == 0x00FF0000 && format.GreenMask == 0x0000FF00 && format.BlueMask == 0x000000FF)
        memory = SoftDxGetPresenter()->AllocateFrame(bytes);
    if (!memory) memory = ZeroedMemory(bytes);
    if (!memory) return DDERR_OUTOFMEMORY;
    try {
        *made = new SoftDxSurface(owner, caps, width, height, format, std::move(memory), uint32_t(pitch));
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    return DD_OK;
}

void SoftDxSurface::Chain(const std::vector<SoftDxSurface*>& surfaces)
{
    auto chain = std::make_shared<FlipChain>();
    chain->Members = surfaces;
    for (SoftDxSurface* s : surfaces) s->FChain = chain;
}

SoftDxSurface::~SoftDxSurface()
{
    // Stretches from this surface put off are made while its pixels are still here.
    Changing();
    DropDeferred();
    if (IsFront()) {
        // The back buffers were made with the front buffer and go with it.
        auto chain = FChain;
        for (SoftDxSurface* s : chain->Members) s->FChain.reset();
        for (size_t i = 1; i < chain->Members.size(); ++i) chain->Members[i]->Release();
    }
    if (FPalette) FPalette->Release();
    if (FClipper) FClipper->Release();
    if (FNextLevel) FNextLevel->Release();
    if (FZBuffer) FZBuffer->Release();
    FOwner->Forget(this);
    FOwner->Release();
}

bool SoftDxSurface::ChainBusy() const
{
    if (!FChain) return Busy();
    for (const SoftDxSurface* s : FChain->Members)
        if (s->Busy()) return true;
    return false;
}

void SoftDxSurface::SetLevels(DWORD caps2, DWORD mipMapCount, SoftDxSurface* next)
{
    FCaps2 = caps2;
    FMipMapCount = mipMapCount;
    FNextLevel = next;
}

void SoftDxSurface::Drawn(bool shown)
{
    ++FUniqueness;
    if (shown) PresentIfVisible();
}

// Only a z-buffer can be attached by hand, to a colour surface at least its size.
HRESULT SoftDxSurface::AddAttachedSurface(LPDIRECTDRAWSURFACE7 surface)
{
    SOFTDX_ENTER("AddAttachedSurface");
    auto* z = static_cast<SoftDxSurface*>(surface);
    if (!z || z == this) return DDERR_INVALIDPARAMS;
    if (!(z->FCaps & DDSCAPS_ZBUFFER) || (FCaps & DDSCAPS_ZBUFFER)) return DDERR_CANNOTATTACHSURFACE;
    if (FZBuffer) return DDERR_SURFACEALREADYATTACHED;
    if (z->FWidth < FWidth || z->FHeight < FHeight) return DDERR_CANNOTATTACHSURFACE;
    z->AddRef();
    FZBuffer = z;
    return DD_OK;
}

HRESULT SoftDxSurface::AddOverlayDirtyRect(LPRECT)
{
    SOFTDX_ENTER("AddOverlayDirtyRect");
    return DDERR_NOTAOVERLAYSURFACE;
}

HRESULT SoftDxSurface::BltBatch(LPDDBLTBATCH, DWORD, DWORD)
{
    SOFTDX_ENTER("BltBatch");
    return DDERR_UNSUPPORTED;
}

HRESULT SoftDxSurface::DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE7 surface)
{
    SOFTDX_ENTER("DeleteAttachedSurface");
    if (!FZBuffer || (surface && surface != FZBuffer)) return DDERR_CANNOTDETACHSURFACE;
    FZBuffer->Release();
    FZBuffer = nullptr;
    return DD_OK;
}

HRESULT SoftDxSurface::EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK7 callback)
{
    SOFTDX_ENTER("EnumAttachedSurfaces");
    if (!callback) return DDERR_INVALIDPARAMS;
    for (SoftDxSurface* attached : {FZBuffer, FNextLevel}) {
        if (!attached) continue;
        DDSURFACEDESC2 desc;
        desc.dwSize = sizeof desc;
        attached->GetSurfaceDesc(&desc);
        attached->AddRef();
        if (callback(attached, &desc, context) == DDENUMRET_CANCEL) return DD_OK;
    }
    if (!FChain || FChain->Members.size() < 2) return DD_OK;
    // Each buffer of a chain has the next one attached; the last has the front buffer.
    const auto& members = FChain->Members;
    size_t at = 0;
    while (members[at] != this) ++at;
    SoftDxSurface* next = members[(at + 1) % members.size()];
    DDSURFACEDESC2 desc;
    desc.dwSize = sizeof desc;
    next->GetSurfaceDesc(&desc);
    next->AddRef();
    callback(next, &desc, context);
    return DD_OK;
}

HRESULT SoftDxSurface::EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK7)
{
    SOFTDX_ENTER("EnumOverlayZOrders");
    return DDERR_NOTAOVERLAYSURFACE;
}

HRESULT SoftDxSurface::GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* attached)
{
    SOFTDX_ENTER("GetAttachedSurface");
    if (!caps || !attached) return DDERR_INVALIDPARAMS;
    *attached = nullptr;
    for (SoftDxSurface* candidate : {FZBuffer, FNextLevel}) {
        if (candidate && caps->dwCaps && (candidate->FCaps & caps->dwCaps) == caps->dwCaps) {
            candidate->AddRef();
            *attached = candidate;
            return DD_OK;
        }
    }
    if (!FChain) return DDERR_NOTFOUND;
    const auto& members = FChain->Members;
    size_t at = 0;
    while (members[at] != this) ++at;
    SoftDxSurface* next = members[(at + 1) % members.size()];
    if (next == this || (next->FCaps & caps->dwCaps) != caps->dwCaps) return DDERR_NOTFOUND;
    next->AddRef();
    *attached = next;
    return DD_OK;
}

HRESULT SoftDxSurface::GetBltStatus(DWORD flags)
{
    SOFTDX_ENTER("GetBltStatus");
    if (flags != DDGBS_CANBLT && flags != DDGBS_ISBLTDONE) return DDERR_INVALIDPARAMS;
    return Busy() ? DDERR_SURFACEBUSY : DD_OK;
}

HRESULT SoftDxSurface::GetCaps(LPDDSCAPS2 caps)
{
    SOFTDX_ENTER("GetCaps");
    if (!caps) return DDERR_INVALIDPARAMS;
    *caps = DDSCAPS2{};
    caps->dwCaps = FCaps;
    caps->dwCaps2 = FCaps2;
    return DD_OK;
}

HRESULT SoftDxSurface::GetClipper(LPDIRECTDRAWCLIPPER* clipper)
{
    SOFTDX_ENTER("GetClipper");
    if (!clipper) return DDERR_INVALIDPARAMS;
    *clipper = FClipper;
    if (!FClipper) return DDERR_NOCLIPPERATTACHED;
    FClipper->AddRef();
    return DD_OK;
}

HRESULT SoftDxSurface::GetColorKey(DWORD flags, LPDDCOLORKEY key)
{
    SOFTDX_ENTER("GetColorKey");
    if (!key) return DDERR_INVALIDPARAMS;
    const std::optional<DDCOLORKEY>* stored = nullptr;
    switch (flags) {
    case DDCKEY_SRCBLT: stored = &FSourceKey; break;
    case DDCKEY_DESTBLT: stored = &FDestKey; break;
    case DDCKEY_SRCOVERLAY: stored = &FSourceOverlayKey; break;
    case DDCKEY_DESTOVERLAY: stored = &FDestOverlayKey; break;
    default: return DDERR_INVALIDPARAMS;
    }
    if (!*stored) return DDERR_NOCOLORKEY;
    *key = **stored;
    return DD_OK;
}

HRESULT SoftDxSurface::SetColorKey(DWORD flags, LPDDCOLORKEY key)
{
    SOFTDX_ENTER("SetColorKey");
    std::optional<DDCOLORKEY>* stored = nullptr;
    switch (flags & ~DWORD{DDCKEY_COLORSPACE}) {
    case DDCKEY_SRCBLT: stored = &FSourceKey; break;
    case DDCKEY_DESTBLT: stored = &FDestKey; break;
    case DDCKEY_SRCOVERLAY: stored = &FSourceOverlayKey; break;
    case DDCKEY_DESTOVERLAY: stored = &FDestOverlayKey; break;
    default: return DDERR_INVALIDPARAMS;
    }
    if (!key) {
        stored->reset();
        return DD_OK;
    }
    DDCOLORKEY copy = *key;
    // A single colour unless a range was asked for.
    if (!(flags & DDCKEY_COLORSPACE)) copy.dwColorSpaceHighValue = copy.dwColorSpaceLowValue;
    if (copy.dwColorSpaceHighValue < copy.dwColorSpaceLowValue) return DDERR_INVALIDPARAMS;
    *stored = copy;
    return DD_OK;
}

HRESULT SoftDxSurface::GetDC(HDC* dc)
{
    SOFTDX_ENTER("GetDC");
    if (!dc) return DDERR_INVALIDPARAMS;
    if (FDcOut) return DDERR_DCALREADYCREATED;
    if (FLocked) return DDERR_SURFACEBUSY;
    FDc.Bits = WritableView().Bits;
    FDc.Pitch = static_cast<long>(FPitch);
    FDc.Width = FWidth;
    FDc.Height = FHeight;
    FDc.BitCount = FFormat.Bits;
    FDc.RedMask = FFormat.RedMask;
    FDc.GreenMask = FFormat.GreenMask;
    FDc.BlueMask = FFormat.BlueMask;
    FDc.Palette = nullptr;
    if (FFormat.Indexed)
        FDc.Palette = reinterpret_cast<const uint8_t*>(FPalette ? FPalette->Entries() : greyPalette.Entries);
    FDcOut = true;
    *dc = &FDc;
    return DD_OK;
}

HRESULT SoftDxSurface::ReleaseDC(HDC dc)
{
    SOFTDX_ENTER("ReleaseDC");
    if (!FDcOut) return DDERR_NODC;
    if (dc != &FDc) return DDERR_INVALIDPARAMS;
    FDcOut = false;
    ++FUniqueness;
    PresentIfVisible();
    return DD_OK;
}

HRESULT SoftDxSurface::GetFlipStatus(DWORD flags)
{
    SOFTDX_ENTER("GetFlipStatus");
    if (flags != DDGFS_CANFLIP && flags != DDGFS_ISFLIPDONE) return DDERR_INVALIDPARAMS;
    if (!(FCaps & DDSCAPS_FLIP)) return DDERR_INVALIDSURFACETYPE;
    return DD_OK;
}

HRESULT SoftDxSurface::GetOverlayPosition(LPLONG, LPLONG)
{
    SOFTDX_ENTER("GetOverlayPosition");
    return DDERR_NOTAOVERLAYSURFACE;
}

HRESULT SoftDxSurface::GetPalette(LPDIRECTDRAWPALETTE* palette)
{
    SOFTDX_ENTER("GetPalette");
    if (!palette) return DDERR_INVALIDPARAMS;
    *palette = FPalette;
    if (!FPalette) return DDERR_NOPALETTEATTACHED;
    FPalette->AddRef();
    return DD_OK;
}

HRESULT SoftDxSurface::GetPixelFormat(LPDDPIXELFORMAT format)
{
    SOFTDX_ENTER("GetPixelFormat");
    if (!format) return DDERR_INVALIDPARAMS;
    *format = DescribeFormat(FFormat);
    return DD_OK;
}

HRESULT SoftDxSurface::GetSurfaceDesc(LPDDSURFACEDESC2 desc)
{
    SOFTDX_ENTER("GetSurfaceDesc");
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof *desc;
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = FWidth;
    desc->dwHeight = FHeight;
    desc->lPitch = static_cast<LONG>(FPitch);
    desc->ddpfPixelFormat = DescribeFormat(FFormat);
    desc->ddsCaps.dwCaps = FCaps;
    desc->ddsCaps.dwCaps2 = FCaps2;
    if (FMipMapCount) {
        desc->dwFlags |= DDSD_MIPMAPCOUNT;
        desc->dwMipMapCount = FMipMapCount;
    }
    if (IsFront()) {
        desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
        desc->dwBackBufferCount = static_cast<DWORD>(FChain->Members.size() - 1);
    }
    if (FSourceKey) {
        desc->dwFlags |= DDSD_CKSRCBLT;
        desc->ddckCKSrcBlt = *FSourceKey;
    }
    if (FDestKey) {
        desc->dwFlags |= DDSD_CKDESTBLT;
        desc->ddckCKDestBlt = *FDestKey;
    }
    return DD_OK;
}

HRESULT SoftDxSurface::Initialize(LPDIRECTDRAW, LPDDSURFACEDESC2)
{
    SOFTDX_ENTER("Initialize");
    return DDERR_ALREADYINITIALIZED;
}

HRESULT SoftDxSurface::IsLost()
{
    SOFTDX_ENTER("IsLost");
    return DD_OK;
}

HRESULT SoftDxSurface::Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD, HANDLE)
{
    SOFTDX_ENTER("Lock");
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
    if (rect && !InsideSurface(*rect, FWidth, FHeight)) return DDERR_INVALIDRECT;
    if (FLocked || FDcOut) return DDERR_SURFACEBUSY;
    GetSurfaceDesc(desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    const PixelView pixels = WritableView();
    desc->lpSurface = rect ? pixels.At(rect->left, rect->top) : pixels.Bits;
    FLocked = true;
    return DD_OK;
}

HRESULT SoftDxSurface::Unlock(LPRECT)
{
    SOFTDX_ENTER("Unlock");
    if (!FLocked) return DDERR_NOTLOCKED;
    FLocked = false;
    ++FUniqueness;
    PresentIfVisible();
    return DD_OK;
}

HRESULT SoftDxSurface::Restore()
{
    SOFTDX_ENTER("Restore");
    return DD_OK;
}

HRESULT SoftDxSurface::SetClipper(LPDIRECTDRAWCLIPPER clipper)
{
    SOFTDX_ENTER("SetClipper");
    auto* mine = static_cast<SoftDxClipper*>(clipper);
    if (mine) mine->AddRef();
    if (FClipper) FClipper->Release();
    FClipper = mine;
    return DD_OK;
}

HRESULT SoftDxSurface::SetOverlayPosition(LONG, LONG)
{
    SOFTDX_ENTER("SetOverlayPosition");
    return DDERR_NOTAOVERLAYSURFACE;
}

HRESULT SoftDxSurface::SetPalette(LPDIRECTDRAWPALETTE palette)
{
    SOFTDX_ENTER("SetPalette");
    auto* mine = static_cast<SoftDxPalette*>(palette);
    if (mine && !FFormat.Indexed) return DDERR_INVALIDPIXELFORMAT;
    if (mine) mine->AddRef();
    if (FPalette) FPalette->Release();
    FPalette = mine;
    if (FDcOut && FFormat.Indexed)
        FDc.Palette = reinterpret_cast<const uint8_t*>(FPalette ? FPalette->Entries() : greyPalette.Entries);
    return DD_OK;
}

HRESULT SoftDxSurface::UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE7, LPRECT, DWORD, LPDDOVERLAYFX)
{
    SOFTDX_ENTER("UpdateOverlay");
    return DDERR_NOTAOVERLAYSURFACE;
}

HRESULT SoftDxSurface::UpdateOverlayDisplay(DWORD)
{
    SOFTDX_ENTER("UpdateOverlayDisplay");
    return DDERR_NOTAOVERLAYSURFACE;
}

HRESULT SoftDxSurface::UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE7)
{
    SOFTDX_ENTER("UpdateOverlayZOrder");
    return DDERR_NOTAOVERLAYSURFACE;
}

HRESULT SoftDxSurface::GetDDInterface(LPVOID* directDraw)
{
    SOFTDX_ENTER("GetDDInterface");
    if (!directDraw) return DDERR_INVALIDPARAMS;
    FOwner->AddRef();
    *directDraw = static_cast<IDirectDraw7*>(FOwner);
    return DD_OK;
}

HRESULT SoftDxSurface::PageLock(DWORD)
{
    SOFTDX_ENTER("PageLock");
    return DD_OK;
}

HRESULT SoftDxSurface::PageUnlock(DWORD)
{
    SOFTDX_ENTER("PageUnlock");
    return DD_OK;
}

HRESULT SoftDxSurface::SetSurfaceDesc(LPDDSURFACEDESC2, DWORD)
{
    SOFTDX_ENTER("SetSurfaceDesc");
    return DDERR_UNSUPPORTED;
}

HRESULT SoftDxSurface::SetPrivateData(REFGUID, LPVOID, DWORD, DWORD)
{
    SOFTDX_ENTER("SetPrivateData");
    return DDERR_UNSUPPORTED;
}

HRESULT SoftDxSurface::GetPrivateData(REFGUID, LPVOID, LPDWORD)
{
    SOFTDX_ENTER("GetPrivateData");
    return DDERR_NOTFOUND;
}

HRESULT SoftDxSurface::FreePrivateData(REFGUID)
{
    SOFTDX_ENTER("FreePrivateData");
    return DDERR_NOTFOUND;
}

HRESULT SoftDxSurface::GetUniquenessValue(LPDWORD value)
{
    SOFTDX_ENTER("GetUniquenessValue");
    if (!value) return DDERR_INVALIDPARAMS;
    *value = FUniqueness;
    return DD_OK;
}

HRESULT SoftDxSurface::ChangeUniquenessValue()
{
    SOFTDX_ENTER("ChangeUniquenessValue");
    ++FUniqueness;
    return DD_OK;
}

HRESULT SoftDxSurface::SetPriority(DWORD)
{
    SOFTDX_ENTER("SetPriority");
    return DDERR_INVALIDOBJECT;
}

HRESULT SoftDxSurface::GetPriority(LPDWORD)
{
    SOFTDX_ENTER("GetPriority");
    return DDERR_INVALIDOBJECT;
}

HRESULT SoftDxSurface::SetLOD(DWORD)
{
    SOFTDX_ENTER("SetLOD");
    return DDERR_INVALIDOBJECT;
}

HRESULT SoftDxSurface::GetLOD(LPDWORD)
{
    SOFTDX_ENTER("GetLOD");
    return DDERR_INVALIDOBJECT;
}

}  // namespace softdx
