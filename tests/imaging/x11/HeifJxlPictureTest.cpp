// The HEIF and JPEG XL decoders against pictures the encoders make from a picture of the
// test's own: decoded close to it (exactly when lossless), upright, over black, at their own
// size and reduced; and damaged, mislabelled or too large files refused cleanly.
#include "imaging/PictureFormats.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <jxl/encode.h>
#include <libheif/heif.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int Width = 96, Height = 64;

// Red runs along x, green along y, so that a turned or mirrored picture is far off.
uint8_t Channel(int x, int y, int c)
{
    const int value[] = {x * 255 / (Width - 1), y * 255 / (Height - 1), (x + y) * 255 / (Width + Height - 2),
                         60 + x * 195 / (Width - 1)};
    return static_cast<uint8_t>(value[c]);
}

std::string Chunk(const char* type, const std::string& data)
{
    auto be = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    const std::string body = type + data;
    return be(static_cast<uint32_t>(data.size())) + body +
           be(static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

// The test picture as a PNG of 8 or 16 bits a channel, with or without its alpha ramp.
std::string Png(int depth, bool alpha)
{
    std::string rows;
    for (int y = 0; y < Height; ++y) {
        rows += '\0';
        for (int x = 0; x < Width; ++x)
            for (int c = 0; c < (alpha ? 4 : 3); ++c) rows.append(depth / 8, static_cast<char>(Channel(x, y, c)));
    }
    std::string packed(compressBound(rows.size()), '\0');
    uLongf size = packed.size();
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(rows.data()), rows.size());
    packed.resize(size);
    const std::string header{0, 0, 0, char(Width), 0, 0, 0, char(Height), char(depth), char(alpha ? 6 : 2), 0, 0, 0};
    return "\x89PNG\r\n\x1a\n" + Chunk("IHDR", header) + Chunk("IDAT", packed) + Chunk("IEND", "");
}

std::string JpegTurned6()
{
    TRgbPicture picture(Width, Height);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) picture.At(x, y) = {Channel(x, y, 0), Channel(x, y, 1), Channel(x, y, 2)};
    return MakeJpeg(picture, {.Quality = 95, .Orientation = 6});
}

// libheif's own encoder, which writes a rotation for orientation 6 where its command does not.
bool HeifTurned6(const std::string& path)
{
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* image = nullptr;
    heif_encoding_options* options = heif_encoding_options_alloc();
    bool written =
        heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code == 0 &&
        heif_image_create(Width, Height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image).code == 0 &&
        heif_image_add_plane(image, heif_channel_interleaved, Width, Height, 8).code == 0;
    if (written) {
        int stride = 0;
        uint8_t* pixels = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width * 3; ++x) pixels[y * stride + x] = Channel(x / 3, y, x % 3);
        heif_encoder_set_lossy_quality(encoder, 90);
        options->image_orientation = heif_orientation_rotate_90_cw;
        written = heif_context_encode_image(context, image, encoder, options, nullptr).code == 0 &&
                  heif_context_write_to_file(context, path.c_str()).code == 0;
    }
    heif_encoding_options_free(options);
    if (image) heif_image_release(image);
    if (encoder) heif_encoder_release(encoder);
    heif_context_free(context);
    return written;
}

// libjxl's own encoder, lossless, with orientation 6 in the codestream, which cjxl cannot write.
bool JxlTurned6(const std::string& path)
{
    JxlEncoder* encoder = JxlEncoderCreate(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = Width;
    info.ysize = Height;
    info.bits_per_sample = 8;
    info.uses_original_profile = JXL_TRUE;
    info.orientation = JXL_ORIENT_ROTATE_90_CW;
    JxlColorEncoding colour;
    JxlColorEncodingSetToSRGB(&colour, JXL_FALSE);
    std::vector<uint8_t> pixels;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width * 3; ++x) pixels.push_back(Channel(x / 3, y, x % 3));
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
    bool written = JxlEncoderSetBasicInfo(encoder, &info) == JXL_ENC_SUCCESS &&
                   JxlEncoderSetColorEncoding(encoder, &colour) == JXL_ENC_SUCCESS &&
                   JxlEncoderSetFrameLossless(settings, JXL_TRUE) == JXL_ENC_SUCCESS &&
                   JxlEncoderAddImageFrame(settings, &format, pixels.data(), pixels.size()) == JXL_ENC_SUCCESS;
    JxlEncoderCloseInput(encoder);
    std::string file(1 << 16, '\0');
    uint8_t* next = reinterpret_cast<uint8_t*>(file.data());
    size_t room = file.size();
    written = written && JxlEncoderProcessOutput(encoder, &next, &room) == JXL_ENC_SUCCESS;
    JxlEncoderDestroy(encoder);
    file.resize(file.size() - room);
    std::ofstream(path, std::ios::binary) << file;
    return written;
}

