// Windows half of the application.
// Implements: FrameworkPlatform.h's MessageQueue (WakeFromSignal included); carrying exceptions from
//   window procedures back to the loop (Win32Framework::KeepException); the dialog keys
// Leaves out: accelerators
// The message queue is the thread's own; window procedures reach the forms and timers
// (Win32Forms.cpp, Win32Timer.cpp). A key for a form that holds controls goes through
// IsDialogMessage (Tab and Shift+Tab move the focus, space presses a button), after the
// application's hook has seen it. Forms without controls, the show's, get their keys as they
// come.
#include <exception>
#include <utility>

#include "framework/Application.h"
#include "framework/win32/Win32Framework.h"

namespace {
std::exception_ptr& Kept()
{
    static std::exception_ptr kept;
    return kept;
}

void ThrowKept()
{
    if (std::exception_ptr kept = std::exchange(Kept(), nullptr)) std::rethrow_exception(kept);
}
}  // namespace

namespace Win32Framework {
void KeepException() { Kept() = std::current_exception(); }
}  // namespace Win32Framework

namespace MessageQueue {
bool Peek(MSG& message) { return Peek(message, true); }

bool Peek(MSG& message, bool remove)
{
    const bool found = PeekMessageA(&message, nullptr, 0, 0, remove ? PM_REMOVE : PM_NOREMOVE) != FALSE;
    ThrowKept();
    return found;
}

void Wait()
{
    // Unlike WaitMessage, this also returns for a message that an earlier Peek has seen but left.
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void Dispatch(const MSG& message)
{
    if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) {
        if (HWND form = Win32Framework::DialogKeysWindow(message.hwnd)) {
            MSG copy = message;
            // IsDialogMessage translates and dispatches whatever it does not take itself.
            const bool taken = IsDialogMessageA(form, &copy) != FALSE;
            ThrowKept();
            if (taken) return;
        }
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    ThrowKept();
}

void PostQuit() { PostQuitMessage(0); }

// Windows raises SIGTERM only through raise(), on the thread that calls it: the loop's own,
// which is then not waiting, so the empty message is simply queued for it.
void WakeFromSignal() { PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0); }

void Post(TWindowHandle window, unsigned int message, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (window)
        PostMessageA(window, message, wParam, lParam);
    else
        PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
}
}  // namespace MessageQueue
