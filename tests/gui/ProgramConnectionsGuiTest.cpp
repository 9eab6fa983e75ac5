// Each run of the program holds the X connections it draws with and no other: the forms'
// and the software DirectX presenter's. None of these runs makes a keyboard or mouse device,
// so none holds the DirectInput back end's connection, whose raw events would otherwise
// reach it from every window of the server; a program that makes them has it as well.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "gui/XClients.h"
#include "gui/XConnection.h"
#include "gui/XvfbServer.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"

namespace {
using namespace std::chrono_literals;

// Whether the program comes to hold count connections and keeps to that for a second: while
// it starts, it may hold one more for a moment.
bool SettlesAt(Display* display, pid_t pid, int count)
{
    auto since = std::chrono::steady_clock::now();
    return WaitUntil(
        [&] {
            if (XClientsOf(display, pid) != count) since = std::chrono::steady_clock::now();
            return std::chrono::steady_clock::now() - since >= 1s;
        },
        15s, 20ms);
}
}  // namespace

TEST(ProgramOnX, EachRunHoldsOnlyTheConnectionsItNeeds)
{
    XvfbServer server;
    XConnection display(server.Name());
    ASSERT_NE(display.Get(), nullptr);
    TempDir home;
    home.WriteFile("pictures/a.jpg", MakeSolidJpeg(320, 240, {40, 160, 90}));
    home.WriteFile("config/vellumine/registry.reg",
                   "Windows Registry Editor Version 5.00\n\n"
                   "[HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine]\n"
                   "\"ImagesPath\"=\"" +
                       home.Str() + "/pictures\"\n");
    const Window host = XCreateSimpleWindow(display, DefaultRootWindow(display.Get()), 0, 0, 320, 240, 0, 0, 0);
    XMapWindow(display, host);
    XSync(display, False);
    struct Run {
        std::vector<std::string> Args;
        int Connections;
    };
    const Run runs[] = {
        {{VELLUMINE_PROGRAM, "-root"}, 2},
        {{VELLUMINE_PROGRAM, "/s"}, 2},
        {{VELLUMINE_PROGRAM, "/c"}, 2},
        {{VELLUMINE_PROGRAM, "/p", std::to_string(host)}, 2},
        // Its keyboard and mouse devices open the back end's connection.
        {{VELLUMINE_INPUT_SOUND_DEMO}, 3},
    };
    for (const Run& run : runs) {
        SCOPED_TRACE(run.Args.back());
        ChildProcess program(
            run.Args,
            {"DISPLAY=" + server.Name(), "HOME=" + home.Str(), "XDG_CONFIG_HOME=" + home.Str() + "/config",
             "TMPDIR=" + home.Str(), "SDL_AUDIODRIVER=dummy"},
            home.Str() + "/stderr.txt");
        EXPECT_TRUE(SettlesAt(display, program.Pid(), run.Connections))
            << XClientsOf(display, program.Pid()) << " connections; " << program.Err();
        program.Terminate();
        EXPECT_TRUE(program.WaitExit(10s).has_value());
    }
}
