// The show's frame put off, and the averaged copies stretches shrink from.
// A back buffer filled whole by one stretch from a surface outside the chain (the show's
// frame), in the presenter's 32-bit format or in a 16-bit one (5-6-5 or X-5-5-5), only notes
// the stretch. When the frame is presented in a window of another size (an emulated mode), the
// stretch is made straight at the window's size into memory of the presenter's, so that the
// mode costs what the screen's own does instead of a frame made small and then scaled up; a
// 16-bit source is widened to 0x00RRGGBB as it is sampled, so 16-bit frames take that way at
// the screen's own size too. A stretch that would enlarge onto the window keeps the old way,
// whose smooth scaling looks better than repeated pixels.
// Anything else that reads or changes the back buffer, or changes or releases the source,
// first makes the stretch in the back buffer's own pixels, exactly as Blt would have made it,
// so no one can tell it was put off.
// A stretch that shrinks by half or more both ways reads a copy of the source averaged down by
// halves, as filtering blitters do: a photograph shrunk a lot stays smooth instead of
// sparkling as it moves, and far less memory is read for each frame. The copies are 32-bit:
// a 16-bit source's are made from its widened pixels and serve only frames made for the
// presenter, since a 16-bit Blt samples the pixels themselves.
// Implements: SoftDxSurface::Reduced, ShrinkInput, FlipRepeats, CanDefer, Defer, DropDeferred,
// Realise, Changing and PresentDeferred.
// Not here: 8-bit palette frames, which the show never uses; they are made in place.
#include <algorithm>
#include <new>

#include "SoftDxSurface.h"

namespace softdx {

namespace {

// The average of four pixels, each byte on its own, rounded half up.
inline uint32_t Average4(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    constexpr uint32_t Even = 0x00FF00FF;
    const uint32_t low = (a & Even) + (b & Even) + (c & Even) + (d & Even) + 0x00020002;
    const uint32_t high = ((a >> 8) & Even) + ((b >> 8) & Even) + ((c >> 8) & Even) + ((d >> 8) & Even) + 0x00020002;
    return ((low >> 2) & Even) | (((high >> 2) & Even) << 8);
}

// Halves a picture into 32-bit pixels: each the average of a 2 x 2 block (an odd last row or
// column is left out), read through pixel, which gives the 32-bit value at a place in a row.
template <typename Pixel>
void Halve(const PixelView& in, uint32_t* out, uint32_t width, uint32_t height, Pixel pixel)
{
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* upper = in.At(0, int32_t(2 * y));
        const uint8_t* lower = in.At(0, int32_t(2 * y + 1));
        uint32_t* row = out + size_t{y} * width;
        for (uint32_t x = 0; x < width; ++x)
            row[x] =
                Average4(pixel(upper, 2 * x), pixel(upper, 2 * x + 1), pixel(lower, 2 * x), pixel(lower, 2 * x + 1));
    }
}

bool Xrgb(const PixelFormat& f)
{
    return ByteChannels(f) && f.RedMask == 0x00FF0000 && f.GreenMask == 0x0000FF00 && f.BlueMask == 0x000000FF;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

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
        const bool first = FReductions.empty();
        const PixelView in = first ? View() : viewOf(FReductions.back());
        Reduction next;
        next.Width = in.Width / 2;
        next.Height = in.Height / 2;
        if (!next.Width || !next.Height) return {};
        next.Pixels.reset(new (std::nothrow) uint32_t[size_t{next.Width} * next.Height]);
        if (!next.Pixels) return {};
        if (first && FFormat.Bits == 16) {
            const Widen16 widen(FFormat);
            Halve(in, next.Pixels.get(), next.Width, next.Height, [&widen](const uint8_t* row, uint32_t x) {
                return widen(reinterpret_cast<const uint16_t*>(row)[x]);
            });
        } else {
            Halve(in, next.Pixels.get(), next.Width, next.Height,
                  [](const uint8_t* row, uint32_t x) { return reinterpret_cast<const uint32_t*>(row)[x]; });
        }
        FReductions.push_back(std::move(next));
    }
    return viewOf(FReductions[level - 1]);
}

