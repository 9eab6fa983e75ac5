// Decoding a JPEG straight into 32-bit rows: the same pixels as the bitmap loader gives, the
// same verdict on damaged files, and the pictures it leaves to the bitmap loader.
#include "imaging/PictureLoader.h"

#include "framework/Bitmap.h"
#include "imaging/Orientation.h"
#include "imaging/PictureLimits.h"
#include "support/AreaAverage.h"
#include "support/JpegMaker.h"
#include "support/SamePixels.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

TRgbPicture Noisy(int width, int height, uint32_t seed)
{
    std::mt19937 random(seed);
    TRgbPicture picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.At(x, y) = {static_cast<uint8_t>(x * 5 + random() % 40),
                                static_cast<uint8_t>(y * 7 + random() % 40), static_cast<uint8_t>(random())};
    return picture;
}

// Decodes the file both ways, and stored within a box of 20 x 20. Straight: false when Open or
// DecodeInto fails. The rows of the straight decode are wider than the picture, and their
// padding must stay untouched.
struct TBothWays {
    bool Bitmap = false, Opened = false, Possible = false, Straight = false, Stored = false;
    int Mismatches = 0;
    bool PaddingTouched = false;
};

TBothWays DecodeBothWays(const std::string& path)
{
    TBothWays result;
    TBitmap bitmap;
    result.Bitmap = LoadJpegIntoBitmap(bitmap, "", path);
    TJpegPicture jpeg, reduced;
    result.Opened = jpeg.Open(path);
    if (result.Opened && reduced.Open(path)) {
        const TStoredSize size = StoredSize(reduced.OwnWidth(), reduced.OwnHeight(), 20, 20);
        std::vector<uint32_t> pixels(static_cast<size_t>(size.Width) * static_cast<size_t>(size.Height));
        result.Stored =
            reduced.DecodeStored(reinterpret_cast<uint8_t*>(pixels.data()), size.Width * 4, size.Width, size.Height);
    }
    result.Possible = result.Opened && jpeg.DecodesStraight();
    if (!result.Possible) return result;
    const int width = jpeg.Width(), height = jpeg.Height();
    const ptrdiff_t pitch = (width + 3) * 4;
    std::vector<uint8_t> rows(static_cast<size_t>(pitch) * height, 0xA5);
    result.Straight = jpeg.DecodeInto(rows.data(), pitch);
    if (!result.Straight || !result.Bitmap) return result;
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = bitmap.ScanLine(y);
        const auto* out = reinterpret_cast<const uint32_t*>(rows.data() + y * pitch);
        for (int x = 0; x < width; ++x, in += 3)
            result.Mismatches += out[x] != (uint32_t(in[2]) << 16 | uint32_t(in[1]) << 8 | in[0]);
        for (int x = width; x < width + 3; ++x) result.PaddingTouched |= out[x] != 0xA5A5A5A5u;
    }
    return result;
}

class JpegPictureTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes)
    {
        return Folder.WriteFile(name, bytes).string();
    }
    TempDir Folder;
};

}  // namespace

TEST_F(JpegPictureTest, GivesTheBitmapLoadersPixelsInEveryEncoding)
{
    TJpegOptions progressive, arithmetic, restart, subsampled, grey;
    progressive.Progressive = true;
    grey.Colour = TJpegColour::Grayscale;
    arithmetic.Arithmetic = true;
    restart.RestartRows = 1;
    subsampled.Subsample420 = true;
    int round = 0;
    for (const TJpegOptions& options : {TJpegOptions{}, progressive, arithmetic, restart, subsampled, grey}) {
        SCOPED_TRACE(round);
        const std::string path = Write(std::to_string(round) + ".jpg", MakeJpeg(Noisy(37, 29, round), options));
        ++round;
        const TBothWays both = DecodeBothWays(path);
        ASSERT_TRUE(both.Bitmap);
        ASSERT_TRUE(both.Straight);
        EXPECT_TRUE(both.Stored);
        EXPECT_EQ(both.Mismatches, 0);
        EXPECT_FALSE(both.PaddingTouched);
    }
}

