#include "imaging/PictureLoader.h"

#include "core/Paths.h"
#include "framework/Bitmap.h"
#include "imaging/Orientation.h"
#include "imaging/PictureLimits.h"
#include "imaging/RowReducer.h"
#include "imaging/UprightWriter.h"

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace {

// Scans a picture may have. A progressive photograph has about ten; a file with thousands of
// scans makes the decoder go over every coefficient of the picture for each of them, and
// would hold the screen for minutes.
constexpr int MaxScans = 100;
// Rows asked of libjpeg at a time; it gives at most a row group (one or two rows) anyway.
constexpr int BandRows = 8;

// libjpeg reports a fatal error by calling error_exit, whose default ends the program. Ours
// jumps back to the function that called into the library. C++ exceptions must not cross
// libjpeg's C frames, so every function below that arms the jump holds nothing with a
// destructor, and returns false when the jump comes back. Running out of memory inside
// libjpeg, or past its budget, is such an error too.
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

// The file, read into a buffer of 64 KB at a time. libjpeg's own file reader takes 4 KB at a
// time, and its Huffman decoder runs its fast path only while a few kilobytes are at hand in
// the buffer (512 bytes for each block of an MCU): with 4 KB that was a quarter of the time,
// and a large photograph decoded 6 % slower than from memory.
constexpr size_t FileBufferBytes = 64 << 10;

struct TFileSource {
    jpeg_source_mgr Public{};
    std::FILE* File = nullptr;
    bool Started = false;
    JOCTET Buffer[FileBufferBytes];
};

extern "C" {
static void InitSource(j_decompress_ptr) {}
static void TermSource(j_decompress_ptr) {}
// As libjpeg's own readers: an empty file is an error, a file that ends early ends in an end
// marker, with a warning, so that what arrived is shown.
static boolean FillInputBuffer(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<TFileSource*>(info->src);
    size_t got = std::fread(source->Buffer, 1, FileBufferBytes, source->File);
    if (got == 0) {
        if (!source->Started) ERREXIT(info, JERR_INPUT_EMPTY);
        WARNMS(info, JWRN_JPEG_EOF);
        source->Buffer[0] = 0xFF;
        source->Buffer[1] = JPEG_EOI;
        got = 2;
    }
    source->Public.next_input_byte = source->Buffer;
    source->Public.bytes_in_buffer = got;
    source->Started = true;
    return TRUE;
}
static void SkipInputData(j_decompress_ptr info, long count)
{
    jpeg_source_mgr* source = info->src;
    if (count <= 0) return;
    while (count > static_cast<long>(source->bytes_in_buffer)) {
        count -= static_cast<long>(source->bytes_in_buffer);
        (*source->fill_input_buffer)(info);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<size_t>(count);
}
}

struct TDecoder {
    jpeg_decompress_struct Info{};
    TErrorManager Error{};
    TProgress Progress{};
    // The file the decoder reads from as it goes, when it reads a file.
    std::FILE* File = nullptr;
    std::unique_ptr<TFileSource> Source;

    TDecoder()
    {
        Info.err = jpeg_std_error(&Error.Public);
        Error.Public.error_exit = ErrorExit;
        Error.Public.emit_message = EmitMessage;
        Error.Public.output_message = OutputMessage;
        Progress.Public.progress_monitor = LimitScans;
    }
    ~TDecoder()
    {
        jpeg_destroy_decompress(&Info);
        CloseFile();
    }
    TDecoder(const TDecoder&) = delete;
    TDecoder& operator=(const TDecoder&) = delete;

    void CloseFile()
    {
        if (File != nullptr) std::fclose(File);
        File = nullptr;
    }
};

// What the header says of the picture. The size is kept apart from the decoder's: a frame
// header met again inside the data overwrites the decoder's own fields before it is refused.
struct THeader {
    int Width = 0, Height = 0;
    int Orientation = 1;
    bool Cmyk = false;
    // Files written with an Adobe marker store CMYK inverted (255 is no ink), the convention
    // Photoshop set; others store the ink itself.
    bool InvertedInk = false;

    bool Turned() const { return Orientation >= 5 && Orientation <= 8; }
};

// Reads from the decoder's file when it has one, else from data.
bool ReadHeader(TDecoder& decoder, const unsigned char* data, size_t size)
{
    jpeg_decompress_struct* info = &decoder.Info;
    if (setjmp(decoder.Error.Jump)) return false;
    jpeg_create_decompress(info);
    info->mem->max_memory_to_use = TPicture::DefaultMemoryBudget;
    info->progress = &decoder.Progress.Public;
    if (decoder.Source != nullptr) {
        TFileSource& source = *decoder.Source;
        source.File = decoder.File;
        source.Public.init_source = InitSource;
        source.Public.fill_input_buffer = FillInputBuffer;
        source.Public.skip_input_data = SkipInputData;
        source.Public.resync_to_restart = jpeg_resync_to_restart;
        source.Public.term_source = TermSource;
        info->src = &source.Public;
    } else
        jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    jpeg_save_markers(info, JPEG_APP0 + 1, 0xFFFF);
    return jpeg_read_header(info, TRUE) == JPEG_HEADER_OK;
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

// False for a picture of no size. Saved markers live in the image pool, which finishing the
// decompression releases: the orientation is read now.
bool UnderstandHeader(const jpeg_decompress_struct& info, THeader& header)
{
    if (info.image_width == 0 || info.image_height == 0) return false;
    header.Width = static_cast<int>(info.image_width);
    header.Height = static_cast<int>(info.image_height);
    header.Orientation = SavedOrientation(info);
    header.Cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    header.InvertedInk = info.saw_Adobe_marker != FALSE;
    return true;
}

// The cheapest scale whose output covers width x height, as the file stores the picture.
bool ChooseScale(TDecoder& decoder, J_COLOR_SPACE space, int width, int height)
{
    jpeg_decompress_struct* info = &decoder.Info;
    if (setjmp(decoder.Error.Jump)) return false;
    info->out_color_space = space;
    for (const unsigned denominator : {8u, 4u, 2u, 1u}) {
        info->scale_num = 1;
        info->scale_denom = denominator;
        jpeg_calc_output_dimensions(info);
        if (info->output_width >= static_cast<JDIMENSION>(width) &&
            info->output_height >= static_cast<JDIMENSION>(height))
            return true;
    }
    return false;
}

bool StartDecompress(TDecoder& decoder, JDIMENSION width, JDIMENSION height)
{
    if (setjmp(decoder.Error.Jump)) return false;
    return jpeg_start_decompress(&decoder.Info) != FALSE && decoder.Info.output_width == width &&
           decoder.Info.output_height == height;
}

// The output is the target's own size and needs nothing done: libjpeg writes blue, green,
// red (and a fourth byte, cleared a few rows at a time) into the target.
bool ReadStraightRows(TDecoder& decoder, const TPictureTarget& target)
{
    jpeg_decompress_struct* info = &decoder.Info;
    if (setjmp(decoder.Error.Jump)) return false;
    JSAMPROW rows[BandRows];
    while (info->output_scanline < info->output_height) {
        const JDIMENSION done = info->output_scanline;
        const JDIMENSION wanted = std::min<JDIMENSION>(BandRows, info->output_height - done);
        for (JDIMENSION i = 0; i < wanted; ++i)
            rows[i] = target.Pixels + static_cast<ptrdiff_t>(done + i) * target.Pitch;
        const JDIMENSION got = jpeg_read_scanlines(info, rows, wanted);
        if (got == 0) return false;
        if (target.PixelBytes == 4)
            for (JDIMENSION y = 0; y < got; ++y) {
                auto* pixel = reinterpret_cast<uint32_t*>(rows[y]);
                for (JDIMENSION x = 0; x < info->output_width; ++x) pixel[x] &= 0x00FFFFFFu;
            }
    }
    jpeg_finish_decompress(info);
    return true;
}

// Ink to light, into 0x00RRGGBB.
void CmykRowToBgrx(const JSAMPLE* cmyk, uint32_t* out, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[x] = (y * k + 127) / 255 | (m * k + 127) / 255 << 8 | (c * k + 127) / 255 << 16;
    }
}

// The pieces of the reducing path, made before the jump is armed.
struct TReducing {
    TRowReducer* Reducer;
    TUprightWriter* Writer;
    JSAMPROW Rows[BandRows];
    uint32_t* Converted;  // a CMYK row turned to light
    bool Cmyk, InvertedInk;
};

bool ReadReducedRows(TDecoder& decoder, TReducing& job)
{
    jpeg_decompress_struct* info = &decoder.Info;
    if (setjmp(decoder.Error.Jump)) return false;
    while (info->output_scanline < info->output_height) {
        const JDIMENSION got = jpeg_read_scanlines(info, job.Rows, BandRows);
        if (got == 0) return false;
        for (JDIMENSION i = 0; i < got; ++i) {
            const uint32_t* row = reinterpret_cast<const uint32_t*>(job.Rows[i]);
            if (job.Cmyk) {
                CmykRowToBgrx(job.Rows[i], job.Converted, info->output_width, job.InvertedInk);
                row = job.Converted;
            }
            if (const uint32_t* reduced = job.Reducer->Add(row)) job.Writer->Put(reduced);
        }
    }
    jpeg_finish_decompress(info);
    job.Writer->Finish();
    return true;
}

// Decodes the picture whose header was read into the target, which holds at most the
// picture's upright size.
bool DecodeRows(TDecoder& decoder, const THeader& header, long budget, const TPictureTarget& target)
{
    jpeg_decompress_struct& info = decoder.Info;
    info.mem->max_memory_to_use = budget;
    // The size to decode to, as the file stores the picture.
    const int width = header.Turned() ? target.Height : target.Width;
    const int height = header.Turned() ? target.Width : target.Height;
    const J_COLOR_SPACE reduced = header.Cmyk ? JCS_CMYK : JCS_EXT_BGRX;
    if (!ChooseScale(decoder, reduced, width, height)) return false;
    const JDIMENSION outWidth = info.output_width, outHeight = info.output_height;

    if (header.Orientation == 1 && !header.Cmyk && outWidth == JDIMENSION(width) && outHeight == JDIMENSION(height)) {
        info.out_color_space = target.PixelBytes == 4 ? JCS_EXT_BGRX : JCS_EXT_BGR;
        return StartDecompress(decoder, outWidth, outHeight) && ReadStraightRows(decoder, target);
    }

    try {
        TRowReducer reducer(static_cast<int>(outWidth), static_cast<int>(outHeight), width, height);
        TUprightWriter writer(target.Pixels, target.Pitch, target.Width, target.Height, target.PixelBytes,
                              header.Orientation);
        // Both the 32-bit rows and CMYK's take four bytes a pixel.
        // Each row starts a pixel past a 16-byte boundary: libjpeg's vector code writes aligned
        // rows past the cache, straight to memory, and the reducer reading them at once would
        // wait for memory on every row (it did, for a third of the whole decoding's time).
        const size_t stride = (static_cast<size_t>(outWidth) + 4) & ~size_t{3};
        std::vector<uint32_t> band(stride * BandRows + 4);
        const size_t misaligned = 1 + (4 - reinterpret_cast<uintptr_t>(band.data()) / 4 % 4) % 4;
        std::vector<uint32_t> converted(header.Cmyk ? outWidth : 0);
        TReducing job{&reducer, &writer, {}, converted.data(), header.Cmyk, header.InvertedInk};
        for (int i = 0; i < BandRows; ++i)
            job.Rows[i] = reinterpret_cast<JSAMPROW>(band.data() + misaligned + static_cast<size_t>(i) * stride);
        return StartDecompress(decoder, outWidth, outHeight) && ReadReducedRows(decoder, job);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

struct TJpegPicture::Impl {
    TDecoder Decoder;
    THeader Header;
    bool HeaderRead = false;
};

TJpegPicture::TJpegPicture() : FImpl(std::make_unique<Impl>()) {}
TJpegPicture::~TJpegPicture() = default;

bool TJpegPicture::Open(const std::string& path)
{
    if (FImpl->HeaderRead || FImpl->Decoder.File != nullptr || path.empty()) return false;
    FPath = path;
    std::FILE* file = OpenPictureFile(path);
    if (file == nullptr) return false;
    FImpl->Decoder.File = file;
    try {
        FImpl->Decoder.Source = std::make_unique<TFileSource>();
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!ReadHeader(FImpl->Decoder, nullptr, 0) || !UnderstandHeader(FImpl->Decoder.Info, FImpl->Header)) return false;
    FImpl->HeaderRead = true;
    return true;
}

int TJpegPicture::Width() const { return FImpl->HeaderRead ? FImpl->Header.Width : 0; }
int TJpegPicture::Height() const { return FImpl->HeaderRead ? FImpl->Header.Height : 0; }
int TJpegPicture::OwnWidth() const { return FImpl->Header.Turned() ? Height() : Width(); }
int TJpegPicture::OwnHeight() const { return FImpl->Header.Turned() ? Width() : Height(); }
bool TJpegPicture::DecodesStraight() const
{
    return FImpl->HeaderRead && !FImpl->Header.Cmyk && FImpl->Header.Orientation == 1;
}

bool TJpegPicture::Decode(const TPictureTarget& target)
{
    FImpl->Decoder.Progress.Cancel = FCancel;
    const bool decoded = DecodeRows(FImpl->Decoder, FImpl->Header, FBudget, target);
    FImpl->Decoder.CloseFile();
    return decoded;
}

bool TJpegPicture::DecodeInto(uint8_t* pixels, ptrdiff_t pitch)
{
    if (!DecodesStraight() || Used() || pixels == nullptr || !HoldablePicture(Width(), Height())) return false;
    MarkUsed();
    return Decode({pixels, pitch, Width(), Height(), 4});
}

bool LoadJpegIntoBitmap(TBitmap& bitmap, const std::string& folder, const std::string& fileName,
                        const std::atomic<bool>* cancel, int boxWidth, int boxHeight)
{
    if (fileName.empty()) return false;
    try {
        TJpegPicture jpeg;
        jpeg.SetCancel(cancel);
        if (jpeg.Open(folder.empty() ? fileName : folder + PathDelim + fileName)) {
            const TStoredSize size = StoredSize(jpeg.OwnWidth(), jpeg.OwnHeight(), boxWidth, boxHeight);
            return jpeg.DecodeStored(bitmap, size.Width, size.Height);
        }
    } catch (const std::bad_alloc&) {
    }
    bitmap.SetSize(0, 0);
    return false;
}

bool LoadJpegBytesIntoBitmap(TBitmap& bitmap, const uint8_t* data, size_t size)
{
    bool loaded = false;
    try {
        TDecoder decoder;
        THeader header;
        if (data != nullptr && size > 0 && ReadHeader(decoder, data, size) && UnderstandHeader(decoder.Info, header)) {
            const int width = header.Turned() ? header.Height : header.Width;
            const int height = header.Turned() ? header.Width : header.Height;
            if (HoldablePicture(width, height)) {
                bitmap.SetSizeUninitialized(width, height);
                loaded = DecodeRows(decoder, header, TPicture::DefaultMemoryBudget,
                                    {bitmap.ScanLine(0), bitmap.RowDistance(), width, height, 3});
            }
        }
    } catch (const std::bad_alloc&) {
        loaded = false;
    }
    if (!loaded) bitmap.SetSize(0, 0);
    return loaded;
}
