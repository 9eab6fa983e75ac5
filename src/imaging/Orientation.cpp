#include "imaging/Orientation.h"

#include "framework/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint16_t OrientationTag = 0x0112;
constexpr uint16_t ShortType = 3;
constexpr size_t EntrySize = 12;

// A bounds-checked view of the TIFF structure inside the EXIF block.
class TTiffReader {
public:
    TTiffReader(const uint8_t* data, size_t size, bool bigEndian) : FData(data), FSize(size), FBigEndian(bigEndian) {}

    bool Has(size_t offset, size_t length) const { return offset <= FSize && length <= FSize - offset; }
    uint16_t U16(size_t offset) const
    {
        const uint8_t* p = FData + offset;
        return FBigEndian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
    }
    uint32_t U32(size_t offset) const
    {
        const uint8_t* p = FData + offset;
        return FBigEndian ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                          : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }

private:
    const uint8_t* FData;
    size_t FSize;
    bool FBigEndian;
};

void MirrorRow(uint8_t* row, int width)
{
    for (int left = 0, right = width - 1; left < right; ++left, --right) {
        uint8_t* a = row + left * 3;
        uint8_t* b = row + right * 3;
        std::swap(a[0], b[0]);
        std::swap(a[1], b[1]);
        std::swap(a[2], b[2]);
    }
}

void SwapRows(uint8_t* a, uint8_t* b, size_t bytes)
{
    uint8_t buffer[1024];
    for (size_t done = 0; done < bytes; done += sizeof buffer) {
        const size_t n = std::min(sizeof buffer, bytes - done);
        std::memcpy(buffer, a + done, n);
        std::memcpy(a + done, b + done, n);
        std::memcpy(b + done, buffer, n);
    }
}

// Orientations 5 to 8 exchange rows and columns. Destination row y is source column
// (transposing ones) y or W-1-y; destination column x is source row x or H-1-x. Bands of
// destination rows are filled together so that each source row is read in runs.
void Turn(TBitmap& bitmap, int orientation)
{
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    const bool columnsFromRight = orientation == 7 || orientation == 8;
    const bool rowsFromBottom = orientation == 6 || orientation == 7;
    TBitmap turned(bitmap.BottomUp());
    turned.SetSizeUninitialized(height, width);
    constexpr int Band = 32;
    uint8_t* targets[Band];
    for (int top = 0; top < width; top += Band) {
        const int rows = std::min(Band, width - top);
        for (int i = 0; i < rows; ++i) targets[i] = turned.ScanLine(top + i);
        for (int x = 0; x < height; ++x) {
            const uint8_t* source = bitmap.ScanLine(rowsFromBottom ? height - 1 - x : x);
            for (int i = 0; i < rows; ++i) {
                const int column = columnsFromRight ? width - 1 - (top + i) : top + i;
                std::memcpy(targets[i] + x * 3, source + column * 3, 3);
            }
        }
    }
    bitmap.Swap(turned);
}

// The orientation in a TIFF structure: its header, then the first directory.
int TiffOrientation(const uint8_t* tiff, size_t tiffSize)
{
    if (tiff == nullptr || tiffSize < 8) return 1;
    bool bigEndian;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        bigEndian = false;
    else if (tiff[0] == 'M' && tiff[1] == 'M')
        bigEndian = true;
    else
        return 1;
    const TTiffReader reader(tiff, tiffSize, bigEndian);
    if (reader.U16(2) != 42) return 1;
    const size_t directory = reader.U32(4);
    if (!reader.Has(directory, 2)) return 1;
    const size_t entries = reader.U16(directory);
    for (size_t i = 0; i < entries; ++i) {
        const size_t entry = directory + 2 + i * EntrySize;
        if (!reader.Has(entry, EntrySize)) return 1;
        if (reader.U16(entry) != OrientationTag) continue;
        if (reader.U16(entry + 2) != ShortType || reader.U32(entry + 4) != 1) return 1;
        const int value = reader.U16(entry + 8);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

const uint8_t ExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

bool HasExifHeader(const uint8_t* data, size_t size)
{
    return data != nullptr && size >= sizeof ExifHeader && std::memcmp(data, ExifHeader, sizeof ExifHeader) == 0;
}

}  // namespace

int ExifOrientation(const uint8_t* data, size_t size)
{
    if (!HasExifHeader(data, size)) return 1;
    return TiffOrientation(data + sizeof ExifHeader, size - sizeof ExifHeader);
}

int EmbeddedExifOrientation(const uint8_t* data, size_t size)
{
    return HasExifHeader(data, size) ? ExifOrientation(data, size) : TiffOrientation(data, size);
}

void OrientBitmap(TBitmap& bitmap, int orientation)
{
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    if (bitmap.Empty()) return;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    switch (orientation) {
    case 2:
        for (int y = 0; y < height; ++y) MirrorRow(bitmap.ScanLine(y), width);
        break;
    case 3:
        for (int top = 0, bottom = height - 1; top <= bottom; ++top, --bottom) {
            MirrorRow(bitmap.ScanLine(top), width);
            if (top != bottom) {
                MirrorRow(bitmap.ScanLine(bottom), width);
                SwapRows(bitmap.ScanLine(top), bitmap.ScanLine(bottom), rowBytes);
            }
        }
        break;
    case 4:
        for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
            SwapRows(bitmap.ScanLine(top), bitmap.ScanLine(bottom), rowBytes);
        break;
    case 5:
    case 6:
    case 7:
    case 8: Turn(bitmap, orientation); break;
    default: break;
    }
}
