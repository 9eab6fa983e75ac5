// Linux half of the pixel storage of TBitmap.
// Implements: FrameworkPlatform.h's BitmapMemory::Allocate and Release
// Leaves out: nothing
// Blocks of a few megabytes and more are aligned to 2 MB and offered to the kernel for
// transparent huge pages: a photograph's bitmap then costs a few dozen page faults instead of
// tens of thousands, which is a quarter of the time its decoding takes. Smaller blocks come
// from the ordinary heap. The program's allocator also gives every block of a megabyte or
// more back to the system when it is freed.
#include "framework/Bitmap.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace {
constexpr size_t HugePage = size_t(2) << 20;
constexpr size_t HugeFrom = 2 * HugePage;

size_t Rounded(size_t bytes) { return (bytes + HugePage - 1) & ~(HugePage - 1); }

// glibc raises its threshold for mapping a block of its own to the size of each mapped
// block freed, up to 32 MB, and its threshold for trimming the heap with it. After the first
// photograph has gone, a picture's averaged copies, decoder buffers and file data then come
// from heaps that keep them once freed: a slide show held some 20 MB more than its pictures.
// A fixed threshold keeps big blocks mapped, and returned to the system when freed.
const bool BigBlocksReturned = [] {
    ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
    return true;
}();
}  // namespace

uint8_t* BitmapMemory::Allocate(size_t bytes)
{
    if (bytes < HugeFrom) return new uint8_t[bytes];
    if (bytes > Rounded(bytes)) throw std::bad_alloc();  // rounding wrapped around
    void* pixels = std::aligned_alloc(HugePage, Rounded(bytes));
    if (pixels == nullptr) throw std::bad_alloc();
    // Only advice: without huge pages the memory works the same.
    ::madvise(pixels, Rounded(bytes), MADV_HUGEPAGE);
    return static_cast<uint8_t*>(pixels);
}

void BitmapMemory::Release(uint8_t* pixels, size_t bytes) noexcept
{
    if (pixels == nullptr) return;
    if (bytes < HugeFrom)
        delete[] pixels;
    else
        std::free(pixels);
}
