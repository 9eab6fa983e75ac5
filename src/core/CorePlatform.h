#pragma once
// What a platform writes for the core layer: its path conventions, its file calls and the
// accent of its narrow text. core/Paths.h and core/Text.h include this for their callers; the
// platform half (core/x11, core/win32) defines every name below, and a missing one fails the
// link of the program and of the tests (tests/core/CorePlatformTest.cpp takes every address).
#include <cstdio>
#include <string>
#include <string_view>
#include <tuple>

extern const char PathDelim;                   // inserted between a folder and a name
extern const std::string_view PathSeparators;  // every character that ends a folder part

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

// The acute accent (U+00B4) in the platform's narrow text: one byte of Windows-1252 on
// Windows, two bytes of UTF-8 on Linux.
std::string_view AcuteAccent();

// Every name above, for the link check; a new one goes here too.
inline constexpr std::tuple CorePlatformEntries{&PathDelim,     &PathSeparators,     &IsRegularFile,   &OpenFileStream,
                                                &ProgramFolder, &UserPicturesFolder, &AppendToOwnFile, &AcuteAccent};
