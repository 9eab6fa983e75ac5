#include "show/ShowAnimation.h"

#include <algorithm>
#include <array>

#include "core/Numeric.h"
#include "core/Random.h"

namespace {
// Draw r -> type. The order interleaves the kinds, so it is a table, not a formula.
constexpr std::array<uint8_t, AnimationTypeCount> drawToType = {
    0, 1, 2, 3, 5, 6, 8, 7, 4, 20, 21, 22, 23, 24, 25, 26, 27, 28, 9, 10, 11, 12, 13, 15, 16, 18, 17, 14, 19};

// The pans keep 0.7 of the full view; the constant is a 32-bit real like every other
// stored real of the animation, so it is rounded to float before it is widened.
constexpr float panMargin = 0.3f;

int32_t Rounded(long double value) { return static_cast<int32_t>(RoundHalfEven(value)); }
}  // namespace

TAnimationKind AnimationKindOf(uint8_t animation)
{
    if (animation < 10) return TAnimationKind::ZoomIn;
    if (animation < 20) return TAnimationKind::ZoomOut;
    return TAnimationKind::Pan;
}

uint8_t AnimationForDraw(uint32_t r) { return r < drawToType.size() ? drawToType[r] : 0; }

void TShowAnimation::SetSpeed(int32_t speed) { FSpeed = speed < 0 ? 1 : speed; }

void TShowAnimation::SetScreen(int32_t width, int32_t height)
{
    // The quotient in extended precision, then stored in 32 bits.
    FAspect = width > 0 ? static_cast<float>(static_cast<long double>(height) / width) : 0.0f;
    SetPictureSize(FWidth, FHeight);
}

void TShowAnimation::BeginPicture()
{
    FProgress = 0.0f;
    ChooseAnimation();
}

void TShowAnimation::PlacePicture(int32_t width, int32_t height)
{
    SetPictureSize(width, height);
    // The column first, then the row.
    FFocus.X = static_cast<int32_t>(RandomInt(static_cast<uint32_t>(std::max(width, 0))));
    FFocus.Y = static_cast<int32_t>(RandomInt(static_cast<uint32_t>(std::max(height, 0))));
}

void TShowAnimation::StartPicture(int32_t width, int32_t height)
{
    BeginPicture();
    PlacePicture(width, height);
}

void TShowAnimation::SetPictureSize(int32_t width, int32_t height)
{
    FWidth = std::max(width, 0);
    FHeight = std::max(height, 0);
    FBandLeft = 0;
    FBandWidth = FWidth;
    const long double aspect = FAspect;
    if (aspect <= 0 || FWidth * aspect <= FHeight) return;
    // Wider than the screen: a band of the screen's proportions, never reaching below the
    // picture once the full view's height is rounded.
    int64_t band = RoundHalfEven(FHeight / aspect);
    if (RoundHalfEven(band * aspect) > FHeight) --band;
    band = std::clamp<int64_t>(band, 0, FWidth);
    FBandWidth = static_cast<int32_t>(band);
    FBandLeft = (FWidth - FBandWidth) / 2;
}

bool TShowAnimation::Tick()
{
    // The quotient and the sum in extended precision, the progress kept in 32 bits: the
    // rounding of each stored step is what sets a picture's length in ticks.
    FProgress = static_cast<float>(static_cast<long double>(FProgress) + static_cast<long double>(FSpeed) / 30.0L);
    UpdateSourceRect();
    return Finished();
}

void TShowAnimation::ChooseAnimation() { FAnimation = AnimationForDraw(RandomInt(AnimationTypeCount)); }

void TShowAnimation::UpdateSourceRect()
{
    const long double p = FProgress;
    switch (AnimationKindOf(FAnimation)) {
    case TAnimationKind::ZoomIn: FSourceRect = ZoomRect(Anchor(), static_cast<float>(p / 2000.0L)); break;
    case TAnimationKind::ZoomOut: FSourceRect = ZoomRect(Anchor(), static_cast<float>(0.5L - p / 2000.0L)); break;
    case TAnimationKind::Pan: FSourceRect = PanRect(Anchor()); break;
    }
}

TRect TShowAnimation::ZoomRect(TPoint anchor, float k) const
{
    // Horizontal edges against the band's width, vertical ones against the full view's
    // height d, which differs from the picture's height for a picture taller than the screen.
    const long double w = FBandWidth;
    const long double x = anchor.X;
    const long double y = anchor.Y;
    const long double kk = k;
    const long double d = w * static_cast<long double>(FAspect);
    TRect r;
    r.Left = FBandLeft + Rounded(x * kk);
    r.Top = Rounded(y * kk);
    r.Right = FBandLeft + Rounded((x - w) * kk + w);
    r.Bottom = Rounded(d + (y - d) * kk);
    return r;
}

TRect TShowAnimation::PanRect(TPoint anchor) const
{
    const TRect a = ZoomRect({FBandWidth - anchor.X, FHeight - anchor.Y}, panMargin);
    const TRect b = ZoomRect(anchor, panMargin);
    // The progress itself, not a rounded copy, so the slide moves by fractions of a pixel.
    const long double p = FProgress;
    const auto along = [p](int32_t from, int32_t to) {
        return Rounded(static_cast<long double>(to - from) * p / 1000.0L + from);
    };
    return Rect(along(a.Left, b.Left), along(a.Top, b.Top), along(a.Right, b.Right), along(a.Bottom, b.Bottom));
}

TPoint TShowAnimation::BandFocus() const
{
    if (FBandWidth == FWidth) return FFocus;
    // Scaled rather than clamped, so the focus stays evenly spread over the band.
    return {Rounded(static_cast<long double>(FFocus.X) * FBandWidth / FWidth), FFocus.Y};
}

TPoint TShowAnimation::Anchor() const
{
    const int32_t w = FBandWidth;
    const int32_t h = FHeight;
    const int32_t halfW = Rounded(w / 2.0L);
    const int32_t halfH = Rounded(h / 2.0L);
    switch (FAnimation) {
    case 0:
    case 10:
    case 27: return {0, 0};
    case 1:
    case 11:
    case 26: return {w, 0};
    case 2:
    case 12:
    case 25: return {0, h};
    case 3:
    case 13:
    case 24: return {w, h};
    case 4:
    case 14: return {halfW, halfH};
    case 5:
    case 15:
    case 22: return {halfW, 0};
    case 6:
    case 16:
    case 23: return {halfW, h};
    case 7:
    case 17:
    case 20: return {0, halfH};
    case 8:
    case 18:
    case 21: return {w, halfH};
    default: return BandFocus();
    }
}
