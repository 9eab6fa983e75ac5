// Fitting and bilinear scaling of frames for the X11 presenter.
// Implements: X11FitKeepingProportions, X11ScaleFrame. Not here: anything of Xlib's.
#include "platform/x11/X11PresenterScale.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct Tap {
    uint32_t First, Second;  // neighbouring source indices
    uint32_t Weight;         // of Second, out of 256
};

// Destination pixel centres mapped back into the source; edges repeat the last pixel.
std::vector<Tap> Taps(uint32_t destination, uint32_t source)
{
    std::vector<Tap> taps(destination);
    for (uint32_t i = 0; i < destination; ++i) {
        const double at = std::clamp((i + 0.5) * source / destination - 0.5, 0.0, double(source - 1));
        const auto first = static_cast<uint32_t>(at);
        const auto weight = static_cast<uint32_t>((at - first) * 256 + 0.5);
        taps[i] = {first, std::min(first + 1, source - 1), weight};
    }
    return taps;
}

// Red and blue move together in one multiply, green in another.
inline uint32_t Mix(uint32_t a, uint32_t b, uint32_t weight)
{
    const uint32_t keep = 256 - weight;
    const uint32_t rb = (((a & 0xFF00FF) * keep + (b & 0xFF00FF) * weight) >> 8) & 0xFF00FF;
    const uint32_t g = (((a & 0x00FF00) * keep + (b & 0x00FF00) * weight) >> 8) & 0x00FF00;
    return rb | g;
}

const uint32_t* Row(const uint32_t* pixels, size_t pitch, uint32_t y)
{
    return reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(pixels) + y * pitch);
}

uint32_t* Row(uint32_t* pixels, size_t pitch, uint32_t y)
{
    return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(pixels) + y * pitch);
}

}  // namespace

X11FitRect X11FitKeepingProportions(uint32_t frameWidth, uint32_t frameHeight, uint32_t targetWidth,
                                    uint32_t targetHeight)
{
    X11FitRect fit;
    if (!frameWidth || !frameHeight || !targetWidth || !targetHeight) return fit;
    if (uint64_t{frameWidth} * targetHeight <= uint64_t{targetWidth} * frameHeight) {
        fit.Height = targetHeight;
        fit.Width = uint32_t((uint64_t{frameWidth} * targetHeight + frameHeight / 2) / frameHeight);
    } else {
        fit.Width = targetWidth;
        fit.Height = uint32_t((uint64_t{frameHeight} * targetWidth + frameWidth / 2) / frameWidth);
    }
    fit.Width = std::clamp<uint32_t>(fit.Width, 1, targetWidth);
    fit.Height = std::clamp<uint32_t>(fit.Height, 1, targetHeight);
    fit.X = (targetWidth - fit.Width) / 2;
    fit.Y = (targetHeight - fit.Height) / 2;
    return fit;
}

void X11ScaleFrame(const uint32_t* pixels, uint32_t width, uint32_t height, size_t pitchBytes, uint32_t* target,
                   uint32_t targetWidth, uint32_t targetHeight, size_t targetPitchBytes)
{
    const X11FitRect fit = X11FitKeepingProportions(width, height, targetWidth, targetHeight);
    for (uint32_t y = 0; y < targetHeight; ++y) {
        uint32_t* out = Row(target, targetPitchBytes, y);
        if (y < fit.Y || y >= fit.Y + fit.Height) {
            std::fill_n(out, targetWidth, 0u);
            continue;
        }
        std::fill_n(out, fit.X, 0u);
        std::fill_n(out + fit.X + fit.Width, targetWidth - fit.X - fit.Width, 0u);
    }
    if (fit.Width == 0) return;
    if (fit.Width == width && fit.Height == height) {
        for (uint32_t y = 0; y < height; ++y)
            std::memcpy(Row(target, targetPitchBytes, fit.Y + y) + fit.X, Row(pixels, pitchBytes, y),
                        size_t{width} * 4);
        return;
    }
    const auto columns = Taps(fit.Width, width), rows = Taps(fit.Height, height);
    for (uint32_t y = 0; y < fit.Height; ++y) {
        const uint32_t* upper = Row(pixels, pitchBytes, rows[y].First);
        const uint32_t* lower = Row(pixels, pitchBytes, rows[y].Second);
        const uint32_t rowWeight = rows[y].Weight;
        uint32_t* out = Row(target, targetPitchBytes, fit.Y + y) + fit.X;
        for (uint32_t x = 0; x < fit.Width; ++x) {
            const Tap& c = columns[x];
            const uint32_t top = Mix(upper[c.First], upper[c.Second], c.Weight);
            const uint32_t bottom = Mix(lower[c.First], lower[c.Second], c.Weight);
            out[x] = Mix(top, bottom, rowWeight);
        }
    }
}
