#pragma once
// Path conventions of the platform the program runs on ("/" on Linux; "\" and the drive
// colon on Windows) and the program's file calls: the platform's half, declared in
// core/CorePlatform.h, and what is written once on top of it.
#include <string>
#include <string_view>

#include "core/CorePlatform.h"

// The text from the last "." that stands after the last separator, dot included;
// empty when there is none.
std::string ExtractFileExt(std::string_view path);
