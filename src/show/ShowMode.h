#pragma once
// Which entry of the display device's video-mode list the show runs in. A stored resolution
// that the display does not offer (a new monitor, a settings file from another machine, the
// 800 x 600 x 16 fallback on a display without 16-bit modes) must still give a full-screen
// mode: in the windowed desktop entry the device has no flip chain and the show would draw
// nothing. A palettized mode (8 bits or fewer) counts as one the display lacks, even when it
// is listed: the show cannot give its surface the colours of a picture. The stored settings
// themselves are never changed.
#include <vector>

#include "settings/Settings.h"

// One entry of the device's list, as the choice sees it.
struct TShowModeEntry {
    bool Windowed = false;
    TResolution Mode;
};

// The index to select, in this order of preference:
// 1. the stored resolution: the last full-screen entry equal to it, as when every match is
//    selected in turn;
// 2. else the desktop's mode: the last full-screen entry of the size and depth of the
//    list's windowed (desktop) entry;
// 3. else the closest full-screen entry: the smallest difference between its area and the
//    stored resolution's area, then the depth nearest the desktop's (the stored depth when
//    the list has no desktop entry), and the last of entries equal in both.
// Palettized entries take part in none of the three. -1 when the list holds no other
// full-screen entry: the device keeps the entry it has.
int ChooseShowMode(const std::vector<TShowModeEntry>& modes, const TResolution& stored);
