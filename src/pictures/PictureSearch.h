#pragma once
// Finding the picture files below the picture folder, and putting them in a random order.
#include <string>
#include <vector>

#include "pictures/PicturesPlatform.h"

// Full paths of picture files, in the order they were found (then shuffled). Duplicates
// are allowed and nothing is sorted.
using TPictureList = std::vector<std::string>;

// The masks both the show and the preview search with: JPEG's, and with allFormats every
// kind of picture the show takes (core/PictureKinds.h). Only their extensions count.
const std::vector<std::string>& PictureMasks(bool allFormats = false);

// Walking the folders, FindPictureFiles and DirectoryExists: pictures/PicturesPlatform.h.

// Puts the list into a random order in place, drawing from the process-wide generator.
void ShufflePictureList(TPictureList& list);
