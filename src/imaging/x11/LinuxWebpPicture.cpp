// WebP pictures through libwebp, scaled by libwebp as it decodes.
// Implements: TWebpPicture (LinuxWebpPicture.h): lossy and lossless pictures, alpha, the EXIF
//   chunk's orientation, the first frame of an animation.
// Leaves out: colour profiles (the pictures are taken as sRGB); every frame of an animation
//   past the first.
#include "imaging/x11/LinuxWebpPicture.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

#include <webp/decode.h>
#include <webp/demux.h>

#include "imaging/Orientation.h"
#include "imaging/PictureLimits.h"
#include "imaging/StoredRows.h"

namespace {

// The file is given to the decoder this much at a time, so that a caller who gives up is heard
// while a large picture decodes.
constexpr size_t SliceBytes = 64 << 10;

// libwebp's premultiplied blue, green, red, alpha: over black, the alpha byte is cleared.
void ClearAlpha(uint8_t* row, int width)
{
    auto* pixel = reinterpret_cast<uint32_t*>(row);
    for (int x = 0; x < width; ++x) pixel[x] &= 0x00FFFFFFu;
}

struct TDemuxer {
    WebPDemuxer* Demux;
    explicit TDemuxer(const std::vector<uint8_t>& file)
    {
        const WebPData data{file.data(), file.size()};
        Demux = WebPDemux(&data);
    }
    ~TDemuxer() { WebPDemuxDelete(Demux); }
    TDemuxer(const TDemuxer&) = delete;
    TDemuxer& operator=(const TDemuxer&) = delete;
};

// 1 for a file without an EXIF chunk, or one the demuxer cannot take apart.
int ChunkOrientation(const std::vector<uint8_t>& file)
{
    const TDemuxer demuxer(file);
    if (demuxer.Demux == nullptr || (WebPDemuxGetI(demuxer.Demux, WEBP_FF_FORMAT_FLAGS) & EXIF_FLAG) == 0) return 1;
    WebPChunkIterator chunk;
    if (!WebPDemuxGetChunk(demuxer.Demux, "EXIF", 1, &chunk)) return 1;
    const int orientation = EmbeddedExifOrientation(chunk.chunk.bytes, chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    return orientation;
}

struct TIncremental {
    WebPIDecoder* Decoder = nullptr;
    ~TIncremental() { WebPIDelete(Decoder); }
};

struct TAnimation {
    WebPAnimDecoder* Decoder = nullptr;
    ~TAnimation() { WebPAnimDecoderDelete(Decoder); }
};

}  // namespace

struct TWebpPicture::Impl {
    std::vector<uint8_t> File;
    int Width = 0, Height = 0, Orientation = 1;
    bool Animated = false, Opened = false;

    bool Turned() const { return Orientation >= 5; }

    // Decodes the still picture scaled to width x height into rows of 32-bit premultiplied
    // pixels, giving the file a slice at a time. False on damaged or missing data, or when
    // cancel is set.
    bool DecodeScaled(int width, int height, uint8_t* pixels, int stride, size_t bytes, const std::atomic<bool>* cancel)
    {
        WebPDecoderConfig config;
        if (!WebPInitDecoderConfig(&config)) return false;
        if (width != Width || height != Height) {
            config.options.use_scaling = 1;
            config.options.scaled_width = width;
            config.options.scaled_height = height;
        }
        config.output.colorspace = MODE_bgrA;
        config.output.is_external_memory = 1;
        config.output.width = width;
        config.output.height = height;
        config.output.u.RGBA.rgba = pixels;
        config.output.u.RGBA.stride = stride;
        config.output.u.RGBA.size = bytes;
        TIncremental incremental;
        incremental.Decoder = WebPIDecode(nullptr, 0, &config);
        if (incremental.Decoder == nullptr) return false;
        for (size_t given = 0; given < File.size();) {
            if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) return false;
            given = std::min(File.size(), given + SliceBytes);
            const VP8StatusCode status = WebPIUpdate(incremental.Decoder, File.data(), given);
            if (status == VP8_STATUS_OK) return true;
            if (status != VP8_STATUS_SUSPENDED) return false;
        }
        return false;  // the file ended before the picture
    }
};

TWebpPicture::TWebpPicture() : FImpl(std::make_unique<Impl>()) {}
TWebpPicture::~TWebpPicture() = default;

