// Implements: MakePicture, LoadPictureIntoBitmap (PictureFormats.h).
#include "imaging/PictureFormats.h"

#include <cstring>
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

TPictureKind PictureKindOfBytes(const uint8_t* data, size_t size)
{
    const auto starts = [data, size](size_t at, const char* text, size_t length) {
        return size >= at + length && std::memcmp(data + at, text, length) == 0;
    };
    if (starts(0, "\xFF\xD8\xFF", 3)) return TPictureKind::Jpeg;
    if (starts(0, "\x89PNG\r\n\x1A\n", 8)) return TPictureKind::Png;
    if (starts(0, "II*\0", 4) || starts(0, "MM\0*", 4)) return TPictureKind::Tiff;
    if (starts(0, "RIFF", 4) && starts(8, "WEBP", 4)) return TPictureKind::Webp;
    // A bare JPEG XL stream, or one in its container.
    if (starts(0, "\xFF\x0A", 2) || starts(0, "\0\0\0\x0CJXL \r\n\x87\n", 12)) return TPictureKind::Jxl;
    // An ISO base media file: HEIF's brands (HEIC, AVIF and the general ones) in its file type box.
    if (starts(4, "ftyp", 4))
        for (const char* brand : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1", "avif", "avis"})
            if (starts(8, brand, 4)) return TPictureKind::Heif;
    return TPictureKind::None;
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
