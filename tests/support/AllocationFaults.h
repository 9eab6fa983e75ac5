#pragma once
// Fails one chosen allocation, for tests that show a failed allocation is answered with an
// error and never thrown out of code whose callers cannot catch. A test binary that links
// AllocationFaults.cpp has its global operator new replaced; allocations are counted only on
// the thread that armed the count, and only inside Counted, so the test's own bookkeeping
// around the calls under test is never the one that fails.
#include <utility>

namespace allocfaults {

// Makes counted allocation number n (0 the next) throw std::bad_alloc; -1 disarms.
void FailAllocation(long n);
// Whether the armed allocation has been reached and failed.
bool AllocationFailed();
void SetCounting(bool counting);

// Runs call with its allocations counted.
template <typename Call>
auto Counted(Call&& call)
{
    struct Scope {
        Scope() { SetCounting(true); }
        ~Scope() { SetCounting(false); }
    } scope;
    return std::forward<Call>(call)();
}

}  // namespace allocfaults
