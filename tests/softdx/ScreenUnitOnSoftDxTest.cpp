// The show's pace over the software DirectDraw, whose refresh clock the test owns: every
// frame takes one refresh, also when nothing reaches the screen, so the animation never runs
// faster than frames could be shown.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "SoftDxFixture.h"
#include "framework/Application.h"
#include "show/ScreenUnit.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"
#include "wdx/DirectXBinding.h"
#include "wdx/SurfacePreparer.h"
#include "wdx/WDirectDrawBasicSurface.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectX.h"

namespace {
constexpr uint64_t Second = 1'000'000'000;

// A screen that takes no frame, as a host window that is not mapped.
class RefusingPresenter : public SoftDxHeadlessPresenter {
public:
    bool Present(HWND, const uint32_t*, uint32_t, uint32_t, size_t) override
    {
        ++Refused;
        return false;
    }
    int Refused = 0;
};

class ScreenUnitOnSoftDx : public SoftDxTest {
protected:
    void SetUp() override
    {
        LoadDirectXLibraries();
        SoftDxTest::SetUp();  // its presenter and clock replace whatever the binding chose
    }
    void TearDown() override
    {
        if (Form && Form->WDirectX->Active()) Form->WDirectX->StopAll();
        Form.reset();
        Application->OnIdle = {};
        SoftDxTest::TearDown();
    }

    std::unique_ptr<TScrnFrm> Form;
};

TEST_F(ScreenUnitOnSoftDx, EveryFrameTakesARefreshWhetherOrNotItIsShown)
{
    const struct {
        const char* what;
        bool picture;
        bool fullScreenModes;  // false: the display lists none, so the device stays in a window
        bool screenTakesFrames;
        bool framesShown;
    } cases[] = {
        {"full screen with a picture", true, true, true, true},
        {"full screen without pictures", false, true, true, false},
        {"in a window, the display offering no full-screen mode", true, false, true, false},
        {"full screen on a screen that takes no frame", true, true, false, false},
    };
    constexpr int Ticks = 600;  // two pictures at speed 100
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        if (c.picture) dir.WriteFile("a.jpg", MakeSolidJpeg(40, 30, {200, 40, 40}));
        auto refusing = std::make_shared<RefusingPresenter>();
        if (!c.screenTakesFrames) SoftDxSetPresenter(refusing);
        if (!c.fullScreenModes) SoftDxFailAlways("EnumDisplayModes", DDERR_GENERIC);
        TShowOptions options;
        options.Settings = TShowSettings{dir.Str(), {1, 1, 1}, 100};
        Form = std::make_unique<TScrnFrm>(nullptr, options);
        SoftDxClearFaults();
        ASSERT_EQ(Form->WDirectX->GetCurrentVideoMode().Windowed, !c.fullScreenModes);
        Form->WDirectX->StartAll();
        ASSERT_TRUE(Form->WDirectX->Active());

        // As the message loop runs the show: the queue empties, the idle handler draws a
        // frame, and the timer's next tick follows it.
        const uint32_t presentsBefore = Presenter->PresentCount();
        const uint64_t start = Clock->Now;
        Clock->Sleeps.clear();
        for (int i = 0; i < Ticks; ++i) {
            bool done = true;
            Form->WDirectXIdle(Form->WDirectX, done);
            Form->tmrAnimTimer(Form->tmrAnim);
        }
        const uint64_t elapsed = Clock->Now - start;
        EXPECT_GE(elapsed * 60, uint64_t{Ticks - 1} * Second) << "at most 60 ticks a second";
        ASSERT_EQ(Clock->Sleeps.size(), size_t{Ticks}) << "one wait a frame";
        for (const FakeClock::Sleep& sleep : Clock->Sleeps) EXPECT_EQ(sleep.Until, SoftDxNextRefresh(sleep.From));
        // Every frame is offered but the first, before any tick, whose rectangle holds no
        // part of the picture; none is lost at the changes, where the new picture still has
        // the last one's rectangle until the next tick.
        const uint32_t shown = Presenter->PresentCount() - presentsBefore;
        EXPECT_EQ(shown, c.framesShown ? uint32_t{Ticks - 1} : 0u);
        if (!c.screenTakesFrames) {
            EXPECT_EQ(refusing->Refused, Ticks - 1) << "the frames were offered";
        }

        Form->WDirectX->StopAll();
        Form.reset();
        SoftDxSetPresenter(Presenter);
    }
}

