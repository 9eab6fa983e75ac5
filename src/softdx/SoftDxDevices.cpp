// The slots of the input and sound back ends and their headless implementations.
// Implements: SoftDxSetInput, SoftDxGetInput, SoftDxSetJoysticks, SoftDxGetJoysticks,
// SoftDxSetSoundOutput, SoftDxGetSoundOutput, SoftDxHeadlessInput, SoftDxHeadlessJoysticks,
// SoftDxHeadlessSoundOutput.
// Not here: real devices, which the program installs.
#include <algorithm>
#include <utility>

#include "SoftDxDevices.h"

namespace {
std::mutex slotLock;
std::shared_ptr<ISoftDxInput> currentInput;
std::shared_ptr<ISoftDxJoysticks> currentJoysticks;
std::shared_ptr<ISoftDxSoundOutput> currentOutput;

template <typename Interface, typename Headless>
std::shared_ptr<Interface> Current(std::shared_ptr<Interface>& slot)
{
    std::lock_guard guard(slotLock);
    if (!slot) slot = std::make_shared<Headless>();
    return slot;
}

template <typename Interface>
void Install(std::shared_ptr<Interface>& slot, std::shared_ptr<Interface> value)
{
    std::lock_guard guard(slotLock);
    slot = std::move(value);
}
}  // namespace

bool SoftDxHeadlessInput::Keyboard(bool keys[256])
{
    if (!HasKeyboard) return false;
    std::copy(std::begin(FKeys), std::end(FKeys), keys);
    return true;
}

bool SoftDxHeadlessInput::Pointer(SoftDxPointerState& state)
{
    if (!HasPointer) return false;
    state = PointerState;
    return true;
}

bool SoftDxHeadlessJoysticks::State(int index, SoftDxJoystickState& state)
{
    if (index < 0 || static_cast<size_t>(index) >= States.size()) return false;
    state = States[static_cast<size_t>(index)];
    return true;
}

bool SoftDxHeadlessSoundOutput::Open(SoftDxPullFrames pull, uint32_t& rate, int& stream)
{
    std::lock_guard guard(FLock);
    if (!Present) return false;
    stream = FNext++;
    FStreams.emplace_back(stream, std::move(pull));
    rate = FRate;
    return true;
}

void SoftDxHeadlessSoundOutput::Close(int stream)
{
    std::lock_guard guard(FLock);
    std::erase_if(FStreams, [stream](const auto& open) { return open.first == stream; });
}

int SoftDxHeadlessSoundOutput::OpenStreams()
{
    std::lock_guard guard(FLock);
    return static_cast<int>(FStreams.size());
}

std::vector<int16_t> SoftDxHeadlessSoundOutput::Render(size_t count)
{
    std::vector<int32_t> sum(count * 2, 0);
    std::vector<int16_t> frames(count * 2, 0);
    std::lock_guard guard(FLock);
    for (auto& [number, pull] : FStreams) {
        std::fill(frames.begin(), frames.end(), int16_t{0});
        pull(frames.data(), count);
        for (size_t i = 0; i < sum.size(); ++i) sum[i] += frames[i];
    }
    for (size_t i = 0; i < sum.size(); ++i) frames[i] = static_cast<int16_t>(std::clamp(sum[i], -32768, 32767));
    return frames;
}

void SoftDxSetInput(std::shared_ptr<ISoftDxInput> input) { Install(currentInput, std::move(input)); }
std::shared_ptr<ISoftDxInput> SoftDxGetInput() { return Current<ISoftDxInput, SoftDxHeadlessInput>(currentInput); }
void SoftDxSetJoysticks(std::shared_ptr<ISoftDxJoysticks> joysticks)
{
    Install(currentJoysticks, std::move(joysticks));
}
std::shared_ptr<ISoftDxJoysticks> SoftDxGetJoysticks()
{
    return Current<ISoftDxJoysticks, SoftDxHeadlessJoysticks>(currentJoysticks);
}
void SoftDxSetSoundOutput(std::shared_ptr<ISoftDxSoundOutput> output) { Install(currentOutput, std::move(output)); }
std::shared_ptr<ISoftDxSoundOutput> SoftDxGetSoundOutput()
{
    return Current<ISoftDxSoundOutput, SoftDxHeadlessSoundOutput>(currentOutput);
}
