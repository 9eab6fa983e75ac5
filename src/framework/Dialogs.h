#pragma once
// Message boxes.
#include <functional>
#include <string>
#include <vector>

#include "framework/Graphics.h"

class TBitmap;
class TForm;

enum TMsgIcon { miNone, miError, miWarning, miInformation, miQuestion };

// Shows text in a modal box with an OK button; returns when the user closes it. On Linux
// with no display the text goes to standard error instead.
void MessageBoxShow(const std::string& text, const std::string& caption, TMsgIcon icon);

// Tests stand a recorder in for the real box (an empty function puts the real one back).
using TMessageBoxHandler = std::function<void(const std::string& text, const std::string& caption, TMsgIcon icon)>;
void SetMessageBoxHandler(TMessageBoxHandler handler);
// The text with every line break ("\r\n", a lone "\r" or "\n") made one '\n'.
std::string UnifyLineBreaks(const std::string& text);

// The file-open box for one picture, with a preview of the picture under the cursor where
// the platform can show one. Filter: "name|pattern|name|pattern...", where a pattern may be
// several joined by semicolons ("*.jpg;*.jpeg"), as Windows writes them.
class TOpenPictureDialog {
public:
    std::string Filter;
    int FilterIndex = 1;     // from 1, as the system counts
    std::string InitialDir;  // empty: the system's choice
    std::string Title;       // empty: the system's own
    std::string FileName;    // the chosen file, full path, after Execute returned true
    // Decodes a file for the preview; false when it is no picture.
    bool (*LoadPreview)(const std::string& path, TBitmap& bitmap) = nullptr;
    // Runs the box; false when the user cancelled it. Without a screen, always false.
    bool Execute(TForm* owner);
};

// One entry of a filter: its name and its patterns, each alone.
struct TFileFilter {
    std::string Name;
    std::vector<std::string> Patterns;
    bool operator==(const TFileFilter&) const = default;
};
// The entries of a filter in their order. A name without a pattern after it is no entry;
// empty patterns between semicolons are dropped.
std::vector<TFileFilter> ParseFileFilter(const std::string& filter);

// Where a picture of that size is drawn in a preview area: shrunk to fit the area with its
// proportions kept (never enlarged, never thinner than a pixel), centred. Empty when the
// picture or the area is.
TRect PreviewPlace(int pictureWidth, int pictureHeight, const TRect& area);

// Tests stand a stand-in for the real box (an empty function puts the real one back); it
// plays the user, setting FileName and answering as Execute would.
using TOpenPictureHandler = std::function<bool(TOpenPictureDialog& dialog)>;
void SetOpenPictureHandler(TOpenPictureHandler handler);
// The platform halves of MessageBoxShow and Execute: framework/FrameworkPlatform.h.

// Opens a document or web address with the desktop's default program. Throws Exception
// with the system's text when the system cannot open it.
void ShellOpen(const std::string& address);
