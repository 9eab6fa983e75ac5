// Link-time guard: the test program does not link when the platform half being built leaves
// out a name of core/CorePlatform.h.
#include "core/CorePlatform.h"

const void* CorePlatformLinked() { return &CorePlatformEntries; }
