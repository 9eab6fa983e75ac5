#pragma once
// Finding the picture files below the picture folder, and putting them in a random order.
#include <string>
#include <vector>

// Full paths of picture files, in the order they were found (then shuffled). Duplicates
// are allowed and nothing is sorted.
using TPictureList = std::vector<std::string>;

// The masks both the show and the preview search with. Only their extensions count.
const std::vector<std::string>& PictureMasks();

// Appends every picture file at or below path to list, depth first in the order the
// platform enumerates each folder. Never clears the list and reports no error: a path
// that names nothing, or a folder that cannot be read, contributes nothing.
void FindPictureFiles(TPictureList& list, const std::string& path, const std::vector<std::string>& masks);

// Puts the list into a random order in place, drawing from the process-wide generator.
void ShufflePictureList(TPictureList& list);

// True when path names an existing directory (symbolic links followed).
bool DirectoryExists(const std::string& path);
