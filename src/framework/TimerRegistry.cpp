#include "framework/TimerRegistry.h"

#include <map>

#include "framework/Timer.h"

namespace {
std::map<uintptr_t, TTimer*>& Timers()
{
    // Never destroyed: objects freed during the program's exit still look here.
    static auto* timers = new std::map<uintptr_t, TTimer*>;
    return *timers;
}
uintptr_t nextId = 1;
}  // namespace

uintptr_t RegisterTimer(TTimer* timer)
{
    const uintptr_t id = nextId++;
    Timers()[id] = timer;
    return id;
}

void UnregisterTimer(uintptr_t id) { Timers().erase(id); }

TTimer* TTimer::FindTimer(uintptr_t id)
{
    const auto found = Timers().find(id);
    return found == Timers().end() ? nullptr : found->second;
}
