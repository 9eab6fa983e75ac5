// The show form: its components and their wiring, the frame, and the input that ends the show.
#include "show/ScreenUnit.h"

#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Random.h"
#include "framework/Application.h"
#include "framework/WinApi.h"
#include "show/ShowMode.h"
#include "wdx/WDirectDrawBasicSurface.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectX.h"

volatile std::sig_atomic_t ShowEndRequested = 0;

TShowSettings ReadShowSettings(const TShowOptions& options)
{
    if (options.Settings) return *options.Settings;
    const TLoadedSettings loaded = LoadSettings();
    TShowSettings settings;
    settings.ImagesPath = loaded.ImagesPath.value_or("");
    settings.Resolution = loaded.Resolution;
    settings.Speed = loaded.Speed.value_or(5);
    settings.AllPictureFormats = loaded.AllPictureFormats;
    return settings;
}

namespace {
constexpr int32_t IgnoredMessages = 100;
constexpr int MouseTolerance = 5;
}  // namespace

TScrnFrm::TScrnFrm(TComponent* owner, TShowOptions options) : TForm(owner), FOptions(std::move(options))
{
    Name = "ScrnFrm";
    Color = clBlack;
    SetBorderStyle(bsNone);
    if (!FOptions.InHostWindow) {
        SetFormStyle(fsStayOnTop);
        // Fills its monitor: on Linux the frame is scaled to the whole screen.
        SetWindowState(wsMaximized);
    }

    WDirectX = new TWDirectX(this);
    WDirectX->Name = "WDirectX";
    WDirectX->AutoStart = false;
    WDirectX->OnIdle = TIdleEvent::Of<&TScrnFrm::WDirectXIdle>(this);
    WDirectX->OnAfterStart = TNotifyEvent::Of<&TScrnFrm::WDirectXAfterStart>(this);
    WDirectX->OnAfterStop = TNotifyEvent::Of<&TScrnFrm::WDirectXAfterStop>(this);
    WDirectX->SetIdleEnabled(true);
    WDirectX->SetBacksurfaces(1);
    WDirectX->OutputControl = this;
    WDirectX->dxCoopLevel = dxclAuto;
    WDirectX->dxVideoMode = dxvmAuto;
    WDirectX->DisableDirectDraw = false;
    WDirectX->DisableDirect3D = true;
    WDirectX->DisableDirectSound = true;
    WDirectX->DisableDirectInput = true;
    WDirectX->LogType = dxlogNone;
    WDirectX->ExceptionIgnore = false;

    FCycle = std::make_unique<TPictureCycle>(*WDirectX, FOptions.PictureCheck);
    FCycle->OnPictureShown = [this](bool atChange) { PictureShown(atChange); };
    WSurface = FCycle->MakeSurface(this);
    WSurface->Name = "WSurface";
    WSurface->UseFile = true;
    WSurface->SurfaceDimension = sdFromFile;
    WSurface->Width = 0;
    WSurface->Height = 0;
    WSurface->Bits = 0;
    WSurface->AutoStart = true;
    WSurface->SetColorKey(clBlack);

    tmrAnim = new TTimer(this);
    tmrAnim->Name = "tmrAnim";
    tmrAnim->SetEnabled(false);
    tmrAnim->SetInterval(1);
    tmrAnim->OnTimer = TNotifyEvent::Of<&TScrnFrm::tmrAnimTimer>(this);

    OnCreate = TNotifyEvent::Of<&TScrnFrm::FormCreate>(this);
    OnClose = TCloseEvent::Of<&TScrnFrm::FormClose>(this);

    WDirectX->Loaded();
    WSurface->Loaded();
    tmrAnim->Loaded();

    OnCreate(this);
    // In a host's window the form is only the device's owner: the frames go to the host's
    // window, and the form is hidden again once the device has started.
    if (!FOptions.InHostWindow) Show();
}

TScrnFrm::~TScrnFrm()
{
    // A form freed without closing must not leave the cursor hidden.
    if (FCursorHidden) ShowCursor(true);
    // The worker goes, and what it prepared, while the device is still there to take it back.
    FCycle.reset();
    FTrace.Close();
}