bool SoftDxSurface::ShrinkInput(const SoftDxFineRect& sr, uint32_t dw, uint32_t dh, PixelView& in,
                                SoftDxFineRect& inRect)
{
    if (!ByteChannels(FFormat) && !Widen16::Takes(FFormat)) return false;
    const int64_t sw = sr.Right - sr.Left, sh = sr.Bottom - sr.Top;
    const int64_t needWidth = int64_t{dw} * SoftDxFineUnit, needHeight = int64_t{dh} * SoftDxFineUnit;
    uint32_t level = 0;
    while (level < 16 && (sw >> (level + 1)) >= needWidth && (sh >> (level + 1)) >= needHeight) ++level;
    const PixelView reduced = level ? Reduced(level) : PixelView{};
    if (!reduced.Bits) return false;
    // The same part of the picture at the smaller scale, to the same fraction of a pixel, and
    // inside what the copy holds (an odd last row or column of each level is left out).
    const int64_t width = int64_t{reduced.Width} * SoftDxFineUnit, height = int64_t{reduced.Height} * SoftDxFineUnit;
    SoftDxFineRect r{std::min(sr.Left >> level, width - 1), std::min(sr.Top >> level, height - 1),
                     std::min(sr.Right >> level, width), std::min(sr.Bottom >> level, height)};
    r.Right = std::max(r.Right, r.Left + 1);
    r.Bottom = std::max(r.Bottom, r.Top + 1);
    in = reduced;
    inRect = r;
    return true;
}

bool SoftDxSurface::FlipRepeats() const
{
    const FlipChain& chain = *FChain;
    if (chain.Members.size() != 2 || !chain.FrontShows) return false;
    const FlipChain::Stretch& shows = *chain.FrontShows;
    const std::optional<Deferred>& next = chain.Members[1]->FDeferred;
    return next && chain.Members[0]->FUniqueness == shows.FrontUniqueness &&
           next->Source->FSerial == shows.SourceSerial && next->Source->FUniqueness == shows.SourceUniqueness &&
           next->SourceRect == shows.SourceRect;
}

bool SoftDxSurface::CanDefer(const SoftDxSurface* from, const RECT& destRect) const
{
    // The show's frame: a back buffer in the presenter's 32-bit format, or in a 16-bit one
    // the presenter's frame can be sampled from, filled whole from a surface outside the chain.
    const RECT whole{0, 0, LONG(FWidth), LONG(FHeight)};
    return FChain && !IsFront() && !FClipper && from != this && !from->FChain && from->FOwner == FOwner &&
           SameRect(destRect, whole) && (Xrgb(FFormat) || Widen16::Takes(FFormat));
}

void SoftDxSurface::Defer(SoftDxSurface* source, const SoftDxFineRect& sourceRect)
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
    SoftDxFineRect inRect = deferred.SourceRect;
    // What Blt would have made: averaged copies only where Blt takes them.
    if (ByteChannels(FFormat)) deferred.Source->ShrinkInput(deferred.SourceRect, FWidth, FHeight, in, inRect);
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
    if (!placed || !FChain) return false;
    // The screen's own mode in 32 bits is made in place and shown from the chain's own memory.
    const bool ownSize = placed->Window == size;
    if (ownSize && Xrgb(FFormat)) return false;
    const RECT& fit = placed->Frame;
    const uint32_t fitWidth = uint32_t(fit.right - fit.left), fitHeight = uint32_t(fit.bottom - fit.top);
    const SoftDxFineRect& sr = FDeferred->SourceRect;
    // Only a stretch that shrinks onto the window as well: one that enlarges keeps the look of
    // a frame of the mode's size that the presenter scales smoothly. At the mode's own size
    // nothing is scaled, and the frame made here is the mode's, widened.
    const bool enlarges = sr.Right - sr.Left < int64_t{fitWidth} * SoftDxFineUnit ||
                          sr.Bottom - sr.Top < int64_t{fitHeight} * SoftDxFineUnit;
    if (fitWidth == 0 || fitHeight == 0 || (enlarges && !ownSize)) return false;
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
        chain.ShownSourceRect != sr) {
        PixelView in = source.View();
        SoftDxFineRect inRect = sr;
        if (source.ShrinkInput(sr, fitWidth, fitHeight, in, inRect) || Xrgb(FFormat))
            StretchCopy(out, fit, in, inRect, {}, {}, 0xFFFFFFFF);
        else
            StretchToXrgb(out, fit, in, inRect, source.FFormat);
        chain.ShownSerial = source.FSerial;
        chain.ShownUniqueness = source.FUniqueness;
        chain.ShownSourceRect = sr;
    }
    presenter.Present(window, reinterpret_cast<const uint32_t*>(out.Bits), screen.Width, screen.Height,
                      size_t{screen.Width} * 4);
    return true;
}

}  // namespace softdx
