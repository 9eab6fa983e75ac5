// The full-screen show of the built program on an X server of the test's own: the stored
// picture fills the screen, an empty or partly damaged folder keeps the show going, and a
// key press or a mouse move beyond the tolerance ends the program cleanly.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
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

// The share of the root window's pixels near colour.
double ShareOnScreen(Display* display, TRgb colour, int step = 4)
{
    return ColourShare(display, DefaultRootWindow(display), colour, step);
}

std::string SettingsFile(const TempDir& home)
{
    return "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine]\n"
           "\"ImagesPath\"=\"" +
           home.Str() + "/pictures\"\n\"Res_Width\"=" + Dword(1024) + "\n\"Res_Height\"=" + Dword(768) +
           "\n\"Res_Bits\"=" + Dword(32) + "\n\"Animate_Speed\"=" + Dword(5) + "\n";
}

std::unique_ptr<ChildProcess> StartShow(const XvfbServer& server, const TempDir& home,
                                        std::vector<std::string> extraEnv = {})
{
    std::vector<std::string> env{"DISPLAY=" + server.Name(), "HOME=" + home.Str(),
                                 "XDG_CONFIG_HOME=" + home.Str() + "/config"};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    return std::make_unique<ChildProcess>(std::vector<std::string>{VELLUMINE_PROGRAM, "/s"}, env,
                                          home.Str() + "/stderr.txt");
}

TEST(ShowGui, ThePictureFillsTheScreenAndAKeyEndsTheShow)
{
    XvfbServer server;  // 1024 x 768 x 24
    TempDir home;
    const TRgb orange{240, 120, 20};
    home.WriteFile("pictures/a.jpg", MakeSolidJpeg(320, 240, orange));
    home.WriteFile("pictures/deeper/b.jpeg", MakeSolidJpeg(200, 300, orange));
    home.WriteFile("config/vellumine/registry.reg", SettingsFile(home));

    XConnection display(server.Name());
    ASSERT_NE(display.Get(), nullptr);
    XSetErrorHandler(IgnoreXErrors);
    const double before = ShareOnScreen(display, orange);

    auto program = StartShow(server, home);
    const double share = ReadUntil([&] { return ShareOnScreen(display, orange); },
                                   [&](double seen) { return seen >= 0.9 || !program->Running(); }, 10s, 20ms);
    ASSERT_TRUE(program->Running()) << program->Err();
    EXPECT_LT(before, 0.1) << "the screen was not orange before the show";
    EXPECT_GE(share, 0.9) << "the picture covers the screen";

    const std::optional<int> status = PressKeysUntilExit(server, *program);
    ASSERT_TRUE(status.has_value()) << "a key press ends the show";
    EXPECT_EQ(*status, 0) << program->Err();
}

TEST(ShowGui, AnEmptyFolderShowsABlackScreenAndAKeyStillEndsTheShow)
{
    XvfbServer server;
    TempDir home;
    home.WriteFile("pictures/notes.txt", "no pictures here");
    home.WriteFile("config/vellumine/registry.reg", SettingsFile(home));
    XConnection display(server.Name());
    ASSERT_NE(display.Get(), nullptr);
    XSetErrorHandler(IgnoreXErrors);

    auto program = StartShow(server, home);
    // Every pixel is looked at, so a patterned root showing through would count against it.
    const auto blackShare = [&] { return ShareOnScreen(display, {0, 0, 0}, 1); };
    double share = ReadUntil(
        blackShare, [&](double seen) { return seen >= 0.99 || !program->Running(); }, 10s, 50ms);
    ASSERT_TRUE(program->Running()) << program->Err();
    EXPECT_GE(share, 0.99) << "the screen turns black";
    // Then stays black: a fixed time, as nothing would mark a change that never comes.
    EXPECT_TRUE(HoldsFor(
        [&] {
            share = blackShare();
            return share >= 0.99;
        },
        1s, 200ms))
        << "the screen stays black, but " << share << " of it is";
    ASSERT_TRUE(program->Running()) << program->Err();

    const std::optional<int> status = PressKeysUntilExit(server, *program);
    ASSERT_TRUE(status.has_value()) << "a key press ends the show";
    EXPECT_EQ(*status, 0) << program->Err();
}

