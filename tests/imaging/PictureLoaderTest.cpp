#include "imaging/PictureLoader.h"

#include "core/Paths.h"
#include "framework/Bitmap.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#if defined(__unix__) && !defined(__SANITIZE_ADDRESS__)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#define VELLUMINE_CAN_LIMIT_MEMORY 1
#endif

namespace {

const TRgb Red{200, 60, 40};
const TRgb Green{40, 180, 70};
const TRgb Blue{50, 70, 200};
const TRgb Cream{230, 220, 120};

TRgb PixelAt(const TBitmap& bitmap, int x, int y)
{
    const uint8_t* p = bitmap.ScanLine(y) + x * 3;
    return {p[2], p[1], p[0]};
}

uint8_t Luminance(TRgb c) { return static_cast<uint8_t>((c.R * 299 + c.G * 587 + c.B * 114 + 500) / 1000); }

// Every pixel of the rectangle [x0, x1) x [y0, y1) within tolerance of colour.
::testing::AssertionResult RegionIs(const TBitmap& bitmap, int x0, int y0, int x1, int y1, TRgb colour, int tolerance)
{
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const TRgb p = PixelAt(bitmap, x, y);
            if (std::abs(p.R - colour.R) > tolerance || std::abs(p.G - colour.G) > tolerance ||
                std::abs(p.B - colour.B) > tolerance)
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is " << int(p.R) << "," << int(p.G) << "," << int(p.B)
                       << ", expected " << int(colour.R) << "," << int(colour.G) << "," << int(colour.B);
        }
    return ::testing::AssertionSuccess();
}

// Each quadrant's inside, away from the edges where chroma subsampling and the 8 x 8 blocks
// blend neighbouring colours.
::testing::AssertionResult QuadrantsAre(const TBitmap& bitmap, TRgb tl, TRgb tr, TRgb bl, TRgb br, int margin,
                                        int tolerance)
{
    const int w = bitmap.Width(), h = bitmap.Height(), mx = w / 2, my = h / 2;
    for (auto r : {RegionIs(bitmap, 0, 0, mx - margin, my - margin, tl, tolerance),
                   RegionIs(bitmap, mx + margin, 0, w, my - margin, tr, tolerance),
                   RegionIs(bitmap, 0, my + margin, mx - margin, h, bl, tolerance),
                   RegionIs(bitmap, mx + margin, my + margin, w, h, br, tolerance)})
        if (!r) return r;
    return ::testing::AssertionSuccess();
}

class PictureLoaderTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes)
    {
        FFolder.WriteFile(name, bytes);
        return name;
    }
    bool Load(TBitmap& bitmap, const std::string& name) { return LoadJpegIntoBitmap(bitmap, FFolder.Str(), name); }

    TempDir FFolder;
};

// ---- every form libjpeg writes ---------------------------------------------------------------

struct TForm {
    const char* Name;
    TJpegOptions Options;
    int Tolerance;
};

class PictureLoaderFormTest : public PictureLoaderTest, public ::testing::WithParamInterface<TForm> {};

TEST_P(PictureLoaderFormTest, DecodesQuadrantColours)
{
    const TForm& form = GetParam();
    const TRgbPicture picture = QuadrantPicture(64, 48, Red, Green, Blue, Cream);
    const std::string name = Write("form.jpg", MakeJpeg(picture, form.Options));
    TBitmap bitmap;
    ASSERT_TRUE(Load(bitmap, name));
    ASSERT_EQ(64, bitmap.Width());
    ASSERT_EQ(48, bitmap.Height());
    if (form.Options.Colour == TJpegColour::Grayscale) {
        auto grey = [](TRgb c) { return TRgb{Luminance(c), Luminance(c), Luminance(c)}; };
        EXPECT_TRUE(QuadrantsAre(bitmap, grey(Red), grey(Green), grey(Blue), grey(Cream), 4, form.Tolerance));
    } else {
        EXPECT_TRUE(QuadrantsAre(bitmap, Red, Green, Blue, Cream, 4, form.Tolerance));
    }
}

