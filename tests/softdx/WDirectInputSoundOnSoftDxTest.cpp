// The input and sound components started and stopped by their device over the software
// DirectX, whose calls can be made to fail: every failure's report and what it stops, the
// silent missing joystick and wave, the co-operation levels, the state buffers filled from
// the headless input, and waves loaded, played and mixed into the headless output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SoftDxControl.h"
#include "SoftDxDevices.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "support/TestDevice.h"
#include "support/TestSupport.h"
#include "support/WaveMaker.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectInputDevice.h"
#include "wdx/WDirectSoundBuffer.h"
#include "wdx/WDirectX.h"
#include "wdx/results/ResultTexts.h"

namespace {
const std::string OtherComponent = "TWDirectX.StartAll - Failed to start other component";

class ComponentsOnSoftDx : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadDirectXLibraries());
        SoftDxSetPresenter(nullptr);
        Input = std::make_shared<SoftDxHeadlessInput>();
        Sticks = std::make_shared<SoftDxHeadlessJoysticks>();
        Output = std::make_shared<SoftDxHeadlessSoundOutput>(22050);
        SoftDxSetInput(Input);
        SoftDxSetJoysticks(Sticks);
        SoftDxSetSoundOutput(Output);
        SetMessageBoxHandler([](const std::string&, const std::string&, TMsgIcon) {});
        Form = std::make_unique<TForm>(nullptr);
        WDX = new TWDirectX(Form.get());
        WDX->DisableDirectInput = false;
        WDX->DisableDirectSound = false;
    }
    void TearDown() override
    {
        SoftDxClearFaults();
        Form.reset();
        SetMessageBoxHandler(nullptr);
        SoftDxSetInput(nullptr);
        SoftDxSetJoysticks(nullptr);
        SoftDxSetSoundOutput(nullptr);
    }
    // The text StartAll raised, or "" when it started.
    std::string Start()
    {
        WDX->Loaded();
        return StartAllError(*WDX);
    }
    std::string WavePath(const std::string& name, const std::string& bytes)
    {
        return Dir.WriteFile(name, bytes).string();
    }

    std::shared_ptr<SoftDxHeadlessInput> Input;
    std::shared_ptr<SoftDxHeadlessJoysticks> Sticks;
    std::shared_ptr<SoftDxHeadlessSoundOutput> Output;
    std::unique_ptr<TForm> Form;
    TWDirectX* WDX = nullptr;  // owned by Form
    TempDir Dir;
};

std::string DI(const std::string& message, HRESULT code) { return message + "\r" + DIErrorString(code); }
}  // namespace

TEST_F(ComponentsOnSoftDx, InputComponentsStartWithTheDeviceAndReadTheirState)
{
    auto* keyboard = new TWDirectInputKeyboard(Form.get());
    auto* mouse = new TWDirectInputMouse(Form.get());
    auto* relative = new TWDirectInputMouse(Form.get());
    relative->Relative = true;
    auto* joystick = new TWDirectInputJoystick(Form.get());
    Sticks->Info = {{"Pad", 2, 0, 4}};
    SoftDxJoystickState pad;
    pad.Axes[0] = 32767;
    pad.Buttons[3] = true;
    Sticks->States = {pad};
    Input->PointerState = {300, 200, 0, {false, true, false, false}};
    ASSERT_EQ(Start(), "");
    for (TWDirectInputDevice* device : std::initializer_list<TWDirectInputDevice*>{keyboard, mouse, relative, joystick})
        EXPECT_TRUE(device->Started() && device->InputDevice() && device->Device() == WDX);

    Input->SetKey(DIK_SPACE, true);
    ASSERT_EQ(keyboard->ReadState(), DI_OK);
    EXPECT_EQ(keyboard->State[DIK_SPACE], 0x80);
    EXPECT_EQ(keyboard->State[DIK_ESCAPE], 0);
    ASSERT_EQ(relative->ReadState(), DI_OK);
    Input->PointerState.X = 310;
    ASSERT_EQ(mouse->ReadState(), DI_OK);
    ASSERT_EQ(relative->ReadState(), DI_OK);
    EXPECT_EQ(mouse->State.lX, 310) << "absolute: the position";
    EXPECT_EQ(relative->State.lX, 10) << "relative: the motion";
    EXPECT_EQ(mouse->State.rgbButtons[1], 0x80);
    ASSERT_EQ(joystick->ReadState(), DI_OK);
    EXPECT_EQ(joystick->State.lX, 65535);
    EXPECT_EQ(joystick->State.rgbButtons[3], 0x80);

    // A lost device is taken back for the read.
    keyboard->InputDevice()->Unacquire();
    EXPECT_EQ(keyboard->ReadState(), DI_OK);

    WDX->StopAll();
    for (TWDirectInputDevice* device : std::initializer_list<TWDirectInputDevice*>{keyboard, mouse, relative, joystick})
        EXPECT_TRUE(!device->Started() && !device->InputDevice());
    EXPECT_EQ(keyboard->ReadState(), DIERR_NOTINITIALIZED);
}

