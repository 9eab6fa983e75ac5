// The decoders Windows has beside JPEG.
// Implements: MakePlatformPicture (ImagingPlatform.h).
#include "imaging/ImagingPlatform.h"

std::unique_ptr<TPicture> MakePlatformPicture(TPictureKind kind)
{
    switch (kind) {
    default: return nullptr;
    }
}