bool TWebpPicture::Open(const std::string& path)
{
    Impl& webp = *FImpl;
    if (!webp.File.empty() || webp.Opened) return false;
    FPath = path;
    uint64_t bytes = 0;
    std::FILE* file = OpenPictureFile(path, &bytes);
    if (file == nullptr) return false;
    bool read = false;
    if (bytes > 0 && bytes <= static_cast<uint64_t>(FBudget)) {
        try {
            webp.File.resize(static_cast<size_t>(bytes));
            read = std::fread(webp.File.data(), 1, webp.File.size(), file) == webp.File.size();
        } catch (const std::bad_alloc&) {
        }
    }
    std::fclose(file);
    WebPBitstreamFeatures features;
    if (!read || WebPGetFeatures(webp.File.data(), webp.File.size(), &features) != VP8_STATUS_OK ||
        !HoldablePicture(features.width, features.height)) {
        std::vector<uint8_t>().swap(webp.File);
        return false;
    }
    webp.Width = features.width;
    webp.Height = features.height;
    webp.Animated = features.has_animation != 0;
    try {
        webp.Orientation = ChunkOrientation(webp.File);
    } catch (const std::bad_alloc&) {
        return false;
    }
    webp.Opened = true;
    return true;
}

int TWebpPicture::OwnWidth() const { return !FImpl->Opened ? 0 : FImpl->Turned() ? FImpl->Height : FImpl->Width; }
int TWebpPicture::OwnHeight() const { return !FImpl->Opened ? 0 : FImpl->Turned() ? FImpl->Width : FImpl->Height; }

bool TWebpPicture::Decode(const TPictureTarget& target)
{
    Impl& webp = *FImpl;
    if (!webp.Opened) return false;
    try {
        if (webp.Animated) return DecodeFirstFrame(target);
        // The size to decode to, as the file stores the picture.
        const int width = webp.Turned() ? target.Height : target.Width;
        const int height = webp.Turned() ? target.Width : target.Height;
        const size_t rowBytes = static_cast<size_t>(width) * 4;
        if (webp.Orientation == 1 && target.PixelBytes == 4 && target.Pitch > 0 &&
            target.Pitch <= std::numeric_limits<int>::max()) {
            const size_t bytes = static_cast<size_t>(target.Pitch) * static_cast<size_t>(height - 1) + rowBytes;
            if (!webp.DecodeScaled(width, height, target.Pixels, static_cast<int>(target.Pitch), bytes, FCancel))
                return false;
            for (int y = 0; y < height; ++y) ClearAlpha(target.Pixels + y * target.Pitch, width);
            return true;
        }
        // Turned, or into three bytes a pixel: through a buffer of the target's size.
        const uint64_t bytes = static_cast<uint64_t>(rowBytes) * static_cast<uint64_t>(height);
        if (bytes > static_cast<uint64_t>(FBudget) || rowBytes > static_cast<size_t>(std::numeric_limits<int>::max()))
            return false;
        std::vector<uint8_t> scaled(static_cast<size_t>(bytes));
        if (!webp.DecodeScaled(width, height, scaled.data(), static_cast<int>(rowBytes), scaled.size(), FCancel))
            return false;
        TStoredRows rows(width, height, webp.Orientation, target);
        for (int y = 0; y < height; ++y) {
            uint8_t* row = scaled.data() + static_cast<size_t>(y) * rowBytes;
            ClearAlpha(row, width);
            rows.Put(reinterpret_cast<const uint32_t*>(row));
        }
        rows.Finish();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::invalid_argument&) {
        return false;
    }
}

// libwebp's animation decoder draws each frame over the canvas, which it holds twice (the
// frame drawn and the one before it); the first canvas is then reduced as a still picture's
// rows are.
bool TWebpPicture::DecodeFirstFrame(const TPictureTarget& target)
{
    Impl& webp = *FImpl;
    const uint64_t canvasBytes = static_cast<uint64_t>(webp.Width) * static_cast<uint64_t>(webp.Height) * 4;
    if (2 * canvasBytes > static_cast<uint64_t>(FBudget) || Cancelled()) return false;
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return false;
    options.color_mode = MODE_bgrA;
    options.use_threads = 0;
    const WebPData data{webp.File.data(), webp.File.size()};
    TAnimation animation;
    animation.Decoder = WebPAnimDecoderNew(&data, &options);
    WebPAnimInfo info;
    if (animation.Decoder == nullptr || !WebPAnimDecoderGetInfo(animation.Decoder, &info) ||
        info.canvas_width != static_cast<uint32_t>(webp.Width) ||
        info.canvas_height != static_cast<uint32_t>(webp.Height))
        return false;
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(animation.Decoder, &canvas, &timestamp) || canvas == nullptr) return false;
    TStoredRows rows(webp.Width, webp.Height, webp.Orientation, target);
    const size_t rowBytes = static_cast<size_t>(webp.Width) * 4;
    for (int y = 0; y < webp.Height; ++y) {
        if (Cancelled()) return false;
        uint8_t* row = canvas + static_cast<size_t>(y) * rowBytes;
        ClearAlpha(row, webp.Width);
        rows.Put(reinterpret_cast<const uint32_t*>(row));
    }
    rows.Finish();
    return true;
}
