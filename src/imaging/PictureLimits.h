#pragma once
// What any picture file may cost, whatever its kind: a header announcing more, or a file
// larger than this, is refused before anything is allocated for it.
#include <cstdint>

// The most pixels a picture may be held at: 150 megapixels, a bitmap of at most 450 MB. Camera
// photographs of 100 megapixels fit; a larger JPEG picture is only ever held reduced.
inline constexpr uint64_t MaxPicturePixels = 150'000'000;

// A larger file could not hold a picture within the limit above at any sensible quality.
inline constexpr uint64_t MaxPictureFileBytes = uint64_t{1} << 30;

// Whether a picture of width x height may be held: a size, and at most MaxPicturePixels.
inline bool HoldablePicture(int width, int height)
{
    return width > 0 && height > 0 && static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= MaxPicturePixels;
}
