// Linux half of the application.
// Implements: FrameworkPlatform.h's MessageQueue (WakeFromSignal included), GetCursorPos,
//   ActiveWindow; key, pointer, button, wheel and focus translation; the activation messages;
//   the shared display (X11Framework::OpenDisplay); the watch on other connections (X11LoopWatch)
// Leaves out: WM_SYSKEYDOWN (Alt combinations come as WM_KEYDOWN with VK_MENU held), double clicks,
//   input-method composition, WM_CHAR beyond Latin-1
// One message queue of the framework's own, fed by posted messages, FLTK timeouts
// (X11Timer.cpp) and X events, which an FLTK system handler turns into Win32 message records
// for the forms' windows (X11Forms.cpp). Waiting is Fl::wait, which sleeps on the X
// connection, the next timeout and a pipe that signal handlers write to (a self-pipe: a
// handler cannot touch the queue, but a byte in the pipe wakes the wait).
#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Timer.h"
#include "framework/WinApi.h"
#include "framework/x11/X11Framework.h"
#include "framework/x11/X11LoopWatch.h"

namespace {
// One notch of the mouse wheel, as Win32 counts it.
constexpr UINT WheelDelta = 120;

std::deque<MSG>& Queue()
{
    // Never destroyed: objects freed during the program's exit still look here.
    static auto* queue = new std::deque<MSG>;
    return *queue;
}

TPoint lastCursor;  // where the pointer was last seen, in screen coordinates
// The form whose window has the keyboard focus; DirectInput devices read it on any thread.
std::atomic<HWND> focusWindow;
HWND lostFocusWindow;    // a form that lost it in the batch of events being handled
bool applicationActive;  // as last told by WM_ACTIVATEAPP
bool keyDown[256];       // by X key code, for the previous-state bit of key messages

DWORD Now()
{
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

HWND ToHandle(Window window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }

bool SameTarget(const MSG& a, HWND window, UINT message, WPARAM wParam)
{
    return a.hwnd == window && a.message == message && (message != WM_TIMER || a.wParam == wParam);
}

UINT VirtualKeyOf(KeySym plain, KeySym typed)
{
    if (plain >= XK_a && plain <= XK_z) return static_cast<UINT>('A' + (plain - XK_a));
    if (plain >= XK_A && plain <= XK_Z) return static_cast<UINT>(plain);
    if (plain >= XK_0 && plain <= XK_9) return static_cast<UINT>(plain);
    if (plain >= XK_F1 && plain <= XK_F24) return static_cast<UINT>(VK_F1 + (plain - XK_F1));
    // The keypad's keys depend on Num Lock, as on Windows, so they come from the typed symbol.
    if (typed >= XK_KP_0 && typed <= XK_KP_9) return static_cast<UINT>(VK_NUMPAD0 + (typed - XK_KP_0));
    switch (typed) {
    case XK_KP_Multiply: return VK_MULTIPLY;
    case XK_KP_Add: return VK_ADD;
    case XK_KP_Separator: return VK_SEPARATOR;
    case XK_KP_Subtract: return VK_SUBTRACT;
    case XK_KP_Decimal: return VK_DECIMAL;
    case XK_KP_Divide: return VK_DIVIDE;
    case XK_KP_Enter: return VK_RETURN;
    case XK_KP_Left: return VK_LEFT;
    case XK_KP_Up: return VK_UP;
    case XK_KP_Right: return VK_RIGHT;
    case XK_KP_Down: return VK_DOWN;
    case XK_KP_Home: return VK_HOME;
    case XK_KP_End: return VK_END;
    case XK_KP_Prior: return VK_PRIOR;
    case XK_KP_Next: return VK_NEXT;
    case XK_KP_Insert: return VK_INSERT;
    case XK_KP_Delete: return VK_DELETE;
    default: break;
    }
    switch (plain) {
    case XK_BackSpace: return VK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab: return VK_TAB;
    case XK_Return: return VK_RETURN;
    case XK_Escape: return VK_ESCAPE;
    case XK_space: return VK_SPACE;
    case XK_Left: return VK_LEFT;
    case XK_Up: return VK_UP;
    case XK_Right: return VK_RIGHT;
    case XK_Down: return VK_DOWN;
    case XK_Prior: return VK_PRIOR;
    case XK_Next: return VK_NEXT;
    case XK_Home: return VK_HOME;
    case XK_End: return VK_END;
    case XK_Insert: return VK_INSERT;
    case XK_Delete: return VK_DELETE;
    case XK_Pause: return VK_PAUSE;
    case XK_Print: return VK_SNAPSHOT;
    case XK_Caps_Lock: return VK_CAPITAL;
    case XK_Num_Lock: return VK_NUMLOCK;
    case XK_Scroll_Lock: return VK_SCROLL;
    case XK_Shift_L:
    case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R: return VK_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
    case XK_ISO_Level3_Shift: return VK_MENU;
    case XK_Super_L: return VK_LWIN;
    case XK_Super_R: return VK_RWIN;
    case XK_Menu: return VK_APPS;
    // The punctuation keys of a US keyboard, by Win32's OEM codes.
    case XK_semicolon: return 0xBA;
    case XK_equal: return 0xBB;
    case XK_comma: return 0xBC;
    case XK_minus: return 0xBD;
    case XK_period: return 0xBE;
    case XK_slash: return 0xBF;
    case XK_grave: return 0xC0;
    case XK_bracketleft: return 0xDB;
    case XK_backslash: return 0xDC;
    case XK_bracketright: return 0xDD;
    case XK_apostrophe: return 0xDE;
    default: return 0;
    }
}

WPARAM MouseKeys(unsigned state)
{
    WPARAM keys = 0;
    if (state & Button1Mask) keys |= MK_LBUTTON;
    if (state & Button2Mask) keys |= MK_MBUTTON;
    if (state & Button3Mask) keys |= MK_RBUTTON;
    if (state & ShiftMask) keys |= MK_SHIFT;
    if (state & ControlMask) keys |= MK_CONTROL;
    return keys;
}

void TranslateKey(HWND window, XKeyEvent& event)
{
    const bool down = event.type == KeyPress;
    char text[16];
    KeySym typed = NoSymbol;
    const int length = XLookupString(&event, text, sizeof text, &typed, nullptr);
    const UINT key = VirtualKeyOf(XLookupKeysym(&event, 0), typed);
    const unsigned code = event.keycode & 0xFF;
    const bool wasDown = keyDown[code];
    keyDown[code] = down;
    if (key == 0) return;
    // Repeat count 1, the scan code (X key codes are the kernel's plus 8, which are the
    // PC's set-1 codes for the main keys), the previous state and the transition.
    LPARAM flags = 1 | static_cast<LPARAM>((code >= 8 ? code - 8 : 0) & 0xFF) << 16;
    if (wasDown) flags |= LPARAM{1} << 30;
    if (!down) flags |= static_cast<LPARAM>(0x80000000u);
    MessageQueue::Post(window, down ? WM_KEYDOWN : WM_KEYUP, key, flags);
    if (!down) return;
    for (int i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c != 0x7F) MessageQueue::Post(window, WM_CHAR, c, flags);  // Delete types nothing on Windows
    }
}

void TranslateButton(HWND window, const XButtonEvent& event)
{
    const bool down = event.type == ButtonPress;
    WPARAM keys = MouseKeys(event.state);
    UINT message = 0;
    switch (event.button) {
    case Button1:
        message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        keys = down ? keys | MK_LBUTTON : keys & ~WPARAM{MK_LBUTTON};
        break;
    case Button2:
        message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        keys = down ? keys | MK_MBUTTON : keys & ~WPARAM{MK_MBUTTON};
        break;
    case Button3:
        message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        keys = down ? keys | MK_RBUTTON : keys & ~WPARAM{MK_RBUTTON};
        break;
    case Button4:
    case Button5:
        // The wheel's clicks come as presses of buttons 4 (away) and 5 (towards the user).
        if (!down) return;
        MessageQueue::Post(
            window, WM_MOUSEWHEEL,
            keys | static_cast<WPARAM>(static_cast<WORD>(event.button == Button4 ? WheelDelta : -WheelDelta)) << 16,
            MAKELPARAM(event.x_root, event.y_root));
        return;
    default: return;
    }
    MessageQueue::Post(window, message, keys, MAKELPARAM(event.x, event.y));
}

void GainFocus(HWND window)
{
    const HWND previous = focusWindow;
    focusWindow = window;
    if (lostFocusWindow == window) lostFocusWindow = nullptr;
    if (!applicationActive) {
        applicationActive = true;
        MessageQueue::Post(window, WM_ACTIVATEAPP, TRUE, 0);
    }
    MessageQueue::Post(window, WM_NCACTIVATE, TRUE, 0);
    MessageQueue::Post(window, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
}

void LoseFocus(HWND window)
{
    if (focusWindow == window) focusWindow = nullptr;
    lostFocusWindow = window;
    MessageQueue::Post(window, WM_NCACTIVATE, FALSE, 0);
    MessageQueue::Post(window, WM_ACTIVATE, WA_INACTIVE, 0);
}

// Once a batch of events is handled: the focus leaving one form for another is no change
// for the application, leaving them all is.
void SettleActivation()
{
    // A form freed while it had the focus hears no FocusOut: its window is gone.
    if (focusWindow && !TForm::FindForm(focusWindow)) {
        lostFocusWindow = focusWindow;
        focusWindow = nullptr;
    }
    if (!lostFocusWindow) return;
    const HWND lost = lostFocusWindow;
    lostFocusWindow = nullptr;
    if (focusWindow || !applicationActive) return;
    applicationActive = false;
    MessageQueue::Post(lost, WM_ACTIVATEAPP, FALSE, 0);
}

// Sees every X event before FLTK does and queues what the forms' windows are told; FLTK
// goes on with its own handling (drawing, window-manager protocol) in every case.
int TranslateEvent(void* nativeEvent, void*)
{
    auto& event = *static_cast<XEvent*>(nativeEvent);
    const HWND window = ToHandle(event.xany.window);
    if (!TForm::FindForm(window)) return 0;
    switch (event.type) {
    case KeyPress:
    case KeyRelease: TranslateKey(window, event.xkey); break;
    case ButtonPress:
    case ButtonRelease:
        lastCursor = {event.xbutton.x_root, event.xbutton.y_root};
        TranslateButton(window, event.xbutton);
        break;
    case MotionNotify:
        lastCursor = {event.xmotion.x_root, event.xmotion.y_root};
        MessageQueue::Post(window, WM_MOUSEMOVE, MouseKeys(event.xmotion.state),
                           MAKELPARAM(event.xmotion.x, event.xmotion.y));
        break;
    case EnterNotify:
        // Windows reports the pointer coming in as a move, and so do we.
        lastCursor = {event.xcrossing.x_root, event.xcrossing.y_root};
        MessageQueue::Post(window, WM_MOUSEMOVE, MouseKeys(event.xcrossing.state),
                           MAKELPARAM(event.xcrossing.x, event.xcrossing.y));
        break;
    case FocusIn:
    case FocusOut:
        // Focus that only follows the pointer, moves inside the window or comes with a
        // keyboard grab is not the window becoming active.
        if (event.xfocus.detail == NotifyInferior || event.xfocus.detail == NotifyPointer ||
            event.xfocus.mode == NotifyGrab || event.xfocus.mode == NotifyUngrab)
            break;
        if (event.type == FocusIn)
            GainFocus(window);
        else
            LoseFocus(window);
        break;
    default: break;
    }
    return 0;
}

// The self-pipe's writing end, for signal handlers; -1 until the display is opened.
volatile int wakeWrite = -1;

void WakeReadable(int fd, void*)
{
    char drained[64];
    while (read(fd, drained, sizeof drained) > 0) {
    }
    MessageQueue::Post(nullptr, WM_NULL, 0, 0);
}

void OpenWakePipe()
{
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return;
    wakeWrite = ends[1];
    Fl::add_fd(ends[0], FL_READ, WakeReadable, nullptr);
}

// The connections the loop drains for other parts of the program, and the changes to that
// list that the loop's thread has yet to give FLTK (true: watch, false: no more).
std::mutex watchLock;
std::map<int, std::function<void()>> watched;
std::map<int, bool> watchChanges;
std::atomic<std::thread::id> loopThread;

void WatchedReadable(int fd, void*)
{
    std::function<void()> drain;
    {
        std::lock_guard guard(watchLock);
        if (const auto found = watched.find(fd); found != watched.end()) drain = found->second;
    }
    // Outside the lock: the drain takes its owner's, whose holder may be watching another.
    if (drain)
        drain();
    else
        Fl::remove_fd(fd);  // unwatched since the loop last looked: never select on it again
}

void GiveFltk(int fd, bool watch)
{
    if (watch)
        Fl::add_fd(fd, FL_READ, WatchedReadable, nullptr);
    else
        Fl::remove_fd(fd);
}

// FLTK's list of descriptors belongs to the loop's thread, so only it changes that list.
void TakeWatchChanges()
{
    loopThread = std::this_thread::get_id();
    std::map<int, bool> changes;
    {
        std::lock_guard guard(watchLock);
        changes.swap(watchChanges);
    }
    for (const auto& [fd, watch] : changes) GiveFltk(fd, watch);
}

void ChangeWatch(int fd, bool watch)
{
    // On the loop's own thread at once, so that a descriptor about to be closed is never in
    // the next wait's list.
    if (loopThread.load() == std::this_thread::get_id()) {
        {
            std::lock_guard guard(watchLock);
            watchChanges.erase(fd);
        }
        GiveFltk(fd, watch);
        return;
    }
    {
        std::lock_guard guard(watchLock);
        watchChanges[fd] = watch;
    }
    // A loop waiting on another thread must take the change now, not at its next event.
    MessageQueue::WakeFromSignal();
}

// Lets FLTK handle what has arrived (X events, due timeouts, watched connections) without waiting.
void Pump()
{
    TakeWatchChanges();
    Fl::wait(0.0);
    SettleActivation();
}
}  // namespace

namespace X11LoopWatch {
void Watch(int descriptor, std::function<void()> drain)
{
    {
        std::lock_guard guard(watchLock);
        watched[descriptor] = std::move(drain);
    }
    ChangeWatch(descriptor, true);
}

void Unwatch(int descriptor)
{
    {
        std::lock_guard guard(watchLock);
        watched.erase(descriptor);
    }
    ChangeWatch(descriptor, false);
}
}  // namespace X11LoopWatch

namespace X11Framework {
Display* OpenDisplay()
{
    static bool tried = false;
    if (fl_display || tried) return fl_display;
    tried = true;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    fl_open_display(display);
    // Held keys then repeat as presses alone, as Windows repeats WM_KEYDOWN.
    XkbSetDetectableAutoRepeat(display, True, nullptr);
    Fl::add_system_handler(TranslateEvent, nullptr);
    OpenWakePipe();
    return display;
}
}  // namespace X11Framework

namespace MessageQueue {
bool Peek(MSG& message) { return Peek(message, true); }

bool Peek(MSG& message, bool remove)
{
    Pump();
    if (Queue().empty()) return false;
    message = Queue().front();
    if (remove) Queue().pop_front();
    return true;
}

void Wait()
{
    Pump();
    // Fl::wait returns after each batch of events or timeouts, which may have queued nothing.
    while (Queue().empty()) {
        TakeWatchChanges();
        Fl::wait(1e20);
        SettleActivation();
    }
}

void Dispatch(const MSG& message)
{
    if (message.message == WM_TIMER && !message.hwnd) {
        if (TTimer* timer = TTimer::FindTimer(message.wParam); timer && timer->Enabled()) timer->OnTimer(timer);
        return;
    }
    if (TForm* form = TForm::FindForm(message.hwnd))
        form->Dispatch(message);
    else if (message.message == WM_ACTIVATEAPP)
        Application->SetActive(message.wParam != 0);  // the form that lost the focus is gone
}

void PostQuit() { Post(nullptr, WM_QUIT, 0, 0); }

void WakeFromSignal()
{
    // Only what a signal handler may do: one write to a non-blocking pipe, errno kept. A
    // full pipe is already a pending wake.
    const int fd = wakeWrite;
    if (fd < 0) return;
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
    errno = saved;
}

void Post(TWindowHandle window, unsigned int message, std::uintptr_t wParam, std::intptr_t lParam)
{
    auto& queue = Queue();
    // As on Windows, a timer or paint already waiting stands for the new one, so a slow
    // handler never builds a backlog; pointer moves in a row keep only the latest place.
    if (message == WM_TIMER || message == WM_PAINT) {
        for (const MSG& pending : queue)
            if (SameTarget(pending, window, message, wParam)) return;
    }
    if (message == WM_MOUSEMOVE && !queue.empty() && SameTarget(queue.back(), window, message, wParam)) {
        queue.back().wParam = wParam;
        queue.back().lParam = lParam;
        queue.back().time = Now();
        queue.back().pt = {lastCursor.X, lastCursor.Y};
        return;
    }
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = Now();
    msg.pt = {lastCursor.X, lastCursor.Y};
    queue.push_back(msg);
}
}  // namespace MessageQueue

TWindowHandle ActiveWindow() { return focusWindow.load(); }

TPoint GetCursorPos()
{
    Display* display = X11Framework::OpenDisplay();
    if (!display) return lastCursor;
    Window root, child;
    int rootX, rootY, x, y;
    unsigned state;
    if (XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &state))
        lastCursor = {rootX, rootY};
    return lastCursor;
}
