// The show run by a screen-saver host in the host's own window: the picture fills that
// window, the program keeps out of input, and SIGTERM ends it cleanly at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gui/XvfbServer.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "ScreenPixels.h"

extern char** environ;

namespace {
using namespace std::chrono_literals;

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

// The share of a window's pixels near colour.
double ShareInWindow(Display* display, Window window, TRgb colour) { return ColourShare(display, window, colour, 2); }

// The program with its process id at hand, for the host's signal.
class HostedProgram {
public:
    HostedProgram(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& errFile)
        : FErrFile(errFile)
    {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
        for (const std::string& setting : env) {
            const std::string name = setting.substr(0, setting.find('=') + 1);
            std::erase_if(environment, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
            environment.push_back(setting);
        }
        std::vector<char*> argv, envp;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&FPid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) FPid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~HostedProgram()
    {
        if (FPid > 0 && !FStatus) {
            kill(FPid, SIGKILL);
            waitpid(FPid, nullptr, 0);
        }
    }
    HostedProgram(const HostedProgram&) = delete;
    HostedProgram& operator=(const HostedProgram&) = delete;

    bool Started() const { return FPid > 0; }
    void Terminate() { kill(FPid, SIGTERM); }
    // The exit status once the program ended within timeout; -1 for one killed by a signal.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout)
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!FStatus) {
            int status = 0;
            if (waitpid(FPid, &status, WNOHANG) == FPid) {
                FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (std::chrono::steady_clock::now() >= end) break;
            std::this_thread::sleep_for(10ms);
        }
        return FStatus;
    }
    std::string Err() const
    {
        std::ifstream in(FErrFile);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    pid_t FPid = -1;
    std::optional<int> FStatus;
    std::string FErrFile;
};

// Runs the program as a host would with a 320 x 240 window of the test's, its id given as
// each form asks: the picture must fill that window and SIGTERM end the program cleanly.
void RunInHostWindow(bool rootForm)
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

    Display* display = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(display, nullptr);
    XSetErrorHandler(IgnoreXErrors);
    const Window host = XCreateSimpleWindow(display, DefaultRootWindow(display), 100, 100, 320, 240, 0, 0,
                                            WhitePixel(display, DefaultScreen(display)));
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
    HostedProgram program(args, env, home.Str() + "/stderr.txt");
    ASSERT_TRUE(program.Started());
    double share = 0.0;
    for (int i = 0; i < 30 && share < 0.9; ++i) {
        std::this_thread::sleep_for(100ms);
        share = ShareInWindow(display, host, orange);
    }
    EXPECT_GE(share, 0.9) << "the picture covers the host's window";
    EXPECT_LT(ShareInWindow(display, DefaultRootWindow(display), orange), 0.2)
        << "nothing is drawn outside the host's window";

    // Past the ignored messages, input no longer ends a full-screen show; here it must not.
    std::this_thread::sleep_for(2s);
    const std::string input = "DISPLAY=" + server.Name() + " xdotool mousemove_relative 50 50 key a";
    ASSERT_EQ(std::system(input.c_str()), 0);
    EXPECT_FALSE(program.WaitExit(1s).has_value()) << "input does not end a hosted show";

    program.Terminate();
    const std::optional<int> status = program.WaitExit(1s);
    ASSERT_TRUE(status.has_value()) << "SIGTERM ends the show within a second";
    EXPECT_EQ(*status, 0) << program.Err();
    EXPECT_EQ(program.Err().find("X Error"), std::string::npos) << program.Err();
    XCloseDisplay(display);
}

TEST(ShowHostGui, TheWindowIdFormFillsTheHostWindowIgnoresInputAndEndsCleanlyOnSigterm) { RunInHostWindow(false); }

TEST(ShowHostGui, TheRootFormDrawsIntoTheWindowTheHostNamesInTheEnvironment) { RunInHostWindow(true); }
}  // namespace
