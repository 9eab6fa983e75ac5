// The preview mode of the built program, drawing into a window of a real (virtual) X server
// as a settings page's preview box would offer it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui/XConnection.h"
#include "gui/XvfbServer.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {
using namespace std::chrono_literals;

constexpr int BoxWidth = 152;
constexpr int BoxHeight = 112;
constexpr unsigned long Background = 0x404040;  // what the host's window shows before a frame

int Distance(TRgb a, TRgb b) { return std::abs(a.R - b.R) + std::abs(a.G - b.G) + std::abs(a.B - b.B); }

struct Grab {
    int Width = 0;
    int Height = 0;
    std::vector<TRgb> Pixels;
    TRgb At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
    // The share of pixels within tolerance of colour.
    double Share(TRgb colour, int tolerance = 60) const
    {
        size_t near = 0;
        for (const TRgb& p : Pixels) near += Distance(p, colour) <= tolerance;
        return static_cast<double>(near) / static_cast<double>(Pixels.size());
    }
};

class PreviewGui : public ::testing::Test {
protected:
    XvfbServer Server;
    TempDir Home;
    XConnection Dpy{Server.Name()};
    Window Host = 0;
    std::unique_ptr<ChildProcess> Program;

    void SetUp() override { ASSERT_NE(Dpy.Get(), nullptr) << Server.Name(); }

    Window MakeWindow(Window parent, int x, int y, int width, int height, bool map)
    {
        const Window window = XCreateSimpleWindow(Dpy, parent, x, y, static_cast<unsigned>(width),
                                                  static_cast<unsigned>(height), 0, 0, Background);
        if (map) XMapWindow(Dpy, window);
        XSync(Dpy, False);
        return window;
    }

    // The preview box: a mapped 152 x 112 child of the root.
    void MakeHostWindow(bool map = true)
    {
        Host = MakeWindow(DefaultRootWindow(Dpy.Get()), 30, 40, BoxWidth, BoxHeight, map);
    }

    // The settings file naming folder as the picture folder, written as a user would.
    void StoreFolder(const std::string& folder)
    {
        std::string escaped;
        for (char c : folder) {
            if (c == '\\' || c == '"') escaped += '\\';
            escaped += c;
        }
        Home.WriteFile("config/vellumine/registry.reg",
                       "Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine]\n"
                       "\"ImagesPath\"=\"" +
                           escaped + "\"\n");
    }

    // One picture file in a fresh picture folder that the settings name.
    void UsePicture(const std::string& jpeg)
    {
        Home.WriteFile("pictures \"quoted\"/holiday/one.jpg", jpeg);
        StoreFolder(Home.Str() + "/pictures \"quoted\"");
    }

    void Start(const std::vector<std::string>& args, const std::string& display = "")
    {
        std::vector<std::string> argv{VELLUMINE_PROGRAM};
        argv.insert(argv.end(), args.begin(), args.end());
        Program = std::make_unique<ChildProcess>(
            argv,
            std::vector<std::string>{"DISPLAY=" + (display.empty() ? Server.Name() : display), "HOME=" + Home.Str(),
                                     "XDG_CONFIG_HOME=" + Home.Str() + "/config"},
            Home.Str() + "/stderr.txt");
    }

    void StartPreview(Window window) { Start({"/p", std::to_string(window)}); }

    Grab GrabWindow(Window window)
    {
        XWindowAttributes attributes;
        XGetWindowAttributes(Dpy, window, &attributes);
        Grab grab;
        XImage* image = XGetImage(Dpy, window, 0, 0, static_cast<unsigned>(attributes.width),
                                  static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
        if (!image) return grab;
        grab.Width = attributes.width;
        grab.Height = attributes.height;
        for (int y = 0; y < grab.Height; ++y)
            for (int x = 0; x < grab.Width; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                grab.Pixels.push_back(
                    {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)});
            }
        XDestroyImage(image);
        return grab;
    }

    // The window's pixels once the preview has drawn into it (nothing left of the
    // background), or empty after a few seconds without a frame.
    std::optional<Grab> WaitForFrame(Window window)
    {
        const TRgb background{0x40, 0x40, 0x40};
        std::optional<Grab> frame;
        const bool drawn = WaitUntil(
            [&] {
                frame = GrabWindow(window);
                return !frame->Pixels.empty() && frame->Share(background, 0) == 0.0;
            },
            5s, 20ms);
        if (!drawn) frame.reset();
        return frame;
    }

