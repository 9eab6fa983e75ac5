// PNG pictures through libpng, row by row.
// Implements: TPngPicture (LinuxPngPicture.h): every colour type and depth, the tRNS chunk's
//   transparency, Adam7 interlacing within the memory budget, the eXIf chunk's orientation.
// Leaves out: gamma and colour profiles (the pictures are taken as sRGB, as nearly all are);
//   an eXIf chunk after the pixel data; the frames of animated PNGs past the default picture.
#include "imaging/x11/LinuxPngPicture.h"

#include <csetjmp>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <vector>

#include <png.h>

#include "imaging/Orientation.h"
#include "imaging/PictureLimits.h"
#include "imaging/StoredRows.h"

namespace {

// libpng's own checks take no more than this a side, as JPEG's format does; a larger header is
// an error inside png_read_info, before any row is allocated.
constexpr png_uint_32 MaxSide = 65535;
// An ancillary chunk larger than this is skipped rather than held (the eXIf chunk is the only
// one kept; a camera's is a few tens of kilobytes).
constexpr png_alloc_size_t MaxChunkBytes = 4 << 20;

// Chunks the decoder has no use for, dropped unread: text can be compressed many times over,
// and the picture is taken as sRGB whatever its profile says.
const png_byte IgnoredChunks[] = "iCCP\0iTXt\0tEXt\0zTXt\0sPLT\0";
constexpr int IgnoredChunkCount = 5;

struct TJump {
    std::jmp_buf Buffer;
};

extern "C" {
// A fatal error, out of memory included, jumps back to the function that called into libpng.
// Nothing is printed: a damaged picture is simply not shown.
[[noreturn]] static void PngError(png_structp png, png_const_charp)
{
    std::longjmp(static_cast<TJump*>(png_get_error_ptr(png))->Buffer, 1);
}
static void PngWarning(png_structp, png_const_charp) {}
}

}  // namespace

// C++ exceptions must not cross libpng's C frames, and a jump must not skip a destructor: each
// function below that arms the jump holds nothing with a destructor and returns false when the
// jump comes back. What needs freeing lives here, freed by the destructor.
struct TPngPicture::Impl {
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    std::FILE* File = nullptr;
    TJump Jump;
    int Width = 0, Height = 0, Orientation = 1;
    bool Alpha = false, Interlaced = false, Opened = false;
    // The picture read whole (interlaced pictures only) and its rows.
    std::vector<png_byte> Whole;
    std::vector<png_bytep> WholeRows;

    ~Impl()
    {
        if (Png != nullptr) png_destroy_read_struct(&Png, Info != nullptr ? &Info : nullptr, nullptr);
        if (File != nullptr) std::fclose(File);
    }

    bool Turned() const { return Orientation >= 5; }
};

