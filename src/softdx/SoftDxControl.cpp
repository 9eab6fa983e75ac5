// The software DirectX's controls: the current presenter (headless unless one is set), the
// refresh clock Flip waits by, and the table of injected failures.
// Implements: SoftDxSetPresenter, SoftDxGetPresenter, SoftDxFitKeepingProportions,
// SoftDxHeadlessPresenter's Present, Repeat, Placement and AllocateFrame,
// SoftDxSetClock, SoftDxNextRefresh, SoftDxFailNext, SoftDxFailAlways, SoftDxClearFaults, and
// for the other files softdx::InjectedFault, Now and SleepUntil.
// Not here: a presenter on a real screen, which the program installs.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "SoftDxInternal.h"

namespace {

std::mutex controlLock;
std::shared_ptr<ISoftDxPresenter> currentPresenter;
std::shared_ptr<ISoftDxClock> currentClock;

struct Fault {
    HRESULT Code = DD_OK;
    int Remaining = 0;  // negative: always
};
std::map<std::string, Fault, std::less<>> faults;
// Lets every method skip the lock while no test has asked for failures.
std::atomic<bool> anyFaults{false};

class SteadyClock final : public ISoftDxClock {
public:
    uint64_t NowNanoseconds() override
    {
        auto since = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
    }
    void SleepUntil(uint64_t nanoseconds) override
    {
        std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(nanoseconds)));
    }
};

std::shared_ptr<ISoftDxClock> Clock()
{
    std::lock_guard guard(controlLock);
    if (!currentClock) currentClock = std::make_shared<SteadyClock>();
    return currentClock;
}

}  // namespace

bool SoftDxHeadlessPresenter::Present(HWND window, const uint32_t* pixels, uint32_t width, uint32_t height,
                                      size_t pitchBytes)
{
    FLastWindow = window;
    FLastSize = {width, height};
    FLastFrame.resize(size_t{width} * height);
    for (uint32_t y = 0; y < height; ++y) {
        auto row = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(pixels) + y * pitchBytes);
        std::copy_n(row, width, FLastFrame.data() + size_t{y} * width);
    }
    ++FPresentCount;
    return true;
}

bool SoftDxHeadlessPresenter::Repeat(HWND window)
{
    if (!FPresentCount || window != FLastWindow) return false;
    ++FPresentCount;
    ++FRepeatCount;
    return true;
}

SoftDxPlacement SoftDxFitKeepingProportions(SoftDxSize frame, SoftDxSize window)
{
    SoftDxPlacement placed{window, {}};
    if (!frame.Width || !frame.Height || !window.Width || !window.Height) return placed;
    uint32_t width, height;
    if (uint64_t{frame.Width} * window.Height <= uint64_t{window.Width} * frame.Height) {
        height = window.Height;
        width = uint32_t((uint64_t{frame.Width} * window.Height + frame.Height / 2) / frame.Height);
    } else {
        width = window.Width;
        height = uint32_t((uint64_t{frame.Height} * window.Width + frame.Width / 2) / frame.Width);
    }
    width = std::clamp<uint32_t>(width, 1, window.Width);
    height = std::clamp<uint32_t>(height, 1, window.Height);
    const LONG x = LONG((window.Width - width) / 2), y = LONG((window.Height - height) / 2);
    placed.Frame = {x, y, x + LONG(width), y + LONG(height)};
    return placed;
}

std::optional<SoftDxPlacement> SoftDxHeadlessPresenter::Placement(HWND, SoftDxSize frame)
{
    if (!FWindowSize) return std::nullopt;
    return SoftDxFitKeepingProportions(frame, *FWindowSize);
}

SoftDxPixelMemory SoftDxHeadlessPresenter::AllocateFrame(size_t bytes)
{
    if (!FWindowSize) return {};
    return SoftDxPixelMemory(static_cast<uint8_t*>(std::calloc(bytes, 1)));
}

void SoftDxSetPresenter(std::shared_ptr<ISoftDxPresenter> presenter)
{
    std::lock_guard guard(controlLock);
    currentPresenter = std::move(presenter);
}

std::shared_ptr<ISoftDxPresenter> SoftDxGetPresenter()
{
    std::lock_guard guard(controlLock);
    if (!currentPresenter) currentPresenter = std::make_shared<SoftDxHeadlessPresenter>();
    return currentPresenter;
}

void SoftDxSetClock(std::shared_ptr<ISoftDxClock> clock)
{
    std::lock_guard guard(controlLock);
    currentClock = std::move(clock);
}

uint64_t SoftDxNextRefresh(uint64_t nanoseconds)
{
    // Ticks fall at k / 60 s exactly; 128-bit products keep that true for any uptime.
    using Wide = unsigned __int128;
    const Wide second = 1000000000u;
    Wide tick = Wide(nanoseconds) * softdx::RefreshRate / second + 1;
    Wide at = (tick * second + softdx::RefreshRate - 1) / softdx::RefreshRate;
    return static_cast<uint64_t>(at);
}

void SoftDxFailNext(const char* method, HRESULT code, int count)
{
    std::lock_guard guard(controlLock);
    faults[method] = {code, std::max(count, 0)};
    anyFaults = true;
}

void SoftDxFailAlways(const char* method, HRESULT code)
{
    std::lock_guard guard(controlLock);
    faults[method] = {code, -1};
    anyFaults = true;
}

void SoftDxClearFaults()
{
    {
        std::lock_guard guard(controlLock);
        faults.clear();
        anyFaults = false;
    }
    softdx::ResetDirect3DControls();
}

namespace softdx {

HRESULT InjectedFault(const char* method)
{
    if (!anyFaults) return DD_OK;
    std::lock_guard guard(controlLock);
    auto found = faults.find(std::string_view(method));
    if (found == faults.end() || found->second.Remaining == 0) return DD_OK;
    if (found->second.Remaining > 0) --found->second.Remaining;
    return found->second.Code;
}

uint64_t Now() { return Clock()->NowNanoseconds(); }

void SleepUntil(uint64_t nanoseconds) { Clock()->SleepUntil(nanoseconds); }

}  // namespace softdx
