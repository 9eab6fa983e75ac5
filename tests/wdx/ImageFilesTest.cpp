// The BMP and TGA readers: every layout they accept read back pixel by pixel, and damaged
// files (cut short, zero sizes, runs past the picture, unknown kinds) refused without
// reading past the bytes they were given.
#include "wdx/ImageFiles.h"

#include "imaging/PictureLimits.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {
void Put16(std::string& s, size_t at, uint32_t v)
{
    s[at] = static_cast<char>(v);
    s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& s, size_t at, uint32_t v)
{
    Put16(s, at, v);
    Put16(s, at + 2, v >> 16);
}

// A BMP with a 40-byte header; rows are given top row first and stored in the file's order.
std::string Bmp(int width, int height, int bits, const std::vector<std::string>& topDownRows, bool topDown = false,
                const std::vector<uint32_t>& table = {}, uint32_t compression = 0, std::vector<uint32_t> masks = {})
{
    const size_t rowBytes = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    const size_t extra = masks.size() * 4 + table.size() * 4;
    std::string s(54 + extra, '\0');
    s[0] = 'B';
    s[1] = 'M';
    Put32(s, 10, static_cast<uint32_t>(54 + extra));
    Put32(s, 14, 40);
    Put32(s, 18, static_cast<uint32_t>(width));
    Put32(s, 22, static_cast<uint32_t>(topDown ? -height : height));
    Put16(s, 26, 1);
    Put16(s, 28, static_cast<uint32_t>(bits));
    Put32(s, 30, compression);
    Put32(s, 46, static_cast<uint32_t>(table.size()));
    size_t at = 54;
    for (uint32_t m : masks) Put32(s, (at += 4) - 4, m);
    for (uint32_t e : table) Put32(s, (at += 4) - 4, e);
    for (size_t i = 0; i < topDownRows.size(); ++i) {
        std::string row = topDown ? topDownRows[i] : topDownRows[topDownRows.size() - 1 - i];
        row.resize(rowBytes, '\0');
        s += row;
    }
    Put32(s, 2, static_cast<uint32_t>(s.size()));
    return s;
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

std::string TgaHeader(int type, int width, int height, int depth, int descriptor, int idLength = 0, int mapType = 0)
{
    std::string s(18, '\0');
    s[0] = static_cast<char>(idLength);
    s[1] = static_cast<char>(mapType);
    s[2] = static_cast<char>(type);
    Put16(s, 12, static_cast<uint32_t>(width));
    Put16(s, 14, static_cast<uint32_t>(height));
    s[16] = static_cast<char>(depth);
    s[17] = static_cast<char>(descriptor);
    return s + std::string(static_cast<size_t>(idLength), 'i');
}

// Blue, green, red as they lie in the file; the reader's value is red in the top byte.
uint32_t Value(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255)
{
    return static_cast<uint32_t>(r) << 24 | static_cast<uint32_t>(g) << 16 | static_cast<uint32_t>(b) << 8 | a;
}

// Red, green, blue of pixel (x, y) of a read bitmap.
std::vector<int> Rgb(const TLoadedBitmap& b, int x, int y)
{
    const uint8_t* p = b.Pixels.ScanLine(y) + 3 * x;
    return {p[2], p[1], p[0]};
}

bool ReadBmpText(const std::string& s, TLoadedBitmap& b)
{
    return ReadBmp(reinterpret_cast<const uint8_t*>(s.data()), s.size(), b);
}
bool ReadTgaText(const std::string& s, TRawPicture& p)
{
    return ReadTga(reinterpret_cast<const uint8_t*>(s.data()), s.size(), p);
}
}  // namespace

