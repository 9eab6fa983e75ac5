#include "imaging/PictureLoader.h"

#include "core/Paths.h"
#include "framework/Bitmap.h"
#include "imaging/Orientation.h"
#include "imaging/PictureLimits.h"

#include <atomic>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <jpeglib.h>

namespace {

// What the decoder may hold besides the bitmap (a progressive picture keeps every coefficient).
constexpr long MaxDecoderMemory = 1L << 30;
// Scans a picture may have. A progressive photograph has about ten; a file with thousands of
// scans makes the decoder go over every coefficient of the picture for each of them, and
// would hold the screen for minutes.
constexpr int MaxScans = 100;
// Rows of a CMYK picture decoded at a time before conversion.
constexpr int CmykBandRows = 16;

struct TFileBytes {
    std::unique_ptr<unsigned char[]> Data;
    size_t Size = 0;
};

// Reads the whole file: the decoder then works from memory, with no read calls of its own.
bool ReadWholeFile(const std::string& path, TFileBytes& bytes)
{
    std::FILE* file = OpenFileStream(path, "rb");
    if (file == nullptr) return false;
    size_t capacity = 1 << 20;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long end = std::ftell(file);
        if (end > 0 && static_cast<uint64_t>(end) > MaxPictureFileBytes) {
            std::fclose(file);
            return false;
        }
        // One byte more than the size, so that reaching the end needs no growing.
        if (end > 0) capacity = static_cast<size_t>(end) + 1;
        std::rewind(file);
    }
    bool ok = true;
    try {
        bytes.Data.reset(new unsigned char[capacity]);
        for (;;) {
            bytes.Size += std::fread(bytes.Data.get() + bytes.Size, 1, capacity - bytes.Size, file);
            if (bytes.Size < capacity) break;
            if (capacity >= MaxPictureFileBytes) {
                ok = false;
                break;
            }
            std::unique_ptr<unsigned char[]> larger(new unsigned char[capacity * 2]);
            std::memcpy(larger.get(), bytes.Data.get(), bytes.Size);
            bytes.Data.swap(larger);
            capacity *= 2;
        }
        if (std::ferror(file)) ok = false;
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    std::fclose(file);
    return ok && bytes.Size > 0;
}

// libjpeg reports a fatal error by calling error_exit, whose default ends the program. Ours
// jumps back to the function that called into the library. C++ exceptions must not cross
// libjpeg's C frames, so every function below that arms the jump holds nothing with a
// destructor, and returns false when the jump comes back.
struct TErrorManager {
    jpeg_error_mgr Public;
    std::jmp_buf Jump;
};

// The progress monitor, with the flag of a caller that may want the decoding given up.
struct TProgress {
    jpeg_progress_mgr Public;
    const std::atomic<bool>* Cancel = nullptr;
};

extern "C" {
static void ErrorExit(j_common_ptr info) { std::longjmp(reinterpret_cast<TErrorManager*>(info->err)->Jump, 1); }
// Called between units of work (every few rows), also while a multi-scan file is taken in;
// a file past the scan limit, or a caller that gave up, ends the decoding as a fatal error
// in its data would.
static void LimitScans(j_common_ptr info)
{
    const std::atomic<bool>* cancel = reinterpret_cast<TProgress*>(info->progress)->Cancel;
    if ((cancel && cancel->load(std::memory_order_relaxed)) ||
        (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > MaxScans))
        (*info->err->error_exit)(info);
}
// Warnings (a truncated file, corrupt data the decoder steps over) are not the user's concern.
static void EmitMessage(j_common_ptr, int) {}
static void OutputMessage(j_common_ptr) {}
}

struct TDecoder {
    jpeg_decompress_struct Info{};
    TErrorManager Error{};
    TProgress Progress{};

