#pragma once
// Turning a picture file into a bitmap, and a bitmap into another size.
#include <string>

class TBitmap;

// Decodes the JPEG file folder + separator + fileName (fileName alone when folder is empty)
// into bitmap, full size, 24 bits, upright as the camera meant it. False on any failure,
// after which the bitmap must not be used; nothing is reported and nothing leaks.
bool LoadJpegIntoBitmap(TBitmap& bitmap, const std::string& folder, const std::string& fileName);

// Fills destination, at its present size, with the whole source stretched to that size
// (bilinear, 16.16 fixed point). Both end in the 24-bit format.
void ResampleBitmap(TBitmap& source, TBitmap& destination);
