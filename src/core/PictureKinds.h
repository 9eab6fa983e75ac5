#pragma once
// The kinds of picture file the show finds, told by their names' extensions: JPEG always, the
// others when the user asked for every format. The search, the decoders and the Browse box's
// filter all take them from here, so that they never disagree.
#include <string>
#include <string_view>
#include <vector>

enum class TPictureKind { None, Jpeg, Png, Tiff, Webp, Heif, Jxl };

// The kind the name's extension (after its last dot, any letter case) says; None for others.
TPictureKind PictureKindOfName(std::string_view name);
// Whether the show takes files of the name: JPEG, and with allFormats every other kind.
bool IsShownPictureName(std::string_view name, bool allFormats);
// The extensions the show takes, lower case, without the dot: "jpg" and "jpeg" first.
const std::vector<std::string>& ShownPictureExtensions(bool allFormats);
