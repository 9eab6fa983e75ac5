// The show's picture cycle over the platform's DirectDraw in a window: the next picture's
// phases from its plan to the release of the picture it replaces, the skip of pictures whose
// preparation failed, and a device stopped while the worker is at it.
#include "show/PictureCycle.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"
#include "wdx/DirectXBinding.h"
#include "wdx/SurfacePreparer.h"
#include "wdx/WDirectDrawBasicSurface.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectX.h"

// Found by the checks' messages beside the enumeration.
static std::ostream& operator<<(std::ostream& out, TNextPhase phase)
{
    static const char* const names[] = {"None", "Planned", "Preparing", "Ready"};
    return out << names[static_cast<int>(phase)];
}

namespace {
const TRgb Red{255, 0, 0};
const TRgb Blue{0, 0, 255};
const TRgb Green{0, 255, 0};

class PictureCycle : public ::testing::Test {
protected:
    TempDir Dir;
    std::unique_ptr<TForm> Form;
    TWDirectX* Device = nullptr;
    std::unique_ptr<TPictureCycle> Cycle;
    TWDirectDrawSurface* Surface = nullptr;
    std::vector<bool> Shown;  // each OnPictureShown, whether at a change

    void SetUp() override
    {
        ASSERT_TRUE(LoadDirectXLibraries());
        SetMessageBoxHandler([](const std::string&, const std::string&, TMsgIcon) {});
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(30, 20, 320, 240);
        Device = new TWDirectX(Form.get());
        Device->Loaded();
        Cycle = std::make_unique<TPictureCycle>(*Device, nullptr);
        Cycle->OnPictureShown = [this](bool atChange) { Shown.push_back(atChange); };
        Surface = Cycle->MakeSurface(Form.get());
        Surface->UseFile = true;
        Surface->SurfaceDimension = sdFromFile;
    }
    void TearDown() override
    {
        if (Device->Active()) Device->StopAll();
        Cycle.reset();
        Form.reset();
        SetMessageBoxHandler(nullptr);
    }

