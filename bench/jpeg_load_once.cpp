// Loads one JPEG file with the program's loader and ends: the process the JPEG benchmark
// times against djpeg. Exit status 0 when the picture loaded.
#include "framework/Bitmap.h"
#include "imaging/PictureLoader.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: jpeg_load_once FILE\n");
        return 2;
    }
    TBitmap bitmap;
    return LoadJpegIntoBitmap(bitmap, "", argv[1]) && !bitmap.Empty() ? 0 : 1;
}
