// Implements: TStoredRows, RgbaOverBlack, RgbToXrgb (StoredRows.h).
#include "imaging/StoredRows.h"

#include <stdexcept>

#include "imaging/RowReducer.h"
#include "imaging/UprightWriter.h"

TStoredRows::TStoredRows(int sourceWidth, int sourceHeight, int orientation, const TPictureTarget& target)
{
    FWriter = std::make_unique<TUprightWriter>(target.Pixels, target.Pitch, target.Width, target.Height,
                                               target.PixelBytes, orientation);
    // The writer's stored rows: the target's sides exchanged for a turned picture.
    const int width = FWriter->RowWidth(), height = FWriter->Rows();
    if (width > sourceWidth || height > sourceHeight) throw std::invalid_argument("stored size past the source's");
    if (width != sourceWidth || height != sourceHeight)
        FReducer = std::make_unique<TRowReducer>(sourceWidth, sourceHeight, width, height);
}

TStoredRows::~TStoredRows() = default;

void TStoredRows::Put(const uint32_t* row)
{
    if (!FReducer) {
        FWriter->Put(row);
        return;
    }
    if (const uint32_t* reduced = FReducer->Add(row)) FWriter->Put(reduced);
}

void TStoredRows::Finish() { FWriter->Finish(); }

void RgbaOverBlack(const uint8_t* rgba, uint32_t* out, int width)
{
    for (int x = 0; x < width; ++x, rgba += 4) {
        const uint32_t a = rgba[3];
        // c * a / 255, rounded, without a division.
        const auto over = [a](uint32_t c) {
            const uint32_t t = c * a + 128;
            return (t + (t >> 8)) >> 8;
        };
        out[x] = over(rgba[0]) << 16 | over(rgba[1]) << 8 | over(rgba[2]);
    }
}

void RgbToXrgb(const uint8_t* rgb, uint32_t* out, int width)
{
    for (int x = 0; x < width; ++x, rgb += 3) out[x] = uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2];
}
