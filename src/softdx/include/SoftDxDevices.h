#pragma once
// The software DirectX's input and sound back ends: where DirectInput reads the keyboard,
// the pointer and the joysticks, and where DirectSound sends its mix. The software DirectX
// knows no device of its own; the program installs real ones (the X server's keyboard and
// pointer, SDL's joysticks and sound output), and tests install the headless ones below.
// Nothing of DirectX's own.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "SoftDxTypes.h"

// The pointer as the screen sees it: its position in screen pixels, the wheel's notches
// counted while some mouse device was acquired (120 a notch, away from the user positive) and the
// buttons, left, right, middle, then back, forward and three more, each true while held.
struct SoftDxPointerState {
    int32_t X = 0, Y = 0;
    int32_t Wheel = 0;
    bool Buttons[8] = {};
};

class ISoftDxInput {
public:
    virtual ~ISoftDxInput() = default;
    // Called as each keyboard or mouse device is made: a back end that speaks to a server
    // connects at the first, so that a program that makes none holds no connection.
    virtual void Open() = 0;
    // keys[n] true while the key of DirectInput number n (its scan code) is held; false
    // when there is no keyboard to ask.
    virtual bool Keyboard(bool keys[256]) = 0;
    // False when there is no pointer to ask.
    virtual bool Pointer(SoftDxPointerState& state) = 0;
    // Called as a mouse device is acquired (true) and let go (false), however it is let go: a
    // back end that counts the wheel from the server's events listens only while at least
    // one mouse is acquired.
    virtual void PointerAcquired(bool acquired) = 0;
    // Whether window is the program's active window, the one with the keyboard focus: a
    // foreground device reads only while its window is.
    virtual bool WindowActive(HWND window) = 0;
};

// One joystick's controls: axes X, Y, Z, Rx, Ry, Rz and two sliders from -32768 to 32767,
// hats in hundredths of a degree clockwise from north (-1 centred), buttons held.
struct SoftDxJoystickState {
    int32_t Axes[8] = {};
    int32_t Hats[4] = {-1, -1, -1, -1};
    bool Buttons[32] = {};
};
struct SoftDxJoystickInfo {
    std::string Name;
    int Axes = 0, Hats = 0, Buttons = 0;  // how many of each the stick has (at most 8, 4, 32)
    bool Attached = true;                 // false for a stick gone since it was listed
};

class ISoftDxJoysticks {
public:
    virtual ~ISoftDxJoysticks() = default;
    // Every stick ever listed keeps its place, so that a device made for one never reads
    // another after a stick before it is unplugged; gone ones stay, not attached.
    virtual std::vector<SoftDxJoystickInfo> List() = 0;
    // False when the stick of that place in the list is gone.
    virtual bool State(int index, SoftDxJoystickState& state) = 0;
};

// The sound output: interleaved stereo 16-bit frames at its own rate, pulled by the output
// (on a thread of its own for a real device) through the function given to Open. A
// DirectSound object asks Available when it is made and opens its stream only when its
// first buffer plays, so a program that never plays holds no stream of the sound server.
using SoftDxPullFrames = std::function<void(int16_t* frames, size_t count)>;
class ISoftDxSoundOutput {
public:
    virtual ~ISoftDxSoundOutput() = default;
    // False when there is no device to play on.
    virtual bool Available() = 0;
    // False when the device refuses; else the stream's number and its frame rate.
    virtual bool Open(SoftDxPullFrames pull, uint32_t& rate, int& stream) = 0;
    // After Close returns, the stream's pull is never called again.
    virtual void Close(int stream) = 0;
};

// Keys, pointer and active window set by the test; a keyboard and a pointer unless told
// there are none, and every window active unless one is named. It counts what it is told.
class SoftDxHeadlessInput : public ISoftDxInput {
public:
    void Open() override { ++Opens; }
    bool Keyboard(bool keys[256]) override;
    bool Pointer(SoftDxPointerState& state) override;
    void PointerAcquired(bool acquired) override { AcquiredPointers += acquired ? 1 : -1; }
    bool WindowActive(HWND window) override { return !ActiveWindow || *ActiveWindow == window; }
    void SetKey(int key, bool down) { FKeys[key & 255] = down; }
    SoftDxPointerState PointerState;
    bool HasKeyboard = true, HasPointer = true;
    std::optional<HWND> ActiveWindow;  // unset: every window is active
    int Opens = 0, AcquiredPointers = 0;

private:
    bool FKeys[256] = {};
};

// Sticks set by the test: none unless added.
class SoftDxHeadlessJoysticks : public ISoftDxJoysticks {
public:
    std::vector<SoftDxJoystickInfo> List() override { return Info; }
    bool State(int index, SoftDxJoystickState& state) override;
    std::vector<SoftDxJoystickInfo> Info;
    std::vector<SoftDxJoystickState> States;
};

// An output that plays nowhere: the test pulls the mix of every open stream itself with
// Render. Not available while Present is false, as on a machine without a sound device.
class SoftDxHeadlessSoundOutput : public ISoftDxSoundOutput {
public:
    explicit SoftDxHeadlessSoundOutput(uint32_t rate = 44100) : FRate(rate) {}
    bool Available() override { return Present; }
    bool Open(SoftDxPullFrames pull, uint32_t& rate, int& stream) override;
    void Close(int stream) override;
    // The next count frames of the mix, interleaved left, right; silence with no stream.
    std::vector<int16_t> Render(size_t count);
    int OpenStreams();
    bool Present = true;

private:
    std::mutex FLock;
    uint32_t FRate;
    int FNext = 0;
    std::vector<std::pair<int, SoftDxPullFrames>> FStreams;
};

// Null puts back the headless default. DirectInput and DirectSound objects take the back
// end current when they are created and keep it for their lifetime.
void SoftDxSetInput(std::shared_ptr<ISoftDxInput> input);
std::shared_ptr<ISoftDxInput> SoftDxGetInput();
void SoftDxSetJoysticks(std::shared_ptr<ISoftDxJoysticks> joysticks);
std::shared_ptr<ISoftDxJoysticks> SoftDxGetJoysticks();
void SoftDxSetSoundOutput(std::shared_ptr<ISoftDxSoundOutput> output);
std::shared_ptr<ISoftDxSoundOutput> SoftDxGetSoundOutput();
