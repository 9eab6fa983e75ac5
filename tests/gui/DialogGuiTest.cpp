// The settings dialog of the built program on an X server of the test's own, driven with
// xdotool as a user would: it opens with the stored settings, the speed bar follows a drag,
// OK stores a chosen resolution, Cancel stores nothing, and Preview runs the show over it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ScreenPixels.h"
#include "gui/XConnection.h"
#include "gui/XvfbServer.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"

namespace {
using namespace std::chrono_literals;

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

// Where the page's own coordinates start in the dialog's client area (below the tabs).
constexpr int PageLeft = 4, PageTop = 27;

bool Dark(TRgb p) { return p.R + p.G + p.B < 200; }
bool White(TRgb p) { return p.R == 255 && p.G == 255 && p.B == 255; }
bool Light(TRgb p) { return p.R > 200 && p.G > 190 && p.B > 170; }

class DialogGui : public ::testing::Test {
protected:
    XvfbServer Server;
    TempDir Home;
    XConnection X{Server.Name()};
    std::unique_ptr<ChildProcess> Program;
    Window Dialog = 0;
    int OriginX = 0, OriginY = 0;

    void SetUp() override
    {
        ASSERT_NE(X.Get(), nullptr);
        XSetErrorHandler(IgnoreXErrors);
    }

    std::string SettingsPath() const { return Home.Str() + "/config/vellumine/registry.reg"; }
    void StoreSettings(int width, int height, int bits, int speed)
    {
        Home.WriteFile("config/vellumine/registry.reg",
                       "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine]\n"
                       "\"ImagesPath\"=\"" +
                           Home.Str() + "/pictures\"\n\"Res_Width\"=" + Dword(width) +
                           "\n\"Res_Height\"=" + Dword(height) + "\n\"Res_Bits\"=" + Dword(bits) +
                           "\n\"Animate_Speed\"=" + Dword(speed) + "\n");
    }
    std::string SettingsText() const
    {
        std::ifstream file(SettingsPath());
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    int Xdotool(const std::string& arguments) { return RunXdotool(Server, arguments); }
    // A point of the dialog's client area on the screen.
    std::string At(int x, int y) const { return std::to_string(OriginX + x) + " " + std::to_string(OriginY + y); }
    std::string OnPage(int x, int y) const { return At(PageLeft + x, PageTop + y); }

    Window FindNamed(Window window, const std::string& name)
    {
        char* title = nullptr;
        if (XFetchName(X, window, &title) && title) {
            const bool match = name == title;
            XFree(title);
            XWindowAttributes attributes;
            if (match && XGetWindowAttributes(X, window, &attributes) && attributes.map_state == IsViewable)
                return window;
        }
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(X, window, &root, &parent, &children, &count)) return 0;
        Window found = 0;
        for (unsigned i = 0; i < count && !found; ++i) found = FindNamed(children[i], name);
        if (children) XFree(children);
        return found;
    }

    void StartDialog(const std::string& folder = {})
    {
        // GTK's box, where Browse opens it, looks for no accessibility bus on this bare server.
        Program = std::make_unique<ChildProcess>(
            std::vector<std::string>{VELLUMINE_PROGRAM, "/c"},
            std::vector<std::string>{"DISPLAY=" + Server.Name(), "HOME=" + Home.Str(),
                                     "XDG_CONFIG_HOME=" + Home.Str() + "/config", "NO_AT_BRIDGE=1"},
            Home.Str() + "/stderr.txt", folder);
        Dialog = ReadUntil([&] { return FindNamed(DefaultRootWindow(X.Get()), "Vellumine - Settings"); },
                           [](Window found) { return found != 0; }, 10s, 20ms);
        ASSERT_NE(Dialog, 0u) << "the dialog opens: " << Program->Err();
        Window child;
        XTranslateCoordinates(X, Dialog, DefaultRootWindow(X.Get()), 0, 0, &OriginX, &OriginY, &child);
        // Until the dialog draws, its page shows the same plain face as the rest of it.
        ASSERT_TRUE(WaitUntil([&] { return PagePixel(8, 8) != Pixel(1, 120); }, 5s))
            << "the dialog draws its first page: " << Program->Err();
    }

    // The colour of a point of the client area.
    TRgb Pixel(int x, int y)
    {
        XImage* image = XGetImage(X, DefaultRootWindow(X.Get()), OriginX + x, OriginY + y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return {};
        const unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)};
    }
    TRgb PagePixel(int x, int y) { return Pixel(PageLeft + x, PageTop + y); }

