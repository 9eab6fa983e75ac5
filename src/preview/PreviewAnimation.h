#pragma once
// The preview's zoom animation: which picture is shown, where its focus point lies, and how
// far the zoom has gone. Pure state and arithmetic, so it runs the same under any window system.
#include <cstdint>

#include "core/Rect.h"

// The preview's rectangles are 64-bit: its edges come from extended-precision arithmetic.
using TPreviewRect = TRectT<int64_t>;

// The part of a width x height picture shown at zoom step f (1 shows nearly all of it, 1000
// a third of it) around the focus point (px, py). Worked in extended precision, each edge
// rounded to the nearest integer with halves going to the even neighbour.
TPreviewRect PreviewSourceRect(int f, int px, int py, int width, int height);

class TPreviewAnimation {
public:
    static constexpr int ZoomFirst = 1;
    static constexpr int ZoomLast = 1000;
    static constexpr int ZoomStep = 3;

    // pictureCount pictures, each width x height. Nothing is drawn from the generator yet.
    TPreviewAnimation(int pictureCount, int width, int height);

    // The first picture, zooming in from step 1; draws its focus point.
    void Start();
    // One frame on: the next zoom step, or past either end the next picture (the first
    // after the last) with a new focus point and a direction drawn at random.
    void Advance();

    int Picture() const { return FPicture; }
    int F() const { return FF; }
    int Step() const { return FStep; }
    int FocusX() const { return FPx; }
    int FocusY() const { return FPy; }
    TPreviewRect SourceRect() const { return PreviewSourceRect(FF, FPx, FPy, FWidth, FHeight); }

private:
    void DrawFocus();

    int FPictureCount;
    int FWidth;
    int FHeight;
    int FPicture = 0;
    int FF = ZoomFirst;
    int FStep = ZoomStep;
    int FPx = 0;
    int FPy = 0;
};
