#pragma once
// The sound component a form may hold beside its device: when the device starts it loads
// one wave, or a list of them, into static DirectSound buffers (TWDirectSoundBasicBuffer,
// one a wave), and the device's stop releases them. The buffers are made with volume, pan
// and frequency control, so a program plays them through the basic buffer's calls.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "framework/Component.h"
#include "framework/Events.h"
#include "wdx/ComPtr.h"
#include "wdx/DirectXApi.h"
#include "wdx/WDirectXTypes.h"
#include "wdx/WaveFile.h"

class TWDirectSoundBasicBuffer : public TComponent, public TObject {
public:
    explicit TWDirectSoundBasicBuffer(TComponent* owner);

    bool Active() const { return FActive; }
    // Finds the wave, reads its header, creates the buffer and fills it. Inactive without a
    // word when the wave is missing, damaged or not PCM; a refused buffer goes through the
    // device's error report, whose error stops here.
    void Start(TWDirectX* device, const std::string& waveName);
    void Stop();  // releases the buffer

    const std::string& WaveName() const { return FWaveName; }
    const TWaveFormat& Format() const { return FHeader.Format; }
    uint32_t DataSize() const { return FHeader.DataSize; }
    uint32_t DataOffset() const { return FHeader.DataOffset; }
    uint32_t Length() const { return FHeader.Length; }  // sample frames
    IDirectSoundBuffer* SoundBuffer() const { return FSoundBuffer.Get(); }

    // A program's sound: DS_OK or the buffer's result; DSERR_INVALIDCALL while inactive.
    HRESULT Play(bool looping = false);  // from the start
    HRESULT StopPlaying();
    HRESULT SetVolume(LONG volume);  // hundredths of a decibel, -10000 to 0
    HRESULT SetPan(LONG pan);        // -10000 (left) to 10000 (right)
    HRESULT SetFrequency(DWORD frequency);
    bool Playing() const;

private:
    bool CreateBuffer();
    bool FillBuffer(std::span<const uint8_t> stream);

    TWDirectX* FDevice = nullptr;  // not owned
    std::string FWaveName;
    bool FActive = false;
    TWaveHeader FHeader;
    TComPtr<IDirectSoundBuffer> FSoundBuffer;
};

class TWDirectSoundBuffer : public TComponent, public TObject, public TWDirectXComponent {
public:
    explicit TWDirectSoundBuffer(TComponent* owner);
    ~TWDirectSoundBuffer() override;

    bool Active() const { return FActive; }
    bool SimpleBuffer = true;  // true: the one wave SimpleWave; false: one buffer a line of Waves
    std::string SimpleWave;
    const std::vector<std::string>& Waves() const { return FWaves; }
    void SetWaves(const std::vector<std::string>& lines) { FWaves = lines; }

    // The single buffer, and the buffers of Waves in line order while active.
    TWDirectSoundBasicBuffer* Single() const { return FSingle; }
    const std::vector<TWDirectSoundBasicBuffer*>& Buffers() const { return FBuffers; }

    TWDirectXComponentKind DirectXKind() const override { return dxkSoundBuffer; }
    void Start(TWDirectX* device) override;
    void Stop() override;

private:
    TWDirectX* FDevice = nullptr;  // not owned
    bool FActive = false;
    std::vector<std::string> FWaves;
    TWDirectSoundBasicBuffer* FSingle;  // owned as a component
    std::vector<TWDirectSoundBasicBuffer*> FBuffers;
};

// The first of: the name itself, PathWaves + name, the program's folder + PathWaves + name,
// that is a regular file. Wave resources of the program's module would come first; neither
// the Linux program nor the Windows build carries any.
bool FindWaveFile(const TWDirectX& device, const std::string& name, std::string& path);
