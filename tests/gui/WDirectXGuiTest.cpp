// A real form with a started device on an Xvfb of the test's own: the device takes the screen
// in the screen's own size, a colour fill of Back1 is flipped, and the form's window shows it.
// GoogleTest before Xlib, whose macros (None, Bool) would break its declarations.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <optional>

#include "SoftDxControl.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "gui/XConnection.h"
#include "gui/XvfbServer.h"
#include "support/TestSupport.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectX.h"
#include "wdx/x11/X11Presenter.h"

namespace {
// A window that is not (yet) mapped makes XGetImage fail; that must not end the test program.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

std::optional<uint32_t> PixelAt(Display* display, Window window, int x, int y)
{
    XSync(display, False);
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return std::nullopt;
    const uint32_t pixel = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

// Gives up the DirectX entry points and the screen presenter on every way out of the test,
// so that the presenter's own connection is closed before the server goes.
struct ScreenDirectX {
    ~ScreenDirectX()
    {
        SoftDxSetPresenter(nullptr);
        FreeDirectXLibraries();
    }
};
}  // namespace

TEST(DeviceOnScreen, AFlippedBackSurfaceFillsTheFormsWindow)
{
    XvfbServer server;  // 1024 x 768 x 24
    setenv("DISPLAY", server.Name().c_str(), 1);
    ScreenDirectX directX;
    ASSERT_TRUE(LoadDirectXLibraries());
    ASSERT_TRUE(X11Presenter::UseScreen());
    XConnection display(server.Name());
    ASSERT_NE(display.Get(), nullptr);
    XSetErrorHandler(IgnoreXErrors);

    {
        TForm form(nullptr);
        form.SetBounds(20, 20, 400, 300);
        form.Show();
        auto* device = new TWDirectX(&form);
        device->SetBacksurfaces(1);
        device->Loaded();
        int index = -1;
        for (int i = 0; i < device->VideoModeCount() && index < 0; ++i) {
            const TVideoModeInfo mode = device->GetVideoModeInfo(i);
            if (!mode.Windowed && mode.Width == 1024 && mode.Height == 768 && mode.Bits == 32) index = i;
        }
        ASSERT_GE(index, 0) << "the screen's own size is offered";
        device->SetVideoMode(index);
        device->StartAll();
        ASSERT_TRUE(device->Active());
        ASSERT_TRUE(device->Back1()->Active());
        EXPECT_EQ(form.WindowState(), wsMaximized);
        EXPECT_EQ(form.BorderStyle(), bsNone);

        const Window window = static_cast<Window>(reinterpret_cast<uintptr_t>(form.Handle()));
        // Without a window manager the window is mapped when the loop runs; frames that go to
        // a window not shown yet are lost, so each colour is flipped until it is seen.
        auto flipUntilSeen = [&](uint32_t value, int x, int y) {
            return ReadUntil(
                [&] {
                    Application->ProcessMessages();
                    device->Back1()->ColorFill(value);  // the mode's 32-bit RGB is 0x00RRGGBB
                    device->Flip();
                    return PixelAt(display, window, x, y);
                },
                [&](const std::optional<uint32_t>& seen) { return seen == value; }, std::chrono::seconds(5),
                std::chrono::milliseconds(20));
        };
        EXPECT_EQ(flipUntilSeen(0x00FF00u, 512, 384), 0x00FF00u) << "green in the middle of the screen";
        EXPECT_EQ(flipUntilSeen(0xFF0000u, 100, 700), 0xFF0000u) << "then red, near a corner";

        device->StopAll();
        EXPECT_FALSE(device->Active());
        EXPECT_EQ(form.BorderStyle(), bsSizeable);
        EXPECT_EQ(form.WindowState(), wsNormal);
    }
}
