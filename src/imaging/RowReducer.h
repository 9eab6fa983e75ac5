#pragma once
// Reducing a picture that arrives a row at a time to a smaller size by area averaging: each
// output pixel is the mean of the source pixels it covers, each weighted by the part of it
// that lies under the output pixel. Only one source row's worth of work and one row of sums
// are held, whatever the picture's height.
#include <cstdint>
#include <vector>

class TRowReducer {
public:
    // From sourceWidth x sourceHeight to width x height: each side at least 1 and at most the
    // source's. Throws std::invalid_argument for other sizes and std::bad_alloc when its rows
    // cannot be held.
    TRowReducer(int sourceWidth, int sourceHeight, int width, int height);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

    // Takes the next source row, sourceWidth pixels 0x??RRGGBB (the high byte is not read).
    // Returns the output row it completes, width pixels 0x00RRGGBB valid until the next call,
    // or nullptr when it completes none. Each output row is completed once, in order, the last
    // by the last source row.
    const uint32_t* Add(const uint32_t* row);

private:
    // A source row's share of the output row it falls in (First) and, when it straddles the
    // border, of the next one (Second), in 1/65536ths of those rows; whether it is the last
    // row of the first.
    struct TRowShare {
        uint16_t First = 0, Second = 0;
        bool Completes = false;
    };

    // Reduces the row across and adds its share to the output rows it falls in, completing
    // FOut when it completes one; without a share (nothing to reduce down) it is an output
    // row itself.
    void Reduce(const uint32_t* row, const TRowShare* share);

    int FSourceWidth, FSourceHeight, FWidth, FHeight;
    int FSourceRow = 0;
    // Source pixels each output pixel reads, rounded up to pairs.
    int FTaps = 0;
    std::vector<int32_t> FStart;    // the first source pixel of each output pixel
    std::vector<int32_t> FWeights;  // per output pixel and pair of taps: two 16-bit weights
    std::vector<TRowShare> FShares;
    // The source row as pairs of neighbours, channel by channel (see Reduce).
    std::vector<int16_t> FPairs;
    // The sums of the output row under way (8.8 fixed point, four channels a pixel), the row
    // reduced across (the same, for the plain loops; the vector code keeps it in registers),
    // and the finished output row.
    std::vector<uint16_t> FSums, FAcross;
    std::vector<uint32_t> FOut;
};
