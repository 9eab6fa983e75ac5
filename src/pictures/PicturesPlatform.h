#pragma once
// What a platform writes for the pictures layer: walking the folder tree. Declared here
// (pictures/PictureSearch.h includes this for its callers); the platform half (pictures/x11,
// pictures/win32) defines both functions, and a missing one fails the link of the program and
// of the tests (tests/pictures/PicturesPlatformTest.cpp takes every address).
#include <string>
#include <tuple>
#include <vector>

// Appends every picture file at or below path to list (a TPictureList), depth first in the
// order the platform enumerates each folder. Never clears the list and reports no error: a
// path that names nothing, or a folder that cannot be read, contributes nothing.
void FindPictureFiles(std::vector<std::string>& list, const std::string& path, const std::vector<std::string>& masks);

// True when path names an existing directory (symbolic links followed).
bool DirectoryExists(const std::string& path);

// Every name above, for the link check; a new one goes here too.
inline constexpr std::tuple PicturesPlatformEntries{&FindPictureFiles, &DirectoryExists};
