// Linux half of the program's narrow text, which is UTF-8 here.
// Implements: CorePlatform.h's AcuteAccent
// Leaves out: any conversion between encodings
#include "core/Text.h"

std::string_view AcuteAccent() { return "\xC2\xB4"; }
