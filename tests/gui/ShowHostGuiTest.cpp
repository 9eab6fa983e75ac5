// The show run by a screen-saver host in the host's own window: the picture fills that
// window, the program keeps out of input, and SIGTERM ends it cleanly at once.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "gui/XConnection.h"
#include "gui/XvfbServer.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "ScreenPixels.h"

namespace {
using namespace std::chrono_literals;

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

// The share of a window's pixels near colour.
double ShareInWindow(Display* display, Window window, TRgb colour) { return ColourShare(display, window, colour, 2); }

// Runs the program as a host would with a 320 x 240 window of the test's, its id given as
// each form asks: the picture must fill that window and SIGTERM end the program cleanly.
// fifoTrace names a FIFO nobody reads as the show's trace file, which must be refused at
// once rather than hold the program at its start.
void RunInHostWindow(bool rootForm, bool fifoTrace = false)
{
    XvfbServer server;
    TempDir home;
    const TRgb orange{240, 120, 20};
    home.WriteFile("pictures/a.jpg", MakeSolidJpeg(320, 240, orange));
    // A stored mode other than the window's: the host's window decides the size.
    home.WriteFile("config/vellumine/registry.reg",
                   "Windows Registry Editor Version 5.00\n\n"
                   "[HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine]\n"
                   "\"ImagesPath\"=\"" +
                       home.Str() + "/pictures\"\n\"Res_Width\"=" + Dword(1024) + "\n\"Res_Height\"=" + Dword(768) +
                       "\n\"Res_Bits\"=" + Dword(32) + "\n\"Animate_Speed\"=" + Dword(5) + "\n");

    XConnection display(server.Name());
    ASSERT_NE(display.Get(), nullptr);
    XSetErrorHandler(IgnoreXErrors);
    const Window host = XCreateSimpleWindow(display, DefaultRootWindow(display.Get()), 100, 100, 320, 240, 0, 0,
                                            WhitePixel(display.Get(), DefaultScreen(display.Get())));
    XMapWindow(display, host);
    XSync(display, False);

    // The window-id form in hexadecimal; the root form finds the window in decimal in the
    // environment, as the host puts it there.
    char hexId[32], decimalId[32];
    std::snprintf(hexId, sizeof hexId, "0x%lx", host);
    std::snprintf(decimalId, sizeof decimalId, "%lu", host);
    std::vector<std::string> args{VELLUMINE_PROGRAM, "-window-id", hexId};
    std::vector<std::string> env{"DISPLAY=" + server.Name(), "HOME=" + home.Str(),
                                 "XDG_CONFIG_HOME=" + home.Str() + "/config"};
    if (rootForm) {
        args = {VELLUMINE_PROGRAM, "-root"};
        env.push_back(std::string("XSCREENSAVER_WINDOW=") + decimalId);
    }
    if (fifoTrace) {
        const std::string fifo = home.Str() + "/trace.fifo";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        env.push_back("VELLUMINE_SHOW_TRACE=" + fifo);
    }
    ChildProcess program(args, env, home.Str() + "/stderr.txt");
    const double share = ReadUntil([&] { return ShareInWindow(display, host, orange); },
                                   [&](double seen) { return seen >= 0.9 || !program.Running(); }, 10s, 20ms);
    EXPECT_GE(share, 0.9) << "the picture covers the host's window";
    EXPECT_LT(ShareInWindow(display, DefaultRootWindow(display.Get()), orange), 0.2)
        << "nothing is drawn outside the host's window";

    // Past the ignored messages, input no longer ends a full-screen show; here it must not.
    // A fixed time, as nothing outside the program marks their end.
    ASSERT_FALSE(program.WaitExit(2s).has_value()) << program.Err();
    ASSERT_EQ(RunXdotool(server, "mousemove_relative 50 50 key a"), 0);
    EXPECT_FALSE(program.WaitExit(1s).has_value()) << "input does not end a hosted show";

    program.Terminate();
    const std::optional<int> status = program.WaitExit(1s);
    ASSERT_TRUE(status.has_value()) << "SIGTERM ends the show within a second";
    EXPECT_EQ(*status, 0) << program.Err();
    EXPECT_EQ(program.Err().find("X Error"), std::string::npos) << program.Err();
}

TEST(ShowHostGui, TheWindowIdFormFillsTheHostWindowIgnoresInputAndEndsCleanlyOnSigterm) { RunInHostWindow(false); }

TEST(ShowHostGui, TheRootFormDrawsIntoTheWindowTheHostNamesInTheEnvironment) { RunInHostWindow(true); }

TEST(ShowHostGui, AFifoAsTraceFileNeitherHoldsTheShowNorKeepsItFromEndingOnSigterm) { RunInHostWindow(false, true); }
}  // namespace
