#pragma once
// The path every decoder that gives a picture's rows one after another at its full size
// shares: each row, as the file stores it, is reduced by area averaging to the stored size
// and written upright into the caller's memory at once, so that neither the full-size
// picture nor a turned copy of it is ever held.
#include <cstdint>
#include <memory>

#include "imaging/Picture.h"

class TRowReducer;
class TUprightWriter;

class TStoredRows {
public:
    // Rows of sourceWidth x sourceHeight as the file stores them, the picture's orientation
    // 1 to 8 (ExifOrientation's), into target, whose size is the upright picture's reduced
    // (at most the upright source size). Throws std::bad_alloc when its rows cannot be held
    // and std::invalid_argument for a target larger than the source.
    TStoredRows(int sourceWidth, int sourceHeight, int orientation, const TPictureTarget& target);
    ~TStoredRows();
    TStoredRows(const TStoredRows&) = delete;
    TStoredRows& operator=(const TStoredRows&) = delete;

    // The next source row: sourceWidth pixels 0x00RRGGBB.
    void Put(const uint32_t* row);
    // Writes what is still held; after the last row.
    void Finish();

private:
    std::unique_ptr<TRowReducer> FReducer;  // none when the picture is stored at its own size
    std::unique_ptr<TUprightWriter> FWriter;
};

// Transparent pixels drawn over black: each channel of a row of straight (not premultiplied)
// 8-bit red, green, blue and alpha, in that byte order, scaled by its alpha, into 0x00RRGGBB.
void RgbaOverBlack(const uint8_t* rgba, uint32_t* out, int width);
// The same for rows without alpha: red, green, blue bytes into 0x00RRGGBB.
void RgbToXrgb(const uint8_t* rgb, uint32_t* out, int width);
