// Blt, BltFast and Flip of the software DirectDraw's surfaces, and SoftDxBltFine.
// A primary surface without back buffers is what the user sees directly (windowed
// rendering), so it is presented after each change to it: a Blt, an Unlock, a ReleaseDC.
// Source rectangles are held in 1/65536 of a pixel, Blt's whole pixels among them, so that a
// picture held smaller than the rectangles' own coordinates is sampled where they fall.
// Stretches take the source pixel under each destination pixel's centre. One that shrinks
// by half or more both ways, in a 32-bit format of 8-bit channels and without colour keys,
// takes it from a copy of the source averaged down by halves (SoftDxSurfaceDeferred.cpp).
// A surface with a clipper draws only inside the clipper's region (its clip list, or the
// visible parts of its window as the presenter tells them), and its destination rectangle
// may then reach beyond the surface, as on Windows.
// A back buffer filled whole by one stretch from a surface outside the chain (the show's
// frame) only notes the stretch, made later as SoftDxSurfaceDeferred.cpp says.
// A flip of two buffers whose back buffer is the very stretch the front shows (same source,
// unchanged, same rectangle; a slow zoom moves less than a pixel a frame) leaves the buffers
// where they are and only tells the presenter the frame repeats.
// Implements: SoftDxSurface::Blt, BltFast and Flip, presenting a surface through the current
// presenter, SoftDxBltFine (SoftDxBltFine.h).
// Not implemented: raster operations other than SRCCOPY, BLACKNESS and WHITENESS, the
// DDBLT_DDFX effects (mirroring, rotation), alpha and z blits (DDERR_UNSUPPORTED, or
// DDERR_NORASTEROPHW for the other raster operations); clip lists (a clipper only names
// the window a windowed primary is shown in).
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "SoftDxSurface.h"

