#include "show/ShowMode.h"

#include <cstdint>
#include <cstdlib>
#include <tuple>

namespace {
int64_t Area(const TResolution& r) { return int64_t{r.Width} * r.Height; }

// A palettized mode shows a picture only through a colour table, and a JPEG brings none: the
// surface would get an all-black palette and every frame would be drawn black.
bool Usable(const TShowModeEntry& entry) { return !entry.Windowed && entry.Mode.Bits > 8; }

// The last usable full-screen entry equal to wanted, or -1.
int LastFullScreen(const std::vector<TShowModeEntry>& modes, const TResolution& wanted)
{
    int found = -1;
    for (size_t i = 0; i < modes.size(); ++i)
        if (Usable(modes[i]) && modes[i].Mode == wanted) found = static_cast<int>(i);
    return found;
}
}  // namespace

int ChooseShowMode(const std::vector<TShowModeEntry>& modes, const TResolution& stored)
{
    if (const int exact = LastFullScreen(modes, stored); exact >= 0) return exact;

    const TShowModeEntry* desktop = nullptr;
    for (const TShowModeEntry& entry : modes)
        if (entry.Windowed) {
            desktop = &entry;
            break;
        }
    if (desktop)
        if (const int own = LastFullScreen(modes, desktop->Mode); own >= 0) return own;

    const int32_t depth = desktop ? desktop->Mode.Bits : stored.Bits;
    int closest = -1;
    std::tuple<int64_t, int64_t> best;
    for (size_t i = 0; i < modes.size(); ++i) {
        if (!Usable(modes[i])) continue;
        const TResolution& mode = modes[i].Mode;
        const std::tuple<int64_t, int64_t> distance{std::llabs(Area(mode) - Area(stored)),
                                                    std::llabs(int64_t{mode.Bits} - depth)};
        if (closest < 0 || distance <= best) {
            closest = static_cast<int>(i);
            best = distance;
        }
    }
    return closest;
}