TEST_F(ComponentsOnSoftDx, CoOperationFlagsGiveTheirLevelsAndAKeyboardIsNeverExclusiveInTheBackground)
{
    struct Case {
        TdiCoopFlags Flags;
        DWORD Level;
    };
    const Case cases[] = {{TdiCoopFlags{diBACKGROUND}, 10},
                          {TdiCoopFlags{diEXCLUSIVE, diBACKGROUND}, 9},
                          {TdiCoopFlags{}, 6},
                          {TdiCoopFlags{diEXCLUSIVE}, 5}};
    TWDirectInputKeyboard fresh(nullptr);
    EXPECT_EQ(fresh.diCoopFlags, TdiCoopFlags{diBACKGROUND});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Level);
        fresh.diCoopFlags = c.Flags;
        EXPECT_EQ(fresh.CoopLevel(), c.Level);
    }
    // The level reaches DirectInput: only 9 on a keyboard is refused there.
    auto* keyboard = new TWDirectInputKeyboard(Form.get());
    auto* mouse = new TWDirectInputMouse(Form.get());
    mouse->diCoopFlags = {diEXCLUSIVE, diBACKGROUND};
    EXPECT_EQ(Start(), "") << "a mouse may be held exclusively in the background";
    WDX->StopAll();
    keyboard->diCoopFlags = {diEXCLUSIVE, diBACKGROUND};
    EXPECT_EQ(Start(), OtherComponent);
    EXPECT_EQ(WDX->LastError, DI("TWDirectInputKeyboard.Start", DIERR_UNSUPPORTED));
}

TEST_F(ComponentsOnSoftDx, EveryFailedInputCallStopsItsComponentAndFailsTheStart)
{
    enum Kind { Keyboard, Mouse, Joystick };
    struct Case {
        Kind Component;
        const char* Method;
        std::string Text;
        bool StaysStarted;  // a keyboard whose device was never made has nothing to stop
    };
    const Case cases[] = {
        {Keyboard, "IDirectInput7::CreateDevice", "TWDirectInputKeyboard.Start", true},
        {Keyboard, "IDirectInputDevice7::SetDataFormat", "TWDirectInputDevice.SetDataFormat", false},
        {Keyboard, "IDirectInputDevice7::SetCooperativeLevel", "TWDirectInputKeyboard.Start", false},
        {Keyboard, "IDirectInputDevice7::Acquire", "TWDirectInputDevice.Acquire", false},
        {Mouse, "IDirectInput7::CreateDevice", "TWDirectInputMouse.Start", false},
        {Mouse, "IDirectInputDevice7::SetCooperativeLevel", "TWDirectInputMouse.Start", false},
        {Mouse, "IDirectInputDevice7::SetDataFormat", "TWDirectInputDevice.SetDataFormat", false},
        {Mouse, "IDirectInputDevice7::Acquire", "TWDirectInputDevice.Acquire", false},
        {Joystick, "IDirectInputDevice7::SetCooperativeLevel", "TWDirectInputJoystick.Start", false},
        {Joystick, "IDirectInputDevice7::SetDataFormat", "TWDirectInputDevice.SetDataFormat", false},
        {Joystick, "IDirectInputDevice7::Acquire", "TWDirectInputDevice.Acquire", false},
    };
    Sticks->Info = {{"Pad", 2, 0, 4}};
    Sticks->States.resize(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Method) + " of component " + std::to_string(c.Component));
        Form = std::make_unique<TForm>(nullptr);
        WDX = new TWDirectX(Form.get());
        WDX->DisableDirectInput = false;
        TWDirectInputDevice* device = nullptr;
        if (c.Component == Keyboard) device = new TWDirectInputKeyboard(Form.get());
        if (c.Component == Mouse) device = new TWDirectInputMouse(Form.get());
        if (c.Component == Joystick) device = new TWDirectInputJoystick(Form.get());
        SoftDxFailNext(c.Method, DIERR_OTHERAPPHASPRIO);
        EXPECT_EQ(Start(), OtherComponent);
        EXPECT_EQ(WDX->LastError, DI(c.Text, DIERR_OTHERAPPHASPRIO));
        EXPECT_FALSE(WDX->Active());
        EXPECT_EQ(static_cast<int>(WDX->StartStage()), 0);
        EXPECT_EQ(device->Started(), c.StaysStarted);
        EXPECT_EQ(device->InputDevice(), nullptr);
        SoftDxClearFaults();
    }
}

