// The device over the DirectDraw of the platform: the software one on Linux, the system's
// (Wine's) on Windows. Only what holds on both is expected here: the settings, the lists and
// their filters, the one-instance rule, the hooks, and a start in the desktop's own mode.
#include "wdx/WDirectX.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/WinApi.h"
#include "support/FakeCombo.h"
#include "wdx/ComPtr.h"
#include "wdx/DirectXBinding.h"

namespace {
struct ShownBox {
    std::string Text, Caption;
    TMsgIcon Icon;
};

// Collects accept-event calls and refuses what Refuse says.
struct Filter {
    TWDirectX* Device = nullptr;
    int Calls = 0;
    bool AlwaysPreset = true;
    bool SenderIsDevice = true;
    bool RefuseWindowedAnd8Bit = false;
    void Accept(TObject* sender, const TVideoModeInfo& mode, bool& accept)
    {
        ++Calls;
        AlwaysPreset = AlwaysPreset && accept;
        SenderIsDevice = SenderIsDevice && sender == static_cast<TObject*>(Device);
        if (RefuseWindowedAnd8Bit && (mode.Windowed || mode.Bits == 8)) accept = false;
    }
};

class Device : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadDirectXLibraries());
        SetMessageBoxHandler([this](const std::string& text, const std::string& caption, TMsgIcon icon) {
            Boxes.push_back({text, caption, icon});
        });
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(30, 20, 320, 240);
        WDX = new TWDirectX(Form.get());
    }
    void TearDown() override
    {
        if (WDX && WDX->Active()) WDX->StopAll();
        Form.reset();
        SetMessageBoxHandler(nullptr);
    }

    // The first full-screen entry of that size and depth, or -1.
    int FullScreenIndex(int width, int height, int bits) const
    {
        for (int i = 0; i < WDX->VideoModeCount(); ++i) {
            const TVideoModeInfo mode = WDX->GetVideoModeInfo(i);
            if (!mode.Windowed && mode.Width == width && mode.Height == height && mode.Bits == bits) return i;
        }
        return -1;
    }

    std::unique_ptr<TForm> Form;
    TWDirectX* WDX = nullptr;  // owned by Form
    std::vector<ShownBox> Boxes;
};
}  // namespace

