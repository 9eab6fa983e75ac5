// The device's start and stop driven through the software DirectDraw, whose calls can be made
// to fail: every stage's failure, what StopAll then undoes, the log, the restored form and
// the idle slot; the successful start, activation changes, the exception box, Flip and the
// video mode switch of a started device.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SoftDxFixture.h"
#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "support/TestDevice.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectX.h"

namespace {
// What the device looked like when StopAll began.
struct StopSnapshot {
    int Stage;
    bool Primary, Back1, Back2, Back3;
    TBorderStyle Border;
    TFormStyle Style;
    TWindowState State;
    static StopSnapshot Of(const TWDirectX& device)
    {
        const TForm* form = device.OwnerForm();
        return {static_cast<int>(device.StartStage()),
                device.Primary()->Active(),
                device.Back1()->Active(),
                device.Back2()->Active(),
                device.Back3()->Active(),
                form->BorderStyle(),
                form->FormStyle(),
                form->WindowState()};
    }
};

// A device that records its stops, lets a test act on a log line, and logs into a file of
// the test's own beside the test program.
using RecordingDevice = TTestDevice<StopSnapshot>;

// Counts calls of the device's notify events and records an idle handler's calls.
struct Events {
    RecordingDevice* Device = nullptr;
    int BeforeStart = 0, AfterStart = 0, AfterStop = 0, Activating = 0, DeActivating = 0, Exception = 0;
    bool ActiveAtException = false, RestyledAtException = true;
    TObject* IdleSender = nullptr;
    void Before(TObject*) { ++BeforeStart; }
    void After(TObject*) { ++AfterStart; }
    void Stopped(TObject*) { ++AfterStop; }
    void Activated(TObject*) { ++Activating; }
    void Deactivated(TObject*) { ++DeActivating; }
    void Excepted(TObject*)
    {
        ++Exception;
        ActiveAtException = Device->Active();
        RestyledAtException = Device->FormRestyled();
    }
    void Idle(TObject* sender, bool& done)
    {
        IdleSender = sender;
        done = false;  // no waiting for a message in a test
    }
    void Other(TObject*, bool&) {}
};

const std::string InvalidMode = "DirectDraw does not support the requested mode.";
const std::string Generic = "Generic failure.";

class DeviceOnSoftDx : public SoftDxTest {
protected:
    void SetUp() override
    {
        LoadDirectXLibraries();
        SoftDxTest::SetUp();  // its presenter replaces whatever the binding chose
        SetMessageBoxHandler([this](const std::string& text, const std::string& caption, TMsgIcon icon) {
            Boxes.push_back(text + "|" + caption + "|" + std::to_string(icon));
        });
        MakeDevice();
    }
    void TearDown() override
    {
        Form.reset();
        Application->OnIdle = {};
        SetMessageBoxHandler(nullptr);
        SoftDxTest::TearDown();
    }

    // A form of the test's own with a device that logs everything, not yet loaded.
    void MakeDevice()
    {
        Form.reset();
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(40, 30, 640, 480);
        Device = new RecordingDevice(Form.get(), TTestLog::File);
        Device->LogType = dxlogAll;
        Device->SetBacksurfaces(1);
        Ev = Events{};
        Ev.Device = Device;
        Device->OnBeforeStart = TSomeEvent::Of<&Events::Before>(&Ev);
        Device->OnAfterStart = TSomeEvent::Of<&Events::After>(&Ev);
        Device->OnAfterStop = TSomeEvent::Of<&Events::Stopped>(&Ev);
        Device->OnActivating = TSomeEvent::Of<&Events::Activated>(&Ev);
        Device->OnDeActivating = TSomeEvent::Of<&Events::Deactivated>(&Ev);
        Device->OnException = TSomeEvent::Of<&Events::Excepted>(&Ev);
        Device->OnIdle = TIdleEvent::Of<&Events::Idle>(&Ev);
    }

    // Loads the device and selects a full-screen mode.
    void LoadFullScreen(int width = 800, int height = 600, int bits = 32)
    {
        Device->Loaded();
        const int index = ModeIndex(width, height, bits);
        ASSERT_GE(index, 0);
        Device->SetVideoMode(index);
        Device->ClearLog();
    }

    int ModeIndex(int width, int height, int bits) const
    {
        for (int i = 0; i < Device->VideoModeCount(); ++i) {
            const TVideoModeInfo m = Device->GetVideoModeInfo(i);
            if (!m.Windowed && m.Width == width && m.Height == height && m.Bits == bits) return i;
        }
        return -1;
    }

    std::string FailedStart() { return StartAllError(*Device); }

    // Whether the device's DirectDraw still holds exclusive access (only one object may).
    bool DeviceIsExclusive()
    {
        const HRESULT result = DD->SetCooperativeLevel(TestWindow(), 0x17);
        if (result == DD_OK) DD->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
        return result == DDERR_EXCLUSIVEMODEALREADYSET;
    }

