#pragma once
// Whether two bitmaps hold the same picture: the same size and the same bytes in every
// row's pixels, whatever order their rows are stored in.
#include "framework/Bitmap.h"

inline bool SamePixels(const TBitmap& a, const TBitmap& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width() * 3; ++x)
            if (a.ScanLine(y)[x] != b.ScanLine(y)[x]) return false;
    return true;
}
