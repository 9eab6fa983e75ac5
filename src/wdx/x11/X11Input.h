#pragma once
// Linux helper of the DirectX binding, private to it and its tests: X11Input.
// Implements: nothing of the contract; X11Input (X11Input.cpp)
// Leaves out: nothing
// The software DirectInput's keyboard and pointer on an X server: the state of every key and
// of the pointer, asked of the server on a connection of the back end's own, and the wheel,
// which X reports only as button presses, counted from the server's raw events. The
// connection is made at the first keyboard or mouse device, and the raw events come only
// while a mouse is acquired; the message loop drains them as they arrive, and so does every
// read, so none piles up whatever the program reads.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "SoftDxDevices.h"

typedef struct _XDisplay Display;

class X11Input : public ISoftDxInput, public std::enable_shared_from_this<X11Input> {
public:
    // Connects to nothing yet; the display (null: $DISPLAY) is opened at the first device.
    static std::shared_ptr<X11Input> Make(const char* displayName = nullptr);
    ~X11Input() override;
    X11Input(const X11Input&) = delete;
    X11Input& operator=(const X11Input&) = delete;

    void Open() override;
    bool Keyboard(bool keys[256]) override;
    bool Pointer(SoftDxPointerState& state) override;
    void PointerAcquired(bool acquired) override;
    // The framework's active window: the form that has the keyboard focus.
    bool WindowActive(HWND window) override;

    // The DirectInput key number (scan code) of an X key code, 0 for none. X servers number
    // their keys as the Linux input layer does, plus 8.
    static uint8_t KeyNumber(unsigned keycode);
    // The DirectInput button (0 left, 1 right, 2 middle, 3 back, 4 forward, 5 to 7 the next
    // ones) of an X button; -1 for the wheel's buttons 4 to 7 and for buttons past 12.
    static int ButtonNumber(unsigned button);
    // Whether the server offers the input extension's raw events, without which the wheel
    // stays still and only the first three buttons are seen. Connects when not yet connected.
    bool HasWheel();
    // For tests: whether the connection is open, and how many events it holds once a round
    // trip has brought in all that the server sent before it.
    bool Connected();
    size_t QueuedEvents();

private:
    explicit X11Input(std::string displayName, bool named);
    // The connection, opened at the first call; null when the display cannot be opened.
    // These four are called with FLock held.
    Display* Connection();
    void SelectRawButtons(bool listen);
    // Counts the wheel's presses among the raw events that have arrived, and drops the rest.
    void TakeEvents();
    // What the message loop calls when the connection has data.
    void Drain();
    std::string FDisplayName;
    bool FNamed;
    std::mutex FLock;  // one connection, whichever thread reads a device
    Display* FDisplay = nullptr;
    bool FTried = false;
    int FOpcode = 0;  // the input extension's major opcode, 0 without it
    int FPointerDevice = 0;
    int FAcquiredPointers = 0;
    int32_t FWheel = 0;
};