    TDecoder()
    {
        Info.err = jpeg_std_error(&Error.Public);
        Error.Public.error_exit = ErrorExit;
        Error.Public.emit_message = EmitMessage;
        Error.Public.output_message = OutputMessage;
        Progress.Public.progress_monitor = LimitScans;
    }
    ~TDecoder() { jpeg_destroy_decompress(&Info); }
    TDecoder(const TDecoder&) = delete;
    TDecoder& operator=(const TDecoder&) = delete;
};

bool ReadHeader(TDecoder& decoder, const unsigned char* data, size_t size)
{
    jpeg_decompress_struct* info = &decoder.Info;
    if (setjmp(decoder.Error.Jump)) return false;
    jpeg_create_decompress(info);
    info->mem->max_memory_to_use = MaxDecoderMemory;
    info->progress = &decoder.Progress.Public;
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    jpeg_save_markers(info, JPEG_APP0 + 1, 0xFFFF);
    return jpeg_read_header(info, TRUE) == JPEG_HEADER_OK;
}

bool StartDecompress(TDecoder& decoder)
{
    if (setjmp(decoder.Error.Jump)) return false;
    return jpeg_start_decompress(&decoder.Info) != FALSE;
}

// Decodes straight into the bitmap's rows: libjpeg writes blue, green, red itself.
bool ReadBgrRows(TDecoder& decoder, JSAMPROW* rows)
{
    jpeg_decompress_struct* info = &decoder.Info;
    if (setjmp(decoder.Error.Jump)) return false;
    while (info->output_scanline < info->output_height) {
        const JDIMENSION done = info->output_scanline;
        if (jpeg_read_scanlines(info, rows + done, info->output_height - done) == 0) return false;
    }
    jpeg_finish_decompress(info);
    return true;
}

// Ink to light. Files written with an Adobe marker store CMYK inverted (255 is no ink), the
// convention Photoshop set; others store the ink itself.
void CmykRowToBgr(const JSAMPLE* cmyk, uint8_t* bgr, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgr[0] = static_cast<uint8_t>((y * k + 127) / 255);
        bgr[1] = static_cast<uint8_t>((m * k + 127) / 255);
        bgr[2] = static_cast<uint8_t>((c * k + 127) / 255);
    }
}

bool ReadCmykRows(TDecoder& decoder, JSAMPROW* rows)
{
    jpeg_decompress_struct* info = &decoder.Info;
    if (setjmp(decoder.Error.Jump)) return false;
    // The band lives in libjpeg's image pool, released with the decoder whichever way this ends.
    JSAMPARRAY band = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                 info->output_width * 4, CmykBandRows);
    const bool inverted = info->saw_Adobe_marker != FALSE;
    while (info->output_scanline < info->output_height) {
        const JDIMENSION first = info->output_scanline;
        const JDIMENSION got = jpeg_read_scanlines(info, band, CmykBandRows);
        if (got == 0) return false;
        for (JDIMENSION i = 0; i < got; ++i) CmykRowToBgr(band[i], rows[first + i], info->output_width, inverted);
    }
    jpeg_finish_decompress(info);
    return true;
}

int SavedOrientation(const jpeg_decompress_struct& info)
{
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1) continue;
        const int orientation = ExifOrientation(marker->data, marker->data_length);
        if (orientation != 1) return orientation;
    }
    return 1;
}

bool Decode(TBitmap& bitmap, const unsigned char* data, size_t size, const std::atomic<bool>* cancel)
{
    TDecoder decoder;
    decoder.Progress.Cancel = cancel;
    jpeg_decompress_struct& info = decoder.Info;
    if (!ReadHeader(decoder, data, size)) return false;
    if (info.image_width == 0 || info.image_height == 0 ||
        static_cast<uint64_t>(info.image_width) * info.image_height > MaxPicturePixels)
        return false;
    // Saved markers live in the image pool, which finishing the decompression releases.
    const int orientation = SavedOrientation(info);
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    if (!StartDecompress(decoder)) return false;

    bitmap.SetSizeUninitialized(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    std::vector<JSAMPROW> rows(info.output_height);
    for (JDIMENSION y = 0; y < info.output_height; ++y) rows[y] = bitmap.ScanLine(static_cast<int>(y));
    if (!(cmyk ? ReadCmykRows(decoder, rows.data()) : ReadBgrRows(decoder, rows.data()))) return false;

    OrientBitmap(bitmap, orientation);
    return true;
}

// As ReadBgrRows, into 32-bit rows, clearing the byte libjpeg fills in each pixel while the
// rows are still in the cache: the pixels are then exactly those of a 24-bit copy.
bool ReadBgrxRows(TDecoder& decoder, JSAMPROW* rows)
{
    jpeg_decompress_struct* info = &decoder.Info;
    if (setjmp(decoder.Error.Jump)) return false;
    const JDIMENSION width = info->output_width;
    while (info->output_scanline < info->output_height) {
        const JDIMENSION done = info->output_scanline;
        const JDIMENSION got = jpeg_read_scanlines(info, rows + done, info->output_height - done);
        if (got == 0) return false;
        for (JDIMENSION y = done; y < done + got; ++y) {
            auto* pixel = reinterpret_cast<uint32_t*>(rows[y]);
            for (JDIMENSION x = 0; x < width; ++x) pixel[x] &= 0x00FFFFFFu;
        }
    }
    jpeg_finish_decompress(info);
    return true;
}

}  // namespace

