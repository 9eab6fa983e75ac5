#include "show/ShowMode.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
TShowModeEntry Window(int32_t width, int32_t height, int32_t bits) { return {true, {width, height, bits}}; }
TShowModeEntry Full(int32_t width, int32_t height, int32_t bits) { return {false, {width, height, bits}}; }

TEST(ShowMode, TheStoredModeThenTheDesktopsThenTheClosestFullScreenMode)
{
    const struct {
        const char* what;
        std::vector<TShowModeEntry> modes;
        TResolution stored;
        int chosen;
    } cases[] = {
        {"the stored mode when listed",
         {Window(1280, 720, 32), Full(640, 480, 16), Full(1024, 768, 32), Full(1280, 720, 32)},
         {1024, 768, 32},
         2},
        {"a full-screen entry beats the desktop entry with the same numbers",
         {Window(1280, 720, 32), Full(1280, 720, 16), Full(1280, 720, 32)},
         {1280, 720, 32},
         2},
        {"the last of equal entries, as when every match is selected in turn",
         {Window(1280, 720, 32), Full(800, 600, 32), Full(800, 600, 32), Full(1280, 720, 32)},
         {800, 600, 32},
         2},
        {"a size the display lacks takes the desktop's mode, even with a closer size listed",
         {Window(1280, 720, 32), Full(640, 480, 32), Full(1280, 720, 16), Full(1280, 720, 32), Full(1920, 1080, 32)},
         {1920, 1200, 32},
         3},
        {"a depth the display lacks takes the desktop's mode, not the stored size in another depth",
         {Window(1280, 720, 32), Full(800, 600, 32), Full(1280, 720, 32), Full(800, 600, 8)},
         {800, 600, 16},
         2},
        {"without the desktop's mode, the nearest area: 1024 x 768 is nearer 1280 x 800 than 1280 x 1024",
         {Window(1366, 768, 32), Full(640, 480, 32), Full(1280, 1024, 32), Full(1024, 768, 32), Full(1600, 1200, 32)},
         {1280, 800, 32},
         3},
        {"a larger mode when it is the nearer",
         {Window(1366, 768, 32), Full(640, 480, 32), Full(1280, 1024, 32)},
         {1152, 864, 32},
         2},
        {"equal areas: the depth nearest the desktop's (16)",
         {Window(1366, 768, 16), Full(800, 600, 16), Full(800, 600, 32)},
         {800, 600, 24},
         1},
        {"equal areas: the depth nearest the desktop's (32)",
         {Window(1366, 768, 32), Full(800, 600, 16), Full(800, 600, 32)},
         {800, 600, 24},
         2},
        {"no desktop entry: the depth nearest the stored one",
         {Full(800, 600, 16), Full(800, 600, 32), Full(1024, 768, 32)},
         {640, 480, 16},
         0},
        {"equal in area and depth: the last",
         {Window(1366, 768, 32), Full(1000, 500, 32), Full(500, 1000, 32)},
         {700, 700, 32},
         2},
        {"a windowed entry is never chosen", {Window(1280, 720, 32)}, {1280, 720, 32}, -1},
        {"an empty list", {}, {800, 600, 16}, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(ChooseShowMode(c.modes, c.stored), c.chosen) << c.what;
}

// The choice on a list from which the palettized entries are struck out, as an index of the
// full list: what the show does when the display does not offer those modes at all.
int ChoiceWithoutPalettizedEntries(const std::vector<TShowModeEntry>& modes, const TResolution& stored)
{
    std::vector<TShowModeEntry> offered;
    std::vector<int> index;
    for (size_t i = 0; i < modes.size(); ++i)
        if (modes[i].Mode.Bits > 8) {
            offered.push_back(modes[i]);
            index.push_back(static_cast<int>(i));
        }
    const int chosen = ChooseShowMode(offered, stored);
    return chosen < 0 ? -1 : index[chosen];
}

TEST(ShowMode, APalettizedModeIsOneTheDisplayLacksEvenWhenListed)
{
    const struct {
        const char* what;
        std::vector<TShowModeEntry> modes;
        TResolution stored;
        int chosen;
    } cases[] = {
        {"a stored 8-bit mode takes the desktop's mode",
         {Window(1920, 1080, 32), Full(1280, 720, 8), Full(1280, 720, 16), Full(1920, 1080, 8), Full(1920, 1080, 32)},
         {1280, 720, 8},
         4},
        {"a stored 4-bit mode takes the desktop's mode",
         {Window(1024, 768, 16), Full(640, 480, 4), Full(1024, 768, 16), Full(640, 480, 16)},
         {640, 480, 4},
         2},
        {"without the desktop's mode, the closest mode that is not palettized",
         {Window(1366, 768, 32), Full(800, 600, 8), Full(800, 600, 16), Full(1024, 768, 32)},
         {800, 600, 8},
         2},
        {"a palettized desktop mode is passed over for the closest other mode",
         {Window(1024, 768, 8), Full(1024, 768, 8), Full(800, 600, 16), Full(1024, 768, 16)},
         {1280, 720, 8},
         3},
        {"a missing stored mode never falls back on a palettized one of its size",
         {Window(1366, 768, 32), Full(1280, 720, 8), Full(1024, 768, 32)},
         {1280, 720, 16},
         2},
        {"only palettized full-screen modes: the device keeps its entry",
         {Window(1280, 720, 8), Full(1280, 720, 8), Full(640, 480, 4)},
         {1280, 720, 8},
         -1},
        {"a stored 16-bit mode is used as it stands",
         {Window(1920, 1080, 32), Full(1280, 720, 8), Full(1280, 720, 16), Full(1280, 720, 32)},
         {1280, 720, 16},
         2},
        {"a stored 32-bit mode is used as it stands",
         {Window(1920, 1080, 32), Full(1280, 720, 8), Full(1280, 720, 16), Full(1280, 720, 32)},
         {1280, 720, 32},
         3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseShowMode(c.modes, c.stored), c.chosen) << c.what;
        EXPECT_EQ(ChooseShowMode(c.modes, c.stored), ChoiceWithoutPalettizedEntries(c.modes, c.stored))
            << c.what << ": as if the display did not list palettized modes";
    }
}
}  // namespace