namespace softdx {

namespace {

constexpr DWORD RopSourceCopy = 0x00CC0020;
constexpr DWORD RopBlackness = 0x00000042;
constexpr DWORD RopWhiteness = 0x00FF0062;

constexpr DWORD SupportedBltFlags = DDBLT_ASYNC | DDBLT_COLORFILL | DDBLT_DDFX | DDBLT_KEYDEST | DDBLT_KEYDESTOVERRIDE |
                                    DDBLT_KEYSRC | DDBLT_KEYSRCOVERRIDE | DDBLT_ROP | DDBLT_WAIT | DDBLT_DONOTWAIT;
constexpr DWORD FlagsReadingFx =
    DDBLT_COLORFILL | DDBLT_DDFX | DDBLT_KEYDESTOVERRIDE | DDBLT_KEYSRCOVERRIDE | DDBLT_ROP;

bool InsideSurface(const RECT& r, uint32_t width, uint32_t height)
{
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && uint32_t(r.right) <= width &&
           uint32_t(r.bottom) <= height;
}

bool InsideSurface(const SoftDxFineRect& r, uint32_t width, uint32_t height)
{
    return r.Left >= 0 && r.Top >= 0 && r.Left < r.Right && r.Top < r.Bottom &&
           r.Right <= int64_t{width} * SoftDxFineUnit && r.Bottom <= int64_t{height} * SoftDxFineUnit;
}

// The whole pixels a fine rectangle touches.
RECT Covering(const SoftDxFineRect& r)
{
    const auto down = [](int64_t v) { return LONG(v / SoftDxFineUnit); };
    const auto up = [](int64_t v) { return LONG((v + SoftDxFineUnit - 1) / SoftDxFineUnit); };
    return {down(r.Left), down(r.Top), up(r.Right), up(r.Bottom)};
}

bool Overlap(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool SameLayout(const PixelFormat& a, const PixelFormat& b)
{
    return a.Bits == b.Bits && a.Indexed == b.Indexed && a.RedMask == b.RedMask && a.GreenMask == b.GreenMask &&
           a.BlueMask == b.BlueMask;
}

KeyRange Key(const DDCOLORKEY& key) { return {true, key.dwColorSpaceLowValue, key.dwColorSpaceHighValue}; }

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

HRESULT SoftDxSurface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx)
{
    SOFTDX_ENTER("Blt");
    if (!sourceRect) return Blit(destRect, source, nullptr, flags, fx);
    const SoftDxFineRect fine = SoftDxFine(*sourceRect);
    return Blit(destRect, source, &fine, flags, fx);
}

HRESULT SoftDxSurface::Blit(const RECT* destRect, LPDIRECTDRAWSURFACE7 source, const SoftDxFineRect* sourceRect,
                            DWORD flags, LPDDBLTFX fx)
{
    if (flags & ~SupportedBltFlags) return DDERR_UNSUPPORTED;
    if ((flags & DDBLT_WAIT) && (flags & DDBLT_DONOTWAIT)) return DDERR_INVALIDPARAMS;
    if ((flags & FlagsReadingFx) && (!fx || fx->dwSize != sizeof(DDBLTFX))) return DDERR_INVALIDPARAMS;
    const RECT dr = destRect ? *destRect : RECT{0, 0, LONG(FWidth), LONG(FHeight)};
    const RECT whole{0, 0, LONG(FWidth), LONG(FHeight)};
    // The parts of the destination drawn: all of it without a clipper, which must then lie
    // inside the surface.
    std::vector<RECT> parts;
    if (FClipper) {
        if (dr.left >= dr.right || dr.top >= dr.bottom) return DDERR_INVALIDRECT;
        for (const RECT& c : FClipper->Region().value_or(std::vector{whole})) {
            const RECT r{std::max({dr.left, c.left, whole.left}), std::max({dr.top, c.top, whole.top}),
                         std::min({dr.right, c.right, whole.right}), std::min({dr.bottom, c.bottom, whole.bottom})};
            if (r.left < r.right && r.top < r.bottom) parts.push_back(r);
        }
    } else {
        if (!InsideSurface(dr, FWidth, FHeight)) return DDERR_INVALIDRECT;
        parts.push_back(dr);
    }
    if (Busy()) return DDERR_SURFACEBUSY;

    std::optional<uint32_t> fill;
    if (flags & DDBLT_COLORFILL) fill = fx->dwFillColor;
    if (flags & DDBLT_ROP) {
        if (fx->dwROP == RopBlackness)
            fill = 0;
        else if (fx->dwROP == RopWhiteness)
            fill = FFormat.ValueMask();
        else if (fx->dwROP != RopSourceCopy)
            return DDERR_NORASTEROPHW;
    }
    if ((flags & DDBLT_DDFX) && fx->dwDDFX != 0) return DDERR_UNSUPPORTED;
    if (fill) {
        const PixelView out = WritableView();
        for (const RECT& part : parts) FillRect(out, part, *fill);
        ++FUniqueness;
        PresentIfVisible();
        return DD_OK;
    }

    if (!source) return DDERR_INVALIDPARAMS;
    auto* from = static_cast<SoftDxSurface*>(source);
    const SoftDxFineRect sr =
        sourceRect ? *sourceRect : SoftDxFine(RECT{0, 0, LONG(from->FWidth), LONG(from->FHeight)});
    if (!InsideSurface(sr, from->FWidth, from->FHeight)) return DDERR_INVALIDRECT;
    if (from->Busy()) return DDERR_SURFACEBUSY;
    if (!SameLayout(from->FFormat, FFormat)) return DDERR_UNSUPPORTED;

    KeyRange sourceKey, destKey;
    if (flags & DDBLT_KEYSRCOVERRIDE)
        sourceKey = Key(fx->ddckSrcColorkey);
    else if (flags & DDBLT_KEYSRC) {
        if (!from->FSourceKey) return DDERR_NOCOLORKEY;
        sourceKey = Key(*from->FSourceKey);
    }
    if (flags & DDBLT_KEYDESTOVERRIDE)
        destKey = Key(fx->ddckDestColorkey);
    else if (flags & DDBLT_KEYDEST) {
        if (!FDestKey) return DDERR_NOCOLORKEY;
        destKey = Key(*FDestKey);
    }

    if (!sourceKey.Enabled && !destKey.Enabled && CanDefer(from, dr)) {
        Defer(from, sr);
        ++FUniqueness;
        return DD_OK;
    }
    PixelView in = from->View();
    SoftDxFineRect inRect = sr;
    std::vector<uint8_t> copy;
    if (const RECT touched = Covering(sr); from == this && Overlap(touched, dr)) {
        // Reading and writing the same pixels: read from a copy of the pixels the source
        // rectangle touches.
        const uint32_t w = uint32_t(touched.right - touched.left), h = uint32_t(touched.bottom - touched.top);
        const size_t rowBytes = size_t{w} * FFormat.BytesPerPixel();
        try {
            copy.resize(rowBytes * h);
        } catch (const std::bad_alloc&) {
            return DDERR_OUTOFMEMORY;
        }
        for (uint32_t y = 0; y < h; ++y)
            std::memcpy(copy.data() + y * rowBytes, in.At(touched.left, touched.top + LONG(y)), rowBytes);
        in = {copy.data(), ptrdiff_t(rowBytes), w, h, FFormat.BytesPerPixel()};
        const int64_t dx = int64_t{touched.left} * SoftDxFineUnit, dy = int64_t{touched.top} * SoftDxFineUnit;
        inRect = {sr.Left - dx, sr.Top - dy, sr.Right - dx, sr.Bottom - dy};
    }
    if (copy.empty() && !sourceKey.Enabled && !destKey.Enabled && ByteChannels(FFormat))
        from->ShrinkInput(sr, uint32_t(dr.right - dr.left), uint32_t(dr.bottom - dr.top), in, inRect);
    // A blit that replaces all the pixels makes what was put off for them needless.
    if (!FClipper && !sourceKey.Enabled && !destKey.Enabled && SameRect(dr, whole)) DropDeferred();
    const PixelView out = WritableView();
    for (const RECT& part : parts) StretchCopy(out, dr, part, in, inRect, sourceKey, destKey, FFormat.ValueMask());
    ++FUniqueness;
    PresentIfVisible();
    return DD_OK;
}

HRESULT SoftDxSurface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD trans)
{
    SOFTDX_ENTER("BltFast");
    if (!source) return DDERR_INVALIDPARAMS;
    if (FClipper) return DDERR_BLTFASTCANTCLIP;
    auto* from = static_cast<SoftDxSurface*>(source);
    const RECT sr = sourceRect ? *sourceRect : RECT{0, 0, LONG(from->FWidth), LONG(from->FHeight)};
    if (x > FWidth || y > FHeight) return DDERR_INVALIDRECT;
    RECT dr{LONG(x), LONG(y), LONG(x) + (sr.right - sr.left), LONG(y) + (sr.bottom - sr.top)};
    DWORD flags = DDBLT_WAIT;
    if (trans & DDBLTFAST_SRCCOLORKEY) flags |= DDBLT_KEYSRC;
    if (trans & DDBLTFAST_DESTCOLORKEY) flags |= DDBLT_KEYDEST;
    RECT srCopy = sr;
    return Blt(&dr, source, &srCopy, flags, nullptr);
}

HRESULT SoftDxSurface::Flip(LPDIRECTDRAWSURFACE7 target, DWORD flags)
{
    SOFTDX_ENTER("Flip");
    if (!IsFront()) return DDERR_NOTFLIPPABLE;
    if (!FOwner->Exclusive()) return DDERR_NOEXCLUSIVEMODE;
    if (ChainBusy()) return DDERR_SURFACEBUSY;
    const uint64_t start = Now();
    auto& members = FChain->Members;
    auto found = members.end();
    if (target) {
        found = std::find(members.begin() + 1, members.end(), static_cast<SoftDxSurface*>(target));
        if (found == members.end()) return DDERR_INVALIDPARAMS;
    }
    if (FlipRepeats() && (!target || found == members.begin() + 1)) {
        // Both buffers hold the frame on the screen: swapping them would change nothing
        // anyone can see, so the presenter is only told the frame repeats.
        for (SoftDxSurface* s : members) ++s->FUniqueness;
        FChain->FrontShows->FrontUniqueness = FUniqueness;
        if (!SoftDxGetPresenter()->Repeat(ShownIn())) Present();
    } else {
        // A stretch put off is the content of its pixel memory and goes round with it; its
        // source learns which surface now holds it.
        for (SoftDxSurface* s : members)
            if (s->FDeferred) std::erase(s->FDeferred->Source->FDeferredReaders, s);
        if (target) {
            std::swap(FMemory, (*found)->FMemory);
            std::swap(FDeferred, (*found)->FDeferred);
        } else {
            // What was the first back buffer is now seen; what was seen goes to the end.
            PixelMemory shown = std::move(members.front()->FMemory);
            std::optional<Deferred> shownDeferred = std::move(members.front()->FDeferred);
            for (size_t i = 0; i + 1 < members.size(); ++i) {
                members[i]->FMemory = std::move(members[i + 1]->FMemory);
                members[i]->FDeferred = std::move(members[i + 1]->FDeferred);
            }
            members.back()->FMemory = std::move(shown);
            members.back()->FDeferred = std::move(shownDeferred);
        }
        for (SoftDxSurface* s : members) {
            if (s->FDeferred) s->FDeferred->Source->FDeferredReaders.push_back(s);
            ++s->FUniqueness;
        }
        const std::optional<Deferred> shown = FDeferred;
        Present();
        if (shown)
            FChain->FrontShows =
                FlipChain::Stretch{shown->Source->FSerial, shown->Source->FUniqueness, shown->SourceRect, FUniqueness};
        else
            FChain->FrontShows.reset();
    }
    if (!(flags & DDFLIP_NOVSYNC)) {
        // DDFLIP_INTERVAL2..4 wait that many refreshes.
        const DWORD interval = std::max<DWORD>((flags >> 24) & 0xF, 1);
        uint64_t until = SoftDxNextRefresh(start);
        for (DWORD i = 1; i < interval; ++i) until = SoftDxNextRefresh(until);
        SleepUntil(until);
    }
    return DD_OK;
}

void SoftDxSurface::PresentIfVisible()
{
    if ((FCaps & DDSCAPS_PRIMARYSURFACE) && !FChain) Present();
}

HWND SoftDxSurface::ShownIn() const { return FClipper && FClipper->Window() ? FClipper->Window() : FOwner->Window(); }

void SoftDxSurface::Present()
{
    const auto presenter = SoftDxGetPresenter();
    const HWND window = ShownIn();
    if (FDeferred && PresentDeferred(*presenter, window)) return;
    const PixelView pixels = View();
    if (FFormat.Bits == 32 && FFormat.RedMask == 0x00FF0000) {
        presenter->Present(window, reinterpret_cast<const uint32_t*>(pixels.Bits), FWidth, FHeight, size_t(FPitch));
        return;
    }
    try {
        FXrgb.resize(size_t{FWidth} * FHeight);
    } catch (const std::bad_alloc&) {
        return;  // nothing shown this time; the next frame tries again
    }
    ConvertToXrgb(pixels, FFormat, FPalette ? FPalette->Entries() : nullptr, FXrgb.data(), size_t{FWidth} * 4);
    presenter->Present(window, FXrgb.data(), FWidth, FHeight, size_t{FWidth} * 4);
}

}  // namespace softdx

HRESULT SoftDxBltFine(IDirectDrawSurface7* destination, const RECT* destinationRect, IDirectDrawSurface7* source,
                      const SoftDxFineRect& sourceRect)
{
    SOFTDX_ENTER("Blt");
    if (!destination) return DDERR_INVALIDPARAMS;
    return static_cast<softdx::SoftDxSurface*>(destination)
        ->Blit(destinationRect, source, &sourceRect, DDBLT_WAIT, nullptr);
}
