#pragma once
// The preview's stretching copy between two 24-bit bitmaps.
#include "preview/PreviewAnimation.h"

class TBitmap;

// Copies the src rectangle of source onto the dst rectangle of destination, stretched or
// shrunk to fit, nearest neighbour with no smoothing: destination column dx (counted from
// dst.Left) takes source column src.Left + dx * src.Width() / dst.Width(), the quotient
// truncated, and rows alike, which is how a plain stretching copy maps. Parts of either
// rectangle outside its bitmap are left alone; an empty rectangle copies nothing.
void PreviewStretchCopy(const TBitmap& source, const TPreviewRect& src, TBitmap& destination, const TPreviewRect& dst);