TEST_F(JpegPictureTest, LeavesTurnedAndCmykPicturesToTheBitmapLoader)
{
    TJpegOptions turned;
    turned.Orientation = 6;
    TJpegPicture jpeg;
    ASSERT_TRUE(jpeg.Open(Write("turned.jpg", MakeJpeg(Noisy(20, 10, 1), turned))));
    EXPECT_FALSE(jpeg.DecodesStraight());
    std::vector<uint8_t> rows(20 * 10 * 4);
    EXPECT_FALSE(jpeg.DecodeInto(rows.data(), 80));

    TJpegOptions ink;
    ink.Colour = TJpegColour::AdobeCmyk;
    TJpegPicture cmyk;
    ASSERT_TRUE(cmyk.Open(Write("ink.jpg", MakeJpeg(Noisy(20, 10, 1), ink))));
    EXPECT_FALSE(cmyk.DecodesStraight()) << "CMYK is converted by the bitmap loader";

    TJpegOptions upright;
    upright.Orientation = 1;
    TJpegPicture plain;
    ASSERT_TRUE(plain.Open(Write("upright.jpg", MakeJpeg(Noisy(20, 10, 1), upright))));
    EXPECT_TRUE(plain.DecodesStraight());
    EXPECT_EQ(plain.Width(), 20);
    EXPECT_EQ(plain.Height(), 10);
    EXPECT_TRUE(plain.DecodeInto(rows.data(), 80));
    EXPECT_FALSE(plain.DecodeInto(rows.data(), 80)) << "a decoder decodes once";
}

TEST_F(JpegPictureTest, RefusesWhatTheBitmapLoaderRefuses)
{
    TJpegPicture missing;
    EXPECT_FALSE(missing.Open(Folder.Path().string() + "/none.jpg"));
    TJpegPicture text;
    EXPECT_FALSE(text.Open(Write("text.jpg", "not a picture at all")));

    // Cuts and random damage: wherever the straight decoder gets as far as decoding, its
    // verdict and its pixels are the bitmap loader's; the stored decoder's verdict too.
    std::mt19937 random(777);
    TJpegOptions progressive;
    progressive.Progressive = true;
    int compared = 0, refusedInData = 0, storedRefused = 0;
    for (const TJpegOptions& options :
         {TJpegOptions{}, progressive, TJpegOptions{.Colour = TJpegColour::AdobeCmyk, .Orientation = 6}}) {
        const std::string good = MakeJpeg(Noisy(40, 24, 5), options);
        for (int round = 0; round < 200; ++round) {
            std::string bad = good;
            if (round % 4 == 0)
                bad.resize(random() % good.size());
            else
                for (int i = 0; i < 1 + int(random() % 5); ++i)
                    bad[random() % bad.size()] = static_cast<char>(random());
            const TBothWays both = DecodeBothWays(Write("bad.jpg", bad));
            if (!both.Opened) {
                EXPECT_FALSE(both.Bitmap) << "round " << round << ": a header only the bitmap loader reads";
                continue;
            }
            EXPECT_EQ(both.Stored, both.Bitmap) << "round " << round;
            storedRefused += !both.Stored;
            if (!both.Possible) continue;  // a turned or CMYK header
            EXPECT_EQ(both.Straight, both.Bitmap) << "round " << round;
            EXPECT_EQ(both.Mismatches, 0) << "round " << round;
            ++compared;
            refusedInData += !both.Straight;
        }
    }
    EXPECT_GT(compared, 100);
    EXPECT_GT(refusedInData, 0) << "some damage must be fatal only past the header";
    EXPECT_GT(storedRefused, 0);
}

