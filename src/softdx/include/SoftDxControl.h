#pragma once
// The software DirectX's Linux-side controls: where frames go (the presenter), the clock
// Flip paces itself by, and injected failures for tests. Nothing of DirectX's own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "SoftDxBltFine.h"
#include "SoftDxD3DControl.h"
#include "SoftDxTypes.h"

struct SoftDxSize {
    uint32_t Width = 0;
    uint32_t Height = 0;
    friend bool operator==(const SoftDxSize&, const SoftDxSize&) = default;
};

// Pixels of a surface. Memory from malloc unless a presenter gave its own (then its own
// release, which must work after the presenter is gone).
struct SoftDxMemoryRelease {
    std::function<void(uint8_t*)> Release;
    void operator()(uint8_t* pixels) const
    {
        if (Release)
            Release(pixels);
        else
            std::free(pixels);
    }
};
using SoftDxPixelMemory = std::unique_ptr<uint8_t, SoftDxMemoryRelease>;

// Where a frame is shown in a window: the window's size, and the rectangle of it the frame
// is scaled into (the largest of the frame's proportions, centred; black around it).
struct SoftDxPlacement {
    SoftDxSize Window;
    RECT Frame{};
};
SoftDxPlacement SoftDxFitKeepingProportions(SoftDxSize frame, SoftDxSize window);

// Shows finished frames and tells what the screen offers. Frames arrive as 32-bit
// 0x00RRGGBB pixels whatever the surface's own format; the presenter scales them to the
// window smoothly, keeping proportions, with black bars where the shapes differ.
class ISoftDxPresenter {
public:
    virtual ~ISoftDxPresenter() = default;
    virtual SoftDxSize ScreenSize() = 0;
    // The sizes the monitor itself offers (the screen's own size among them).
    virtual std::vector<SoftDxSize> MonitorModes() = 0;
    // False when the frame could not be shown (no such window, server gone).
    virtual bool Present(HWND window, const uint32_t* pixels, uint32_t width, uint32_t height, size_t pitchBytes) = 0;
    // The frame last presented into the window is the next one too, unchanged (a slow
    // animation repeats many): true when the presenter keeps it on screen without being sent
    // it again; false asks for it in full, as a presenter without this must.
    virtual bool Repeat(HWND /*window*/) { return false; }
    // Zeroed memory for the buffers of a flip chain, which Present can then show without a
    // copy when the frame fits the window exactly (memory the X server shares); empty when
    // the presenter has no such memory, and the surface takes its own.
    virtual SoftDxPixelMemory AllocateFrame(size_t /*bytes*/) { return {}; }
    // Where Present would show a frame of that size in the window, so that a frame can be
    // made at the window's size instead; nullopt when the presenter cannot tell.
    virtual std::optional<SoftDxPlacement> Placement(HWND /*window*/, SoftDxSize /*frame*/) { return std::nullopt; }
    // The parts of the window the user can see, in screen coordinates (other windows and
    // the screen's edges cut it), for clippers that name the window; nullopt when the
    // presenter cannot tell, and blits through such clippers then go unclipped.
    virtual std::optional<std::vector<RECT>> VisibleRects(HWND /*window*/) { return std::nullopt; }
    // Where a frame of that size presented into the window lands, in screen coordinates:
    // the rectangle it is scaled into between the black bars. DirectInput maps the pointer
    // through it into an emulated mode. Nullopt when the presenter cannot tell.
    virtual std::optional<RECT> FrameRect(HWND /*window*/, SoftDxSize /*frame*/) { return std::nullopt; }
};

// A presenter without a screen: a configurable size, and the last frame kept for tests.
class SoftDxHeadlessPresenter : public ISoftDxPresenter {
public:
    explicit SoftDxHeadlessPresenter(SoftDxSize screen = {1920, 1080}) : FScreen(screen) {}
    SoftDxSize ScreenSize() override { return FScreen; }
    std::vector<SoftDxSize> MonitorModes() override { return FModes.empty() ? std::vector{FScreen} : FModes; }
    bool Present(HWND window, const uint32_t* pixels, uint32_t width, uint32_t height, size_t pitchBytes) override;
    // Counted as a frame presented; the last frame stays as it is.
    bool Repeat(HWND window) override;

