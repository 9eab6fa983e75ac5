#pragma once
// The live timers by id, shared by the platforms' halves of TTimer: a tick still queued for
// a freed timer must find none (TTimer::FindTimer).
#include <cstdint>

class TTimer;

// Registers a new timer under an id never given before, and returns the id.
uintptr_t RegisterTimer(TTimer* timer);
void UnregisterTimer(uintptr_t id);
