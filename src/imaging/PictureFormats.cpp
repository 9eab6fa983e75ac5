// Implements: MakePicture, LoadPictureIntoBitmap (PictureFormats.h).
#include "imaging/PictureFormats.h"

#include <new>

#include "core/PictureKinds.h"
#include "framework/Bitmap.h"
#include "imaging/ImagingPlatform.h"
#include "imaging/PictureLoader.h"

std::unique_ptr<TPicture> MakePicture(std::string_view name)
{
    const TPictureKind kind = PictureKindOfName(name);
    if (kind == TPictureKind::None) return nullptr;
    if (kind == TPictureKind::Jpeg) return std::make_unique<TJpegPicture>();
    return MakePlatformPicture(kind);
}

bool LoadPictureIntoBitmap(TBitmap& bitmap, const std::string& path, const std::atomic<bool>* cancel, int boxWidth,
                           int boxHeight)
{
    try {
        std::unique_ptr<TPicture> picture = MakePicture(path);
        if (picture) {
            picture->SetCancel(cancel);
            if (picture->Open(path)) {
                const TStoredSize size = StoredSize(picture->OwnWidth(), picture->OwnHeight(), boxWidth, boxHeight);
                return picture->DecodeStored(bitmap, size.Width, size.Height);
            }
        }
    } catch (const std::bad_alloc&) {
    }
    bitmap.SetSize(0, 0);
    return false;
}
