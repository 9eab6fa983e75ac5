#pragma once
// Text helpers that must not depend on the user's locale.
#include <string>
#include <string_view>

#include "core/CorePlatform.h"  // AcuteAccent, the platform's narrow accent

// Upper-cases the ASCII letters a to z only; every other byte is kept as it is.
std::string UpperCaseAscii(std::string_view text);

// True when both texts are equal after upper-casing their ASCII letters.
bool SameTextAscii(std::string_view a, std::string_view b);

// The text with each control byte (below 0x20, and 0x7F) written as \xNN in upper-case hex,
// so that a name or a line from outside cannot steer the terminal or split a log line.
// Every other byte, those of UTF-8 sequences included, is kept as it is.
std::string EscapeControlBytes(std::string_view text);
