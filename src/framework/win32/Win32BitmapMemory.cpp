// Windows pixel storage for TBitmap.
// Implements: BitmapMemory::Allocate / Release from the ordinary heap.
// Does not implement: large pages, which need a privilege a screen saver does not hold.
#include "framework/Bitmap.h"

#include <new>

uint8_t* BitmapMemory::Allocate(size_t bytes) { return new uint8_t[bytes]; }

void BitmapMemory::Release(uint8_t* pixels, size_t) noexcept { delete[] pixels; }
