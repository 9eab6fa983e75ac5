// Decodes one HEIC file and ends: the process the HEIC benchmark measures. "stored BOX_WIDTH
// BOX_HEIGHT" decodes it as the show stores it for a screen of that box (THeifPicture, reduced
// to StoredSize, into 32-bit rows); "whole" is libheif's own decoding of the primary picture
// to interleaved 8-bit RGB and nothing more, the reference. Exit status 0 when it decoded.
#include "imaging/x11/LinuxHeifPicture.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <libheif/heif.h>

namespace {

bool LibheifWhole(const char* path)
{
    heif_context* context = heif_context_alloc();
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    const bool decoded =
        heif_context_read_from_file(context, path, nullptr).code == heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok &&
        heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code ==
            heif_error_Ok;
    if (image) heif_image_release(image);
    if (handle) heif_image_handle_release(handle);
    heif_context_free(context);
    return decoded;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "whole") == 0) return LibheifWhole(argv[2]) ? 0 : 1;
    if (argc != 5 || std::strcmp(argv[1], "stored") != 0) {
        std::fprintf(stderr, "usage: heic_load_once whole FILE | stored FILE BOX_WIDTH BOX_HEIGHT\n");
        return 2;
    }
    THeifPicture picture;
    if (!picture.Open(argv[2])) return 1;
    const TStoredSize size =
        StoredSize(picture.OwnWidth(), picture.OwnHeight(), std::atoi(argv[3]), std::atoi(argv[4]));
    const std::unique_ptr<uint32_t[]> pixels(new uint32_t[static_cast<size_t>(size.Width) * size.Height]);
    return picture.DecodeStored(reinterpret_cast<uint8_t*>(pixels.get()), ptrdiff_t{size.Width} * 4, size.Width,
                                size.Height)
               ? 0
               : 1;
}
