// The keyboard and mouse components over the X server's real input: keys and buttons that
// xdotool presses in an Xvfb of the test's own show in the state buffers, and pointer
// motion in the mouse's absolute and relative state; the wheel's notches and the back and
// forward buttons too; and an absolute mouse in an emulated mode's pixels, through where
// the presenter puts the mode's frames.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "SoftDxControl.h"
#include "SoftDxDevices.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "gui/XConnection.h"
#include "gui/XvfbServer.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectInputDevice.h"
#include "wdx/WDirectX.h"
#include "wdx/x11/X11Input.h"
#include "wdx/x11/X11Presenter.h"

TEST(DirectInputOnX, KeysButtonsAndPointerReachTheStateBuffers)
{
    XvfbServer server;
    // Held open: a server that loses its last client resets, and the pointer with it.
    XConnection display(server.Name());
    ASSERT_TRUE(LoadDirectXLibraries());
    std::shared_ptr<X11Input> input = X11Input::Make(server.Name().c_str());
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
    std::shared_ptr<X11Input> input = X11Input::Make(server.Name().c_str());
    ASSERT_TRUE(input->HasWheel());
    SoftDxSetInput(input);
    SetMessageBoxHandler([](const std::string&, const std::string&, TMsgIcon) {});
    // A program's own window under the pointer, which must still get every click and turn.
    XConnection display(server.Name());
    ASSERT_NE(display.Get(), nullptr);
    const Window window = MapPressWindow(display, 1024, 768);
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
        XSync(display, False);
        int presses[10] = {};
        for (XEvent event; XCheckTypedWindowEvent(display, window, ButtonPress, &event);)
            if (event.xbutton.button < 10) ++presses[event.xbutton.button];
        EXPECT_EQ(presses[4], 3) << "the window's own wheel events";
        EXPECT_EQ(presses[5], 2);
        EXPECT_EQ(presses[8] + presses[9], 2);
        eight->Release();
        device->StopAll();
    }
    SetMessageBoxHandler(nullptr);
    FreeDirectXLibraries();
}

TEST(DirectInputOnX, AnAbsoluteMouseIsInTheEmulatedModesPixels)
{
    XvfbServer server;
    XConnection display(server.Name());
    ASSERT_NE(display.Get(), nullptr);
    // A window below the screen's top: 640 x 480 fitted into 1024 x 600 is 800 x 600 from
    // column 112, so the mode's frames cover (112, 100) to (912, 700) of the screen.
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display.Get()), 0, 100, 1024, 600, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    const HWND handle = reinterpret_cast<HWND>(uintptr_t{window});
    std::shared_ptr<X11Presenter> presenter = X11Presenter::Open(server.Name().c_str());
    std::shared_ptr<X11Input> input = X11Input::Make(server.Name().c_str());
    ASSERT_TRUE(presenter && input);
    SoftDxSetPresenter(presenter);
    SoftDxSetInput(input);
    void* made = nullptr;
    ASSERT_EQ(DirectDrawCreateEx(nullptr, &made, IID_IDirectDraw7, nullptr), DD_OK);
    auto* draw = static_cast<IDirectDraw7*>(made);
    ASSERT_EQ(DirectInputCreateEx(nullptr, 0x0700, IID_IDirectInput7A, &made, nullptr), DI_OK);
    auto* directInput = static_cast<IDirectInput7A*>(made);
    IDirectInputDeviceA* mouse = nullptr;
    ASSERT_EQ(directInput->CreateDevice(GUID_SysMouse, &mouse, nullptr), DI_OK);
    DIDATAFORMAT absolute = c_dfDIMouse;
    absolute.dwFlags = DIDF_ABSAXIS;
    // In the background: the window is the test's, which the framework never makes active.
    ASSERT_EQ(mouse->SetCooperativeLevel(handle, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    ASSERT_EQ(mouse->SetDataFormat(&absolute), DI_OK);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    auto at = [&](const std::string& x, const std::string& y) {
        DIMOUSESTATE state{};
        EXPECT_EQ(RunXdotool(server, "mousemove " + x + " " + y), 0);
        EXPECT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
        return std::pair(state.lX, state.lY);
    };

    ASSERT_EQ(draw->SetCooperativeLevel(handle, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(draw->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
    const std::optional<RECT> frame = presenter->FrameRect(handle, {640, 480});
    ASSERT_TRUE(frame);
    EXPECT_EQ(std::tuple(frame->left, frame->top, frame->right, frame->bottom), std::tuple(112, 100, 912, 700));
    EXPECT_EQ(at("112", "100"), std::pair(0, 0));
    EXPECT_EQ(at("512", "400"), std::pair(320, 240)) << "the middle of the screen's frame";
    EXPECT_EQ(at("911", "699"), std::pair(639, 479));
    EXPECT_EQ(at("1000", "20"), std::pair(639, 0)) << "the bar and the screen above the window";
    ASSERT_EQ(draw->RestoreDisplayMode(), DD_OK);
    EXPECT_EQ(at("512", "400"), std::pair(512, 400)) << "without the mode, the screen's pixels";

    mouse->Release();
    directInput->Release();
    draw->Release();
    SoftDxSetInput(nullptr);
    SoftDxSetPresenter(nullptr);
}