    SoftDxSize DeviceDisplayMode()
    {
        DDSURFACEDESC2 d = Desc();
        EXPECT_EQ(Device->DirectDraw()->GetDisplayMode(&d), DD_OK);
        return {d.dwWidth, d.dwHeight};
    }

    void ExpectFormRestored()
    {
        EXPECT_FALSE(Device->FormRestyled());
        EXPECT_EQ(Form->BorderStyle(), bsSizeable);
        EXPECT_EQ(Form->FormStyle(), fsNormal);
        EXPECT_EQ(Form->WindowState(), wsNormal);
        EXPECT_EQ(Form->Left(), 40);
        EXPECT_EQ(Form->Top(), 30);
        EXPECT_EQ(Form->Width(), 640);
        EXPECT_EQ(Form->Height(), 480);
    }

    std::unique_ptr<TForm> Form;
    RecordingDevice* Device = nullptr;  // owned by Form
    Events Ev;
    std::vector<std::string> Boxes;
};
}  // namespace

TEST_F(DeviceOnSoftDx, WithoutADirectDrawObjectTheStartFailsAtStageTwo)
{
    SoftDxFailNext("DirectDrawCreateEx", DDERR_GENERIC);
    Device->Loaded();
    EXPECT_EQ(Device->DirectDraw(), nullptr);
    EXPECT_EQ(Device->VideoModeCount(), 0);
    Device->ClearLog();

    EXPECT_EQ(FailedStart(), "TWDirectX.StartAll - No COM for DirectDraw\r");
    ASSERT_EQ(Device->Stops.size(), 1u);
    EXPECT_EQ(Device->Stops[0].Stage, 2);
    EXPECT_EQ(Device->Stops[0].Border, bsSizeable) << "an empty list is no full-screen mode";
    EXPECT_FALSE(Device->Active());
    EXPECT_EQ(static_cast<int>(Device->StartStage()), 0);
    EXPECT_EQ(Device->LastError, "");
    EXPECT_EQ(Device->LogLines(), (std::vector<std::string>{
                                      "TWDirectX.StartAll",
                                      "TWDirectX.StartAll - Start DirectDraw",
                                      "TWDirectX.StartAll - Error:TWDirectX.StartAll - No COM for DirectDraw\r",
                                      "TWDirectX.StopAll",
                                      "TWDirectX.StopAll - Done",
                                  }));
    EXPECT_EQ(Ev.AfterStop, 1);
    EXPECT_EQ(Ev.AfterStart, 0);
}