// A second frame header between the scans of a progressive file is met only while decoding,
// and libjpeg takes its sizes in before it refuses it: the picture keeps the size of its
// header, which the caller's rows were made for, and both ways refuse the file alike.
TEST_F(JpegPictureTest, AFrameHeaderInsideTheDataChangesNoSize)
{
    const std::string good = MakeJpeg(Noisy(40, 24, 3), {.Progressive = true});
    const size_t frame = good.find("\xFF\xC2");
    const size_t secondScan = good.find("\xFF\xDA", good.find("\xFF\xDA") + 2);
    ASSERT_NE(frame, std::string::npos);
    ASSERT_NE(secondScan, std::string::npos);
    const size_t length = static_cast<uint8_t>(good[frame + 2]) << 8 | static_cast<uint8_t>(good[frame + 3]);
    std::string again = good.substr(frame, 2 + length);
    again[5] = again[7] = 0x7F;  // height and width high bytes: a picture of about 32600 x 32600
    std::string bad = good;
    bad.insert(secondScan, again);

    const std::string path = Write("two-frames.jpg", bad);
    TJpegPicture jpeg;
    ASSERT_TRUE(jpeg.Open(path));
    ASSERT_TRUE(jpeg.DecodesStraight());
    std::vector<uint8_t> rows(40 * 4 * 24);
    const bool decoded = jpeg.DecodeInto(rows.data(), 40 * 4);
    EXPECT_EQ(40, jpeg.Width());
    EXPECT_EQ(24, jpeg.Height());
    TBitmap bitmap;
    EXPECT_EQ(decoded, LoadJpegIntoBitmap(bitmap, "", path));
}

