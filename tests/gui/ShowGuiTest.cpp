// The full-screen show of the built program on an X server of the test's own: the stored
// picture fills the screen, and a key press ends the program cleanly.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gui/XvfbServer.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {
using namespace std::chrono_literals;

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

// The share of the root window's pixels within a small distance of colour.
double ShareOnScreen(Display* display, TRgb colour)
{
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    XImage* image = XGetImage(display, root, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image) return 0.0;
    size_t near = 0, all = 0;
    for (int y = 0; y < attributes.height; y += 4)
        for (int x = 0; x < attributes.width; x += 4) {
            const unsigned long p = XGetPixel(image, x, y);
            const int d = std::abs(static_cast<int>((p >> 16) & 0xFF) - colour.R) +
                          std::abs(static_cast<int>((p >> 8) & 0xFF) - colour.G) +
                          std::abs(static_cast<int>(p & 0xFF) - colour.B);
            near += d <= 60;
            ++all;
        }
    XDestroyImage(image);
    return static_cast<double>(near) / static_cast<double>(all);
}

std::string Dword(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(value));
    return text;
}

TEST(ShowGui, ThePictureFillsTheScreenAndAKeyEndsTheShow)
{
    XvfbServer server;  // 1024 x 768 x 24
    TempDir home;
    const TRgb orange{240, 120, 20};
    home.WriteFile("pictures/a.jpg", MakeSolidJpeg(320, 240, orange));
    home.WriteFile("pictures/deeper/b.jpeg", MakeSolidJpeg(200, 300, orange));
    home.WriteFile("config/vellumine/registry.reg",
                   "Windows Registry Editor Version 5.00\n\n"
                   "[HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine]\n"
                   "\"ImagesPath\"=\"" +
                       home.Str() + "/pictures\"\n\"Res_Width\"=" + Dword(1024) + "\n\"Res_Height\"=" + Dword(768) +
                       "\n\"Res_Bits\"=" + Dword(32) + "\n\"Animate_Speed\"=" + Dword(5) + "\n");

    Display* display = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(display, nullptr);
    XSetErrorHandler(IgnoreXErrors);
    const double before = ShareOnScreen(display, orange);

    ChildProcess program(
        {VELLUMINE_PROGRAM, "/s"},
        {"DISPLAY=" + server.Name(), "HOME=" + home.Str(), "XDG_CONFIG_HOME=" + home.Str() + "/config"},
        home.Str() + "/stderr.txt");
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(program.Running()) << program.Err();
    double share = 0.0;
    for (int i = 0; i < 20 && share < 0.9; ++i) {
        share = ShareOnScreen(display, orange);
        if (share < 0.9) std::this_thread::sleep_for(100ms);
    }
    EXPECT_LT(before, 0.1) << "the screen was not orange before the show";
    EXPECT_GE(share, 0.9) << "the picture covers the screen";

    // The show ignores its first 100 messages (about a second and a half of frames), so a
    // key pressed too early is rightly lost: press again until one arrives after them.
    const std::string key = "DISPLAY=" + server.Name() + " xdotool key a";
    std::optional<int> status;
    for (int press = 0; press < 10 && !status; ++press) {
        ASSERT_EQ(std::system(key.c_str()), 0);
        status = program.WaitExit(1s);
    }
    ASSERT_TRUE(status.has_value()) << "a key press ends the show";
    EXPECT_EQ(*status, 0) << program.Err();
    XCloseDisplay(display);
}
}  // namespace
