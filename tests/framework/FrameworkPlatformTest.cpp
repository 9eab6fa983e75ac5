// Link-time guard: the test program does not link when the platform half being built leaves
// out a name of framework/FrameworkPlatform.h.
#include "framework/FrameworkPlatform.h"

const void* FrameworkPlatformLinked() { return &FrameworkPlatformEntries; }
