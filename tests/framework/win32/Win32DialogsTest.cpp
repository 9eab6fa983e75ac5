// The system's message box, read from a second thread while it stands: a path in any script
// and a fixed text in the code page (the result texts' accent) both show as they are meant.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "framework/FrameworkPlatform.h"
#include "support/TestSupport.h"

namespace {
BOOL CALLBACK CollectText(HWND window, LPARAM texts)
{
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    reinterpret_cast<std::vector<std::wstring>*>(texts)->push_back(text);
    return TRUE;
}

BOOL CALLBACK DismissBox(HWND window, LPARAM) { return PostMessageW(window, WM_COMMAND, IDOK, 0); }

// The texts of the box's controls; nothing when no box with that caption was shown.
std::vector<std::wstring> ShowAndRead(const std::string& text, const std::string& caption,
                                      const std::wstring& captionShown)
{
    std::vector<std::wstring> texts;
    const DWORD mainThread = GetCurrentThreadId();
    std::thread reader([&] {
        HWND box = nullptr;
        WaitUntil([&] { return (box = FindWindowW(nullptr, captionShown.c_str())) != nullptr; },
                  std::chrono::seconds(20));
        if (box) {
            EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&texts));
            DismissBox(box, 0);
        } else {
            // A box under another caption is dismissed too, so that the test fails rather than hangs.
            EnumThreadWindows(mainThread, DismissBox, 0);
        }
    });
    SystemMessageBox(text, caption, miError);
    reader.join();
    return texts;
}
}  // namespace

TEST(Win32MessageBox, ShowsAPathInAnyScriptAndACodePageTextAsTheyAreMeant)
{
    struct TCase {
        std::string Text, Caption;
        std::wstring TextShown, CaptionShown;
    };
    const TCase cases[] = {
        {"Cannot read D:\\图片\\😀.jpg", "图片 \xC2\xB4", L"Cannot read D:\\图片\\😀.jpg", L"图片 ´"},
        // Windows-1252, as the result texts' accent is: no UTF-8 text has this byte alone.
        {"Windows\xB4s request", "Accent", L"Windows´s request", L"Accent"},
    };
    for (const TCase& c : cases) {
        const std::vector<std::wstring> texts = ShowAndRead(c.Text, c.Caption, c.CaptionShown);
        EXPECT_FALSE(texts.empty()) << "no box captioned " << c.Caption;
        EXPECT_NE(std::find(texts.begin(), texts.end(), c.TextShown), texts.end()) << c.Text;
    }
}
