#include "preview/Preview.h"

#include <exception>
#include <new>
#include <ostream>
#include <vector>

#include "core/Exception.h"
#include "core/Random.h"
#include "framework/Bitmap.h"
#include "imaging/PictureFormats.h"
#include "pictures/Resample.h"
#include "preview/PreviewAnimation.h"
#include "preview/PreviewHost.h"
#include "preview/PreviewStretch.h"
#include "settings/Settings.h"

namespace {
constexpr int FrameMilliseconds = 20;
// Far beyond any real window, small enough that the sizes stay ordinary ints.
constexpr int64_t LargestSide = 1 << 20;

// The argument as it may appear inside a one-line message.
std::string Printable(const std::string& text)
{
    std::string out;
    for (char c : text.substr(0, 64)) out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    if (text.size() > 64) out += "...";
    return out;
}

// Gives the canvas back on every way out of the preview.
class TCanvasHolder {
public:
    explicit TCanvasHolder(TPreviewHost& host) : FHost(host) { FHost.CreateCanvas(); }
    ~TCanvasHolder() { FHost.ReleaseCanvas(); }
    TCanvasHolder(const TCanvasHolder&) = delete;
    TCanvasHolder& operator=(const TCanvasHolder&) = delete;

private:
    TPreviewHost& FHost;
};

int Animate(TPreviewHost& host, uint32_t handle, std::ostream& err, const TPreviewPictureLoader& load)
{
    const TPreviewRect window = host.OpenWindow(handle);
    // One pixel more each way than the window; the frames fill the window itself.
    const int64_t width64 = window.Right - window.Left + 1;
    const int64_t height64 = window.Bottom - window.Top + 1;
    if (width64 < 1 || height64 < 1 || width64 > LargestSide || height64 > LargestSide)
        throw Exception("window " + std::to_string(handle) + " has a size the preview cannot use");
    const int width = static_cast<int>(width64);
    const int height = static_cast<int>(height64);

    TCanvasHolder canvas(host);

    const TPictureList chosen = ChoosePreviewPictures(ReadPictureFolder(), ReadAllPictureFormats());
    if (chosen.empty()) return 0;

    std::vector<TBitmap> pictures(chosen.size());
    for (size_t i = 0; i < chosen.size(); ++i) {
        pictures[i].SetSize(width, height);
        try {
            if (!load(chosen[i], pictures[i])) pictures[i].SetSize(width, height);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception&) {
            // A picture that breaks its loader is shown as one that does not decode: white.
            pictures[i].SetSize(width, height);
        }
    }

    TBitmap backBuffer;
    backBuffer.SetSize(width, height);

    // Hosts often create the window hidden and show it later; start as soon as they do.
    for (;;) {
        const TPreviewWindowState state = host.WindowState();
        if (state == TPreviewWindowState::Visible) break;
        if (state == TPreviewWindowState::Gone) {
            err << "vellumine: window " << handle << " was destroyed before it was shown\n";
            return 1;
        }
        host.WaitMessages();
    }

    TPreviewAnimation animation(static_cast<int>(pictures.size()), width, height);
    animation.Start();
    const TPreviewRect whole{0, 0, width - 1, height - 1};
    while (host.WindowState() == TPreviewWindowState::Visible) {
        PreviewStretchCopy(pictures[static_cast<size_t>(animation.Picture())], animation.SourceRect(), backBuffer,
                           whole);
        host.Present(backBuffer, width - 1, height - 1);
        host.Sleep(FrameMilliseconds);
        host.ProcessMessages();
        animation.Advance();
    }
    return 0;
}
}  // namespace

std::optional<uint32_t> ParsePreviewWindowHandle(const std::string& text)
{
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > UINT32_MAX) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

bool LoadPreviewPicture(const std::string& path, TBitmap& picture)
{
    // Decoded no larger than it takes to cover the preview's picture (a JPEG at libjpeg's
    // cheapest scale that does): a photograph becomes a few hundred pixels, not tens of millions.
    TBitmap decoded;
    if (!LoadPictureIntoBitmap(decoded, path, nullptr, picture.Width(), picture.Height())) return false;
    ResampleBitmap(decoded, picture);
    return true;
}

TPictureList ChoosePreviewPictures(const std::string& folder, bool allFormats)
{
    TPictureList list;
    if (!DirectoryExists(folder)) return list;
    FindPictureFiles(list, folder, PictureMasks(allFormats));
    ShufflePictureList(list);
    if (list.size() > PreviewPictureCount) list.resize(PreviewPictureCount);
    return list;
}

int RunPreview(TPreviewHost& host, const std::string& windowParam, std::ostream& err, const TPreviewPictureLoader& load)
{
    const std::optional<uint32_t> handle = ParsePreviewWindowHandle(windowParam);
    if (!handle) {
        if (windowParam.empty())
            err << "vellumine: the preview needs the host window's id: vellumine /p <window id>\n";
        else
            err << "vellumine: '" << Printable(windowParam) << "' is not a window id (a decimal number below 2^32)\n";
        return 1;
    }
    try {
        return Animate(host, *handle, err, load);
    } catch (const std::bad_alloc&) {
        err << "vellumine: not enough memory for the preview\n";
    } catch (const std::exception& e) {
        err << "vellumine: " << e.what() << "\n";
    }
    return 1;
}

int PreviewMode(const std::string& windowParam, std::ostream& err)
{
    Randomize();
    const std::unique_ptr<TPreviewHost> host = CreatePlatformPreviewHost();
    return RunPreview(*host, windowParam, err);
}