TEST_F(DeviceOnSoftDx, EachDirectDrawStageFailureIsUndoneExactly)
{
    struct Case {
        const char* Method;
        int ArmAfterSurfaceStarts;  // the failure is armed once this many surfaces started
        HRESULT Code;
        int Backsurfaces;
        std::string Text;
        int Stage;
    };
    const Case cases[] = {
        {"SetCooperativeLevel", 0, DDERR_GENERIC, 1, "TWDirectX.StartAll - Setting DirectDraw coop level\r" + Generic,
         3},
        {"SetDisplayMode", 0, DDERR_INVALIDMODE, 1, "TWDirectX.StartAll - Setting display mode\r" + InvalidMode, 4},
        {"CreateSurface", 0, DDERR_GENERIC, 1, "TWDirectX.StartAll - Creating Primary\r" + Generic, 5},
        {"GetAttachedSurface", 1, DDERR_GENERIC, 1, "TWDirectX.StartAll - Creating Back1\r" + Generic, 6},
        {"GetAttachedSurface", 2, DDERR_INVALIDMODE, 3, "TTWDirectX.StartAll - Creating Back2\r" + InvalidMode, 7},
        {"GetAttachedSurface", 3, DDERR_GENERIC, 3, "TWDirectX.StartAll - Creating Back3\r" + Generic, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        MakeDevice();
        Device->SetBacksurfaces(c.Backsurfaces);
        LoadFullScreen();
        int starts = 0;
        Device->OnLine = [&](const std::string& line) {
            if (line == "TWDirectDrawBasicSurface.Start" && ++starts == c.ArmAfterSurfaceStarts)
                SoftDxFailNext(c.Method, c.Code);
        };
        if (c.ArmAfterSurfaceStarts == 0) SoftDxFailNext(c.Method, c.Code);
        // Armed ahead: still armed afterwards exactly when StopAll did not restore the mode.
        SoftDxFailNext("RestoreDisplayMode", DDERR_INVALIDOBJECT);
        Application->OnIdle = TIdleEvent::Of<&Events::Other>(&Ev);

        EXPECT_EQ(FailedStart(), c.Text);
        ASSERT_EQ(Device->Stops.size(), 1u);
        const StopSnapshot& at = Device->Stops[0];
        EXPECT_EQ(at.Stage, c.Stage);
        EXPECT_EQ(at.Border, bsNone) << "a full-screen start restyles the form first";
        EXPECT_EQ(at.Style, fsStayOnTop);
        EXPECT_EQ(at.State, c.Stage >= 5 ? wsMaximized : wsNormal) << "maximised after the mode change";
        EXPECT_EQ(at.Primary, c.Stage > 5);
        EXPECT_EQ(at.Back1, c.Stage > 6);
        EXPECT_EQ(at.Back2, c.Stage > 7);
        EXPECT_FALSE(at.Back3);

        EXPECT_FALSE(Device->Primary()->Active());
        EXPECT_FALSE(Device->Back1()->Active());
        EXPECT_FALSE(Device->Back2()->Active());
        EXPECT_FALSE(Device->Active());
        EXPECT_EQ(static_cast<int>(Device->StartStage()), 0);
        ExpectFormRestored();
        EXPECT_FALSE(Application->OnIdle) << "a failed start leaves the idle slot empty";
        EXPECT_EQ(Device->DirectDraw()->RestoreDisplayMode(), c.Stage > 4 ? DD_OK : DDERR_INVALIDOBJECT)
            << "the display mode is restored only after it was changed";
        EXPECT_FALSE(DeviceIsExclusive());
        EXPECT_EQ(DeviceDisplayMode(), (SoftDxSize{1920, 1080}));

        const std::vector<std::string> lines = Device->LogLines();
        const auto at_ = [&](const std::string& line) {
            return std::find(lines.begin(), lines.end(), line) - lines.begin();
        };
        const auto error = at_("TWDirectX.StartAll - Error:" + c.Text);
        const auto stop = at_("TWDirectX.StopAll");
        const auto normal = at_("TWDirectX.StopAll - Setting CoopLevel to normal");
        const auto done = at_("TWDirectX.StopAll - Done");
        ASSERT_LT(done, static_cast<long>(lines.size()));
        EXPECT_LT(error, stop);
        EXPECT_EQ(done, static_cast<long>(lines.size()) - 1);
        EXPECT_EQ(normal<done, c.Stage> 3) << "the normal level is set again only after it was changed";
        const long stopped = std::count(lines.begin() + stop, lines.end(), "TWDirectDrawBasicSurface.Stopped");
        EXPECT_EQ(stopped, (c.Stage > 5) + (c.Stage > 6) + (c.Stage > 7)) << "each started surface once";
        if (c.Stage > 3) {
            EXPECT_LT(stop + stopped, normal) << "surfaces before the cooperative level";
        }
        SoftDxClearFaults();
    }
}

TEST_F(DeviceOnSoftDx, AFailedModeChangeWritesTheseLinesInThisOrder)
{
    LoadFullScreen();
    SoftDxFailNext("SetDisplayMode", DDERR_INVALIDMODE);
    EXPECT_NE(FailedStart(), "");
    EXPECT_EQ(Device->LogLines(),
              (std::vector<std::string>{
                  "TWDirectX.StartAll",
                  "TWDirectX.StartAll - Start DirectDraw",
                  "TWDirectX.StartAll - DirectDraw: Coop Level",
                  "TWDirectX.StartAll - DirectDraw: Resolution",
                  "TWDirectX.StartAll - Error:TWDirectX.StartAll - Setting display mode\r" + InvalidMode,
                  "TWDirectX.StopAll",
                  "TWDirectX.StopAll - Setting CoopLevel to normal",
                  "TWDirectX.StopAll - Done",
              }));
}

TEST_F(DeviceOnSoftDx, MissingDirect3DSoundOrInputObjectsFailTheirStages)
{
    struct Case {
        bool TWDirectX::*Flag;
        std::string Text;
        int Stage;
        const char* Refused;  // the entry point that makes the object, refused here
    };
    const Case cases[] = {
        {&TWDirectX::DisableDirect3D, "TWDirectX.StartAll - No COM for Direct3D\r", 9, nullptr},
        {&TWDirectX::DisableDirectSound, "TWDirectX.StartAll - No COM for DirectSound\r", 19, "DirectSoundCreate"},
        {&TWDirectX::DisableDirectInput, "TWDirectX.StartAll - No COM for DirectInput\r", 20, "DirectInputCreateEx"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        if (c.Refused) SoftDxFailAlways(c.Refused, E_FAIL);
        MakeDevice();
        Device->*c.Flag = false;
        // The software DirectX has Direct3D: its object is refused here.
        if (c.Stage == 9) SoftDxFailNext("QueryInterface(IID_IDirect3D7)", E_NOINTERFACE);
        LoadFullScreen();
        SoftDxFailNext("RestoreDisplayMode", DDERR_INVALIDOBJECT);
        EXPECT_EQ(FailedStart(), c.Text);
        ASSERT_EQ(Device->Stops.size(), 1u);
        EXPECT_EQ(Device->Stops[0].Stage, c.Stage);
        EXPECT_TRUE(Device->Stops[0].Primary && Device->Stops[0].Back1) << "DirectDraw was all set up";
        EXPECT_FALSE(Device->Back1()->Active());
        EXPECT_FALSE(Device->Primary()->Active());
        EXPECT_EQ(Device->DirectDraw()->RestoreDisplayMode(), DD_OK) << "StopAll restored the mode";
        EXPECT_FALSE(DeviceIsExclusive());
        ExpectFormRestored();
        const std::vector<std::string> lines = Device->LogLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), "TWDirectX.StartAll - Start Direct3D"), lines.end());
        EXPECT_EQ(std::find(lines.begin(), lines.end(), "TWDirectX.StartAll - Finding other components"), lines.end());
        SoftDxClearFaults();
    }
}

