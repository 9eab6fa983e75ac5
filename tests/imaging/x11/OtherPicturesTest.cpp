// The PNG, TIFF and WebP decoders, reached by the file's name as the show reaches them: the
// source's pixels at its own size, their area average at smaller ones, upright by every
// orientation, transparency over black, and refusals that neither crash nor write.
#include "imaging/PictureFormats.h"

#include "framework/Bitmap.h"
#include "imaging/Orientation.h"
#include "support/AreaAverage.h"
#include "support/PictureMakers.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// Random colours, opaque unless alpha; or, with levels, only that many grey levels (for grey
// and palette files of low depth).
TArgbPicture Source(int width, int height, uint32_t seed, bool alpha = false, int levels = 0)
{
    std::mt19937 random(seed);
    TArgbPicture picture{width, height, {}};
    for (int i = 0; i < width * height; ++i) {
        uint32_t p = random() & 0xFFFFFFu;
        if (levels > 0) p = (random() % levels) * 255 / (levels - 1) * 0x010101u;
        const uint32_t a = !alpha ? 255 : levels > 0 ? random() % levels * 255 / (levels - 1) : random() % 256;
        picture.Pixels.push_back(p | a << 24);
    }
    return picture;
}

// Opaque gradients, which compress to almost nothing and survive lossy coding.
TArgbPicture Smooth(int width, int height)
{
    TArgbPicture picture{width, height, {}};
    for (int i = 0; i < width * height; ++i)
        picture.Pixels.push_back(0xFF000000u | (i % width) * 255 / width << 8 | (i / width) * 255 / height);
    return picture;
}

std::vector<uint32_t> OverBlack(const TArgbPicture& picture)
{
    std::vector<uint32_t> out;
    for (uint32_t p : picture.Pixels) {
        uint32_t q = 0;
        for (int shift : {0, 8, 16})
            q |= static_cast<uint32_t>(std::lround((p >> shift & 0xFF) * (p >> 24) / 255.0)) << shift;
        out.push_back(q);
    }
    return out;
}

std::vector<uint32_t> BitmapPixels(const TBitmap& bitmap)
{
    std::vector<uint32_t> out;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            const uint8_t* p = bitmap.ScanLine(y) + x * 3;
            out.push_back(uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
        }
    return out;
}

