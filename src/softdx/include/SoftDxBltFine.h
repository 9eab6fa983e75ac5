#pragma once
// A blit whose source rectangle lies between pixels: a picture held smaller than its own size
// is still addressed in its own pixels, and the rectangle mapped into what is held falls on
// fractions. Sampling at those fractions keeps a slow pan or zoom as smooth as on the whole
// picture, where rounding to whole pixels would make it jump.
#include <cstdint>

#include "SoftDxApi.h"

// A rectangle in 1/65536 of a pixel (SoftDxFineUnit): left and top included, right and bottom
// not, as a RECT's.
struct SoftDxFineRect {
    int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const SoftDxFineRect&, const SoftDxFineRect&) = default;
};
constexpr int64_t SoftDxFineUnit = 65536;
inline SoftDxFineRect SoftDxFine(const RECT& r)
{
    return {r.left * SoftDxFineUnit, r.top * SoftDxFineUnit, r.right * SoftDxFineUnit, r.bottom * SoftDxFineUnit};
}

// Blt(destinationRect, source, sourceRect, DDBLT_WAIT) with the source rectangle in fractions of
// a pixel: destination column i of dw takes source column
// floor((Left + floor((2i + 1) * (Right - Left) / (2 * dw))) / 65536), rows likewise, computed
// exactly. A rectangle of whole pixels gives what Blt gives. The same checks and answers as
// Blt: DDERR_INVALIDRECT for a rectangle empty or reaching outside the source, and so on; an
// injected failure of "Blt" fails it too.
HRESULT SoftDxBltFine(IDirectDrawSurface7* destination, const RECT* destinationRect, IDirectDrawSurface7* source,
                      const SoftDxFineRect& sourceRect);
