// Windows half of the program's narrow text, which is Windows-1252 here.
// Implements: CorePlatform.h's AcuteAccent
// Leaves out: any conversion between code pages
#include "core/Text.h"

std::string_view AcuteAccent() { return "\xB4"; }