TEST_F(ScreenUnitOnSoftDx, NoFrameIsLostAtAChangeWhereTheLastRectangleReachesOutside)
{
    // A zoom out ends a little past its last step, a slide may too: until the new picture's
    // first tick the animation holds a rectangle reaching outside a picture this large, and
    // the frame must still be drawn. A small screen keeps the many frames quick.
    Presenter->SetScreenSize({320, 180});
    TempDir dir;
    dir.WriteFile("a.jpg", MakeSolidJpeg(1200, 800, {200, 40, 40}));
    TShowOptions options;
    options.Settings = TShowSettings{dir.Str(), {1, 1, 1}, 100};
    Form = std::make_unique<TScrnFrm>(nullptr, options);
    Form->WDirectX->StartAll();
    ASSERT_TRUE(Form->WDirectX->Active());
    const uint32_t presentsBefore = Presenter->PresentCount();
    // Fifteen changes: most of them end past the picture.
    constexpr int Ticks = 15 * 300;
    int outside = 0;
    for (int i = 0; i < Ticks; ++i) {
        bool done = true;
        Form->WDirectXIdle(Form->WDirectX, done);
        const float before = Form->Animation().Progress();
        Form->tmrAnimTimer(Form->tmrAnim);
        if (Form->Animation().Progress() >= before) continue;
        const TRect r = Form->Animation().SourceRect();
        outside += r.Left < 0 || r.Top < 0 || r.Right > 1200 || r.Bottom > 800;
    }
    EXPECT_GT(outside, 0) << "no change ended outside the picture";
    EXPECT_EQ(Presenter->PresentCount() - presentsBefore, uint32_t{Ticks - 1})
        << "only the first frame, before any tick";
}

