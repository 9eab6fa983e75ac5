// Linux half of message boxes: FLTK's modal boxes with the caption as the window's title
// (fl_alert's "!" for errors and warnings, fl_message's "i" for the rest); with no display
// the text goes to standard error as "caption: text".
// Not here: a question icon of its own (questions show the "i").
#include <FL/Fl.H>
#include <FL/fl_ask.H>
#include <X11/Xlib.h>

#include <cstdio>

#include "framework/Dialogs.h"
#include "platform/x11/X11Framework.h"

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
