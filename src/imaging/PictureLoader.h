#pragma once
// Turning a JPEG picture file into a bitmap, or straight into memory of the caller's, at its
// own size or reduced to the size a screen can show of it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/Picture.h"

class TBitmap;

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
class TJpegPicture : public TPicture {
public:
    TJpegPicture();
    ~TJpegPicture() override;

    // Any size libjpeg takes opens: what may be held is DecodeStored's concern.
    bool Open(const std::string& path) override;

    // The size the file stores the picture at.
    int Width() const;
    int Height() const;
    // The upright picture's size: the stored one, its sides exchanged by orientations 5 to 8.
    int OwnWidth() const override;
    int OwnHeight() const override;

    // Whether DecodeInto can take the picture as it is: it needs neither turning upright nor
    // CMYK conversion.
    bool DecodesStraight() const;
    // Decodes into rows of 32-bit pixels 0x00RRGGBB (little-endian), the first at pixels,
    // each pitch bytes after the one before, at the stored size (at most MaxPicturePixels).
    // False on a fatal error in the data; the rows are then partly written. Once only
    // (DecodeStored included).
    bool DecodeInto(uint8_t* pixels, ptrdiff_t pitch);

    // DecodeStored decodes at the cheapest of libjpeg's scales 1/8, 1/4, 1/2 and 1 that covers
    // the size asked for and area-averages the rows down as they come; CMYK is converted on
    // the way. At the own size of a picture DecodeInto takes, the pixels are DecodeInto's.

    struct Impl;

protected:
    bool Decode(const TPictureTarget& target) override;

private:
    std::unique_ptr<Impl> FImpl;
};
