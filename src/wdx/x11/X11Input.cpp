// Linux helper of the DirectX binding: the software DirectInput's keyboard and pointer on an X server.
// Implements: nothing of the contract; X11Input (an ISoftDxInput): Make, Open, Keyboard, Pointer,
//   PointerAcquired, WindowActive, KeyNumber, ButtonNumber; the wheel and the buttons past the third
//   through the input extension (XInput2)
// Leaves out: the horizontal wheel (buttons 6 and 7), which DirectInput's mouse has no axis for
#include "wdx/x11/X11Input.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <algorithm>
#include <utility>

#include "SoftDxDInputKeys.h"
#include "framework/Forms.h"
#include "framework/x11/X11LoopWatch.h"

namespace {
constexpr int32_t Notch = 120;  // the wheel's units per notch, as DirectInput counts them
}  // namespace

std::shared_ptr<X11Input> X11Input::Make(const char* displayName)
{
    return std::shared_ptr<X11Input>(new X11Input(displayName ? displayName : "", displayName != nullptr));
}

X11Input::X11Input(std::string displayName, bool named) : FDisplayName(std::move(displayName)), FNamed(named) {}

X11Input::~X11Input()
{
    if (!FDisplay) return;
    X11LoopWatch::Unwatch(ConnectionNumber(FDisplay));
    XCloseDisplay(FDisplay);
}

Display* X11Input::Connection()
{
    if (FTried) return FDisplay;
    FTried = true;
    FDisplay = XOpenDisplay(FNamed ? FDisplayName.c_str() : nullptr);
    if (!FDisplay) return nullptr;
    // The loop reads what arrives while nobody reads a device, for as long as the back end lives.
    X11LoopWatch::Watch(ConnectionNumber(FDisplay), [weak = weak_from_this()] {
        if (const std::shared_ptr<X11Input> input = weak.lock()) input->Drain();
    });
    int event = 0, error = 0, major = 2, minor = 2;
    // 2.1 and later deliver raw events even while another client grabs the pointer.
    if (!XQueryExtension(FDisplay, "XInputExtension", &FOpcode, &event, &error) ||
        XIQueryVersion(FDisplay, &major, &minor) != Success || major < 2) {
        FOpcode = 0;
        return FDisplay;
    }
    // The first master pointer: the one every mouse moves unless a program pairs others.
    int count = 0;
    if (XIDeviceInfo* devices = XIQueryDevice(FDisplay, XIAllMasterDevices, &count)) {
        for (int i = 0; i < count && !FPointerDevice; ++i)
            if (devices[i].use == XIMasterPointer) FPointerDevice = devices[i].deviceid;
        XIFreeDeviceInfo(devices);
    }
    if (!FPointerDevice) FOpcode = 0;
    return FDisplay;
}

void X11Input::SelectRawButtons(bool listen)
{
    // Raw events go to every client that asks for them on the root window, beside the usual
    // delivery, so the program's own windows still get their clicks and wheel. An empty mask
    // takes the request back.
    unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
    if (listen) XISetMask(mask, XI_RawButtonPress);
    XIEventMask events{XIAllMasterDevices, static_cast<int>(sizeof mask), mask};
    XISelectEvents(FDisplay, DefaultRootWindow(FDisplay), &events, 1);
    if (listen) {
        XFlush(FDisplay);
        return;
    }
    // Those already sent still count: they were pressed while a mouse was acquired.
    XSync(FDisplay, False);
    TakeEvents();
}

void X11Input::Open()
{
    std::lock_guard guard(FLock);
    Connection();
}

bool X11Input::HasWheel()
{
    std::lock_guard guard(FLock);
    return Connection() && FOpcode != 0;
}

bool X11Input::Connected()
{
    std::lock_guard guard(FLock);
    return FDisplay != nullptr;
}

size_t X11Input::QueuedEvents()
{
    std::lock_guard guard(FLock);
    if (!FDisplay) return 0;
    XSync(FDisplay, False);
    return static_cast<size_t>(XEventsQueued(FDisplay, QueuedAlready));
}