    // The speed bar's filled share, read from its pixels along its middle.
    int FilledPixels()
    {
        int filled = 0;
        for (int x = 2; x < 343; ++x) {
            const TRgb p = PagePixel(23 + x, 94 + 8);
            if (p.B > 150 && p.R < 100) ++filled;
        }
        return filled;
    }

    // The bar's filled pixels once they are within 3 of expected, or the last reading when
    // they do not get there within a few seconds.
    int FilledPixelsNear(int expected)
    {
        return ReadUntil([&] { return FilledPixels(); }, [&](int filled) { return std::abs(filled - expected) <= 3; },
                         5s, 20ms);
    }

    // Clicks the Settings tab; true once its page is drawn, its folder box white.
    bool ShowSettingsPage()
    {
        Xdotool("mousemove " + At(90, 13) + " click 1");
        return WaitUntil([&] { return White(PagePixel(24 + 5, 31 + 7)); }, 5s, 20ms);
    }

    // Whether the program has GTK loaded, as FLTK loads it for the desktop's own box.
    bool ProgramHasGtk() const
    {
        std::ifstream maps("/proc/" + std::to_string(Program->Pid()) + "/maps");
        for (std::string line; std::getline(maps, line);)
            if (line.find("/libgtk-") != std::string::npos) return true;
        return false;
    }

    // Checks the formats box, presses Browse and names a picture of the folder the box opens
    // in (the program's current one), as a user types it; true once the box has closed.
    bool BrowseTo(const std::string& name, bool& desktopBox)
    {
        Xdotool("mousemove " + OnPage(24 + 6, 196 + 8) + " click 1");
        Xdotool("mousemove " + OnPage(376 + 40, 26 + 11) + " click 1");
        const Window box = ReadUntil([&] { return FindNamed(DefaultRootWindow(X.Get()), "Open"); },
                                     [](Window found) { return found != 0; }, 10s, 20ms);
        if (!box) return false;
        desktopBox = ProgramHasGtk();
        Xdotool("windowfocus --sync " + std::to_string(box));
        // GTK's box takes a typed path in its location field; FLTK's has its name field
        // focused, its text selected.
        if (desktopBox) Xdotool("key ctrl+l");
        Xdotool("key ctrl+a");
        RunXdotoolTyping(name);
        Xdotool("key Return");
        return WaitUntil([&] { return FindNamed(DefaultRootWindow(X.Get()), "Open") == 0; }, 10s, 20ms);
    }
    void RunXdotoolTyping(const std::string& text)
    {
        ChildProcess tool({"/usr/bin/xdotool", "type", "--delay", "5", text}, {"DISPLAY=" + Server.Name()}, "");
        tool.WaitExit(20s);
    }

    // A menu of the program's is open: a shown window straight under the root that no
    // window manager would handle (override-redirect), as a drop-down list is.
    bool MenuOpen()
    {
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(X, DefaultRootWindow(X.Get()), &root, &parent, &children, &count)) return false;
        bool open = false;
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes;
            open = open || (XGetWindowAttributes(X, children[i], &attributes) && attributes.map_state == IsViewable &&
                            attributes.override_redirect);
        }
        if (children) XFree(children);
        return open;
    }
};
}  // namespace

TEST_F(DialogGui, OpensWithTheStoredSettingsAndBothPagesAreLaidOut)
{
    StoreSettings(1024, 768, 32, 20);
    ASSERT_NO_FATAL_FAILURE(StartDialog());
    // About: the dark picture fills the page, its light card under the link.
    EXPECT_TRUE(Dark(PagePixel(8, 8))) << "the About picture starts at the page's corner";
    EXPECT_TRUE(Dark(PagePixel(480, 4))) << "dark where the version stands in white";
    EXPECT_TRUE(Light(PagePixel(300, 150))) << "light under the link";
    EXPECT_FALSE(Dark(Pixel(1, 120))) << "outside the page is the dialog's face";

    EXPECT_TRUE(ShowSettingsPage()) << "the folder box at 24, 31";
    EXPECT_TRUE(White(PagePixel(24 + 330, 31 + 7)));
    EXPECT_FALSE(White(PagePixel(24 + 5, 31 - 6))) << "the page picture above it";
    EXPECT_FALSE(White(PagePixel(24 + 5, 31 + 18))) << "and below it";
    EXPECT_FALSE(White(PagePixel(376 + 40, 26 + 11))) << "the Browse button at 376, 26";
    EXPECT_TRUE(White(PagePixel(23 + 300, 94 + 8))) << "the empty part of the speed bar";
    // The stored speed 20 of 1..100 fills a fifth of the bar.
    const int filled = FilledPixels();
    EXPECT_NEAR(filled, (20 - 1) * 341 / 99, 3);
    EXPECT_FALSE(Dark(PagePixel(21 + 60, 159 + 10))) << "the resolution list at 21, 159";

    Xdotool("mousemove " + At(256 + 36, 256 + 12) + " click 1");  // OK
    const std::optional<int> status = Program->WaitExit(5s);
    ASSERT_TRUE(status.has_value()) << "OK closes the dialog and ends the program";
    EXPECT_EQ(*status, 0) << Program->Err();
    // Saved unchanged: the dialog had loaded exactly what was stored.
    const std::string saved = SettingsText();
    EXPECT_NE(saved.find("\"Res_Width\"=" + Dword(1024)), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"Res_Bits\"=" + Dword(32)), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"Animate_Speed\"=" + Dword(20)), std::string::npos) << saved;
    EXPECT_NE(saved.find(Home.Str() + "/pictures"), std::string::npos) << saved;
}

