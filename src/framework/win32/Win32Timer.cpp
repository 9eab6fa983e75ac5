// Windows half of timers: SetTimer on a hidden message-only window.
// Implements: FrameworkPlatform.h's TTimer (Impl, constructor, destructor, Update)
// Leaves out: multimedia timers, timers on other threads
// Windows itself coalesces WM_TIMER, so a slow handler never builds a backlog. Intervals below
// the system's minimum (10 ms) are raised to it by Windows.
#include "framework/Timer.h"
#include "framework/TimerRegistry.h"
#include "framework/WinApi.h"
#include "framework/win32/Win32Framework.h"

struct TTimer::Impl {
    bool running = false;
};

namespace {
LRESULT CALLBACK TimerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER) {
        try {
            if (TTimer* timer = TTimer::FindTimer(wParam); timer && timer->Enabled()) timer->OnTimer(timer);
        } catch (...) {
            Win32Framework::KeepException();
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND TimerWindow()
{
    static HWND window = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = TimerWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VellumineTimers";
        RegisterClassA(&windowClass);
        return CreateWindowExA(0, "VellumineTimers", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }();
    return window;
}
}  // namespace

TTimer::TTimer(TComponent* owner) : TComponent(owner), FImpl(std::make_unique<Impl>()), FId(RegisterTimer(this))
{
    Update();
}

TTimer::~TTimer()
{
    if (FImpl->running) KillTimer(TimerWindow(), FId);
    UnregisterTimer(FId);
}

void TTimer::Update()
{
    if (FImpl->running) KillTimer(TimerWindow(), FId);
    FImpl->running = FEnabled && FInterval > 0;
    if (FImpl->running) SetTimer(TimerWindow(), FId, FInterval, nullptr);
}
