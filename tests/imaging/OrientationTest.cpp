#include "imaging/Orientation.h"

#include "framework/Bitmap.h"
#include "support/JpegMaker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int Parse(const std::string& block)
{
    return ExifOrientation(reinterpret_cast<const uint8_t*>(block.data()), block.size());
}

TEST(ExifOrientationTest, ReadsBothByteOrders)
{
    for (int value = 1; value <= 8; ++value) {
        EXPECT_EQ(value, Parse(ExifBlock(value, false)));
        EXPECT_EQ(value, Parse(ExifBlock(value, true)));
    }
}

TEST(ExifOrientationTest, AChunksBlockMayLackTheExifHeader)
{
    // PNG's eXIf and WebP's EXIF chunks hold the TIFF structure alone, or now and then after
    // the header a JPEG's block has; a JPEG's block must have it.
    for (const bool bigEndian : {false, true}) {
        const std::string block = ExifBlock(3, bigEndian), bare = block.substr(6);
        const auto embedded = [](const std::string& s) {
            return EmbeddedExifOrientation(reinterpret_cast<const uint8_t*>(s.data()), s.size());
        };
        EXPECT_EQ(3, embedded(bare));
        EXPECT_EQ(3, embedded(block));
        EXPECT_EQ(1, Parse(bare));
        EXPECT_EQ(1, embedded(bare.substr(0, 7)));
        EXPECT_EQ(1, embedded("Exif"));
    }
    EXPECT_EQ(1, EmbeddedExifOrientation(nullptr, 0));
}

TEST(ExifOrientationTest, FindsTagAmongOthers)
{
    // Three entries in big-endian order, the orientation last.
    std::string block("Exif\0\0MM\0\x2a\0\0\0\x08\0\x03", 16);
    block += std::string("\x01\x0f\0\x02\0\0\0\x04\0\0\0\x32", 12);  // Make, ASCII
    block += std::string("\x01\x10\0\x02\0\0\0\x04\0\0\0\x36", 12);  // Model
    block += std::string("\x01\x12\0\x03\0\0\0\x01\0\x06\0\0", 12);  // Orientation 6
    EXPECT_EQ(6, Parse(block));
}

TEST(ExifOrientationTest, DamagedOrForeignBlocksMeanUpright)
{
    const std::string good = ExifBlock(6, false);
    std::string badValue = good, badType = good, badDirectory = good, manyEntries = good, badMagic = good;
    badValue[6 + 8 + 2 + 8] = 9;
    badType[6 + 8 + 2 + 2] = 4;
    badDirectory[6 + 4] = '\x7f';  // IFD0 far beyond the block
    manyEntries[6 + 8] = '\xff';   // 255 entries promised, one present and not the orientation
    manyEntries[6 + 10] = 0x10;
    badMagic[6 + 2] = 43;
    for (const std::string& block : {badValue, badType, badDirectory, badMagic, std::string("Exif\0\0II", 8),
                                     std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 34), std::string()})
        EXPECT_EQ(1, Parse(block));
    EXPECT_EQ(1, ExifOrientation(nullptr, 0));
    // Every cut of a good block either still holds the tag whole or reads as upright.
    for (size_t cut = 0; cut < good.size(); ++cut) {
        const int value = Parse(good.substr(0, cut));
        EXPECT_TRUE(value == 1 || (value == 6 && cut >= 6 + 8 + 2 + 12)) << cut;
    }
}

// A bitmap whose pixels are labels: blue holds the label, the others its complement.
TBitmap Labelled(int width, int height, const std::vector<int>& labels, bool bottomUp = false)
{
    TBitmap bitmap(bottomUp);
    bitmap.SetSize(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bitmap.ScanLine(y) + x * 3;
            const int label = labels[static_cast<size_t>(y * width + x)];
            p[0] = static_cast<uint8_t>(label);
            p[1] = static_cast<uint8_t>(255 - label);
            p[2] = static_cast<uint8_t>(label * 7);
        }
    return bitmap;
}

std::vector<int> Labels(const TBitmap& bitmap)
{
    std::vector<int> labels;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            const uint8_t* p = bitmap.ScanLine(y) + x * 3;
            EXPECT_EQ(255 - p[0], p[1]);
            EXPECT_EQ(static_cast<uint8_t>(p[0] * 7), p[2]);
            labels.push_back(p[0]);
        }
    return labels;
}

TEST(OrientBitmapTest, MapsEveryPixelOfSmallPicture)
{
    // Stored as a b c / d e f, labels 1 to 6; the expected arrangements worked out by hand.
    const std::vector<int> stored{1, 2, 3, 4, 5, 6};
    struct TCase {
        int Orientation, Width, Height;
        std::vector<int> Shown;
    };
    const TCase cases[] = {
        {1, 3, 2, {1, 2, 3, 4, 5, 6}}, {2, 3, 2, {3, 2, 1, 6, 5, 4}}, {3, 3, 2, {6, 5, 4, 3, 2, 1}},
        {4, 3, 2, {4, 5, 6, 1, 2, 3}}, {5, 2, 3, {1, 4, 2, 5, 3, 6}}, {6, 2, 3, {4, 1, 5, 2, 6, 3}},
        {7, 2, 3, {6, 3, 5, 2, 4, 1}}, {8, 2, 3, {3, 6, 2, 5, 1, 4}}, {0, 3, 2, {1, 2, 3, 4, 5, 6}},
    };
    for (bool bottomUp : {false, true})
        for (const TCase& c : cases) {
            TBitmap bitmap = Labelled(3, 2, stored, bottomUp);
            OrientBitmap(bitmap, c.Orientation);
            EXPECT_EQ(c.Width, bitmap.Width()) << c.Orientation;
            EXPECT_EQ(c.Height, bitmap.Height()) << c.Orientation;
            EXPECT_EQ(bottomUp, bitmap.BottomUp());
            EXPECT_EQ(c.Shown, Labels(bitmap)) << "orientation " << c.Orientation << (bottomUp ? " bottom-up" : "");
        }
}

// Sizes past the 32-row bands the turns work in, odd so that middle rows and columns exist.
TEST(OrientBitmapTest, TurnsComposeOnLargePictures)
{
    const int width = 75, height = 41;
    std::vector<int> labels;
    for (int i = 0; i < width * height; ++i) labels.push_back((i * 37 + i / 75) % 251);
    auto turned = [&](std::initializer_list<int> steps) {
        TBitmap bitmap = Labelled(width, height, labels);
        for (int step : steps) OrientBitmap(bitmap, step);
        return bitmap;
    };
    const std::vector<int> original = Labels(turned({}));
    EXPECT_EQ(original, Labels(turned({6, 8})));        // a quarter turn each way
    EXPECT_EQ(original, Labels(turned({6, 6, 6, 6})));  // four quarter turns
    EXPECT_EQ(original, Labels(turned({5, 5})));
    EXPECT_EQ(original, Labels(turned({7, 7})));
    EXPECT_EQ(original, Labels(turned({3, 3})));
    EXPECT_EQ(Labels(turned({3})), Labels(turned({2, 4})));
    EXPECT_EQ(Labels(turned({3})), Labels(turned({6, 6})));
    EXPECT_EQ(Labels(turned({7})), Labels(turned({5, 3})));
    EXPECT_EQ(Labels(turned({8})), Labels(turned({5, 4})));
    EXPECT_NE(original, Labels(turned({2})));
}

}  // namespace
