// The keyboard and mouse components over the X server's real input: keys and buttons that
// xdotool presses in an Xvfb of the test's own show in the state buffers, and pointer
// motion in the mouse's absolute and relative state; the wheel's notches and the back and
// forward buttons too.
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

TEST(DirectInputOnX, TheWheelAndTheBackAndForwardButtonsReachTheStateBuffers)
{
    XvfbServer server;
    ASSERT_TRUE(LoadDirectXLibraries());
    std::shared_ptr<X11Input> input = X11Input::Open(server.Name().c_str());
    ASSERT_NE(input, nullptr);
    ASSERT_TRUE(input->HasWheel());
    SoftDxSetInput(input);
    SetMessageBoxHandler([](const std::string&, const std::string&, TMsgIcon) {});
    {
        TForm form(nullptr);
        auto* device = new TWDirectX(&form);
        device->DisableDirectDraw = true;
        device->DisableDirectInput = false;
        auto* mouse = new TWDirectInputMouse(&form);
        auto* relative = new TWDirectInputMouse(&form);
        relative->Relative = true;
        device->Loaded();
        device->StartAll();
        ASSERT_TRUE(device->Active());
        // The eight-button format beside the components' four, on the device's DirectInput.
        IDirectInputDeviceA* eight = nullptr;
        ASSERT_EQ(device->DirectInput()->CreateDevice(GUID_SysMouse, &eight, nullptr), DI_OK);
        ASSERT_EQ(eight->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
        ASSERT_EQ(eight->SetDataFormat(&c_dfDIMouse2), DI_OK);
        ASSERT_EQ(eight->Acquire(), DI_OK);
        DIMOUSESTATE2 state2{};
        ASSERT_EQ(mouse->ReadState(), DI_OK);
        const LONG start = mouse->State.lZ;

        // Three notches away from the user and one back: +120 each away, -120 each back.
        ASSERT_EQ(RunXdotool(server, "click 4 click 4 click 4 click 5 mousedown 8"), 0);
        ASSERT_EQ(mouse->ReadState(), DI_OK);
        ASSERT_EQ(relative->ReadState(), DI_OK);
        ASSERT_EQ(eight->GetDeviceState(sizeof state2, &state2), DI_OK);
        EXPECT_EQ(mouse->State.lZ - start, 240) << "the absolute wheel accumulates";
        EXPECT_EQ(relative->State.lZ, 240) << "the relative wheel turned since the start";
        EXPECT_EQ(mouse->State.rgbButtons[3], 0x80) << "X's button 8 is the fourth";
        EXPECT_EQ(state2.rgbButtons[3], 0x80);
        EXPECT_EQ(state2.rgbButtons[4], 0);
        for (int i : {0, 1, 2}) EXPECT_EQ(mouse->State.rgbButtons[i], 0) << "the wheel presses no button " << i;

        ASSERT_EQ(RunXdotool(server, "mouseup 8 mousedown 9 click 5"), 0);
        ASSERT_EQ(mouse->ReadState(), DI_OK);
        ASSERT_EQ(relative->ReadState(), DI_OK);
        ASSERT_EQ(eight->GetDeviceState(sizeof state2, &state2), DI_OK);
        EXPECT_EQ(mouse->State.lZ - start, 120);
        EXPECT_EQ(relative->State.lZ, -120) << "only the turn since the last read";
        EXPECT_EQ(mouse->State.rgbButtons[3], 0);
        EXPECT_EQ(state2.rgbButtons[3], 0);
        EXPECT_EQ(state2.rgbButtons[4], 0x80) << "X's button 9 is the fifth";
        ASSERT_EQ(RunXdotool(server, "mouseup 9"), 0);
        eight->Release();
        device->StopAll();
    }
    SetMessageBoxHandler(nullptr);
    FreeDirectXLibraries();
}
