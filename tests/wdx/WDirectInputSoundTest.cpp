// The input and sound components over the platform's own DirectInput and DirectSound: the
// software DirectX on Linux, the system's (Wine's) on Windows. What holds on both: the
// keyboard and mouse start with the device and read their state, a missing joystick is
// silent, and a wave loads into a static buffer that plays, or, on a machine without a
// sound device, the start says there is no DirectSound.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "support/DeviceFormTest.h"
#include "support/TestSupport.h"
#include "support/WaveMaker.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectInputDevice.h"
#include "wdx/WDirectSoundBuffer.h"
#include "wdx/WDirectX.h"

namespace {
class PlatformComponents : public DeviceFormTest<TWDirectX> {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(DeviceFormTest::SetUp());
        // A window's device: no mode change, nothing exclusive.
        WDX->dxVideoMode = dxvmOnlyWindowed;
    }
    void PlaceForm(TForm& form) override { form.SetBounds(10, 10, 320, 240); }
    TempDir Dir;
};
}  // namespace

TEST_F(PlatformComponents, KeyboardAndMouseStartAndReadTheirState)
{
    WDX->DisableDirectInput = false;
    auto* keyboard = new TWDirectInputKeyboard(Form.get());
    auto* mouse = new TWDirectInputMouse(Form.get());
    auto* joystick = new TWDirectInputJoystick(Form.get());
    WDX->Loaded();
    ASSERT_NE(WDX->DirectInput(), nullptr);
    WDX->StartAll();
    ASSERT_TRUE(WDX->Active()) << WDX->LastError;
    EXPECT_TRUE(keyboard->Started() && keyboard->InputDevice());
    EXPECT_TRUE(mouse->Started() && mouse->InputDevice());
    EXPECT_EQ(keyboard->DataSize(), 256u);
    EXPECT_EQ(mouse->DataSize(), 16u);
    EXPECT_EQ(keyboard->ReadState(), DI_OK);
    EXPECT_EQ(mouse->ReadState(), DI_OK);
    // The test machines have no joystick: the device started all the same.
    EXPECT_EQ(joystick->Started(), joystick->InputDevice() != nullptr);
    WDX->StopAll();
    EXPECT_FALSE(keyboard->Started() || mouse->Started() || joystick->Started());
}

TEST_F(PlatformComponents, AWaveLoadsIntoAStaticBufferThatPlays)
{
    WDX->DisableDirectSound = false;
    auto* sound = new TWDirectSoundBuffer(Form.get());
    std::vector<int16_t> samples(88200 / 2, 1000);
    sound->SimpleWave = Dir.WriteFile("tone.wav", wave::Pcm16(2, 22050, samples)).string();
    WDX->Loaded();
    if (!WDX->DirectSound()) {
        try {
            WDX->StartAll();
            ADD_FAILURE() << "started without DirectSound";
        } catch (const EWDirectXError& e) {
            EXPECT_EQ(e.Message(), "TWDirectX.StartAll - No COM for DirectSound\r");
        }
        GTEST_SKIP() << "this machine has no sound device";
    }
    WDX->StartAll();
    ASSERT_TRUE(WDX->Active()) << WDX->LastError;
    TWDirectSoundBasicBuffer* buffer = sound->Single();
    ASSERT_TRUE(buffer->Active());
    EXPECT_EQ(buffer->Length(), 22050u);
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(buffer->SoundBuffer()->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwFlags & 226u, 226u);
    EXPECT_EQ(caps.dwBufferBytes, 88200u);
    EXPECT_EQ(buffer->SetVolume(-1000), DS_OK);
    EXPECT_EQ(buffer->Play(true), DS_OK);
    EXPECT_TRUE(buffer->Playing());
    EXPECT_EQ(buffer->StopPlaying(), DS_OK);
    WDX->StopAll();
    EXPECT_FALSE(buffer->Active());
}