TEST_F(DeviceOnSoftDx, AStartedDeviceHoldsTheScreenUntilStopped)
{
    LoadFullScreen();
    Device->SetIdleEnabled(true);
    Device->StartAll();
    ASSERT_TRUE(Device->Active());
    EXPECT_EQ(static_cast<int>(Device->StartStage()), 22);
    EXPECT_EQ(Ev.BeforeStart, 1);
    EXPECT_EQ(Ev.AfterStart, 1);
    EXPECT_TRUE(DeviceIsExclusive());
    EXPECT_EQ(DeviceDisplayMode(), (SoftDxSize{800, 600}));
    EXPECT_EQ(Device->OutputRect(), Rect(0, 0, 800, 600));
    EXPECT_EQ(Device->ClientArea(), Rect(0, 0, 800, 600));
    EXPECT_EQ(Device->SavedBounds(), Rect(40, 30, 680, 510));
    EXPECT_EQ(Form->BorderStyle(), bsNone);
    EXPECT_EQ(Form->FormStyle(), fsStayOnTop);
    EXPECT_EQ(Form->WindowState(), wsMaximized);
    EXPECT_EQ(Device->Back1()->Width, 800);
    EXPECT_EQ(Device->Back1()->Height, 600);
    EXPECT_EQ(Application->OnIdle, Device->OnIdle) << "the handler itself, unwrapped";
    EXPECT_EQ(Device->LogLines(), (std::vector<std::string>{
                                      "TWDirectX.StartAll",
                                      "TWDirectX.StartAll - Start DirectDraw",
                                      "TWDirectX.StartAll - DirectDraw: Coop Level",
                                      "TWDirectX.StartAll - DirectDraw: Resolution",
                                      "TWDirectX.StartAll - DirectDraw: Primary",
                                      "TWDirectDrawBasicSurface.Start",
                                      "TWDirectDrawBasicSurface.Start",
                                      "TWDirectX.StartAll - Start Direct3D",
                                      "TWDirectX.StartAll - Start DirectSound",
                                      "TWDirectX.StartAll - Finding other components",
                                      "TWDirectX.StartAll - All ok",
                                  }));

    // A second start only runs its first steps.
    Device->LastError = "old";
    Device->ClearLog();
    Device->StartAll();
    EXPECT_EQ(Ev.BeforeStart, 2);
    EXPECT_EQ(Ev.AfterStart, 1);
    EXPECT_EQ(Device->LastError, "");
    EXPECT_FALSE(Device->FormRestyled());
    EXPECT_EQ(Device->LogLines(), (std::vector<std::string>{"TWDirectX.StartAll - Already active"}));
    EXPECT_TRUE(Device->Active());

    // The idle slot follows IdleEnabled at once while started; the application calls the
    // handler with itself as Sender.
    Device->SetIdleEnabled(false);
    EXPECT_FALSE(Application->OnIdle);
    Device->SetIdleEnabled(true);
    Application->ProcessMessages();
    Application->HandleMessage();
    EXPECT_EQ(Ev.IdleSender, static_cast<TObject*>(Application));

    Device->ClearLog();
    Device->StopAll();
    EXPECT_FALSE(Device->Active());
    EXPECT_FALSE(Application->OnIdle);
    EXPECT_EQ(Ev.AfterStop, 1);
    EXPECT_FALSE(DeviceIsExclusive());
    EXPECT_EQ(DeviceDisplayMode(), (SoftDxSize{1920, 1080}));
    EXPECT_EQ(Device->LogLines(), (std::vector<std::string>{
                                      "TWDirectX.StopAll",
                                      "TWDirectDrawBasicSurface.Stopped",
                                      "TWDirectDrawBasicSurface.Stopped",
                                      "TWDirectX.StopAll - Setting CoopLevel to normal",
                                      "TWDirectX.StopAll - Done",
                                  }));
    // The second start did not restyle, so this stop leaves the form as the first one made it.
    EXPECT_EQ(Form->BorderStyle(), bsNone);
}

