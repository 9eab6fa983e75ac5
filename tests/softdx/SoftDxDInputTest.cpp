// The software DirectInput over the headless back ends: the standard formats read the keys,
// the pointer and a stick as the tests set them; the device's rules on formats, levels and
// acquisition; a missing stick; the mouse in an emulated display mode; and the entry
// point's checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "SoftDxApi.h"
#include "SoftDxControl.h"
#include "SoftDxDevices.h"

namespace {
const HWND Window = reinterpret_cast<HWND>(uintptr_t{0x4200001});

class DirectInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Input = std::make_shared<SoftDxHeadlessInput>();
        Sticks = std::make_shared<SoftDxHeadlessJoysticks>();
        SoftDxSetInput(Input);
        SoftDxSetJoysticks(Sticks);
        void* made = nullptr;
        ASSERT_EQ(DirectInputCreateEx(nullptr, 0x0700, IID_IDirectInput7A, &made, nullptr), DI_OK);
        DI = static_cast<IDirectInput7A*>(made);
    }
    void TearDown() override
    {
        SoftDxClearFaults();
        for (IDirectInputDeviceA* device : Devices) device->Release();
        EXPECT_EQ(DI->Release(), 0u);
        SoftDxSetInput(nullptr);
        SoftDxSetJoysticks(nullptr);
    }
    // A device of that GUID with the format set, the level given and acquired.
    IDirectInputDeviceA* Open(REFGUID guid, const DIDATAFORMAT& format,
                              DWORD level = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)
    {
        IDirectInputDeviceA* device = nullptr;
        EXPECT_EQ(DI->CreateDevice(guid, &device, nullptr), DI_OK);
        if (!device) return nullptr;
        Devices.push_back(device);
        EXPECT_EQ(device->SetCooperativeLevel(Window, level), DI_OK);
        EXPECT_EQ(device->SetDataFormat(&format), DI_OK);
        EXPECT_EQ(device->Acquire(), DI_OK);
        return device;
    }

    std::shared_ptr<SoftDxHeadlessInput> Input;
    std::shared_ptr<SoftDxHeadlessJoysticks> Sticks;
    IDirectInput7A* DI = nullptr;
    std::vector<IDirectInputDeviceA*> Devices;
};
}  // namespace

