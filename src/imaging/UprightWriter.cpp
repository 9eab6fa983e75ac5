#include "imaging/UprightWriter.h"

#include <cstring>

namespace {
// Stored rows held before a turned picture's columns are written: 16 pixels of 32 bits fill a
// cache line of a destination row, rather than touching one line per pixel.
constexpr int BandRows = 16;
}  // namespace

TUprightWriter::TUprightWriter(uint8_t* pixels, ptrdiff_t pitch, int width, int height, int pixelBytes, int orientation)
    : FPixels(pixels),
      FPitch(pitch),
      FWidth(width),
      FHeight(height),
      FPixelBytes(pixelBytes),
      FTurned(orientation >= 5 && orientation <= 8),
      // Stored as rows: mirrored left to right, or bottom to top. Stored as columns: a stored
      // row written from the bottom up, or the stored rows written from the right.
      FMirrored(orientation == 2 || orientation == 3 || orientation == 7 || orientation == 8),
      FFlipped(orientation == 3 || orientation == 4 || orientation == 6 || orientation == 7)
{
    if (FTurned) FBand.resize(static_cast<size_t>(BandRows) * static_cast<size_t>(RowWidth()));
}

void TUprightWriter::Store(uint8_t* at, uint32_t pixel) const
{
    if (FPixelBytes == 4) {
        std::memcpy(at, &pixel, 4);
    } else {
        at[0] = static_cast<uint8_t>(pixel);
        at[1] = static_cast<uint8_t>(pixel >> 8);
        at[2] = static_cast<uint8_t>(pixel >> 16);
    }
}

void TUprightWriter::Put(const uint32_t* row)
{
    if (FRow >= Rows()) return;
    if (FTurned) {
        std::memcpy(FBand.data() + static_cast<size_t>(FBandRows) * static_cast<size_t>(RowWidth()), row,
                    static_cast<size_t>(RowWidth()) * 4);
        ++FRow;
        if (++FBandRows == BandRows) FlushBand();
        return;
    }
    const int y = FFlipped ? FHeight - 1 - FRow : FRow;
    ++FRow;
    uint8_t* target = FPixels + static_cast<ptrdiff_t>(y) * FPitch;
    if (FPixelBytes == 4 && !FMirrored) {
        std::memcpy(target, row, static_cast<size_t>(FWidth) * 4);
        return;
    }
    if (FMirrored)
        for (int x = 0; x < FWidth; ++x) Store(target + static_cast<ptrdiff_t>(x) * FPixelBytes, row[FWidth - 1 - x]);
    else
        for (int x = 0; x < FWidth; ++x) Store(target + static_cast<ptrdiff_t>(x) * FPixelBytes, row[x]);
}

// Stored column x of the band becomes upright row x (from the bottom when mirrored); the band's
// rows become upright columns, from the right when flipped.
void TUprightWriter::FlushBand()
{
    const int firstRow = FRow - FBandRows;
    const size_t rowWidth = static_cast<size_t>(RowWidth());
    for (int x = 0; x < RowWidth(); ++x) {
        const int y = FMirrored ? FHeight - 1 - x : x;
        uint8_t* target = FPixels + static_cast<ptrdiff_t>(y) * FPitch;
        const uint32_t* source = FBand.data() + x;
        for (int r = 0; r < FBandRows; ++r) {
            const int column = FFlipped ? FWidth - 1 - (firstRow + r) : firstRow + r;
            Store(target + static_cast<ptrdiff_t>(column) * FPixelBytes, source[static_cast<size_t>(r) * rowWidth]);
        }
    }
    FBandRows = 0;
}

void TUprightWriter::Finish()
{
    if (FTurned && FBandRows > 0) FlushBand();
}