TEST(ShowGui, ADamagedPictureAmongGoodOnesLeavesTheShowRunningWithAGoodPicture)
{
    XvfbServer server;
    TempDir home;
    const TRgb green{30, 200, 60};
    const std::string good = MakeSolidJpeg(320, 240, green);
    // A JPEG start followed by rubbish, and a good file cut off before its pixels.
    home.WriteFile("pictures/broken1.jpg", std::string("\xFF\xD8\xFF\xE0") + std::string(400, '\x5A'));
    home.WriteFile("pictures/broken2.jpg", good.substr(0, 20));
    home.WriteFile("pictures/good1.jpg", good);
    home.WriteFile("pictures/sub/good2.jpg", MakeSolidJpeg(240, 320, green));
    home.WriteFile("config/vellumine/registry.reg", SettingsFile(home));
    XConnection display(server.Name());
    ASSERT_NE(display.Get(), nullptr);
    XSetErrorHandler(IgnoreXErrors);

    auto program = StartShow(server, home);
    const double share = ReadUntil([&] { return ShareOnScreen(display, green); },
                                   [&](double seen) { return seen >= 0.9 || !program->Running(); }, 10s, 20ms);
    ASSERT_TRUE(program->Running()) << program->Err();
    EXPECT_GE(share, 0.9) << "a good picture covers the screen";
    // And goes on showing: a fixed second in which the program must not end.
    ASSERT_FALSE(program->WaitExit(1s).has_value()) << program->Err();

    const std::optional<int> status = PressKeysUntilExit(server, *program);
    ASSERT_TRUE(status.has_value()) << "a key press ends the show";
    EXPECT_EQ(*status, 0) << program->Err();
}

TEST(ShowGui, AFivePixelMouseMoveKeepsTheShowAndASixPixelOneEndsIt)
{
    XvfbServer server;
    TempDir home;
    home.WriteFile("pictures/a.jpg", MakeSolidJpeg(320, 240, {240, 120, 20}));
    home.WriteFile("config/vellumine/registry.reg", SettingsFile(home));
    ASSERT_EQ(RunXdotool(server, "mousemove 500 400"), 0);

    auto program = StartShow(server, home);
    // Well past the first 100 messages, which are ignored whatever they are. A fixed time:
    // nothing outside the program marks their end, and a move that ends the show cannot
    // probe for it.
    ASSERT_FALSE(program->WaitExit(3s).has_value()) << program->Err();

    // Within the tolerance on either axis, and back to the start.
    ASSERT_EQ(RunXdotool(server, "mousemove_relative 5 0"), 0);
    EXPECT_FALSE(program->WaitExit(700ms).has_value()) << "5 pixels across keep the show";
    ASSERT_EQ(RunXdotool(server, "mousemove_relative -- -5 5"), 0);
    EXPECT_FALSE(program->WaitExit(700ms).has_value()) << "5 pixels down keep the show";
    ASSERT_EQ(RunXdotool(server, "mousemove_relative -- 0 -5"), 0);
    EXPECT_FALSE(program->WaitExit(700ms).has_value()) << "back at the start keeps the show";

    ASSERT_EQ(RunXdotool(server, "mousemove_relative 6 0"), 0);
    const std::optional<int> status = program->WaitExit(2s);
    ASSERT_TRUE(status.has_value()) << "6 pixels across end the show";
    EXPECT_EQ(*status, 0) << program->Err();
}

// A session's end or a user's kill sends SIGTERM: the show closes as after a key, also when
// the sound library (which would take the signal for itself) was started for the device.
TEST(ShowGui, SigtermEndsTheShowCleanly)
{
    XvfbServer server;
    TempDir home;
    const TRgb orange{240, 120, 20};
    home.WriteFile("pictures/a.jpg", MakeSolidJpeg(320, 240, orange));
    home.WriteFile("config/vellumine/registry.reg", SettingsFile(home));
    XConnection display(server.Name());
    ASSERT_NE(display.Get(), nullptr);
    XSetErrorHandler(IgnoreXErrors);

    auto program = StartShow(server, home, {"SDL_AUDIODRIVER=dummy"});
    const double share = ReadUntil([&] { return ShareOnScreen(display, orange); },
                                   [&](double seen) { return seen >= 0.9 || !program->Running(); }, 10s, 20ms);
    ASSERT_GE(share, 0.9) << program->Err();

    program->Terminate();
    const std::optional<int> status = program->WaitExit(2s);
    ASSERT_TRUE(status.has_value()) << "SIGTERM ends the show";
    EXPECT_EQ(*status, 0) << program->Err();
}
}  // namespace