TEST_F(DeviceOnSoftDx, ExclusiveAccessFollowsTheModeAndTheCoopLevelRule)
{
    // Windowed: normal level, no mode change, no flip chain, the form keeps its style.
    Device->Loaded();
    Device->StartAll();
    EXPECT_FALSE(DeviceIsExclusive());
    EXPECT_EQ(DeviceDisplayMode(), (SoftDxSize{1920, 1080}));
    EXPECT_FALSE(Device->Back1()->Active());
    EXPECT_EQ(Form->BorderStyle(), bsSizeable);
    EXPECT_EQ(Device->OutputWidth(), 640);
    EXPECT_EQ(Device->OutputHeight(), 480);
    Device->StopAll();

    // Always exclusive with the windowed entry: exclusive and a flip chain, no mode change.
    Device->dxCoopLevel = dxclAlwaysExclusive;
    Device->StartAll();
    EXPECT_TRUE(DeviceIsExclusive());
    EXPECT_EQ(DeviceDisplayMode(), (SoftDxSize{1920, 1080}));
    EXPECT_TRUE(Device->Back1()->Active());
    EXPECT_FALSE(Device->FormRestyled()) << "the windowed entry is no full-screen mode";
    Device->StopAll();

    // Full screen without back surfaces: exclusive, a primary surface alone.
    Device->dxCoopLevel = dxclNeverExclusive;
    Device->SetBacksurfaces(0);
    Device->SetVideoMode(ModeIndex(640, 480, 16));
    Device->StartAll();
    EXPECT_TRUE(DeviceIsExclusive()) << "never-exclusive still takes a full-screen mode exclusively";
    EXPECT_TRUE(Device->Primary()->Active());
    EXPECT_EQ(Device->Primary()->Bits, 16);
    EXPECT_FALSE(Device->Back1()->Active());
    EXPECT_EQ(Device->RenderTarget(), Device->Back1());
    Device->StopAll();
}

TEST_F(DeviceOnSoftDx, ThePrimaryGetsTheColourKeyAndARefusedKeyStopsTheStart)
{
    LoadFullScreen(800, 600, 16);
    Device->SetColorKey(clRed);
    Device->StartAll();
    DDCOLORKEY key{};
    ASSERT_EQ(Device->Primary()->Surface()->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0xF800u) << "red in 5-6-5";
    Device->SetColorKey(clBlue);
    ASSERT_EQ(Device->Primary()->Surface()->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0x001Fu) << "a started device hands a new key on at once";
    Device->StopAll();

    // The surface's own error path stops the device; dxlogError writes only its text.
    Device->LogType = dxlogError;
    Device->ClearLog();
    Device->Stops.clear();
    SoftDxFailNext("SetColorKey", DDERR_GENERIC);
    EXPECT_EQ(FailedStart(), "TWDirectDrawBasicSurface.SetColorKey\r" + Generic);
    EXPECT_EQ(Device->LastError, "TWDirectDrawBasicSurface.SetColorKey\r" + Generic);
    ASSERT_EQ(Device->Stops.size(), 1u) << "stopped once, by the error path";
    EXPECT_EQ(Device->Stops[0].Stage, 5);
    EXPECT_FALSE(Device->Active());
    EXPECT_FALSE(DeviceIsExclusive());
    ExpectFormRestored();
    EXPECT_EQ(Device->LogLines(), (std::vector<std::string>{"TWDirectDrawBasicSurface.SetColorKey\r" + Generic}));

    // A failing start of its own writes nothing below dxlogAll.
    Device->ClearLog();
    SoftDxFailNext("SetDisplayMode", DDERR_INVALIDMODE);
    EXPECT_NE(FailedStart(), "");
    EXPECT_FALSE(std::filesystem::exists(Device->LogPath()));
}

namespace {
// A component of the form that the device starts; it writes what happens to a journal.
class FakeComponent : public TComponent, public TWDirectXComponent {
public:
    FakeComponent(TComponent* owner, std::string name, TWDirectXComponentKind kind, std::vector<std::string>* journal)
        : TComponent(owner), FKind(kind), FJournal(journal)
    {
        Name = std::move(name);
    }
    TWDirectXComponentKind DirectXKind() const override { return FKind; }
    bool StartsWithDevice() const override { return AutoStart; }
    void Start(TWDirectX* device) override
    {
        FJournal->push_back("start " + Name);
        if (Fails) device->RaiseError(rkDirectDraw, "TWDirectDrawPalette.Start", DDERR_GENERIC);
    }
    void Stop() override { FJournal->push_back("stop " + Name); }
    bool AutoStart = true;
    bool Fails = false;

private:
    TWDirectXComponentKind FKind;
    std::vector<std::string>* FJournal;
};
}  // namespace

