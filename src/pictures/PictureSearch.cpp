// The portable half of the picture search: the masks and the shuffle. The walk itself
// lives with each platform, since how fast it is depends on the platform's own calls.
#include "pictures/PictureSearch.h"

#include "core/PictureKinds.h"
#include "core/Random.h"

#include <utility>

const std::vector<std::string>& PictureMasks(bool allFormats)
{
    static const auto masks = [](bool all) {
        std::vector<std::string> list;
        for (const std::string& extension : ShownPictureExtensions(all)) list.push_back("*." + extension);
        return list;
    };
    static const std::vector<std::string> jpeg = masks(false), every = masks(true);
    return allFormats ? every : jpeg;
}

void ShufflePictureList(TPictureList& list)
{
    // Each position swaps with a draw over the whole list, not only the part not yet
    // visited: the order of draws is what a saved seed replays, so it must not change.
    const uint32_t count = static_cast<uint32_t>(list.size());
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t j = RandomInt(count);
        std::swap(list[i], list[j]);
    }
}
