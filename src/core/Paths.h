#pragma once
// Path conventions of the platform the program runs on. The values are defined by the
// platform layer ("/" on Linux; "\" and the drive colon on Windows).
#include <string>
#include <string_view>

extern const char PathDelim;                   // inserted between a folder and a name
extern const std::string_view PathSeparators;  // every character that ends a folder part

// The text from the last "." that stands after the last separator, dot included;
// empty when there is none.
std::string ExtractFileExt(std::string_view path);

// The folder of the program file, with its trailing separator.
std::string ProgramFolder();

// The user's own pictures folder, without a trailing separator.
std::string UserPicturesFolder();
