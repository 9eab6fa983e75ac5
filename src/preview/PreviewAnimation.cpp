#include "preview/PreviewAnimation.h"

#include "core/Numeric.h"
#include "core/Random.h"

TPreviewRect PreviewSourceRect(int f, int px, int py, int width, int height)
{
    // Extended precision on purpose: the edges must round exactly as the show's maths does,
    // and a plain double can land on the other side of a half.
    const long double k = static_cast<long double>(f) / 1500.0L;
    const long double x = px;
    const long double y = py;
    const long double w = width;
    const long double h = height;
    TPreviewRect r;
    r.Left = RoundHalfEven(k * x);
    r.Top = RoundHalfEven(k * y);
    r.Right = RoundHalfEven((x - w) * k + w);
    r.Bottom = RoundHalfEven((y - h) * k + h);
    return r;
}

TPreviewAnimation::TPreviewAnimation(int pictureCount, int width, int height)
    : FPictureCount(pictureCount), FWidth(width), FHeight(height)
{
}

void TPreviewAnimation::Start()
{
    FPicture = 0;
    FF = ZoomFirst;
    FStep = ZoomStep;
    DrawFocus();
}

void TPreviewAnimation::Advance()
{
    FF += FStep;
    if (FF >= ZoomFirst && FF <= ZoomLast) return;
    FPicture = FPicture + 1 < FPictureCount ? FPicture + 1 : 0;
    DrawFocus();
    // The direction is drawn after the focus point, so one seed always replays one preview.
    if (RandomReal() >= 0.5) {
        FF = ZoomLast;
        FStep = -ZoomStep;
    } else {
        FF = ZoomFirst;
        FStep = ZoomStep;
    }
}

void TPreviewAnimation::DrawFocus()
{
    // The row first, then the column.
    FPy = static_cast<int>(RandomInt(static_cast<uint32_t>(FHeight)));
    FPx = static_cast<int>(RandomInt(static_cast<uint32_t>(FWidth)));
}
