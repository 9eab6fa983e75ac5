// The software DirectSound over the headless output: buffers reach the mix sample for sample,
// two playing buffers add up, volume and pan attenuate as DirectSound's decibels say, a buffer
// ends or loops, and a machine without a sound device has no DirectSound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "SoftDxApi.h"
#include "SoftDxControl.h"
#include "SoftDxDevices.h"

namespace {
const HWND Window = reinterpret_cast<HWND>(uintptr_t{0x4200001});

class DirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Output = std::make_shared<SoftDxHeadlessSoundOutput>(8000);
        SoftDxSetSoundOutput(Output);
        ASSERT_EQ(DirectSoundCreate(nullptr, &DS, nullptr), DS_OK);
        ASSERT_EQ(DS->SetCooperativeLevel(Window, DSSCL_NORMAL), DS_OK);
    }
    void TearDown() override
    {
        SoftDxClearFaults();
        for (IDirectSoundBuffer* buffer : Buffers) buffer->Release();
        EXPECT_EQ(DS->Release(), 0u);
        EXPECT_EQ(Output->OpenStreams(), 0) << "the object closed its stream";
        SoftDxSetSoundOutput(nullptr);
    }
    // A static buffer of 16-bit samples with the controls the sound component asks for.
    IDirectSoundBuffer* Buffer(const std::vector<int16_t>& samples, WORD channels = 1, DWORD rate = 8000)
    {
        WAVEFORMATEX format{1, channels, rate, rate * channels * 2, WORD(channels * 2), 16, 0};
        DSBUFFERDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwFlags = 226;
        desc.dwBufferBytes = static_cast<DWORD>(samples.size() * 2);
        desc.lpwfxFormat = &format;
        IDirectSoundBuffer* buffer = nullptr;
        EXPECT_EQ(DS->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
        if (!buffer) return nullptr;
        Buffers.push_back(buffer);
        void* region = nullptr;
        DWORD size = 0;
        EXPECT_EQ(buffer->Lock(0, desc.dwBufferBytes, &region, &size, nullptr, nullptr, 0), DS_OK);
        EXPECT_EQ(size, desc.dwBufferBytes);
        std::memcpy(region, samples.data(), size);
        EXPECT_EQ(buffer->Unlock(region, size, nullptr, 0), DS_OK);
        return buffer;
    }

    std::shared_ptr<SoftDxHeadlessSoundOutput> Output;
    IDirectSound* DS = nullptr;
    std::vector<IDirectSoundBuffer*> Buffers;
};

std::vector<int16_t> Ramp(size_t count, int start, int step)
{
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(start + step * int(i));
    return samples;
}
}  // namespace