// The picture turned by an orientation, through the bitmap turner.
std::vector<uint32_t> Turned(const std::vector<uint32_t>& pixels, int width, int height, int orientation)
{
    TBitmap bitmap;
    bitmap.SetSize(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                bitmap.ScanLine(y)[x * 3 + c] = static_cast<uint8_t>(pixels[y * width + x] >> (8 * c));
    OrientBitmap(bitmap, orientation);
    return BitmapPixels(bitmap);
}

struct TDecoded {
    bool Opened = false;
    int Width = 0, Height = 0;  // the upright own size
    std::optional<std::vector<uint32_t>> Pixels;
};

// Opens the file by its name and decodes it at width x height (its own size for 0) into rows
// three pixels wider, whose padding must stay untouched; with untouched, every byte must.
TDecoded Decode(const std::string& path, double across = 1, double down = 1, long budget = 0,
                const std::atomic<bool>* cancel = nullptr, bool untouched = false)
{
    TDecoded decoded;
    std::unique_ptr<TPicture> picture = MakePicture(path);
    if (!picture) return decoded;
    if (budget > 0) picture->SetMemoryBudget(budget);
    picture->SetCancel(cancel);
    if (!(decoded.Opened = picture->Open(path))) return decoded;
    decoded.Width = picture->OwnWidth();
    decoded.Height = picture->OwnHeight();
    const int width = std::max(1, static_cast<int>(std::lround(decoded.Width * across)));
    const int height = std::max(1, static_cast<int>(std::lround(decoded.Height * down)));
    const size_t pitch = static_cast<size_t>(width) + 3;
    std::vector<uint32_t> rows(pitch * height, 0xA5A5A5A5u);
    const bool done = picture->DecodeStored(reinterpret_cast<uint8_t*>(rows.data()), pitch * 4, width, height);
    for (size_t i = 0; i < rows.size(); ++i)
        if (untouched || i % pitch >= static_cast<size_t>(width)) {
            EXPECT_EQ(rows[i], 0xA5A5A5A5u) << "at " << i;
        }
    if (!done) return decoded;
    decoded.Pixels.emplace();
    for (size_t y = 0; y < static_cast<size_t>(height); ++y)
        decoded.Pixels->insert(decoded.Pixels->end(), rows.begin() + y * pitch, rows.begin() + y * pitch + width);
    return decoded;
}

// The same through the 24-bit bitmap path, at the own size.
std::vector<uint32_t> DecodeBitmap(const std::string& path)
{
    TBitmap bitmap;
    return LoadPictureIntoBitmap(bitmap, path) ? BitmapPixels(bitmap) : std::vector<uint32_t>{};
}

struct TKind {
    const char* What;
    const char* Extension;
    std::function<std::string(const TArgbPicture&)> Make;
    int Levels = 0;      // the source's grey levels, for low depths
    bool Alpha = false;  // a source with transparency, drawn over black to within 1
    int Tolerance = 1;   // reduced against the double-precision area average
};

const std::vector<TKind>& Encodings()
{
    static const std::vector<TKind> kinds = {
        {"png rgb", ".png", [](auto& p) { return MakePng(p); }},
        {"png rgb 16", ".png", [](auto& p) { return MakePng(p, {.Depth = 16}); }},
        {"png grey 1", ".png", [](auto& p) { return MakePng(p, {.Colour = TPngOptions::Grey, .Depth = 1}); }, 2},
        {"png grey 4", ".PNG", [](auto& p) { return MakePng(p, {.Colour = TPngOptions::Grey, .Depth = 4}); }, 16},
        {"png grey 16", ".png", [](auto& p) { return MakePng(p, {.Colour = TPngOptions::Grey, .Depth = 16}); }, 256},
        {"png palette 2", ".png", [](auto& p) { return MakePng(p, {.Colour = TPngOptions::Palette, .Depth = 2}); }, 4},
        {"png palette 8", ".png", [](auto& p) { return MakePng(p, {.Colour = TPngOptions::Palette}); }, 200},
        {"png interlaced", ".png", [](auto& p) { return MakePng(p, {.Interlaced = true}); }},
        {"png interlaced grey 2", ".png",
         [](auto& p) { return MakePng(p, {.Colour = TPngOptions::Grey, .Depth = 2, .Interlaced = true}); }, 4},
        {"tiff strips", ".tif", [](auto& p) { return MakeTiff(p, {.RowsPerStrip = 3}); }},
        {"tiff deflate strips", ".tiff", [](auto& p) { return MakeTiff(p, {.RowsPerStrip = 7, .Deflate = true}); }},
        {"tiff tiles", ".tif", [](auto& p) { return MakeTiff(p, {.Tile = 16, .Deflate = true}); }},
        {"tiff separate tiles", ".tif", [](auto& p) { return MakeTiff(p, {.Tile = 32, .SeparatePlanes = true}); }},
        {"tiff separate strips 16", ".tif", [](auto& p) { return MakeTiff(p, {.SeparatePlanes = true, .Depth = 16}); }},
        {"tiff grey", ".tif", [](auto& p) { return MakeTiff(p, {.Grey = true}); }, 256},
        // libwebp's own scaling, rounded its own way.
        {"webp lossless", ".webp", [](auto& p) { return MakeWebp(p); }, 0, false, 2},
        {"png rgba", ".png", [](auto& p) { return MakePng(p, {.Alpha = true}); }, 0, true},
        {"png rgba 16", ".png", [](auto& p) { return MakePng(p, {.Depth = 16, .Alpha = true}); }, 0, true},
        {"png grey alpha", ".png", [](auto& p) { return MakePng(p, {.Colour = TPngOptions::Grey, .Alpha = true}); },
         256, true},
        {"png palette tRNS", ".png",
         [](auto& p) { return MakePng(p, {.Colour = TPngOptions::Palette, .Alpha = true}); }, 8, true},
        {"tiff alpha", ".tif", [](auto& p) { return MakeTiff(p, {.Alpha = true}); }, 0, true},
        {"tiff associated alpha", ".tif", [](auto& p) { return MakeTiff(p, {.Alpha = true, .AssociatedAlpha = true}); },
         0, true},
        {"tiff alpha 16 tiles", ".tif", [](auto& p) { return MakeTiff(p, {.Tile = 16, .Alpha = true, .Depth = 16}); },
         0, true},
        {"webp lossless alpha", ".webp", [](auto& p) { return MakeWebp(p); }, 0, true, 2},
    };
    return kinds;
}

class OtherPicturesTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes)
    {
        return Folder.WriteFile(name, bytes).string();
    }
    TempDir Folder;
};

}  // namespace

