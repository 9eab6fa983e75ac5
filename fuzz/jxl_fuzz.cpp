// JPEG XL files through libjxl's decoder: any bytes open and decode into exactly the rows
// asked for, or are refused.
#include "PictureFuzz.h"
#include "imaging/x11/LinuxJxlPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TJxlPicture picture;
    return picture_fuzz::Run(picture, data, size);
}
