// JPEG XL pictures through libjxl.
// Implements: TJxlPicture (LinuxJxlPicture.h): the first frame, upright as its orientation
//   says, 8 bits a channel, transparent parts over black.
// Leaves out: further animation frames, colour profiles (colours are shown as if sRGB, as the
//   JPEG decoder shows them), libjxl's threads (the show decodes on a worker of its own).
#include "imaging/x11/LinuxJxlPicture.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <vector>

#include <jxl/decode.h>

#include "imaging/PictureLimits.h"
#include "imaging/StoredRows.h"

namespace {

// What libjxl allocates through us, counted against what it may take: past it, an allocation
// fails and the decoding ends in an error, where a picture made to exhaust memory would
// otherwise take what the show and the system need.
struct TCountedMemory {
    std::atomic<size_t> Used{0};
    size_t Limit = 0;
};

// Each block carries its size in front, at libjxl's own alignment for the block itself.
constexpr size_t BlockHeader = 16;

extern "C" {
static void* CountedAlloc(void* opaque, size_t size)
{
    auto* memory = static_cast<TCountedMemory*>(opaque);
    if (size > memory->Limit) return nullptr;
    const size_t before = memory->Used.fetch_add(size, std::memory_order_relaxed);
    uint8_t* block = before + size <= memory->Limit ? static_cast<uint8_t*>(std::malloc(size + BlockHeader)) : nullptr;
    if (block == nullptr) {
        memory->Used.fetch_sub(size, std::memory_order_relaxed);
        return nullptr;
    }
    *reinterpret_cast<size_t*>(block) = size;
    return block + BlockHeader;
}
static void CountedFree(void* opaque, void* address)
{
    if (address == nullptr) return;
    uint8_t* block = static_cast<uint8_t*>(address) - BlockHeader;
    static_cast<TCountedMemory*>(opaque)->Used.fetch_sub(*reinterpret_cast<size_t*>(block), std::memory_order_relaxed);
    std::free(block);
}
}

struct TDecoderRelease {
    void operator()(JxlDecoder* decoder) const { JxlDecoderDestroy(decoder); }
};

}  // namespace

struct TJxlPicture::Impl {
    TCountedMemory Memory;
    JxlMemoryManager Manager{&Memory, CountedAlloc, CountedFree};
    std::vector<uint8_t> File;
    std::unique_ptr<JxlDecoder, TDecoderRelease> Decoder;
    JxlBasicInfo Info{};
    int Width = 0, Height = 0;

    void Close()
    {
        Decoder.reset();
        File = {};
    }

    // The next event; an error for a file that ends early, since all of it was given. The input
    // is left open: libjxl 0.7 prints a line of its own when a closed input runs out.
    JxlDecoderStatus Next() const
    {
        const JxlDecoderStatus status = JxlDecoderProcessInput(Decoder.get());
        return status == JXL_DEC_NEED_MORE_INPUT ? JXL_DEC_ERROR : status;
    }
};

TJxlPicture::TJxlPicture() : FImpl(std::make_unique<Impl>()) {}
TJxlPicture::~TJxlPicture() = default;