TEST_F(DirectInputTest, TheStandardFormatsReadKeysPointerAndStick)
{
    Input->SetKey(DIK_A, true);
    Input->SetKey(DIK_UP, true);
    Input->PointerState = {640, 360, 240, {true, false, true, false}};
    Sticks->Info = {{"Stick", 3, 1, 12}};
    SoftDxJoystickState stick;
    stick.Axes[0] = -32768;
    stick.Axes[1] = 32767;
    stick.Axes[2] = 0;
    stick.Axes[3] = 5000;  // an axis this stick does not have
    stick.Hats[0] = 9000;
    stick.Buttons[11] = true;
    stick.Buttons[12] = true;  // nor this button
    Sticks->States = {stick};

    IDirectInputDeviceA* keyboard = Open(GUID_SysKeyboard, c_dfDIKeyboard);
    BYTE keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
    for (int key = 0; key < 256; ++key) EXPECT_EQ(keys[key], key == DIK_A || key == DIK_UP ? 0x80 : 0) << "key " << key;

    DIDATAFORMAT absolute = c_dfDIMouse;
    absolute.dwFlags = DIDF_ABSAXIS;
    IDirectInputDeviceA* mouse = Open(GUID_SysMouse, absolute);
    DIMOUSESTATE pointer;
    ASSERT_EQ(mouse->GetDeviceState(sizeof pointer, &pointer), DI_OK);
    EXPECT_EQ(pointer.lX, 640);
    EXPECT_EQ(pointer.lY, 360);
    EXPECT_EQ(pointer.lZ, 240);
    EXPECT_EQ(pointer.rgbButtons[0], 0x80);
    EXPECT_EQ(pointer.rgbButtons[1], 0);
    EXPECT_EQ(pointer.rgbButtons[2], 0x80);

    IDirectInputDeviceA* relative = Open(GUID_SysMouse, c_dfDIMouse);  // the standard format is relative
    ASSERT_EQ(relative->GetDeviceState(sizeof pointer, &pointer), DI_OK);
    EXPECT_EQ(pointer.lX, 0) << "no motion since the acquisition";
    Input->PointerState.X = 600;
    Input->PointerState.Y = 400;
    Input->PointerState.Wheel = 0;
    ASSERT_EQ(relative->GetDeviceState(sizeof pointer, &pointer), DI_OK);
    EXPECT_EQ(pointer.lX, -40);
    EXPECT_EQ(pointer.lY, 40);
    EXPECT_EQ(pointer.lZ, -240);
    ASSERT_EQ(relative->GetDeviceState(sizeof pointer, &pointer), DI_OK);
    EXPECT_EQ(pointer.lX, 0) << "each read reports the motion since the one before";

    IDirectInputDeviceA* joystick = Open(GUID_Joystick, c_dfDIJoystick);
    DIJOYSTATE state;
    ASSERT_EQ(joystick->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(state.lX, 0);
    EXPECT_EQ(state.lY, 65535);
    EXPECT_EQ(state.lZ, 32768) << "the middle of the stick's range maps to the middle of 0 to 65535";
    EXPECT_EQ(state.lRx, 0) << "absent axes read 0";
    EXPECT_EQ(state.rgdwPOV[0], 9000u);
    EXPECT_EQ(state.rgdwPOV[1], 0u) << "absent hats read 0";
    EXPECT_EQ(state.rgbButtons[11], 0x80);
    EXPECT_EQ(state.rgbButtons[12], 0);
    DIDEVCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(joystick->GetCapabilities(&caps), DI_OK);
    EXPECT_EQ(caps.dwAxes, 3u);
    EXPECT_EQ(caps.dwPOVs, 1u);
    EXPECT_EQ(caps.dwButtons, 12u);
}

TEST_F(DirectInputTest, DevicesKeepTheRulesOfFormatsLevelsAndAcquisition)
{
    IDirectInputDeviceA* keyboard = nullptr;
    ASSERT_EQ(DI->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    Devices.push_back(keyboard);
    BYTE keys[256];
    EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM) << "no format yet";
    struct Level {
        DWORD Flags;
        HRESULT Result;
    };
    for (const Level level :
         {Level{DISCL_NONEXCLUSIVE | DISCL_BACKGROUND, DI_OK}, Level{DISCL_EXCLUSIVE | DISCL_FOREGROUND, DI_OK},
          Level{DISCL_NONEXCLUSIVE | DISCL_FOREGROUND, DI_OK},
          Level{DISCL_EXCLUSIVE | DISCL_BACKGROUND, DIERR_UNSUPPORTED},
          Level{DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_BACKGROUND, DIERR_INVALIDPARAM},
          Level{DISCL_NONEXCLUSIVE, DIERR_INVALIDPARAM}})
        EXPECT_EQ(keyboard->SetCooperativeLevel(Window, level.Flags), level.Result) << level.Flags;
    EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DIERR_INVALIDPARAM);

    DIDATAFORMAT format = c_dfDIKeyboard;
    format.dwSize = 20;
    EXPECT_EQ(keyboard->SetDataFormat(&format), DIERR_INVALIDPARAM);
    format = c_dfDIMouse;  // a mouse's axes the keyboard does not have
    EXPECT_EQ(keyboard->SetDataFormat(&format), DIERR_INVALIDPARAM);
    DIOBJECTDATAFORMAT outside = c_dfDIKeyboard.rgodf[5];
    outside.dwOfs = 8;
    format = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 8, 1, &outside};
    EXPECT_EQ(keyboard->SetDataFormat(&format), DIERR_INVALIDPARAM) << "an object past the data";

    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(keyboard->GetDeviceState(100, keys), DIERR_INVALIDPARAM) << "a size other than the format's";
    Input->HasKeyboard = false;
    EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DIERR_INPUTLOST);
    EXPECT_EQ(keyboard->Unacquire(), DI_OK);

    SoftDxFailNext("IDirectInputDevice7::Acquire", DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
}