TJpegOptions With(void (*change)(TJpegOptions&))
{
    TJpegOptions options;
    change(options);
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, PictureLoaderFormTest,
    ::testing::Values(
        TForm{"Baseline444", {}, 4}, TForm{"Baseline420", With([](TJpegOptions& o) { o.Subsample420 = true; }), 8},
        TForm{"Progressive", With([](TJpegOptions& o) { o.Progressive = true; }), 4},
        TForm{"Progressive420", With([](TJpegOptions& o) { o.Progressive = o.Subsample420 = true; }), 8},
        TForm{"Arithmetic", With([](TJpegOptions& o) { o.Arithmetic = true; }), 4},
        TForm{"ArithmeticProgressive", With([](TJpegOptions& o) { o.Arithmetic = o.Progressive = true; }), 4},
        TForm{"RestartMarkers", With([](TJpegOptions& o) { o.RestartRows = 1; }), 4},
        TForm{"RestartMarkers420", With([](TJpegOptions& o) { o.RestartRows = 1, o.Subsample420 = true; }), 8},
        TForm{"Grayscale", With([](TJpegOptions& o) { o.Colour = TJpegColour::Grayscale; }), 3},
        TForm{"Cmyk", With([](TJpegOptions& o) { o.Colour = TJpegColour::Cmyk; }), 6},
        TForm{"AdobeCmyk", With([](TJpegOptions& o) { o.Colour = TJpegColour::AdobeCmyk; }), 6},
        TForm{"Ycck", With([](TJpegOptions& o) { o.Colour = TJpegColour::Ycck; }), 6}),
    [](const ::testing::TestParamInfo<TForm>& info) { return std::string(info.param.Name); });

