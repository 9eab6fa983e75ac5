#include "dialog/CfgRules.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "core/Numeric.h"
#include "core/Paths.h"
#include "core/PictureKinds.h"
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

namespace {
// The names users know the kinds by; extensions of one kind share a name.
std::string KindName(const std::string& extension)
{
    static const std::pair<const char*, const char*> names[] = {
        {"heic", "HEIC"}, {"heif", "HEIC"},   {"avif", "AVIF"}, {"webp", "WebP"},
        {"png", "PNG"},   {"jxl", "JPEG XL"}, {"tif", "TIFF"},  {"tiff", "TIFF"},
    };
    for (const auto& [known, name] : names)
        if (extension == known) return name;
    std::string upper = extension;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

std::string Entry(const std::string& name, const std::vector<std::string>& extensions)
{
    std::string patterns;
    for (const std::string& extension : extensions) patterns += (patterns.empty() ? "*." : ";*.") + extension;
    return name + " (" + patterns + ")|" + patterns;
}
}  // namespace

std::string PictureFilter(bool allFormats)
{
    const std::string jpeg = Entry("JPEG Image File", {"jpg"}) + '|' + Entry("JPEG Image File", {"jpeg"});
    if (!allFormats) return jpeg;
    std::vector<std::pair<std::string, std::vector<std::string>>> kinds;
    for (const std::string& extension : ShownPictureExtensions(true)) {
        if (PictureKindOfName("." + extension) == TPictureKind::Jpeg) continue;
        const std::string name = KindName(extension);
        auto kind = std::find_if(kinds.begin(), kinds.end(), [&](const auto& k) { return k.first == name; });
        if (kind == kinds.end()) kind = kinds.emplace(kinds.end(), name, std::vector<std::string>{});
        kind->second.push_back(extension);
    }
    std::string filter = Entry("All pictures", ShownPictureExtensions(true)) + '|' + jpeg;
    for (const auto& [name, extensions] : kinds) filter += '|' + Entry(name + " Image File", extensions);
    return filter;
}
