#include "support/PictureMakers.h"

#include "support/JpegMaker.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <map>
#include <stdexcept>

#include <png.h>
#include <tiffio.h>
#include <webp/encode.h>
#include <webp/mux.h>

namespace {

uint8_t Channel(uint32_t pixel, int shift) { return static_cast<uint8_t>(pixel >> shift); }

extern "C" {
[[noreturn]] static void PngFail(png_structp png, png_const_charp)
{
    std::longjmp(*static_cast<std::jmp_buf*>(png_get_error_ptr(png)), 1);
}
static void PngQuiet(png_structp, png_const_charp) {}
static void PngAppend(png_structp png, png_bytep data, size_t size)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), size);
}
static void PngFlush(png_structp) {}
}

// One row of samples as the file stores them, packed for depths under 8.
std::vector<png_byte> PngRow(const TArgbPicture& picture, int y, const TPngOptions& options,
                             const std::map<uint32_t, int>& palette)
{
    std::vector<png_byte> row;
    std::vector<unsigned> samples;
    for (int x = 0; x < picture.Width; ++x) {
        const uint32_t p = picture.Pixels[static_cast<size_t>(y) * picture.Width + x];
        if (options.Colour == TPngOptions::Palette)
            samples.push_back(static_cast<unsigned>(palette.at(p)));
        else if (options.Colour == TPngOptions::Grey)
            samples.push_back(Channel(p, 8) >> (8 - std::min(options.Depth, 8)));
        else
            for (int shift : {16, 8, 0}) samples.push_back(Channel(p, shift));
        if (options.Alpha && options.Colour != TPngOptions::Palette) samples.push_back(Channel(p, 24));
    }
    if (options.Depth == 16) {
        // Low bytes that rounding to 8 bits drops, unless the sample is 255.
        for (size_t i = 0; i < samples.size(); ++i) {
            const unsigned wide = samples[i] * 257 + (samples[i] == 255 ? 0 : i % 120);
            row.push_back(static_cast<png_byte>(wide >> 8));
            row.push_back(static_cast<png_byte>(wide));
        }
    } else if (options.Depth == 8) {
        row.assign(samples.begin(), samples.end());
    } else {
        row.assign((samples.size() * options.Depth + 7) / 8, 0);
        for (size_t i = 0; i < samples.size(); ++i)
            row[i * options.Depth / 8] |=
                static_cast<png_byte>(samples[i] << (8 - options.Depth - i * options.Depth % 8));
    }
    return row;
}

bool WritePng(png_structp png, png_infop info, std::jmp_buf& jump, const TArgbPicture& picture,
              const TPngOptions& options, const std::vector<std::vector<png_byte>>& rows,
              const std::vector<png_color>& colours, const std::vector<png_byte>& alphas, const std::string& exif)
{
    if (setjmp(jump)) return false;
    const int type = options.Colour == TPngOptions::Palette ? PNG_COLOR_TYPE_PALETTE
                     : options.Colour == TPngOptions::Grey  ? (options.Alpha ? PNG_COLOR_TYPE_GA : PNG_COLOR_TYPE_GRAY)
                     : options.Alpha                        ? PNG_COLOR_TYPE_RGBA
                                                            : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.Width), static_cast<png_uint_32>(picture.Height),
                 options.Depth, type, options.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!colours.empty()) png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
    if (options.Alpha && !alphas.empty())
        png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
    if (!exif.empty())
        png_set_eXIf_1(png, info, static_cast<png_uint_32>(exif.size()),
                       reinterpret_cast<png_bytep>(const_cast<char*>(exif.data())));
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (const auto& row : rows) png_write_row(png, row.data());
    png_write_end(png, info);
    return true;
}

}  // namespace

std::string MakePng(const TArgbPicture& picture, const TPngOptions& options)
{
    std::map<uint32_t, int> palette;
    std::vector<png_color> colours;
    std::vector<png_byte> alphas;
    if (options.Colour == TPngOptions::Palette)
        for (uint32_t p : picture.Pixels)
            if (palette.emplace(p, static_cast<int>(colours.size())).second) {
                colours.push_back({Channel(p, 16), Channel(p, 8), Channel(p, 0)});
                alphas.push_back(Channel(p, 24));
            }
    std::vector<std::vector<png_byte>> rows;
    for (int y = 0; y < picture.Height; ++y) rows.push_back(PngRow(picture, y, options, palette));
    // libpng keeps the chunk's TIFF structure without the "Exif\0\0" a JPEG's block has.
    const std::string exif = options.Orientation > 0 ? ExifBlock(options.Orientation).substr(6) : "";

    std::string out;
    std::jmp_buf jump;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &jump, PngFail, PngQuiet);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, PngAppend, PngFlush);
    const bool written = WritePng(png, info, jump, picture, options, rows, colours, alphas, exif);
    png_destroy_write_struct(&png, &info);
    if (!written) throw std::runtime_error("libpng refused the picture");
    return out;
}

