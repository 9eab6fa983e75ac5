#include "dialog/CfgRules.h"

#include <limits>

#include "core/Numeric.h"
#include "core/Paths.h"
#include "wdx/WDirectHeader.h"

std::optional<int32_t> SpeedPositionFromX(int32_t x, int32_t width)
{
    if (width <= 0) return std::nullopt;
    // The product wraps as 32-bit arithmetic does; only x beyond 21 million pixels would.
    const auto product = static_cast<int32_t>(static_cast<uint32_t>(x) * 100u);
    const int64_t rounded = RoundHalfEven(static_cast<double>(product) / static_cast<double>(width));
    constexpr int64_t low = std::numeric_limits<int32_t>::min(), high = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(rounded < low ? low : rounded > high ? high : rounded);
}

std::string FolderCutAfterSeparator(const std::string& fileName)
{
    const size_t last = fileName.find_last_of(PathSeparators);
    return last == std::string::npos ? std::string() : fileName.substr(0, last + 1);
}

std::string WithoutTrailingSeparator(const std::string& folder)
{
    if (folder.empty()) return folder;
    if (folder.size() == 1 && PathSeparators.find(folder[0]) != std::string_view::npos) return folder;
    return folder.substr(0, folder.size() - 1);
}

bool OffersVideoMode(const TVideoModeInfo& mode)
{
    bool accept = true;
    if (mode.Windowed) accept = false;
    if (mode.Bits == 8) accept = false;
    return accept;
}

int StoredModeIndex(int count, const std::function<TVideoModeInfo(int)>& entry, const TResolution& stored, int current)
{
    int selected = current;
    for (int i = 0; i < count; ++i) {
        const TVideoModeInfo mode = entry(i);
        if (mode.Width == stored.Width && mode.Height == stored.Height && mode.Bits == stored.Bits) selected = i;
    }
    return selected;
}