TEST_F(DialogGui, ADragOnTheSpeedBarAndAChosenResolutionAreStoredByOk)
{
    StoreSettings(1024, 768, 32, 20);
    ASSERT_NO_FATAL_FAILURE(StartDialog());
    ASSERT_TRUE(ShowSettingsPage()) << "the Settings page opens";
    // Pressed inside the bar, moved to its middle, then far beyond its right end: the
    // captured moves outside still count.
    Xdotool("mousemove " + OnPage(23 + 40, 94 + 8) + " mousedown 1");
    Xdotool("mousemove " + OnPage(23 + 100, 94 + 8));
    Xdotool("mousemove " + OnPage(23 + 172, 94 + 30));
    const int half = (50 - 1) * 341 / 99;
    EXPECT_NEAR(FilledPixelsNear(half), half, 3) << "x = 172 gives 50";
    Xdotool("mousemove " + OnPage(23 + 700, 94 + 8));
    EXPECT_NEAR(FilledPixelsNear(341), 341, 3) << "far to the right gives 100";
    Xdotool("mousemove " + OnPage(23 + 172, 94 + 8) + " mouseup 1");
    ASSERT_NEAR(FilledPixelsNear(half), half, 3) << "back at 172, where the button comes up";
    Xdotool("mousemove " + OnPage(23 + 250, 94 + 8));
    // A fixed time: nothing would mark the bar's not moving.
    int filled = half;
    EXPECT_TRUE(HoldsFor(
        [&] {
            filled = FilledPixels();
            return std::abs(filled - half) <= 3;
        },
        300ms, 20ms))
        << "released at 172; a move afterwards changes nothing, but " << filled << " pixels are filled";

    // The list holds the usual sizes in order, each in 16 and 32 bits: one line up from the
    // stored 1024 x 768 x 32 is 1024 x 768 x 16.
    Xdotool("mousemove " + OnPage(21 + 60, 159 + 10) + " click 1");
    ASSERT_TRUE(WaitUntil([&] { return MenuOpen(); }, 5s)) << "the resolution list drops down";
    Xdotool("key Up");
    Xdotool("key Return");
    ASSERT_TRUE(WaitUntil([&] { return !MenuOpen(); }, 5s)) << "Return closes the list";
    Xdotool("mousemove " + At(256 + 36, 256 + 12) + " click 1");  // OK
    const std::optional<int> status = Program->WaitExit(5s);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0) << Program->Err();
    const std::string saved = SettingsText();
    EXPECT_NE(saved.find("\"Res_Width\"=" + Dword(1024)), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"Res_Bits\"=" + Dword(16)), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"Animate_Speed\"=" + Dword(50)), std::string::npos) << saved;
}

TEST_F(DialogGui, CancelStoresNothing)
{
    StoreSettings(800, 600, 16, 30);
    const std::string before = SettingsText();
    ASSERT_NO_FATAL_FAILURE(StartDialog());
    ASSERT_TRUE(ShowSettingsPage()) << "the Settings page opens";
    Xdotool("mousemove " + OnPage(23 + 10, 94 + 8) + " mousedown 1");
    Xdotool("mousemove " + OnPage(23 + 300, 94 + 8) + " mouseup 1");
    const int storedFill = (30 - 1) * 341 / 99;
    ASSERT_TRUE(WaitUntil([&] { return std::abs(FilledPixels() - storedFill) > 3; }, 5s, 20ms))
        << "the bar follows the drag";
    Xdotool("mousemove " + At(336 + 36, 256 + 12) + " click 1");  // Cancel
    const std::optional<int> status = Program->WaitExit(5s);
    ASSERT_TRUE(status.has_value()) << "Cancel closes the dialog";
    EXPECT_EQ(*status, 0) << Program->Err();
    EXPECT_EQ(SettingsText(), before);
}

