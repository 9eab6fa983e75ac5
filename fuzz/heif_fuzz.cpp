// HEIC, HEIF and AVIF files through libheif's decoder: any bytes open and decode into exactly
// the rows asked for, or are refused.
#include "PictureFuzz.h"
#include "imaging/x11/LinuxHeifPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    THeifPicture picture;
    return picture_fuzz::Run(picture, data, size);
}
