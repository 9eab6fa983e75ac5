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

// True when path names an existing regular file, links followed: not a folder, not a
// device, and never the empty path. The name is taken in the narrow encoding the program's
// files are opened with.
bool IsRegularFile(const std::string& path);

// The folder of the program file, with its trailing separator.
std::string ProgramFolder();

// The user's own pictures folder, without a trailing separator.
std::string UserPicturesFolder();
