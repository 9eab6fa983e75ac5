#pragma once
// Makes PNG, TIFF and WebP files for tests with each format's own library (Linux only), from
// pictures of 0xAARRGGBB pixels (alpha not premultiplied), row 0 first.
#include <cstdint>
#include <string>
#include <vector>

struct TArgbPicture {
    int Width = 0, Height = 0;
    std::vector<uint32_t> Pixels;
};

struct TPngOptions {
    // What the file stores: red, green, blue (and alpha when the picture has any); grey (the
    // green channel, and alpha); or a palette, with a tRNS chunk when the picture has alpha.
    enum { Rgb, Grey, Palette } Colour = Rgb;
    int Depth = 8;  // 1, 2, 4 for grey and palette; 16 for grey and RGB
    bool Alpha = false;
    bool Interlaced = false;
    int Orientation = 0;  // 1 to 8: an eXIf chunk holding it; 0 none
};
std::string MakePng(const TArgbPicture& picture, const TPngOptions& options = {});

struct TTiffOptions {
    int RowsPerStrip = 4;
    int Tile = 0;  // tiles of Tile x Tile pixels (a multiple of 16) instead of strips
    bool Alpha = false, AssociatedAlpha = false;
    bool Grey = false;  // the green channel
    bool SeparatePlanes = false;
    int Depth = 8;  // or 16
    bool Deflate = false;
    int Orientation = 0;  // 1 to 8: the Orientation tag; 0 none
};
std::string MakeTiff(const TArgbPicture& picture, const TTiffOptions& options = {});

struct TWebpOptions {
    bool Lossless = true;
    int Orientation = 0;      // 1 to 8: an EXIF chunk holding it; 0 none
    bool ExifHeader = false;  // the chunk starts with "Exif\0\0", as some writers store it
    // An animation of the picture and a second frame of its colours inverted.
    bool Animated = false;
};
std::string MakeWebp(const TArgbPicture& picture, const TWebpOptions& options = {});
