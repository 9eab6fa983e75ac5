// Windows half of message boxes, the picture box and opening a document: MessageBoxA,
// owned by the active window, with every line break made the "\r\n" the box expects; the
// common file-open box; the shell's "open" verb.
// Not here: buttons other than OK; a picture preview in the file-open box (it needs a
// dialog template resource of its own).
#include <windows.h>
// After windows.h, whose declarations they use.
#include <commdlg.h>
#include <shellapi.h>

#include <vector>

#include "core/Exception.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"

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

bool SystemOpenPicture(TOpenPictureDialog& dialog, TForm* owner)
{
    // The filter's bars become the zero characters the box expects, with two at the end.
    std::vector<char> filter(dialog.Filter.begin(), dialog.Filter.end());
    for (char& c : filter)
        if (c == '|') c = '\0';
    filter.push_back('\0');
    filter.push_back('\0');
    char file[MAX_PATH * 4] = "";
    OPENFILENAMEA open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = owner ? owner->Handle() : nullptr;
    open.lpstrFilter = filter.data();
    open.nFilterIndex = static_cast<DWORD>(dialog.FilterIndex);
    open.lpstrFile = file;
    open.nMaxFile = sizeof file;
    open.lpstrInitialDir = dialog.InitialDir.empty() ? nullptr : dialog.InitialDir.c_str();
    open.lpstrTitle = dialog.Title.empty() ? nullptr : dialog.Title.c_str();
    open.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ENABLESIZING;
    if (!GetOpenFileNameA(&open)) return false;
    dialog.FileName = file;
    dialog.FilterIndex = static_cast<int>(open.nFilterIndex);
    return true;
}

void ShellOpen(const std::string& address)
{
    const auto result =
        reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return;
    // The shell's small results are the system's error numbers; their text is the system's.
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(result), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = text ? text : "System error " + std::to_string(result);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    throw Exception(message);
}
