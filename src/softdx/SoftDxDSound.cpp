// The software DirectSound: secondary buffers of 8- or 16-bit PCM, mono or stereo, mixed
// into the installed sound output with their volume, pan and frequency.
// Implements: DirectSoundCreate, IDirectSound (SoftDxDirectSound), IDirectSoundBuffer
// (SoftDxSoundBuffer).
// Does not implement: the primary buffer, 3D buffers, position notification, hardware
// mixing, speaker configurations (GetSpeakerConfig answers stereo).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "SoftDxDevices.h"
#include "SoftDxInternal.h"
#include "SoftDxUnknown.h"

using softdx::SoftDxUnknown;

namespace {

class SoftDxSoundBuffer;

// What every buffer of one DirectSound object shares with the output's thread: the list of
// buffers now playing, under one lock, which the output's pull walks to make the mix. The
// output's stream is opened when the first buffer plays and closed with the object.
struct Mixer : std::enable_shared_from_this<Mixer> {
    std::mutex Lock;
    std::vector<SoftDxSoundBuffer*> Playing;
    uint32_t Rate = 44100;
    void Mix(int16_t* frames, size_t count);

    explicit Mixer(std::shared_ptr<ISoftDxSoundOutput> output) : Output(std::move(output)) {}
    bool EnsureOpen()
    {
        std::lock_guard guard(OpenLock);
        if (Open) return true;
        // The output's thread pulls through a weak reference, so a mixer it still holds
        // while the object closes the stream ends harmlessly on that thread.
        std::weak_ptr<Mixer> weak = weak_from_this();
        uint32_t rate = 0;
        const bool opened = Output->Open(
            [weak](int16_t* frames, size_t count) {
                if (auto held = weak.lock())
                    held->Mix(frames, count);
                else
                    std::fill(frames, frames + 2 * count, int16_t{0});
            },
            rate, Stream);
        if (!opened) return false;
        if (rate == 0) {
            Output->Close(Stream);
            return false;
        }
        {
            std::lock_guard mixing(Lock);
            Rate = rate;
        }
        Open = true;
        return true;
    }
    void Close()
    {
        std::lock_guard guard(OpenLock);
        if (Open) Output->Close(Stream);
        Open = false;
    }

    std::mutex OpenLock;
    std::shared_ptr<ISoftDxSoundOutput> Output;
    bool Open = false;
    int Stream = -1;
};

// DirectSound's volume and pan are attenuations in hundredths of a decibel.
float Gain(LONG attenuation) { return attenuation >= 0 ? 1.0f : std::pow(10.0f, attenuation / 2000.0f); }

class SoftDxSoundBuffer final : public SoftDxUnknown<SoftDxSoundBuffer, IDirectSoundBuffer> {
public:
    // A buffer holds a reference to its DirectSound object, which closes the output only
    // when the last of its buffers is gone.
    SoftDxSoundBuffer(IDirectSound* owner, std::shared_ptr<Mixer> mixer, const DSBUFFERDESC& desc)
        : FOwner(owner),
          FMixer(std::move(mixer)),
          FFlags(desc.dwFlags),
          FFormat(*desc.lpwfxFormat),
          FData(desc.dwBufferBytes, FFormat.wBitsPerSample == 8 ? 0x80 : 0),
          FFrequency(FFormat.nSamplesPerSec)
    {
        FOwner->AddRef();
        FFormat.cbSize = 0;
    }
    static bool Answers(REFIID riid) { return riid == IID_IDirectSoundBuffer; }

    HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS caps) override
    {
        SOFTDX_ENTER("IDirectSoundBuffer::GetCaps");
        if (!caps || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
        caps->dwFlags = FFlags | DSBCAPS_LOCSOFTWARE;
        caps->dwBufferBytes = static_cast<DWORD>(FData.size());
        caps->dwUnlockTransferRate = 0;
        caps->dwPlayCpuOverhead = 0;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD play, LPDWORD write) override
    {
        SOFTDX_ENTER("IDirectSoundBuffer::GetCurrentPosition");
        std::lock_guard guard(FMixer->Lock);
        const DWORD at = static_cast<DWORD>(FPosition) * FFormat.nBlockAlign;
        if (play) *play = at;
        if (write) *write = at;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX format, DWORD allocated, LPDWORD written) override
    {
        if (!format && !written) return DSERR_INVALIDPARAM;
        if (format) std::memcpy(format, &FFormat, std::min<size_t>(allocated, sizeof FFormat));
        if (written) *written = format ? std::min<DWORD>(allocated, sizeof FFormat) : sizeof FFormat;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVolume(LPLONG volume) override
    {
        if (!volume) return DSERR_INVALIDPARAM;
        if (!(FFlags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
        *volume = FVolume;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPan(LPLONG pan) override
    {
        if (!pan) return DSERR_INVALIDPARAM;
        if (!(FFlags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
        *pan = FPan;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD frequency) override
    {
        if (!frequency) return DSERR_INVALIDPARAM;
        if (!(FFlags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
        *frequency = FFrequency;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override
    {
        SOFTDX_ENTER("IDirectSoundBuffer::GetStatus");
        if (!status) return DSERR_INVALIDPARAM;
        std::lock_guard guard(FMixer->Lock);
        *status = (FPlaying ? DSBSTATUS_PLAYING : 0) | (FPlaying && FLooping ? DSBSTATUS_LOOPING : 0);
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE Initialize(IDirectSound*, LPCDSBUFFERDESC) override { return DSERR_ALREADYINITIALIZED; }
    HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* audio1, LPDWORD bytes1, LPVOID* audio2,
                                   LPDWORD bytes2, DWORD flags) override
    {
        SOFTDX_ENTER("IDirectSoundBuffer::Lock");
        if (!audio1 || !bytes1) return DSERR_INVALIDPARAM;
        const DWORD size = static_cast<DWORD>(FData.size());
        if (flags & DSBLOCK_FROMWRITECURSOR) GetCurrentPosition(nullptr, &offset);
        if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
        if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
        // A region that runs past the end goes on at the start, as the second region.
        const DWORD first = std::min(bytes, size - offset);
        *audio1 = FData.data() + offset;
        *bytes1 = first;
        if (audio2) *audio2 = first < bytes ? FData.data() : nullptr;
        if (bytes2) *bytes2 = first < bytes ? bytes - first : 0;
        if (first < bytes && !audio2) return DSERR_INVALIDPARAM;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE Play(DWORD, DWORD, DWORD flags) override
    {
        SOFTDX_ENTER("IDirectSoundBuffer::Play");
        if (!FMixer->EnsureOpen()) return DSERR_NODRIVER;
        std::lock_guard guard(FMixer->Lock);
        FLooping = (flags & DSBPLAY_LOOPING) != 0;
        if (!FPlaying) FMixer->Playing.push_back(this);
        FPlaying = true;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD position) override
    {
        SOFTDX_ENTER("IDirectSoundBuffer::SetCurrentPosition");
        if (position >= FData.size()) return DSERR_INVALIDPARAM;
        std::lock_guard guard(FMixer->Lock);
        FPosition = position / FFormat.nBlockAlign;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX) override { return DSERR_INVALIDCALL; }
    HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) override
    {
        SOFTDX_ENTER("IDirectSoundBuffer::SetVolume");
        if (!(FFlags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
        std::lock_guard guard(FMixer->Lock);
        FVolume = volume;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE SetPan(LONG pan) override
    {
        SOFTDX_ENTER("IDirectSoundBuffer::SetPan");
        if (!(FFlags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
        if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
        std::lock_guard guard(FMixer->Lock);
        FPan = pan;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFrequency(DWORD frequency) override
    {
        SOFTDX_ENTER("IDirectSoundBuffer::SetFrequency");
        if (!(FFlags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
        if (frequency == DSBFREQUENCY_ORIGINAL) frequency = FFormat.nSamplesPerSec;
        if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
        std::lock_guard guard(FMixer->Lock);
        FFrequency = frequency;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE Stop() override
    {
        SOFTDX_ENTER("IDirectSoundBuffer::Stop");
        std::lock_guard guard(FMixer->Lock);
        Halt();
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID audio1, DWORD bytes1, LPVOID audio2, DWORD bytes2) override
    {
        SOFTDX_ENTER("IDirectSoundBuffer::Unlock");
        auto inside = [this](LPVOID at, DWORD bytes) {
            const auto* p = static_cast<const uint8_t*>(at);
            return p >= FData.data() && bytes <= FData.size() && size_t(p - FData.data()) <= FData.size() - bytes;
        };
        if (!audio1 || !inside(audio1, bytes1) || (audio2 && !inside(audio2, bytes2))) return DSERR_INVALIDPARAM;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE Restore() override { return DS_OK; }

    // Adds this buffer's next frames into the mix; false when it has played to its end.
    // Called with the mixer's lock held.
    bool MixInto(float* mix, size_t count, uint32_t outputRate);
    // Leaves the playing list. Called with the mixer's lock held.
    void Halt()
    {
        if (!FPlaying) return;
        FPlaying = false;
        auto& playing = FMixer->Playing;
        playing.erase(std::remove(playing.begin(), playing.end(), this), playing.end());
    }

private:
    friend class SoftDxUnknown<SoftDxSoundBuffer, IDirectSoundBuffer>;
    ~SoftDxSoundBuffer()
    {
        {
            std::lock_guard guard(FMixer->Lock);
            Halt();
        }
        FOwner->Release();
    }
    float Sample(size_t frame, int channel) const
    {
        const size_t at = frame * FFormat.nBlockAlign + size_t(channel) * (FFormat.wBitsPerSample / 8);
        if (FFormat.wBitsPerSample == 8) return (int(FData[at]) - 128) * 256.0f;
        int16_t value;
        std::memcpy(&value, &FData[at], 2);
        return value;
    }

    IDirectSound* FOwner;
    std::shared_ptr<Mixer> FMixer;
    DWORD FFlags;
    WAVEFORMATEX FFormat;
    std::vector<uint8_t> FData;
    DWORD FFrequency;
    LONG FVolume = 0, FPan = 0;
    bool FPlaying = false, FLooping = false;
    // In frames of the buffer; the fraction carries a frequency that differs from the
    // output's rate from one frame of the mix to the next.
    double FPosition = 0;
};

bool SoftDxSoundBuffer::MixInto(float* mix, size_t count, uint32_t outputRate)
{
    const size_t frames = FData.size() / FFormat.nBlockAlign;
    if (frames == 0) return false;
    const float volume = Gain(FVolume);
    const float left = volume * Gain(FPan > 0 ? -FPan : 0), right = volume * Gain(FPan < 0 ? FPan : 0);
    const double step = double(FFrequency) / outputRate;
    for (size_t i = 0; i < count; ++i) {
        if (FPosition >= double(frames)) {
            if (!FLooping) return false;
            FPosition = std::fmod(FPosition, double(frames));
        }
        // The nearest earlier frame: at the output's own rate every sample reaches the mix
        // unchanged.
        const size_t frame = static_cast<size_t>(FPosition);
        const float l = Sample(frame, 0);
        const float r = FFormat.nChannels == 2 ? Sample(frame, 1) : l;
        mix[2 * i] += l * left;
        mix[2 * i + 1] += r * right;
        FPosition += step;
    }
    if (FPosition >= double(frames) && !FLooping) return false;
    return true;
}

void Mixer::Mix(int16_t* frames, size_t count)
{
    std::vector<float> mix(count * 2, 0.0f);
    std::lock_guard guard(Lock);
    for (SoftDxSoundBuffer* buffer : std::vector<SoftDxSoundBuffer*>(Playing))
        if (!buffer->MixInto(mix.data(), count, Rate)) buffer->Halt();
    for (size_t i = 0; i < mix.size(); ++i)
        frames[i] = static_cast<int16_t>(std::lround(std::clamp(mix[i], -32768.0f, 32767.0f)));
}

bool UsableFormat(const WAVEFORMATEX* format)
{
    if (!format || format->wFormatTag != WAVE_FORMAT_PCM) return false;
    if (format->nChannels != 1 && format->nChannels != 2) return false;
    if (format->wBitsPerSample != 8 && format->wBitsPerSample != 16) return false;
    if (format->nSamplesPerSec < DSBFREQUENCY_MIN || format->nSamplesPerSec > DSBFREQUENCY_MAX) return false;
    return format->nBlockAlign == format->nChannels * format->wBitsPerSample / 8 &&
           format->nAvgBytesPerSec == format->nSamplesPerSec * format->nBlockAlign;
}

class SoftDxDirectSound final : public SoftDxUnknown<SoftDxDirectSound, IDirectSound> {
public:
    explicit SoftDxDirectSound(std::shared_ptr<Mixer> mixer) : FMixer(std::move(mixer)) {}
    static bool Answers(REFIID riid) { return riid == IID_IDirectSound; }

    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER buffer,
                                                IUnknown* outer) override
    {
        SOFTDX_ENTER("IDirectSound::CreateSoundBuffer");
        if (!buffer) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (outer) return DSERR_NOAGGREGATION;
        if (!desc || (desc->dwSize != sizeof(DSBUFFERDESC) && desc->dwSize != offsetof(DSBUFFERDESC, guid3DAlgorithm)))
            return DSERR_INVALIDPARAM;
        if (FLevel == 0) return DSERR_UNINITIALIZED;
        if (desc->dwFlags & (DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D)) return DSERR_UNSUPPORTED;
        if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
        if (!desc->lpwfxFormat) return DSERR_INVALIDPARAM;
        if (!UsableFormat(desc->lpwfxFormat)) return DSERR_BADFORMAT;
        *buffer = new SoftDxSoundBuffer(this, FMixer, *desc);
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS caps) override
    {
        if (!caps || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
        std::memset(caps, 0, sizeof *caps);
        caps->dwSize = sizeof *caps;
        caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
        caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
        caps->dwPrimaryBuffers = 1;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER, LPLPDIRECTSOUNDBUFFER duplicate) override
    {
        if (duplicate) *duplicate = nullptr;
        return DSERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) override
    {
        SOFTDX_ENTER("IDirectSound::SetCooperativeLevel");
        if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
        if (!window) return DSERR_INVALIDPARAM;
        FLevel = level;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE Compact() override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD config) override
    {
        if (!config) return DSERR_INVALIDPARAM;
        *config = 4;  // DSSPEAKER_STEREO
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE Initialize(LPCGUID) override { return DSERR_ALREADYINITIALIZED; }

private:
    friend class SoftDxUnknown<SoftDxDirectSound, IDirectSound>;
    // Runs on the program's thread (a Release), never on the output's, so the close may wait
    // for a pull under way.
    ~SoftDxDirectSound() { FMixer->Close(); }

    std::shared_ptr<Mixer> FMixer;
    DWORD FLevel = 0;
};

}  // namespace

STDAPI DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* sound, LPUNKNOWN outer)
{
    SOFTDX_ENTER("DirectSoundCreate");
    if (!sound) return DSERR_INVALIDPARAM;
    *sound = nullptr;
    if (outer) return DSERR_NOAGGREGATION;
    if (device) return DSERR_NODRIVER;  // only the default output exists
    std::shared_ptr<ISoftDxSoundOutput> output = SoftDxGetSoundOutput();
    if (!output->Available()) return DSERR_NODRIVER;
    *sound = new SoftDxDirectSound(std::make_shared<Mixer>(std::move(output)));
    return DS_OK;
}
