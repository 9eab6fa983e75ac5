#pragma once
// The picture files the surface layer reads besides JPEG: Windows bitmaps and TGA files.
// Both readers take the whole file in memory and check every size against it before they
// touch a byte, so a damaged file is refused and never read past its end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/Bitmap.h"

// A bitmap as the surfaces copy it: 24-bit pixels, plus the file's colour table when it has
// one (palette bitmaps), each entry 0x00RRGGBB, which an 8-bit surface takes as its palette.
struct TLoadedBitmap {
    TBitmap Pixels;
    std::vector<uint32_t> ColorTable;
    // The file's bits per pixel; 0 for a picture decoded into a bitmap of the display's format.
    int FileBits = 0;
};

// A TGA picture: Width x Height values, row 0 (the top) first; each value red in the top
// byte, then green, blue, and alpha in the low byte. HasAlpha: some alpha byte was not 255.
struct TRawPicture {
    uint16_t Width = 0;
    uint16_t Height = 0;
    uint16_t Depth = 0;  // the file's bits per pixel
    std::vector<uint32_t> Pixels;
    bool HasAlpha = false;
};

// The file's bytes; false when it cannot be read, is no regular file or is larger than any
// picture file may be.
bool ReadFileBytes(const std::string& path, std::string& bytes);

// A BMP file: 1, 4, 8, 16, 24 or 32 bits, uncompressed or with bit fields, either row order.
// False, leaving bitmap empty, for anything else, a damaged file or one of more pixels than
// any picture may have.
bool ReadBmp(const uint8_t* data, size_t size, TLoadedBitmap& bitmap);
bool LoadBmpFile(const std::string& path, TLoadedBitmap& bitmap);

// A TGA file of type 2 (true colour) or 10 (run-length true colour), 24 or 32 bits, either
// row order. False, leaving picture empty, for anything else, a damaged file or one of more
// pixels than any picture may have.
bool ReadTga(const uint8_t* data, size_t size, TRawPicture& picture);
bool LoadTgaFile(const std::string& path, TRawPicture& picture);
