// The built program's show under a stored resolution its screen does not have: a mode larger
// than the screen is drawn scaled down with its proportions kept, and a mode the display
// lacks, or a palettized one in which a picture would be drawn black, gives way to the
// desktop's own. Either way the picture is on the screen, and the stored settings are left
// as they were.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gui/XConnection.h"
#include "gui/XvfbServer.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"

#include <X11/Xlib.h>

#include "ScreenPixels.h"

namespace {
using namespace std::chrono_literals;

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

std::string SettingsFile(const TempDir& home, int width, int height, int bits)
{
    return "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine]\n"
           "\"ImagesPath\"=\"" +
           home.Str() + "/pictures\"\n\"Res_Width\"=" + Dword(width) + "\n\"Res_Height\"=" + Dword(height) +
           "\n\"Res_Bits\"=" + Dword(bits) + "\n\"Animate_Speed\"=" + Dword(5) + "\n";
}

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ShowModesGui, AStoredModeTheScreenDoesNotHaveStillShowsThePicture)
{
    // The screen is 1024 x 768.
    const struct {
        const char* what;
        int width, height, bits;
        double pictureShare;  // of the screen: the rest is black bars
    } cases[] = {
        {"a 16 : 9 mode larger than the screen, scaled down between bars", 1920, 1080, 32, 1024.0 * 576 / (1024 * 768)},
        {"a size the display lacks takes the desktop's mode", 1000, 700, 32, 1.0},
        {"a stored 8-bit mode, though listed, takes the desktop's mode", 1280, 720, 8, 1.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        XvfbServer server;
        TempDir home;
        const TRgb orange{240, 120, 20};
        home.WriteFile("pictures/a.jpg", MakeSolidJpeg(320, 240, orange));
        const std::string settings =
            home.WriteFile("config/vellumine/registry.reg", SettingsFile(home, c.width, c.height, c.bits)).string();
        const std::string stored = FileText(settings);
        XConnection display(server.Name());
        ASSERT_NE(display.Get(), nullptr);
        XSetErrorHandler(IgnoreXErrors);

        ChildProcess program(
            {VELLUMINE_PROGRAM, "/s"},
            {"DISPLAY=" + server.Name(), "HOME=" + home.Str(), "XDG_CONFIG_HOME=" + home.Str() + "/config"},
            home.Str() + "/stderr.txt");
        const auto near = [&](double share) { return std::abs(share - c.pictureShare) <= 0.03; };
        const double share =
            ReadUntil([&] { return ColourShare(display, DefaultRootWindow(display.Get()), orange, 4); },
                      [&](double seen) { return near(seen) || !program.Running(); }, 10s, 20ms);
        ASSERT_TRUE(program.Running()) << program.Err();
        EXPECT_NEAR(share, c.pictureShare, 0.03) << "the picture fills the mode's shape on the screen";
        EXPECT_NEAR(ColourShare(display, DefaultRootWindow(display.Get()), {0, 0, 0}, 4), 1.0 - c.pictureShare, 0.03)
            << "black bars make up the rest";

        const std::optional<int> status = PressKeysUntilExit(server, program);
        ASSERT_TRUE(status.has_value()) << "a key press ends the show";
        EXPECT_EQ(*status, 0) << program.Err();
        EXPECT_EQ(FileText(settings), stored) << "the stored settings are kept";
    }
}
}  // namespace
