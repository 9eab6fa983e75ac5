// The keyboard and mouse components over the X server's real input: keys and buttons that
// xdotool presses in an Xvfb of the test's own show in the state buffers, and pointer
// motion in the mouse's absolute and relative state.
#include <gtest/gtest.h>

#include <memory>

#include "SoftDxControl.h"
#include "SoftDxDevices.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "gui/XvfbServer.h"
#include "platform/x11/X11Input.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectInputDevice.h"
#include "wdx/WDirectX.h"

TEST(DirectInputOnX, KeysButtonsAndPointerReachTheStateBuffers)
{
    XvfbServer server;
    ASSERT_TRUE(LoadDirectXLibraries());
    std::shared_ptr<X11Input> input = X11Input::Open(server.Name().c_str());
    ASSERT_NE(input, nullptr);
    SoftDxSetInput(input);
    SetMessageBoxHandler([](const std::string&, const std::string&, TMsgIcon) {});
    {
        // The device's form needs no window of its own: the input is the whole server's.
        TForm form(nullptr);
        auto* device = new TWDirectX(&form);
        device->DisableDirectDraw = true;
        device->DisableDirectInput = false;
        auto* keyboard = new TWDirectInputKeyboard(&form);
        auto* mouse = new TWDirectInputMouse(&form);
        auto* relative = new TWDirectInputMouse(&form);
        relative->Relative = true;
        ASSERT_EQ(RunXdotool(server, "mousemove 100 200"), 0);
        device->Loaded();
        device->StartAll();
        ASSERT_TRUE(device->Active());

        ASSERT_EQ(RunXdotool(server, "keydown a keydown Up mousemove 130 150 mousedown 3"), 0);
        ASSERT_EQ(keyboard->ReadState(), DI_OK);
        ASSERT_EQ(mouse->ReadState(), DI_OK);
        ASSERT_EQ(relative->ReadState(), DI_OK);
        EXPECT_EQ(keyboard->State[DIK_A], 0x80);
        EXPECT_EQ(keyboard->State[DIK_UP], 0x80);
        EXPECT_EQ(keyboard->State[DIK_B], 0);
        EXPECT_EQ(mouse->State.lX, 130);
        EXPECT_EQ(mouse->State.lY, 150);
        EXPECT_EQ(relative->State.lX, 30) << "motion since the start";
        EXPECT_EQ(relative->State.lY, -50);
        EXPECT_EQ(mouse->State.rgbButtons[0], 0);
        EXPECT_EQ(mouse->State.rgbButtons[1], 0x80) << "the right button is DirectInput's second";

        ASSERT_EQ(RunXdotool(server, "keyup a keyup Up mouseup 3 mousedown 1"), 0);
        ASSERT_EQ(keyboard->ReadState(), DI_OK);
        ASSERT_EQ(mouse->ReadState(), DI_OK);
        EXPECT_EQ(keyboard->State[DIK_A], 0);
        EXPECT_EQ(mouse->State.rgbButtons[0], 0x80);
        EXPECT_EQ(mouse->State.rgbButtons[1], 0);
        ASSERT_EQ(RunXdotool(server, "mouseup 1"), 0);
        device->StopAll();
    }
    SetMessageBoxHandler(nullptr);
    FreeDirectXLibraries();
}
