// Blt, BltFast and Flip of the software DirectDraw's surfaces, and presentation.
// A primary surface without back buffers is what the user sees directly (windowed
// rendering), so it is presented after each change to it: a Blt, an Unlock, a ReleaseDC.
// Stretches take the source pixel under each destination pixel's centre. One that shrinks
// by half or more both ways, in a 32-bit format of 8-bit channels and without colour keys,
// takes it from a copy of the source averaged down by halves, as filtering blitters do:
// a photograph shrunk a lot stays smooth instead of sparkling as it moves, and far less
// memory is read for each frame.
// A surface with a clipper draws only inside the clipper's region (its clip list, or the
// visible parts of its window as the presenter tells them), and its destination rectangle
// may then reach beyond the surface, as on Windows.
// A back buffer of the presenter's 32-bit format filled whole by one stretch from a surface
// outside the chain (the show's frame) only notes the stretch. When the frame is presented
// in a window of another size (an emulated mode), the stretch is made straight at the
// window's size into memory of the presenter's, so that the mode costs what the screen's own
// does instead of a frame made small and then scaled up. A stretch that would enlarge onto
// the window keeps the old way, whose smooth scaling looks better than repeated pixels.
// Anything else that reads or changes the back buffer, or changes or releases the source,
// first makes the stretch in the back buffer's own pixels, so no one can tell it was put off.
// A flip of two buffers whose back buffer is the very stretch the front shows (same source,
// unchanged, same rectangle; a slow zoom moves less than a pixel a frame) leaves the buffers
// where they are and only tells the presenter the frame repeats.
// Implements: SoftDxSurface::Blt, BltFast and Flip, presenting a surface through the current
// presenter, and the stretch put off (CanDefer, Defer, Realise, PresentDeferred).
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

// Whether each channel is a whole byte, so that averaging bytes averages colours.
bool ByteChannels(const PixelFormat& f)
{
    auto byteMask = [](uint32_t mask) {
        return mask == 0 || mask == 0xFF || mask == 0xFF00 || mask == 0xFF0000 || mask == 0xFF000000;
    };
    return f.Bits == 32 && !f.Indexed && byteMask(f.RedMask) && byteMask(f.GreenMask) && byteMask(f.BlueMask) &&
           byteMask(f.AlphaMask);
}

// The average of four pixels, each byte on its own, rounded half up.
inline uint32_t Average4(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    constexpr uint32_t Even = 0x00FF00FF;
    const uint32_t low = (a & Even) + (b & Even) + (c & Even) + (d & Even) + 0x00020002;
    const uint32_t high = ((a >> 8) & Even) + ((b >> 8) & Even) + ((c >> 8) & Even) + ((d >> 8) & Even) + 0x00020002;
    return ((low >> 2) & Even) | (((high >> 2) & Even) << 8);
}

// Halves a 32-bit picture: each pixel the average of a 2 x 2 block (an odd last row or
// column is left out).
void Halve(const PixelView& in, uint32_t* out, uint32_t width, uint32_t height)
{
    for (uint32_t y = 0; y < height; ++y) {
        const auto* upper = reinterpret_cast<const uint32_t*>(in.At(0, int32_t(2 * y)));
        const auto* lower = reinterpret_cast<const uint32_t*>(in.At(0, int32_t(2 * y + 1)));
        uint32_t* row = out + size_t{y} * width;
        for (uint32_t x = 0; x < width; ++x)
            row[x] = Average4(upper[2 * x], upper[2 * x + 1], lower[2 * x], lower[2 * x + 1]);
    }
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// What a stretch of sr onto a dw x dh rectangle reads: for one that shrinks by half or more
// both ways, the source's copy averaged down to the smallest size still at least the
// destination's; in and inRect are left as they are otherwise.
void ShrinkInput(SoftDxSurface& from, const RECT& sr, uint32_t dw, uint32_t dh, PixelView& in, RECT& inRect)
{
    const uint32_t sw = uint32_t(sr.right - sr.left), sh = uint32_t(sr.bottom - sr.top);
    uint32_t level = 0;
    while (level < 16 && (sw >> (level + 1)) >= dw && (sh >> (level + 1)) >= dh) ++level;
    const PixelView reduced = level ? from.Reduced(level) : PixelView{};
    if (!reduced.Bits) return;
    // The same part of the picture at the smaller scale, at least one pixel of it.
    const auto scale = [&](LONG v, uint32_t limit, bool up) {
        const int64_t step = int64_t{1} << level;
        return LONG(std::min<int64_t>((up ? v + step - 1 : v) / step, limit));
    };
    RECT r{scale(sr.left, reduced.Width - 1, false), scale(sr.top, reduced.Height - 1, false),
           scale(sr.right, reduced.Width, true), scale(sr.bottom, reduced.Height, true)};
    r.right = std::max(r.right, r.left + 1);
    r.bottom = std::max(r.bottom, r.top + 1);
    in = reduced;
    inRect = r;
}

}  // namespace

