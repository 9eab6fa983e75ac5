// HEIC, HEIF and AVIF pictures through libheif.
// Implements: THeifPicture (LinuxHeifPicture.h): the primary picture, upright as its own
//   transforms say, 8 bits a channel, transparent parts over black.
// Leaves out: thumbnails, gain maps, depth and other auxiliary pictures, further pictures of the
//   file, colour profiles (see DecodeWhole), and giving up in the middle of libheif's decoding.
#include "imaging/x11/LinuxHeifPicture.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <vector>

#include <libheif/heif.h>

#include "imaging/PictureLimits.h"
#include "imaging/StoredRows.h"

namespace {

// libheif's default largest side; a smaller memory budget lowers it (a picture one pixel
// high still takes four bytes a pixel), so that a file whose pictures announce more is
// refused while its boxes are read, before anything is allocated for them.
constexpr long MaxSide = 32768;

// The open file, read where libheif asks, so that the coded picture is not held twice.
struct TFileReader {
    std::FILE* File = nullptr;
    int64_t Size = 0;
};

extern "C" {
static int64_t GetPosition(void* user) { return ftello(static_cast<TFileReader*>(user)->File); }
static int Read(void* data, size_t size, void* user)
{
    return std::fread(data, 1, size, static_cast<TFileReader*>(user)->File) == size ? 0 : -1;
}
static int Seek(int64_t position, void* user)
{
    auto* reader = static_cast<TFileReader*>(user);
    if (position < 0 || position > reader->Size) return -1;
    return fseeko(reader->File, position, SEEK_SET);
}
static heif_reader_grow_status WaitForFileSize(int64_t size, void* user)
{
    return size > static_cast<TFileReader*>(user)->Size ? heif_reader_grow_status_size_beyond_eof
                                                        : heif_reader_grow_status_size_reached;
}
}

const heif_reader FileReader = {1, GetPosition, Read, Seek, WaitForFileSize};

// libheif's plugins are registered once for the process and never released: pictures are
// decoded on workers until the program ends.
bool LibraryReady()
{
    static const bool ready = heif_init(nullptr).code == heif_error_Ok;
    return ready;
}

struct TImageRelease {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
using TImage = std::unique_ptr<heif_image, TImageRelease>;

struct TOptionsRelease {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};

}  // namespace

struct THeifPicture::Impl {
    TFileReader Reader;
    heif_context* Context = nullptr;
    heif_image_handle* Handle = nullptr;
    int Width = 0, Height = 0;

    ~Impl() { Close(); }
    void Close()
    {
        if (Handle != nullptr) heif_image_handle_release(Handle);
        if (Context != nullptr) heif_context_free(Context);
        if (Reader.File != nullptr) std::fclose(Reader.File);
        Handle = nullptr;
        Context = nullptr;
        Reader.File = nullptr;
    }