bool Have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) == 0; }

enum class TSource { Png8, Png16, JpegExif6, HeifApi, JxlApi };

// Encodes the test picture from the source into a file named name, the command's IN and OUT
// standing for the files; false on any failure.
bool Make(TempDir& dir, const std::string& name, const std::string& command, TSource source, bool alpha)
{
    const std::string path = (dir.Path() / name).string();
    if (source == TSource::HeifApi) return HeifTurned6(path);
    if (source == TSource::JxlApi) return JxlTurned6(path);
    const std::string input = source == TSource::JpegExif6
                                  ? dir.WriteFile("in.jpg", JpegTurned6()).string()
                                  : dir.WriteFile("in.png", Png(source == TSource::Png16 ? 16 : 8, alpha)).string();
    std::string line = command;
    const size_t in = line.find("IN"), out = line.find("OUT");
    // The later one first, so that the earlier one's place holds.
    if (in > out) line.replace(in, 2, "'" + input + "'");
    line.replace(out, 3, "'" + path + "'");
    if (in < out) line.replace(in, 2, "'" + input + "'");
    return std::system((line + " >/dev/null 2>&1").c_str()) == 0;
}

// The picture the decoder must give: upright (orientation 1 or 6), over black, reduced by an
// integer factor by plain averaging; channel c of pixel (x, y).
double Expected(int x, int y, int c, int orientation, bool alpha, int factor)
{
    double sum = 0;
    for (int dy = 0; dy < factor; ++dy)
        for (int dx = 0; dx < factor; ++dx) {
            const int ux = x * factor + dx, uy = y * factor + dy;
            // Orientation 6: the stored picture's left column is the upright top row.
            const int sx = orientation == 6 ? uy : ux, sy = orientation == 6 ? Height - 1 - ux : uy;
            sum += alpha ? std::round(Channel(sx, sy, c) * Channel(sx, sy, 3) / 255.0) : Channel(sx, sy, c);
        }
    return sum / (factor * factor);
}

struct TDecoded {
    bool Ok = false;
    int OwnWidth = 0, OwnHeight = 0;
    std::vector<uint32_t> Pixels;
};

// Opens through the name's decoder and decodes at the own size divided by factor.
TDecoded Decode(const std::string& path, int factor = 1, long budget = 0, bool cancel = false)
{
    TDecoded result;
    std::unique_ptr<TPicture> picture = MakePicture(path);
    std::atomic<bool> cancelled{cancel};
    if (!picture) return result;
    if (budget > 0) picture->SetMemoryBudget(budget);
    picture->SetCancel(&cancelled);
    if (!picture->Open(path)) return result;
    result.OwnWidth = picture->OwnWidth();
    result.OwnHeight = picture->OwnHeight();
    const int width = result.OwnWidth / factor, height = result.OwnHeight / factor;
    result.Pixels.assign(static_cast<size_t>(width) * height, 0xDEADBEEF);
    result.Ok = picture->DecodeStored(reinterpret_cast<uint8_t*>(result.Pixels.data()), width * 4, width, height);
    return result;
}

struct TCase {
    const char* Name;
    const char* Tool;
    std::string Command;
    TSource Source;
    bool Alpha;
    int Orientation;  // of the decoded picture against the source picture
    double MinPsnr;   // 0: lossless, within 1 of the source everywhere
};

std::vector<TCase> Cases()
{
    return {
        {"pic.heic", "heif-enc", "heif-enc -q 90 -o OUT IN", TSource::Png8, false, 1, 32},
        {"pic.avif", "heif-enc", "heif-enc -A -q 90 -o OUT IN", TSource::Png8, false, 1, 32},
        {"deep.heic", "heif-enc", "heif-enc -q 90 -b 10 -o OUT IN", TSource::Png16, false, 1, 32},
        {"alpha.heic", "heif-enc", "heif-enc -q 90 -o OUT IN", TSource::Png8, true, 1, 30},
        {"alpha.avif", "heif-enc", "heif-enc -A -q 90 -o OUT IN", TSource::Png8, true, 1, 30},
        // heif-enc copies the JPEG's EXIF orientation but writes no rotation: the HEIF rules
        // have the picture shown as stored, and the EXIF tag must not turn it.
        {"exif6.heic", "heif-enc", "heif-enc -q 90 -o OUT IN", TSource::JpegExif6, false, 1, 30},
        {"rotated.heic", "", "", TSource::HeifApi, false, 6, 30},
        {"lossless.jxl", "cjxl", "cjxl -d 0 IN OUT", TSource::Png8, false, 1, 0},
        {"lossless-alpha.jxl", "cjxl", "cjxl -d 0 IN OUT", TSource::Png8, true, 1, 0},
        {"lossy.jxl", "cjxl", "cjxl -d 1 IN OUT", TSource::Png8, false, 1, 32},
        // cjxl turns a JPEG's EXIF orientation into its own; libjxl's encoder writes one.
        {"exif6.jxl", "cjxl", "cjxl IN OUT", TSource::JpegExif6, false, 6, 30},
        {"rotated.jxl", "", "", TSource::JxlApi, false, 6, 0},
    };
}

