// The sound component over SDL's real sound output, with SDL's disk driver standing in for
// a sound card: two waves played through their buffers, one at half volume panned fully
// left, reach the output file mixed, sample for sample; a machine whose driver has no
// device gives no DirectSound; and SDL's joysticks, with one of SDL's virtual sticks standing
// in for a real one, read through DirectInput.
#include "wdx/x11/LinuxSdlDevices.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "SoftDxDevices.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "support/TestSupport.h"
#include "support/WaveMaker.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectSoundBuffer.h"
#include "wdx/WDirectX.h"

namespace {
// SDL reads its driver from the environment when its audio starts; the slot's own output is
// dropped first, so that no earlier start of SDL's audio is still alive.
class SdlAudio : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* driver = std::getenv("SDL_AUDIODRIVER")) SavedDriver = driver;
        ASSERT_TRUE(LoadDirectXLibraries());
        SoftDxSetSoundOutput(nullptr);
        SetMessageBoxHandler([](const std::string&, const std::string&, TMsgIcon) {});
    }
    void TearDown() override
    {
        SoftDxSetSoundOutput(nullptr);
        if (SavedDriver.empty())
            unsetenv("SDL_AUDIODRIVER");
        else
            setenv("SDL_AUDIODRIVER", SavedDriver.c_str(), 1);
        unsetenv("SDL_DISKAUDIOFILE");
        SetMessageBoxHandler(nullptr);
    }
    TempDir Dir;
    std::string SavedDriver;
};

std::vector<int16_t> Tone(size_t count, int seed)
{
    std::vector<int16_t> samples;
    for (size_t i = 0; i < count; ++i) samples.push_back(static_cast<int16_t>(((i * 37 + seed) % 2000) + 500));
    return samples;
}
}  // namespace

TEST_F(SdlAudio, TwoBuffersReachTheOutputMixedWithVolumeAndPan)
{
    const std::string file = (Dir.Path() / "output.raw").string();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    SoftDxSetSoundOutput(std::make_shared<SdlSoundOutput>());
    const std::vector<int16_t> a = Tone(4410, 0), b = Tone(4410, 999);  // 0.1 s each, mono
    {
        TForm form(nullptr);
        auto* device = new TWDirectX(&form);
        device->DisableDirectDraw = true;
        device->DisableDirectSound = false;
        auto* first = new TWDirectSoundBuffer(&form);
        first->SimpleWave = Dir.WriteFile("a.wav", wave::Pcm16(1, 44100, a)).string();
        auto* second = new TWDirectSoundBuffer(&form);
        second->SimpleWave = Dir.WriteFile("b.wav", wave::Pcm16(1, 44100, b)).string();
        device->Loaded();
        device->StartAll();
        ASSERT_TRUE(first->Single()->Active() && second->Single()->Active());
        ASSERT_EQ(second->Single()->SetVolume(-602), DS_OK);
        ASSERT_EQ(second->Single()->SetPan(DSBPAN_LEFT), DS_OK);
        ASSERT_EQ(first->Single()->Play(), DS_OK);
        ASSERT_EQ(second->Single()->Play(), DS_OK);
        EXPECT_TRUE(WaitUntil([&] { return !first->Single()->Playing() && !second->Single()->Playing(); },
                              std::chrono::seconds(5)));
        device->StopAll();
    }  // the device's DirectSound goes with it, and SDL closes the file
    SoftDxSetSoundOutput(nullptr);

    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> frames(bytes.size() / 2);
    std::memcpy(frames.data(), bytes.data(), frames.size() * 2);
    size_t start = 0;
    while (start + 1 < frames.size() && frames[start] == 0) start += 2;
    ASSERT_GE(frames.size(), start + 2 * a.size()) << "the whole sound was played";
    // The output pulls a block at a time, so the second buffer may begin one block later.
    bool matched = false;
    for (size_t late = 0; late <= 4096 && !matched; late += 1024) {
        matched = true;
        for (size_t i = 0; i < a.size() + late && matched; ++i) {
            const int fromA = i < a.size() ? a[i] : 0;
            const int fromB = i >= late && i - late < b.size() ? b[i - late] : 0;
            const size_t at = start + 2 * i;
            if (at + 1 >= frames.size()) break;
            matched = std::abs(frames[at] - (fromA + fromB / 2)) <= 2 && std::abs(frames[at + 1] - fromA) <= 1;
        }
    }
    EXPECT_TRUE(matched) << "the mix of the two waves, the second at half volume on the left only";
}

TEST_F(SdlAudio, ADriverWithoutDevicesGivesNoDirectSound)
{
    // The test machine's own ALSA may or may not have a card; a driver name no SDL knows
    // starts no audio at all, which is the machine without sound.
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    auto output = std::make_shared<SdlSoundOutput>();
    EXPECT_FALSE(output->Available());
    SoftDxSetSoundOutput(output);
    TForm form(nullptr);
    auto* device = new TWDirectX(&form);
    device->DisableDirectDraw = true;
    device->DisableDirectSound = false;
    device->Loaded();
    EXPECT_EQ(device->DirectSound(), nullptr);
    try {
        device->StartAll();
        ADD_FAILURE() << "started without DirectSound";
    } catch (const EWDirectXError& e) {
        EXPECT_EQ(e.Message(), "TWDirectX.StartAll - No COM for DirectSound\r");
    }
}

