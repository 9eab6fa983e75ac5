// The check box as the system's own control: it shows the state set from code, reports the
// user's clicks through its page, and draws over the page's picture, not over a plain face.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Controls.h"
#include "framework/FrameworkTestSupport.h"

using Win32CheckBox = FrameworkTest;

TEST_F(Win32CheckBox, TheSystemsBoxShowsTheStateReportsClicksAndDrawsOverItsPage)
{
    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    form.SetBounds(20, 20, 300, 120);
    form.Show();
    auto* pages = new TPageControl(&form, nullptr);
    pages->SetBounds(0, 0, 300, 120);
    TTabSheet* sheet = pages->AddPage("Page");
    auto* image = new TImage(&form, sheet);
    image->SetBounds(0, 0, sheet->Width(), sheet->Height());
    TBitmap picture;
    picture.SetSize(sheet->Width(), sheet->Height());
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) std::copy_n("\x14\x78\xF0", 3, picture.ScanLine(y) + x * 3);
    image->SetPicture(picture);
    auto* box = new TCheckBox(&form, sheet, "Every kind");
    box->SetBounds(10, 10, 250, 17);
    HWND window = GetDlgItem(GetDlgItem(form.Handle(), sheet->Id()), box->Id());
    ASSERT_NE(window, nullptr);
    TestHandlers handlers;
    std::vector<bool> seen;
    handlers.notify = [&] { seen.push_back(box->Checked()); };
    box->OnClick = TNotifyEvent::Of<&TestHandlers::Notify>(&handlers);

    box->SetChecked(true);
    EXPECT_EQ(SendMessageA(window, BM_GETCHECK, 0, 0), BST_CHECKED);
    for (int click = 0; click < 2; ++click) {
        SendMessageA(window, BM_CLICK, 0, 0);
        Application->ProcessMessages();
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        HDC dc = GetDC(window);
        // Right of the caption, where only the background is drawn.
        EXPECT_EQ(GetPixel(dc, 240, 8), RGB(240, 120, 20)) << "after click " << click;
        ReleaseDC(window, dc);
    }
    EXPECT_EQ(seen, (std::vector<bool>{false, true})) << "each click turns the mark over and is reported once";
    EXPECT_TRUE(box->Checked());
}