namespace {

bool ReadHeader(TPngPicture::Impl& png)
{
    if (setjmp(png.Jump.Buffer)) return false;
    png_init_io(png.Png, png.File);
    png_set_sig_bytes(png.Png, 8);
    png_set_user_limits(png.Png, MaxSide, MaxSide);
    png_set_chunk_malloc_max(png.Png, MaxChunkBytes);
    png_set_keep_unknown_chunks(png.Png, PNG_HANDLE_CHUNK_NEVER, IgnoredChunks, IgnoredChunkCount);
    png_read_info(png.Png, png.Info);
    png_uint_32 width, height;
    int depth, colour, interlace;
    png_get_IHDR(png.Png, png.Info, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
    if (width == 0 || height == 0 || width > MaxSide || height > MaxSide) return false;
    png.Width = static_cast<int>(width);
    png.Height = static_cast<int>(height);
    png.Alpha = (colour & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png.Png, png.Info, PNG_INFO_tRNS) != 0;
    png.Interlaced = interlace != PNG_INTERLACE_NONE;
    png_uint_32 exifBytes = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(png.Png, png.Info, &exifBytes, &exif) != 0 && exif != nullptr)
        png.Orientation = EmbeddedExifOrientation(exif, exifBytes);
    return true;
}

// Every kind of pixel into 8-bit red, green, blue, with alpha after them when the picture has
// transparency. False when libpng's rows are not of the length that gives.
bool SetTransforms(TPngPicture::Impl& png, int& passes)
{
    if (setjmp(png.Jump.Buffer)) return false;
    png_set_expand(png.Png);
    png_set_scale_16(png.Png);
    png_set_gray_to_rgb(png.Png);
    passes = png_set_interlace_handling(png.Png);
    png_read_update_info(png.Png, png.Info);
    const size_t channels = png.Alpha ? 4 : 3;
    return png_get_rowbytes(png.Png, png.Info) == channels * static_cast<size_t>(png.Width) &&
           png_get_channels(png.Png, png.Info) == channels && png_get_bit_depth(png.Png, png.Info) == 8;
}

// The pieces of one decoding, made before the jump is armed.
struct TRowJob {
    TStoredRows* Rows;
    png_bytep Row;     // one row as libpng gives it
    uint32_t* Pixels;  // the row as 0x00RRGGBB
    const std::atomic<bool>* Cancel;
    int Passes;
};

bool GivenUp(const TRowJob& job) { return job.Cancel != nullptr && job.Cancel->load(std::memory_order_relaxed); }

void PutRow(TPngPicture::Impl& png, TRowJob& job, const png_byte* row)
{
    if (png.Alpha)
        RgbaOverBlack(row, job.Pixels, png.Width);
    else
        RgbToXrgb(row, job.Pixels, png.Width);
    job.Rows->Put(job.Pixels);
}

bool ReadRows(TPngPicture::Impl& png, TRowJob& job)
{
    if (setjmp(png.Jump.Buffer)) return false;
    for (int y = 0; y < png.Height; ++y) {
        if (GivenUp(job)) return false;
        png_read_row(png.Png, job.Row, nullptr);
        PutRow(png, job, job.Row);
    }
    return true;
}

// Each of Adam7's passes adds pixels all over the picture: the rows are complete only after the
// last one.
bool ReadInterlaced(TPngPicture::Impl& png, TRowJob& job)
{
    if (setjmp(png.Jump.Buffer)) return false;
    for (int pass = 0; pass < job.Passes; ++pass)
        for (int y = 0; y < png.Height; ++y) {
            if (GivenUp(job)) return false;
            png_read_row(png.Png, png.WholeRows[static_cast<size_t>(y)], nullptr);
        }
    for (int y = 0; y < png.Height; ++y) {
        if (GivenUp(job)) return false;
        PutRow(png, job, png.WholeRows[static_cast<size_t>(y)]);
    }
    return true;
}

}  // namespace

TPngPicture::TPngPicture() : FImpl(std::make_unique<Impl>()) {}
TPngPicture::~TPngPicture() = default;

bool TPngPicture::Open(const std::string& path)
{
    Impl& png = *FImpl;
    if (png.File != nullptr || png.Png != nullptr) return false;
    FPath = path;
    png.File = OpenPictureFile(path);
    if (png.File == nullptr) return false;
    png_byte signature[8];
    if (std::fread(signature, 1, sizeof signature, png.File) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0)
        return false;
    png.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &png.Jump, PngError, PngWarning);
    if (png.Png == nullptr) return false;
    png.Info = png_create_info_struct(png.Png);
    if (png.Info == nullptr || !ReadHeader(png)) return false;
    png.Opened = HoldablePicture(png.Width, png.Height);
    return png.Opened;
}

int TPngPicture::OwnWidth() const { return !FImpl->Opened ? 0 : FImpl->Turned() ? FImpl->Height : FImpl->Width; }
int TPngPicture::OwnHeight() const { return !FImpl->Opened ? 0 : FImpl->Turned() ? FImpl->Width : FImpl->Height; }

bool TPngPicture::Decode(const TPictureTarget& target)
{
    Impl& png = *FImpl;
    if (!png.Opened) return false;
    int passes = 1;
    if (!SetTransforms(png, passes)) return false;
    const size_t rowBytes = png_get_rowbytes(png.Png, png.Info);
    try {
        TStoredRows rows(png.Width, png.Height, png.Orientation, target);
        std::vector<png_byte> row(rowBytes);
        std::vector<uint32_t> pixels(static_cast<size_t>(png.Width));
        TRowJob job{&rows, row.data(), pixels.data(), FCancel, passes};
        bool read;
        if (png.Interlaced) {
            const uint64_t wholeBytes = static_cast<uint64_t>(rowBytes) * static_cast<uint64_t>(png.Height);
            if (wholeBytes > static_cast<uint64_t>(FBudget)) return false;
            png.Whole.resize(static_cast<size_t>(wholeBytes));
            png.WholeRows.resize(static_cast<size_t>(png.Height));
            for (size_t y = 0; y < png.WholeRows.size(); ++y) png.WholeRows[y] = png.Whole.data() + y * rowBytes;
            read = ReadInterlaced(png, job);
            std::vector<png_byte>().swap(png.Whole);
        } else
            read = ReadRows(png, job);
        if (!read) return false;
        rows.Finish();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::invalid_argument&) {
        return false;
    }
}
