// The sound component and its basic buffers: the wave search, the load into a static
// buffer, every failure of it, and the calls a program plays the buffers with.
#include "wdx/WDirectSoundBuffer.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "core/Paths.h"
#include "wdx/ImageFiles.h"
#include "wdx/WDirectX.h"

namespace {
// DSBCAPS_STATIC, DSBCAPS_CTRLFREQUENCY, DSBCAPS_CTRLPAN and DSBCAPS_CTRLVOLUME.
constexpr DWORD BufferFlags = 226;
}  // namespace

bool FindWaveFile(const TWDirectX& device, const std::string& name, std::string& path)
{
    const std::string candidates[] = {name, device.PathWaves + name,
                                      ProgramFolder() + PathDelim + device.PathWaves + name};
    for (const std::string& candidate : candidates) {
        if (IsRegularFile(candidate)) {
            path = candidate;
            return true;
        }
    }
    return false;
}

TWDirectSoundBasicBuffer::TWDirectSoundBasicBuffer(TComponent* owner) : TComponent(owner) {}

void TWDirectSoundBasicBuffer::Start(TWDirectX* device, const std::string& waveName)
{
    FDevice = device;
    FWaveName = waveName;
    if (FActive || !device) return;
    if (device->LogType == dxlogAll) device->WriteLog("TWDirectSoundBasicBuffer.Start");
    std::string path;
    if (!FindWaveFile(*device, waveName, path)) return;
    try {
        // The stream is the file's bytes, held only for the load.
        std::string stream;
        if (!ReadFileBytes(path, stream)) return;
        const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(stream.data()), stream.size());
        if (ReadWaveHeader(bytes, FHeader) != TWaveResult::Ok) return;
        FActive = CreateBuffer() && FillBuffer(bytes);
        if (!FActive) FSoundBuffer.Reset();
    } catch (const std::exception&) {
        // A failed load, the buffer's refusal among them: already reported where it
        // should be, and no further.
        FSoundBuffer.Reset();
        FActive = false;
    }
}

bool TWDirectSoundBasicBuffer::CreateBuffer()
{
    FSoundBuffer.Reset();
    WAVEFORMATEX format;
    std::memset(&format, 0, sizeof format);
    format.wFormatTag = FHeader.Format.FormatTag;
    format.nChannels = FHeader.Format.Channels;
    format.nSamplesPerSec = FHeader.Format.SamplesPerSec;
    format.nAvgBytesPerSec = FHeader.Format.AvgBytesPerSec;
    format.nBlockAlign = FHeader.Format.BlockAlign;
    format.wBitsPerSample = FHeader.Format.BitsPerSample;
    format.cbSize = FHeader.Format.ExtraSize;
    DSBUFFERDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = BufferFlags;
    desc.dwBufferBytes = FHeader.DataSize;
    desc.lpwfxFormat = &format;
    IDirectSound* sound = FDevice->DirectSound();
    const HRESULT result = sound ? sound->CreateSoundBuffer(&desc, FSoundBuffer.Put(), nullptr) : DSERR_UNINITIALIZED;
    if (result != DS_OK) FDevice->RaiseError(rkDirectSound, "", result);
    return true;
}

bool TWDirectSoundBasicBuffer::FillBuffer(std::span<const uint8_t> stream)
{
    void* region = nullptr;
    DWORD regionSize = 0;
    if (FSoundBuffer->Lock(0, FHeader.DataSize, &region, &regionSize, nullptr, nullptr, 0) != DS_OK || !region)
        return false;
    // The header walk has made sure the data chunk lies within the stream.
    const size_t left = std::min<size_t>(FHeader.DataSize, stream.size() - FHeader.DataOffset);
    const size_t read = std::min<size_t>(regionSize, left);
    std::memcpy(region, stream.data() + FHeader.DataOffset, read);
    const bool unlocked = FSoundBuffer->Unlock(region, regionSize, nullptr, 0) == DS_OK;
    return unlocked && read == regionSize;
}

void TWDirectSoundBasicBuffer::Stop()
{
    if (!FActive) return;
    FActive = false;
    FSoundBuffer.Reset();
}

HRESULT TWDirectSoundBasicBuffer::Play(bool looping)
{
    if (!FActive) return DSERR_INVALIDCALL;
    const HRESULT result = FSoundBuffer->SetCurrentPosition(0);
    if (result != DS_OK) return result;
    return FSoundBuffer->Play(0, 0, looping ? DSBPLAY_LOOPING : 0);
}

HRESULT TWDirectSoundBasicBuffer::StopPlaying() { return FActive ? FSoundBuffer->Stop() : DSERR_INVALIDCALL; }
HRESULT TWDirectSoundBasicBuffer::SetVolume(LONG volume)
{
    return FActive ? FSoundBuffer->SetVolume(volume) : DSERR_INVALIDCALL;
}
HRESULT TWDirectSoundBasicBuffer::SetPan(LONG pan) { return FActive ? FSoundBuffer->SetPan(pan) : DSERR_INVALIDCALL; }
HRESULT TWDirectSoundBasicBuffer::SetFrequency(DWORD frequency)
{
    return FActive ? FSoundBuffer->SetFrequency(frequency) : DSERR_INVALIDCALL;
}

bool TWDirectSoundBasicBuffer::Playing() const
{
    DWORD status = 0;
    return FActive && FSoundBuffer->GetStatus(&status) == DS_OK && (status & DSBSTATUS_PLAYING);
}

TWDirectSoundBuffer::TWDirectSoundBuffer(TComponent* owner)
    : TComponent(owner), FSingle(new TWDirectSoundBasicBuffer(this))
{
}

TWDirectSoundBuffer::~TWDirectSoundBuffer()
{
    // The owned buffers go with the component; the device, made before it, is still there.
    if (FActive) Stop();
}

void TWDirectSoundBuffer::Start(TWDirectX* device)
{
    FDevice = device;
    if (FActive || !device) return;
    if (device->LogType == dxlogAll) device->WriteLog("TWDirectSoundBuffer.Start");
    if (SimpleBuffer) {
        FSingle->Start(device, SimpleWave);
    } else {
        FBuffers.clear();
        for (const std::string& line : FWaves) {
            auto* buffer = new TWDirectSoundBasicBuffer(this);
            FBuffers.push_back(buffer);
            buffer->Start(device, line);
        }
    }
    // Active whatever each load gave: a missing wave leaves only its own buffer silent.
    FActive = true;
}

void TWDirectSoundBuffer::Stop()
{
    if (!FActive) return;
    FActive = false;
    // Both kinds are given back, so a SimpleBuffer changed while active leaves nothing held.
    FSingle->Stop();
    for (TWDirectSoundBasicBuffer* buffer : FBuffers) {
        buffer->Stop();
        delete buffer;  // leaves the component's list as it goes
    }
    FBuffers.clear();
}
