// The file-open box's preview: its in-memory template made into a real child dialog by the
// system, and its hook drawing the selected picture, stood in a window that answers the
// box's path question as the box would.
#include "framework/win32/Win32OpenPicture.h"

#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "core/win32/Win32Unicode.h"
#include "framework/Bitmap.h"
#include "framework/FrameworkPlatform.h"
#include "imaging/PictureLoader.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"

namespace {
using Win32OpenPicture::PreviewId;

std::wstring selectedPath;  // what the stand-in box reports as selected

// Answers in UTF-16, as the wide box does: wParam counts characters.
LRESULT CALLBACK BoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == CDM_GETFILEPATH) {
        if (selectedPath.size() + 1 > wParam) return -1;
        std::copy(selectedPath.c_str(), selectedPath.c_str() + selectedPath.size() + 1,
                  reinterpret_cast<wchar_t*>(lParam));
        return static_cast<LRESULT>(selectedPath.size() + 1);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

bool LoadJpeg(const std::string& path, TBitmap& bitmap) { return LoadJpegIntoBitmap(bitmap, "", path); }

class Win32OpenPictureBox : public ::testing::Test {
protected:
    HWND Box = nullptr;

    void SetUp() override
    {
        static const bool registered = [] {
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = BoxProc;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
            windowClass.lpszClassName = "TestOpenBox";
            return RegisterClassA(&windowClass) != 0;
        }();
        ASSERT_TRUE(registered);
        Box = CreateWindowExA(0, "TestOpenBox", "Open", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 600, 400, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(Box, nullptr);
    }
    void TearDown() override
    {
        if (Box) DestroyWindow(Box);
        Pump();
    }

    static void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }

    HWND MakeChild(DLGPROC procedure, LPARAM parameter)
    {
        Template = Win32OpenPicture::PreviewTemplate();
        return CreateDialogIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(Template.data()),
                                          Box, procedure, parameter);
    }

    // The box tells its hook that the selection changed.
    void Select(HWND child, const std::filesystem::path& path, OPENFILENAMEW& open)
    {
        selectedPath = path.wstring();
        OFNOTIFYW notice{};
        notice.hdr.hwndFrom = Box;
        notice.hdr.idFrom = 0;
        notice.hdr.code = CDN_SELCHANGE;
        notice.lpOFN = &open;
        SendMessageA(child, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice));
        UpdateWindow(GetDlgItem(child, PreviewId));
        Pump();
    }

    static COLORREF PixelAt(HWND window, int x, int y)
    {
        HDC dc = GetDC(window);
        const COLORREF colour = GetPixel(dc, x, y);
        ReleaseDC(window, dc);
        return colour;
    }
    static bool Reddish(COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) < 60 && GetBValue(c) < 60; }

    std::vector<WORD> Template;
};
}  // namespace

TEST_F(Win32OpenPictureBox, TheTemplateMakesAControlChildWithThePlaceholderAndAnOwnerDrawnPreviewRightOfIt)
{
    HWND child = MakeChild(PlainDialogProc, 0);
    ASSERT_NE(child, nullptr) << "the system took the template";
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_EQ(GetParent(child), Box);
    EXPECT_NE(SendMessageA(child, WM_GETFONT, 0, 0), 0) << "the font block was read";

    HWND placeholder = GetDlgItem(child, stc32);
    HWND preview = GetDlgItem(child, PreviewId);
    ASSERT_NE(placeholder, nullptr);
    ASSERT_NE(preview, nullptr);
    char name[32] = "";
    GetClassNameA(preview, name, sizeof name);
    EXPECT_STREQ(CharLowerA(name), "static");
    EXPECT_EQ(GetWindowLongA(preview, GWL_STYLE) & SS_TYPEMASK, SS_OWNERDRAW);
    EXPECT_TRUE(IsWindowVisible(preview));
    EXPECT_FALSE(GetWindowLongA(placeholder, GWL_STYLE) & WS_VISIBLE) << "the placeholder only marks a place";
    RECT placeholderRect, previewRect;
    GetWindowRect(placeholder, &placeholderRect);
    GetWindowRect(preview, &previewRect);
    EXPECT_GE(previewRect.left, placeholderRect.right) << "the box moves what lies right of stc32 past its controls";
    EXPECT_GT(previewRect.right - previewRect.left, 100);
    EXPECT_GT(previewRect.bottom - previewRect.top, 100);
    DestroyWindow(child);
}

