#pragma once
// Placing the rows of a picture, in the order its file stores them, into memory of the
// caller's as the camera meant the picture to stand (its EXIF orientation), row by row, so
// that turning a picture upright needs no second copy of it.
#include <cstddef>
#include <cstdint>
#include <vector>

class TUprightWriter {
public:
    // pixels: the top row of the upright picture, width x height; pitch: the bytes from a row
    // to the next (negative for memory stored bottom up); pixelBytes: 4 for 0x00RRGGBB, 3 for
    // blue, green, red. Orientation 1 to 8 as ExifOrientation gives it; 5 to 8 store the
    // picture's columns as rows. Throws std::bad_alloc when the band for those cannot be held.
    TUprightWriter(uint8_t* pixels, ptrdiff_t pitch, int width, int height, int pixelBytes, int orientation);

    // The stored rows' length and count.
    int RowWidth() const { return FTurned ? FHeight : FWidth; }
    int Rows() const { return FTurned ? FWidth : FHeight; }

    // The next stored row: RowWidth pixels 0x00RRGGBB.
    void Put(const uint32_t* row);
    // Writes what is still held; after the last row.
    void Finish();

private:
    void Store(uint8_t* at, uint32_t pixel) const;
    void FlushBand();

    uint8_t* FPixels;
    ptrdiff_t FPitch;
    int FWidth, FHeight, FPixelBytes;
    bool FTurned, FMirrored, FFlipped;
    int FRow = 0;
    // Stored rows waiting to be written as columns, and how many are held.
    std::vector<uint32_t> FBand;
    int FBandRows = 0;
};
