#include "support/JpegMaker.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>

namespace {

struct TErrorJump {
    jpeg_error_mgr Public;
    std::jmp_buf Jump;
};

extern "C" {
static void CompressError(j_common_ptr info) { std::longjmp(reinterpret_cast<TErrorJump*>(info->err)->Jump, 1); }
static void CompressMessage(j_common_ptr, int) {}
}

void PutU16(std::string& out, unsigned value, bool bigEndian)
{
    const char hi = static_cast<char>(value >> 8), lo = static_cast<char>(value & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
}

void PutU32(std::string& out, uint32_t value, bool bigEndian)
{
    PutU16(out, bigEndian ? value >> 16 : value & 0xFFFF, bigEndian);
    PutU16(out, bigEndian ? value & 0xFFFF : value >> 16, bigEndian);
}

// One row of input samples in the colour space the compressor is given.
void ConvertRow(const TRgbPicture& picture, int y, TJpegColour colour, std::vector<JSAMPLE>& row)
{
    for (int x = 0; x < picture.Width; ++x) {
        const TRgb p = picture.At(x, y);
        switch (colour) {
        case TJpegColour::YCbCr:
            row[x * 3] = p.R;
            row[x * 3 + 1] = p.G;
            row[x * 3 + 2] = p.B;
            break;
        case TJpegColour::Grayscale:
            row[x] = static_cast<JSAMPLE>((p.R * 299 + p.G * 587 + p.B * 114 + 500) / 1000);
            break;
        default: {
            // Black ink where all three channels share darkness, the rest in colour ink.
            const int k = 255 - std::max({p.R, p.G, p.B});
            const int light = 255 - k;
            auto ink = [&](int channel) { return light == 0 ? 0 : 255 - (channel * 255 + light / 2) / light; };
            int values[4] = {ink(p.R), ink(p.G), ink(p.B), k};
            for (int i = 0; i < 4; ++i) {
                const int v = colour == TJpegColour::Cmyk ? values[i] : 255 - values[i];
                row[x * 4 + i] = static_cast<JSAMPLE>(v);
            }
            break;
        }
        }
    }
}

// A valid progressive script of exactly scans scans for one component. The encoder refuses a
// scan repeated as it stands, so the count comes from splitting the 63 AC coefficients into
// bands and sending each band's bits one scan at a time (at most 10 bits held back).
std::vector<jpeg_scan_info> ScanScript(int scans)
{
    constexpr int Coefficients = 63, MaxShift = 10;
    if (scans < 2 || scans > 1 + Coefficients * (MaxShift + 1))
        throw std::invalid_argument("no progressive script of that many scans");
    std::vector<jpeg_scan_info> script;
    script.push_back(jpeg_scan_info{1, {0}, 0, 0, 0, 0});
    const int acScans = scans - 1;
    const int bands = std::min(acScans, Coefficients);
    const int refinements = acScans - bands;
    int first = 1;
    for (int band = 0; band < bands; ++band) {
        const int last = first + (Coefficients - first + 1) / (bands - band) - 1;
        const int shift = refinements / bands + (band < refinements % bands ? 1 : 0);
        script.push_back(jpeg_scan_info{1, {0}, first, last, 0, shift});
        for (int bit = shift; bit > 0; --bit) script.push_back(jpeg_scan_info{1, {0}, first, last, bit, bit - 1});
        first = last + 1;
    }
    return script;
}

using TRowWriter = std::function<void(int y, std::vector<JSAMPLE>& row)>;

bool Compress(jpeg_compress_struct& info, TErrorJump& error, int width, int height, const TRowWriter& writeRow,
              const TJpegOptions& options, unsigned char** buffer, unsigned long* size, std::vector<JSAMPLE>& row,
              const std::string& exif, const std::vector<jpeg_scan_info>& script)
{
    if (setjmp(error.Jump)) return false;
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    switch (options.Colour) {
    case TJpegColour::YCbCr: info.input_components = 3, info.in_color_space = JCS_RGB; break;
    case TJpegColour::Grayscale: info.input_components = 1, info.in_color_space = JCS_GRAYSCALE; break;
    default: info.input_components = 4, info.in_color_space = JCS_CMYK; break;
    }
    jpeg_set_defaults(&info);
    if (options.Colour == TJpegColour::Ycck) jpeg_set_colorspace(&info, JCS_YCCK);
    // libjpeg marks every CMYK file as Adobe's; the plain form must go without.
    if (options.Colour == TJpegColour::Cmyk) info.write_Adobe_marker = FALSE;
    jpeg_set_quality(&info, options.Quality, TRUE);
    const int chroma = options.Subsample420 ? 2 : 1;
    for (int i = 0; i < info.num_components; ++i) {
        const bool luma = i == 0 || (options.Colour == TJpegColour::Ycck && i == 3);
        info.comp_info[i].h_samp_factor = luma ? chroma : 1;
        info.comp_info[i].v_samp_factor = luma ? chroma : 1;
    }
    if (options.Colour == TJpegColour::Cmyk || options.Colour == TJpegColour::AdobeCmyk)
        for (int i = 0; i < info.num_components; ++i)
            info.comp_info[i].h_samp_factor = info.comp_info[i].v_samp_factor = 1;
    info.arith_code = options.Arithmetic ? TRUE : FALSE;
    info.restart_in_rows = options.RestartRows;
    if (options.Progressive) jpeg_simple_progression(&info);
    if (!script.empty()) {
        info.scan_info = script.data();
        info.num_scans = static_cast<int>(script.size());
    }
    jpeg_start_compress(&info, TRUE);
    if (!exif.empty())
        jpeg_write_marker(&info, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.data()),
                          static_cast<unsigned>(exif.size()));
    while (info.next_scanline < info.image_height) {
        writeRow(static_cast<int>(info.next_scanline), row);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

}  // namespace

TRgbPicture::TRgbPicture(int width, int height, TRgb fill)
    : Width(width), Height(height), Pixels(static_cast<size_t>(width) * height, fill)
{
}

TRgbPicture QuadrantPicture(int width, int height, TRgb topLeft, TRgb topRight, TRgb bottomLeft, TRgb bottomRight)
{
    TRgbPicture picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            picture.At(x, y) = bottom ? (right ? bottomRight : bottomLeft) : (right ? topRight : topLeft);
        }
    return picture;
}

std::string ExifBlock(int orientation, bool bigEndian)
{
    std::string block("Exif\0\0", 6);
    block += bigEndian ? "MM" : "II";
    PutU16(block, 42, bigEndian);
    PutU32(block, 8, bigEndian);  // IFD0 straight after the header
    PutU16(block, 1, bigEndian);  // one entry
    PutU16(block, 0x0112, bigEndian);
    PutU16(block, 3, bigEndian);  // SHORT
    PutU32(block, 1, bigEndian);
    PutU16(block, static_cast<unsigned>(orientation), bigEndian);
    PutU16(block, 0, bigEndian);  // the value field's unused half
    PutU32(block, 0, bigEndian);  // no next directory
    return block;
}

namespace {
std::string MakeJpegRows(int width, int height, const TRowWriter& writeRow, const TJpegOptions& options)
{
    jpeg_compress_struct info{};
    TErrorJump error{};
    info.err = jpeg_std_error(&error.Public);
    error.Public.error_exit = CompressError;
    error.Public.emit_message = CompressMessage;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<JSAMPLE> row(static_cast<size_t>(width) * 4);
    const std::string exif = options.Orientation > 0 ? ExifBlock(options.Orientation, options.BigEndianExif) : "";
    if (options.Scans != 0 && options.Colour != TJpegColour::Grayscale)
        throw std::invalid_argument("a scan count is for grey pictures only");
    const std::vector<jpeg_scan_info> script =
        options.Scans != 0 ? ScanScript(options.Scans) : std::vector<jpeg_scan_info>();
    const bool ok = Compress(info, error, width, height, writeRow, options, &buffer, &size, row, exif, script);
    std::string bytes;
    if (ok) bytes.assign(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    if (!ok) throw std::runtime_error("libjpeg could not write the test picture");
    return bytes;
}
}  // namespace

std::string MakeJpeg(const TRgbPicture& picture, const TJpegOptions& options)
{
    return MakeJpegRows(
        picture.Width, picture.Height,
        [&](int y, std::vector<JSAMPLE>& row) { ConvertRow(picture, y, options.Colour, row); }, options);
}

std::string MakeLargeJpeg(int width, int height, const std::function<TRgb(int x, int y)>& pixel,
                          const TJpegOptions& options)
{
    if (options.Colour != TJpegColour::YCbCr) throw std::invalid_argument("large pictures are colour pictures");
    return MakeJpegRows(
        width, height,
        [&](int y, std::vector<JSAMPLE>& row) {
            for (int x = 0; x < width; ++x) {
                const TRgb p = pixel(x, y);
                row[size_t(x) * 3] = p.R;
                row[size_t(x) * 3 + 1] = p.G;
                row[size_t(x) * 3 + 2] = p.B;
            }
        },
        options);
}

std::string MakeSolidJpeg(int width, int height, TRgb colour, const TJpegOptions& options)
{
    return MakeJpeg(TRgbPicture(width, height, colour), options);
}