TEST_F(ScreenUnitOnSoftDx, APictureRefusedASurfaceAheadIsLoadedAtTheChange)
{
    // While the next picture is prepared the shown one still holds its memory; a surface
    // refused then may be granted once the shown one has gone, so the change loads it.
    // The second lies outside the show's folder: the device's start shows the first, whose
    // surface, replaced, is of another size than the second's and cannot be taken for it.
    TempDir dir, elsewhere;
    const std::string first = dir.WriteFile("a.jpg", MakeSolidJpeg(40, 30, {200, 40, 40})).string();
    const std::string second = elsewhere.WriteFile("b.jpg", MakeSolidJpeg(48, 36, {40, 40, 200})).string();
    TShowOptions options;
    options.Settings = TShowSettings{dir.Str(), {1, 1, 1}, 100};
    Form = std::make_unique<TScrnFrm>(nullptr, options);
    Form->WDirectX->StartAll();
    ASSERT_TRUE(Form->WDirectX->Active());
    Form->SetPictures({first, second});
    // Changes at the timer's ticks, to the list's entry given.
    const auto tickUntil = [&](int32_t index) {
        for (int tick = 0; tick < 400 && Form->PictureIndex() != index; ++tick) Form->tmrAnimTimer(Form->tmrAnim);
    };
    tickUntil(0);
    ASSERT_EQ(Form->CurrentPicture(), first);
    // The ticks make no surface of their own: the first asked for is the worker's.
    SoftDxFailNext("CreateSurface", DDERR_OUTOFMEMORY);
    for (int tick = 0; tick < 25; ++tick) Form->tmrAnimTimer(Form->tmrAnim);
    EXPECT_TRUE(WaitUntil(
        [&] {
            Form->Cycle().Preparer().Pump();
            return Form->Cycle().Preparer().Finished();
        },
        std::chrono::seconds(10)));
    SoftDxClearFaults();
    EXPECT_FALSE(Form->Cycle().Preparer().Pending()) << "nothing prepared";
    tickUntil(1);
    EXPECT_EQ(Form->CurrentPicture(), second);
    EXPECT_EQ(Form->PictureIndex(), 1);
    EXPECT_EQ(Form->WSurface->Width, 48);
}
TEST_F(ScreenUnitOnSoftDx, ACopyInBandsThatFailsPartWayGivesTheWholePictureAtTheChange)
{
    // A picture copied a row a tick (as where surfaces stay on the user-interface thread).
    // A band refused part way leaves the copy of the decoded rows to the change; a surface
    // lost once filled leaves the change to load the file, rewritten since with its colours
    // swapped. Never a picture with rows missing.
    const struct {
        const char* method;
        int rowsBefore;  // rows copied before the fault
        bool fromFile;
    } cases[] = {{"Lock", 300, false}, {"Blt", 300, false}, {"IsLost", 1000, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        TempDir dir;
        const std::string first = dir.WriteFile("a.jpg", MakeSolidJpeg(40, 30, {200, 40, 40})).string();
        const auto tall = [&](TRgb one, TRgb other) {
            return dir.WriteFile("b.jpg", MakeJpeg(QuadrantPicture(24, 1000, one, other, other, one))).string();
        };
        const TRgb red{255, 0, 0}, blue{0, 0, 255};
        const std::string second = tall(red, blue);
        TShowOptions options;
        options.Settings = TShowSettings{dir.Str(), {1, 1, 1}, 100};
        Form = std::make_unique<TScrnFrm>(nullptr, options);
        Form->WDirectX->StartAll();
        ASSERT_TRUE(Form->WDirectX->Active());
        Form->SetPictures({first, second});
        Form->Cycle().Preparer().FillOnThisThread(24 * 4);
        for (int tick = 0; tick < 400 && Form->PictureIndex() != 0; ++tick) Form->tmrAnimTimer(Form->tmrAnim);
        ASSERT_EQ(Form->CurrentPicture(), first);
        for (int tick = 0; tick < 20; ++tick) Form->tmrAnimTimer(Form->tmrAnim);
        ASSERT_TRUE(WaitUntil([&] { return Form->Cycle().Preparer().Finished(); }, std::chrono::seconds(10)));
        for (int row = 0; row < c.rowsBefore; ++row) Form->Cycle().Preparer().Pump();
        tall(blue, red);
        SoftDxFailNext(c.method, DDERR_SURFACELOST);
        for (int tick = 0; tick < 400 && Form->CurrentPicture() == first; ++tick) Form->tmrAnimTimer(Form->tmrAnim);
        SoftDxClearFaults();
        ASSERT_EQ(Form->CurrentPicture(), second);
        ASSERT_EQ(Form->WSurface->Height, 1000);
        TWDirectDrawBasicSurface* surface = Form->WSurface->DDBS();
        ASSERT_NE(surface, nullptr);
        // Every row, away from the blur where the halves meet: red where the prepared picture
        // is red (top left, bottom right), blue where it is blue.
        int wrong = 0;
        for (int y = 0; y < 1000; ++y) {
            if (y > 490 && y < 510) continue;
            for (const int x : {2, 21}) {
                uint8_t* pixel = nullptr;
                ASSERT_TRUE(surface->LockPixel(x, y, pixel));
                const int r = pixel[2], b = pixel[0];
                surface->Surface()->Unlock(nullptr);
                const bool red = (x < 12) == (y < 500);
                const bool redWanted = red != c.fromFile;
                if (redWanted ? !(r > 200 && b < 60) : !(b > 200 && r < 60)) ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0);
        Form->WDirectX->StopAll();
        Form.reset();
    }
}

}  // namespace
