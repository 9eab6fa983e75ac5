// The EXIF orientation reader: any APP1 body gives an orientation from 1 to 8.
#include "imaging/Orientation.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the input's size, so a read one byte past the block is caught.
    const std::vector<uint8_t> block(data, data + size);
    const int orientation = ExifOrientation(block.data(), block.size());
    if (orientation < 1 || orientation > 8) std::abort();
    return 0;
}
