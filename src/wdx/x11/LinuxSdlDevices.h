#pragma once
// Linux helper of the DirectX binding, private to it and its tests: SDL's joysticks and sound.
// Implements: nothing of the contract; SdlJoysticks, SdlSoundOutput (LinuxSdlDevices.cpp)
// Leaves out: nothing
// Joysticks as the Linux input layer offers them, and a stream of the machine's sound server
// for each DirectSound object that plays. SDL is started for each only when first needed.
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "SoftDxDevices.h"

class SdlJoysticks : public ISoftDxJoysticks {
public:
    SdlJoysticks();
    ~SdlJoysticks() override;
    std::vector<SoftDxJoystickInfo> List() override;
    bool State(int index, SoftDxJoystickState& state) override;

private:
    // A stick's place in the list, kept for good: its SDL instance id, and its handle while
    // it is attached (null once gone).
    struct Slot {
        int32_t Id;
        void* Stick;  // SDL_Joystick*
        SoftDxJoystickInfo Info;
    };
    bool FReady = false;
    std::vector<Slot> FSlots;
};

class SdlSoundOutput : public ISoftDxSoundOutput {
public:
    ~SdlSoundOutput() override;
    bool Available() override;
    bool Open(SoftDxPullFrames pull, uint32_t& rate, int& stream) override;
    void Close(int stream) override;

private:
    bool Init();
    std::mutex FLock;
    bool FInitialised = false, FInitFailed = false;
    std::vector<std::pair<int, std::unique_ptr<SoftDxPullFrames>>> FStreams;
};