HRESULT SoftDxSurface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx)
{
    SOFTDX_ENTER("Blt");
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
    const RECT sr = sourceRect ? *sourceRect : RECT{0, 0, LONG(from->FWidth), LONG(from->FHeight)};
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
    RECT inRect = sr;
    std::vector<uint8_t> copy;
    if (from == this && Overlap(sr, dr)) {
        // Reading and writing the same pixels: read from a copy of the source rectangle.
        const uint32_t w = uint32_t(sr.right - sr.left), h = uint32_t(sr.bottom - sr.top);
        const size_t rowBytes = size_t{w} * FFormat.BytesPerPixel();
        try {
            copy.resize(rowBytes * h);
        } catch (const std::bad_alloc&) {
            return DDERR_OUTOFMEMORY;
        }
        for (uint32_t y = 0; y < h; ++y)
            std::memcpy(copy.data() + y * rowBytes, in.At(sr.left, sr.top + LONG(y)), rowBytes);
        in = {copy.data(), ptrdiff_t(rowBytes), w, h, FFormat.BytesPerPixel()};
        inRect = {0, 0, LONG(w), LONG(h)};
    }
    if (copy.empty() && !sourceKey.Enabled && !destKey.Enabled && ByteChannels(FFormat))
        ShrinkInput(*from, sr, uint32_t(dr.right - dr.left), uint32_t(dr.bottom - dr.top), in, inRect);
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

PixelView SoftDxSurface::Reduced(uint32_t level)
{
    if (FReductionsOf != FUniqueness) {
        FReductions.clear();
        FReductionsOf = FUniqueness;
    }
    const auto viewOf = [](const Reduction& r) {
        return PixelView{reinterpret_cast<uint8_t*>(r.Pixels.get()), ptrdiff_t(r.Width) * 4, r.Width, r.Height, 4};
    };
    while (FReductions.size() < level) {
        const PixelView in = FReductions.empty() ? View() : viewOf(FReductions.back());
        Reduction next;
        next.Width = in.Width / 2;
        next.Height = in.Height / 2;
        if (!next.Width || !next.Height) return {};
        next.Pixels.reset(new (std::nothrow) uint32_t[size_t{next.Width} * next.Height]);
        if (!next.Pixels) return {};
        Halve(in, next.Pixels.get(), next.Width, next.Height);
        FReductions.push_back(std::move(next));
    }
    return viewOf(FReductions[level - 1]);
}

void SoftDxSurface::PresentIfVisible()
{
    if ((FCaps & DDSCAPS_PRIMARYSURFACE) && !FChain) Present();
}

HWND SoftDxSurface::ShownIn() const { return FClipper && FClipper->Window() ? FClipper->Window() : FOwner->Window(); }

bool SoftDxSurface::FlipRepeats() const
{
    const FlipChain& chain = *FChain;
    if (chain.Members.size() != 2 || !chain.FrontShows) return false;
    const FlipChain::Stretch& shows = *chain.FrontShows;
    const std::optional<Deferred>& next = chain.Members[1]->FDeferred;
    return next && chain.Members[0]->FUniqueness == shows.FrontUniqueness &&
           next->Source->FSerial == shows.SourceSerial && next->Source->FUniqueness == shows.SourceUniqueness &&
           SameRect(next->SourceRect, shows.SourceRect);
}

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

bool SoftDxSurface::CanDefer(const SoftDxSurface* from, const RECT& destRect) const
{
    // The show's frame: a back buffer in the presenter's 32-bit format filled whole from a
    // surface outside the chain.
    const RECT whole{0, 0, LONG(FWidth), LONG(FHeight)};
    return FChain && !IsFront() && !FClipper && from != this && !from->FChain && from->FOwner == FOwner &&
           SameRect(destRect, whole) && ByteChannels(FFormat) && FFormat.RedMask == 0x00FF0000 &&
           FFormat.GreenMask == 0x0000FF00 && FFormat.BlueMask == 0x000000FF;
}

void SoftDxSurface::Defer(SoftDxSurface* source, const RECT& sourceRect)
{
    DropDeferred();
    FDeferred = Deferred{source, sourceRect};
    source->FDeferredReaders.push_back(this);
}

void SoftDxSurface::DropDeferred()
{
    if (!FDeferred) return;
    std::erase(FDeferred->Source->FDeferredReaders, this);
    FDeferred.reset();
}

void SoftDxSurface::Realise()
{
    const Deferred deferred = *FDeferred;
    DropDeferred();
    PixelView in = deferred.Source->View();
    RECT inRect = deferred.SourceRect;
    ShrinkInput(*deferred.Source, deferred.SourceRect, FWidth, FHeight, in, inRect);
    StretchCopy(Pixels(), RECT{0, 0, LONG(FWidth), LONG(FHeight)}, in, inRect, {}, {}, FFormat.ValueMask());
}

void SoftDxSurface::Changing()
{
    while (!FDeferredReaders.empty()) FDeferredReaders.back()->Realise();
}

bool SoftDxSurface::PresentDeferred(ISoftDxPresenter& presenter, HWND window)
{
    const SoftDxSize size{FWidth, FHeight};
    const std::optional<SoftDxPlacement> placed = presenter.Placement(window, size);
    // The screen's own mode is made in place and shown from the chain's own memory.
    if (!placed || !FChain || placed->Window == size) return false;
    const RECT& fit = placed->Frame;
    const uint32_t fitWidth = uint32_t(fit.right - fit.left), fitHeight = uint32_t(fit.bottom - fit.top);
    const RECT& sr = FDeferred->SourceRect;
    // Only a stretch that shrinks onto the window as well: one that enlarges keeps the look of
    // a frame of the mode's size that the presenter scales smoothly.
    if (fitWidth == 0 || fitHeight == 0 || uint32_t(sr.right - sr.left) < fitWidth ||
        uint32_t(sr.bottom - sr.top) < fitHeight)
        return false;
    FlipChain& chain = *FChain;
    const SoftDxSize screen = placed->Window;
    if (chain.ScreenFrameSize != screen || !SameRect(chain.ScreenFrameRect, fit)) {
        // Zeroed: the bars around the frame stay black.
        chain.ScreenFrame.reset();
        chain.ScreenFrame = presenter.AllocateFrame(size_t{screen.Width} * screen.Height * 4);
        chain.ScreenFrameSize = screen;
        chain.ScreenFrameRect = fit;
        chain.ShownSerial = 0;
    }
    // Memory of the presenter's reaches the screen without a copy; without it, the mode's
    // smaller frame is the cheaper one to send.
    if (!chain.ScreenFrame) return false;
    const PixelView out{chain.ScreenFrame.get(), ptrdiff_t{screen.Width} * 4, screen.Width, screen.Height, 4};
    SoftDxSurface& source = *FDeferred->Source;
    if (chain.ShownSerial != source.FSerial || chain.ShownUniqueness != source.FUniqueness ||
        !SameRect(chain.ShownSourceRect, sr)) {
        PixelView in = source.View();
        RECT inRect = sr;
        ShrinkInput(source, sr, fitWidth, fitHeight, in, inRect);
        StretchCopy(out, fit, in, inRect, {}, {}, FFormat.ValueMask());
        chain.ShownSerial = source.FSerial;
        chain.ShownUniqueness = source.FUniqueness;
        chain.ShownSourceRect = sr;
    }
    presenter.Present(window, reinterpret_cast<const uint32_t*>(out.Bits), screen.Width, screen.Height,
                      size_t{screen.Width} * 4);
    return true;
}

}  // namespace softdx