TEST_F(JpegPictureTest, BothWaysRefuseAFileOfMoreThanAHundredScans)
{
    // Every extra scan costs a pass over the whole picture: thousands of them would hold the
    // screen for minutes. Ordinary progressive files have about ten.
    const struct {
        const char* what;
        TJpegOptions options;
        bool loads;
    } cases[] = {
        {"libjpeg's own progression, colour", TJpegOptions{.Progressive = true}, true},
        {"libjpeg's own progression, grey", TJpegOptions{.Progressive = true, .Colour = TJpegColour::Grayscale}, true},
        {"100 scans", TJpegOptions{.Colour = TJpegColour::Grayscale, .Scans = 100}, true},
        {"101 scans", TJpegOptions{.Colour = TJpegColour::Grayscale, .Scans = 101}, false},
        {"600 scans", TJpegOptions{.Colour = TJpegColour::Grayscale, .Scans = 600}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TBothWays both = DecodeBothWays(Write("scans.jpg", MakeJpeg(Noisy(48, 40, 9), c.options)));
        EXPECT_EQ(both.Bitmap, c.loads);
        ASSERT_TRUE(both.Possible) << "the header alone is no reason to refuse";
        EXPECT_EQ(both.Straight, c.loads);
        EXPECT_EQ(both.Stored, c.loads);
        EXPECT_EQ(both.Mismatches, 0);
    }
}

namespace {
TEST(JpegCancel, ACallerThatGivesUpStopsBothDecodersBeforeTheyWrite)
{
    // A worker preparing a picture gives it up when the show stops: the flag, set from another
    // thread, ends the decoding as damaged data would, without a row written.
    TempDir folder;
    TJpegOptions progressive;
    progressive.Progressive = true;
    for (const TJpegOptions& options : {TJpegOptions{}, progressive}) {
        const std::string path = folder.WriteFile("p.jpg", MakeJpeg(Noisy(64, 48, 9), options)).string();
        for (const bool cancelled : {false, true}) {
            SCOPED_TRACE(cancelled ? "given up" : "going on");
            std::atomic<bool> cancel{false};
            TBitmap bitmap;
            cancel = cancelled;
            EXPECT_EQ(LoadJpegIntoBitmap(bitmap, "", path, &cancel), !cancelled);
            // Given up between the header and the pixels.
            cancel = false;
            TJpegPicture jpeg;
            jpeg.SetCancel(&cancel);
            ASSERT_TRUE(jpeg.Open(path));
            TJpegPicture reduced;
            reduced.SetCancel(&cancel);
            ASSERT_TRUE(reduced.Open(path));
            cancel = cancelled;
            std::vector<uint8_t> rows(64 * 48 * 4, 0xA5), smaller(30 * 20 * 4, 0xA5);
            EXPECT_EQ(jpeg.DecodeInto(rows.data(), 64 * 4), !cancelled);
            EXPECT_EQ(reduced.DecodeStored(smaller.data(), 30 * 4, 30, 20), !cancelled);
            for (const std::vector<uint8_t>* written : {&rows, &smaller}) {
                const auto untouched = std::count(written->begin(), written->end(), 0xA5);
                if (cancelled)
                    EXPECT_EQ(untouched, std::ptrdiff_t(written->size()));
                else
                    EXPECT_LT(untouched, std::ptrdiff_t(written->size()) / 2);
            }
        }
    }
}
}  // namespace

// ---- decoding stored, reduced to a size ----------------------------------------------------

namespace {

std::vector<uint32_t> Pixels(const TBitmap& bitmap)
{
    std::vector<uint32_t> pixels;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            const uint8_t* p = bitmap.ScanLine(y) + x * 3;
            pixels.push_back(uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
        }
    return pixels;
}

// DecodeStored into rows three pixels wider than the picture, whose padding must stay as it was.
std::optional<std::vector<uint32_t>> Stored(TJpegPicture& jpeg, int width, int height)
{
    const size_t pitch = static_cast<size_t>(width) + 3;
    std::vector<uint32_t> rows(pitch * static_cast<size_t>(height), 0xA5A5A5A5u);
    if (!jpeg.DecodeStored(reinterpret_cast<uint8_t*>(rows.data()), static_cast<ptrdiff_t>(pitch) * 4, width, height))
        return std::nullopt;
    std::vector<uint32_t> pixels;
    for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
        pixels.insert(pixels.end(), rows.begin() + y * pitch, rows.begin() + y * pitch + width);
        for (size_t x = width; x < pitch; ++x) EXPECT_EQ(rows[y * pitch + x], 0xA5A5A5A5u) << "padding of row " << y;
    }
    return pixels;
}

std::optional<std::vector<uint32_t>> Stored(const std::string& path, int width, int height)
{
    TJpegPicture jpeg;
    if (!jpeg.Open(path)) return std::nullopt;
    return Stored(jpeg, width, height);
}

// Flat 8 x 8 blocks of random colours. Each of libjpeg's smaller scales gives a block exactly
// its colour, so such a picture decoded small and then reduced must match the same picture
// decoded whole and then reduced.
TRgbPicture Blocks(int width, int height, uint32_t seed)
{
    std::mt19937 random(seed);
    const int across = (width + 7) / 8;
    std::vector<TRgb> colours(static_cast<size_t>(across) * static_cast<size_t>((height + 7) / 8));
    for (TRgb& c : colours)
        c = {static_cast<uint8_t>(random()), static_cast<uint8_t>(random()), static_cast<uint8_t>(random())};
    TRgbPicture picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.At(x, y) = colours[static_cast<size_t>(y / 8 * across + x / 8)];
    return picture;
}

// A mid-grey picture of width x height (multiples of 32 and 8), made in no time: the scan of a
// small one libjpeg wrote (four blocks, each a zero difference and an end of block, three bytes
// exactly) repeated once for every four blocks.
std::string GreyPicture(int width, int height)
{
    const std::string small = MakeSolidJpeg(32, 8, {128, 128, 128}, {.Colour = TJpegColour::Grayscale});
    const size_t frame = small.find("\xFF\xC0");
    const size_t scanHeader = small.find("\xFF\xDA");
    const size_t scan = scanHeader + 2 + (uint8_t(small[scanHeader + 2]) << 8 | uint8_t(small[scanHeader + 3]));
    const size_t end = small.rfind("\xFF\xD9");
    if (frame == std::string::npos || end != scan + 3) return "";
    std::string jpeg = small.substr(0, scan);
    jpeg[frame + 5] = static_cast<char>(height >> 8);
    jpeg[frame + 6] = static_cast<char>(height & 0xFF);
    jpeg[frame + 7] = static_cast<char>(width >> 8);
    jpeg[frame + 8] = static_cast<char>(width & 0xFF);
    const size_t blocks = static_cast<size_t>(width / 8) * static_cast<size_t>(height / 8);
    jpeg.reserve(jpeg.size() + blocks / 4 * 3 + 2);
    for (size_t i = 0; i < blocks / 4; ++i) jpeg.append(small, scan, 3);
    return jpeg + "\xFF\xD9";
}

}  // namespace

