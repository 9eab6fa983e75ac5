// The decoders Windows has beside JPEG: the system's Imaging Component for every kind.
// Implements: MakePlatformPicture (ImagingPlatform.h).
#include "imaging/ImagingPlatform.h"
#include "imaging/win32/WicPicture.h"

std::unique_ptr<TPicture> MakePlatformPicture(TPictureKind kind)
{
    if (kind == TPictureKind::None || kind == TPictureKind::Jpeg) return nullptr;
    return std::make_unique<TWicPicture>(kind);
}
