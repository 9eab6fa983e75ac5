// Linux half of message boxes and the picture box: FLTK's.
// Implements: FrameworkPlatform.h's SystemMessageBox, SystemOpenPicture
// Leaves out: ShellOpen (LinuxShell.cpp's); a question icon of its own (questions show the "i")
// Modal boxes with the caption as the window's title (fl_alert's "!" for errors and warnings,
// fl_message's "i" for the rest); with no display the text goes to standard error as
// "caption: text". The picture box is the desktop's own (GTK's, through FLTK) where FLTK finds
// GTK, else FLTK's file chooser with its preview, fed by the caller's own picture decoder.
#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Shared_Image.H>
#include <FL/fl_ask.H>
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "core/PictureKinds.h"
#include "framework/Bitmap.h"
#include "framework/FrameworkPlatform.h"
#include "framework/x11/X11FileFilter.h"
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

// FLTK asks its image handlers in turn for the file under the chooser's cursor; ours takes
// the kinds of picture the show knows by name.
Fl_Image* PreviewImage(const char* name, uchar*, int)
{
    if (!previewLoader || !IsShownPictureName(name, true)) return nullptr;
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

// FLTK looks for GTK once, as its first native chooser is made, and takes it unless the
// user's FLTK options say otherwise; where it finds none it stands in its own plain box
// without a word, which would lose our preview. So the desktop's box is used only where FLTK
// has loaded GTK.
bool DesktopChooserAvailable()
{
    if (!Fl::option(Fl::OPTION_FNFC_USES_GTK)) return false;
    static const bool loaded = [] {
        {
            Fl_Native_File_Chooser lookup;
        }
        for (const char* library : {"libgtk-3.so.0", "libgtk-x11-2.0.so.0"})
            if (void* handle = dlopen(library, RTLD_LAZY | RTLD_NOLOAD)) {
                dlclose(handle);
                return true;
            }
        return false;
    }();
    return loaded;
}

// The desktop's own box; empty when it reports that it cannot run.
std::optional<bool> RunDesktopChooser(TOpenPictureDialog& dialog)
{
    const std::string filter = X11FileFilter::NativeFilter(dialog.Filter);
    Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_FILE);
    chooser.title(dialog.Title.empty() ? "Open" : dialog.Title.c_str());
    chooser.filter(filter.c_str());
    chooser.filter_value(dialog.FilterIndex > 0 ? dialog.FilterIndex - 1 : 0);
    // Where FLTK's own box would open: the current folder when the caller names none.
    std::string folder = dialog.InitialDir;
    if (folder.empty()) {
        std::error_code error;
        folder = std::filesystem::current_path(error).string();
    }
    if (!folder.empty()) chooser.directory(folder.c_str());
    // Its own preview, of the kinds the desktop decodes.
    chooser.options(Fl_Native_File_Chooser::PREVIEW);
    const int result = chooser.show();
    if (result < 0) return std::nullopt;
    if (result > 0 || !chooser.filename() || !*chooser.filename()) return false;
    dialog.FileName = chooser.filename();
    dialog.FilterIndex = chooser.filter_value() + 1;
    return true;
}

bool RunFltkChooser(TOpenPictureDialog& dialog)
{
    static const bool registered = [] {
        Fl_Shared_Image::add_handler(PreviewImage);
        return true;
    }();
    (void)registered;
    previewLoader = dialog.LoadPreview;
    const std::string filter = X11FileFilter::ChooserFilter(dialog.Filter);
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
}  // namespace

bool SystemOpenPicture(TOpenPictureDialog& dialog, TForm*)
{
    if (!X11Framework::OpenDisplay()) return false;
    if (DesktopChooserAvailable())
        if (const std::optional<bool> chosen = RunDesktopChooser(dialog)) return *chosen;
    return RunFltkChooser(dialog);
}
