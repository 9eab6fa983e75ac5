// Linux helper of the DirectX binding: the software DirectX's joysticks and sound output, through SDL.
// Implements: nothing of the contract; SdlJoysticks (an ISoftDxJoysticks) and SdlSoundOutput (an
//   ISoftDxSoundOutput), declared in LinuxSdlDevices.h
// Leaves out: force feedback, sound capture, a choice of output device (the system's default is used)
#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "wdx/x11/LinuxSdlDevices.h"

namespace {
// SDL would otherwise take SIGINT and SIGTERM for its own quit event, which nothing here
// reads: a show killed with SIGTERM would go on.
bool InitSdl(Uint32 subsystem)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    return SDL_InitSubSystem(subsystem) == 0;
}
}  // namespace

SdlJoysticks::SdlJoysticks() {}

SdlJoysticks::~SdlJoysticks()
{
    for (const Slot& slot : FSlots)
        if (slot.Stick) SDL_JoystickClose(static_cast<SDL_Joystick*>(slot.Stick));
    if (FReady) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

std::vector<SoftDxJoystickInfo> SdlJoysticks::List()
{
    // SDL starts only when a program first asks for a stick, not at every device's start.
    if (!FReady) {
        if (!InitSdl(SDL_INIT_JOYSTICK)) return {};
        FReady = true;
    }
    SDL_JoystickUpdate();
    for (Slot& slot : FSlots) {
        if (!slot.Stick || SDL_JoystickGetAttached(static_cast<SDL_Joystick*>(slot.Stick))) continue;
        SDL_JoystickClose(static_cast<SDL_Joystick*>(slot.Stick));
        slot.Stick = nullptr;
        slot.Info.Attached = false;
    }
    // SDL's device numbers shift when a stick goes; its instance ids do not.
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
        if (std::any_of(FSlots.begin(), FSlots.end(), [id](const Slot& slot) { return slot.Id == id && slot.Stick; }))
            continue;
        SDL_Joystick* stick = SDL_JoystickOpen(i);
        if (!stick) continue;
        const char* name = SDL_JoystickName(stick);
        FSlots.push_back({id,
                          stick,
                          {name ? name : "Joystick", std::min(SDL_JoystickNumAxes(stick), 8),
                           std::min(SDL_JoystickNumHats(stick), 4), std::min(SDL_JoystickNumButtons(stick), 32)}});
    }
    std::vector<SoftDxJoystickInfo> list;
    for (const Slot& slot : FSlots) list.push_back(slot.Info);
    return list;
}

bool SdlJoysticks::State(int index, SoftDxJoystickState& state)
{
    if (index < 0 || static_cast<size_t>(index) >= FSlots.size() || !FSlots[size_t(index)].Stick) return false;
    auto* stick = static_cast<SDL_Joystick*>(FSlots[static_cast<size_t>(index)].Stick);
    SDL_JoystickUpdate();
    if (!SDL_JoystickGetAttached(stick)) return false;
    state = SoftDxJoystickState{};
    for (int i = 0; i < std::min(SDL_JoystickNumAxes(stick), 8); ++i) state.Axes[i] = SDL_JoystickGetAxis(stick, i);
    for (int i = 0; i < std::min(SDL_JoystickNumHats(stick), 4); ++i) {
        // Hundredths of a degree clockwise from north; -1 centred.
        switch (SDL_JoystickGetHat(stick, i)) {
        case SDL_HAT_UP: state.Hats[i] = 0; break;
        case SDL_HAT_RIGHTUP: state.Hats[i] = 4500; break;
        case SDL_HAT_RIGHT: state.Hats[i] = 9000; break;
        case SDL_HAT_RIGHTDOWN: state.Hats[i] = 13500; break;
        case SDL_HAT_DOWN: state.Hats[i] = 18000; break;
        case SDL_HAT_LEFTDOWN: state.Hats[i] = 22500; break;
        case SDL_HAT_LEFT: state.Hats[i] = 27000; break;
        case SDL_HAT_LEFTUP: state.Hats[i] = 31500; break;
        default: state.Hats[i] = -1; break;
        }
    }
    for (int i = 0; i < std::min(SDL_JoystickNumButtons(stick), 32); ++i)
        state.Buttons[i] = SDL_JoystickGetButton(stick, i) != 0;
    return true;
}

namespace {
void PullFrames(void* pull, Uint8* bytes, int length)
{
    (*static_cast<SoftDxPullFrames*>(pull))(reinterpret_cast<int16_t*>(bytes), static_cast<size_t>(length) / 4);
}
}  // namespace

SdlSoundOutput::~SdlSoundOutput()
{
    std::lock_guard guard(FLock);
    for (auto& [device, pull] : FStreams) SDL_CloseAudioDevice(static_cast<SDL_AudioDeviceID>(device));
    FStreams.clear();
    if (FInitialised) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlSoundOutput::Init()
{
    if (!FInitialised && !FInitFailed) {
        FInitialised = InitSdl(SDL_INIT_AUDIO);
        FInitFailed = !FInitialised;
    }
    return FInitialised;
}

bool SdlSoundOutput::Available()
{
    std::lock_guard guard(FLock);
    // -1: the driver cannot list its devices, but has its default one.
    return Init() && SDL_GetNumAudioDevices(0) != 0;
}

bool SdlSoundOutput::Open(SoftDxPullFrames pull, uint32_t& rate, int& stream)
{
    std::lock_guard guard(FLock);
    if (!Init()) return false;
    auto held = std::make_unique<SoftDxPullFrames>(std::move(pull));
    SDL_AudioSpec want;
    std::memset(&want, 0, sizeof want);
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;  // about 23 ms: short enough for a sound on a key press
    want.callback = PullFrames;
    want.userdata = held.get();
    SDL_AudioSpec have;
    // No changes allowed: SDL converts to whatever the device plays.
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) return false;
    rate = static_cast<uint32_t>(have.freq);
    stream = static_cast<int>(device);
    FStreams.emplace_back(stream, std::move(held));
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void SdlSoundOutput::Close(int stream)
{
    std::lock_guard guard(FLock);
    auto found = std::find_if(FStreams.begin(), FStreams.end(), [stream](const auto& s) { return s.first == stream; });
    if (found == FStreams.end()) return;
    // Returns once the callback has finished; only then may its function go.
    SDL_CloseAudioDevice(static_cast<SDL_AudioDeviceID>(stream));
    FStreams.erase(found);
}
