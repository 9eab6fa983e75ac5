// Linux half of timers: a repeating FLTK timeout per enabled timer.
// Implements: FrameworkPlatform.h's TTimer (Impl, constructor, destructor, Update, FindTimer)
// Leaves out: timers on other threads
// Each tick posts WM_TIMER (hwnd null, wParam the timer's id) to the framework's queue, which
// keeps at most one pending per timer, so ticks coalesce as on Windows.
#include <FL/Fl.H>

#include <map>

#include "framework/Application.h"
#include "framework/Timer.h"
#include "framework/WinApi.h"

struct TTimer::Impl {
    uintptr_t id = 0;
    double seconds = 0;
    bool running = false;
};

namespace {
std::map<uintptr_t, TTimer*>& Timers()
{
    // Never destroyed: objects freed during the program's exit still look here.
    static auto* timers = new std::map<uintptr_t, TTimer*>;
    return *timers;
}
uintptr_t nextId = 1;

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

TTimer::TTimer(TComponent* owner) : TComponent(owner), FImpl(std::make_unique<Impl>()), FId(nextId++)
{
    FImpl->id = FId;
    Timers()[FId] = this;
    Update();
}

TTimer::~TTimer()
{
    Stop(*FImpl);
    Timers().erase(FId);
}

TTimer* TTimer::FindTimer(uintptr_t id)
{
    const auto found = Timers().find(id);
    return found == Timers().end() ? nullptr : found->second;
}

void TTimer::Update()
{
    Stop(*FImpl);
    if (!FEnabled || FInterval == 0) return;
    FImpl->seconds = FInterval / 1000.0;
    FImpl->running = true;
    Fl::add_timeout(FImpl->seconds, Tick, FImpl.get());
}
