#include "preview/Preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "core/Random.h"
#include "framework/Bitmap.h"
#include "preview/PreviewHost.h"
#include "settings/Settings.h"
#include "support/RegistrySandbox.h"
#include "support/TestSupport.h"

namespace {
using State = TPreviewWindowState;

struct Colour {
    uint8_t B, G, R;
    bool operator==(const Colour&) const = default;
};
constexpr Colour White{255, 255, 255};

Colour PixelAt(const TBitmap& bitmap, int x, int y)
{
    const uint8_t* p = bitmap.ScanLine(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

// Stands in for the window system: a scripted window and a log of what the preview asked.
class FakeHost : public TPreviewHost {
public:
    TPreviewRect Rect{100, 50, 252, 162};  // 152 x 112, a settings page's preview box
    std::string OpenError;
    // The window's state at the first tests; after them it is visible until HideAfterFrames
    // frames were presented, and EndState from then on.
    std::vector<State> States;
    int HideAfterFrames = 3;
    State EndState = State::Hidden;

    std::vector<std::string> Calls;
    std::vector<TBitmap> Frames;  // each presented frame, cut to the size presented
    uint32_t OpenedHandle = 0;
    int CanvasesHeld = 0;
    int BackBufferWidth = 0;
    int BackBufferHeight = 0;

    TPreviewRect OpenWindow(uint32_t handle) override
    {
        Calls.push_back("open");
        OpenedHandle = handle;
        if (!OpenError.empty()) throw Exception(OpenError);
        return Rect;
    }
    void CreateCanvas() override
    {
        Calls.push_back("canvas");
        ++CanvasesHeld;
    }
    void ReleaseCanvas() noexcept override
    {
        if (CanvasesHeld > 0) Calls.push_back("release");
        CanvasesHeld = 0;
    }
    TPreviewWindowState WindowState() override
    {
        Calls.push_back("state");
        if (FStateIndex < States.size()) return States[FStateIndex++];
        return static_cast<int>(Frames.size()) < HideAfterFrames ? State::Visible : EndState;
    }
    void ProcessMessages() override { Calls.push_back("process"); }
    void WaitMessages() override { Calls.push_back("wait"); }
    void Present(const TBitmap& backBuffer, int width, int height) override
    {
        Calls.push_back("present");
        BackBufferWidth = backBuffer.Width();
        BackBufferHeight = backBuffer.Height();
        TBitmap frame;
        frame.SetSize(width, height);
        for (int y = 0; y < height; ++y) std::copy_n(backBuffer.ScanLine(y), 3 * width, frame.ScanLine(y));
        Frames.push_back(std::move(frame));
    }
    void Sleep(int milliseconds) override { Calls.push_back("sleep " + std::to_string(milliseconds)); }

    size_t Count(const std::string& call) const { return std::count(Calls.begin(), Calls.end(), call); }

private:
    size_t FStateIndex = 0;
};

// Pictures that are one colour each, chosen by the file's name, so a frame tells which
// picture it shows. Names holding "bad" do not decode (after scribbling on the bitmap).
class FakeLoader {
public:
    std::vector<std::string> Loaded;

    TPreviewPictureLoader Function()
    {
        return [this](const std::string& path, TBitmap& picture) {
            Loaded.push_back(path);
            const bool bad = path.find("bad") != std::string::npos;
            if (path.find("throws") != std::string::npos) throw std::runtime_error("broken decoder");
            Fill(picture, ColourOf(path));
            return !bad;
        };
    }

    static Colour ColourOf(const std::string& path)
    {
        const size_t h = std::hash<std::string>{}(path);
        return {static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(h >> 16 & 0x7F)};
    }

    static void Fill(TBitmap& picture, Colour colour)
    {
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x) {
                uint8_t* p = picture.ScanLine(y) + 3 * x;
                p[0] = colour.B;
                p[1] = colour.G;
                p[2] = colour.R;
            }
    }
};

class Preview : public ::testing::Test {
protected:
    RegistrySandbox Sandbox;
    TempDir Pictures;
    FakeHost Host;
    FakeLoader Loader;
    std::string Err;

    // Picture files named 00.jpg, 01.jpg, ... (or as given) in the picture folder.
    void MakePictures(int count, const std::string& stem = "")
    {
        for (int i = 0; i < count; ++i) Pictures.WriteFile(stem + (i < 10 ? "0" : "") + std::to_string(i) + ".jpg");
        SaveSettings(Pictures.Str(), std::nullopt, 5);
    }

    int Run(const std::string& param = "4711", uint32_t seed = 1234)
    {
        SetRandSeed(seed);
        std::ostringstream err;
        const int status = RunPreview(Host, param, err, Loader.Function());
        Err = err.str();
        return status;
    }

    // The pictures a run with this seed shows, in their order: the first five of the
    // folder's shuffled list.
    std::vector<std::string> Chosen(uint32_t seed = 1234)
    {
        SetRandSeed(seed);
        TPictureList list;
        FindPictureFiles(list, Pictures.Str(), PictureMasks());
        ShufflePictureList(list);
        if (list.size() > 5) list.resize(5);
        return list;
    }

    // Which of the chosen pictures each frame shows, found by its colour.
    std::vector<int> ShownPictures(const std::vector<std::string>& chosen)
    {
        std::vector<int> shown;
        for (const TBitmap& frame : Host.Frames) {
            const Colour c = PixelAt(frame, frame.Width() / 2, frame.Height() / 2);
            int index = -1;
            for (size_t i = 0; i < chosen.size(); ++i)
                if (FakeLoader::ColourOf(chosen[i]) == c) index = static_cast<int>(i);
            shown.push_back(index);
        }
        return shown;
    }

    void ExpectOneLine() const
    {
        ASSERT_FALSE(Err.empty());
        EXPECT_EQ(Err.find('\n'), Err.size() - 1) << "exactly one line: " << Err;
    }
};
}  // namespace

TEST(ParsePreviewWindowHandle, AcceptsDecimalDigitsUpToThirtyTwoBits)
{
    EXPECT_EQ(ParsePreviewWindowHandle("4711"), 4711u);
    EXPECT_EQ(ParsePreviewWindowHandle("0"), 0u);
    EXPECT_EQ(ParsePreviewWindowHandle("007"), 7u);
    EXPECT_EQ(ParsePreviewWindowHandle("4294967295"), 4294967295u);
    for (const char* bad : {"", "12AB", "-5", "+5", " 5", "5 ", "0X1F", "1.5", "4294967296", "99999999999999999999999"})
        EXPECT_FALSE(ParsePreviewWindowHandle(bad).has_value()) << bad;
}

TEST_F(Preview, BadWindowArgumentFailsWithOneLineBeforeTouchingAnything)
{
    MakePictures(3);
    for (const char* param : {"", "12AB", "-5", "18446744073709551616", "1\n2"}) {
        Host.Calls.clear();
        EXPECT_EQ(Run(param), 1) << param;
        ExpectOneLine();
        EXPECT_TRUE(Host.Calls.empty()) << param;
    }
    EXPECT_TRUE(Loader.Loaded.empty());
}

TEST_F(Preview, WindowThatCannotBeOpenedFailsWithItsMessage)
{
    MakePictures(3);
    Host.OpenError = "window 4711 does not exist on this display";
    EXPECT_EQ(Run(), 1);
    ExpectOneLine();
    EXPECT_NE(Err.find("window 4711 does not exist"), std::string::npos) << Err;
    EXPECT_EQ(Host.OpenedHandle, 4711u);
    EXPECT_EQ(Host.Calls, std::vector<std::string>{"open"});
    EXPECT_TRUE(Loader.Loaded.empty());
}

TEST_F(Preview, WithoutPicturesEndsAtOnceDrawingNothing)
{
    // No folder stored, a folder that is gone, a file instead of a folder, a folder without pictures.
    const std::vector<std::function<void()>> setups{
        [] {},
        [this] { SaveSettings(Pictures.Str() + "/missing", std::nullopt, 5); },
        [this] { SaveSettings(Pictures.WriteFile("a.jpg").string(), std::nullopt, 5); },
        [this] {
            Pictures.WriteFile("empty/notes.txt");
            SaveSettings(Pictures.Str() + "/empty", std::nullopt, 5);
        },
    };
    for (size_t i = 0; i < setups.size(); ++i) {
        setups[i]();
        Host.Calls.clear();
        EXPECT_EQ(Run(), 0) << i;
        EXPECT_EQ(Err, "") << i;
        EXPECT_EQ(Host.Calls, (std::vector<std::string>{"open", "canvas", "release"})) << i;
    }
    EXPECT_TRUE(Loader.Loaded.empty());
}

TEST_F(Preview, FramesAreTheWindowsSizeOnABufferOnePixelLargerEachWay)
{
    MakePictures(2);
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(Host.Frames.size(), 3u);
    EXPECT_EQ(Host.BackBufferWidth, 153);
    EXPECT_EQ(Host.BackBufferHeight, 113);
    for (const TBitmap& frame : Host.Frames) {
        EXPECT_EQ(frame.Width(), 152);
        EXPECT_EQ(frame.Height(), 112);
    }
}

TEST_F(Preview, EachFrameTestsFirstThenDrawsSleepsAndHandlesEvents)
{
    MakePictures(2);
    Host.HideAfterFrames = 2;
    EXPECT_EQ(Run(), 0);
    const std::vector<std::string> expected{"open",  "canvas",  "state",    "state",   "present", "sleep 20", "process",
                                            "state", "present", "sleep 20", "process", "state",   "release"};
    EXPECT_EQ(Host.Calls, expected);
}

TEST_F(Preview, FirstFrameShowsThePictureWhole)
{
    // A picture whose pixels name their place: the first frame (zoom step 1, a picture the
    // size of the window) is its top-left corner, one to one.
    MakePictures(1);
    const TPreviewPictureLoader numbered = [](const std::string&, TBitmap& picture) {
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x) {
                uint8_t* p = picture.ScanLine(y) + 3 * x;
                p[0] = static_cast<uint8_t>(x);
                p[1] = static_cast<uint8_t>(y);
                p[2] = 7;
            }
        return true;
    };
    Host.HideAfterFrames = 1;
    SetRandSeed(1);
    std::ostringstream err;
    EXPECT_EQ(RunPreview(Host, "1", err, numbered), 0);
    ASSERT_EQ(Host.Frames.size(), 1u);
    const TBitmap& frame = Host.Frames[0];
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x)
            ASSERT_EQ(PixelAt(frame, x, y), (Colour{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7}))
                << x << "," << y;
}

