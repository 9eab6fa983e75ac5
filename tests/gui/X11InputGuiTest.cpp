// The X server's keyboard and pointer as a program's neighbour: the back end's connection is
// made at the first keyboard or mouse, raw button events come only while a mouse is acquired
// and the message loop reads them when nobody reads a device, and a foreground keyboard
// reads nothing typed while another window has the focus.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "SoftDxDevices.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "gui/XClients.h"
#include "gui/XConnection.h"
#include "gui/XvfbServer.h"
#include "support/TestSupport.h"
#include "wdx/DirectXApi.h"
#include "wdx/DirectXBinding.h"
#include "wdx/x11/X11Input.h"

namespace {
using namespace std::chrono_literals;

IDirectInput7A* MakeDirectInput()
{
    void* made = nullptr;
    EXPECT_EQ(DirectInputCreateEx(nullptr, 0x0700, IID_IDirectInput7A, &made, nullptr), DI_OK);
    return static_cast<IDirectInput7A*>(made);
}

IDirectInputDeviceA* MakeDevice(IDirectInput7A* directInput, REFGUID guid, const DIDATAFORMAT& format, HWND window,
                                DWORD level)
{
    IDirectInputDeviceA* device = nullptr;
    EXPECT_EQ(directInput->CreateDevice(guid, &device, nullptr), DI_OK);
    if (!device) return nullptr;
    EXPECT_EQ(device->SetCooperativeLevel(window, level), DI_OK);
    EXPECT_EQ(device->SetDataFormat(&format), DI_OK);
    return device;
}
}  // namespace