TEST_F(DialogGui, PreviewRunsTheShowFullScreenAndAKeyBringsTheDialogBack)
{
    const TRgb orange{240, 120, 20};
    Home.WriteFile("pictures/a.jpg", MakeSolidJpeg(320, 240, orange));
    StoreSettings(1024, 768, 32, 5);
    const std::string before = SettingsText();
    ASSERT_NO_FATAL_FAILURE(StartDialog());
    ASSERT_TRUE(ShowSettingsPage()) << "the Settings page opens";
    // An unsaved speed goes into the preview, and must stay unsaved.
    Xdotool("mousemove " + OnPage(23 + 10, 94 + 8) + " mousedown 1");
    Xdotool("mousemove " + OnPage(23 + 200, 94 + 8) + " mouseup 1");
    Xdotool("mousemove " + At(4 + 44, 256 + 12) + " click 1");  // Preview

    const auto orangeShare = [&] { return ColourShare(X, DefaultRootWindow(X.Get()), orange, 4); };
    double share = ReadUntil(
        orangeShare, [](double seen) { return seen >= 0.9; }, 10s, 20ms);
    EXPECT_GE(share, 0.9) << "the picture fills the screen: " << Program->Err();

    // The show ignores its first 100 messages, so a key pressed too early is rightly lost:
    // press again until one ends the show.
    const auto ended = [](double seen) { return seen < 0.1; };
    for (int press = 0; press < 10 && !ended(share); ++press) {
        Xdotool("key a");
        share = ReadUntil(orangeShare, ended, 1s, 20ms);
    }
    EXPECT_LT(share, 0.1) << "a key press ended the show";
    ASSERT_TRUE(Program->Running()) << "the dialog is still there: " << Program->Err();
    EXPECT_TRUE(WaitUntil([&] { return FindNamed(DefaultRootWindow(X.Get()), "Vellumine - Settings") != 0; }, 5s));
    EXPECT_TRUE(WaitUntil([&] { return White(PagePixel(24 + 5, 31 + 7)); }, 5s, 20ms))
        << "the dialog is shown again, on its Settings page";
    EXPECT_EQ(SettingsText(), before) << "a preview writes nothing";

    Xdotool("mousemove " + At(336 + 36, 256 + 12) + " click 1");  // Cancel
    const std::optional<int> status = Program->WaitExit(5s);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0) << Program->Err();
    EXPECT_EQ(SettingsText(), before);
}

// FLTK takes GTK's box where GTK is installed (scripts/install-deps puts it on the test
// machines), unless its own options say otherwise; then it is FLTK's box with our preview.
TEST_F(DialogGui, BrowseOpensTheDesktopsBoxOrWithoutGtkFltksAndTakesThePicturesFolder)
{
    for (const bool useGtk : {true, false}) {
        SCOPED_TRACE(useGtk ? "GTK" : "FLTK");
        if (!useGtk)
            Home.WriteFile(".fltk/fltk.org/fltk.prefs",
                           "; FLTK preferences file format 1.0\n; vendor: fltk.org\n; application: fltk\n\n[.]\n\n"
                           "[./options]\nFNFCUsesGTK:0\n");
        const std::string folder = Home.Str() + (useGtk ? "/drawn" : "/scanned");
        Home.WriteFile(folder.substr(Home.Str().size() + 1) + "/b.png", "not decoded by the show's choice");
        StoreSettings(800, 600, 16, 30);
        ASSERT_NO_FATAL_FAILURE(StartDialog(folder));
        ASSERT_TRUE(ShowSettingsPage()) << "the Settings page opens";
        bool desktopBox = false;
        ASSERT_TRUE(BrowseTo("b.png", desktopBox)) << "the box closes on the typed name: " << Program->Err();
        EXPECT_EQ(desktopBox, useGtk);
        Xdotool("mousemove " + At(256 + 36, 256 + 12) + " click 1");  // OK
        const std::optional<int> status = Program->WaitExit(5s);
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(*status, 0) << Program->Err();
        const std::string saved = SettingsText();
        EXPECT_NE(saved.find("\"ImagesPath\"=\"" + folder + "\""), std::string::npos) << saved;
        EXPECT_NE(saved.find("\"AllPictureFormats\"=" + Dword(1)), std::string::npos) << saved;
    }
}