TEST_F(Preview, ShowsTheFirstFiveShuffledPicturesInTurnOfThreeHundredThirtyFourFrames)
{
    MakePictures(20);
    const std::vector<std::string> chosen = Chosen();
    ASSERT_EQ(chosen.size(), 5u);
    Host.HideAfterFrames = 334 * 7;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Loader.Loaded, chosen) << "the five are loaded once, in their order";

    const std::vector<int> shown = ShownPictures(chosen);
    ASSERT_EQ(shown.size(), 334u * 7);
    for (size_t frame = 0; frame < shown.size(); ++frame)
        ASSERT_EQ(shown[frame], static_cast<int>(frame / 334 % 5)) << "frame " << frame;
}

TEST_F(Preview, OnePictureKeepsReturning)
{
    MakePictures(1);
    Host.HideAfterFrames = 334 * 3 + 10;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Loader.Loaded.size(), 1u);
    const std::vector<int> shown = ShownPictures(Chosen());
    ASSERT_EQ(shown.size(), 334u * 3 + 10);
    for (int index : shown) ASSERT_EQ(index, 0);
}

TEST_F(Preview, PictureThatDoesNotDecodeIsShownWhiteInItsTurn)
{
    MakePictures(2, "bad");
    MakePictures(1, "throws");
    MakePictures(2, "good");
    const std::vector<std::string> chosen = Chosen();
    ASSERT_EQ(chosen.size(), 5u);
    Host.HideAfterFrames = 334 * 5;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Err, "");
    ASSERT_EQ(Host.Frames.size(), 334u * 5);
    for (size_t turn = 0; turn < 5; ++turn) {
        const bool good = chosen[turn].find("good") != std::string::npos;
        const TBitmap& frame = Host.Frames[turn * 334 + 100];
        const Colour expected = good ? FakeLoader::ColourOf(chosen[turn]) : White;
        for (int y = 0; y < frame.Height(); y += 7)
            for (int x = 0; x < frame.Width(); x += 7)
                ASSERT_EQ(PixelAt(frame, x, y), expected) << chosen[turn] << " at " << x << "," << y;
    }
}

