// The Windows side of the program's narrow text, which is Windows-1252 here.
// Implements: AcuteAccent. Does not implement: any conversion between code pages.
#include "core/Text.h"

std::string_view AcuteAccent() { return "\xB4"; }