    std::string Jpeg(const std::string& name, TRgb colour, int width = 40, int height = 30)
    {
        return Dir.WriteFile(name, MakeSolidJpeg(width, height, colour)).string();
    }
    // Names the list's first picture, starts the device with it and plans the next, as the
    // show does.
    void StartWith(const TPictureList& list)
    {
        Cycle->SetPictures(list);
        Cycle->NameFirstPicture();
        Device->StartAll();
        ASSERT_TRUE(Device->Active());
        ASSERT_TRUE(Surface->Active());
        Cycle->DeviceStarted();
    }
    void Ticks(int count)
    {
        for (int i = 0; i < count; ++i) Cycle->Tick();
    }
    // The worker is given the surfaces it asks for until it has done.
    bool WaitForReady()
    {
        return WaitUntil(
            [&] {
                Cycle->Preparer().Pump();
                return Cycle->NextPhase() == TNextPhase::Ready;
            },
            std::chrono::seconds(20));
    }
    TRgb Centre()
    {
        TWDirectDrawBasicSurface* basic = Surface->DDBS();
        uint8_t* pixel = nullptr;
        if (!basic || !basic->LockPixel(Surface->Width / 2, Surface->Height / 2, pixel)) return {};
        EXPECT_EQ(basic->LockDesc().ddpfPixelFormat.dwRGBBitCount, 32u);
        uint32_t value = 0;
        std::memcpy(&value, pixel, 4);
        basic->Surface()->Unlock(nullptr);
        // Within the JPEG's rounding of a solid colour.
        const auto level = [](uint32_t v) { return uint8_t(v > 127 ? 255 : 0); };
        return {level((value >> 16) & 0xFF), level((value >> 8) & 0xFF), level(value & 0xFF)};
    }
};

TEST_F(PictureCycle, TheNextPictureIsPlannedPreparedHandedOverAndTheReplacedOneReleased)
{
    // The next picture that loads, with or without pictures before it that fail to prepare
    // (damaged data, a missing file): each is skipped at the change, as a load would skip it.
    struct TCase {
        const char* what;
        std::vector<std::string> names;  // the first is shown first; the last is the next that loads
    } cases[] = {
        {"a good next picture", {"a.jpg", "b.jpg"}},
        {"failures before it are skipped", {"a.jpg", "bad.jpg", "missing.jpg", "b.jpg"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        TPictureList list;
        for (const std::string& name : c.names) {
            const std::string path = (Dir.Path() / name).string();
            if (name == "a.jpg") Jpeg(name, Red);
            if (name == "b.jpg") Jpeg(name, Blue, 48, 36);
            if (name == "bad.jpg") Dir.WriteFile(name, "\xFF\xD8\xFF\xE0 not a picture");
            list.push_back(path);
        }
        Shown.clear();
        StartWith(list);
        EXPECT_EQ(Centre(), Red);

        const struct {
            int ticks;
            TNextPhase next;
        } plan[] = {{0, TNextPhase::Planned}, {19, TNextPhase::Planned}};
        for (const auto& step : plan) {
            Ticks(step.ticks);
            EXPECT_EQ(Cycle->NextPhase(), step.next) << step.ticks;
        }
        Ticks(1);
        const TNextPhase begun = Cycle->NextPhase();
        EXPECT_TRUE(begun == TNextPhase::Preparing || begun == TNextPhase::Ready) << begun;
        ASSERT_TRUE(WaitForReady());

        // Rewritten once prepared: the change hands over what was prepared, and reads no file.
        Jpeg("b.jpg", Green, 48, 36);
        ASSERT_TRUE(Cycle->ShowNextPicture());
        EXPECT_EQ(Cycle->CurrentPicture(), list.back());
        EXPECT_EQ(Cycle->PictureIndex(), int32_t(list.size() - 1));
        EXPECT_EQ(Surface->Width, 48);
        EXPECT_EQ(Centre(), Blue) << "as prepared";
        EXPECT_EQ(Shown, std::vector<bool>{true});
        EXPECT_EQ(Cycle->NextPhase(), TNextPhase::Planned) << "the one after is planned at once";
        EXPECT_TRUE(Device->Active());

        // The replaced picture's surface is held for four ticks and let go at the fifth.
        EXPECT_TRUE(Cycle->HoldsReplaced());
        Ticks(4);
        EXPECT_TRUE(Cycle->HoldsReplaced());
        Ticks(1);
        EXPECT_FALSE(Cycle->HoldsReplaced());
        Device->StopAll();
    }
}

TEST_F(PictureCycle, AStopDuringThePreparationKeepsNothingAndTheCycleGoesOnAfterTheRestart)
{
    // Large enough for the worker to be caught at it, at whichever step.
    const std::string big =
        Dir.WriteFile("big.jpg", MakeJpeg(QuadrantPicture(1200, 900, Red, Blue, Blue, Red))).string();
    const std::string small = Jpeg("small.jpg", Red);
    const auto references = [](IDirectDraw7* directDraw) {
        directDraw->AddRef();
        return directDraw->Release();
    };
    // Every surface holds its DirectDraw object: what a stopped device leaves held is a leak.
    StartWith({small, big});
    IDirectDraw7* directDraw = Device->DirectDraw();
    Device->StopAll();
    const ULONG idle = references(directDraw);

    // Stopped with the worker at any step, or (where a row is copied at each pump) part way
    // through copying what it decoded into a surface.
    for (const int pumps : {0, 2, -1}) {
        SCOPED_TRACE(pumps);
        if (pumps < 0) Cycle->Preparer().FillOnThisThread(1200 * 4);
        StartWith({small, big});
        Ticks(20);
        for (int i = 0; i < pumps; ++i) Cycle->Preparer().Pump();
        if (pumps < 0) {
            ASSERT_TRUE(WaitUntil([&] { return Cycle->Preparer().Finished(); }, std::chrono::seconds(20)));
            for (int i = 0; i < 3; ++i) Cycle->Preparer().Pump();
            ASSERT_EQ(Cycle->NextPhase(), TNextPhase::Ready);
        }
        Device->StopAll();  // as when the focus goes
        EXPECT_EQ(Cycle->NextPhase(), TNextPhase::None);
        EXPECT_FALSE(Cycle->HoldsReplaced());
        EXPECT_EQ(references(directDraw), idle) << "every surface went with the device";

        // Started again, the cycle plans anew and changes as before.
        Device->StartAll();
        ASSERT_TRUE(Device->Active());
        Cycle->DeviceStarted();
        Ticks(20);
        ASSERT_TRUE(WaitForReady());
        ASSERT_TRUE(Cycle->ShowNextPicture());
        EXPECT_EQ(Cycle->CurrentPicture(), big);
        EXPECT_EQ(Surface->Width, 1200);
        Device->StopAll();
    }
}
}  // namespace
