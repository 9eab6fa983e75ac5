// X11 half of the show in a screen-saver host's window.
// Implements: ShowPlatform.h's UseShowHostWindow (XSCREENSAVER_WINDOW, else the root window, for
//   the root form)
// Leaves out: following a host window that changes size (the presenter scales each frame to the
//   window's size of the moment instead); clippers naming the host window (no visible rectangles
//   are told, and such blits go unclipped)
// The window is looked up once on a connection of its own, and the screen presenter is wrapped
// so that the device sees the window's size as the whole screen and every frame lands in the
// window, whatever window the device itself presents to. The show's own form never shows
// there.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "SoftDxControl.h"
#include "framework/x11/X11ErrorTrap.h"
#include "show/ShowHost.h"
#include "wdx/x11/X11Presenter.h"

// Xlib last: its macros (None, Status, Bool) would clash with the names above.
#include <X11/Xlib.h>

namespace {
class THostWindowPresenter : public ISoftDxPresenter {
public:
    THostWindowPresenter(std::shared_ptr<X11Presenter> screen, unsigned long window, SoftDxSize size)
        : FScreen(std::move(screen)), FWindow(window), FSize(size)
    {
    }
    SoftDxSize ScreenSize() override { return FSize; }
    std::vector<SoftDxSize> MonitorModes() override { return {FSize}; }
    bool Present(HWND, const uint32_t* pixels, uint32_t width, uint32_t height, size_t pitchBytes) override
    {
        return FScreen->Present(Host(), pixels, width, height, pitchBytes);
    }
    // Frames land in the host's window whatever window the program names.
    std::optional<RECT> FrameRect(HWND, SoftDxSize frame) override { return FScreen->FrameRect(Host(), frame); }
    bool Repeat(HWND) override { return FScreen->Repeat(Host()); }
    std::optional<SoftDxPlacement> Placement(HWND, SoftDxSize frame) override
    {
        return FScreen->Placement(Host(), frame);
    }
    // The flip chain's memory shared with the server, as on the screen: a frame of the
    // window's size then goes to it without a copy.
    SoftDxPixelMemory AllocateFrame(size_t bytes) override { return FScreen->AllocateFrame(bytes); }

private:
    HWND Host() const { return reinterpret_cast<HWND>(static_cast<uintptr_t>(FWindow)); }

    std::shared_ptr<X11Presenter> FScreen;
    unsigned long FWindow;
    SoftDxSize FSize;
};
}  // namespace

bool UseShowHostWindow(const TShowHost& host, std::ostream& err)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        err << "vellumine: no X display to show the pictures on (is DISPLAY set?)\n";
        return false;
    }
    unsigned long window = host.Window;
    if (host.Root) {
        const char* named = std::getenv("XSCREENSAVER_WINDOW");
        const std::optional<unsigned long> id = named ? ParseWindowId(named) : std::nullopt;
        window = id ? *id : DefaultRootWindow(display);
    }
    XWindowAttributes attributes{};
    bool found = false;
    {
        X11ErrorTrap trap(display);
        found = XGetWindowAttributes(display, window, &attributes) != 0 && !trap.Failed();
    }
    XCloseDisplay(display);
    if (!found || attributes.width <= 0 || attributes.height <= 0) {
        err << "vellumine: there is no window 0x" << std::hex << window << std::dec << " to show the pictures in\n";
        return false;
    }
    std::shared_ptr<X11Presenter> screen = X11Presenter::Open();
    if (!screen) {
        err << "vellumine: the X display could not be opened again\n";
        return false;
    }
    SoftDxSetPresenter(std::make_shared<THostWindowPresenter>(
        std::move(screen), window,
        SoftDxSize{static_cast<uint32_t>(attributes.width), static_cast<uint32_t>(attributes.height)}));
    return true;
}