TEST_F(Preview, WaitsForAHiddenWindowWithoutDrawing)
{
    MakePictures(3);
    Host.States = {State::Hidden, State::Hidden, State::Hidden};
    Host.HideAfterFrames = 1;
    EXPECT_EQ(Run(), 0);
    const std::vector<std::string> expected{"open",    "canvas",   "state",   "wait",  "state",
                                            "wait",    "state",    "wait",    "state", "state",
                                            "present", "sleep 20", "process", "state", "release"};
    EXPECT_EQ(Host.Calls, expected);
}

TEST_F(Preview, WindowDestroyedBeforeItWasShownFails)
{
    MakePictures(3);
    Host.States = {State::Hidden, State::Hidden, State::Gone};
    EXPECT_EQ(Run(), 1);
    ExpectOneLine();
    EXPECT_NE(Err.find("4711"), std::string::npos) << Err;
    EXPECT_EQ(Host.Count("present"), 0u);
    EXPECT_EQ(Host.Calls.back(), "release");
}

TEST_F(Preview, HidingOrDestroyingTheWindowAfterFramesEndsCleanly)
{
    MakePictures(3);
    for (State end : {State::Hidden, State::Gone}) {
        Host = FakeHost();
        Host.HideAfterFrames = 40;
        Host.EndState = end;
        EXPECT_EQ(Run(), 0);
        EXPECT_EQ(Err, "");
        EXPECT_EQ(Host.Frames.size(), 40u);
        EXPECT_EQ(Host.Calls.back(), "release");
        EXPECT_EQ(Host.CanvasesHeld, 0);
    }
}