TEST_F(DirectSoundTest, BuffersReachTheOutputSampleForSampleAndMix)
{
    const std::vector<int16_t> a = Ramp(100, -5000, 97), b = Ramp(60, 3000, -50);
    IDirectSoundBuffer* first = Buffer(a);
    IDirectSoundBuffer* second = Buffer(b);
    EXPECT_EQ(Output->OpenStreams(), 0) << "no stream before anything plays";
    ASSERT_EQ(first->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(second->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Output->OpenStreams(), 1);
    const std::vector<int16_t> mix = Output->Render(120);
    for (size_t i = 0; i < 120; ++i) {
        const int expected = (i < a.size() ? a[i] : 0) + (i < b.size() ? b[i] : 0);
        ASSERT_EQ(mix[2 * i], expected) << "frame " << i;
        ASSERT_EQ(mix[2 * i + 1], expected) << "a mono buffer plays on both sides";
    }
    DWORD status = 1;
    EXPECT_EQ(first->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u) << "played to its end";
}

TEST_F(DirectSoundTest, VolumePanFrequencyAndLoopingShapeTheMix)
{
    const std::vector<int16_t> loud(40, 20000);
    IDirectSoundBuffer* buffer = Buffer(loud);
    ASSERT_EQ(buffer->SetVolume(-602), DS_OK);  // -6.02 dB: half the amplitude
    ASSERT_EQ(buffer->SetPan(DSBPAN_LEFT), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::vector<int16_t> mix = Output->Render(100);
    for (size_t i = 0; i < 100; ++i) {
        ASSERT_NEAR(mix[2 * i], 10000, 2) << "frame " << i << ", looping past the buffer's 40";
        ASSERT_NEAR(mix[2 * i + 1], 0, 1) << "full left pan silences the right";
    }
    DWORD status = 0;
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DWORD{DSBSTATUS_PLAYING | DSBSTATUS_LOOPING});

    // Twice the output's rate: every other sample; a stop keeps the position.
    const std::vector<int16_t> ramp = Ramp(50, 0, 100);
    IDirectSoundBuffer* fast = Buffer(ramp);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    ASSERT_EQ(fast->SetFrequency(16000), DS_OK);
    ASSERT_EQ(fast->Play(0, 0, 0), DS_OK);
    mix = Output->Render(10);
    for (size_t i = 0; i < 10; ++i) ASSERT_EQ(mix[2 * i], ramp[2 * i]);
    ASSERT_EQ(fast->Stop(), DS_OK);
    DWORD play = 0;
    ASSERT_EQ(fast->GetCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 40u) << "20 frames of 2 bytes";
    EXPECT_EQ(Output->Render(4), std::vector<int16_t>(8, 0)) << "nothing plays after the stops";

    EXPECT_EQ(buffer->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetPan(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetFrequency(99), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundTest, BufferCreationAndLockingKeepTheirRules)
{
    WAVEFORMATEX format{1, 2, 22050, 88200, 4, 16, 0};
    DSBUFFERDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = 226;
    desc.dwBufferBytes = 0;
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer* buffer = nullptr;
    EXPECT_EQ(DS->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_INVALIDPARAM) << "no bytes";
    desc.dwBufferBytes = 400;
    format.nAvgBytesPerSec = 1;
    EXPECT_EQ(DS->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_BADFORMAT);
    format.nAvgBytesPerSec = 88200;
    format.wFormatTag = 3;
    EXPECT_EQ(DS->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_BADFORMAT);
    format.wFormatTag = 1;
    SoftDxFailNext("IDirectSound::CreateSoundBuffer", DSERR_OUTOFMEMORY);
    EXPECT_EQ(DS->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_OUTOFMEMORY);
    EXPECT_EQ(buffer, nullptr);
    ASSERT_EQ(DS->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
    Buffers.push_back(buffer);

    void *first = nullptr, *second = nullptr;
    DWORD firstSize = 0, secondSize = 0;
    ASSERT_EQ(buffer->Lock(300, 200, &first, &firstSize, &second, &secondSize, 0), DS_OK);
    EXPECT_EQ(firstSize, 100u);
    EXPECT_EQ(secondSize, 100u) << "the rest from the start";
    EXPECT_EQ(static_cast<uint8_t*>(first) - static_cast<uint8_t*>(second), 300);
    EXPECT_EQ(buffer->Unlock(first, firstSize, second, secondSize), DS_OK);
    EXPECT_EQ(buffer->Lock(400, 4, &first, &firstSize, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 401, &first, &firstSize, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    int outside = 0;
    EXPECT_EQ(buffer->Unlock(&outside, 4, nullptr, 0), DSERR_INVALIDPARAM);
}

TEST(DirectSoundEntry, NoSoundDeviceNoDirectSound)
{
    auto output = std::make_shared<SoftDxHeadlessSoundOutput>();
    output->Present = false;
    SoftDxSetSoundOutput(output);
    IDirectSound* sound = reinterpret_cast<IDirectSound*>(1);
    EXPECT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(sound, nullptr);
    output->Present = true;
    SoftDxFailNext("DirectSoundCreate", DSERR_ALLOCATED);
    EXPECT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DSERR_ALLOCATED);
    ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
    EXPECT_EQ(sound->Release(), 0u);
    SoftDxClearFaults();
    SoftDxSetSoundOutput(nullptr);
}
