// The global operator new of a test binary, with one allocation made to fail on demand; see
// AllocationFaults.h. Unarmed it is malloc and free. The aligned forms are left as they
// are: they pair only with each other.
#include "support/AllocationFaults.h"

#include <cstdlib>
#include <new>

namespace {
thread_local long Countdown = -1;
thread_local bool Counting = false;
thread_local bool Failed = false;
}  // namespace

namespace allocfaults {

void FailAllocation(long n)
{
    Countdown = n;
    Failed = false;
}

bool AllocationFailed() { return Failed; }

void SetCounting(bool counting) { Counting = counting; }

}  // namespace allocfaults

void* operator new(std::size_t size)
{
    if (Counting && Countdown >= 0 && Countdown-- == 0) {
        Failed = true;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) { return ::operator new(size); }

// The forms that answer null instead of throwing, replaced too: a sanitizer's own would pair
// its allocations with these deletes.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept { return ::operator new(size, nothrow); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