namespace {

// The TIFF file in memory, for libtiff's client interface.
struct TMemoryFile {
    std::string Bytes;
    size_t At = 0;
};

extern "C" {
static tmsize_t MemoryRead(thandle_t handle, void* buffer, tmsize_t size)
{
    auto* file = static_cast<TMemoryFile*>(handle);
    const size_t n = std::min(static_cast<size_t>(size), file->Bytes.size() - std::min(file->At, file->Bytes.size()));
    std::memcpy(buffer, file->Bytes.data() + file->At, n);
    file->At += n;
    return static_cast<tmsize_t>(n);
}
static tmsize_t MemoryWrite(thandle_t handle, void* buffer, tmsize_t size)
{
    auto* file = static_cast<TMemoryFile*>(handle);
    if (file->Bytes.size() < file->At + static_cast<size_t>(size)) file->Bytes.resize(file->At + size);
    std::memcpy(file->Bytes.data() + file->At, buffer, static_cast<size_t>(size));
    file->At += static_cast<size_t>(size);
    return size;
}
static toff_t MemorySeek(thandle_t handle, toff_t offset, int whence)
{
    auto* file = static_cast<TMemoryFile*>(handle);
    const toff_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file->At : file->Bytes.size();
    file->At = static_cast<size_t>(base + offset);
    return file->At;
}
static int MemoryClose(thandle_t) { return 0; }
static toff_t MemorySize(thandle_t handle) { return static_cast<TMemoryFile*>(handle)->Bytes.size(); }
static int NoMap(thandle_t, void**, toff_t*) { return 0; }
static void NoUnmap(thandle_t, void*, toff_t) {}
}

}  // namespace

std::string MakeTiff(const TArgbPicture& picture, const TTiffOptions& options)
{
    TMemoryFile file;
    TIFF* tiff = TIFFClientOpen("test", "w", &file, MemoryRead, MemoryWrite, MemorySeek, MemoryClose, MemorySize, NoMap,
                                NoUnmap);
    if (tiff == nullptr) throw std::runtime_error("libtiff cannot write");
    const int colours = options.Grey ? 1 : 3, samples = colours + (options.Alpha ? 1 : 0);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(picture.Width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(picture.Height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, options.Depth);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, options.Grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, options.SeparatePlanes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, options.Deflate ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_NONE);
    if (options.Alpha) {
        const uint16_t extra = options.AssociatedAlpha ? EXTRASAMPLE_ASSOCALPHA : EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (options.Orientation > 0) TIFFSetField(tiff, TIFFTAG_ORIENTATION, options.Orientation);
    if (options.Tile > 0) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, options.Tile);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, options.Tile);
    } else
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, options.RowsPerStrip);

    // Each plane (or all samples together) as a whole picture, then cut into strips or tiles.
    const int planes = options.SeparatePlanes ? samples : 1, perPlane = samples / planes;
    const int bytes = options.Depth / 8;
    const auto sample = [&](int x, int y, int s) -> unsigned {
        const uint32_t p = picture.Pixels[static_cast<size_t>(y) * picture.Width + x];
        const unsigned alpha = Channel(p, 24);
        unsigned v = s == colours ? alpha : options.Grey ? Channel(p, 8) : Channel(p, 16 - 8 * s);
        if (s < colours && options.AssociatedAlpha) v = (v * alpha + 127) / 255;
        return v * (bytes == 2 ? 257 : 1);
    };
    for (int plane = 0; plane < planes; ++plane) {
        const int step = options.Tile > 0 ? options.Tile : options.RowsPerStrip;
        const int across = options.Tile > 0 ? options.Tile : picture.Width;
        for (int top = 0; top < picture.Height; top += step)
            for (int left = 0; left < picture.Width; left += across) {
                std::vector<uint8_t> block;
                const int rows = options.Tile > 0 ? step : std::min(step, picture.Height - top);
                for (int y = top; y < top + rows; ++y)
                    for (int x = left; x < left + across; ++x)
                        for (int s = plane * perPlane; s < (plane + 1) * perPlane; ++s) {
                            // Tiles past the picture's edge are padded.
                            const unsigned v = x < picture.Width && y < picture.Height ? sample(x, y, s) : 0;
                            for (int b = bytes - 1; b >= 0; --b) block.push_back(static_cast<uint8_t>(v >> (8 * b)));
                        }
                if (bytes == 2) TIFFSwabArrayOfShort(reinterpret_cast<uint16_t*>(block.data()), block.size() / 2);
                const bool written = options.Tile > 0
                                         ? TIFFWriteEncodedTile(tiff, TIFFComputeTile(tiff, left, top, 0, plane),
                                                                block.data(), static_cast<tmsize_t>(block.size())) >= 0
                                         : TIFFWriteEncodedStrip(tiff, TIFFComputeStrip(tiff, top, plane), block.data(),
                                                                 static_cast<tmsize_t>(block.size())) >= 0;
                if (!written) {
                    TIFFClose(tiff);
                    throw std::runtime_error("libtiff refused a strip or tile");
                }
            }
    }
    TIFFClose(tiff);
    return file.Bytes;
}

