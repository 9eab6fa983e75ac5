// The show form over the platform's DirectDraw in a window: the end-of-show test fed with
// message records, the cyclic walk of the picture list, and pictures that cannot be loaded.
#include "show/ScreenUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/WinApi.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectX.h"

namespace {
const TRgb Red{255, 0, 0};
const TRgb Blue{0, 0, 255};

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
        Dir.WriteFile("bomb.jpg", MakeJpeg(TPicture(24, 16, Red), {.Colour = TJpegColour::Grayscale, .Scans = 300}))
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
}  // namespace