TEST_F(OtherPicturesTest, OwnSizeGivesTheSourceOverBlackAndSmallerSizesItsAreaAverage)
{
    const std::pair<double, double> parts[] = {{0.5, 0.5}, {0.37, 0.61}, {0.9, 0.2}, {0.02, 0.03}};
    for (const TKind& kind : Encodings()) {
        SCOPED_TRACE(kind.What);
        const TArgbPicture source = Source(45, 37, 7, kind.Alpha, kind.Levels);
        const std::vector<uint32_t> expected = OverBlack(source);
        const std::string path = Write(std::string("p") + kind.Extension, kind.Make(source));
        const TDecoded own = Decode(path);
        ASSERT_TRUE(own.Pixels);
        EXPECT_EQ(own.Width, 45);
        EXPECT_LE(LargestChannelDifference(*own.Pixels, expected), kind.Alpha ? 1 : 0);
        EXPECT_EQ(DecodeBitmap(path), *own.Pixels) << "the 24-bit path";
        for (const auto& [across, down] : parts) {
            const TDecoded reduced = Decode(path, across, down);
            ASSERT_TRUE(reduced.Pixels);
            const int width = std::max(1, int(std::lround(45 * across))),
                      height = std::max(1, int(std::lround(37 * down)));
            EXPECT_LE(LargestChannelDifference(*reduced.Pixels, AreaAverage(expected, 45, 37, width, height)),
                      kind.Tolerance)
                << width << "x" << height;
        }
    }
}

TEST_F(OtherPicturesTest, EveryOrientationLandsUpright)
{
    const TKind kinds[] = {
        {"png eXIf", ".png", {}}, {"tiff tag", ".tif", {}}, {"webp", ".webp", {}}, {"webp Exif header", ".webp", {}}};
    const TArgbPicture source = Source(23, 14, 3);
    for (int orientation = 1; orientation <= 8; ++orientation)
        for (const TKind& kind : kinds) {
            SCOPED_TRACE(testing::Message() << kind.What << ", orientation " << orientation);
            const std::string what = kind.What;
            const std::string bytes =
                what == "png eXIf" ? MakePng(source, {.Orientation = orientation})
                : what == "tiff tag"
                    ? MakeTiff(source, {.Orientation = orientation})
                    : MakeWebp(source, {.Orientation = orientation, .ExifHeader = what == "webp Exif header"});
            const std::string path = Write(std::string("o") + kind.Extension, bytes);
            const std::vector<uint32_t> upright = Turned(OverBlack(source), 23, 14, orientation);
            const TDecoded own = Decode(path);
            ASSERT_TRUE(own.Pixels);
            EXPECT_EQ(own.Width, orientation >= 5 ? 14 : 23);
            EXPECT_EQ(*own.Pixels, upright);
            EXPECT_EQ(DecodeBitmap(path), upright);
            const TDecoded half = Decode(path, 0.5, 0.5);
            ASSERT_TRUE(half.Pixels);
            EXPECT_LE(LargestChannelDifference(*half.Pixels,
                                               AreaAverage(upright, own.Width, own.Height, std::lround(own.Width * 0.5),
                                                           std::lround(own.Height * 0.5))),
                      2);
        }
}

