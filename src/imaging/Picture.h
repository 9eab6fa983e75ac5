#pragma once
// A picture file of any kind the program decodes: opened and its header understood, then
// decoded once, upright as the camera meant it, at its own size or reduced to the size a
// screen can show of it, into memory of the caller's. Each kind of file has its decoder
// behind this; MakePicture (PictureFormats.h) picks it by the file's name.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// Opens a picture file for reading, at its start; nullptr when it cannot be opened, its size
// cannot be told, or it is larger than MaxPictureFileBytes (sizeOut, when given, gets the size).
std::FILE* OpenPictureFile(const std::string& path, uint64_t* sizeOut = nullptr);

// Where the upright picture goes: its top row, the bytes from a row to the next (negative
// for memory stored bottom up), its size, and 4 bytes a pixel (0x00RRGGBB) or 3 (blue,
// green, red).
struct TPictureTarget {
    uint8_t* Pixels;
    ptrdiff_t Pitch;
    int Width, Height, PixelBytes;
};

class TPicture {
public:
    TPicture() = default;
    virtual ~TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // Opens the file and reads its header; false when the file cannot be read, is larger than
    // MaxPictureFileBytes, is not a picture of this kind, or announces a size its decoder
    // refuses to take on. Once only.
    virtual bool Open(const std::string& path) = 0;
    // Once cancel is set, from any thread, decoding stops soon and fails.
    void SetCancel(const std::atomic<bool>* cancel) { FCancel = cancel; }
    // What the decoder may hold beside the caller's memory while it decodes (a progressive
    // JPEG's coefficients, a whole picture of a kind decoded whole); a picture that needs more
    // fails as damaged data does. DefaultMemoryBudget unless set.
    void SetMemoryBudget(long bytes) { FBudget = bytes; }
    static const long DefaultMemoryBudget;

    const std::string& Path() const { return FPath; }
    // The upright picture's size.
    virtual int OwnWidth() const = 0;
    virtual int OwnHeight() const = 0;

    // Decodes the picture upright, reduced to width x height (at most the own size and
    // MaxPicturePixels; normally StoredSize's answer) by area averaging, into rows of 32-bit
    // pixels 0x00RRGGBB (little-endian), the first at pixels, each pitch bytes after the one
    // before. Transparent parts are drawn over black. False for other sizes, on a fatal error
    // in the data (the rows are then partly written), when cancelled or past the memory
    // budget. Once only.
    bool DecodeStored(uint8_t* pixels, ptrdiff_t pitch, int width, int height);
    // The same into a 24-bit bitmap, which it sizes; the bitmap is emptied on failure.
    bool DecodeStored(TBitmap& bitmap, int width, int height);

protected:
    // Whether the caller gave the decoding up.
    bool Cancelled() const { return FCancel != nullptr && FCancel->load(std::memory_order_relaxed); }
    // Decodes into a target whose size DecodeStored has checked. Called once, after Open
    // succeeded.
    virtual bool Decode(const TPictureTarget& target) = 0;
    // Whether Decode was called (DecodeStored refuses a second time).
    bool Used() const { return FUsed; }
    void MarkUsed() { FUsed = true; }

    std::string FPath;
    const std::atomic<bool>* FCancel = nullptr;
    long FBudget = DefaultMemoryBudget;

private:
    bool FUsed = false;
};
