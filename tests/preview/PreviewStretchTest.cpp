#include "preview/PreviewStretch.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/Bitmap.h"

namespace {
// Each pixel names where it came from: blue = x, green = y, red = a tag of the bitmap.
TBitmap Numbered(int width, int height, uint8_t tag, bool bottomUp = false)
{
    TBitmap bitmap(bottomUp);
    bitmap.SetSize(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bitmap.ScanLine(y) + 3 * x;
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = tag;
        }
    return bitmap;
}

struct Origin {
    int X;
    int Y;
    int Tag;
    bool operator==(const Origin&) const = default;
};

Origin At(const TBitmap& bitmap, int x, int y)
{
    const uint8_t* p = bitmap.ScanLine(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

void PrintTo(const Origin& o, std::ostream* os) { *os << "(" << o.X << "," << o.Y << " tag " << o.Tag << ")"; }
}  // namespace

TEST(PreviewStretchCopy, SameSizeCopiesOneToOne)
{
    const TBitmap source = Numbered(7, 5, 1);
    TBitmap destination = Numbered(7, 5, 2);
    PreviewStretchCopy(source, {0, 0, 7, 5}, destination, {0, 0, 7, 5});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(At(destination, x, y), (Origin{x, y, 1}));
}

TEST(PreviewStretchCopy, ColumnsAndRowsMapByTruncatedProportion)
{
    // Three source columns onto two: 0 and 1*3/2 = 1. Two onto three: 0, 2/3 = 0, 4/3 = 1.
    const TBitmap source = Numbered(10, 10, 1);
    TBitmap shrunk = Numbered(2, 2, 2);
    PreviewStretchCopy(source, {4, 6, 7, 9}, shrunk, {0, 0, 2, 2});
    EXPECT_EQ(At(shrunk, 0, 0), (Origin{4, 6, 1}));
    EXPECT_EQ(At(shrunk, 1, 0), (Origin{5, 6, 1}));
    EXPECT_EQ(At(shrunk, 1, 1), (Origin{5, 7, 1}));

    TBitmap grown = Numbered(3, 3, 2);
    PreviewStretchCopy(source, {4, 6, 6, 8}, grown, {0, 0, 3, 3});
    const std::vector<int> expected{4, 4, 5};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(At(grown, i, 0).X, expected[static_cast<size_t>(i)]);
        EXPECT_EQ(At(grown, 0, i).Y, expected[static_cast<size_t>(i)] + 2);
    }
}

TEST(PreviewStretchCopy, DoublingMakesTwoByTwoBlocksWithoutBlending)
{
    const TBitmap source = Numbered(2, 2, 1);
    TBitmap destination = Numbered(4, 4, 2);
    PreviewStretchCopy(source, {0, 0, 2, 2}, destination, {0, 0, 4, 4});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(At(destination, x, y), (Origin{x / 2, y / 2, 1}));
}

TEST(PreviewStretchCopy, PixelsOutsideTheDestinationRectangleAreKept)
{
    // The preview fills all but the last row and column of its back buffer.
    const TBitmap source = Numbered(6, 6, 1);
    TBitmap destination = Numbered(6, 4, 2);
    PreviewStretchCopy(source, {0, 0, 6, 6}, destination, {0, 0, 5, 3});
    for (int x = 0; x < 6; ++x) EXPECT_EQ(At(destination, x, 3), (Origin{x, 3, 2}));
    for (int y = 0; y < 4; ++y) EXPECT_EQ(At(destination, 5, y), (Origin{5, y, 2}));
    EXPECT_EQ(At(destination, 4, 2).Tag, 1);
}

TEST(PreviewStretchCopy, RectanglesReachingOutsideTheirBitmapsAreClipped)
{
    const TBitmap source = Numbered(4, 4, 1);
    TBitmap destination = Numbered(4, 4, 2);
    // One pixel of the source rectangle lies left of the bitmap: that column copies nothing.
    PreviewStretchCopy(source, {-1, 0, 3, 4}, destination, {0, 0, 4, 4});
    EXPECT_EQ(At(destination, 0, 0).Tag, 2);
    EXPECT_EQ(At(destination, 1, 0), (Origin{0, 0, 1}));
    // A destination reaching past the bitmap writes only inside it.
    TBitmap small = Numbered(2, 2, 3);
    PreviewStretchCopy(source, {0, 0, 4, 4}, small, {1, 1, 5, 5});
    EXPECT_EQ(At(small, 0, 0).Tag, 3);
    EXPECT_EQ(At(small, 1, 1), (Origin{0, 0, 1}));
    // Empty rectangles do nothing.
    PreviewStretchCopy(source, {2, 2, 2, 4}, small, {0, 0, 2, 2});
    PreviewStretchCopy(source, {0, 0, 4, 4}, small, {0, 0, 0, 2});
    EXPECT_EQ(At(small, 0, 0).Tag, 3);
}

TEST(PreviewStretchCopy, StorageOrderDoesNotChangeThePicture)
{
    const TBitmap topDown = Numbered(5, 4, 1);
    const TBitmap bottomUp = Numbered(5, 4, 1, true);
    TBitmap a(true);
    TBitmap b;
    a.SetSize(3, 3);
    b.SetSize(3, 3);
    PreviewStretchCopy(topDown, {1, 1, 5, 4}, a, {0, 0, 3, 3});
    PreviewStretchCopy(bottomUp, {1, 1, 5, 4}, b, {0, 0, 3, 3});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(At(a, x, y), At(b, x, y));
            EXPECT_EQ(At(a, x, y), (Origin{1 + x * 4 / 3, 1 + y, 1}));
        }
}
