#include "framework/Timer.h"

void TTimer::SetEnabled(bool enabled)
{
    if (enabled == FEnabled) return;
    FEnabled = enabled;
    Update();
}

void TTimer::SetInterval(uint32_t milliseconds)
{
    if (milliseconds == FInterval) return;
    FInterval = milliseconds;
    Update();
}
