// Linux half of message boxes and the picture box: FLTK's.
// Implements: FrameworkPlatform.h's SystemMessageBox, SystemOpenPicture
// Leaves out: ShellOpen (LinuxShell.cpp's); a question icon of its own (questions show the "i")
// Modal boxes with the caption as the window's title (fl_alert's "!" for errors and warnings,
// fl_message's "i" for the rest); with no display the text goes to standard error as
// "caption: text". The picture box is FLTK's file chooser with its preview, fed by the
// caller's own picture decoder.
#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Shared_Image.H>
#include <FL/fl_ask.H>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

#include "framework/Bitmap.h"
#include "framework/FrameworkPlatform.h"
#include "framework/x11/X11Framework.h"

void SystemMessageBox(const std::string& text, const std::string& caption, TMsgIcon icon)
{
    const std::string lines = UnifyLineBreaks(text);
    if (!X11Framework::OpenDisplay()) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), lines.c_str());
        return;
    }
    fl_message_title(caption.c_str());
    if (icon == miError || icon == miWarning)
        fl_alert("%s", lines.c_str());
    else
        fl_message("%s", lines.c_str());
}

namespace {
bool (*previewLoader)(const std::string&, TBitmap&) = nullptr;

// FLTK asks its image handlers in turn for the file under the chooser's cursor.
Fl_Image* PreviewImage(const char* name, uchar* header, int headerLength)
{
    if (!previewLoader || headerLength < 3 || header[0] != 0xFF || header[1] != 0xD8 || header[2] != 0xFF)
        return nullptr;
    TBitmap bitmap;
    if (!previewLoader(name, bitmap) || bitmap.Empty()) return nullptr;
    const int width = bitmap.Width(), height = bitmap.Height();
    auto* rgb = new uchar[static_cast<size_t>(width) * 3 * static_cast<size_t>(height)];
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = bitmap.ScanLine(y);
        uchar* target = rgb + static_cast<size_t>(y) * 3 * static_cast<size_t>(width);
        for (int x = 0; x < width; ++x) {
            target[x * 3] = source[x * 3 + 2];
            target[x * 3 + 1] = source[x * 3 + 1];
            target[x * 3 + 2] = source[x * 3];
        }
    }
    auto* image = new Fl_RGB_Image(rgb, width, height, 3);
    image->alloc_array = 1;
    return image;
}

// "name|pattern|name|pattern" as FLTK's tab-separated "name (pattern)" list.
std::string ChooserFilter(const std::string& filter)
{
    std::string result;
    size_t start = 0;
    while (start <= filter.size()) {
        const size_t bar = filter.find('|', start);
        const std::string name = filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        if (bar == std::string::npos) break;
        const size_t next = filter.find('|', bar + 1);
        const std::string pattern =
            filter.substr(bar + 1, next == std::string::npos ? std::string::npos : next - bar - 1);
        if (!result.empty()) result += '\t';
        // FLTK takes the pattern from the parentheses of the name.
        result += name.find("(" + pattern + ")") != std::string::npos ? name : name + " (" + pattern + ")";
        if (next == std::string::npos) break;
        start = next + 1;
    }
    return result;
}
}  // namespace

bool SystemOpenPicture(TOpenPictureDialog& dialog, TForm*)
{
    if (!X11Framework::OpenDisplay()) return false;
    static const bool registered = [] {
        Fl_Shared_Image::add_handler(PreviewImage);
        return true;
    }();
    (void)registered;
    previewLoader = dialog.LoadPreview;
    const std::string filter = ChooserFilter(dialog.Filter);
    Fl_File_Chooser chooser(dialog.InitialDir.empty() ? "." : dialog.InitialDir.c_str(), filter.c_str(),
                            Fl_File_Chooser::SINGLE, dialog.Title.empty() ? "Open" : dialog.Title.c_str());
    chooser.filter_value(dialog.FilterIndex > 0 ? dialog.FilterIndex - 1 : 0);
    chooser.preview(dialog.LoadPreview ? 1 : 0);
    chooser.show();
    while (chooser.shown()) Fl::wait();
    previewLoader = nullptr;
    if (chooser.count() < 1 || !chooser.value()) return false;
    dialog.FileName = chooser.value();
    dialog.FilterIndex = chooser.filter_value() + 1;
    return true;
}