    // True once the preview has the window open: it listens for the window's structure
    // events before its first look at the window.
    bool WaitUntilWatched(Window window)
    {
        return WaitUntil(
            [&] {
                XWindowAttributes attributes{};
                return XGetWindowAttributes(Dpy, window, &attributes) &&
                       (attributes.all_event_masks & ~attributes.your_event_mask & StructureNotifyMask);
            },
            5s);
    }

    void ExpectOneLineError(const std::string& needle)
    {
        const std::string err = Program->Err();
        EXPECT_NE(err.find(needle), std::string::npos) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
    }
};

const TRgb Red{220, 30, 30};
const TRgb Green{30, 200, 40};
const TRgb Blue{30, 40, 220};
const TRgb Yellow{230, 220, 30};
}  // namespace

TEST_F(PreviewGui, QuadrantPictureShowsEachColourInItsPlace)
{
    UsePicture(MakeJpeg(QuadrantPicture(400, 300, Red, Green, Blue, Yellow)));
    MakeHostWindow();
    StartPreview(Host);
    const std::optional<Grab> frame = WaitForFrame(Host);
    ASSERT_TRUE(frame.has_value()) << Program->Err();
    ASSERT_EQ(frame->Width, BoxWidth);

    // Early frames show nearly the whole picture, so each quadrant's middle holds its colour
    // and each colour covers about a quarter of the box.
    EXPECT_LE(Distance(frame->At(BoxWidth / 4, BoxHeight / 4), Red), 60);
    EXPECT_LE(Distance(frame->At(3 * BoxWidth / 4, BoxHeight / 4), Green), 60);
    EXPECT_LE(Distance(frame->At(BoxWidth / 4, 3 * BoxHeight / 4), Blue), 60);
    EXPECT_LE(Distance(frame->At(3 * BoxWidth / 4, 3 * BoxHeight / 4), Yellow), 60);
    double total = 0;
    for (TRgb colour : {Red, Green, Blue, Yellow}) {
        const double share = frame->Share(colour);
        EXPECT_GT(share, 0.15);
        EXPECT_LT(share, 0.35);
        total += share;
    }
    EXPECT_GT(total, 0.95) << "almost every pixel is one of the four colours";
    EXPECT_TRUE(Program->Running());
}

TEST_F(PreviewGui, OneColourPictureFillsTheWholeWindow)
{
    const TRgb teal{20, 150, 140};
    UsePicture(MakeSolidJpeg(64, 48, teal));
    MakeHostWindow();
    StartPreview(Host);
    ASSERT_TRUE(WaitForFrame(Host).has_value()) << Program->Err();
    // Some frames later, well into the zoom. A fixed time: the preview shows no count of
    // its frames, and on a picture of one colour they all look alike.
    std::this_thread::sleep_for(200ms);
    const Grab frame = GrabWindow(Host);
    EXPECT_GE(frame.Share(teal, 12), 1.0) << "the last row and column too";
}

TEST_F(PreviewGui, HidingTheWindowEndsTheProgramWithStatusZero)
{
    UsePicture(MakeSolidJpeg(64, 48, Red));
    MakeHostWindow();
    StartPreview(Host);
    ASSERT_TRUE(WaitForFrame(Host).has_value()) << Program->Err();
    XUnmapWindow(Dpy, Host);
    XSync(Dpy, False);
    EXPECT_EQ(Program->WaitExit(1s), 0);
    EXPECT_EQ(Program->Err(), "");
}

TEST_F(PreviewGui, DestroyingTheWindowEndsTheProgramWithStatusZero)
{
    UsePicture(MakeSolidJpeg(64, 48, Red));
    MakeHostWindow();
    StartPreview(Host);
    ASSERT_TRUE(WaitForFrame(Host).has_value()) << Program->Err();
    XDestroyWindow(Dpy, Host);
    XSync(Dpy, False);
    EXPECT_EQ(Program->WaitExit(1s), 0);
    EXPECT_EQ(Program->Err(), "");
}

