#pragma once
// One rectangle for every coordinate type the code needs: int for forms, canvases and the
// show, 64-bit for the preview's arithmetic, unsigned for the presenter's pixel fitting.
// Right and bottom are exclusive, as the blits and the window systems expect.
#include <cstdint>

template <typename T>
struct TRectT {
    T Left = 0;
    T Top = 0;
    T Right = 0;
    T Bottom = 0;

    constexpr T Width() const { return Right - Left; }
    constexpr T Height() const { return Bottom - Top; }
    constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    constexpr bool Contains(T x, T y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    bool operator==(const TRectT&) const = default;
};

using TRect = TRectT<int32_t>;

constexpr TRect Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) { return {left, top, right, bottom}; }