TEST_F(DeviceOnSoftDx, TheFormsComponentsStartInTheirOrderWhenTheirPartIsEnabled)
{
    std::vector<std::string> journal;
    new FakeComponent(Form.get(), "light", dxkLight, &journal);  // Direct3D is off
    new FakeComponent(Form.get(), "surface", dxkSurface, &journal);
    auto* manual = new FakeComponent(Form.get(), "manual", dxkFlexibleSurface, &journal);
    manual->AutoStart = false;
    new FakeComponent(Form.get(), "mouse", dxkMouse, &journal);  // DirectInput is off
    new FakeComponent(Form.get(), "clipper", dxkClipper, &journal);
    new FakeComponent(Form.get(), "sound", dxkSoundBuffer, &journal);  // DirectSound is off
    LoadFullScreen();
    Device->StartAll();
    EXPECT_EQ(journal, (std::vector<std::string>{"start surface", "start clipper"}));
    Device->StopAll();
    EXPECT_EQ(journal, (std::vector<std::string>{"start surface", "start clipper", "stop surface", "stop clipper"}));

    // A component that fails: the stage is 21 and the text is the device's own.
    journal.clear();
    Device->Stops.clear();
    auto* failing = new FakeComponent(Form.get(), "palette", dxkPalette, &journal);
    failing->Fails = true;
    EXPECT_EQ(FailedStart(), "TWDirectX.StartAll - Failed to start other component");
    EXPECT_EQ(Device->LastError, "TWDirectDrawPalette.Start\r" + Generic) << "the component's own text";
    ASSERT_EQ(Device->Stops.size(), 2u) << "the component's error path, then the start's";
    EXPECT_EQ(Device->Stops[0].Stage, 21);
    EXPECT_EQ(Device->Stops[1].Stage, 21);
    EXPECT_EQ(journal, (std::vector<std::string>{"start surface", "start clipper", "start palette"}))
        << "components are stopped only from a finished start";
    EXPECT_FALSE(Device->Primary()->Active());
    ExpectFormRestored();
}

TEST_F(DeviceOnSoftDx, LosingTheFocusStopsAFullScreenDeviceAndRegainingItRestarts)
{
    LoadFullScreen();
    Device->StartAll();
    Application->OnDeactivate(Application);
    EXPECT_FALSE(Device->Active());
    EXPECT_FALSE(Device->HasFocus());
    EXPECT_TRUE(Device->WasActive());
    EXPECT_EQ(Ev.DeActivating, 1);
    EXPECT_EQ(DeviceDisplayMode(), (SoftDxSize{1920, 1080}));
    ExpectFormRestored();

    Application->OnActivate(Application);
    EXPECT_TRUE(Device->HasFocus());
    EXPECT_EQ(Ev.Activating, 1);
    ASSERT_TRUE(Device->Active()) << "restarted because it was active";
    EXPECT_FALSE(Device->WasActive()) << "a start clears WasActive";
    EXPECT_EQ(DeviceDisplayMode(), (SoftDxSize{800, 600}));
    EXPECT_EQ(Device->Count("TWDirectX.AppDeactivate"), 1);
    EXPECT_EQ(Device->Count("TWDirectX.AppActivate"), 1);

    // Stopped by hand: the next activation does not start it, unless AutoStart.
    Device->StopAll();
    Device->AppDeactivate(nullptr);
    EXPECT_FALSE(Device->WasActive());
    Device->AppActivate(nullptr);
    EXPECT_FALSE(Device->Active());
    Device->AutoStart = true;
    Device->AppActivate(nullptr);
    EXPECT_TRUE(Device->Active());
    Device->StopAll();
}

TEST_F(DeviceOnSoftDx, AWindowedDeviceStopsOnDeactivationOnlyWhenAskedTo)
{
    Device->Loaded();
    Device->AlwaysStopOnDeActivating = false;
    Device->StartAll();
    Device->AppDeactivate(nullptr);
    EXPECT_TRUE(Device->Active()) << "a window keeps running";
    EXPECT_TRUE(Device->WasActive());
    Device->ClearLog();
    Device->AppActivate(nullptr);
    EXPECT_EQ(Device->Count("TWDirectX.StartAll - Already active"), 1);

    Device->AlwaysStopOnDeActivating = true;
    Device->AppDeactivate(nullptr);
    EXPECT_FALSE(Device->Active());
    Device->AppActivate(nullptr);
    EXPECT_TRUE(Device->Active());
    Device->StopAll();

    Device->DisableDirectDraw = true;
    Device->StartAll();
    ASSERT_TRUE(Device->Active());
    EXPECT_FALSE(Device->Primary()->Active()) << "no DirectDraw steps";
    Device->AppDeactivate(nullptr);
    EXPECT_TRUE(Device->Active()) << "without DirectDraw there is nothing to lose";
    Device->StopAll();
}