TEST(BmpReader, ReadsTwentyFourBitRowsInEitherOrder)
{
    // Top row: red, green; bottom row: blue, white. Bytes are blue, green, red.
    const std::vector<std::string> rows = {Bytes({0, 0, 255, 0, 255, 0}), Bytes({255, 0, 0, 255, 255, 255})};
    for (bool topDown : {false, true}) {
        TLoadedBitmap b;
        ASSERT_TRUE(ReadBmpText(Bmp(2, 2, 24, rows, topDown), b)) << topDown;
        ASSERT_EQ(b.Pixels.Width(), 2);
        ASSERT_EQ(b.Pixels.Height(), 2);
        EXPECT_EQ(Rgb(b, 0, 0), (std::vector<int>{255, 0, 0}));
        EXPECT_EQ(Rgb(b, 1, 0), (std::vector<int>{0, 255, 0}));
        EXPECT_EQ(Rgb(b, 0, 1), (std::vector<int>{0, 0, 255}));
        EXPECT_EQ(Rgb(b, 1, 1), (std::vector<int>{255, 255, 255}));
        EXPECT_TRUE(b.ColorTable.empty());
    }
}

TEST(BmpReader, PaletteBitmapsKeepTheirColourTable)
{
    const std::vector<uint32_t> table = {0x000000, 0x112233, 0xFF8000};
    TLoadedBitmap b;
    // 8 bits: indices 1, 2, 0 and one past the table, which shows black.
    ASSERT_TRUE(ReadBmpText(Bmp(4, 1, 8, {Bytes({1, 2, 0, 7})}, false, table), b));
    EXPECT_EQ(b.ColorTable, table);
    EXPECT_EQ(Rgb(b, 0, 0), (std::vector<int>{0x11, 0x22, 0x33}));
    EXPECT_EQ(Rgb(b, 1, 0), (std::vector<int>{0xFF, 0x80, 0x00}));
    EXPECT_EQ(Rgb(b, 3, 0), (std::vector<int>{0, 0, 0}));

    // 4 and 1 bits: the high bits hold the leftmost pixel.
    ASSERT_TRUE(ReadBmpText(Bmp(3, 1, 4, {Bytes({0x21, 0x00})}, false, table), b));
    EXPECT_EQ(Rgb(b, 0, 0), (std::vector<int>{0xFF, 0x80, 0x00}));
    EXPECT_EQ(Rgb(b, 1, 0), (std::vector<int>{0x11, 0x22, 0x33}));
    ASSERT_TRUE(ReadBmpText(Bmp(9, 1, 1, {Bytes({0x40, 0x80})}, false, {0x000000, 0xFFFFFF}), b));
    EXPECT_EQ(Rgb(b, 0, 0), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Rgb(b, 1, 0), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(Rgb(b, 8, 0), (std::vector<int>{255, 255, 255}));
}

TEST(BmpReader, SixteenAndThirtyTwoBitPixelsFollowTheirMasks)
{
    TLoadedBitmap b;
    // 16 bits without masks is 5-5-5: 0x7C00 is full red.
    ASSERT_TRUE(ReadBmpText(Bmp(1, 1, 16, {Bytes({0x00, 0x7C})}), b));
    EXPECT_EQ(Rgb(b, 0, 0), (std::vector<int>{255, 0, 0}));
    // 5-6-5 bit fields: 0x07E0 is full green.
    ASSERT_TRUE(ReadBmpText(Bmp(1, 1, 16, {Bytes({0xE0, 0x07})}, false, {}, 3, {0xF800, 0x07E0, 0x001F}), b));
    EXPECT_EQ(Rgb(b, 0, 0), (std::vector<int>{0, 255, 0}));
    // 32 bits plain: blue, green, red, unused.
    ASSERT_TRUE(ReadBmpText(Bmp(1, 1, 32, {Bytes({0x30, 0x20, 0x10, 0x99})}), b));
    EXPECT_EQ(Rgb(b, 0, 0), (std::vector<int>{0x10, 0x20, 0x30}));
    // 32-bit fields with red in the low byte.
    ASSERT_TRUE(ReadBmpText(Bmp(1, 1, 32, {Bytes({0x10, 0x20, 0x30, 0})}, false, {}, 3, {0xFF, 0xFF00, 0xFF0000}), b));
    EXPECT_EQ(Rgb(b, 0, 0), (std::vector<int>{0x10, 0x20, 0x30}));
}

TEST(BmpReader, MasksWiderThanTwentyFourBitsScaleToFullColours)
{
    struct TCase {
        uint32_t Red, Green, Blue;
        uint32_t Pixel;
        std::vector<int> Expected;
    };
    const TCase cases[] = {
        {0xFFFFFFFF, 0, 0, 0xFFFFFFFF, {255, 0, 0}},
        {0xFFFFFFFF, 0, 0, 0x80000000, {127, 0, 0}},
        {0x01FFFFFF, 0, 0, 0x01FFFFFF, {255, 0, 0}},
        {0, 0xFFFFFFF0, 0xF, 0xFFFFFFF0, {0, 255, 0}},
        {0, 0xFFFFFFF0, 0xF, 0x0000000F, {0, 0, 255}},
        {0xFF000000, 0xFF0000, 0xFF00, 0xFF80FF00, {255, 0x80, 255}},
        {0xFF000000, 0xFF0000, 0xFF00, 0x40000000, {0x40, 0, 0}},
    };
    for (const TCase& c : cases) {
        std::string pixel(4, '\0');
        Put32(pixel, 0, c.Pixel);
        TLoadedBitmap b;
        ASSERT_TRUE(ReadBmpText(Bmp(1, 1, 32, {pixel}, false, {}, 3, {c.Red, c.Green, c.Blue}), b)) << c.Red;
        EXPECT_EQ(Rgb(b, 0, 0), c.Expected) << std::hex << c.Red << " " << c.Green << " " << c.Pixel;
    }
}

TEST(BmpReader, RefusesDamagedAndUnknownFiles)
{
    const std::string good = Bmp(2, 2, 24, {Bytes({1, 2, 3, 4, 5, 6}), Bytes({7, 8, 9, 10, 11, 12})});
    TLoadedBitmap b;
    ASSERT_TRUE(ReadBmpText(good, b));
    // Every cut that loses pixel bytes is refused, and the bitmap is left empty.
    for (size_t length = 0; length < good.size(); ++length) {
        EXPECT_FALSE(ReadBmp(reinterpret_cast<const uint8_t*>(good.data()), length, b)) << length;
        EXPECT_TRUE(b.Pixels.Empty());
    }
    std::string bad = good;
    bad[0] = 'X';
    EXPECT_FALSE(ReadBmpText(bad, b)) << "no BM signature";
    bad = good;
    Put32(bad, 18, 0);
    EXPECT_FALSE(ReadBmpText(bad, b)) << "width 0";
    bad = good;
    Put32(bad, 22, 0);
    EXPECT_FALSE(ReadBmpText(bad, b)) << "height 0";
    bad = good;
    Put32(bad, 18, 0x7FFFFFFF);
    EXPECT_FALSE(ReadBmpText(bad, b)) << "a width the pixels do not cover";
    bad = good;
    Put32(bad, 10, 0xFFFFFFF0);
    EXPECT_FALSE(ReadBmpText(bad, b)) << "pixels beyond the file";
    bad = good;
    Put32(bad, 14, 0x7FFFFFFF);
    EXPECT_FALSE(ReadBmpText(bad, b)) << "a header longer than the file";
    bad = good;
    Put16(bad, 28, 7);
    EXPECT_FALSE(ReadBmpText(bad, b)) << "7 bits per pixel";
    EXPECT_FALSE(ReadBmpText(Bmp(2, 1, 8, {Bytes({0, 0})}, false, {0}, 1), b)) << "run-length compressed";
    EXPECT_FALSE(ReadBmpText(Bmp(2, 1, 24, {Bytes({0, 0})}, false, {}, 3, {1, 2, 4}), b)) << "fields on 24 bits";
}

TEST(TgaReader, ABottomUpPictureStoresItsFirstFileRowLast)
{
    // File rows: (red, green) then (blue, white); bottom-up, so the first is row 1.
    const std::string file = TgaHeader(2, 2, 2, 24, 0) + Bytes({0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255});
    TRawPicture p;
    ASSERT_TRUE(ReadTgaText(file, p));
    EXPECT_EQ(p.Width, 2);
    EXPECT_EQ(p.Height, 2);
    EXPECT_EQ(p.Depth, 24);
    EXPECT_FALSE(p.HasAlpha);
    EXPECT_EQ(p.Pixels,
              (std::vector<uint32_t>{Value(0, 0, 255), Value(255, 255, 255), Value(255, 0, 0), Value(0, 255, 0)}));
}

TEST(TgaReader, ATopDownThirtyTwoBitPictureKeepsItsOrderAndAlpha)
{
    const std::string file = TgaHeader(2, 2, 1, 32, 0x28, 3) + Bytes({1, 2, 3, 255, 4, 5, 6, 128});
    TRawPicture p;
    ASSERT_TRUE(ReadTgaText(file, p));
    EXPECT_TRUE(p.HasAlpha);
    EXPECT_EQ(p.Pixels, (std::vector<uint32_t>{Value(3, 2, 1, 255), Value(6, 5, 4, 128)}));
}

TEST(TgaReader, RunLengthPacketsRepeatAndCopyAcrossRows)
{
    // 3 x 2 top-down: a run of 4 grey pixels (crossing into row 1), then 2 raw pixels.
    const std::string file = TgaHeader(10, 3, 2, 24, 0x20) + Bytes({0x83, 9, 9, 9}) + Bytes({0x01, 1, 2, 3, 4, 5, 6});
    TRawPicture p;
    ASSERT_TRUE(ReadTgaText(file, p));
    const uint32_t grey = Value(9, 9, 9);
    EXPECT_EQ(p.Pixels, (std::vector<uint32_t>{grey, grey, grey, grey, Value(3, 2, 1), Value(6, 5, 4)}));
}

TEST(TgaReader, RefusesDamagedAndUnknownFiles)
{
    const std::string good = TgaHeader(10, 2, 2, 24, 0) + Bytes({0x81, 1, 1, 1, 0x01, 2, 2, 2, 3, 3, 3});
    TRawPicture p;
    ASSERT_TRUE(ReadTgaText(good, p));
    for (size_t length = 0; length < good.size(); ++length) {
        EXPECT_FALSE(ReadTga(reinterpret_cast<const uint8_t*>(good.data()), length, p)) << length;
        EXPECT_TRUE(p.Pixels.empty());
    }
    const std::string raw = TgaHeader(2, 2, 2, 32, 0) + std::string(16, '\x7f');
    ASSERT_TRUE(ReadTgaText(raw, p));
    EXPECT_FALSE(ReadTgaText(raw.substr(0, raw.size() - 1), p)) << "one byte short";

    EXPECT_FALSE(ReadTgaText(TgaHeader(10, 2, 1, 24, 0) + Bytes({0x82, 1, 1, 1}), p)) << "a run past the picture";
    EXPECT_FALSE(ReadTgaText(TgaHeader(10, 1, 1, 24, 0) + Bytes({0x01, 1, 1, 1, 2, 2, 2}), p)) << "raw past it";
    EXPECT_FALSE(ReadTgaText(TgaHeader(2, 0, 5, 24, 0), p)) << "width 0";
    EXPECT_FALSE(ReadTgaText(TgaHeader(2, 5, 0, 24, 0), p)) << "height 0";
    EXPECT_FALSE(ReadTgaText(TgaHeader(2, 65535, 65535, 32, 0) + std::string(64, '\0'), p))
        << "a header promising far more pixels than the file holds";
    EXPECT_FALSE(ReadTgaText(TgaHeader(10, 65535, 65535, 32, 0) + std::string(64, '\0'), p));
    EXPECT_FALSE(ReadTgaText(TgaHeader(1, 1, 1, 8, 0, 0, 1) + std::string(800, '\0'), p)) << "colour-mapped";
    EXPECT_FALSE(ReadTgaText(TgaHeader(2, 1, 1, 24, 0, 0, 1) + std::string(3, '\0'), p)) << "a colour map";
    EXPECT_FALSE(ReadTgaText(TgaHeader(3, 1, 1, 8, 0) + std::string(1, '\0'), p)) << "grey scale";
    EXPECT_FALSE(ReadTgaText(TgaHeader(2, 1, 1, 16, 0) + std::string(2, '\0'), p)) << "16 bits";
    EXPECT_FALSE(ReadTgaText(TgaHeader(2, 1, 1, 24, 0, 200).substr(0, 100), p)) << "identification past the end";
}

namespace {
// A 1-bit BMP whose pixel rows, all zero, are all in the file.
std::string OneBitBmp(int width, int height)
{
    const size_t rowBytes = ((static_cast<size_t>(width) + 31) / 32) * 4;
    const size_t rows = static_cast<size_t>(height < 0 ? -height : height);
    return Bmp(width, height < 0 ? -height : height, 1, {}, height < 0, {0x000000, 0xFFFFFF}) +
           std::string(rowBytes * rows, '\0');
}

// A run-length TGA whose packets, each repeating one pixel up to 128 times, cover it all.
std::string RunLengthTga(int width, int height, int depth)
{
    const size_t bytes = static_cast<size_t>(depth) / 8;
    std::string file = TgaHeader(10, width, height, depth, 0);
    for (uint64_t left = static_cast<uint64_t>(width) * static_cast<uint64_t>(height); left > 0;) {
        const unsigned count = left < 128 ? static_cast<unsigned>(left) : 128;
        file += static_cast<char>(0x80 | (count - 1));
        file += std::string(bytes, '\x40');
        left -= count;
    }
    return file;
}
}  // namespace

// The file's bytes are few, but its pixels would take far more memory than any picture may:
// each is refused from its header, before the pixels are allocated.
TEST(ImageFileLimits, PicturesOfMorePixelsThanAnyPictureAreRefused)
{
    struct TCase {
        const char* Name;
        bool Tga;
        int Width, Height, Depth;
    };
    const TCase cases[] = {
        {"1-bit BMP, square", false, 12248, 12248, 1},      {"1-bit BMP, top-down", false, 12248, -12248, 1},
        {"1-bit BMP, one row", false, 150'000'001, 1, 1},   {"run-length TGA, 24 bits", true, 15000, 10001, 24},
        {"run-length TGA, 32 bits", true, 30000, 5001, 32},
    };
    for (const TCase& c : cases) {
        const int64_t pixels = static_cast<int64_t>(c.Width) * (c.Height < 0 ? -c.Height : c.Height);
        ASSERT_GT(static_cast<uint64_t>(pixels), MaxPicturePixels) << c.Name;
        TLoadedBitmap b;
        TRawPicture p;
        // The same kind of file of a sensible size is read: only the size is refused.
        const std::string small = c.Tga ? RunLengthTga(200, 100, c.Depth) : OneBitBmp(200, c.Height < 0 ? -100 : 100);
        ASSERT_TRUE(c.Tga ? ReadTgaText(small, p) : ReadBmpText(small, b)) << c.Name;

        const std::string large = c.Tga ? RunLengthTga(c.Width, c.Height, c.Depth) : OneBitBmp(c.Width, c.Height);
        EXPECT_FALSE(c.Tga ? ReadTgaText(large, p) : ReadBmpText(large, b)) << c.Name;
        EXPECT_TRUE(b.Pixels.Empty() && p.Pixels.empty()) << c.Name;
    }
}

// Only a regular file of at most the size any picture file may have is read.
TEST(ImageFileLimits, TheFileReaderTakesOnlyRegularFilesOfAPicturesSize)
{
    TempDir dir;
    const std::string good = OneBitBmp(8, 8);
    const std::string small = dir.WriteFile("small.bmp", good).string();
    const std::string large = dir.WriteFile("large.bmp", good).string();
    // Sparse: the disk holds almost nothing of it.
    std::filesystem::resize_file(large, MaxPictureFileBytes + 1);

    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(small, bytes));
    EXPECT_EQ(bytes, good);
    TLoadedBitmap b;
    EXPECT_TRUE(LoadBmpFile(small, b));

    std::vector<std::string> refused = {large, dir.Str()};
#ifndef _WIN32
    // Opening a FIFO would wait for a writer for ever; it must not even be opened.
    const std::string fifo = dir.Str() + "/pipe.bmp";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    refused.push_back(fifo);
#endif
    for (const std::string& path : refused) {
        EXPECT_FALSE(ReadFileBytes(path, bytes)) << path;
        EXPECT_TRUE(bytes.empty()) << path;
        EXPECT_FALSE(LoadBmpFile(path, b)) << path;
    }
}

TEST(ImageFileLoading, MissingFilesAreRefused)
{
    TLoadedBitmap b;
    TRawPicture p;
    EXPECT_FALSE(LoadBmpFile("no-such-folder-vellumine/none.bmp", b));
    EXPECT_FALSE(LoadTgaFile("no-such-folder-vellumine/none.tga", p));
}
