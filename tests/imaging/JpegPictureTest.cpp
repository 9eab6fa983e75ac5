// Decoding a JPEG straight into 32-bit rows: the same pixels as the bitmap loader gives, the
// same verdict on damaged files, and the pictures it leaves to the bitmap loader.
#include "imaging/PictureLoader.h"

#include "framework/Bitmap.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <string>
#include <vector>

namespace {

TPicture Noisy(int width, int height, uint32_t seed)
{
    std::mt19937 random(seed);
    TPicture picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.At(x, y) = {static_cast<uint8_t>(x * 5 + random() % 40),
                                static_cast<uint8_t>(y * 7 + random() % 40), static_cast<uint8_t>(random())};
    return picture;
}

// Decodes the file both ways. Straight: false when Open or DecodeInto fails. The rows of
// the straight decode are wider than the picture, and their padding must stay untouched.
struct TBothWays {
    bool Bitmap = false, Opened = false, Possible = false, Straight = false;
    int Mismatches = 0;
    bool PaddingTouched = false;
};

TBothWays DecodeBothWays(const std::string& path)
{
    TBothWays result;
    TBitmap bitmap;
    result.Bitmap = LoadJpegIntoBitmap(bitmap, "", path);
    TJpegPicture jpeg;
    result.Opened = jpeg.Open(path);
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
    // verdict and its pixels are the bitmap loader's.
    std::mt19937 random(777);
    TJpegOptions progressive;
    progressive.Progressive = true;
    int compared = 0, refusedInData = 0;
    for (const TJpegOptions& options : {TJpegOptions{}, progressive}) {
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
            if (!both.Possible) continue;  // damage that made a turned or CMYK header
            EXPECT_EQ(both.Straight, both.Bitmap) << "round " << round;
            EXPECT_EQ(both.Mismatches, 0) << "round " << round;
            ++compared;
            refusedInData += !both.Straight;
        }
    }
    EXPECT_GT(compared, 100);
    EXPECT_GT(refusedInData, 0) << "some damage must be fatal only past the header";
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
            cancel = cancelled;
            std::vector<uint8_t> rows(64 * 48 * 4, 0xA5);
            EXPECT_EQ(jpeg.DecodeInto(rows.data(), 64 * 4), !cancelled);
            const auto untouched = std::count(rows.begin(), rows.end(), 0xA5);
            if (cancelled)
                EXPECT_EQ(untouched, std::ptrdiff_t(rows.size()));
            else
                EXPECT_LT(untouched, std::ptrdiff_t(rows.size()) / 2);
        }
    }
}
}  // namespace