TEST_F(DeviceOnSoftDx, ActivationChangesDuringAStartAreIgnored)
{
    LoadFullScreen();
    Device->OnLine = [this](const std::string& line) {
        if (line != "TWDirectX.StartAll - Start DirectDraw") return;
        EXPECT_EQ(static_cast<int>(Device->StartStage()), 1);
        Device->AppDeactivate(nullptr);
        Device->AppActivate(nullptr);
    };
    Device->StartAll();
    Device->OnLine = nullptr;
    EXPECT_TRUE(Device->Active());
    EXPECT_TRUE(Device->HasFocus());
    EXPECT_EQ(Ev.DeActivating + Ev.Activating, 0);
    EXPECT_EQ(Device->Count("TWDirectX.AppDeactivate - Ignoring"), 1);
    EXPECT_EQ(Device->Count("TWDirectX.AppActivate - Ignoring"), 1);
    EXPECT_EQ(Device->Count("TWDirectX.AppDeactivate"), 0);
    Device->StopAll();
}

TEST_F(DeviceOnSoftDx, AnExceptionStopsTheDeviceAndShowsItWithTheLastError)
{
    LoadFullScreen();
    Device->StartAll();
    Device->ExceptionIgnore = true;
    EXPECT_THROW(Device->RaiseError(rkDirectDraw, "TWDirectDrawSurface.Start", DDERR_INVALIDMODE), EWDirectXError);
    ASSERT_TRUE(Device->Active()) << "ExceptionIgnore keeps the device running";

    // With ExceptionIgnore the application's exception only reaches OnException.
    Application->OnException(Application, std::runtime_error("ignored"));
    EXPECT_EQ(Ev.Exception, 1);
    EXPECT_TRUE(Device->Active());
    EXPECT_TRUE(Device->FormRestyled());
    EXPECT_TRUE(Boxes.empty());

    Device->ExceptionIgnore = false;
    Application->OnException(Application, std::runtime_error("Access violation"));
    EXPECT_EQ(Ev.Exception, 2);
    EXPECT_TRUE(Ev.ActiveAtException) << "OnException comes before the stop";
    EXPECT_FALSE(Ev.RestyledAtException) << "and after the form is restored";
    EXPECT_FALSE(Device->Active());
    ExpectFormRestored();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0],
              "Access violation\rTWDirectDrawSurface.Start\r" + InvalidMode + "|Exception|" + std::to_string(miError));
}

TEST_F(DeviceOnSoftDx, ChangingTheModeOfAStartedDeviceRestartsIt)
{
    LoadFullScreen();
    Device->StartAll();
    const int other = ModeIndex(1024, 768, 16);
    ASSERT_GE(other, 0);
    Device->SetVideoMode(other);
    EXPECT_TRUE(Device->Active());
    EXPECT_EQ(Ev.AfterStop, 1);
    EXPECT_EQ(Ev.AfterStart, 2);
    EXPECT_EQ(DeviceDisplayMode(), (SoftDxSize{1024, 768}));
    EXPECT_EQ(Device->Back1()->Bits, 16);

    Device->SetVideoMode(other);
    EXPECT_EQ(Ev.AfterStop, 1) << "the same index does nothing";

    Device->SetVideoMode(Device->VideoModeCount() + 3);
    EXPECT_EQ(Device->VideoModeIndex(), other);
    EXPECT_EQ(Ev.AfterStop, 2) << "out of range: stopped and started in the same mode";
    EXPECT_EQ(Ev.AfterStart, 3);
    EXPECT_EQ(DeviceDisplayMode(), (SoftDxSize{1024, 768}));
    Device->StopAll();
}

TEST_F(DeviceOnSoftDx, FlipShowsTheBackSurfaceAndWaitsOutABusyBlitter)
{
    Device->Flip();  // stopped: nothing, no report
    LoadFullScreen(640, 480, 32);
    Device->StartAll();
    IDirectDrawSurface7* front = Device->Primary()->Surface();
    Device->Back1()->ColorFill(0x00FF0000);
    SoftDxFailNext("Flip", DDERR_WASSTILLDRAWING, 3);
    Device->Flip();
    EXPECT_EQ(LockedPixels(front).Get(5, 5) & 0xFFFFFF, 0xFF0000u) << "flipped once the blitter was free";

    Device->Back1()->ColorFill(0x000000FF);
    SoftDxFailNext("Flip", DDERR_SURFACELOST);
    Device->Flip();
    EXPECT_EQ(LockedPixels(front).Get(5, 5) & 0xFFFFFF, 0xFF0000u) << "another failure ends the flip";
    Device->Flip();
    EXPECT_EQ(LockedPixels(front).Get(5, 5) & 0xFFFFFF, 0x0000FFu) << "the next frame tries again";
    Device->StopAll();
}

