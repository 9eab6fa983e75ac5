// The decoders Linux has beside JPEG, each from a Debian library of its own.
// Implements: MakePlatformPicture (ImagingPlatform.h) for HEIF (and AVIF) and JPEG XL.
// Leaves out: PNG, TIFF and WebP, whose decoders are not here yet.
#include "imaging/ImagingPlatform.h"

#include "imaging/x11/LinuxHeifPicture.h"
#include "imaging/x11/LinuxJxlPicture.h"

std::unique_ptr<TPicture> MakePlatformPicture(TPictureKind kind)
{
    switch (kind) {
    case TPictureKind::Heif: return std::make_unique<THeifPicture>();
    case TPictureKind::Jxl: return std::make_unique<TJxlPicture>();
    default: return nullptr;
    }
}