TEST_F(JpegPictureTest, AStoredPictureIsTheAreaAverageOfTheWholeOne)
{
    std::vector<std::pair<std::string, TJpegOptions>> files;
    for (int orientation = 1; orientation <= 8; ++orientation)
        files.push_back({Named("orientation ", orientation), {.Quality = 100, .Orientation = orientation}});
    files.push_back({"Adobe CMYK", {.Quality = 100, .Colour = TJpegColour::AdobeCmyk}});
    files.push_back({"plain CMYK, turned", {.Quality = 100, .Colour = TJpegColour::Cmyk, .Orientation = 7}});
    files.push_back({"YCCK", {.Quality = 100, .Colour = TJpegColour::Ycck}});
    files.push_back({"grey, turned", {.Quality = 100, .Colour = TJpegColour::Grayscale, .Orientation = 6}});
    // Parts of the upright size, across and down: every scale from 1 to 1/8, the half size that
    // a scale gives exactly, and proportions other than the picture's.
    const std::pair<double, double> parts[] = {{1, 1},     {0.9, 0.95}, {0.5, 0.5},  {0.37, 0.37},
                                               {0.6, 0.3}, {0.2, 0.2},  {0.1, 0.12}, {0.03, 0.01}};
    for (const auto& [what, options] : files) {
        SCOPED_TRACE(what);
        const std::string path = Write("blocks.jpg", MakeJpeg(Blocks(200, 136, 5), options));
        TBitmap whole;
        ASSERT_TRUE(LoadJpegIntoBitmap(whole, "", path));
        const std::vector<uint32_t> wholePixels = Pixels(whole);
        for (const auto& [across, down] : parts) {
            const int width = std::max(1, static_cast<int>(std::lround(whole.Width() * across)));
            const int height = std::max(1, static_cast<int>(std::lround(whole.Height() * down)));
            SCOPED_TRACE(testing::Message() << width << "x" << height);
            const auto stored = Stored(path, width, height);
            ASSERT_TRUE(stored);
            // The own size is the whole decode itself; smaller ones may differ by the
            // rounding of libjpeg's scaled decoding besides the reducer's.
            EXPECT_LE(LargestChannelDifference(*stored,
                                               AreaAverage(wholePixels, whole.Width(), whole.Height(), width, height)),
                      across == 1 ? 0 : 2);
        }
    }
}

TEST_F(JpegPictureTest, AtItsOwnSizeAStoredPictureIsTheWholeDecodeTurned)
{
    // The same picture with and without an orientation: the oriented one decoded stored at its
    // own size has, bit for bit, the pixels of the plain one turned by the bitmap turner.
    const TRgbPicture picture = Noisy(45, 27, 2);
    const std::string plain = Write("plain.jpg", MakeJpeg(picture, {.Subsample420 = true}));
    TBitmap straight;
    ASSERT_TRUE(LoadJpegIntoBitmap(straight, "", plain));
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::string path =
            Write("turned.jpg", MakeJpeg(picture, {.Subsample420 = true, .Orientation = orientation}));
        TBitmap expected = straight;
        OrientBitmap(expected, orientation);
        TJpegPicture jpeg;
        ASSERT_TRUE(jpeg.Open(path));
        ASSERT_EQ(jpeg.OwnWidth(), expected.Width());
        ASSERT_EQ(jpeg.OwnHeight(), expected.Height());
        EXPECT_EQ(Stored(jpeg, expected.Width(), expected.Height()), Pixels(expected));
        TBitmap loaded;
        ASSERT_TRUE(LoadJpegIntoBitmap(loaded, "", path));
        EXPECT_TRUE(SamePixels(loaded, expected));
    }
}