namespace {
// One of SDL's virtual sticks, held open by the test; its SDL device number, -1 once gone.
SDL_Joystick* AttachStick(const char* name, int& index)
{
    SDL_VirtualJoystickDesc description{};
    description.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    description.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    description.naxes = 3;
    description.nbuttons = 6;
    description.nhats = 1;
    description.name = name;
    index = SDL_JoystickAttachVirtualEx(&description);
    return index < 0 ? nullptr : SDL_JoystickOpen(index);
}
void DetachStick(SDL_Joystick* stick)
{
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == SDL_JoystickInstanceID(stick)) SDL_JoystickDetachVirtual(i);
}
std::vector<DIDEVICEINSTANCEA> ListSticks(IDirectInput7A* directInput)
{
    std::vector<DIDEVICEINSTANCEA> found;
    auto collect = [](LPCDIDEVICEINSTANCEA info, LPVOID ref) -> BOOL {
        static_cast<std::vector<DIDEVICEINSTANCEA>*>(ref)->push_back(*info);
        return DIENUM_CONTINUE;
    };
    EXPECT_EQ(directInput->EnumDevices(DIDEVTYPE_JOYSTICK, collect, &found, DIEDFL_ATTACHEDONLY), DI_OK);
    return found;
}
}  // namespace

// Two sticks, the first of which goes: the second's device goes on reading the second.
TEST(SdlJoystick, AVirtualStickIsFoundAndReadThroughDirectInput)
{
    // The test holds SDL's joysticks for the whole test, so the sticks outlive every list.
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    int firstIndex = -1, index = -1;
    SDL_Joystick* first = AttachStick("Virtual stick that goes", firstIndex);
    SDL_Joystick* stick = AttachStick("Virtual test stick", index);
    ASSERT_TRUE(first && stick) << SDL_GetError();
    SDL_JoystickSetVirtualAxis(first, 0, 32767);
    SDL_JoystickSetVirtualButton(first, 1, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(stick, 0, -32768);
    SDL_JoystickSetVirtualAxis(stick, 1, 16384);
    SDL_JoystickSetVirtualAxis(stick, 2, 32767);
    SDL_JoystickSetVirtualButton(stick, 4, SDL_PRESSED);
    SDL_JoystickSetVirtualHat(stick, 0, SDL_HAT_RIGHTDOWN);
    SoftDxSetJoysticks(std::make_shared<SdlJoysticks>());

    void* made = nullptr;
    ASSERT_EQ(DirectInputCreateEx(nullptr, 0x0700, IID_IDirectInput7A, &made, nullptr), DI_OK);
    auto* directInput = static_cast<IDirectInput7A*>(made);
    std::vector<DIDEVICEINSTANCEA> found = ListSticks(directInput);
    auto named = [&](const std::string& name) {
        return std::find_if(found.begin(), found.end(),
                            [&](const DIDEVICEINSTANCEA& device) { return device.tszProductName == name; });
    };
    ASSERT_NE(named("Virtual test stick"), found.end()) << "SDL's virtual stick is listed";
    ASSERT_NE(named("Virtual stick that goes"), found.end());
    const GUID goneGuid = named("Virtual stick that goes")->guidInstance;
    IDirectInputDevice7A* device = nullptr;
    ASSERT_EQ(directInput->CreateDeviceEx(named("Virtual test stick")->guidInstance, IID_IDirectInputDevice7A,
                                          reinterpret_cast<void**>(&device), nullptr),
              DI_OK);
    ASSERT_EQ(device->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    ASSERT_EQ(device->SetDataFormat(&c_dfDIJoystick), DI_OK);
    DIPROPRANGE range{};
    range.diph = {sizeof range, sizeof range.diph, 0, DIPH_DEVICE};
    range.lMin = -1000;
    range.lMax = 1000;
    ASSERT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    ASSERT_EQ(device->Acquire(), DI_OK);
    DIJOYSTATE state{};
    ASSERT_EQ(device->Poll(), DI_OK);
    ASSERT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(state.lX, -1000);
    EXPECT_EQ(state.lY, 500) << "three quarters of the way along the range";
    EXPECT_EQ(state.lZ, 1000);
    EXPECT_EQ(state.lRx, 0) << "an axis the stick does not have";
    EXPECT_EQ(state.rgdwPOV[0], 13500u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(state.rgbButtons[i], i == 4 ? 0x80 : 0) << "button " << i;

    // The first stick goes and the list is asked again, which renumbers SDL's devices.
    DetachStick(first);
    found = ListSticks(directInput);
    EXPECT_EQ(named("Virtual stick that goes"), found.end());
    EXPECT_NE(named("Virtual test stick"), found.end());
    IDirectInputDeviceA* gone = reinterpret_cast<IDirectInputDeviceA*>(1);
    EXPECT_EQ(directInput->CreateDevice(goneGuid, &gone, nullptr), DIERR_DEVICENOTREG);
    SDL_JoystickSetVirtualAxis(stick, 0, 0);
    SDL_JoystickSetVirtualButton(stick, 4, SDL_RELEASED);
    SDL_JoystickSetVirtualButton(stick, 0, SDL_PRESSED);
    SDL_JoystickSetVirtualHat(stick, 0, SDL_HAT_CENTERED);
    ASSERT_EQ(device->Poll(), DI_OK);
    ASSERT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK) << "still the same stick";
    EXPECT_EQ(state.lX, 0) << "the stick's middle is the range's";
    EXPECT_EQ(state.rgbButtons[0], 0x80);
    EXPECT_EQ(state.rgbButtons[1], 0) << "not the stick that went";
    EXPECT_EQ(state.rgbButtons[4], 0);
    EXPECT_EQ(state.rgdwPOV[0], 0xFFFFFFFFu) << "a centred hat";

    // A stick unplugged while acquired is input lost, as on Windows.
    DetachStick(stick);
    EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_INPUTLOST);
    device->Release();
    directInput->Release();
    SoftDxSetJoysticks(nullptr);
    SDL_JoystickClose(first);
    SDL_JoystickClose(stick);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}
