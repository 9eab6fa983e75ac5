// Linux half of timers: a repeating FLTK timeout per enabled timer.
// Implements: FrameworkPlatform.h's TTimer (Impl, constructor, destructor, Update)
// Leaves out: timers on other threads
// Each tick posts WM_TIMER (hwnd null, wParam the timer's id) to the framework's queue, which
// keeps at most one pending per timer, so ticks coalesce as on Windows.
#include <FL/Fl.H>

#include "framework/Application.h"
#include "framework/Timer.h"
#include "framework/TimerRegistry.h"
#include "framework/WinApi.h"

struct TTimer::Impl {
    uintptr_t id = 0;
    double seconds = 0;
    bool running = false;
};

namespace {
void Tick(void* data)
{
    auto* impl = static_cast<TTimer::Impl*>(data);
    // Repeating from when the tick was due keeps the pace whatever the handler costs.
    Fl::repeat_timeout(impl->seconds, Tick, data);
    MessageQueue::Post(nullptr, WM_TIMER, impl->id, 0);
}

void Stop(TTimer::Impl& impl)
{
    if (impl.running) Fl::remove_timeout(Tick, &impl);
    impl.running = false;
}
}  // namespace

TTimer::TTimer(TComponent* owner) : TComponent(owner), FImpl(std::make_unique<Impl>()), FId(RegisterTimer(this))
{
    FImpl->id = FId;
    Update();
}

TTimer::~TTimer()
{
    Stop(*FImpl);
    UnregisterTimer(FId);
}

void TTimer::Update()
{
    Stop(*FImpl);
    if (!FEnabled || FInterval == 0) return;
    FImpl->seconds = FInterval / 1000.0;
    FImpl->running = true;
    Fl::add_timeout(FImpl->seconds, Tick, FImpl.get());
}