TEST_F(JpegPictureTest, DecodesStoredOnceAtASizeWithinItsOwn)
{
    // Stored 48 x 32, upright 32 x 48.
    const std::string path = Write("six.jpg", MakeJpeg(Noisy(48, 32, 4), {.Orientation = 6}));
    const struct {
        int Width, Height;
        bool Decodes;
    } sizes[] = {{32, 48, true},  {1, 1, true},    {31, 20, true}, {33, 48, false},
                 {32, 49, false}, {48, 32, false}, {0, 10, false}, {10, -1, false}};
    for (const auto& size : sizes) {
        TJpegPicture jpeg;
        ASSERT_TRUE(jpeg.Open(path));
        std::vector<uint32_t> rows(64 * 64);
        EXPECT_EQ(jpeg.DecodeStored(reinterpret_cast<uint8_t*>(rows.data()), 64 * 4, size.Width, size.Height),
                  size.Decodes)
            << size.Width << "x" << size.Height;
    }
    TJpegPicture jpeg;
    ASSERT_TRUE(jpeg.Open(path));
    std::vector<uint32_t> rows(32 * 48);
    EXPECT_FALSE(jpeg.DecodeStored(nullptr, 32 * 4, 32, 48));
    EXPECT_TRUE(jpeg.DecodeStored(reinterpret_cast<uint8_t*>(rows.data()), 32 * 4, 32, 48)) << "a refusal uses nothing";
    EXPECT_FALSE(jpeg.DecodeStored(reinterpret_cast<uint8_t*>(rows.data()), 32 * 4, 32, 48))
        << "a decoder decodes once";
}

TEST_F(JpegPictureTest, APictureTooLargeToHoldOpensAndIsStoredReduced)
{
    const std::string grey = GreyPicture(20000, 8000);  // 160 megapixels
    ASSERT_FALSE(grey.empty()) << "libjpeg wrote the small picture in an unexpected way";
    const std::string path = Write("wide.jpg", grey);
    TJpegPicture jpeg;
    ASSERT_TRUE(jpeg.Open(path));
    EXPECT_EQ(jpeg.OwnWidth(), 20000);
    EXPECT_EQ(jpeg.OwnHeight(), 8000);
    std::vector<uint32_t> none(1);
    EXPECT_FALSE(jpeg.DecodeStored(reinterpret_cast<uint8_t*>(none.data()), 20000 * 4, 20000, 8000));
    const TStoredSize size = StoredSize(20000, 8000, 1920, 1080);
    const auto stored = Stored(jpeg, size.Width, size.Height);
    ASSERT_TRUE(stored);
    EXPECT_EQ(std::count(stored->begin(), stored->end(), 0x808080u), std::ptrdiff_t(stored->size()));

    TBitmap bitmap;
    EXPECT_FALSE(LoadJpegIntoBitmap(bitmap, "", path)) << "its own size cannot be held";
    ASSERT_TRUE(LoadJpegIntoBitmap(bitmap, "", path, nullptr, 640, 480));
    EXPECT_EQ(bitmap.Width(), StoredSize(20000, 8000, 640, 480).Width);
    EXPECT_EQ(bitmap.Height(), 480);

    // libjpeg's own limit opens too: the header alone is read.
    const size_t scan = grey.find("\xFF\xDA");
    std::string largest = grey.substr(0, scan + 2 + (uint8_t(grey[scan + 2]) << 8 | uint8_t(grey[scan + 3])));
    const size_t frame = largest.find("\xFF\xC0");
    largest[frame + 5] = largest[frame + 7] = static_cast<char>(65500 >> 8);
    largest[frame + 6] = largest[frame + 8] = static_cast<char>(65500 & 0xFF);
    TJpegPicture huge;
    ASSERT_TRUE(huge.Open(Write("huge.jpg", largest)));
    EXPECT_EQ(huge.OwnWidth(), 65500);
}

TEST_F(JpegPictureTest, AProgressivePicturePastTheMemoryBudgetFails)
{
    // A progressive picture's coefficients are held whole while it decodes: 256 x 192 x 3
    // components x 2 bytes, 295 KB. A baseline picture holds a few rows whatever its size.
    for (const bool progressive : {true, false})
        for (const long budget : {64L << 10, TJpegPicture::DefaultMemoryBudget}) {
            SCOPED_TRACE(testing::Message() << (progressive ? "progressive" : "baseline") << ", budget " << budget);
            TJpegPicture jpeg;
            ASSERT_TRUE(jpeg.Open(Write("p.jpg", MakeJpeg(Noisy(256, 192, 3), {.Progressive = progressive}))));
            jpeg.SetMemoryBudget(budget);
            EXPECT_EQ(Stored(jpeg, 128, 96).has_value(), !progressive || budget == TJpegPicture::DefaultMemoryBudget);
        }
}