bool TJxlPicture::Open(const std::string& path)
{
    if (FImpl->Decoder || !FImpl->File.empty() || path.empty()) return false;
    FPath = path;
    uint64_t size = 0;
    std::FILE* file = OpenPictureFile(path, &size);
    if (file == nullptr) return false;
    try {
        FImpl->File.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        std::fclose(file);
        return false;
    }
    const bool read = std::fread(FImpl->File.data(), 1, FImpl->File.size(), file) == FImpl->File.size();
    std::fclose(file);
    const JxlSignature signature = JxlSignatureCheck(FImpl->File.data(), FImpl->File.size());
    if (!read || (signature != JXL_SIG_CODESTREAM && signature != JXL_SIG_CONTAINER)) return false;

    FImpl->Memory.Limit = static_cast<size_t>(std::max(FBudget, 0L));
    FImpl->Decoder.reset(JxlDecoderCreate(&FImpl->Manager));
    JxlDecoder* decoder = FImpl->Decoder.get();
    if (decoder == nullptr ||
        JxlDecoderSubscribeEvents(decoder, JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder, FImpl->File.data(), FImpl->File.size()) != JXL_DEC_SUCCESS ||
        // Straight colours, drawn over black here whatever the file stores.
        JxlDecoderSetUnpremultiplyAlpha(decoder, JXL_TRUE) != JXL_DEC_SUCCESS)
        return false;
    if (FImpl->Next() != JXL_DEC_BASIC_INFO || JxlDecoderGetBasicInfo(decoder, &FImpl->Info) != JXL_DEC_SUCCESS)
        return false;
    // libjxl turns the picture upright as it decodes. Version 0.7 then reports the upright size
    // and orientation 1; a version that reports the coded size with the orientation given has
    // the sides of orientations 5 to 8 exchanged here.
    const bool turned = FImpl->Info.orientation >= JXL_ORIENT_TRANSPOSE;
    const uint64_t width = turned ? FImpl->Info.ysize : FImpl->Info.xsize;
    const uint64_t height = turned ? FImpl->Info.xsize : FImpl->Info.ysize;
    // A side past the most pixels is never held, and would not fit an int.
    if (width > MaxPicturePixels || height > MaxPicturePixels ||
        !HoldablePicture(static_cast<int>(width), static_cast<int>(height)))
        return false;
    FImpl->Width = static_cast<int>(width);
    FImpl->Height = static_cast<int>(height);
    return true;
}

int TJxlPicture::OwnWidth() const { return FImpl->Width; }
int TJxlPicture::OwnHeight() const { return FImpl->Height; }

bool TJxlPicture::Decode(const TPictureTarget& target)
{
    bool decoded = false;
    try {
        const int width = FImpl->Width, height = FImpl->Height;
        const bool alpha = FImpl->Info.alpha_bits > 0;
        const uint32_t channels = alpha ? 4 : 3;
        const JxlPixelFormat format{channels, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
        const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * channels;
        // The whole first frame and the file are held beside what libjxl allocates: all three
        // within the budget, the first two refused before anything is allocated.
        const size_t budget = static_cast<size_t>(std::max(FBudget, 0L));
        const size_t held = bytes + FImpl->File.size();
        std::vector<uint8_t> picture;
        bool full = false;
        if (FImpl->Decoder && held <= budget) {
            FImpl->Memory.Limit = budget - held;
            for (JxlDecoderStatus status = JXL_DEC_SUCCESS; !full && !Cancelled();) {
                status = FImpl->Next();
                if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
                    size_t wanted = 0;
                    if (JxlDecoderImageOutBufferSize(FImpl->Decoder.get(), &format, &wanted) != JXL_DEC_SUCCESS ||
                        wanted != bytes)
                        break;
                    picture.resize(bytes);
                    if (JxlDecoderSetImageOutBuffer(FImpl->Decoder.get(), &format, picture.data(), bytes) !=
                        JXL_DEC_SUCCESS)
                        break;
                } else if (status == JXL_DEC_FULL_IMAGE) {
                    // The first frame; an animation's others are not looked at.
                    full = !picture.empty();
                    break;
                } else {
                    break;
                }
            }
        }
        FImpl->Close();
        if (full && !Cancelled()) {
            TStoredRows rows(width, height, 1, target);
            std::vector<uint32_t> row(static_cast<size_t>(width));
            const size_t stride = static_cast<size_t>(width) * channels;
            int y = 0;
            for (; y < height && !Cancelled(); ++y) {
                const uint8_t* line = picture.data() + static_cast<size_t>(y) * stride;
                if (alpha)
                    RgbaOverBlack(line, row.data(), width);
                else
                    RgbToXrgb(line, row.data(), width);
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
