#pragma once
// Makes JPEG files for tests with libjpeg's own compressor, in every form the loader must read.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TRgb {
    uint8_t R = 0, G = 0, B = 0;
    bool operator==(const TRgb&) const = default;
};

enum class TJpegColour {
    YCbCr,      // the usual colour JPEG
    Grayscale,  // one component: the pixels' luminance
    Cmyk,       // four components holding the ink, no Adobe marker
    AdobeCmyk,  // four components inverted (255 = no ink), with an Adobe marker
    Ycck,       // Adobe's YCCK transform of inverted CMYK
};

struct TJpegOptions {
    int Quality = 95;
    bool Progressive = false;
    bool Arithmetic = false;
    int RestartRows = 0;        // a restart marker after every this many MCU rows; 0 for none
    bool Subsample420 = false;  // 4:2:0 chroma; 4:4:4 otherwise
    TJpegColour Colour = TJpegColour::YCbCr;
    int Orientation = 0;         // 1 to 8 writes an EXIF block with this orientation; 0 none
    bool BigEndianExif = false;  // "MM" rather than "II" TIFF byte order
    // Progressive with exactly this many scans (2 to 694, grey pictures only): one DC scan,
    // then the AC coefficients in bands, each refined bit by bit. 0 for libjpeg's own script.
    int Scans = 0;
};

// A width x height picture in top-to-bottom rows of pixels.
struct TRgbPicture {
    int Width = 0;
    int Height = 0;
    std::vector<TRgb> Pixels;

    TRgbPicture(int width, int height, TRgb fill = {});
    TRgb& At(int x, int y) { return Pixels[static_cast<size_t>(y) * Width + x]; }
    const TRgb& At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

// Four colours, one per quadrant (the split at width / 2 and height / 2).
TRgbPicture QuadrantPicture(int width, int height, TRgb topLeft, TRgb topRight, TRgb bottomLeft, TRgb bottomRight);

// The JPEG file's bytes. Throws std::runtime_error when libjpeg refuses the options.
std::string MakeJpeg(const TRgbPicture& picture, const TJpegOptions& options = {});
std::string MakeSolidJpeg(int width, int height, TRgb colour, const TJpegOptions& options = {});
// A colour picture made row by row, never held whole: for pictures of hundreds of megapixels.
std::string MakeLargeJpeg(int width, int height, const std::function<TRgb(int x, int y)>& pixel,
                          const TJpegOptions& options = {});

// The body of an APP1 marker carrying an EXIF block with only the orientation tag.
std::string ExifBlock(int orientation, bool bigEndian = false);
