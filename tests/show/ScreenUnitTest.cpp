// The show form over the platform's DirectDraw in a window: the end-of-show test fed with
// message records, the cyclic walk of the picture list, and pictures that cannot be loaded.
#include "show/ScreenUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/Paths.h"
#include "core/Random.h"
#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/WinApi.h"
#include "support/JpegMaker.h"
#include "support/PngMaker.h"
#include "support/TestSupport.h"
#include "wdx/DirectXBinding.h"
#include "wdx/SurfacePreparer.h"
#include "wdx/WDirectDrawBasicSurface.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectX.h"

namespace {
const TRgb Red{255, 0, 0};
const TRgb Blue{0, 0, 255};

// An environment variable set for a scope, as a test's run of the program would have it.
class TEnvironment {
public:
    TEnvironment(const char* name, const std::string& value) : FName(name) { Set(FName + "=" + value); }
    ~TEnvironment() { Set(FName + "="); }  // an empty value removes it

private:
    static void Set(const std::string& assignment)
    {
#ifdef _WIN32
        _putenv(assignment.c_str());
#else
        const size_t equals = assignment.find('=');
        if (equals + 1 == assignment.size())
            unsetenv(assignment.substr(0, equals).c_str());
        else
            setenv(assignment.substr(0, equals).c_str(), assignment.c_str() + equals + 1, 1);
#endif
    }
    std::string FName;
};

class ScreenUnit : public ::testing::Test {
protected:
    TempDir Dir;
    std::unique_ptr<TScrnFrm> Form;
    TShowOptions Options;
    std::vector<std::string> Boxes;
    int Closes = 0;

    void SetUp() override
    {
        ASSERT_TRUE(LoadDirectXLibraries());
        SetMessageBoxHandler([this](const std::string& text, const std::string&, TMsgIcon) { Boxes.push_back(text); });
        // No mode has this size, so the show takes the desktop's own full-screen mode.
        Options.Settings = TShowSettings{Dir.Str(), {1, 1, 1}, 5};
    }
    void TearDown() override
    {
        if (Form && Form->WDirectX->Active()) Form->WDirectX->StopAll();
        Form.reset();
        SetMessageBoxHandler(nullptr);
    }

    void Create()
    {
        Form = std::make_unique<TScrnFrm>(nullptr, Options);
        // Counts the closes the hook asks for and keeps the form, which the test owns.
        Form->OnClose = TCloseEvent::Of<&ScreenUnit::Closing>(this);
    }
    void Closing(TObject*, TCloseAction& action)
    {
        ++Closes;
        action = caNone;
    }

    std::string Good(const std::string& name, TRgb colour = Red)
    {
        return Dir.WriteFile(name, MakeSolidJpeg(40, 30, colour)).string();
    }
    std::string Bad(const std::string& name) { return Dir.WriteFile(name, "\xFF\xD8\xFF\xE0 not a picture").string(); }

    bool Feed(UINT message, uint32_t lParam = 0)
    {
        MSG msg{};
        msg.message = message;
        msg.lParam = static_cast<LPARAM>(lParam);
        bool handled = false;
        Form->DeactivateScrnSaver(msg, handled);
        EXPECT_FALSE(handled) << "every message is dispatched as usual";
        return Closes > 0;
    }
    static uint32_t At(int x, int y)
    {
        return static_cast<uint32_t>(x & 0xFFFF) | static_cast<uint32_t>(y & 0xFFFF) << 16;
    }
    void SkipIgnored()
    {
        for (int i = 0; i < 100; ++i) Feed(WM_TIMER);
    }
};

TEST_F(ScreenUnit, TheFirstHundredMessagesOfAnyKindAreIgnored)
{
    Create();
    EXPECT_EQ(Form->IgnoreCount(), 100);
    for (int i = 0; i < 50; ++i) EXPECT_FALSE(Feed(WM_KEYDOWN)) << i;
    for (int i = 0; i < 25; ++i) EXPECT_FALSE(Feed(WM_PAINT));
    for (int i = 0; i < 24; ++i) EXPECT_FALSE(Feed(WM_ACTIVATEAPP));
    EXPECT_FALSE(Feed(WM_MOUSEMOVE, At(900, 900)));
    EXPECT_EQ(Form->IgnoreCount(), 0);
    EXPECT_TRUE(Feed(WM_KEYDOWN)) << "the 101st message counts";
    EXPECT_EQ(Closes, 1);
}

TEST_F(ScreenUnit, KeysAndActivationChangesCloseButClicksAndOthersDoNot)
{
    Create();
    SkipIgnored();
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_SYSKEYDOWN, WM_KEYUP,
                         WM_TIMER, WM_PAINT, WM_CHAR})
        EXPECT_FALSE(Feed(message)) << std::hex << message;
    for (UINT message : {WM_KEYDOWN, WM_ACTIVATE, WM_ACTIVATEAPP, WM_NCACTIVATE}) {
        Closes = 0;
        EXPECT_TRUE(Feed(message)) << std::hex << message;
    }
}

