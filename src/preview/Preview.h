#pragma once
// The preview mode: a zoom over up to five of the user's pictures, drawn into a window that
// a host (a settings page's preview box) owns, until the host hides or destroys it.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "pictures/PictureSearch.h"

class TBitmap;
class TPreviewHost;

// The most pictures one preview cycles through.
inline constexpr size_t PreviewPictureCount = 5;

// The window handle in the second argument: decimal digits only, at most 2^32 - 1. Empty
// when the text is missing, holds anything else, or is too large.
std::optional<uint32_t> ParsePreviewWindowHandle(const std::string& text);

// Turns the picture file at path into picture, at picture's present size. False when the
// file cannot be decoded; picture is then not used.
using TPreviewPictureLoader = std::function<bool(const std::string& path, TBitmap& picture)>;

// The program's own loader: the whole JPEG file, resampled to the picture's size.
bool LoadPreviewPicture(const std::string& path, TBitmap& picture);

// The first five files of the folder's shuffled picture list (JPEG's, or with allFormats
// every kind the show takes); none when the folder does not name a directory.
TPictureList ChoosePreviewPictures(const std::string& folder, bool allFormats = false);

// Runs the preview into the window named by windowParam and returns the process's exit
// status: 0 when the window was hidden or destroyed after it had been shown, or when there
// are no pictures; otherwise a message of one line goes to err and the status is 1. Draws
// from the generator as it stands (the caller seeds it).
int RunPreview(TPreviewHost& host, const std::string& windowParam, std::ostream& err,
               const TPreviewPictureLoader& load = LoadPreviewPicture);

// The whole mode as the program starts it: seeds the generator and runs the preview on the
// platform's own host.
int PreviewMode(const std::string& windowParam, std::ostream& err);
