// Loads one JPEG file with the program's loader and ends: the process the JPEG benchmark
// times against djpeg. With a box, decodes it as the show stores it for a screen of that box:
// reduced to StoredSize, into 32-bit rows. Exit status 0 when the picture loaded.
#include "framework/Bitmap.h"
#include "imaging/PictureLoader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: jpeg_load_once FILE [BOX_WIDTH BOX_HEIGHT]\n");
        return 2;
    }
    if (argc == 2) {
        TBitmap bitmap;
        return LoadJpegIntoBitmap(bitmap, "", argv[1]) && !bitmap.Empty() ? 0 : 1;
    }
    TJpegPicture jpeg;
    if (!jpeg.Open(argv[1])) return 1;
    const TStoredSize size = StoredSize(jpeg.OwnWidth(), jpeg.OwnHeight(), std::atoi(argv[2]), std::atoi(argv[3]));
    // Fresh memory left unfilled, as the show's worker takes for each picture: the decoder
    // writes every pixel.
    const std::unique_ptr<uint32_t[]> pixels(new uint32_t[static_cast<size_t>(size.Width) * size.Height]);
    const bool decoded =
        jpeg.DecodeStored(reinterpret_cast<uint8_t*>(pixels.get()), ptrdiff_t{size.Width} * 4, size.Width, size.Height);
    return decoded ? 0 : 1;
}