void TScrnFrm::FormCreate(TObject*)
{
    FTrace.Open();
    // For soak tests, which stop and start the device by moving the focus many times over:
    // with VELLUMINE_SHOW_KEEP_ON_FOCUS=1 a change of focus stops the device (its return
    // starts it again) instead of ending the show. Keys and the mouse still end it.
    const char* keepOnFocus = std::getenv("VELLUMINE_SHOW_KEEP_ON_FOCUS");
    FKeepOnFocus = keepOnFocus && std::string_view(keepOnFocus) == "1";
    Randomize();
    FAnimation.SetSpeed(5);

    const TShowSettings settings = ReadShowSettings(FOptions);
    FImagesPath = settings.ImagesPath;
    FAllPictureFormats = settings.AllPictureFormats;
    FAnimation.SetSpeed(settings.Speed);
    // A speed that never ends the picture needs no next one.
    FCycle->NextWanted = FAnimation.Speed() > 0;

    if (FOptions.InHostWindow)
        SelectHostWindowMode();
    else
        SelectStoredMode(settings.Resolution);

    BuildPictureList();
    FCycle->NameFirstPicture();

    FAnimation.BeginPicture();

    FIgnoreCount = IgnoredMessages;
    FStartCursor = GetCursorPos();
    // A host's show ends only on request, which wakes the loop with a message of its own:
    // any message is a moment to look, whether the device draws or the timer runs or not.
    if (FOptions.InHostWindow)
        Application->OnMessage = TMessageEvent::Of<&TScrnFrm::EndOnRequest>(this);
    else
        Application->OnMessage = TMessageEvent::Of<&TScrnFrm::DeactivateScrnSaver>(this);

    if (WDirectX->VideoModeIndex() >= 0) {
        const TVideoModeInfo mode = WDirectX->GetCurrentVideoMode();
        FAnimation.SetScreen(mode.Width, mode.Height);
    }

    // The pointer over a host's window is the host's business.
    if (FOptions.InHostWindow) return;
    ShowCursor(false);
    FCursorHidden = true;
}

void TScrnFrm::SelectStoredMode(const TResolution& stored)
{
    std::vector<TShowModeEntry> modes;
    for (int i = 0; i < WDirectX->VideoModeCount(); ++i) {
        const TVideoModeInfo mode = WDirectX->GetVideoModeInfo(i);
        modes.push_back({mode.Windowed, {mode.Width, mode.Height, mode.Bits}});
    }
    if (const int chosen = ChooseShowMode(modes, stored); chosen >= 0) WDirectX->SetVideoMode(chosen);
}

void TScrnFrm::SelectHostWindowMode()
{
    // The desktop entry stands first; the last full-screen entry of its size with the most
    // bits wins, as a flip chain needs a full-screen mode.
    if (WDirectX->VideoModeCount() == 0) return;
    const TVideoModeInfo desktop = WDirectX->GetVideoModeInfo(0);
    int chosen = -1, bits = 0;
    for (int i = 0; i < WDirectX->VideoModeCount(); ++i) {
        const TVideoModeInfo mode = WDirectX->GetVideoModeInfo(i);
        if (!mode.Windowed && mode.Width == desktop.Width && mode.Height == desktop.Height && mode.Bits >= bits) {
            chosen = i;
            bits = mode.Bits;
        }
    }
    if (chosen >= 0) WDirectX->SetVideoMode(chosen);
}

bool TScrnFrm::EndWhenRequested()
{
    if (!ShowEndRequested || FClosing) return false;
    Close();
    return true;
}

void TScrnFrm::FormClose(TObject*, TCloseAction& action)
{
    FClosing = true;
    tmrAnim->SetEnabled(false);
    WDirectX->StopAll();
    if (FCursorHidden) {
        ShowCursor(true);
        FCursorHidden = false;
    }
    FTrace.Close();
    action = caFree;
}

void TScrnFrm::WDirectXAfterStart(TObject*)
{
    FTrace.Device("started");
    if (FOptions.InHostWindow) {
        // Starting maps and maximises the form; in a host's window it must neither cover
        // the host nor stop the device when it never gets the focus.
        Hide();
        Application->OnActivate = {};
        Application->OnDeactivate = {};
    }
    // The first picture's focus point needs its size, known once the device has loaded it.
    // Later starts (the focus coming back) keep the point already drawn.
    if (FFirstPlaced || !HavePicture() || !WSurface->Active()) {
        FCycle->DeviceStarted();
        return;
    }
    FFirstPlaced = true;
    FAnimation.PlacePicture(WSurface->Width, WSurface->Height);
    FTrace.Picture(FAnimation, CurrentPicture());
    FCycle->DeviceStarted();
}