TEST_F(Device, StartsWithTheInitialSettingsAndOwnsTheApplicationHooks)
{
    EXPECT_FALSE(WDX->AutoStart);
    EXPECT_FALSE(WDX->DisableDirectDraw);
    EXPECT_TRUE(WDX->DisableDirect3D && WDX->DisableDirectSound && WDX->DisableDirectInput);
    EXPECT_FALSE(WDX->ExceptionIgnore);
    EXPECT_EQ(WDX->LogFile, "Log.log");
    EXPECT_EQ(WDX->LogType, dxlogNone);
    EXPECT_FALSE(WDX->IdleEnabled());
    EXPECT_TRUE(WDX->HasFocus());
    EXPECT_FALSE(WDX->Active());
    EXPECT_TRUE(WDX->AlwaysStopOnDeActivating);
    EXPECT_EQ(WDX->PathImages, "images\\");
    EXPECT_EQ(WDX->Path3DxFiles, "xfiles\\");
    EXPECT_EQ(WDX->PathWaves, "waves\\");
    EXPECT_EQ(WDX->dxCoopLevel, dxclAuto);
    EXPECT_EQ(WDX->dxVideoMode, dxvmAuto);
    EXPECT_EQ(WDX->Backsurfaces(), 0);
    EXPECT_EQ(WDX->ColorKey(), clBlack);
    EXPECT_EQ(WDX->vpMinZ, 0.0f);
    EXPECT_EQ(WDX->vpMaxZ, 1.0f);
    EXPECT_FALSE(WDX->UseZBuffer);
    EXPECT_EQ(WDX->OutputControl, Form.get());
    EXPECT_EQ(WDX->OwnerForm(), Form.get());
    EXPECT_EQ(WDX->DriverIndex(), -1);
    EXPECT_EQ(WDX->VideoModeIndex(), -1);
    EXPECT_EQ(WDX->D3DDeviceIndex(), -1);
    EXPECT_EQ(WDX->ZBufferIndex(), -1);
    EXPECT_EQ(WDX->DirectDraw(), nullptr) << "the objects are made when the form is loaded";
    EXPECT_FALSE(WDX->IsFullScreen()) << "no list yet";
    EXPECT_EQ(WDX->VideoModeText(0), "");
    EXPECT_EQ(WDX->GetVideoModeInfo(5).Width, 0) << "without a list nothing is copied";
    for (TWDirectDrawBasicSurface* s : {WDX->Primary(), WDX->Back1(), WDX->Back2(), WDX->Back3()}) {
        ASSERT_NE(s, nullptr);
        EXPECT_FALSE(s->Active());
    }
    EXPECT_EQ(Application->OnActivate.Object(), static_cast<void*>(WDX));
    EXPECT_EQ(Application->OnDeactivate.Object(), static_cast<void*>(WDX));
    EXPECT_EQ(Application->OnException.Object(), static_cast<void*>(WDX));
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(Device, SettersKeepTheirRules)
{
    WDX->SetBacksurfaces(3);
    EXPECT_EQ(WDX->Backsurfaces(), 3);
    WDX->SetBacksurfaces(4);
    EXPECT_EQ(WDX->Backsurfaces(), 3) << "4 is ignored";
    WDX->SetBacksurfaces(-1);
    EXPECT_EQ(WDX->Backsurfaces(), 3) << "-1 is ignored";
    WDX->SetBacksurfaces(0);
    EXPECT_EQ(WDX->Backsurfaces(), 0);

    WDX->SetColorKey(clRed);
    EXPECT_EQ(WDX->ColorKey(), clRed);
    EXPECT_EQ(WDX->Primary()->ColorKey(), clBlack) << "an inactive device only stores the key";

    struct IdleSink {
        void Idle(TObject*, bool&) {}
    } sink;
    WDX->OnIdle = TIdleEvent::Of<&IdleSink::Idle>(&sink);
    Application->OnIdle = {};
    WDX->SetIdleEnabled(true);
    EXPECT_TRUE(WDX->IdleEnabled());
    EXPECT_FALSE(Application->OnIdle) << "no idle calls before a start";
}

TEST_F(Device, LoadingBuildsTheDriverAndVideoModeListsAndFillsTheComboBoxes)
{
    FakeCombo drivers, modes;
    WDX->ComboBoxDrivers = &drivers;
    WDX->ComboBoxVideoModes = &modes;
    int updates = 0;
    struct Counter {
        int* Count;
        void Hit(TObject*) { ++*Count; }
    } counter{&updates};
    WDX->OnUpdateVideoMode = TSomeEvent::Of<&Counter::Hit>(&counter);
    WDX->Loaded();

    ASSERT_GE(WDX->DriverCount(), 1);
    EXPECT_EQ(WDX->DriverIndex(), 0);
    EXPECT_EQ(WDX->GetDriverInfo(0).GuidPtr, nullptr) << "the primary display driver has no GUID";
    EXPECT_NE(WDX->DirectDraw(), nullptr);
    ASSERT_EQ(drivers.ItemCount(), WDX->DriverCount());
    EXPECT_EQ(drivers.Item(0), WDX->GetDriverInfo(0).Name + ", " + WDX->GetDriverInfo(0).Description);
    EXPECT_EQ(drivers.ItemIndex(), 0);

    ASSERT_GE(WDX->VideoModeCount(), 2);
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(WDX->VideoModeIndex(), 0);
    ASSERT_EQ(modes.ItemCount(), WDX->VideoModeCount());
    for (int i = 0; i < WDX->VideoModeCount(); ++i) EXPECT_EQ(modes.Item(i), WDX->VideoModeText(i));
    EXPECT_EQ(modes.ItemIndex(), 0);

    // The windowed desktop entry comes first, since the driver can render in a window.
    const TVideoModeInfo desktop = WDX->GetVideoModeInfo(0);
    EXPECT_TRUE(desktop.Windowed);
    EXPECT_EQ(modes.Item(0), "Windowed");
    EXPECT_GT(desktop.Width, 0);
    EXPECT_EQ(static_cast<int32_t>(desktop.SurfaceDesc.dwWidth), desktop.Width);
    EXPECT_FALSE(WDX->IsFullScreen());
    for (int i = 1; i < WDX->VideoModeCount(); ++i) EXPECT_FALSE(WDX->GetVideoModeInfo(i).Windowed);

    modes.Pick(1);
    EXPECT_EQ(WDX->VideoModeIndex(), 1) << "the box's change event selects the mode";
    EXPECT_EQ(modes.ItemIndex(), 1);
    EXPECT_TRUE(WDX->IsFullScreen());
    EXPECT_EQ(WDX->GetCurrentVideoMode().Width, WDX->GetVideoModeInfo(1).Width);
    WDX->SetVideoMode(WDX->VideoModeCount());
    EXPECT_EQ(WDX->VideoModeIndex(), 1) << "an index out of range keeps the selection";

    EXPECT_THROW(WDX->GetVideoModeInfo(WDX->VideoModeCount()), EListError);
    EXPECT_THROW(WDX->GetVideoModeInfo(-1), EListError);
    // The Direct3D lists come with loading too, each with its first entry selected; an index
    // out of range keeps the selection.
    ASSERT_GT(WDX->D3DDeviceCount(), 0);
    EXPECT_EQ(WDX->D3DDeviceIndex(), 0);
    EXPECT_EQ(WDX->ZBufferIndex(), WDX->ZBufferCount() > 0 ? 0 : -1);
    WDX->SetD3DDevice(WDX->D3DDeviceCount());
    WDX->SetZBuffer(WDX->ZBufferCount());
    EXPECT_EQ(WDX->D3DDeviceIndex(), 0);
    EXPECT_EQ(WDX->ZBufferIndex(), WDX->ZBufferCount() > 0 ? 0 : -1);
}

TEST_F(Device, VideoModeFiltersShapeTheList)
{
    WDX->dxVideoMode = dxvmOnlyWindowed;
    WDX->Loaded();
    ASSERT_EQ(WDX->VideoModeCount(), 1);
    EXPECT_EQ(WDX->VideoModeText(0), "Windowed");
    const int32_t desktopWidth = WDX->GetVideoModeInfo(0).Width;

    WDX->dxVideoMode = dxvmOnlyFullScreen;
    WDX->GetVideoModes();
    ASSERT_GE(WDX->VideoModeCount(), 1);
    for (int i = 0; i < WDX->VideoModeCount(); ++i) EXPECT_NE(WDX->VideoModeText(i), "Windowed");
    EXPECT_TRUE(WDX->IsFullScreen()) << "entry 0 is the first reported mode";
    const int fullScreenCount = WDX->VideoModeCount();
    int eightBit = 0;
    for (int i = 0; i < fullScreenCount; ++i) eightBit += WDX->GetVideoModeInfo(i).Bits == 8;

    Filter filter;
    filter.Device = WDX;
    filter.RefuseWindowedAnd8Bit = true;
    WDX->OnAcceptVideoMode = TAcceptVideoModeEvent::Of<&Filter::Accept>(&filter);
    WDX->dxVideoMode = dxvmAuto;
    WDX->GetVideoModes();
    EXPECT_EQ(filter.Calls, fullScreenCount + 1) << "every reported mode and the desktop are offered";
    EXPECT_TRUE(filter.AlwaysPreset) << "Accept is preset True";
    EXPECT_TRUE(filter.SenderIsDevice);
    EXPECT_EQ(WDX->VideoModeCount(), fullScreenCount - eightBit);
    for (int i = 0; i < WDX->VideoModeCount(); ++i) {
        EXPECT_FALSE(WDX->GetVideoModeInfo(i).Windowed);
        EXPECT_GE(WDX->GetVideoModeInfo(i).Bits, 16);
    }
    EXPECT_GT(desktopWidth, 0);
}

TEST_F(Device, ASecondDeviceOnTheFormShowsTheMessageAndTakesThePlaceOfTheFirst)
{
    TWDirectX* second = new TWDirectX(Form.get());
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "You only need one instance of\r the TWDirectX component...");
    EXPECT_EQ(Boxes[0].Caption, "Creating TWDirectX");
    EXPECT_EQ(Boxes[0].Icon, miError);
    bool firstOnForm = false, secondOnForm = false;
    for (int i = 0; i < Form->ComponentCount(); ++i) {
        firstOnForm = firstOnForm || Form->Components(i) == WDX;
        secondOnForm = secondOnForm || Form->Components(i) == second;
    }
    EXPECT_FALSE(firstOnForm) << "the older device leaves the form";
    EXPECT_TRUE(secondOnForm);
    EXPECT_EQ(Application->OnActivate.Object(), static_cast<void*>(second));

    // The older one is no longer freed by the form; freeing it leaves the new one's hooks.
    delete WDX;
    WDX = second;
    EXPECT_EQ(Application->OnActivate.Object(), static_cast<void*>(second));
    EXPECT_EQ(Application->OnException.Object(), static_cast<void*>(second));
    second->Loaded();
    EXPECT_GE(second->VideoModeCount(), 1) << "the new device is fully usable";
}