void X11Input::PointerAcquired(bool acquired)
{
    std::lock_guard guard(FLock);
    const int before = FAcquiredPointers;
    FAcquiredPointers = acquired ? before + 1 : std::max(before - 1, 0);
    if (!Connection() || !FOpcode) return;
    if (before == 0 && FAcquiredPointers == 1) SelectRawButtons(true);
    if (before == 1 && FAcquiredPointers == 0) SelectRawButtons(false);
}

bool X11Input::WindowActive(HWND window) { return window && ActiveWindow() == window; }

void X11Input::Drain()
{
    std::lock_guard guard(FLock);
    if (FDisplay) TakeEvents();
}

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

int X11Input::ButtonNumber(unsigned button)
{
    // X numbers left, middle, right; DirectInput left, right, middle. Buttons 4 to 7 are the
    // wheels' notches, and X's 8 and 9 are the back and forward buttons.
    switch (button) {
    case 1: return 0;
    case 2: return 2;
    case 3: return 1;
    default: break;
    }
    if (button >= 8 && button <= 12) return static_cast<int>(button) - 5;
    return -1;
}

bool X11Input::Keyboard(bool keys[256])
{
    std::lock_guard guard(FLock);
    if (!Connection()) return false;
    char map[32];
    XQueryKeymap(FDisplay, map);
    // The reply may have brought raw events in with it.
    TakeEvents();
    for (int i = 0; i < 256; ++i) keys[i] = false;
    for (unsigned code = 8; code < 256; ++code)
        if (map[code / 8] & (1 << (code % 8)))
            if (const uint8_t key = KeyNumber(code)) keys[key] = true;
    return true;
}

void X11Input::TakeEvents()
{
    while (XPending(FDisplay)) {
        XEvent event;
        XNextEvent(FDisplay, &event);
        XGenericEventCookie& cookie = event.xcookie;
        if (cookie.type != GenericEvent || cookie.extension != FOpcode || !XGetEventData(FDisplay, &cookie)) continue;
        if (cookie.evtype == XI_RawButtonPress) {
            // Up is away from the user: DirectInput's positive turn.
            const int button = static_cast<const XIRawEvent*>(cookie.data)->detail;
            if (button == 4) FWheel += Notch;
            if (button == 5) FWheel -= Notch;
        }
        XFreeEventData(FDisplay, &cookie);
    }
}

bool X11Input::Pointer(SoftDxPointerState& state)
{
    std::lock_guard guard(FLock);
    if (!Connection()) return false;
    Window root = 0, child = 0;
    state = SoftDxPointerState{};
    auto press = [&](unsigned button) {
        if (const int number = ButtonNumber(button); number >= 0) state.Buttons[number] = true;
    };
    if (FOpcode) {
        double rootX = 0, rootY = 0, x = 0, y = 0;
        XIButtonState buttons{};
        XIModifierState modifiers{};
        XIGroupState group{};
        const bool same = XIQueryPointer(FDisplay, FPointerDevice, DefaultRootWindow(FDisplay), &root, &child, &rootX,
                                         &rootY, &x, &y, &buttons, &modifiers, &group);
        const int bits = buttons.mask_len * 8;
        for (int button = 1; button < bits; ++button)
            if (XIMaskIsSet(buttons.mask, button)) press(static_cast<unsigned>(button));
        XFree(buttons.mask);
        // The reply came after every event sent before it, so the wheel is counted up to now.
        TakeEvents();
        if (!same) return false;  // the pointer is on another screen
        state.X = static_cast<int32_t>(rootX);
        state.Y = static_cast<int32_t>(rootY);
        state.Wheel = FWheel;
        return true;
    }
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    if (!XQueryPointer(FDisplay, DefaultRootWindow(FDisplay), &root, &child, &rootX, &rootY, &x, &y, &mask))
        return false;
    state.X = rootX;
    state.Y = rootY;
    const unsigned masks[3] = {Button1Mask, Button2Mask, Button3Mask};
    for (unsigned button = 1; button <= 3; ++button)
        if (mask & masks[button - 1]) press(button);
    return true;
}