TEST_F(PictureLoaderTest, FillsBottomUpBitmapLikeTopDown)
{
    TRgbPicture picture(40, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            picture.At(x, y) = {static_cast<uint8_t>(x * 6), static_cast<uint8_t>(y * 8), static_cast<uint8_t>(99)};
    const std::string name = Write("ramp.jpg", MakeJpeg(picture));
    TBitmap topDown, bottomUp(true);
    ASSERT_TRUE(Load(topDown, name));
    ASSERT_TRUE(Load(bottomUp, name));
    ASSERT_EQ(topDown.Width(), bottomUp.Width());
    ASSERT_EQ(topDown.Height(), bottomUp.Height());
    for (int y = 0; y < topDown.Height(); ++y)
        for (int x = 0; x < topDown.Width(); ++x) ASSERT_EQ(PixelAt(topDown, x, y), PixelAt(bottomUp, x, y));
    // The ramp itself arrives in the right rows and columns.
    EXPECT_TRUE(RegionIs(topDown, 39, 29, 40, 30, {234, 232, 99}, 6));
    EXPECT_TRUE(RegionIs(topDown, 0, 0, 1, 1, {0, 0, 99}, 6));
}

TEST_F(PictureLoaderTest, JoinsFolderAndNameOrTakesNameAlone)
{
    Write("sub/pic.jpeg", MakeSolidJpeg(9, 7, Green));
    TBitmap bitmap;
    EXPECT_TRUE(LoadJpegIntoBitmap(bitmap, FFolder.Str() + PathDelim + "sub", "pic.jpeg"));
    EXPECT_EQ(9, bitmap.Width());
    TBitmap alone;
    EXPECT_TRUE(LoadJpegIntoBitmap(alone, "", (FFolder.Path() / "sub" / "pic.jpeg").string()));
    EXPECT_EQ(7, alone.Height());
    // The name is not looked for outside the folder given.
    EXPECT_FALSE(LoadJpegIntoBitmap(bitmap, FFolder.Str(), "pic.jpeg"));
}

TEST_F(PictureLoaderTest, EmptyNameLeavesBitmapAlone)
{
    TBitmap bitmap;
    bitmap.SetSize(5, 4);
    bitmap.ScanLine(2)[3] = 17;
    EXPECT_FALSE(LoadJpegIntoBitmap(bitmap, FFolder.Str(), ""));
    EXPECT_EQ(5, bitmap.Width());
    EXPECT_EQ(4, bitmap.Height());
    EXPECT_EQ(17, bitmap.ScanLine(2)[3]);
}

TEST_F(PictureLoaderTest, ReplacesAnEarlierPicture)
{
    TBitmap bitmap;
    ASSERT_TRUE(Load(bitmap, Write("a.jpg", MakeSolidJpeg(30, 20, Red))));
    ASSERT_TRUE(Load(bitmap, Write("b.jpg", MakeSolidJpeg(8, 12, Blue))));
    EXPECT_EQ(8, bitmap.Width());
    EXPECT_EQ(12, bitmap.Height());
    EXPECT_TRUE(RegionIs(bitmap, 0, 0, 8, 12, Blue, 4));
}

// Bytes in memory load exactly as the same bytes in a file, turned upright the same way, and
// a refusal leaves the bitmap empty as a file's does.
TEST_F(PictureLoaderTest, BytesInMemoryLoadAsTheirFile)
{
    const std::string jpeg =
        MakeJpeg(QuadrantPicture(24, 16, Red, Green, Blue, Cream), {.Subsample420 = true, .Orientation = 6});
    TBitmap fromFile, fromBytes;
    ASSERT_TRUE(Load(fromFile, Write("turned.jpg", jpeg)));
    const auto* data = reinterpret_cast<const uint8_t*>(jpeg.data());
    ASSERT_TRUE(LoadJpegBytesIntoBitmap(fromBytes, data, jpeg.size()));
    ASSERT_EQ(fromFile.Width(), fromBytes.Width());
    ASSERT_EQ(fromFile.Height(), fromBytes.Height());
    for (int y = 0; y < fromFile.Height(); ++y)
        ASSERT_EQ(0, std::memcmp(fromFile.ScanLine(y), fromBytes.ScanLine(y), fromFile.Width() * 3u)) << "row " << y;

    for (size_t size : {size_t{0}, size_t{2}, jpeg.size() / 8}) {
        TBitmap bitmap;
        bitmap.SetSize(3, 3);
        EXPECT_FALSE(LoadJpegBytesIntoBitmap(bitmap, data, size)) << size;
        EXPECT_TRUE(bitmap.Empty()) << size;
    }
}

// ---- what is not a picture -----------------------------------------------------------------

TEST_F(PictureLoaderTest, RefusesWhatIsNoJpeg)
{
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0\x90\x91h6", 33);
    Write("empty.jpg", "");
    Write("image.jpg", png);
    Write("notes.jpg", "This is a text file, not a photograph.\n");
    Write("folder.jpg/inside.txt", "x");
    for (const char* name : {"missing.jpg", "empty.jpg", "image.jpg", "notes.jpg", "folder.jpg"}) {
        TBitmap bitmap;
        bitmap.SetSize(3, 3);
        EXPECT_FALSE(Load(bitmap, name)) << name;
        // Nothing of a failed attempt is kept.
        EXPECT_TRUE(bitmap.Empty()) << name;
    }
}

// The offset of the frame header's precision byte (the byte after the length).
size_t FrameHeader(const std::string& jpeg)
{
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (static_cast<uint8_t>(jpeg[i]) == 0xFF && (static_cast<uint8_t>(jpeg[i + 1]) & 0xF0) == 0xC0 &&
            jpeg[i + 1] != '\xC4' && jpeg[i + 1] != '\xCC')
            return i + 4;
    return std::string::npos;
}

TEST_F(PictureLoaderTest, RefusesDamagedHeaders)
{
    const std::string good = MakeSolidJpeg(32, 24, Cream);
    const size_t frame = FrameHeader(good);
    ASSERT_NE(std::string::npos, frame);
    struct TDamage {
        const char* Name;
        size_t Offset;
        size_t Length;
    };
    // Each damage zeroes the bytes named.
    for (const TDamage& damage : {TDamage{"no start marker", 0, 2}, TDamage{"no frame marker", frame - 3, 1},
                                  TDamage{"precision 0", frame, 1}, TDamage{"height 0", frame + 1, 2},
                                  TDamage{"width 0", frame + 3, 2}, TDamage{"no components", frame + 5, 1}}) {
        std::string bad = good;
        bad.replace(damage.Offset, damage.Length, damage.Length, '\0');
        TBitmap bitmap;
        EXPECT_FALSE(Load(bitmap, Write("bad.jpg", bad))) << damage.Name;
    }
}

std::string WithSize(std::string jpeg, int width, int height)
{
    const size_t frame = FrameHeader(jpeg);
    jpeg[frame + 1] = static_cast<char>(height >> 8);
    jpeg[frame + 2] = static_cast<char>(height & 0xFF);
    jpeg[frame + 3] = static_cast<char>(width >> 8);
    jpeg[frame + 4] = static_cast<char>(width & 0xFF);
    return jpeg;
}

TEST_F(PictureLoaderTest, RefusesGiantHeaderBeforeAllocating)
{
    const std::string name = Write("giant.jpg", WithSize(MakeSolidJpeg(16, 16, Red), 65500, 65500));
    TBitmap bitmap;
    EXPECT_FALSE(Load(bitmap, name));
#ifdef VELLUMINE_CAN_LIMIT_MEMORY
    // Again in a child held to 2 GB of address space, so that a loader sizing a 12 GB
    // bitmap before looking could never take the test runner's machine down with it.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = 2048UL << 20;
        setrlimit(RLIMIT_AS, &limit);
        TBitmap inChild;
        const bool loaded = Load(inChild, name);
        _exit(loaded ? 1 : inChild.Empty() ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
#endif
}

TEST_F(PictureLoaderTest, RefusesJustOverPixelLimit)
{
    // 150 megapixels are the most a picture may have.
    const std::string name = Write("over.jpg", WithSize(MakeSolidJpeg(16, 16, Red), 15001, 10000));
    TBitmap bitmap;
    EXPECT_FALSE(Load(bitmap, name));
}

// ---- damaged data -------------------------------------------------------------------------

TEST_F(PictureLoaderTest, TruncatedInHeaderFails)
{
    const std::string good = MakeJpeg(QuadrantPicture(64, 64, Red, Green, Blue, Cream));
    const size_t frame = FrameHeader(good);
    for (size_t cut : {size_t(1), size_t(2), size_t(3), size_t(20), frame, frame + 8}) {
        TBitmap bitmap;
        EXPECT_FALSE(Load(bitmap, Write("cut.jpg", good.substr(0, cut)))) << cut;
    }
}

size_t ScanStart(const std::string& jpeg) { return jpeg.find("\xFF\xDA"); }

// A file cut inside its image data shows what arrived; libjpeg fills the rest mid-grey.
TEST_F(PictureLoaderTest, TruncatedInDataShowsWhatArrived)
{
    const TRgbPicture picture = QuadrantPicture(64, 256, Red, Green, Blue, Cream);
    const std::string baseline = MakeJpeg(picture);
    const size_t scan = ScanStart(baseline);
    ASSERT_NE(std::string::npos, scan);
    TBitmap bitmap;
    ASSERT_TRUE(Load(bitmap, Write("cut.jpg", baseline.substr(0, scan + (baseline.size() - scan) / 3))));
    ASSERT_EQ(64, bitmap.Width());
    ASSERT_EQ(256, bitmap.Height());
    EXPECT_TRUE(RegionIs(bitmap, 0, 0, 28, 24, Red, 4));
    EXPECT_TRUE(RegionIs(bitmap, 0, 200, 64, 256, {128, 128, 128}, 1));

    // A progressive file cut early in its first scan: the top has its average colours only.
    TJpegOptions options;
    options.Progressive = true;
    const std::string progressive = MakeJpeg(picture, options);
    ASSERT_TRUE(Load(bitmap, Write("cut.jpg", progressive.substr(0, ScanStart(progressive) + 40))));
    ASSERT_EQ(256, bitmap.Height());
    EXPECT_TRUE(RegionIs(bitmap, 0, 0, 16, 8, Red, 16));
    EXPECT_TRUE(RegionIs(bitmap, 0, 200, 64, 256, {128, 128, 128}, 1));
}

TEST_F(PictureLoaderTest, SurvivesEveryCutAndRandomDamage)
{
    std::mt19937 random(20240611);
    TJpegOptions progressive;
    progressive.Progressive = true;
    TJpegOptions arithmetic;
    arithmetic.Arithmetic = true;
    arithmetic.Subsample420 = true;
    TJpegOptions restart;
    restart.RestartRows = 1;
    restart.Orientation = 6;
    const TRgbPicture picture = QuadrantPicture(40, 24, Red, Green, Blue, Cream);
    for (const TJpegOptions& options : {TJpegOptions{}, progressive, arithmetic, restart}) {
        const std::string good = MakeJpeg(picture, options);
        for (size_t cut = 0; cut < good.size(); cut += 17) {
            TBitmap bitmap;
            if (Load(bitmap, Write("cut.jpg", good.substr(0, cut)))) {
                EXPECT_FALSE(bitmap.Empty());
            }
        }
        for (int round = 0; round < 120; ++round) {
            std::string bad = good;
            const int flips = 1 + static_cast<int>(random() % 6);
            for (int i = 0; i < flips; ++i) bad[random() % bad.size()] = static_cast<char>(random());
            TBitmap bitmap;
            if (Load(bitmap, Write("fuzz.jpg", bad))) {
                EXPECT_FALSE(bitmap.Empty());
            }
        }
    }
}

// ---- orientation -----------------------------------------------------------------------------

const TRgb A{220, 40, 40}, B{40, 200, 60}, C{40, 60, 220}, D{240, 230, 90};

struct TOrientationCase {
    int Orientation;
    TRgb TopLeft, TopRight, BottomLeft, BottomRight;
};

// The picture is stored 48 x 32 as A B / C D; each orientation shows it turned as the
// camera meant, worked out by hand.
const TOrientationCase OrientationCases[] = {
    {1, A, B, C, D}, {2, B, A, D, C}, {3, D, C, B, A}, {4, C, D, A, B},
    {5, A, C, B, D}, {6, C, A, D, B}, {7, D, B, C, A}, {8, B, D, A, C},
};

TEST_F(PictureLoaderTest, TurnsEveryOrientationUpright)
{
    TJpegOptions options;
    options.Quality = 100;
    for (bool bigEndian : {false, true})
        for (const TOrientationCase& c : OrientationCases) {
            options.Orientation = c.Orientation;
            options.BigEndianExif = bigEndian;
            TBitmap bitmap;
            ASSERT_TRUE(Load(bitmap, Write("turn.jpg", MakeJpeg(QuadrantPicture(48, 32, A, B, C, D), options))));
            const bool swapped = c.Orientation >= 5;
            EXPECT_EQ(swapped ? 32 : 48, bitmap.Width()) << c.Orientation;
            EXPECT_EQ(swapped ? 48 : 32, bitmap.Height()) << c.Orientation;
            // Every pixel: the blocks are solid, so a picture shifted by one pixel shows.
            EXPECT_TRUE(QuadrantsAre(bitmap, c.TopLeft, c.TopRight, c.BottomLeft, c.BottomRight, 0, 4))
                << "orientation " << c.Orientation << (bigEndian ? " MM" : " II");
        }
}

TEST_F(PictureLoaderTest, WithABoxStoresThePictureUprightAtItsStoredSize)
{
    // Stored 96 x 64; upright 64 x 96 when turned. A 20 x 20 box takes 20 x 30 of those, 30 x 20 of the others.
    for (const TOrientationCase& c : OrientationCases) {
        const std::string name = Write(
            "box.jpg", MakeJpeg(QuadrantPicture(96, 64, A, B, C, D), {.Quality = 100, .Orientation = c.Orientation}));
        const bool swapped = c.Orientation >= 5;
        for (const bool bottomUp : {false, true}) {
            TBitmap bitmap(bottomUp);
            ASSERT_TRUE(LoadJpegIntoBitmap(bitmap, FFolder.Str(), name, nullptr, 20, 20));
            EXPECT_EQ(swapped ? 20 : 30, bitmap.Width()) << c.Orientation;
            EXPECT_EQ(swapped ? 30 : 20, bitmap.Height()) << c.Orientation;
            // Only the pixels on the quadrants' borders mix two colours.
            EXPECT_TRUE(QuadrantsAre(bitmap, c.TopLeft, c.TopRight, c.BottomLeft, c.BottomRight, 1, 4))
                << "orientation " << c.Orientation;
        }
    }
}

TEST_F(PictureLoaderTest, IgnoresUnknownOrientation)
{
    TJpegOptions options;
    options.Orientation = 9;
    TBitmap bitmap;
    ASSERT_TRUE(Load(bitmap, Write("nine.jpg", MakeJpeg(QuadrantPicture(48, 32, A, B, C, D), options))));
    EXPECT_EQ(48, bitmap.Width());
    EXPECT_TRUE(QuadrantsAre(bitmap, A, B, C, D, 0, 4));
}

// ---- stored size ----------------------------------------------------------------------------

TEST(StoredSize, CoversTheBoxWithTheFewestPixels)
{
    const struct {
        int Width, Height, BoxWidth, BoxHeight, StoredWidth, StoredHeight;
    } cases[] = {
        {6000, 4000, 3840, 2160, 3840, 2560},
        {8000, 6000, 3840, 2160, 3840, 2880},
        {4000, 6000, 3840, 2160, 3840, 5760},
        {12000, 2000, 3840, 2160, 12000, 2000},  // too flat to reduce
        {1920, 1080, 3840, 2160, 1920, 1080},
        {3840, 2160, 3840, 2160, 3840, 2160},
        {1000, 1000, 300, 200, 300, 300},
        {7, 5, 3, 2, 3, 3},  // 5 * 3 / 7 rounded up
        {1000, 3, 100, 1, 334, 1},
        {6000, 4000, 0, 2160, 6000, 4000},
        {6000, 4000, 3840, -1, 6000, 4000},
        {0, 4000, 100, 100, 0, 0},
    };
    for (const auto& c : cases) {
        const TStoredSize size = StoredSize(c.Width, c.Height, c.BoxWidth, c.BoxHeight);
        EXPECT_EQ(size.Width, c.StoredWidth)
            << c.Width << "x" << c.Height << " in " << c.BoxWidth << "x" << c.BoxHeight;
        EXPECT_EQ(size.Height, c.StoredHeight)
            << c.Width << "x" << c.Height << " in " << c.BoxWidth << "x" << c.BoxHeight;
    }

    // Any picture and box: the size covers the box (or is the picture's own), keeps the
    // proportions within the rounding up, and one pixel less on the side worked out would not
    // cover the box any more.
    std::mt19937 random(31);
    for (int i = 0; i < 20000; ++i) {
        const int w = 1 + static_cast<int>(random() % 65500), h = 1 + static_cast<int>(random() % 65500);
        const int bw = 1 + static_cast<int>(random() % 8000), bh = 1 + static_cast<int>(random() % 8000);
        const TStoredSize s = StoredSize(w, h, bw, bh);
        SCOPED_TRACE(testing::Message() << w << "x" << h << " in " << bw << "x" << bh);
        ASSERT_TRUE(s.Width <= w && s.Height <= h);
        if (bw >= w || bh >= h) {
            ASSERT_TRUE(s.Width == w && s.Height == h);
            continue;
        }
        ASSERT_TRUE(s.Width >= bw && s.Height >= bh);
        // The other side is the side's share of the box's, rounded up: h * bw / w or w * bh / h.
        const auto roundedUp = [](int64_t side, int64_t exact, int64_t over) {
            return side * over >= exact && (side - 1) * over < exact;
        };
        ASSERT_TRUE((s.Width == bw && roundedUp(s.Height, int64_t{h} * bw, w)) ||
                    (s.Height == bh && roundedUp(s.Width, int64_t{w} * bh, h)));
    }
}

}  // namespace
