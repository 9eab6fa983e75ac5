// The check box as the system's own control: it shows the state set from code, reports a
// click through its form, and draws over its page's picture rather than over a plain face.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Controls.h"
#include "framework/FrameworkTestSupport.h"

namespace {
class Win32CheckBox : public FrameworkTest {
protected:
    std::unique_ptr<TForm> Form;
    TestHandlers Handlers;

    void SetUp() override
    {
        FrameworkTest::SetUp();
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBorderStyle(bsNone);
        Form->SetBounds(20, 20, 300, 120);
        Form->Show();
    }
    void TearDown() override
    {
        Form.reset();
        FrameworkTest::TearDown();
    }
};
}  // namespace

TEST_F(Win32CheckBox, TheSystemsBoxShowsTheStateAndItsClicksReachTheControl)
{
    auto* box = new TCheckBox(Form.get(), nullptr, "Every kind");
    box->SetBounds(10, 10, 200, 17);
    HWND window = GetDlgItem(Form->Handle(), box->Id());
    ASSERT_NE(window, nullptr);
    box->SetChecked(true);
    EXPECT_EQ(SendMessageA(window, BM_GETCHECK, 0, 0), BST_CHECKED);

    std::vector<bool> seen;
    Handlers.notify = [&] { seen.push_back(box->Checked()); };
    box->OnClick = TNotifyEvent::Of<&TestHandlers::Notify>(&Handlers);
    for (int click = 0; click < 2; ++click) {
        SendMessageA(window, BM_CLICK, 0, 0);
        Application->ProcessMessages();
    }
    EXPECT_EQ(seen, (std::vector<bool>{false, true})) << "each click turns the mark over and is reported once";
    EXPECT_EQ(SendMessageA(window, BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(Win32CheckBox, OnAPageTheBoxDrawsOverThePagesPicture)
{
    auto* pages = new TPageControl(Form.get(), nullptr);
    pages->SetBounds(0, 0, 300, 120);
    TTabSheet* sheet = pages->AddPage("Page");
    auto* image = new TImage(Form.get(), sheet);
    image->SetBounds(0, 0, sheet->Width(), sheet->Height());
    TBitmap picture;
    picture.SetSize(sheet->Width(), sheet->Height());
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            uint8_t* bgr = picture.ScanLine(y) + x * 3;
            bgr[0] = 20, bgr[1] = 120, bgr[2] = 240;
        }
    image->SetPicture(picture);
    auto* box = new TCheckBox(Form.get(), sheet, "Every kind");
    box->SetBounds(10, 10, 250, 17);
    HWND window = GetDlgItem(GetDlgItem(Form->Handle(), sheet->Id()), box->Id());
    ASSERT_NE(window, nullptr);
    for (bool checked : {false, true}) {
        box->SetChecked(checked);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        HDC dc = GetDC(window);
        // Right of the caption, where only the background is drawn.
        const COLORREF seen = GetPixel(dc, 240, 8);
        ReleaseDC(window, dc);
        EXPECT_EQ(seen, RGB(240, 120, 20)) << "checked " << checked;
    }
}
