#pragma once
// The settings dialog's rules that need no screen: the speed bar's position from the mouse,
// the folder Browse makes of a chosen file and the kinds its box lists, and which video modes are offered and selected.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "settings/Settings.h"

struct TVideoModeInfo;

// The bar position for the mouse at x on a bar width pixels wide: x times 100 in 32-bit
// integers, divided by the width in floating point, rounded half to even. Not yet limited
// to the bar's range. Empty for a bar of no width.
std::optional<int32_t> SpeedPositionFromX(int32_t x, int32_t width);

// Browse's first step: the chosen file's name cut after its last separator, which is kept.
std::string FolderCutAfterSeparator(const std::string& fileName);
// Browse's second step: the text without its last character. A lone separator, the root of
// the file system, is a whole folder name and stays.
std::string WithoutTrailingSeparator(const std::string& folder);

// The Browse box's filter: the two JPEG entries alone; with allFormats, one entry for every
// kind the show takes first, then the JPEG entries, then one entry per other kind.
std::string PictureFilter(bool allFormats);

// The dialog offers neither the windowed desktop entry nor any mode of 8 bits per pixel.
bool OffersVideoMode(const TVideoModeInfo& mode);

// The entry the stored resolution selects among count entries: every match in turn, so the
// last one wins; current when none matches.
int StoredModeIndex(int count, const std::function<TVideoModeInfo(int)>& entry, const TResolution& stored, int current);
