// The TGA reader: any bytes give a whole picture or a refusal that leaves it empty.
#include "wdx/ImageFiles.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TRawPicture picture;
    if (!ReadTga(data, size, picture)) {
        if (!picture.Pixels.empty()) std::abort();
        return 0;
    }
    if (picture.Width == 0 || picture.Height == 0 ||
        picture.Pixels.size() != static_cast<size_t>(picture.Width) * picture.Height)
        std::abort();
    if (picture.Depth != 24 && picture.Depth != 32) std::abort();
    return 0;
}
