// Link-time guard: the test program does not link when the platform half being built leaves
// out a name of pictures/PicturesPlatform.h.
#include "pictures/PicturesPlatform.h"

const void* PicturesPlatformLinked() { return &PicturesPlatformEntries; }
