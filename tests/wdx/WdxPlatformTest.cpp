// Link-time guard: the test program does not link when the platform half being built leaves
// out a name of wdx/WdxPlatform.h.
#include "wdx/WdxPlatform.h"

const void* WdxPlatformLinked() { return &WdxPlatformEntries; }
