#pragma once
// Turning a JPEG picture file into a bitmap, or straight into memory of the caller's, at its
// own size or reduced to the size a screen can show of it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class TBitmap;

struct TStoredSize {
    int Width = 0;
    int Height = 0;
};

// The size a picture of width x height is stored at to be shown within a box: reduced,
// proportions kept, to the smallest size that still covers the box, never enlarged. Box
// sides of 0 or less: the picture's own size.
TStoredSize StoredSize(int width, int height, int boxWidth, int boxHeight);

// Decodes the JPEG file folder + separator + fileName (fileName alone when folder is empty)
// into bitmap, 24 bits, upright as the camera meant it: at its own size, or with a box at
// StoredSize(its upright size, box), decoded as TJpegPicture::DecodeStored does. False on any
// failure (a held size of more than MaxPicturePixels too), after which the bitmap must not be
// used; nothing is reported and nothing leaks. Once cancel (when given) is set, from any
// thread, the decoding stops within a few rows and fails.
bool LoadJpegIntoBitmap(TBitmap& bitmap, const std::string& folder, const std::string& fileName,
                        const std::atomic<bool>* cancel = nullptr, int boxWidth = 0, int boxHeight = 0);
// The same for a JPEG file's bytes already in memory, at its own size.
bool LoadJpegBytesIntoBitmap(TBitmap& bitmap, const uint8_t* data, size_t size);

// A JPEG file opened and its header understood, for decoding straight into memory of the
// caller's (an image surface), which saves a bitmap's worth of memory and a copy of a large
// photograph. The file is read as the decoding goes, never held whole.
class TJpegPicture {
public:
    TJpegPicture();
    ~TJpegPicture();
    TJpegPicture(const TJpegPicture&) = delete;
    TJpegPicture& operator=(const TJpegPicture&) = delete;

    // Opens the file and reads its header; false when either fails or the file is larger than
    // MaxPictureFileBytes. Any size libjpeg takes opens: what may be held is DecodeStored's
    // concern.
    bool Open(const std::string& path);
    // Once cancel is set, from any thread, decoding stops within a few rows and fails.
    void SetCancel(const std::atomic<bool>* cancel);
    // What libjpeg may hold while decoding (a progressive picture keeps all its coefficients);
    // a picture that needs more fails as damaged data does. DefaultMemoryBudget unless set.
    void SetMemoryBudget(long bytes);
    static const long DefaultMemoryBudget;

    const std::string& Path() const { return FPath; }
    // The size the file stores the picture at.
    int Width() const;
    int Height() const;
    // The upright picture's size: the stored one, its sides exchanged by orientations 5 to 8.
    int OwnWidth() const;
    int OwnHeight() const;

    // Whether DecodeInto can take the picture as it is: it needs neither turning upright nor
    // CMYK conversion.
    bool DecodesStraight() const;
    // Decodes into rows of 32-bit pixels 0x00RRGGBB (little-endian), the first at pixels,
    // each pitch bytes after the one before, at the stored size (at most MaxPicturePixels).
    // False on a fatal error in the data; the rows are then partly written. Once only.
    bool DecodeInto(uint8_t* pixels, ptrdiff_t pitch);

    // Decodes the picture upright, CMYK converted, reduced to width x height (at most the own
    // size and MaxPicturePixels; normally StoredSize's answer) into rows as DecodeInto's. It
    // decodes at the cheapest of libjpeg's scales 1/8, 1/4, 1/2 and 1 that covers that size
    // and area-averages the rows down as they come. At the own size of a picture DecodeInto
    // takes, the pixels are DecodeInto's. False for other sizes, on a fatal error in the
    // data, when cancelled or past the memory budget. Once only (DecodeInto included).
    bool DecodeStored(uint8_t* pixels, ptrdiff_t pitch, int width, int height);
    // The same into a 24-bit bitmap, which it sizes; the bitmap is emptied on failure.
    bool DecodeStored(TBitmap& bitmap, int width, int height);

    struct Impl;

private:
    std::unique_ptr<Impl> FImpl;
    std::string FPath;
};