namespace {

struct TWebpBytes {
    uint8_t* Data = nullptr;
    size_t Size = 0;
    ~TWebpBytes() { WebPFree(Data); }
};

std::string WebpStill(const TArgbPicture& picture, bool lossless)
{
    TWebpBytes out;
    const auto* bgra = reinterpret_cast<const uint8_t*>(picture.Pixels.data());
    out.Size = lossless ? WebPEncodeLosslessBGRA(bgra, picture.Width, picture.Height, picture.Width * 4, &out.Data)
                        : WebPEncodeBGRA(bgra, picture.Width, picture.Height, picture.Width * 4, 90, &out.Data);
    if (out.Size == 0) throw std::runtime_error("libwebp refused the picture");
    return std::string(reinterpret_cast<const char*>(out.Data), out.Size);
}

std::string WebpAnimation(const TArgbPicture& picture, bool lossless)
{
    WebPAnimEncoderOptions options;
    WebPConfig config;
    WebPPicture frame;
    if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config) || !WebPPictureInit(&frame))
        throw std::runtime_error("libwebp version");
    config.lossless = lossless;
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(picture.Width, picture.Height, &options);
    frame.width = picture.Width;
    frame.height = picture.Height;
    frame.use_argb = 1;
    TArgbPicture inverted = picture;
    for (uint32_t& p : inverted.Pixels) p ^= 0x00FFFFFFu;
    bool ok = encoder != nullptr;
    int time = 0;
    for (const TArgbPicture* one : {&picture, static_cast<const TArgbPicture*>(&inverted)}) {
        ok = ok &&
             WebPPictureImportBGRA(&frame, reinterpret_cast<const uint8_t*>(one->Pixels.data()), one->Width * 4) &&
             WebPAnimEncoderAdd(encoder, &frame, time, &config);
        time += 100;
    }
    WebPData data{};
    ok = ok && WebPAnimEncoderAdd(encoder, nullptr, time, nullptr) && WebPAnimEncoderAssemble(encoder, &data);
    std::string bytes(reinterpret_cast<const char*>(data.bytes), data.size);
    WebPDataClear(&data);
    WebPPictureFree(&frame);
    WebPAnimEncoderDelete(encoder);
    if (!ok) throw std::runtime_error("libwebp refused the animation");
    return bytes;
}

}  // namespace

std::string MakeWebp(const TArgbPicture& picture, const TWebpOptions& options)
{
    std::string bytes =
        options.Animated ? WebpAnimation(picture, options.Lossless) : WebpStill(picture, options.Lossless);
    if (options.Orientation == 0) return bytes;
    const std::string exif = ExifBlock(options.Orientation).substr(options.ExifHeader ? 0 : 6);
    const WebPData input{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
    WebPMux* mux = WebPMuxCreate(&input, 1);
    const WebPData chunk{reinterpret_cast<const uint8_t*>(exif.data()), exif.size()};
    WebPData out{};
    const bool ok = mux != nullptr && WebPMuxSetChunk(mux, "EXIF", &chunk, 1) == WEBP_MUX_OK &&
                    WebPMuxAssemble(mux, &out) == WEBP_MUX_OK;
    WebPMuxDelete(mux);
    if (!ok) throw std::runtime_error("libwebp's muxer refused the EXIF chunk");
    bytes.assign(reinterpret_cast<const char*>(out.bytes), out.size);
    WebPDataClear(&out);
    return bytes;
}
