// Windows half of message boxes: MessageBoxA, owned by the active window, with every line
// break made the "\r\n" the box expects.
// Not here: buttons other than OK.
#include <windows.h>

#include "framework/Dialogs.h"

void SystemMessageBox(const std::string& text, const std::string& caption, TMsgIcon icon)
{
    UINT flags = MB_OK | MB_TASKMODAL;
    switch (icon) {
    case miNone: break;
    case miError: flags |= MB_ICONERROR; break;
    case miWarning: flags |= MB_ICONWARNING; break;
    case miInformation: flags |= MB_ICONINFORMATION; break;
    case miQuestion: flags |= MB_ICONQUESTION; break;
    }
    std::string lines;
    for (char c : UnifyLineBreaks(text)) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    MessageBoxA(GetActiveWindow(), lines.c_str(), caption.c_str(), flags);
}
