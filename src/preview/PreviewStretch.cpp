#include "preview/PreviewStretch.h"

#include <cstring>
#include <vector>

#include "framework/Bitmap.h"

void PreviewStretchCopy(const TBitmap& source, const TPreviewRect& src, TBitmap& destination, const TPreviewRect& dst)
{
    const int64_t srcW = src.Width();
    const int64_t srcH = src.Height();
    const int64_t dstW = dst.Width();
    const int64_t dstH = dst.Height();
    if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0) return;

    // Byte offsets into a source row and a destination row for each destination column that
    // lies inside both bitmaps; the table keeps the divisions out of the pixel loop.
    struct TColumn {
        ptrdiff_t From;
        ptrdiff_t To;
    };
    std::vector<TColumn> columns;
    columns.reserve(static_cast<size_t>(dstW));
    for (int64_t dx = 0; dx < dstW; ++dx) {
        const int64_t sx = src.Left + dx * srcW / dstW;
        const int64_t x = dst.Left + dx;
        if (sx >= 0 && sx < source.Width() && x >= 0 && x < destination.Width())
            columns.push_back({static_cast<ptrdiff_t>(sx) * 3, static_cast<ptrdiff_t>(x) * 3});
    }
    for (int64_t dy = 0; dy < dstH; ++dy) {
        const int64_t sy = src.Top + dy * srcH / dstH;
        const int64_t y = dst.Top + dy;
        if (sy < 0 || sy >= source.Height() || y < 0 || y >= destination.Height()) continue;
        const uint8_t* in = source.ScanLine(static_cast<int>(sy));
        uint8_t* out = destination.ScanLine(static_cast<int>(y));
        for (const TColumn& c : columns) std::memcpy(out + c.To, in + c.From, 3);
    }
}