TEST(X11InputOnX, TheConnectionIsMadeAtTheFirstKeyboardOrMouseAndClosedWithTheBinding)
{
    XvfbServer server;
    setenv("DISPLAY", server.Name().c_str(), 1);
    XConnection display(server.Name());
    ASSERT_NE(display.Get(), nullptr);
    const pid_t self = getpid();
    const int own = XClientsOf(display, self);
    ASSERT_GE(own, 1);
    ASSERT_TRUE(LoadDirectXLibraries());
    const int bound = XClientsOf(display, self);
    EXPECT_EQ(bound, own + 1) << "the presenter's connection alone";

    IDirectInput7A* directInput = MakeDirectInput();
    ASSERT_NE(directInput, nullptr);
    auto each = [](LPCDIDEVICEINSTANCEA, LPVOID) -> BOOL { return DIENUM_CONTINUE; };
    EXPECT_EQ(directInput->EnumDevices(0, each, nullptr, 0), DI_OK);
    IDirectInputDeviceA* stick = nullptr;
    directInput->CreateDevice(GUID_Joystick, &stick, nullptr);  // there is none here, or one from SDL
    EXPECT_EQ(XClientsOf(display, self), bound) << "no keyboard or mouse yet";
    IDirectInputDeviceA* keyboard = nullptr;
    IDirectInputDeviceA* mouse = nullptr;
    ASSERT_EQ(directInput->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    EXPECT_EQ(XClientsOf(display, self), bound + 1);
    ASSERT_EQ(directInput->CreateDevice(GUID_SysMouse, &mouse, nullptr), DI_OK);
    EXPECT_EQ(XClientsOf(display, self), bound + 1) << "one connection for every device";

    for (IUnknown* object : std::vector<IUnknown*>{stick, keyboard, mouse, directInput})
        if (object) object->Release();
    FreeDirectXLibraries();
    EXPECT_EQ(XClientsOf(display, self), own);
}

// The program reads no device here; the message loop turns, as it does in any program.
TEST(X11InputOnX, RawButtonsComeOnlyWhileAMouseIsAcquiredAndTheLoopReadsThem)
{
    XvfbServer server;
    std::shared_ptr<X11Input> input = X11Input::Make(server.Name().c_str());
    SoftDxSetInput(input);
    // A window of the test's under the pointer: once it has its presses, the server has sent
    // every client its raw events too.
    XConnection display(server.Name());
    ASSERT_NE(display.Get(), nullptr);
    const Window window = MapPressWindow(display, 1024, 768);
    auto turn = [&](const std::string& button) {
        const int count = 200;
        EXPECT_EQ(RunXdotool(server, "click --repeat " + std::to_string(count) + " --delay 0 " + button), 0);
        int seen = 0;
        EXPECT_TRUE(WaitUntil(
            [&] {
                for (XEvent event; XCheckTypedWindowEvent(display, window, ButtonPress, &event);) ++seen;
                return seen >= count;
            },
            10s));
    };
    IDirectInput7A* directInput = MakeDirectInput();
    IDirectInputDeviceA* mouse =
        MakeDevice(directInput, GUID_SysMouse, c_dfDIMouse, nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    ASSERT_TRUE(mouse && input->Connected());
    ASSERT_TRUE(input->HasWheel());

    turn("4");
    EXPECT_EQ(input->QueuedEvents(), 0u) << "nothing asked for while no mouse is acquired";
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    turn("5");
    for (int i = 0; i < 20; ++i) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(input->QueuedEvents(), 0u) << "the loop read them as they came";
    DIMOUSESTATE state{};
    ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(state.lZ, -200 * 120) << "and counted the wheel";
    ASSERT_EQ(mouse->Unacquire(), DI_OK);
    turn("4");
    EXPECT_EQ(input->QueuedEvents(), 0u) << "nothing asked for once the last mouse is let go";

    mouse->Release();
    directInput->Release();
    SoftDxSetInput(nullptr);
}

TEST(X11InputOnX, AForegroundKeyboardReadsNothingTypedWhileAnotherWindowHasTheFocus)
{
    XvfbServer server;
    setenv("DISPLAY", server.Name().c_str(), 1);
    ASSERT_TRUE(LoadDirectXLibraries());
    XConnection display(server.Name());
    ASSERT_NE(display.Get(), nullptr);
    {
        TForm form(nullptr);
        form.SetBounds(0, 0, 300, 200);
        form.Show();
        const HWND handle = form.Handle();
        const Window xid = static_cast<Window>(reinterpret_cast<uintptr_t>(handle));
        const Window other = XCreateSimpleWindow(display, DefaultRootWindow(display.Get()), 400, 0, 300, 200, 0, 0, 0);
        XMapWindow(display, other);
        XSync(display, False);
        // Without a window manager the form's window is mapped when the loop runs; only a
        // viewable window takes the focus.
        ASSERT_TRUE(WaitUntil(
            [&] {
                Application->ProcessMessages();
                XWindowAttributes attributes{};
                return XGetWindowAttributes(display, xid, &attributes) && attributes.map_state == IsViewable;
            },
            5s));
        auto focus = [&](Window window, bool ours) {
            return WaitUntil(
                [&] {
                    XSetInputFocus(display, window, RevertToParent, CurrentTime);
                    XSync(display, False);
                    Application->ProcessMessages();
                    return Application->Active() == ours;
                },
                5s);
        };
        ASSERT_TRUE(focus(xid, true));

        IDirectInput7A* directInput = MakeDirectInput();
        IDirectInputDeviceA* foreground =
            MakeDevice(directInput, GUID_SysKeyboard, c_dfDIKeyboard, handle, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
        IDirectInputDeviceA* background =
            MakeDevice(directInput, GUID_SysKeyboard, c_dfDIKeyboard, handle, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
        ASSERT_TRUE(foreground && background);
        ASSERT_EQ(foreground->Acquire(), DI_OK);
        ASSERT_EQ(background->Acquire(), DI_OK);
        BYTE keys[256] = {};
        ASSERT_EQ(RunXdotool(server, "keydown a"), 0);
        ASSERT_EQ(foreground->GetDeviceState(sizeof keys, keys), DI_OK);
        EXPECT_EQ(keys[DIK_A], 0x80) << "typed into its own window";
        ASSERT_EQ(RunXdotool(server, "keyup a"), 0);

        ASSERT_TRUE(focus(other, false));
        ASSERT_EQ(RunXdotool(server, "keydown b"), 0);
        std::fill(std::begin(keys), std::end(keys), BYTE{0x11});
        EXPECT_EQ(foreground->GetDeviceState(sizeof keys, keys), DIERR_INPUTLOST);
        EXPECT_EQ(keys[DIK_B], 0x11) << "nothing read";
        EXPECT_EQ(foreground->Acquire(), DIERR_OTHERAPPHASPRIO);
        ASSERT_EQ(background->GetDeviceState(sizeof keys, keys), DI_OK);
        EXPECT_EQ(keys[DIK_B], 0x80) << "a background keyboard is the whole server's, as asked";

        ASSERT_TRUE(focus(xid, true));
        EXPECT_EQ(foreground->Acquire(), DI_OK) << "its window is active again";
        ASSERT_EQ(RunXdotool(server, "keyup b"), 0);
        foreground->Release();
        background->Release();
        directInput->Release();
        XDestroyWindow(display, other);
    }
    FreeDirectXLibraries();
}