TEST_F(ScreenUnit, ForTheSoakActivationChangesOnlyStopTheDeviceAndTheTraceMarksItsStartsAndStops)
{
    const std::string trace = (Dir.Path() / "trace.txt").string();
    Good("a.jpg");
    {
        const TEnvironment keep("VELLUMINE_SHOW_KEEP_ON_FOCUS", "1"), traced("VELLUMINE_SHOW_TRACE", trace);
        Create();
    }
    SkipIgnored();
    for (UINT message : {WM_ACTIVATE, WM_ACTIVATEAPP, WM_NCACTIVATE})
        EXPECT_FALSE(Feed(message)) << std::hex << message;
    EXPECT_TRUE(Feed(WM_KEYDOWN));
    Form->WDirectX->StartAll();
    Form->WDirectX->StopAll();  // as when the focus goes
    Form->WDirectX->StartAll();
    // Device lines are written out at once, while the show runs.
    std::ifstream in(trace);
    std::vector<std::string> marks;
    for (std::string line; std::getline(in, line);)
        if (line.rfind("device ", 0) == 0) marks.push_back(line);
    EXPECT_EQ(marks, (std::vector<std::string>{"device started", "device stopped", "device started"}));
}

TEST_F(ScreenUnit, TheMouseMayWanderFivePixelsFromItsStart)
{
    Create();
    SkipIgnored();
    const TPoint s = Form->StartCursor();
    // Negative positions do not exist on the screen; the left and top margins stop at 0.
    const int left = std::min(5, s.X), up = std::min(5, s.Y);
    for (const auto& [dx, dy] :
         std::vector<std::pair<int, int>>{{0, 0}, {5, 5}, {-left, -up}, {5, -up}, {-left, 0}, {0, 0}})
        EXPECT_FALSE(Feed(WM_MOUSEMOVE, At(s.X + dx, s.Y + dy))) << dx << "," << dy;
    EXPECT_TRUE(Feed(WM_MOUSEMOVE, At(s.X + 6, s.Y))) << "six pixels across";
    Closes = 0;
    EXPECT_TRUE(Feed(WM_MOUSEMOVE, At(s.X, s.Y + 6))) << "six pixels down";
    Closes = 0;
    EXPECT_TRUE(Feed(WM_MOUSEMOVE, At(s.X + 300, s.Y + 300)));
}

TEST_F(ScreenUnit, CoordinatesAreUnsigned16BitHalves)
{
    Create();
    SkipIgnored();
    const TPoint s = Form->StartCursor();
    // 0xFFFF is 65535, far from any start, never -1.
    EXPECT_TRUE(Feed(WM_MOUSEMOVE, At(0xFFFF, s.Y)));
    Closes = 0;
    EXPECT_TRUE(Feed(WM_MOUSEMOVE, At(s.X, 0xFFFF)));
}

