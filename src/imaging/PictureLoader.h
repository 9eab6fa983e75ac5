#pragma once
// Turning a JPEG picture file into a bitmap, or straight into memory of the caller's.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class TBitmap;

// Decodes the JPEG file folder + separator + fileName (fileName alone when folder is empty)
// into bitmap, full size, 24 bits, upright as the camera meant it. False on any failure,
// after which the bitmap must not be used; nothing is reported and nothing leaks. Once
// cancel (when given) is set, from any thread, the decoding stops within a few rows and fails.
bool LoadJpegIntoBitmap(TBitmap& bitmap, const std::string& folder, const std::string& fileName,
                        const std::atomic<bool>* cancel = nullptr);
// The same for a JPEG file's bytes already in memory.
bool LoadJpegBytesIntoBitmap(TBitmap& bitmap, const uint8_t* data, size_t size);

// A JPEG file read and its header understood, for decoding straight into memory of the
// caller's (an image surface), which saves a bitmap's worth of memory and a copy of a large
// photograph. Only pictures that need neither turning upright nor CMYK conversion go this
// way; for the others, and for files whose header cannot be read, use LoadJpegIntoBitmap.
class TJpegPicture {
public:
    TJpegPicture();
    ~TJpegPicture();
    TJpegPicture(const TJpegPicture&) = delete;
    TJpegPicture& operator=(const TJpegPicture&) = delete;

    // Reads the file and its header; false when either fails or the picture is too large.
    bool Open(const std::string& path);
    // Once cancel is set, from any thread, decoding stops within a few rows and fails.
    void SetCancel(const std::atomic<bool>* cancel);
    const std::string& Path() const { return FPath; }
    int Width() const;
    int Height() const;
    // Whether DecodeInto can take the picture as it is.
    bool DecodesStraight() const;
    // Decodes into rows of 32-bit pixels 0x00RRGGBB (little-endian), the first at pixels,
    // each pitch bytes after the one before. False on a fatal error in the data; the rows
    // are then partly written. Once only.
    bool DecodeInto(uint8_t* pixels, ptrdiff_t pitch);

    struct Impl;

private:
    std::unique_ptr<Impl> FImpl;
    std::string FPath;
};
