#pragma once
// Text helpers that must not depend on the user's locale.
#include <string>
#include <string_view>

// Upper-cases the ASCII letters a to z only; every other byte is kept as it is.
std::string UpperCaseAscii(std::string_view text);

// True when both texts are equal after upper-casing their ASCII letters.
bool SameTextAscii(std::string_view a, std::string_view b);

// The acute accent (U+00B4) in the platform's narrow text: one byte of Windows-1252 on Windows, two
// bytes of UTF-8 on Linux. Defined by each platform's text unit.
std::string_view AcuteAccent();

// The text with each control byte (below 0x20, and 0x7F) written as \xNN in upper-case hex,
// so that a name or a line from outside cannot steer the terminal or split a log line.
// Every other byte, those of UTF-8 sequences included, is kept as it is.
std::string EscapeControlBytes(std::string_view text);
