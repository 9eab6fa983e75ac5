// The sound component over SDL's real sound output, with SDL's disk driver standing in for
// a sound card: two waves played through their buffers, one at half volume panned fully
// left, reach the output file mixed, sample for sample; and a machine whose driver has no
// device gives no DirectSound.
#include "platform/x11/LinuxSdlDevices.h"

#include <gtest/gtest.h>

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
