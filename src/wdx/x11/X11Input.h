#pragma once
// Linux helper of the DirectX binding, private to it and its tests: X11Input.
// Implements: nothing of the contract; X11Input (X11Input.cpp)
// Leaves out: nothing
// The software DirectInput's keyboard and pointer on an X server: the state of every key and
// of the pointer, asked of the server on a connection of the back end's own, and the wheel,
// which X reports only as button presses, counted from the server's raw events.
#include <cstdint>
#include <memory>
#include <mutex>

#include "SoftDxDevices.h"

typedef struct _XDisplay Display;

class X11Input : public ISoftDxInput {
public:
    // Null when the display (null: $DISPLAY) cannot be opened.
    static std::shared_ptr<X11Input> Open(const char* displayName = nullptr);
    ~X11Input() override;
    X11Input(const X11Input&) = delete;
    X11Input& operator=(const X11Input&) = delete;

    bool Keyboard(bool keys[256]) override;
    bool Pointer(SoftDxPointerState& state) override;

    // The DirectInput key number (scan code) of an X key code, 0 for none. X servers number
    // their keys as the Linux input layer does, plus 8.
    static uint8_t KeyNumber(unsigned keycode);
    // The DirectInput button (0 left, 1 right, 2 middle, 3 back, 4 forward, 5 to 7 the next
    // ones) of an X button; -1 for the wheel's buttons 4 to 7 and for buttons past 12.
    static int ButtonNumber(unsigned button);
    // Whether the server offers the input extension's raw events, without which the wheel
    // stays still and only the first three buttons are seen.
    bool HasWheel() const { return FOpcode != 0; }

private:
    explicit X11Input(Display* display);
    // Counts the wheel's presses among the raw events that have arrived.
    void TakeEvents();
    Display* FDisplay;
    std::mutex FLock;  // one connection, whichever thread reads a device
    int FOpcode = 0;   // the input extension's major opcode, 0 without it
    int FPointerDevice = 0;
    int32_t FWheel = 0;
};