namespace {
class HookedForm : public TForm {
public:
    using TForm::TForm;
    void Hook(MSG&, bool&) {}
    void Idle(TObject*, bool&) {}
};
}  // namespace

TEST_F(Device, FreeingADeviceClearsItsOwnAndItsFormsHooksOnly)
{
    // A dialog with its device, and a show form whose device is created last.
    auto show = std::make_unique<HookedForm>(nullptr);
    TWDirectX* showDevice = new TWDirectX(show.get());
    showDevice->OnIdle = TIdleEvent::Of<&HookedForm::Idle>(show.get());
    Application->OnMessage = TMessageEvent::Of<&HookedForm::Hook>(show.get());
    Application->OnIdle = showDevice->OnIdle;
    ASSERT_EQ(Application->OnActivate.Object(), static_cast<void*>(showDevice));

    show.reset();
    EXPECT_FALSE(Application->OnActivate);
    EXPECT_FALSE(Application->OnDeactivate);
    EXPECT_FALSE(Application->OnException);
    EXPECT_FALSE(Application->OnIdle);
    EXPECT_FALSE(Application->OnMessage) << "no hook outlives its form";

    // Now the other way: the older device goes while the newer one holds the hooks.
    auto dialog = std::make_unique<HookedForm>(nullptr);
    TWDirectX* dialogDevice = new TWDirectX(dialog.get());
    Application->OnMessage = TMessageEvent::Of<&HookedForm::Hook>(dialog.get());
    Form.reset();  // frees WDX, created before dialogDevice
    WDX = nullptr;
    EXPECT_EQ(Application->OnActivate.Object(), static_cast<void*>(dialogDevice));
    EXPECT_EQ(Application->OnException.Object(), static_cast<void*>(dialogDevice));
    EXPECT_TRUE(Application->OnMessage) << "another form's message hook stays";
    dialog.reset();
    EXPECT_FALSE(Application->OnMessage);
}

