#include "framework/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

TBitmap::TBitmap(const TBitmap& other) : FBottomUp(other.FBottomUp) { Assign(other); }

TBitmap& TBitmap::operator=(const TBitmap& other)
{
    if (&other != this) {
        TBitmap copy(other);
        Swap(copy);
    }
    return *this;
}

TBitmap::TBitmap(TBitmap&& other) noexcept
    : FWidth(std::exchange(other.FWidth, 0)),
      FHeight(std::exchange(other.FHeight, 0)),
      FBottomUp(other.FBottomUp),
      FPixels(std::exchange(other.FPixels, nullptr)),
      FBytes(std::exchange(other.FBytes, 0))
{
}

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept
{
    if (&other != this) {
        TBitmap moved(std::move(other));
        Swap(moved);
    }
    return *this;
}

void TBitmap::Allocate(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * 3 + 3) & ~uint64_t(3);
    const uint64_t total = rowBytes * static_cast<uint64_t>(height);
    // Release the old pixels first, so that a large picture replacing another never needs both.
    BitmapMemory::Release(FPixels, FBytes);
    FPixels = nullptr;
    FBytes = 0;
    FWidth = 0;
    FHeight = 0;
    // Row offsets are ptrdiff_t: on a 32-bit system a size past its range could never be held.
    if (total > static_cast<uint64_t>(std::numeric_limits<ptrdiff_t>::max())) throw std::bad_alloc();
    if (total > 0) {
        FPixels = BitmapMemory::Allocate(static_cast<size_t>(total));
        FBytes = static_cast<size_t>(total);
    }
    FWidth = width;
    FHeight = height;
}

void TBitmap::SetSize(int width, int height)
{
    Allocate(width, height);
    if (FPixels) std::memset(FPixels, 0xFF, static_cast<size_t>(RowBytes()) * static_cast<size_t>(FHeight));
}

void TBitmap::SetSizeUninitialized(int width, int height)
{
    Allocate(width, height);
    const size_t used = static_cast<size_t>(FWidth) * 3;
    const size_t padding = static_cast<size_t>(RowBytes()) - used;
    if (padding > 0)
        for (int y = 0; y < FHeight; ++y) std::memset(ScanLine(y) + used, 0, padding);
}

void TBitmap::Assign(const TBitmap& source)
{
    if (&source == this) return;
    SetSizeUninitialized(source.Width(), source.Height());
    const size_t rowBytes = static_cast<size_t>(RowBytes());
    for (int y = 0; y < FHeight; ++y) std::memcpy(ScanLine(y), source.ScanLine(y), rowBytes);
}

void TBitmap::Swap(TBitmap& other) noexcept
{
    std::swap(FWidth, other.FWidth);
    std::swap(FHeight, other.FHeight);
    std::swap(FBottomUp, other.FBottomUp);
    std::swap(FPixels, other.FPixels);
    std::swap(FBytes, other.FBytes);
}
