// The PNG decoder through the shared picture harness: opened from a file, decoded at a size the
// input's last two bytes choose into guarded rows.
#include "PictureFuzz.h"
#include "imaging/x11/LinuxPngPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TPngPicture picture;
    return picture_fuzz::Run(picture, data, size);
}
