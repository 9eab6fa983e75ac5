// The dialog keys on the settings dialog's real window: Tab and Shift+Tab walk the focus
// through the controls in their tab order, space presses the focused button, and Enter and
// Escape, which the system turns into OK and Cancel commands, do nothing. A form without
// controls (the show's kind) still gets every key at its own window.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog/CfgUnit.h"
#include "framework/Application.h"
#include "framework/Registry.h"
#include "settings/Settings.h"
#include "support/RegistrySandbox.h"
#include "wdx/DirectXBinding.h"

namespace {
void SetShift(bool down)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    keys[VK_LSHIFT] = keys[VK_SHIFT];
    SetKeyboardState(keys);
}

// One press and release, queued for the window with the focus as the keyboard would, and
// carried through the application's loop.
void Press(UINT key, bool shift = false)
{
    SetShift(shift);
    HWND target = GetFocus();
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(target, WM_KEYDOWN, key, scan | 1);
    PostMessageA(target, WM_KEYUP, key, scan | 1 | 0xC0000000);
    Application->ProcessMessages();
    SetShift(false);
}

// Counts the keys that reach a window's own procedure.
WNDPROC originalProc = nullptr;
std::vector<WPARAM>* keysAtWindow = nullptr;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && keysAtWindow) keysAtWindow->push_back(wParam);
    return CallWindowProcA(originalProc, window, message, wParam, lParam);
}

class Win32DialogKeys : public ::testing::Test {
public:
    void Closing(TObject*, TCloseAction& action)
    {
        ++Closes;
        action = caNone;
    }
    void Hook(MSG& msg, bool&)
    {
        if (msg.message == WM_KEYDOWN) HookedKeys.push_back(msg.wParam);
    }

protected:
    RegistrySandbox Sandbox;
    std::unique_ptr<TCfgFrm> Form;
    std::map<TControl*, std::string> Names;
    std::vector<WPARAM> HookedKeys;
    int Closes = 0;

    void SetUp() override
    {
        ASSERT_TRUE(LoadDirectXLibraries());
        SetMessageBoxHandler([](const std::string&, const std::string&, TMsgIcon) {});
        Form = std::make_unique<TCfgFrm>(nullptr);
        Form->OnClose = TCloseEvent::Of<&Win32DialogKeys::Closing>(this);
        Application->OnMessage = TMessageEvent::Of<&Win32DialogKeys::Hook>(this);
        Names = {{Form->previewBtn, "previewBtn"},   {Form->ApplyBtn, "ApplyBtn"},
                 {Form->CancelBtn, "CancelBtn"},     {Form->OKBtn, "OKBtn"},
                 {Form->PageControl, "PageControl"}, {Form->vidMode, "vidMode"},
                 {Form->BrowseBtn, "BrowseBtn"},     {Form->ImageDir, "ImageDir"},
                 {Form->AnimSpeed, "AnimSpeed"},     {Form->AllFormatsBox, "AllFormatsBox"}};
        // As the program opens it.
        Form->Show();
        Form->SetEnabled(true);
        SetForegroundWindow(Form->Handle());
        Application->ProcessMessages();
        ASSERT_EQ(Focused(), "previewBtn") << "a dialog opens with its first control focused";
    }
    void TearDown() override
    {
        Application->OnMessage = {};
        Form.reset();
        Application->ProcessMessages();
        SetMessageBoxHandler(nullptr);
    }

    std::string Focused()
    {
        HWND focus = GetFocus();
        if (focus == Form->Handle()) return "form";
        const auto found = Names.find(TControl::FindControl(GetDlgCtrlID(focus)));
        return found == Names.end() ? "other" : found->second;
    }
    std::vector<std::string> Walk(int presses, bool shift)
    {
        std::vector<std::string> visited;
        for (int i = 0; i < presses; ++i) {
            Press(VK_TAB, shift);
            visited.push_back(Focused());
        }
        return visited;
    }
    HWND WindowOf(TControl* control)
    {
        HWND parent = control->Parent() ? WindowOf(control->Parent()) : Form->Handle();
        // Pages stand on the form beside their tab row.
        if (control->Parent() && control->Parent()->Kind() == ckPageControl) parent = Form->Handle();
        return GetDlgItem(parent, control->Id());
    }
    std::optional<TRegValue> StoredFolder()
    {
        TRegistry registry;
        if (!registry.OpenKey(SettingsKey, false)) return std::nullopt;
        return registry.ReadValue("ImagesPath");
    }
};
}  // namespace

TEST_F(Win32DialogKeys, TabAndShiftTabWalkTheControlsInTheirTabOrderAndRoundAgain)
{
    Form->PageControl->SetActivePageIndex(1);
    Form->ImageDir->SetText("C:\\pictures");  // enables Apply
    ASSERT_TRUE(Form->ApplyBtn->Enabled());

    const std::vector<std::string> forward = {"ApplyBtn",  "CancelBtn", "OKBtn",         "PageControl", "vidMode",
                                              "BrowseBtn", "ImageDir",  "AllFormatsBox", "previewBtn"};
    EXPECT_EQ(Walk(9, false), forward) << "the speed bar takes no focus";

    const std::vector<std::string> backward = {"AllFormatsBox", "ImageDir",     "BrowseBtn", "vidMode",
                                               "PageControl",   "OKBtn",        "CancelBtn", "ApplyBtn",
                                               "previewBtn",    "AllFormatsBox"};
    EXPECT_EQ(Walk(10, true), backward);
}

