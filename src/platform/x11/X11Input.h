#pragma once
// The software DirectInput's keyboard and pointer on an X server: the state of every key
// and of the pointer, asked of the server on a connection of the back end's own.
#include <cstdint>
#include <memory>

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

private:
    explicit X11Input(Display* display) : FDisplay(display) {}
    Display* FDisplay;
};
