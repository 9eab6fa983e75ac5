// Link-time guard: the test program does not link when the platform half being built leaves
// out a name of preview/PreviewPlatform.h.
#include "preview/PreviewPlatform.h"

const void* PreviewPlatformLinked() { return &PreviewPlatformEntries; }