// The back end connects at the first keyboard or mouse, not for the DirectInput object, a
// listing or a stick; it hears of every mouse acquired and let go, whichever way.
TEST_F(DirectInputTest, TheBackEndOpensAtTheFirstKeyboardOrMouseAndHearsOfAcquiredMice)
{
    Sticks->Info = {{"Pad", 2, 0, 4}};
    Sticks->States.resize(1);
    auto count = [](LPCDIDEVICEINSTANCEA, LPVOID) -> BOOL { return DIENUM_CONTINUE; };
    ASSERT_EQ(DI->EnumDevices(0, count, nullptr, 0), DI_OK);
    Open(GUID_Joystick, c_dfDIJoystick);
    EXPECT_EQ(Input->Opens, 0);
    IDirectInputDeviceA* keyboard = Open(GUID_SysKeyboard, c_dfDIKeyboard);
    EXPECT_EQ(Input->Opens, 1);
    EXPECT_EQ(Input->AcquiredPointers, 0) << "a keyboard is no pointer";

    IDirectInputDeviceA* first = Open(GUID_SysMouse, c_dfDIMouse);
    IDirectInputDeviceA* second = Open(GUID_SysMouse, c_dfDIMouse);
    EXPECT_EQ(Input->Opens, 3);
    EXPECT_EQ(Input->AcquiredPointers, 2);
    EXPECT_EQ(first->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(Input->AcquiredPointers, 2) << "acquired once however often asked";
    ASSERT_EQ(first->Unacquire(), DI_OK);
    EXPECT_EQ(first->Unacquire(), DI_NOEFFECT);
    EXPECT_EQ(Input->AcquiredPointers, 1);
    // A foreground mouse whose window lost the focus is let go at its next read.
    ASSERT_EQ(first->SetCooperativeLevel(Window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    ASSERT_EQ(first->Acquire(), DI_OK);
    Input->ActiveWindow = nullptr;
    DIMOUSESTATE state;
    EXPECT_EQ(first->GetDeviceState(sizeof state, &state), DIERR_INPUTLOST);
    EXPECT_EQ(Input->AcquiredPointers, 1);
    // Released while acquired: the last reference goes with the mouse still held.
    std::erase(Devices, second);
    second->Release();
    EXPECT_EQ(Input->AcquiredPointers, 0);
    EXPECT_EQ(keyboard->Unacquire(), DI_OK);
    EXPECT_EQ(Input->AcquiredPointers, 0);
}

// As DirectInput 7's: a foreground device is not acquired while its window is not the active
// one; the focus moving away lets it go, the first read says the input was lost, the next
// that it is not acquired, and neither gives the keys, buttons or axes of that moment. A
// background device reads on.
TEST_F(DirectInputTest, AForegroundDeviceReadsNothingWhileItsWindowIsNotActive)
{
    const HWND other = reinterpret_cast<HWND>(uintptr_t{0x4200002});
    Sticks->Info = {{"Pad", 2, 0, 4}};
    Sticks->States.resize(1);
    Sticks->States[0].Buttons[0] = true;
    Input->SetKey(DIK_A, true);
    Input->PointerState.Buttons[0] = true;
    struct Case {
        const GUID* Guid;
        const DIDATAFORMAT* Format;
        DWORD Size;
        DWORD PressedAt;  // where the state holds a control that is pressed
    };
    for (const Case c : {Case{&GUID_SysKeyboard, &c_dfDIKeyboard, 256, DIK_A},
                         Case{&GUID_SysMouse, &c_dfDIMouse, sizeof(DIMOUSESTATE), offsetof(DIMOUSESTATE, rgbButtons)},
                         Case{&GUID_Joystick, &c_dfDIJoystick, sizeof(DIJOYSTATE), offsetof(DIJOYSTATE, rgbButtons)}}) {
        SCOPED_TRACE(c.Size);
        Input->ActiveWindow = other;
        IDirectInputDeviceA* foreground = nullptr;
        ASSERT_EQ(DI->CreateDevice(*c.Guid, &foreground, nullptr), DI_OK);
        Devices.push_back(foreground);
        ASSERT_EQ(foreground->SetCooperativeLevel(Window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
        ASSERT_EQ(foreground->SetDataFormat(c.Format), DI_OK);
        IDirectInputDeviceA* background = Open(*c.Guid, *c.Format);
        std::vector<BYTE> state(c.Size, 0x11);
        EXPECT_EQ(foreground->Acquire(), DIERR_OTHERAPPHASPRIO);
        EXPECT_EQ(foreground->GetDeviceState(c.Size, state.data()), DIERR_NOTACQUIRED);

        Input->ActiveWindow = Window;
        ASSERT_EQ(foreground->Acquire(), DI_OK);
        ASSERT_EQ(foreground->GetDeviceState(c.Size, state.data()), DI_OK);
        EXPECT_EQ(state[c.PressedAt], 0x80);

        Input->ActiveWindow = other;
        std::fill(state.begin(), state.end(), BYTE{0x11});
        IDirectInputDevice2A* polled = nullptr;
        ASSERT_EQ(foreground->QueryInterface(IID_IDirectInputDevice2A, reinterpret_cast<void**>(&polled)), DI_OK);
        EXPECT_EQ(polled->Poll(), DIERR_INPUTLOST);
        polled->Release();
        EXPECT_EQ(foreground->GetDeviceState(c.Size, state.data()), DIERR_NOTACQUIRED);
        EXPECT_EQ(foreground->Acquire(), DIERR_OTHERAPPHASPRIO);
        EXPECT_EQ(state, std::vector<BYTE>(c.Size, 0x11)) << "nothing read";
        ASSERT_EQ(background->GetDeviceState(c.Size, state.data()), DI_OK);
        EXPECT_EQ(state[c.PressedAt], 0x80) << "the background device reads on";

        Input->ActiveWindow = Window;
        ASSERT_EQ(foreground->Acquire(), DI_OK);
        Input->ActiveWindow = other;
        EXPECT_EQ(foreground->GetDeviceState(c.Size, state.data()), DIERR_INPUTLOST) << "the read sees the loss too";
    }
}

TEST_F(DirectInputTest, SticksAreListedAndAMissingOneIsNotRegistered)
{
    IDirectInputDeviceA* device = reinterpret_cast<IDirectInputDeviceA*>(1);
    EXPECT_EQ(DI->CreateDevice(GUID_Joystick, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);

    Sticks->Info = {{"First", 2, 0, 4}, {"Second", 2, 0, 2}};
    Sticks->States.resize(2);
    std::vector<std::pair<DWORD, std::string>> listed;
    auto collect = [](LPCDIDEVICEINSTANCEA info, LPVOID ref) -> BOOL {
        static_cast<decltype(listed)*>(ref)->push_back({info->dwDevType, info->tszProductName});
        return DIENUM_CONTINUE;
    };
    ASSERT_EQ(DI->EnumDevices(0, collect, &listed, DIEDFL_ATTACHEDONLY), DI_OK);
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[0].first, DWORD{DIDEVTYPE_KEYBOARD});
    EXPECT_EQ(listed[1].first, DWORD{DIDEVTYPE_MOUSE});
    EXPECT_EQ(listed[3], (std::pair<DWORD, std::string>{DIDEVTYPE_JOYSTICK, "Second"}));

    DIDEVICEINSTANCEA second{};
    auto keepLast = [](LPCDIDEVICEINSTANCEA info, LPVOID ref) -> BOOL {
        *static_cast<DIDEVICEINSTANCEA*>(ref) = *info;
        return DIENUM_CONTINUE;
    };
    ASSERT_EQ(DI->EnumDevices(DIDEVTYPE_JOYSTICK, keepLast, &second, 0), DI_OK);
    ASSERT_EQ(DI->CreateDevice(second.guidInstance, &device, nullptr), DI_OK);
    Devices.push_back(device);
    DIDEVCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(device->GetCapabilities(&caps), DI_OK);
    EXPECT_EQ(caps.dwButtons, 2u) << "the instance id named the second stick";
}

TEST_F(DirectInputTest, TheEightButtonMouseFormatReadsEveryButton)
{
    IDirectInputDeviceA* mouse = Open(GUID_SysMouse, c_dfDIMouse2);
    for (int held = 0; held < 8; ++held) {
        Input->PointerState = {};
        Input->PointerState.Buttons[held] = true;
        DIMOUSESTATE2 state;
        ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(state.rgbButtons[i], i == held ? 0x80 : 0) << held << " held, " << i;
    }
}

// A 640 x 480 mode on the 1920 x 1080 headless screen: its frames fill 1440 x 1080 between
// bars 240 pixels wide, as the presenter says.
TEST_F(DirectInputTest, AnAbsoluteMouseIsInTheEmulatedModesPixels)
{
    auto screen = std::make_shared<SoftDxHeadlessPresenter>();
    screen->SetFrameRect(RECT{240, 0, 1680, 1080});
    SoftDxSetPresenter(screen);
    DIDATAFORMAT absolute = c_dfDIMouse;
    absolute.dwFlags = DIDF_ABSAXIS;
    IDirectInputDeviceA* mouse = Open(GUID_SysMouse, absolute);
    IDirectInputDeviceA* relative = Open(GUID_SysMouse, c_dfDIMouse);
    auto read = [](IDirectInputDeviceA* device) {
        DIMOUSESTATE state{};
        EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
        return std::pair(state.lX, state.lY);
    };
    auto at = [&](LONG x, LONG y) {
        Input->PointerState.X = x;
        Input->PointerState.Y = y;
        return read(mouse);
    };
    EXPECT_EQ(at(700, 300), std::pair(700, 300)) << "no mode set: the screen's pixels";

    void* made = nullptr;
    ASSERT_EQ(DirectDrawCreateEx(nullptr, &made, IID_IDirectDraw7, nullptr), DD_OK);
    auto* draw = static_cast<IDirectDraw7*>(made);
    ASSERT_EQ(draw->SetCooperativeLevel(Window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_EQ(at(700, 300), std::pair(700, 300)) << "the exclusive level alone keeps the screen's mode";
    ASSERT_EQ(draw->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
    struct Case {
        LONG X, Y, ModeX, ModeY;
    };
    for (const Case c :
         {Case{240, 0, 0, 0}, Case{960, 540, 320, 240}, Case{1679, 1079, 639, 479}, Case{1000, 100, 337, 44},
          Case{100, 1079, 0, 479} /* the left bar */, Case{1800, -5, 639, 0} /* the right bar, above the screen */})
        EXPECT_EQ(at(c.X, c.Y), std::pair(c.ModeX, c.ModeY)) << c.X << ", " << c.Y;

    read(relative);
    Input->PointerState.X += 90;
    EXPECT_EQ(read(relative).first, 90) << "relative motion stays in the screen's pixels";
    ASSERT_EQ(draw->RestoreDisplayMode(), DD_OK);
    EXPECT_EQ(at(1800, 50), std::pair(1800, 50));
    ASSERT_EQ(draw->SetDisplayMode(800, 600, 16, 0, 0), DD_OK);
    screen->SetFrameRect(RECT{0, 0, 800, 600});
    EXPECT_EQ(at(1800, 50), std::pair(799, 50));
    EXPECT_EQ(draw->Release(), 0u);
    EXPECT_EQ(at(1800, 50), std::pair(1800, 50)) << "the mode went with its DirectDraw object";
    SoftDxSetPresenter(nullptr);
}

TEST(DirectInputEntry, RefusesWhatItCannotMake)
{
    void* made = reinterpret_cast<void*>(1);
    EXPECT_EQ(DirectInputCreateEx(nullptr, 0x0800, IID_IDirectInput7A, &made, nullptr), DIERR_BETADIRECTINPUTVERSION);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(DirectInputCreateEx(nullptr, 0x0200, IID_IDirectInput7A, &made, nullptr), DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(DirectInputCreateEx(nullptr, 0x0700, IID_IDirectSound, &made, nullptr), DIERR_NOINTERFACE);
    SoftDxFailNext("DirectInputCreateEx", E_FAIL);
    EXPECT_EQ(DirectInputCreateEx(nullptr, 0x0700, IID_IDirectInput7A, &made, nullptr), E_FAIL);
    ASSERT_EQ(DirectInputCreateEx(nullptr, 0x0500, IID_IDirectInput2A, &made, nullptr), DI_OK);
    EXPECT_EQ(static_cast<IUnknown*>(made)->Release(), 0u);
}
