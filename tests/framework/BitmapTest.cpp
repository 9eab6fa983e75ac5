#include "framework/Bitmap.h"

#include <gtest/gtest.h>

#include <new>
#include <utility>

#include "support/SamePixels.h"

namespace {

void Paint(TBitmap& bitmap)
{
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width() * 3; ++x) bitmap.ScanLine(y)[x] = static_cast<uint8_t>(y * 31 + x);
}

TEST(BitmapTest, RowsArePaddedAndOrderedByStorage)
{
    for (bool bottomUp : {false, true}) {
        TBitmap bitmap(bottomUp);
        bitmap.SetSize(5, 3);
        EXPECT_EQ(16, bitmap.RowBytes());
        EXPECT_EQ(bottomUp ? -16 : 16, bitmap.RowDistance());
        EXPECT_EQ(bitmap.ScanLine(0) + bitmap.RowDistance(), bitmap.ScanLine(1));
        EXPECT_EQ(bitmap.ScanLine(0) + 2 * bitmap.RowDistance(), bitmap.ScanLine(2));
    }
}

TEST(BitmapTest, SetSizeMakesEveryPixelWhite)
{
    TBitmap bitmap;
    bitmap.SetSize(3, 2);
    Paint(bitmap);
    bitmap.SetSize(7, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 21; ++x) ASSERT_EQ(0xFF, bitmap.ScanLine(y)[x]);
    bitmap.SetSize(-3, 5);
    EXPECT_TRUE(bitmap.Empty());
    EXPECT_EQ(0, bitmap.Width());
}

TEST(BitmapTest, UninitializedSizeZeroesOnlyThePadding)
{
    TBitmap bitmap;
    bitmap.SetSizeUninitialized(5, 3);
    EXPECT_EQ(5, bitmap.Width());
    EXPECT_EQ(3, bitmap.Height());
    for (int y = 0; y < 3; ++y) EXPECT_EQ(0, bitmap.ScanLine(y)[15]);
}

TEST(BitmapTest, AssignCopiesAcrossStorageOrders)
{
    TBitmap source;
    source.SetSize(6, 5);
    Paint(source);
    TBitmap bottomUp(true);
    bottomUp.Assign(source);
    EXPECT_TRUE(bottomUp.BottomUp());
    EXPECT_TRUE(SamePixels(source, bottomUp));
    bottomUp.Assign(bottomUp);
    EXPECT_TRUE(SamePixels(source, bottomUp));
}

TEST(BitmapTest, CopiesAreIndependentAndMovesEmptyTheSource)
{
    TBitmap original(true);
    original.SetSize(4, 4);
    Paint(original);
    TBitmap copy(original);
    EXPECT_TRUE(copy.BottomUp());
    EXPECT_TRUE(SamePixels(original, copy));
    copy.ScanLine(1)[1] ^= 0xFF;
    EXPECT_FALSE(SamePixels(original, copy));

    TBitmap assigned;
    assigned = original;
    EXPECT_TRUE(SamePixels(original, assigned));

    TBitmap moved(std::move(original));
    EXPECT_TRUE(SamePixels(assigned, moved));
    EXPECT_TRUE(original.Empty());

    TBitmap swapped;
    swapped.Swap(moved);
    EXPECT_TRUE(moved.Empty());
    EXPECT_TRUE(SamePixels(assigned, swapped));
}

TEST(BitmapTest, SizeBeyondAddressRangeThrows)
{
    TBitmap bitmap;
    bitmap.SetSize(2, 2);
    // 2^31 - 1 squared cannot be held on any system; the bitmap gives up cleanly.
    EXPECT_THROW(bitmap.SetSize(2147483647, 2147483647), std::bad_alloc);
    EXPECT_TRUE(bitmap.Empty());
    bitmap.SetSize(1, 1);
    EXPECT_EQ(0xFF, bitmap.ScanLine(0)[0]);
}

}  // namespace