TEST_F(PreviewGui, HiddenWindowIsAwaitedThenDrawnWhenItsParentAppears)
{
    // Mapped itself, but inside a parent that is not: not visible, so no frame yet.
    UsePicture(MakeSolidJpeg(64, 48, Blue));
    const Window frame = MakeWindow(DefaultRootWindow(Dpy.Get()), 10, 10, 300, 200, false);
    Host = MakeWindow(frame, 20, 20, BoxWidth, BoxHeight, true);
    StartPreview(Host);
    ASSERT_TRUE(WaitUntilWatched(Host)) << "the preview opens the window: " << Program->Err();
    // Waiting for the window to become visible, it keeps running: a fixed time in which it
    // must not end.
    ASSERT_FALSE(Program->WaitExit(500ms).has_value()) << Program->Err();

    XMapWindow(Dpy, frame);
    XSync(Dpy, False);
    const std::optional<Grab> drawn = WaitForFrame(Host);
    ASSERT_TRUE(drawn.has_value());
    EXPECT_GT(drawn->Share(Blue), 0.99);
    XUnmapWindow(Dpy, frame);
    XSync(Dpy, False);
    EXPECT_EQ(Program->WaitExit(1s), 0);
}

TEST_F(PreviewGui, WindowDestroyedBeforeItWasShownFailsPromptly)
{
    UsePicture(MakeSolidJpeg(64, 48, Blue));
    MakeHostWindow(false);
    StartPreview(Host);
    // Destroyed only once the preview has it open and waits for it to be shown, a while in
    // which it must not end.
    ASSERT_TRUE(WaitUntilWatched(Host)) << "the preview opens the window: " << Program->Err();
    ASSERT_FALSE(Program->WaitExit(300ms).has_value()) << Program->Err();
    XDestroyWindow(Dpy, Host);
    XSync(Dpy, False);
    const std::optional<int> status = Program->WaitExit(1s);
    ASSERT_TRUE(status.has_value());
    EXPECT_NE(*status, 0);
    ExpectOneLineError(std::to_string(Host));
}

TEST_F(PreviewGui, WindowIdNamingNoWindowFailsPromptly)
{
    UsePicture(MakeSolidJpeg(64, 48, Blue));
    MakeHostWindow();
    const Window gone = MakeWindow(DefaultRootWindow(Dpy.Get()), 0, 0, 10, 10, true);
    XDestroyWindow(Dpy, gone);
    XSync(Dpy, False);
    for (const std::string& id : {std::to_string(gone), std::string("0"), std::string("4294967295")}) {
        Start({"/p", id});
        const std::optional<int> status = Program->WaitExit(2s);
        ASSERT_TRUE(status.has_value()) << id;
        EXPECT_NE(*status, 0) << id;
        ExpectOneLineError("does not exist");
    }
}

TEST_F(PreviewGui, BadWindowArgumentFailsWithAMessage)
{
    UsePicture(MakeSolidJpeg(64, 48, Blue));
    MakeHostWindow();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"/p"}, {"/p", std::to_string(Host) + "ab"}, {"-p", "-5"}, {"p", "99999999999999999999"}}) {
        Start(args);
        const std::optional<int> status = Program->WaitExit(2s);
        ASSERT_TRUE(status.has_value());
        EXPECT_NE(*status, 0);
        ExpectOneLineError("window id");
    }
    EXPECT_EQ(GrabWindow(Host).Share({0x40, 0x40, 0x40}, 0), 1.0) << "nothing drawn";
}

TEST_F(PreviewGui, NoPicturesEndsAtOnceLeavingTheWindowAlone)
{
    Home.WriteFile("pictures/readme.txt", "no pictures here");
    StoreFolder(Home.Str() + "/pictures");
    MakeHostWindow();
    StartPreview(Host);
    EXPECT_EQ(Program->WaitExit(1s), 0);
    EXPECT_EQ(Program->Err(), "");
    EXPECT_EQ(GrabWindow(Host).Share({0x40, 0x40, 0x40}, 0), 1.0);
}

TEST_F(PreviewGui, NoDisplayFailsWithAMessage)
{
    UsePicture(MakeSolidJpeg(64, 48, Blue));
    MakeHostWindow();
    for (const std::string& display : {std::string("="), std::string(":4242")}) {
        // "DISPLAY=" with nothing after it removes the variable.
        std::vector<std::string> argv{VELLUMINE_PROGRAM, "/p", std::to_string(Host)};
        Program = std::make_unique<ChildProcess>(
            argv,
            std::vector<std::string>{display == "=" ? "DISPLAY=" : "DISPLAY=" + display, "HOME=" + Home.Str(),
                                     "XDG_CONFIG_HOME=" + Home.Str() + "/config"},
            Home.Str() + "/stderr.txt");
        const std::optional<int> status = Program->WaitExit(2s);
        ASSERT_TRUE(status.has_value());
        EXPECT_NE(*status, 0);
        ExpectOneLineError("display");
    }
}
