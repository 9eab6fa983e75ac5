// Link-time guard: the test program does not link when the platform half being built leaves
// out a name of show/ShowPlatform.h.
#include "show/ShowPlatform.h"

const void* ShowPlatformLinked() { return &ShowPlatformEntries; }
