#pragma once
// Path conventions of the platform the program runs on. The values are defined by the
// platform layer ("/" on Linux; "\" and the drive colon on Windows).
#include <cstdio>
#include <string>
#include <string_view>

extern const char PathDelim;                   // inserted between a folder and a name
extern const std::string_view PathSeparators;  // every character that ends a folder part

// The text from the last "." that stands after the last separator, dot included;
// empty when there is none.
std::string ExtractFileExt(std::string_view path);

// Paths are UTF-8 text on every platform: Linux takes their bytes as they are, Windows
// converts them for its wide calls at any length.

// True when path names an existing regular file, links followed: not a folder, not a
// device, and never the empty path.
bool IsRegularFile(const std::string& path);

// std::fopen for a path of the program's: every file the program reads or writes by name is
// opened here, so that on Windows a name outside the user's code page opens too.
std::FILE* OpenFileStream(const std::string& path, const char* mode);

// The folder of the program file, with its trailing separator.
std::string ProgramFolder();

// The user's own pictures folder, without a trailing separator.
std::string UserPicturesFolder();

// Opens path for appending, creating it when missing, only when it is the user's own
// regular file reached without a symbolic link: never a FIFO, device or folder, which
// could hold the program or be another's, and never inherited by programs it starts.
// Null otherwise. On Windows a plain open.
std::FILE* AppendToOwnFile(const std::string& path);