TEST_F(Device, StartsAndStopsInTheDesktopsOwnModeWithAFlipChain)
{
    WDX->SetBacksurfaces(1);
    WDX->Loaded();
    const TVideoModeInfo desktop = WDX->GetVideoModeInfo(0);
    ASSERT_TRUE(desktop.Windowed);
    // Only the screen's own size can be switched to on every platform.
    const int index = FullScreenIndex(desktop.Width, desktop.Height, desktop.Bits);
    if (index < 0) GTEST_SKIP() << "the driver reports no full-screen mode of the desktop's size";
    WDX->SetVideoMode(index);
    WDX->StartAll();
    ASSERT_TRUE(WDX->Active());
    EXPECT_EQ(static_cast<int>(WDX->StartStage()), 22);
    EXPECT_TRUE(WDX->FormRestyled());
    EXPECT_EQ(Form->BorderStyle(), bsNone);
    EXPECT_EQ(Form->FormStyle(), fsStayOnTop);
    EXPECT_EQ(Form->WindowState(), wsMaximized);
    EXPECT_EQ(WDX->OutputRect(), Rect(0, 0, desktop.Width, desktop.Height));
    EXPECT_TRUE(WDX->Primary()->Active());
    ASSERT_TRUE(WDX->Back1()->Active());
    EXPECT_EQ(WDX->RenderTarget(), WDX->Back1());
    EXPECT_EQ(WDX->Back1()->Width, desktop.Width);
    EXPECT_FALSE(WDX->Back2()->Active());
    WDX->Back1()->ColorFill(0);
    WDX->Flip();

    WDX->StopAll();
    EXPECT_FALSE(WDX->Active());
    EXPECT_EQ(static_cast<int>(WDX->StartStage()), 0);
    EXPECT_FALSE(WDX->Primary()->Active());
    EXPECT_FALSE(WDX->Back1()->Active());
    EXPECT_EQ(Form->BorderStyle(), bsSizeable);
    EXPECT_EQ(Form->FormStyle(), fsNormal);
    EXPECT_EQ(Form->WindowState(), wsNormal);
    EXPECT_EQ(Form->Left(), 30);
    EXPECT_EQ(Form->Top(), 20);
    EXPECT_EQ(Form->Width(), 320);
    EXPECT_EQ(Form->Height(), 240);
    WDX->Flip();  // a stopped device does nothing
}