TEST_F(Win32DialogKeys, TabPassesOverADisabledButtonAndTheHiddenPage)
{
    ASSERT_EQ(Form->PageControl->ActivePage(), Form->AboutSheet);
    Form->ApplyBtn->SetEnabled(false);
    EXPECT_EQ(Walk(4, false), (std::vector<std::string>{"CancelBtn", "OKBtn", "PageControl", "previewBtn"}));
    EXPECT_EQ(Walk(2, true), (std::vector<std::string>{"PageControl", "OKBtn"}));
}

TEST_F(Win32DialogKeys, ArrowsOnTheTabRowTurnThePagesAndTabThenEntersThePageShown)
{
    EXPECT_EQ(Walk(1, true), (std::vector<std::string>{"PageControl"})) << "from the first control back to the last";
    Press(VK_RIGHT);
    EXPECT_EQ(Form->PageControl->ActivePage(), Form->SettingsSheet);
    EXPECT_EQ(Focused(), "PageControl");
    EXPECT_EQ(Walk(1, false), (std::vector<std::string>{"vidMode"}));
    Press(VK_TAB, true);
    Press(VK_LEFT);
    EXPECT_EQ(Form->PageControl->ActivePage(), Form->AboutSheet);
    EXPECT_EQ(Walk(1, false), (std::vector<std::string>{"previewBtn"})) << "the About page has nothing to focus";
}

TEST_F(Win32DialogKeys, EnterAndEscapeNeitherCloseNorSaveWhereverTheFocusIs)
{
    Form->PageControl->SetActivePageIndex(1);
    Form->ImageDir->SetText("C:\\pictures");
    for (TControl* control : std::vector<TControl*>{Form->OKBtn, Form->CancelBtn, Form->ApplyBtn, Form->ImageDir}) {
        SetFocus(WindowOf(control));
        ASSERT_EQ(Focused(), Names[control]);
        Press(VK_RETURN);
        Press(VK_ESCAPE);
        EXPECT_EQ(Focused(), Names[control]) << "the keys leave the focus where it is";
    }
    EXPECT_EQ(Closes, 0);
    EXPECT_TRUE(Form->Visible());
    EXPECT_FALSE(StoredFolder().has_value()) << "nothing saved";
    EXPECT_TRUE(Form->ApplyBtn->Enabled());
    // The application's hook saw every key before the dialog keys took it.
    EXPECT_EQ(HookedKeys, (std::vector<WPARAM>{VK_RETURN, VK_ESCAPE, VK_RETURN, VK_ESCAPE, VK_RETURN, VK_ESCAPE,
                                               VK_RETURN, VK_ESCAPE}));
}

TEST_F(Win32DialogKeys, SpacePressesTheFocusedButton)
{
    Form->ImageDir->SetText("C:\\pictures");
    SetFocus(WindowOf(Form->ApplyBtn));
    ASSERT_EQ(Focused(), "ApplyBtn");
    Press(VK_SPACE);
    const std::optional<TRegValue> folder = StoredFolder();
    ASSERT_TRUE(folder.has_value()) << "Apply saved";
    EXPECT_EQ(std::string(folder->Data.begin(), folder->Data.end() - 1), "C:\\pictures");
    EXPECT_FALSE(Form->ApplyBtn->Enabled());
    EXPECT_EQ(Closes, 0);

    Form->PageControl->SetActivePageIndex(1);
    SetFocus(WindowOf(Form->AllFormatsBox));
    ASSERT_EQ(Focused(), "AllFormatsBox");
    Press(VK_SPACE);
    EXPECT_TRUE(Form->AllFormatsBox->Checked()) << "space turns the focused box over";
    EXPECT_TRUE(Form->ApplyBtn->Enabled());

    SetFocus(WindowOf(Form->CancelBtn));
    Press(VK_SPACE);
    EXPECT_EQ(Closes, 1) << "Cancel pressed";
}

TEST_F(Win32DialogKeys, TheFocusComesBackToItsControlWhenTheDialogIsActiveAgain)
{
    Form->PageControl->SetActivePageIndex(1);
    SetFocus(WindowOf(Form->BrowseBtn));
    TForm other(nullptr);
    other.SetBounds(10, 10, 200, 100);
    other.Show();
    SetForegroundWindow(other.Handle());
    Application->ProcessMessages();
    ASSERT_NE(Focused(), "BrowseBtn");
    SetForegroundWindow(Form->Handle());
    Application->ProcessMessages();
    EXPECT_EQ(Focused(), "BrowseBtn");
}

TEST_F(Win32DialogKeys, AFormWithoutControlsGetsEveryKeyAtItsOwnWindow)
{
    TForm plain(nullptr);
    plain.SetBounds(10, 10, 200, 100);
    plain.Show();
    SetForegroundWindow(plain.Handle());
    SetFocus(plain.Handle());
    Application->ProcessMessages();
    ASSERT_EQ(GetFocus(), plain.Handle());
    std::vector<WPARAM> atWindow;
    keysAtWindow = &atWindow;
    originalProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(plain.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    HookedKeys.clear();
    const std::vector<WPARAM> keys = {VK_TAB, VK_RETURN, VK_ESCAPE, VK_SPACE, 'A'};
    for (WPARAM key : keys) Press(static_cast<UINT>(key), key == VK_TAB);
    SetWindowLongPtrA(plain.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalProc));
    keysAtWindow = nullptr;
    EXPECT_EQ(HookedKeys, keys);
    EXPECT_EQ(atWindow, keys);
}