namespace {

// The kinds of file each refusal is tried on.
const std::vector<TKind>& Layouts()
{
    static const std::vector<TKind> kinds = {
        {"png", ".png", [](auto& p) { return MakePng(p); }},
        {"png interlaced", ".png", [](auto& p) { return MakePng(p, {.Interlaced = true}); }},
        {"tiff strips", ".tif", [](auto& p) { return MakeTiff(p, {.Deflate = true}); }},
        {"tiff tiles", ".tif", [](auto& p) { return MakeTiff(p, {.Tile = 16}); }},
        {"webp lossless", ".webp", [](auto& p) { return MakeWebp(p); }},
        {"webp lossy", ".webp", [](auto& p) { return MakeWebp(p, {.Lossless = false}); }},
        {"webp animated", ".webp", [](auto& p) { return MakeWebp(p, {.Animated = true}); }},
    };
    return kinds;
}

void PutBe32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (24 - 8 * i));
}
void PutLe(std::string& s, size_t at, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

// The file with the size its header announces replaced: the PNG's IHDR (its CRC made anew),
// the TIFF's first directory, the lossless WebP's bitstream header.
std::string Announcing(std::string file, const std::string& extension, uint32_t width, uint32_t height)
{
    if (extension == ".png") {
        PutBe32(file, 16, width);
        PutBe32(file, 20, height);
        PutBe32(file, 29, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(file.data() + 12), 17)));
    } else if (extension == ".tif") {
        const size_t directory =
            uint8_t(file[4]) | uint8_t(file[5]) << 8 | uint8_t(file[6]) << 16 | uint8_t(file[7]) << 24;
        const int entries = uint8_t(file[directory]) | uint8_t(file[directory + 1]) << 8;
        for (int i = 0; i < entries; ++i) {
            const size_t entry = directory + 2 + 12 * static_cast<size_t>(i);
            const int tag = uint8_t(file[entry]) | uint8_t(file[entry + 1]) << 8;
            if (tag != 256 && tag != 257) continue;
            PutLe(file, entry + 2, 4, 2);  // LONG
            PutLe(file, entry + 8, tag == 256 ? width : height, 4);
        }
    } else {
        PutLe(file, 21, (width - 1) | (height - 1) << 14 | (uint8_t(file[24]) >> 4 & 0xF) << 28, 4);
    }
    return file;
}

}  // namespace

TEST_F(OtherPicturesTest, DamagedEmptyAndMislabelledFilesFailCleanly)
{
    const TArgbPicture source = Source(40, 30, 5);
    const std::string jpegBytes = "\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0\xFF\xD9";
    std::mt19937 random(99);
    for (const TKind& kind : Layouts()) {
        SCOPED_TRACE(kind.What);
        const std::string good = kind.Make(source);
        ASSERT_TRUE(Decode(Write(std::string("good") + kind.Extension, good)).Pixels);
        EXPECT_FALSE(Decode(Write(std::string("empty") + kind.Extension, "")).Opened);
        EXPECT_FALSE(Decode(Write(std::string("jpeg") + kind.Extension, jpegBytes)).Opened);
        for (const char* other : {".png", ".tif", ".webp"})
            if (other != std::string(kind.Extension)) {
                EXPECT_FALSE(Decode(Write(std::string("other") + other, good)).Opened) << "named " << other;
            }
        for (const size_t cut : {size_t{4}, size_t{20}, good.size() / 2, good.size() * 9 / 10}) {
            const TDecoded cutShort = Decode(Write(std::string("cut") + kind.Extension, good.substr(0, cut)));
            EXPECT_FALSE(cutShort.Pixels) << "cut at " << cut << " of " << good.size();
        }
        // Random damage: whatever the verdict, nothing is written outside the rows.
        for (int round = 0; round < 40; ++round) {
            std::string bad = good;
            for (int i = 0; i < 1 + int(random() % 6); ++i) bad[random() % bad.size()] = static_cast<char>(random());
            Decode(Write(std::string("bad") + kind.Extension, bad), 0.7, 0.4);
        }
    }
}

TEST_F(OtherPicturesTest, AHeaderAnnouncingAHugeSizeIsRefusedAtOpen)
{
    const TArgbPicture source = Source(40, 30, 5);
    const struct {
        const char* Extension;
        std::string File;
        uint32_t Width, Height;
        bool Opens;
    } cases[] = {
        {".png", MakePng(source), 40, 30, true},  // the patching itself keeps a good file good
        {".png", MakePng(source), 60000, 60000, false},
        {".png", MakePng(source), 70000, 30, false},  // past libpng's limit a side
        {".png", MakePng(source), 0x7FFFFFFF, 0x7FFFFFFF, false},
        {".tif", MakeTiff(source), 40, 30, true},
        {".tif", MakeTiff(source), 20000, 20000, false},
        {".tif", MakeTiff(source), 0xFFFFFFFF, 0xFFFFFFFF, false},
        {".webp", MakeWebp(source), 40, 30, true},
        {".webp", MakeWebp(source), 16384, 16384, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Extension << " " << c.Width << "x" << c.Height);
        const TDecoded decoded =
            Decode(Write(std::string("huge") + c.Extension, Announcing(c.File, c.Extension, c.Width, c.Height)));
        EXPECT_EQ(decoded.Opened, c.Opens);
        EXPECT_EQ(decoded.Pixels.has_value(), c.Opens);
    }
}

