// Looks at another program's window for tests that drive it from outside: waits for a
// visible top-level window of a given title and prints it and its controls, one line each,
// fields separated by tabs, positions in screen pixels:
//   window  LEFT TOP RIGHT BOTTOM
//   control CLASS  LEFT TOP RIGHT BOTTOM  visible|hidden  TEXT
// TEXT (UTF-8) is a button's caption, an edit box's text, a combo box's selected entry (followed by a
// tab and all its entries joined by "|"), a progress bar's position.
// Exits 0 when found, 1 when no such window was shown within the time given.
// Usage: WindowProbeProgram TITLE MILLISECONDS
#include <windows.h>
// After windows.h, whose declarations it uses.
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
struct TSearch {
    const char* title;
    HWND found;
};

// Messages to another process's windows: a hung program must not hang the probe.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &answer);
    return static_cast<LRESULT>(answer);
}

// Texts are asked for in UTF-16 and printed in UTF-8, so a folder named in any script shows
// as it is.
std::string TextOf(HWND window)
{
    wchar_t text[1024] = L"";
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &answer);
    char narrow[4096] = "";
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

// Entries are asked for in UTF-16: Wine hands another process's entry over in UTF-16 also
// when the narrow message asks for it.
std::string ComboEntry(HWND combo, int index)
{
    wchar_t text[256] = L"";
    if (index < 0 || Ask(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0) >= 256) return "";
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, &answer);
    char narrow[512] = "";
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

std::string Rect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return std::to_string(rect.left) + " " + std::to_string(rect.top) + " " + std::to_string(rect.right) + " " +
           std::to_string(rect.bottom);
}

BOOL CALLBACK PrintControl(HWND control, LPARAM)
{
    char className[64] = "";
    GetClassNameA(control, className, sizeof className);
    const std::string kind = className;
    std::string text;
    if (kind == "ComboBox") {
        text = ComboEntry(control, static_cast<int>(Ask(control, CB_GETCURSEL, 0, 0))) + "\t";
        const int count = static_cast<int>(Ask(control, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            if (i > 0) text += '|';
            text += ComboEntry(control, i);
        }
    } else if (kind == PROGRESS_CLASSA) {
        text = std::to_string(Ask(control, PBM_GETPOS, 0, 0));
    } else {
        text = TextOf(control);
    }
    std::printf("control\t%s\t%s\t%s\t%s\n", className, Rect(control).c_str(),
                IsWindowVisible(control) ? "visible" : "hidden", text.c_str());
    return TRUE;
}

BOOL CALLBACK FindShown(HWND window, LPARAM search)
{
    auto& wanted = *reinterpret_cast<TSearch*>(search);
    if (IsWindowVisible(window) && TextOf(window) == wanted.title) {
        wanted.found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: WindowProbeProgram TITLE MILLISECONDS\n");
        return 2;
    }
    TSearch search{argv[1], nullptr};
    const DWORD started = GetTickCount();
    const DWORD patience = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
    for (;;) {
        EnumWindows(FindShown, reinterpret_cast<LPARAM>(&search));
        if (search.found || GetTickCount() - started >= patience) break;
        Sleep(50);
    }
    if (!search.found) return 1;
    std::printf("window\t%s\n", Rect(search.found).c_str());
    EnumChildWindows(search.found, PrintControl, 0);
    return 0;
}