TEST_F(Device, WindowedStartKeepsTheFormAndBuildsNoFlipChain)
{
    WDX->SetBacksurfaces(1);
    WDX->Loaded();
    ASSERT_TRUE(WDX->GetCurrentVideoMode().Windowed);
    WDX->StartAll();
    ASSERT_TRUE(WDX->Active());
    EXPECT_FALSE(WDX->FormRestyled());
    EXPECT_EQ(Form->BorderStyle(), bsSizeable);
    EXPECT_TRUE(WDX->Primary()->Active());
    EXPECT_FALSE(WDX->Back1()->Active()) << "the flip chain needs exclusive access";
    const TRect client = Form->ClientRect();
    EXPECT_EQ(WDX->ClientArea(), client);
    const TPoint topLeft = Form->ClientToScreen({client.Left, client.Top});
    EXPECT_EQ(WDX->OutputRect().Left, topLeft.X);
    EXPECT_EQ(WDX->OutputRect().Top, topLeft.Y);
    EXPECT_EQ(WDX->OutputWidth(), client.Width());
    EXPECT_EQ(WDX->OutputHeight(), client.Height());
    WDX->Flip();  // nothing to flip in a window; reports nothing
    EXPECT_TRUE(WDX->Active());
}

TEST_F(Device, ClipperAndPaletteComeFromTheDirectDrawObject)
{
    WDX->Loaded();
    const auto clipper = TComPtr<IDirectDrawClipper>::Adopt(WDX->CreateClipper());
    ASSERT_NE(clipper.Get(), nullptr);
    PALETTEENTRY entries[256] = {};
    const auto palette = TComPtr<IDirectDrawPalette>::Adopt(WDX->CreatePalette(entries));
    ASSERT_NE(palette.Get(), nullptr);
    DWORD caps = 0;
    EXPECT_EQ(palette->GetCaps(&caps), DD_OK);
    EXPECT_TRUE(caps & DDPCAPS_8BIT);
    EXPECT_TRUE(caps & DDPCAPS_ALLOW256);
}
