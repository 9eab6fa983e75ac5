// Windows half of the pixel storage of TBitmap.
// Implements: FrameworkPlatform.h's BitmapMemory::Allocate and Release, from the ordinary heap
// Leaves out: large pages, which need a privilege a screen saver does not hold
#include "framework/Bitmap.h"

#include <new>

uint8_t* BitmapMemory::Allocate(size_t bytes) { return new uint8_t[bytes]; }

void BitmapMemory::Release(uint8_t* pixels, size_t) noexcept { delete[] pixels; }