TEST_F(ComponentsOnSoftDx, AMissingJoystickIsSilentAndDisabledInputStartsNothing)
{
    auto* joystick = new TWDirectInputJoystick(Form.get());
    auto* keyboard = new TWDirectInputKeyboard(Form.get());
    ASSERT_EQ(Start(), "") << "no stick on this machine";
    EXPECT_FALSE(joystick->Started());
    EXPECT_TRUE(keyboard->Started());
    EXPECT_TRUE(WDX->LastError.empty());
    WDX->StopAll();

    WDX->DisableDirectInput = true;
    Sticks->Info = {{"Pad", 2, 0, 4}};
    Sticks->States.resize(1);
    ASSERT_EQ(Start(), "");
    EXPECT_FALSE(joystick->Started() || keyboard->Started());
}

TEST_F(ComponentsOnSoftDx, WavesLoadIntoBuffersThatPlay)
{
    std::vector<int16_t> samples;
    for (int i = 0; i < 400; ++i) samples.push_back(static_cast<int16_t>(i * 50 - 10000));
    const std::string stereo = wave::Pcm16(2, 22050, samples);  // 200 frames
    auto* sound = new TWDirectSoundBuffer(Form.get());
    sound->SimpleWave = WavePath("one.wav", stereo);
    auto* list = new TWDirectSoundBuffer(Form.get());
    list->SimpleBuffer = false;
    WDX->PathWaves = Dir.Str() + "/";
    // By PathWaves, missing, and by its full path.
    list->SetWaves({"one.wav", "missing.wav", sound->SimpleWave});
    ASSERT_EQ(Start(), "");
    ASSERT_TRUE(sound->Active() && list->Active());
    TWDirectSoundBasicBuffer* one = sound->Single();
    ASSERT_TRUE(one->Active());
    EXPECT_EQ(one->Length(), 200u);
    EXPECT_EQ(one->DataSize(), 800u);
    ASSERT_EQ(list->Buffers().size(), 3u);
    EXPECT_EQ(list->Buffers()[0]->WaveName(), "one.wav");
    EXPECT_TRUE(list->Buffers()[0]->Active());
    EXPECT_FALSE(list->Buffers()[1]->Active()) << "a missing wave leaves its buffer silent";
    EXPECT_TRUE(list->Buffers()[2]->Active());

    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(one->SoundBuffer()->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwFlags & ~DWORD{DSBCAPS_LOCSOFTWARE}, 226u) << "static, with frequency, pan and volume";
    ASSERT_EQ(one->Play(), DS_OK);
    ASSERT_EQ(list->Buffers()[2]->Play(), DS_OK);
    ASSERT_EQ(list->Buffers()[2]->SetPan(DSBPAN_RIGHT), DS_OK);
    const std::vector<int16_t> mix = Output->Render(250);
    for (size_t i = 0; i < 250; ++i) {
        const int left = i < 200 ? samples[2 * i] : 0, right = i < 200 ? samples[2 * i + 1] : 0;
        ASSERT_NEAR(mix[2 * i], i < 200 ? left + std::lround(left * 1e-5) : 0, 1) << "frame " << i;
        ASSERT_EQ(mix[2 * i + 1], std::clamp(2 * right, -32768, 32767)) << "frame " << i;
    }
    EXPECT_FALSE(one->Playing());

    WDX->StopAll();
    EXPECT_FALSE(sound->Active() || one->Active() || list->Active());
    EXPECT_TRUE(list->Buffers().empty());
}

