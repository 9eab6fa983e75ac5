// The Linux side of the program's narrow text, which is UTF-8 here.
// Implements: AcuteAccent. Does not implement: any conversion between encodings.
#include "core/Text.h"

std::string_view AcuteAccent() { return "\xC2\xB4"; }
