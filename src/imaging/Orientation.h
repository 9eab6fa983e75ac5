#pragma once
// The orientation a camera records in a picture's EXIF block, and turning a bitmap upright by it.
#include <cstddef>
#include <cstdint>

class TBitmap;

// The orientation (1 to 8) in the body of an APP1 marker (the bytes after its length, from
// "Exif\0\0" on). 1, the upright picture, when the block holds none or cannot be read: a
// damaged block costs the picture its turn, never the picture itself.
int ExifOrientation(const uint8_t* data, size_t size);
// The same for an EXIF block a PNG or WebP chunk holds: the TIFF structure alone ("II" or
// "MM" first), or after "Exif\0\0" as some writers store it there too.
int EmbeddedExifOrientation(const uint8_t* data, size_t size);

// Turns a bitmap stored with the given orientation into the picture as the camera meant it:
// 2 mirror, 3 half turn, 4 flip, 5 transpose, 6 quarter turn clockwise, 7 transverse,
// 8 quarter turn anticlockwise. 5 to 8 swap width and height. Other values change nothing.
// Throws std::bad_alloc when the turned copy cannot be held.
void OrientBitmap(TBitmap& bitmap, int orientation);