TEST_F(ScreenUnit, ThePictureListIsWalkedCyclically)
{
    Create();
    std::string name = "stale";
    EXPECT_FALSE(Form->NextPictureName(name)) << "an empty folder gives no picture";
    EXPECT_EQ(name, "");
    Form->SetPictures({"a.jpg", "b.jpg", "c.jpg"});
    std::vector<std::string> walked;
    for (int i = 0; i < 7; ++i) {
        ASSERT_TRUE(Form->NextPictureName(name));
        walked.push_back(name);
    }
    EXPECT_EQ(walked, (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg", "a.jpg", "b.jpg", "c.jpg", "a.jpg"}));
    EXPECT_EQ(Form->PictureIndex(), 0);
}

TEST_F(ScreenUnit, CreationNamesTheFirstPictureOfTheShuffledFolder)
{
    const std::string one = Good("one.jpg");
    const std::string two = Good("sub/two.JPEG");
    Dir.WriteFile("notes.txt", "x");
    Create();
    ASSERT_EQ(Form->Pictures().size(), 2u);
    EXPECT_TRUE(Form->HavePicture());
    EXPECT_EQ(Form->PictureIndex(), 0);
    EXPECT_EQ(Form->WSurface->Image, Form->Pictures()[0]);
    EXPECT_TRUE(Form->WSurface->UseFile);
    EXPECT_EQ(Form->ImagesPath(), Dir.Str());
    EXPECT_FALSE(Form->tmrAnim->Enabled()) << "the animation starts with the first frame";
}

TEST_F(ScreenUnit, EveryFormatShowsTheOtherKindsAndWithoutItTheyAreNotLookedAt)
{
    const std::string png =
        Dir.WriteFile("b.PNG", MakePng(44, 33, [](int x, int y) { return uint32_t(x * 5) << 16 | uint32_t(y * 7); }))
            .string();
    for (const bool every : {false, true}) {
        SCOPED_TRACE(every);
        Options.Settings->AllPictureFormats = every;
        Create();
        EXPECT_EQ(Form->HavePicture(), every);
        Form->WDirectX->StartAll();
        ASSERT_TRUE(Form->WDirectX->Active());
        if (every) {
            EXPECT_EQ(Form->CurrentPicture(), png);
            EXPECT_EQ(Form->WSurface->Width, 44);
            EXPECT_EQ(Form->WSurface->Height, 33);
        }
        Form->WDirectX->StopAll();
        Form.reset();
    }
}

TEST_F(ScreenUnit, AnEmptyFolderGivesAnEmptyImageAndDrawsNothing)
{
    Create();
    EXPECT_FALSE(Form->HavePicture());
    EXPECT_FALSE(Form->WSurface->UseFile);
    Form->WDirectX->StartAll();
    ASSERT_TRUE(Form->WDirectX->Active());
    bool done = true;
    Form->WDirectXIdle(Form->WDirectX, done);
    EXPECT_TRUE(Form->tmrAnim->Enabled());
    EXPECT_TRUE(done);
    // Past the end of the first "picture" every tick asks for the next one and nothing happens.
    for (int i = 0; i < 300; ++i) Form->tmrAnimTimer(Form->tmrAnim);
    EXPECT_TRUE(Form->WDirectX->Active());
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(ScreenUnit, AFirstPictureThatDoesNotDecodeIsPassedOver)
{
    Bad("a-bad.jpg");
    Bad("b-bad.jpg");
    const std::string good = Good("c-good.jpg", Blue);
    Create();
    ASSERT_TRUE(Form->HavePicture());
    EXPECT_EQ(Form->WSurface->Image, good);
    Form->WDirectX->StartAll();
    ASSERT_TRUE(Form->WDirectX->Active());
    EXPECT_TRUE(Form->WSurface->Active());
    EXPECT_EQ(Form->WSurface->Width, 40);
}

TEST_F(ScreenUnit, AFirstPictureRefusedPastItsHeaderIsSkippedAtTheDevicesStart)
{
    // The check reads headers only; a file of too many scans passes it and is refused by the
    // one decode, into the surface, as the device starts.
    const std::string bomb =
        Dir.WriteFile("bomb.jpg", MakeJpeg(TRgbPicture(24, 16, Red), {.Colour = TJpegColour::Grayscale, .Scans = 300}))
            .string();
    const struct {
        const char* what;
        bool withGood;
    } cases[] = {{"the next picture that loads is shown", true}, {"none loads: the show runs empty", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string good = c.withGood ? Good("good.jpg", Blue) : "";
        Options.PictureCheck = [&](const std::string& path) { return PictureDecodes(path) && path == bomb; };
        Create();
        ASSERT_TRUE(Form->HavePicture()) << "the header passes the check";
        ASSERT_EQ(Form->WSurface->Image, bomb);
        Form->WDirectX->StartAll();
        ASSERT_TRUE(Form->WDirectX->Active()) << "the refused picture does not fail the start";
        EXPECT_TRUE(Form->WSurface->Active());
        EXPECT_EQ(Form->HavePicture(), c.withGood);
        EXPECT_EQ(Form->CurrentPicture(), good);
        EXPECT_EQ(Form->WSurface->UseFile, c.withGood);
        if (c.withGood) {
            EXPECT_EQ(Form->WSurface->Width, 40);
        }
        EXPECT_FALSE(Form->WDirectX->ExceptionIgnore);
        EXPECT_TRUE(Boxes.empty());
        Form->WDirectX->StopAll();
        Form.reset();
        if (c.withGood) std::filesystem::remove(good);
    }
}

TEST_F(ScreenUnit, AFolderOfUndecodablePicturesRunsAsAnEmptyOne)
{
    Bad("a.jpg");
    Bad("b.jpeg");
    Create();
    EXPECT_FALSE(Form->HavePicture());
    EXPECT_FALSE(Form->WSurface->UseFile);
    Form->WDirectX->StartAll();
    EXPECT_TRUE(Form->WDirectX->Active());
}

TEST_F(ScreenUnit, TheCheckTheShowIsMadeWithDecidesWhichFilesAreTaken)
{
    // Neither file decodes, so the default check would take none of them.
    const std::string a = Bad("a.jpg");
    const std::string b = Bad("b.jpg");
    const struct {
        const char* what;
        TPictureCheck check;
        std::string first;  // empty: whichever the shuffle put first
    } cases[] = {
        {"no check takes the list's first file", nullptr, ""},
        {"a check of the maker's own", [&](const std::string& path) { return path == b; }, b},
    };
    for (const auto& c : cases) {
        Options.PictureCheck = c.check;
        Create();
        ASSERT_TRUE(Form->HavePicture()) << c.what;
        EXPECT_EQ(Form->WSurface->Image, c.first.empty() ? Form->Pictures()[0] : c.first) << c.what;
        EXPECT_TRUE(Form->WSurface->UseFile) << c.what;
        Form.reset();
    }
}

TEST_F(ScreenUnit, ALaterPictureThatCannotBeLoadedIsSkippedWithoutABox)
{
    const std::string first = Good("first.jpg");
    Create();
    Form->WDirectX->StartAll();
    ASSERT_TRUE(Form->WSurface->Active());
    const std::string second = Good("second.jpg", Blue);
    Form->SetPictures({Bad("broken.jpg"), (Dir.Path() / "gone.jpg").string(), second});
    Form->ShowNextPicture();
    EXPECT_EQ(Form->CurrentPicture(), second);
    EXPECT_TRUE(Form->WSurface->Active());
    EXPECT_TRUE(Form->WDirectX->Active()) << "the device keeps running";
    EXPECT_FALSE(Form->WDirectX->ExceptionIgnore) << "the stored value comes back";
    EXPECT_EQ(Form->PictureIndex(), 2);
    EXPECT_TRUE(Boxes.empty());

    // When nothing in the list loads any more, the show goes on as with an empty folder.
    Form->SetPictures({Bad("x.jpg"), Bad("y.jpg")});
    Form->ShowNextPicture();
    EXPECT_FALSE(Form->HavePicture());
    EXPECT_FALSE(Form->WSurface->UseFile);
    EXPECT_TRUE(Form->WDirectX->Active());
    const int32_t index = Form->PictureIndex();
    Form->ShowNextPicture();
    EXPECT_EQ(Form->PictureIndex(), index) << "no more attempts";
    bool done = true;
    Form->WDirectXIdle(Form->WDirectX, done);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(ScreenUnit, ClosingStopsTheDeviceAndFreesTheForm)
{
    Good("one.jpg");
    Create();
    Form->WDirectX->StartAll();
    ASSERT_TRUE(Form->WDirectX->Active());
    TCloseAction action = caHide;
    Form->FormClose(Form.get(), action);
    EXPECT_EQ(action, caFree);
    EXPECT_FALSE(Form->WDirectX->Active());
    EXPECT_FALSE(Form->tmrAnim->Enabled());
}

// What a change of picture leaves for everyone to see: the walk, the animation, the surface
// with its size and pixels.
struct TChangeSeen {
    std::string Picture;
    int32_t Index = 0;
    int Animation = 0, FocusX = 0, FocusY = 0, Width = 0, Height = 0;
    uint64_t PixelSum = 0;
    bool operator==(const TChangeSeen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TChangeSeen& seen)
{
    return out << seen.Picture << " #" << seen.Index << " " << seen.Width << "x" << seen.Height << " type "
               << seen.Animation << " focus " << seen.FocusX << "," << seen.FocusY << " sum " << seen.PixelSum;
}

class ScreenUnitPrepared : public ScreenUnit {
protected:
    TempDir Photos;  // outside the show's folder, which the device's start searches
    const std::string LogName = "vellumine-prepared-test-" +
                                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                                std::to_string(reinterpret_cast<uintptr_t>(this)) + ".log";

    void TearDown() override
    {
        ScreenUnit::TearDown();
        std::filesystem::remove(ProgramFolder() + LogName);
    }

    // A show of speed 100 with the device started and the list given, its device logging.
    void StartWith(const std::vector<std::string>& list)
    {
        Options.Settings->Speed = 100;
        Create();
        Form->WDirectX->StartAll();
        ASSERT_TRUE(Form->WDirectX->Active());
        std::filesystem::remove(ProgramFolder() + LogName);
        Form->WDirectX->LogFile = LogName;
        Form->WDirectX->LogType = dxlogAll;
        Form->SetPictures(list);
        SetRandSeed(4242);
    }
    // Ticks as the timer does until the picture changes; the worker, when asked, is given
    // its surfaces and waited for before the change.
    void TickToChange()
    {
        const std::string before = Form->CurrentPicture();
        const int32_t index = Form->PictureIndex();
        for (int tick = 0; tick < 400 && Form->PictureIndex() == index && Form->CurrentPicture() == before; ++tick) {
            Form->tmrAnimTimer(Form->tmrAnim);
            if (Form->Animation().Progress() > 900) WaitForPreparation();
        }
    }
    // A change loaded on the spot, then one prepared ahead at the ticks or loaded on the spot.
    void ChangeTwice(bool prepared)
    {
        Form->ShowNextPicture();
        if (prepared)
            TickToChange();
        else
            Form->ShowNextPicture();
    }
    void WaitForPreparation()
    {
        EXPECT_TRUE(WaitUntil(
            [&] {
                Form->Cycle().Preparer().Pump();
                return Form->Cycle().Preparer().Finished();
            },
            std::chrono::seconds(20)));
    }
    TChangeSeen Seen()
    {
        TChangeSeen seen;
        seen.Picture = Form->CurrentPicture();
        seen.Index = Form->PictureIndex();
        seen.Animation = Form->Animation().Animation();
        seen.FocusX = Form->Animation().Focus().X;
        seen.FocusY = Form->Animation().Focus().Y;
        seen.Width = Form->WSurface->Width;
        seen.Height = Form->WSurface->Height;
        TWDirectDrawBasicSurface* surface = Form->WSurface->DDBS();
        uint8_t* pixels = nullptr;
        if (surface && surface->LockPixel(0, 0, pixels)) {
            const DDSURFACEDESC2& desc = surface->LockDesc();
            const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
            const size_t rowBytes = size_t(desc.dwWidth) * format.dwRGBBitCount / 8;
            // The colour bits only: the unused byte of a 32-bit pixel is whatever DirectDraw
            // keeps there, and Wine's sets it in a blit that the rows may go through.
            const uint32_t colour = format.dwRBitMask | format.dwGBitMask | format.dwBBitMask;
            const auto kept = [&](size_t x) -> uint8_t {
                return format.dwRGBBitCount == 32 ? uint8_t(colour >> (8 * (x % 4))) : uint8_t(0xFF);
            };
            for (DWORD y = 0; y < desc.dwHeight; ++y)
                for (size_t x = 0; x < rowBytes; ++x)
                    seen.PixelSum = seen.PixelSum * 31 + (pixels[ptrdiff_t(y) * desc.lPitch + ptrdiff_t(x)] & kept(x));
            surface->Surface()->Unlock(nullptr);
        }
        return seen;
    }
    // The device's log since StartWith, without the date and time of each line.
    std::vector<std::string> LogLines()
    {
        std::ifstream in(ProgramFolder() + LogName, std::ios::binary);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            const size_t text = line.find(" TW");
            lines.push_back(text == std::string::npos ? line : line.substr(text + 1));
        }
        return lines;
    }
};

TEST_F(ScreenUnitPrepared, ChangesPreparedAheadAreTheChangesMadeOnTheSpot)
{
    // Good pictures of three sizes and, between them, every way a picture fails: data refused
    // past a sound header, a missing file, a header that is not a picture. The same walk is
    // made twice from the same random state: once changing at the timer's ticks, the
    // following pictures prepared on the worker, once changing directly, loading each at the
    // change. Whatever anyone can see must be the same, the device's log included.
    const std::vector<std::string> list = {
        Good("a.jpg", Red),
        Dir.WriteFile("scans.jpg", MakeJpeg(TRgbPicture(24, 16, Red), {.Colour = TJpegColour::Grayscale, .Scans = 300}))
            .string(),
        (Dir.Path() / "missing.jpg").string(),
        Dir.WriteFile("b.jpg", MakeJpeg(QuadrantPicture(48, 36, Red, Blue, Blue, Red))).string(),
        Bad("c.jpg"),
        Dir.WriteFile("d.jpg", MakeSolidJpeg(32, 24, Blue, {.Orientation = 6})).string(),
    };
    std::vector<TChangeSeen> seen[2];
    std::vector<std::string> logs[2];
    for (const bool prepared : {true, false}) {
        SCOPED_TRACE(prepared ? "prepared" : "loaded at the change");
        StartWith(list);
        for (int change = 0; change < 5; ++change) {
            if (prepared)
                TickToChange();
            else
                Form->ShowNextPicture();
            seen[prepared].push_back(Seen());
        }
        EXPECT_TRUE(Form->WDirectX->Active());
        EXPECT_TRUE(Boxes.empty());
        logs[prepared] = LogLines();
        Form->WDirectX->StopAll();
        Form.reset();
    }
    // a, b (past two failures), d (turned upright: 24 x 32), a, b.
    ASSERT_EQ(seen[false].size(), 5u);
    EXPECT_EQ(seen[false][1].Picture, list[3]);
    EXPECT_EQ(seen[false][2].Width, 24);
    EXPECT_EQ(seen[false][4].Index, 3);
    EXPECT_EQ(seen[true], seen[false]);
    EXPECT_GT(logs[false].size(), 20u);
    EXPECT_EQ(logs[true], logs[false]);
}

TEST_F(ScreenUnitPrepared, PicturesCopiedInBandsAtTheTicksAreThePicturesLoadedAtTheChange)
{
    // Where surfaces stay on the user-interface thread the ticks copy a decoded picture into
    // its surface band by band. A row a band leaves the tall picture part way at its change,
    // which copies the rest; a hundred rows a band fill it at the ticks before. b takes its
    // rows into the surface a replaced (of its size, red), the last a into b's. Either way
    // the change shows what a load at the change shows, and logs the same.
    const std::vector<std::string> list = {
        Good("a.jpg", Red),
        Dir.WriteFile("tall.jpg", MakeJpeg(QuadrantPicture(24, 1000, Red, Blue, Blue, Red))).string(),
        Good("b.jpg", Blue),
        Bad("c.jpg"),
        Dir.WriteFile("wide.jpg", MakeJpeg(QuadrantPicture(120, 30, Blue, Red, Red, Blue))).string(),
    };
    const int rowsByBand[] = {1, 100, 0};  // 0: loaded at the change
    std::vector<TChangeSeen> seen[3];
    std::vector<std::string> logs[3];
    for (int mode = 0; mode < 3; ++mode) {
        SCOPED_TRACE(rowsByBand[mode]);
        StartWith(list);
        Form->Cycle().Preparer().FillOnThisThread(size_t(rowsByBand[mode]) * 24 * 4);
        for (int change = 0; change < 5; ++change) {
            if (rowsByBand[mode] > 0)
                TickToChange();
            else
                Form->ShowNextPicture();
            seen[mode].push_back(Seen());
        }
        logs[mode] = LogLines();
        Form->WDirectX->StopAll();
        Form.reset();
    }
    // a, tall, b, wide (past the bad one), a.
    ASSERT_EQ(seen[2].size(), 5u);
    EXPECT_EQ(seen[2][1].Height, 1000);
    EXPECT_EQ(seen[2][3].Picture, list[4]);
    EXPECT_EQ(seen[0], seen[2]);
    EXPECT_EQ(seen[1], seen[2]);
    EXPECT_EQ(logs[0], logs[2]);
    EXPECT_EQ(logs[1], logs[2]);
}

TEST_F(ScreenUnitPrepared, APreparedPictureIsShownAsItWasWhenPrepared)
{
    // The change hands over what the worker made; a file rewritten since is not read again.
    const std::string first = Good("first.jpg", Red), second = Good("second.jpg", Red);
    StartWith({first, second});
    TickToChange();
    ASSERT_EQ(Form->CurrentPicture(), first);
    for (int tick = 0; tick < 30; ++tick) Form->tmrAnimTimer(Form->tmrAnim);
    WaitForPreparation();
    ASSERT_TRUE(Form->Cycle().Preparer().Pending()) << "the next picture waits, prepared";
    Good("second.jpg", Blue);
    TickToChange();
    ASSERT_EQ(Form->CurrentPicture(), second);
    uint8_t* pixel = nullptr;
    TWDirectDrawBasicSurface* surface = Form->WSurface->DDBS();
    ASSERT_TRUE(surface && surface->LockPixel(20, 15, pixel));
    ASSERT_EQ(surface->LockDesc().ddpfPixelFormat.dwRGBBitCount, 32u);
    uint32_t value = 0;
    std::memcpy(&value, pixel, 4);
    surface->Surface()->Unlock(nullptr);
    EXPECT_GT((value >> 16) & 0xFF, 200u) << "red, as prepared";
    EXPECT_LT(value & 0xFF, 60u) << "not the blue written since";
}

TEST_F(ScreenUnitPrepared, StoppingTheDeviceEndsThePreparationAndKeepsNothing)
{
    // Large enough for the worker to be caught at it, at whichever step.
    const std::string big =
        Dir.WriteFile("big.jpg", MakeJpeg(QuadrantPicture(1200, 900, Red, Blue, Blue, Red))).string();
    const std::string small = Good("small.jpg");
    const auto references = [](IDirectDraw7* directDraw) {
        directDraw->AddRef();
        return directDraw->Release();
    };
    // Stopped with the worker at any step, or (a row copied at a tick) part way through
    // copying what it decoded into a surface.
    for (const int pumps : {0, 2, -1}) {
        SCOPED_TRACE(pumps);
        Create();
        // Every surface holds its DirectDraw object: what a stopped device leaves held is a leak.
        IDirectDraw7* directDraw = Form->WDirectX->DirectDraw();
        ASSERT_NE(directDraw, nullptr);
        const ULONG idle = references(directDraw);
        Form.reset();
        StartWith({small, big});
        if (pumps < 0) Form->Cycle().Preparer().FillOnThisThread(1200 * 4);
        directDraw = Form->WDirectX->DirectDraw();
        TickToChange();
        for (int tick = 0; tick < 20; ++tick) Form->tmrAnimTimer(Form->tmrAnim);
        for (int i = 0; i < pumps; ++i) Form->Cycle().Preparer().Pump();
        if (pumps < 0) {
            WaitForPreparation();
            for (int i = 0; i < 3; ++i) Form->Cycle().Preparer().Pump();
            ASSERT_TRUE(Form->Cycle().Preparer().Pending());
        }
        Form->WDirectX->StopAll();  // as when the focus goes
        EXPECT_TRUE(Form->Cycle().Preparer().Finished());
        EXPECT_FALSE(Form->Cycle().Preparer().Pending());
        EXPECT_EQ(references(directDraw), idle) << "every surface went with the device";
        // Started again, the show prepares anew and changes as before.
        Form->WDirectX->StartAll();
        ASSERT_TRUE(Form->WDirectX->Active());
        TickToChange();
        EXPECT_EQ(Form->CurrentPicture(), big);
        EXPECT_EQ(Form->WSurface->Width, 1200);
        Form->WDirectX->StopAll();
        Form.reset();
    }
}
// Whether a picture is held at what covers the box: one side the box's, the other at least.
bool Covers(const TWDirectDrawBasicSurface& stored, TStoreBox box)
{
    return (stored.Width == box.Width && stored.Height >= box.Height) ||
           (stored.Height == box.Height && stored.Width >= box.Width);
}

// A photograph-like picture: smooth light with finer detail, so that a wrong place in it
// shows as a wrong colour.
TRgb Gradient(int x, int y, int width, int height)
{
    return {uint8_t(255 * int64_t(x) / width), uint8_t(255 * int64_t(y) / height), uint8_t((x / 64 + y / 64) % 2 * 90)};
}

TEST_F(ScreenUnitPrepared, APhotographIsStoredAtWhatTheScreenShowsAndAnimatedInItsOwnPixels)
{
    // Prepared ahead or loaded at the change, a photograph larger than the screen can show is
    // held reduced to what covers the store box, while the animation, the component's size
    // and the device log keep its own pixels, and the frame shows the part the rectangle
    // names.
    StartWith({});
    const TStoreBox box = Form->Cycle().StoreBox();
    ASSERT_GT(box.Width, 0);
    const int width = box.Width * 3 / 2, height = width * 3 / 4;
    const std::string photo =
        Photos
            .WriteFile("photo.jpg",
                       MakeLargeJpeg(width, height, [&](int x, int y) { return Gradient(x, y, width, height); }))
            .string();
    const std::string small = Good("small.jpg");
    Form.reset();
    std::vector<TChangeSeen> seen[2];
    std::vector<std::string> logs[2];
    for (const bool prepared : {true, false}) {
        SCOPED_TRACE(prepared ? "prepared" : "loaded at the change");
        StartWith({small, photo});
        ChangeTwice(prepared);
        ASSERT_EQ(Form->CurrentPicture(), photo);
        seen[prepared].push_back(Seen());
        const TWDirectDrawBasicSurface* stored = Form->WSurface->DDBS();
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(Form->WSurface->Width, width);
        EXPECT_EQ(Form->Animation().PictureWidth(), width);
        EXPECT_EQ(Form->Animation().PictureHeight(), height);
        EXPECT_TRUE(Covers(*stored, box)) << stored->Width << "x" << stored->Height;
        EXPECT_LT(std::abs(int64_t(stored->Width) * height - int64_t(stored->Height) * width), width)
            << "proportions kept";

        // A frame of the zoom part way: its centre shows the colour of the rectangle's centre.
        for (int tick = 0; tick < 40; ++tick) Form->tmrAnimTimer(Form->tmrAnim);
        bool done = false;
        Form->WDirectXIdle(Form.get(), done);
        const TRect r = Form->Animation().SourceRect();
        TWDirectDrawBasicSurface* front = Form->WDirectX->Primary();
        const TRect out = Form->WDirectX->OutputRect();
        uint8_t* pixel = nullptr;
        ASSERT_TRUE(front->LockPixel(out.Width() / 2, out.Height() / 2, pixel));
        uint32_t value = 0;
        std::memcpy(&value, pixel, 4);
        front->Surface()->Unlock(nullptr);
        const TRgb expected = Gradient((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2, width, height);
        EXPECT_NEAR(int((value >> 16) & 0xFF), expected.R, 6);
        EXPECT_NEAR(int((value >> 8) & 0xFF), expected.G, 6);
        logs[prepared] = LogLines();
        Form->WDirectX->StopAll();
        Form.reset();
    }
    EXPECT_EQ(seen[true], seen[false]);
    EXPECT_EQ(logs[true], logs[false]);
}

TEST_F(ScreenUnitPrepared, A200MegapixelPhotographShowsAndAProgressiveOneTooCostlyToDecodeIsSkipped)
{
    // A baseline file costs the same to store whatever its size; a progressive one holds all
    // its coefficients while it is decoded, and one past what the decoder may hold is passed
    // over as a damaged file is, without a box.
    const std::string huge =
        Photos
            .WriteFile("huge.jpg",
                       MakeLargeJpeg(16320, 12240, [](int x, int y) { return Gradient(x, y, 16320, 12240); }))
            .string();
    const std::string costly =
        Photos
            .WriteFile("costly.jpg", MakeLargeJpeg(7000, 6000, [](int x, int y) { return Gradient(x, y, 7000, 6000); },
                                                   {.Quality = 50, .Progressive = true}))
            .string();
    for (const bool prepared : {true, false}) {
        SCOPED_TRACE(prepared ? "prepared" : "loaded at the change");
        StartWith({Good("small.jpg"), costly, huge});
        ChangeTwice(prepared);
        EXPECT_EQ(Form->CurrentPicture(), huge);
        EXPECT_EQ(Form->WSurface->Width, 16320);
        EXPECT_EQ(Form->WSurface->Height, 12240);
        const TWDirectDrawBasicSurface* stored = Form->WSurface->DDBS();
        ASSERT_NE(stored, nullptr);
        EXPECT_TRUE(Covers(*stored, Form->Cycle().StoreBox())) << stored->Width << "x" << stored->Height;
        EXPECT_TRUE(Boxes.empty());
        Form->WDirectX->StopAll();
        Form.reset();
    }
}
}  // namespace