TEST_F(OtherPicturesTest, ACallerThatGivesUpStopsTheDecodingBeforeItWrites)
{
    const TArgbPicture source = Source(64, 48, 8);
    for (const TKind& kind : Layouts())
        for (const bool givenUp : {false, true}) {
            SCOPED_TRACE(testing::Message() << kind.What << (givenUp ? ", given up" : ", going on"));
            const std::atomic<bool> cancel{givenUp};
            const std::string path = Write(std::string("c") + kind.Extension, kind.Make(source));
            EXPECT_EQ(Decode(path, 0.5, 0.5, 0, &cancel, givenUp).Pixels.has_value(), !givenUp);
        }
}

TEST_F(OtherPicturesTest, WhatIsHeldBesideTheTargetStaysWithinTheBudget)
{
    // 64 x 48: the whole picture is 12 KB at four bytes a pixel.
    const TArgbPicture smooth = Smooth(64, 48);
    const struct {
        const char* What;
        const char* Extension;
        std::string File;
        bool Fits;
    } cases[] = {
        {"png, a row at a time", ".png", MakePng(smooth), true},
        {"png interlaced, whole", ".png", MakePng(smooth, {.Interlaced = true}), false},
        {"tiff, strips of 4 rows", ".tif", MakeTiff(smooth, {.RowsPerStrip = 4}), true},
        {"tiff, one strip", ".tif", MakeTiff(smooth, {.RowsPerStrip = 48}), false},
        {"tiff, compressed tiles of 16", ".tif", MakeTiff(smooth, {.Tile = 16, .Deflate = true}), true},
        {"tiff, uncompressed tiles, the file read whole", ".tif", MakeTiff(smooth, {.Tile = 16}), false},
        {"webp, straight into the target", ".webp", MakeWebp(smooth), true},
        {"webp turned, through a buffer", ".webp", MakeWebp(smooth, {.Orientation = 6}), false},
        {"webp animated, two canvases", ".webp", MakeWebp(smooth, {.Animated = true}), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string path = Write(std::string("b") + c.Extension, c.File);
        EXPECT_EQ(Decode(path, 1, 1, 8 << 10).Pixels.has_value(), c.Fits);
        EXPECT_TRUE(Decode(path).Pixels) << "within the default budget";
    }
}

TEST_F(OtherPicturesTest, AnAnimatedWebpShowsItsFirstFrame)
{
    // The second frame has the first one's colours inverted.
    for (const bool lossless : {true, false}) {
        SCOPED_TRACE(lossless ? "lossless" : "lossy");
        const TArgbPicture source = lossless ? Source(30, 20, 4, true) : Smooth(30, 20);
        TArgbPicture second = source;
        for (uint32_t& p : second.Pixels) p ^= 0x00FFFFFFu;
        const TDecoded own = Decode(Write("anim.webp", MakeWebp(source, {.Lossless = lossless, .Animated = true})));
        ASSERT_TRUE(own.Pixels);
        const auto distance = [&](const TArgbPicture& frame) {
            const std::vector<uint32_t> expected = OverBlack(frame);
            long sum = 0;
            for (size_t i = 0; i < expected.size(); ++i)
                for (int shift : {0, 8, 16})
                    sum += std::abs(int((*own.Pixels)[i] >> shift & 0xFF) - int(expected[i] >> shift & 0xFF));
            return sum;
        };
        if (lossless) {
            EXPECT_LE(LargestChannelDifference(*own.Pixels, OverBlack(source)), 1);
        }
        EXPECT_LT(distance(source) * 4, distance(second));
    }
}