struct TJpegPicture::Impl {
    TFileBytes Bytes;
    TDecoder Decoder;
    bool HeaderRead = false;
    // The size the header gave. A frame header met again inside the data overwrites the
    // decoder's own fields before it is refused, so those are not asked after decoding.
    int Width = 0;
    int Height = 0;
    bool Straight = false;
    bool Used = false;
};

TJpegPicture::TJpegPicture() : FImpl(std::make_unique<Impl>()) {}
TJpegPicture::~TJpegPicture() = default;

void TJpegPicture::SetCancel(const std::atomic<bool>* cancel) { FImpl->Decoder.Progress.Cancel = cancel; }

bool TJpegPicture::Open(const std::string& path)
{
    if (FImpl->HeaderRead || path.empty()) return false;
    FPath = path;
    try {
        if (!ReadWholeFile(path, FImpl->Bytes)) return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    jpeg_decompress_struct& info = FImpl->Decoder.Info;
    if (!ReadHeader(FImpl->Decoder, FImpl->Bytes.Data.get(), FImpl->Bytes.Size)) return false;
    if (info.image_width == 0 || info.image_height == 0 ||
        static_cast<uint64_t>(info.image_width) * info.image_height > MaxPicturePixels)
        return false;
    FImpl->HeaderRead = true;
    FImpl->Width = static_cast<int>(info.image_width);
    FImpl->Height = static_cast<int>(info.image_height);
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    FImpl->Straight = !cmyk && SavedOrientation(info) == 1;
    return true;
}

int TJpegPicture::Width() const { return FImpl->HeaderRead ? FImpl->Width : 0; }
int TJpegPicture::Height() const { return FImpl->HeaderRead ? FImpl->Height : 0; }
bool TJpegPicture::DecodesStraight() const { return FImpl->HeaderRead && FImpl->Straight; }

bool TJpegPicture::DecodeInto(uint8_t* pixels, ptrdiff_t pitch)
{
    if (!DecodesStraight() || FImpl->Used || pixels == nullptr) return false;
    FImpl->Used = true;
    jpeg_decompress_struct& info = FImpl->Decoder.Info;
    info.out_color_space = JCS_EXT_BGRX;
    if (!StartDecompress(FImpl->Decoder)) return false;
    // Without scaling the output is the picture's own size, which the caller's rows are.
    if (info.output_width != static_cast<JDIMENSION>(FImpl->Width) ||
        info.output_height != static_cast<JDIMENSION>(FImpl->Height))
        return false;
    try {
        std::vector<JSAMPROW> rows(info.output_height);
        for (JDIMENSION y = 0; y < info.output_height; ++y) rows[y] = pixels + static_cast<ptrdiff_t>(y) * pitch;
        return ReadBgrxRows(FImpl->Decoder, rows.data());
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool LoadJpegIntoBitmap(TBitmap& bitmap, const std::string& folder, const std::string& fileName,
                        const std::atomic<bool>* cancel)
{
    if (fileName.empty()) return false;
    bool loaded = false;
    try {
        const std::string path = folder.empty() ? fileName : folder + PathDelim + fileName;
        TFileBytes bytes;
        loaded = ReadWholeFile(path, bytes) && Decode(bitmap, bytes.Data.get(), bytes.Size, cancel);
    } catch (const std::bad_alloc&) {
        loaded = false;
    }
    // A half-decoded picture is of no use to anyone; give its memory back at once.
    if (!loaded) bitmap.SetSize(0, 0);
    return loaded;
}

bool LoadJpegBytesIntoBitmap(TBitmap& bitmap, const uint8_t* data, size_t size)
{
    bool loaded = false;
    try {
        loaded = data != nullptr && size > 0 && Decode(bitmap, data, size, nullptr);
    } catch (const std::bad_alloc&) {
        loaded = false;
    }
    if (!loaded) bitmap.SetSize(0, 0);
    return loaded;
}