void TScrnFrm::WDirectXAfterStop(TObject*) { FTrace.Device("stopped"); }

void TScrnFrm::PictureShown(bool atChange)
{
    // The first picture is placed once the device has started; a later one starts afresh.
    if (!atChange && !FFirstPlaced) return;
    FAnimation.StartPicture(WSurface->Width, WSurface->Height);
    if (atChange) FChangedThisTick = true;
    FTrace.Picture(FAnimation, CurrentPicture());
}

void TScrnFrm::WDirectXIdle(TObject*, bool&)
{
    if (EndWhenRequested()) return;
    if (!tmrAnim->Enabled()) tmrAnim->SetEnabled(true);
    TWDirectDrawBasicSurface* back = WDirectX->Back1();
    TWDirectDrawBasicSurface* picture = WSurface->DDBS();
    // Without a picture, a flip chain (a windowed mode) or a picture surface there is nothing
    // to draw on or from. The frame still takes a refresh: the timer's ticks, which wake this
    // handler, would otherwise come as fast as the timer allows, hurrying the animation and
    // decoding picture after picture for a screen that shows none of them.
    if (!HavePicture() || !back || !back->Active() || !picture) {
        WDirectX->WaitForRefresh();
        return;
    }
    const TRect out = WDirectX->OutputRect();
    // Rectangles are in the picture's own pixels, whatever size it is stored at.
    const auto fits = [picture](const TRect& r) {
        return r.Left >= 0 && r.Top >= 0 && r.Right <= picture->PictureWidth && r.Bottom <= picture->PictureHeight &&
               r.Left < r.Right && r.Top < r.Bottom;
    };
    TRect source = FAnimation.SourceRect();
    // The frame between a change and the next tick holds the rectangle the last picture
    // ended with. Where that reaches outside the new picture (a zoom out or a slide ends a
    // little past its last step), the frame shows the new picture where its own animation
    // starts: keeping the old frame on the screen instead would stop the show for a frame
    // at such a change.
    if (FChangedThisTick && !fits(source)) {
        TShowAnimation start = FAnimation;
        start.UpdateSourceRect();
        source = start.SourceRect();
    }
    // A rectangle reaching outside the picture, or an empty one (the first frame before any
    // tick), is refused by the blit; a flip would then bring back the frame before last. The
    // screen keeps the last frame instead.
    if (!fits(source)) {
        WDirectX->WaitForRefresh();
        return;
    }
    const int64_t started = FTrace.On() ? TShowTrace::Clock() : 0;
    back->BltPicture(out, picture, source);
    back->ReleaseHandle();
    WDirectX->Flip();
    FTrace.Frame(FAnimation, started, source);
}

void TScrnFrm::tmrAnimTimer(TObject*)
{
    if (EndWhenRequested()) return;
    FCycle->Tick();
    FChangedThisTick = false;
    if (FAnimation.Tick()) ShowNextPicture();
}

void TScrnFrm::BuildPictureList() { FCycle->BuildPictureList(FImagesPath, FAllPictureFormats); }

void TScrnFrm::ShowNextPicture() { FCycle->ShowNextPicture(); }

void TScrnFrm::EndOnRequest(TMsg&, bool&) { EndWhenRequested(); }

void TScrnFrm::DeactivateScrnSaver(TMsg& msg, bool&)
{
    if (FIgnoreCount > 0) {
        --FIgnoreCount;
        return;
    }
    if (FClosing) return;
    bool end = false;
    switch (msg.message) {
    case WM_MOUSEMOVE: {
        const auto lParam = static_cast<uint32_t>(msg.lParam);
        const int x = static_cast<int>(lParam & 0xFFFF);
        const int y = static_cast<int>(lParam >> 16);
        end = std::abs(x - FStartCursor.X) > MouseTolerance || std::abs(y - FStartCursor.Y) > MouseTolerance;
        break;
    }
    case WM_KEYDOWN: end = true; break;
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
    case WM_NCACTIVATE: end = !FKeepOnFocus; break;
    default: break;
    }
    if (end) Close();
}
