// The keyboard and pointer back end of the software DirectInput on an X server.
// Implements: X11Input (an ISoftDxInput): Open, Keyboard, Pointer, KeyNumber.
// Does not implement: the wheel (X reports it only as button events, never as a state) and
// the fourth button, which stay 0.
#include "platform/x11/X11Input.h"

#include <X11/Xlib.h>

#include "SoftDxDInputKeys.h"

std::shared_ptr<X11Input> X11Input::Open(const char* displayName)
{
    Display* display = XOpenDisplay(displayName);
    if (!display) return nullptr;
    return std::shared_ptr<X11Input>(new X11Input(display));
}

X11Input::~X11Input() { XCloseDisplay(FDisplay); }

uint8_t X11Input::KeyNumber(unsigned keycode)
{
    if (keycode < 8) return 0;
    const unsigned key = keycode - 8;
    // Up to F12 the Linux numbers are the scan codes themselves.
    if (key <= 88) return static_cast<uint8_t>(key);
    switch (key) {
    case 96: return DIK_NUMPADENTER;
    case 97: return DIK_RCONTROL;
    case 98: return DIK_DIVIDE;
    case 99: return DIK_SYSRQ;
    case 100: return DIK_RMENU;
    case 102: return DIK_HOME;
    case 103: return DIK_UP;
    case 104: return DIK_PRIOR;
    case 105: return DIK_LEFT;
    case 106: return DIK_RIGHT;
    case 107: return DIK_END;
    case 108: return DIK_DOWN;
    case 109: return DIK_NEXT;
    case 110: return DIK_INSERT;
    case 111: return DIK_DELETE;
    case 119: return DIK_PAUSE;
    case 125: return DIK_LWIN;
    case 126: return DIK_RWIN;
    case 127: return DIK_APPS;
    default: return 0;
    }
}

bool X11Input::Keyboard(bool keys[256])
{
    char map[32];
    XQueryKeymap(FDisplay, map);
    for (int i = 0; i < 256; ++i) keys[i] = false;
    for (unsigned code = 8; code < 256; ++code)
        if (map[code / 8] & (1 << (code % 8)))
            if (const uint8_t key = KeyNumber(code)) keys[key] = true;
    return true;
}

bool X11Input::Pointer(SoftDxPointerState& state)
{
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    if (!XQueryPointer(FDisplay, DefaultRootWindow(FDisplay), &root, &child, &rootX, &rootY, &x, &y, &mask))
        return false;  // the pointer is on another screen
    state.X = rootX;
    state.Y = rootY;
    state.Wheel = 0;
    // DirectInput's buttons are left, right, middle; X's are left, middle, right.
    state.Buttons[0] = mask & Button1Mask;
    state.Buttons[1] = mask & Button3Mask;
    state.Buttons[2] = mask & Button2Mask;
    state.Buttons[3] = false;
    return true;
}