TEST_F(DeviceOnSoftDx, EveryFlipTakesOneRefreshAlsoWhenItShowsNothing)
{
    const struct {
        const char* what;
        bool start, fullScreen;
        HRESULT flipFault;  // DD_OK: none
        size_t waits;
    } cases[] = {
        {"a stopped device does nothing", false, true, DD_OK, 0},
        {"a flip chain shows the frame and waits", true, true, DD_OK, 1},
        {"a lost surface shows nothing and waits", true, true, DDERR_SURFACELOST, 1},
        {"a window has no flip chain and waits", true, false, DD_OK, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MakeDevice();
        if (c.fullScreen)
            LoadFullScreen(640, 480, 32);
        else
            Device->Loaded();
        if (c.start) Device->StartAll();
        for (const bool flip : {true, false}) {
            Clock->Sleeps.clear();
            if (flip) {
                if (c.flipFault != DD_OK) SoftDxFailNext("Flip", c.flipFault);
                Device->Flip();
            } else {
                Device->WaitForRefresh();
            }
            ASSERT_EQ(Clock->Sleeps.size(), c.waits) << (flip ? "Flip" : "WaitForRefresh");
            for (const FakeClock::Sleep& sleep : Clock->Sleeps) EXPECT_EQ(sleep.Until, SoftDxNextRefresh(sleep.From));
        }
        if (Device->Active()) Device->StopAll();
    }
}

TEST_F(DeviceOnSoftDx, LoadingTracesTheObjectsAndListsAndNamesTheDriver)
{
    Device->Loaded();
    EXPECT_EQ(Device->LogLines(), (std::vector<std::string>{
                                      "TWDirectX.GetDrivers",
                                      "TWDirectX.GetCOM - DirectDraw",
                                      "TWDirectX.GetCOM - Direct3D",
                                      "TWDirectX.GetCOM - DirectInput",
                                      "TWDirectX.GetCOM - DirectSound",
                                      "TWDirectX.GetD3DDevices",
                                      "TWDirectX.GetZBuffers",
                                      "TWDirectX.GetVideoModes",
                                  }));
    ASSERT_EQ(Device->DriverCount(), 1);
    EXPECT_EQ(Device->GetDriverInfo(0).Name, "display");
    EXPECT_EQ(Device->GetDriverInfo(0).Description, "Primary Display Driver");
    EXPECT_EQ(Device->VideoModeText(0), "Windowed");
    EXPECT_EQ(Device->VideoModeText(ModeIndex(800, 600, 16)), "800 x 600 x 16");
    EXPECT_EQ(Device->DriverCaps().dwSize, sizeof(DDCAPS));
    EXPECT_TRUE(Device->DriverCaps().dwCaps2 & DDCAPS2_CANRENDERWINDOWED);

    // Choosing the same driver again changes nothing; the objects stay.
    IDirectDraw7* before = Device->DirectDraw();
    Device->SetDriver(0);
    EXPECT_EQ(Device->DirectDraw(), before);

    SoftDxFailNext("CreateClipper", DDERR_GENERIC);
    try {
        Device->CreateClipper();
        ADD_FAILURE() << "a refused clipper raises";
    } catch (const EWDirectXError& e) {
        EXPECT_EQ(e.Message(), "TWDirectDraw.CreateClipper\r" + Generic);
    }
    SoftDxFailNext("CreatePalette", DDERR_INVALIDMODE);
    PALETTEENTRY entries[256] = {};
    EXPECT_THROW(Device->CreatePalette(entries), EWDirectXError);
    EXPECT_EQ(Device->LastError, "TWDirectDraw.CreatePalette\r" + InvalidMode);
}

TEST_F(DeviceOnSoftDx, ARefusedDriverLeavesNoDirectDrawAndNoModes)
{
    struct Refuse {
        int Calls = 0;
        void Driver(TObject*, const TDriverInfo&, bool& accept)
        {
            ++Calls;
            accept = false;
        }
    } refuse;
    Device->OnAcceptDriver = TAcceptDriverEvent::Of<&Refuse::Driver>(&refuse);
    Device->Loaded();
    EXPECT_EQ(refuse.Calls, 1);
    EXPECT_EQ(Device->DriverCount(), 0);
    EXPECT_EQ(Device->DirectDraw(), nullptr);
    EXPECT_EQ(Device->VideoModeCount(), 0);
    EXPECT_EQ(FailedStart(), "TWDirectX.StartAll - No COM for DirectDraw\r");
}
