// The decoders Linux has beside JPEG, each from a Debian library of its own.
// Implements: MakePlatformPicture (ImagingPlatform.h).
#include "imaging/ImagingPlatform.h"

std::unique_ptr<TPicture> MakePlatformPicture(TPictureKind kind)
{
    switch (kind) {
    default: return nullptr;
    }
}