TEST(HeifJxlPictureTest, DecodesUprightCloseToTheSourceAtOwnSizeAndReduced)
{
    TempDir dir;
    for (const TCase& test : Cases()) {
        SCOPED_TRACE(test.Name);
        if (*test.Tool != '\0' && !Have(test.Tool)) GTEST_SKIP() << test.Tool << " is not installed";
        ASSERT_TRUE(Make(dir, test.Name, test.Command, test.Source, test.Alpha));
        for (const int factor : {1, 2}) {
            SCOPED_TRACE(factor);
            const TDecoded decoded = Decode((dir.Path() / test.Name).string(), factor);
            ASSERT_TRUE(decoded.Ok);
            const bool turned = test.Orientation == 6;
            EXPECT_EQ(decoded.OwnWidth, turned ? Height : Width);
            EXPECT_EQ(decoded.OwnHeight, turned ? Width : Height);
            const int width = decoded.OwnWidth / factor, height = decoded.OwnHeight / factor;
            double squares = 0, worst = 0;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const uint32_t pixel = decoded.Pixels[static_cast<size_t>(y) * width + x];
                    ASSERT_EQ(pixel >> 24, 0u);
                    for (int c = 0; c < 3; ++c) {
                        const double error = double(pixel >> (16 - 8 * c) & 0xFF) -
                                             Expected(x, y, c, test.Orientation, test.Alpha, factor);
                        squares += error * error;
                        worst = std::max(worst, std::abs(error));
                    }
                }
            if (test.MinPsnr == 0)
                EXPECT_LE(worst, factor == 1 ? 0.0 : 1.0);
            else
                EXPECT_GE(10 * std::log10(255.0 * 255.0 * width * height * 3 / std::max(squares, 1e-9)), test.MinPsnr);
        }
    }
}

TEST(HeifJxlPictureTest, RefusesDamagedMislabelledAndTooLargeFilesCleanly)
{
    if (!Have("heif-enc") || !Have("cjxl")) GTEST_SKIP() << "heif-enc and cjxl make the pictures";
    TempDir dir;
    ASSERT_TRUE(Make(dir, "good.heic", "heif-enc -q 50 -o OUT IN", TSource::Png8, false));
    ASSERT_TRUE(Make(dir, "good.avif", "heif-enc -A -q 50 -o OUT IN", TSource::Png8, false));
    ASSERT_TRUE(Make(dir, "good.jxl", "cjxl -d 1 IN OUT", TSource::Png8, false));
    auto bytes = [&](const char* name) {
        std::ifstream in(dir.Path() / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string heic = bytes("good.heic"), avif = bytes("good.avif"), jxl = bytes("good.jxl");
    struct TBad {
        const char* Name;
        std::string Bytes;
        bool RefusedAtOpen;
    };
    const TBad bad[] = {
        {"empty.heic", "", true},
        {"empty.jxl", "", true},
        {"png.heic", Png(8, false), true},
        {"png.jxl", Png(8, false), true},
        {"jxl.heic", jxl, true},
        {"heic.jxl", heic, true},
        {"half.heic", heic.substr(0, heic.size() / 2), false},
        {"half.avif", avif.substr(0, avif.size() / 2), false},
        {"half.jxl", jxl.substr(0, jxl.size() / 2), false},
        {"head.heic", heic.substr(0, 40), false},
        {"head.jxl", jxl.substr(0, 12), false},
    };
    for (const TBad& test : bad) {
        SCOPED_TRACE(test.Name);
        std::unique_ptr<TPicture> picture = MakePicture(test.Name);
        ASSERT_TRUE(picture);
        const std::string path = dir.WriteFile(test.Name, test.Bytes).string();
        if (test.RefusedAtOpen) {
            EXPECT_FALSE(picture->Open(path));
        }
        EXPECT_FALSE(Decode(path).Ok);
    }
    // Within a budget the picture fits: decoded; below its four bytes a pixel: refused. The
    // same for a caller that gave up before the decoding.
    for (const char* name : {"good.heic", "good.avif", "good.jxl"}) {
        SCOPED_TRACE(name);
        const std::string path = (dir.Path() / name).string();
        EXPECT_TRUE(Decode(path, 1, Width * Height * 4 + 100000).Ok);
        EXPECT_FALSE(Decode(path, 1, Width * Height * 3).Ok);
        EXPECT_FALSE(Decode(path, 2, 0, true).Ok);
    }
}

}  // namespace