TEST_F(Win32OpenPictureBox, TheHookDrawsTheSelectedPictureShrunkWithItsProportionsAndNothingForOtherFiles)
{
    TempDir folder;
    const auto wide = folder.WriteFile("wide.jpg", MakeSolidJpeg(1200, 300, TRgb{255, 0, 0}));  // 4 : 1
    const auto text = folder.WriteFile("notes.jpg", "not a picture");
    // Named outside any code page: the box's UTF-16 answer reaches the loader as it is.
    const std::filesystem::path chinese = folder.Path() / L"图片.jpg";
    std::filesystem::copy_file(wide, chinese);

    TOpenPictureDialog dialog;
    dialog.LoadPreview = LoadJpeg;
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.lCustData = reinterpret_cast<LPARAM>(&dialog);
    HWND child = MakeChild(reinterpret_cast<DLGPROC>(Win32OpenPicture::PreviewHook), reinterpret_cast<LPARAM>(&open));
    ASSERT_NE(child, nullptr);
    HWND preview = GetDlgItem(child, PreviewId);
    ASSERT_NE(preview, nullptr);
    RECT client;
    GetClientRect(preview, &client);
    const int centreX = client.right / 2, centreY = client.bottom / 2;
    const COLORREF empty = PixelAt(preview, centreX, centreY);
    ASSERT_FALSE(Reddish(empty));

    Select(child, wide, open);
    EXPECT_TRUE(Reddish(PixelAt(preview, centreX, centreY))) << "the picture fills the middle";
    // Four times as wide as tall, as wide as the area: the band is a quarter of the width
    // high, so a point a little further from the middle than that stays empty.
    const int band = (client.right - 8) / 4;
    EXPECT_TRUE(Reddish(PixelAt(preview, 6, centreY))) << "it spans the width";
    EXPECT_FALSE(Reddish(PixelAt(preview, centreX, centreY - band / 2 - 3))) << "not stretched to the height";
    EXPECT_FALSE(Reddish(PixelAt(preview, centreX, centreY + band / 2 + 3)));

    Select(child, text, open);
    EXPECT_EQ(PixelAt(preview, centreX, centreY), empty) << "a file that does not load leaves the area empty";

    Select(child, wide, open);
    ASSERT_TRUE(Reddish(PixelAt(preview, centreX, centreY)));
    Select(child, folder.Path(), open);
    EXPECT_EQ(PixelAt(preview, centreX, centreY), empty) << "a folder is no picture";

    Select(child, chinese, open);
    EXPECT_TRUE(Reddish(PixelAt(preview, centreX, centreY))) << "a picture named in Chinese characters";

    dialog.LoadPreview = nullptr;
    Select(child, wide, open);
    EXPECT_EQ(PixelAt(preview, centreX, centreY), empty) << "without a loader there is nothing to show";
    DestroyWindow(child);
}

namespace {
BOOL CALLBACK CancelWindow(HWND window, LPARAM) { return PostMessageW(window, WM_COMMAND, IDCANCEL, 0); }
}  // namespace

// The real box, played from another thread as a user would: it opens in the folder given,
// named in Chinese characters, under a title in them, and the file typed into it comes back
// as its full UTF-8 path.
TEST(Win32OpenPictureBoxPlayed, AFolderAndFileInAnyScriptSurviveTheRoundTrip)
{
    TempDir dir;
    const std::filesystem::path folder = dir.Path() / L"图片 Größe";
    std::filesystem::create_directory(folder);
    const std::filesystem::path file = folder / L"照片😀.jpg";
    std::FILE* out = _wfopen(file.wstring().c_str(), L"wb");
    ASSERT_NE(out, nullptr);
    std::fclose(out);

    TOpenPictureDialog dialog;
    dialog.Filter = "JPEG Image File (*.jpg)|*.jpg";
    dialog.InitialDir = Win32Unicode::Narrow(folder.wstring());
    dialog.Title = "选择图片";
    bool typed = false;
    const DWORD mainThread = GetCurrentThreadId();
    std::thread user([&] {
        HWND box = nullptr;
        WaitUntil([&] { return (box = FindWindowW(nullptr, L"选择图片")) != nullptr; }, std::chrono::seconds(20));
        if (!box) {
            // A box under another title is cancelled, so that the test fails rather than hangs.
            EnumThreadWindows(mainThread, CancelWindow, 0);
            return;
        }
        // The name's field is a combo box or an edit, depending on the system's box.
        for (int field : {cmb13, edt1})
            if (HWND name = GetDlgItem(box, field)) typed = SetWindowTextW(name, L"照片😀.jpg") != FALSE;
        PostMessageW(box, WM_COMMAND, typed ? IDOK : IDCANCEL, 0);
        // A box that refuses the name says so in a box of its own: both are cancelled.
        if (!WaitUntil([&] { return !IsWindow(box); }, std::chrono::seconds(10)))
            EnumThreadWindows(mainThread, CancelWindow, 0);
    });
    const bool chosen = SystemOpenPicture(dialog, nullptr);
    user.join();
    ASSERT_TRUE(typed) << "the box with the title was found and the name typed in";
    EXPECT_TRUE(chosen);
    EXPECT_EQ(dialog.FileName, Win32Unicode::Narrow(file.wstring()));
}