TEST_F(ComponentsOnSoftDx, EveryFailedLoadLeavesItsBufferSilent)
{
    const std::string sound = wave::Pcm16(1, 22050, {1, 2, 3, 4});
    struct Case {
        const char* Name;
        std::string Bytes;
        const char* Refused;  // a DirectSound call made to fail
        bool ExceptionIgnore;
        std::string Raised;  // StartAll's error, "" when it starts
    };
    const Case cases[] = {
        {"damaged header", wave::Riff(wave::Chunk("fmt ", wave::Format(1, 1, 22050, 16))), nullptr, false, ""},
        {"refused lock", sound, "IDirectSoundBuffer::Lock", false, ""},
        {"refused unlock", sound, "IDirectSoundBuffer::Unlock", false, ""},
        // The buffer's refusal is reported: the device stops, so its start fails.
        {"refused buffer", sound, "IDirectSound::CreateSoundBuffer", false, OtherComponent},
        {"refused buffer, errors ignored", sound, "IDirectSound::CreateSoundBuffer", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Form = std::make_unique<TForm>(nullptr);
        WDX = new TWDirectX(Form.get());
        WDX->DisableDirectSound = false;
        WDX->ExceptionIgnore = c.ExceptionIgnore;
        auto* component = new TWDirectSoundBuffer(Form.get());
        component->SimpleWave = WavePath("wave.wav", c.Bytes);
        if (c.Refused) SoftDxFailNext(c.Refused, DSERR_OUTOFMEMORY);
        EXPECT_EQ(Start(), c.Raised);
        EXPECT_FALSE(component->Single()->Active());
        EXPECT_EQ(component->Single()->SoundBuffer(), nullptr);
        EXPECT_EQ(WDX->Active(), c.Raised.empty());
        const bool reported = c.Refused && std::string(c.Refused) == "IDirectSound::CreateSoundBuffer";
        EXPECT_EQ(WDX->LastError, reported ? "\r" + DSErrorString(DSERR_OUTOFMEMORY) : "");
        SoftDxClearFaults();
    }

    // Without a sound device there is no DirectSound, and a start that wants it fails.
    Output->Present = false;
    Form = std::make_unique<TForm>(nullptr);
    WDX = new TWDirectX(Form.get());
    WDX->DisableDirectSound = false;
    EXPECT_EQ(Start(), "TWDirectX.StartAll - No COM for DirectSound\r");
    EXPECT_EQ(WDX->DirectSound(), nullptr);
}

TEST_F(ComponentsOnSoftDx, EachComponentLogsItsStartInTheFormsOrder)
{
    Form = std::make_unique<TForm>(nullptr);
    auto* device = new TTestDevice<>(Form.get());
    WDX = device;
    WDX->DisableDirectInput = false;
    WDX->DisableDirectSound = false;
    WDX->LogType = dxlogAll;
    new TWDirectInputJoystick(Form.get());
    auto* sound = new TWDirectSoundBuffer(Form.get());
    sound->SimpleWave = WavePath("a.wav", wave::Pcm16(1, 22050, {5, 6}));
    new TWDirectInputKeyboard(Form.get());
    new TWDirectInputMouse(Form.get());
    ASSERT_EQ(Start(), "");
    const auto from =
        std::find(device->Lines.begin(), device->Lines.end(), "TWDirectX.StartAll - Finding other components");
    ASSERT_NE(from, device->Lines.end());
    EXPECT_EQ(std::vector<std::string>(from + 1, from + 7),
              (std::vector<std::string>{"TWDirectInputJoystick.Start", "TWDirectSoundBuffer.Start",
                                        "TWDirectSoundBasicBuffer.Start", "TWDirectInputKeyboard.Start",
                                        "TWDirectInputMouse.Start", "TWDirectX.StartAll - All ok"}));
    // A reported failure logs its text before the device stops.
    WDX->StopAll();
    device->Lines.clear();
    SoftDxFailNext("IDirectInputDevice7::Acquire", DIERR_INPUTLOST);
    EXPECT_EQ(Start(), OtherComponent);
    EXPECT_NE(std::find(device->Lines.begin(), device->Lines.end(), DI("TWDirectInputDevice.Acquire", DIERR_INPUTLOST)),
              device->Lines.end());
}
