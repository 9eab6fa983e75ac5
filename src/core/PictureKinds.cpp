// Implements: PictureKindOfName, IsShownPictureName, ShownPictureExtensions (PictureKinds.h).
#include "core/PictureKinds.h"

#include "core/Text.h"

namespace {
struct TExtension {
    const char* Name;
    TPictureKind Kind;
};
// HEIF holds both HEIC's HEVC pictures and AVIF's AV1 ones; one decoder takes all three.
constexpr TExtension Extensions[] = {
    {"jpg", TPictureKind::Jpeg},  {"jpeg", TPictureKind::Jpeg}, {"heic", TPictureKind::Heif},
    {"heif", TPictureKind::Heif}, {"avif", TPictureKind::Heif}, {"webp", TPictureKind::Webp},
    {"png", TPictureKind::Png},   {"jxl", TPictureKind::Jxl},   {"tif", TPictureKind::Tiff},
    {"tiff", TPictureKind::Tiff},
};
}  // namespace

TPictureKind PictureKindOfName(std::string_view name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return TPictureKind::None;
    const std::string_view extension = name.substr(dot + 1);
    for (const TExtension& known : Extensions)
        if (SameTextAscii(extension, known.Name)) return known.Kind;
    return TPictureKind::None;
}

bool IsShownPictureName(std::string_view name, bool allFormats)
{
    const TPictureKind kind = PictureKindOfName(name);
    return kind == TPictureKind::Jpeg || (allFormats && kind != TPictureKind::None);
}

const std::vector<std::string>& ShownPictureExtensions(bool allFormats)
{
    static const auto list = [](bool all) {
        std::vector<std::string> names;
        for (const TExtension& known : Extensions)
            if (all || known.Kind == TPictureKind::Jpeg) names.emplace_back(known.Name);
        return names;
    };
    static const std::vector<std::string> jpeg = list(false), every = list(true);
    return allFormats ? every : jpeg;
}
