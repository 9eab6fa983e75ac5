// The decoders Linux has beside JPEG, each from a Debian library of its own.
// Implements: MakePlatformPicture (ImagingPlatform.h) for PNG, TIFF, WebP, HEIF (and AVIF)
// and JPEG XL.
#include "imaging/ImagingPlatform.h"

#include "imaging/x11/LinuxHeifPicture.h"
#include "imaging/x11/LinuxJxlPicture.h"
#include "imaging/x11/LinuxPngPicture.h"
#include "imaging/x11/LinuxTiffPicture.h"
#include "imaging/x11/LinuxWebpPicture.h"

std::unique_ptr<TPicture> MakePlatformPicture(TPictureKind kind)
{
    switch (kind) {
    case TPictureKind::Png: return std::make_unique<TPngPicture>();
    case TPictureKind::Tiff: return std::make_unique<TTiffPicture>();
    case TPictureKind::Webp: return std::make_unique<TWebpPicture>();
    case TPictureKind::Heif: return std::make_unique<THeifPicture>();
    case TPictureKind::Jxl: return std::make_unique<TJxlPicture>();
    default: return nullptr;
    }
}