    // The whole primary picture, 8 bits a channel, interleaved; null on any failure.
    // libheif decodes a picture whole and cannot be interrupted while it does: a cancel is
    // seen before and after, and a large HEVC picture takes about a second. Pictures are shown
    // as if their colours were sRGB, whatever profile they carry, as the JPEG decoder does.
    TImage DecodeWhole(bool alpha) const
    {
        std::unique_ptr<heif_decoding_options, TOptionsRelease> options(heif_decoding_options_alloc());
        if (!options) return nullptr;
        // 10 and 12-bit pictures come reduced to 8 bits.
        options->convert_hdr_to_8bit = 1;
        heif_image* image = nullptr;
        const heif_error error =
            heif_decode_image(Handle, &image, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
        TImage owned(image);
        if (error.code != heif_error_Ok) return nullptr;
        return owned;
    }
};

THeifPicture::THeifPicture() : FImpl(std::make_unique<Impl>()) {}
THeifPicture::~THeifPicture() = default;

bool THeifPicture::Open(const std::string& path)
{
    if (FImpl->Context != nullptr || FImpl->Reader.File != nullptr || path.empty() || !LibraryReady()) return false;
    FPath = path;
    uint64_t size = 0;
    FImpl->Reader.File = OpenPictureFile(path, &size);
    if (FImpl->Reader.File == nullptr) return false;
    FImpl->Reader.Size = static_cast<int64_t>(size);
    // The file type box first: bytes of another kind are refused before libheif parses them.
    uint8_t start[64];
    const size_t got = std::fread(start, 1, sizeof start, FImpl->Reader.File);
    if (heif_check_filetype(start, static_cast<int>(got)) != heif_filetype_yes_supported ||
        fseeko(FImpl->Reader.File, 0, SEEK_SET) != 0)
        return false;
    FImpl->Context = heif_context_alloc();
    if (FImpl->Context == nullptr) return false;
    heif_context_set_maximum_image_size_limit(FImpl->Context, static_cast<int>(std::clamp(FBudget / 4, 1L, MaxSide)));
    if (heif_context_read_from_reader(FImpl->Context, &FileReader, &FImpl->Reader, nullptr).code != heif_error_Ok ||
        heif_context_get_primary_image_handle(FImpl->Context, &FImpl->Handle).code != heif_error_Ok)
        return false;
    const int width = heif_image_handle_get_width(FImpl->Handle);
    const int height = heif_image_handle_get_height(FImpl->Handle);
    if (!HoldablePicture(width, height)) return false;
    // libheif takes a grid's size from the grid's own description, not from the picture's
    // boxes: a damaged one made it allocate gigabytes for a 24 x 16 picture. No picture the
    // file holds may have a longer side than the primary one (before its crop).
    const int side = std::max({width, height, heif_image_handle_get_ispe_width(FImpl->Handle),
                               heif_image_handle_get_ispe_height(FImpl->Handle)});
    heif_context_set_maximum_image_size_limit(FImpl->Context, std::min(side, INT32_MAX - 1) + 1);
    FImpl->Width = width;
    FImpl->Height = height;
    return true;
}

int THeifPicture::OwnWidth() const { return FImpl->Width; }
int THeifPicture::OwnHeight() const { return FImpl->Height; }

bool THeifPicture::Decode(const TPictureTarget& target)
{
    bool decoded = false;
    try {
        const int width = FImpl->Width, height = FImpl->Height;
        // The whole picture at four bytes a pixel, the most the interleaved result takes; the
        // coded planes libheif holds beside it while converting are of that order too.
        const bool fits = FImpl->Handle != nullptr &&
                          static_cast<uint64_t>(width) * height * 4 <= static_cast<uint64_t>(std::max(FBudget, 0L));
        TImage image;
        const bool alpha = fits && heif_image_handle_has_alpha_channel(FImpl->Handle) != 0;
        if (fits && !Cancelled()) image = FImpl->DecodeWhole(alpha);
        // The coded picture is no longer needed: neither is the file, nor libheif's boxes.
        FImpl->Close();
        int stride = 0;
        const uint8_t* pixels =
            image ? heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride) : nullptr;
        if (pixels != nullptr && heif_image_get_width(image.get(), heif_channel_interleaved) == width &&
            heif_image_get_height(image.get(), heif_channel_interleaved) == height &&
            heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) == 8 && !Cancelled()) {
            // Premultiplied colours are already drawn over black.
            const bool over = alpha && heif_image_is_premultiplied_alpha(image.get()) == 0;
            TStoredRows rows(width, height, 1, target);
            std::vector<uint32_t> row(static_cast<size_t>(width));
            std::vector<uint8_t> straight(alpha && !over ? static_cast<size_t>(width) * 3 : 0);
            int y = 0;
            for (; y < height && !Cancelled(); ++y) {
                const uint8_t* line = pixels + static_cast<ptrdiff_t>(y) * stride;
                if (over) {
                    RgbaOverBlack(line, row.data(), width);
                } else if (alpha) {
                    for (int x = 0; x < width; ++x) std::copy_n(line + 4 * x, 3, straight.data() + 3 * x);
                    RgbToXrgb(straight.data(), row.data(), width);
                } else {
                    RgbToXrgb(line, row.data(), width);
                }
                rows.Put(row.data());
            }
            if (y == height) {
                rows.Finish();
                decoded = true;
            }
        }
    } catch (const std::bad_alloc&) {
        decoded = false;
    } catch (const std::invalid_argument&) {
        decoded = false;
    }
    FImpl->Close();
    return decoded;
}