    void SetScreenSize(SoftDxSize screen) { FScreen = screen; }
    // What VisibleRects answers for every window; nullopt (the start) for "cannot tell".
    void SetVisibleRects(std::optional<std::vector<RECT>> rects) { FVisible = std::move(rects); }
    std::optional<std::vector<RECT>> VisibleRects(HWND) override { return FVisible; }
    void SetMonitorModes(std::vector<SoftDxSize> modes) { FModes = std::move(modes); }
    // What FrameRect answers for every window and frame; nullopt (the start) for "cannot tell".
    void SetFrameRect(std::optional<RECT> rect) { FFrameRect = rect; }
    std::optional<RECT> FrameRect(HWND, SoftDxSize) override { return FFrameRect; }
    // Makes every window that size, told through Placement, with frame memory of the
    // presenter's own as a screen's presenter has; nullopt (the start) for neither.
    void SetWindowSize(std::optional<SoftDxSize> size) { FWindowSize = size; }
    std::optional<SoftDxPlacement> Placement(HWND, SoftDxSize frame) override;
    SoftDxPixelMemory AllocateFrame(size_t bytes) override;

    // What the last Present received, rows packed.
    HWND LastWindow() const { return FLastWindow; }
    SoftDxSize LastSize() const { return FLastSize; }
    const std::vector<uint32_t>& LastFrame() const { return FLastFrame; }
    // Frames shown, repeats among them.
    uint32_t PresentCount() const { return FPresentCount; }
    uint32_t RepeatCount() const { return FRepeatCount; }

private:
    SoftDxSize FScreen;
    std::vector<SoftDxSize> FModes;
    std::optional<std::vector<RECT>> FVisible;
    std::optional<RECT> FFrameRect;
    std::optional<SoftDxSize> FWindowSize;
    HWND FLastWindow = nullptr;
    SoftDxSize FLastSize;
    std::vector<uint32_t> FLastFrame;
    uint32_t FPresentCount = 0;
    uint32_t FRepeatCount = 0;
};

// Null puts back the built-in headless presenter (1920 x 1080). DirectDraw objects ask the
// current presenter each time, so set it before creating them. The program installs the
// screen's presenter when it binds DirectX; the software DirectX itself knows no screen.
void SoftDxSetPresenter(std::shared_ptr<ISoftDxPresenter> presenter);
std::shared_ptr<ISoftDxPresenter> SoftDxGetPresenter();

// The clock Flip waits by: it returns at the first 1/60 s tick after the call began.
class ISoftDxClock {
public:
    virtual ~ISoftDxClock() = default;
    virtual uint64_t NowNanoseconds() = 0;  // monotonic
    virtual void SleepUntil(uint64_t nanoseconds) = 0;
};
// Null puts back the steady clock.
void SoftDxSetClock(std::shared_ptr<ISoftDxClock> clock);
// The moment of the next display refresh strictly after the given one.
uint64_t SoftDxNextRefresh(uint64_t nanoseconds);

// Injected failures: the named method (its DirectX name, e.g. "CreateSurface", "Blt",
// "DirectDrawCreateEx") returns the code instead of doing its work, the next count times
// or always. Consulted on entry, before any argument is looked at. DirectInput's and
// DirectSound's methods carry their interface, since some share a name with DirectDraw's:
// "IDirectInputDevice7::Acquire", "IDirectSound::CreateSoundBuffer"; entry points are bare.
// SoftDxClearFaults also puts back the Direct3D device's own texture caps and formats
// (SoftDxD3DControl.h).
void SoftDxFailNext(const char* method, HRESULT code, int count = 1);
void SoftDxFailAlways(const char* method, HRESULT code);
void SoftDxClearFaults();
