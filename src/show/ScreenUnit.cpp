#include "show/ScreenUnit.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Paths.h"
#include "core/Random.h"
#include "core/Text.h"
#include "framework/Application.h"
#include "framework/Bitmap.h"
#include "framework/WinApi.h"
#include "imaging/PictureLoader.h"
#include "show/ShowMode.h"
#include "wdx/ComPtr.h"
#include "wdx/SurfacePreparer.h"
#include "wdx/WDirectDrawBasicSurface.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectX.h"

volatile std::sig_atomic_t ShowEndRequested = 0;

bool PictureDecodes(const std::string& path)
{
    // The header only: the picture is decoded once, into the surface, where a file that
    // fails after a sound header is skipped as well (TShowSurface).
    TJpegPicture jpeg;
    return jpeg.Open(path);
}

TShowSettings ReadShowSettings(const TShowOptions& options)
{
    if (options.Settings) return *options.Settings;
    const TLoadedSettings loaded = LoadSettings();
    TShowSettings settings;
    settings.ImagesPath = loaded.ImagesPath.value_or("");
    settings.Resolution = loaded.Resolution;
    settings.Speed = loaded.Speed.value_or(5);
    return settings;
}

namespace {
constexpr int32_t IgnoredMessages = 100;
constexpr int MouseTolerance = 5;
// Names prepared ahead at most: past that many failing files in a row the walk goes on
// loading at the change itself, as it would with none prepared.
constexpr size_t PreparedAhead = 8;
// Ticks between a picture's start and the preparation of the next: the first frames of a
// picture keep the processor to themselves, and a picture lasts 300 ticks at the most.
constexpr int PrepareAfterTicks = 20;
// Ticks a replaced picture's surface is kept before it is let go: giving back the memory of
// a large photograph takes milliseconds, better spent away from the frame of the change.
constexpr int ReleaseAfterTicks = 5;

int64_t TraceClock()
{
    // The steady clock is the system's monotonic one, so a test can compare its own
    // readings with the trace's.
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Keeps the device running through a failure for the length of one call: a picture that
// cannot be loaded is skipped, and must not stop the show or open a box nobody sees.
class TIgnoreDeviceErrors {
public:
    explicit TIgnoreDeviceErrors(TWDirectX& device) : FDevice(device), FWas(device.ExceptionIgnore)
    {
        FDevice.ExceptionIgnore = true;
    }
    ~TIgnoreDeviceErrors() { FDevice.ExceptionIgnore = FWas; }
    TIgnoreDeviceErrors(const TIgnoreDeviceErrors&) = delete;
    TIgnoreDeviceErrors& operator=(const TIgnoreDeviceErrors&) = delete;

private:
    TWDirectX& FDevice;
    bool FWas;
};

// The show's picture surface. When the device starts it (the first picture, or the current
// one once the focus comes back) with a file that does not load, the show goes on to the
// next file that does, or to no picture, rather than failing the whole start.
class TShowSurface : public TWDirectDrawSurface {
public:
    using TWDirectDrawSurface::TWDirectDrawSurface;
    // Loads another picture; false when none loads. Set by the form.
    std::function<bool()> SkipUnloadable;
    // Called when the surface is stopped other than by the form's own change of picture (the
    // device stopping, the show giving up its pictures), before the device lets anything go.
    std::function<void()> OnStopping;
    // Set by the form around its own stop and start of a change.
    bool Changing = false;

    void Stop() override
    {
        if (!Changing && OnStopping) OnStopping();
        TWDirectDrawSurface::Stop();
    }

    void Start(TWDirectX* device) override
    {
        // Only the device's own start is looked after; the form's loads check for themselves.
        if (FSkipping || !SkipUnloadable || !UseFile || Active() || !device || device->Active()) {
            TWDirectDrawSurface::Start(device);
            return;
        }
        try {
            const TIgnoreDeviceErrors keepRunning(*device);
            TWDirectDrawSurface::Start(device);
            return;
        } catch (const EWDirectXError&) {
        }
        FSkipping = true;
        const bool loaded = SkipUnloadable();
        FSkipping = false;
        if (loaded) return;
        UseFile = false;
        TWDirectDrawSurface::Start(device);
    }

private:
    bool FSkipping = false;
};
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

    FPreparer = std::make_unique<TSurfacePreparer>();
    auto* surface = new TShowSurface(this);
    surface->SkipUnloadable = [this] { return LoadNextLoadable(); };
    surface->OnStopping = [this] {
        FPrepareIn = 0;
        FReplaced.reset();
        FPreparer->Cancel();
    };
    WSurface = surface;
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
    FPreparer->Cancel();
    static_cast<TShowSurface*>(WSurface)->OnStopping = nullptr;
    FReplaced.reset();
    CloseTrace();
}

// A diagnostic for tests and benchmarks, off unless the environment variable
// VELLUMINE_SHOW_TRACE names a file. The show then appends to it one line per picture it
// starts:
//   picture <width>x<height> animation <type> focus <x>,<y> file <path>
// and one per frame it draws and flips:
//   frame <n> progress <p> rect <left>,<top>,<right>,<bottom> drawn <start>-<end>
// where p is printed so that it reads back as the same 32-bit value, and start and end are
// steady-clock microseconds taken before the blit and once the flip has returned: the frame
// was handed to the screen between the two. "device started" and "device stopped" mark the
// device's starts (the first, and each return of the focus) and its stops. A control byte in
// a path is written as \xNN, so each record stays one line. Frame lines are buffered and
// reach the file when the show closes; picture and device lines are written out at once, so
// that a soak test can follow the changes of a running show.
void TScrnFrm::OpenTrace()
{
    if (FTrace) return;
    const char* path = std::getenv("VELLUMINE_SHOW_TRACE");
    if (!path || !*path) return;
    // Only a regular file of the user's own: a FIFO or device there would hold the show at
    // its start, and a link could make it write where the user never meant.
    FTrace = AppendToOwnFile(path);
}

void TScrnFrm::CloseTrace()
{
    if (!FTrace) return;
    std::fclose(FTrace);
    FTrace = nullptr;
}

void TScrnFrm::TracePicture()
{
    if (!FTrace) return;
    const TPoint focus = FAnimation.Focus();
    std::fprintf(FTrace, "picture %dx%d animation %d focus %d,%d file %s\n", FAnimation.PictureWidth(),
                 FAnimation.PictureHeight(), FAnimation.Animation(), focus.X, focus.Y,
                 EscapeControlBytes(FCurrentPicture).c_str());
    std::fflush(FTrace);
}

void TScrnFrm::TraceDevice(const char* state)
{
    if (!FTrace) return;
    std::fprintf(FTrace, "device %s\n", state);
    std::fflush(FTrace);
}

void TScrnFrm::TraceFrame(int64_t startMicroseconds, TRect source)
{
    if (!FTrace) return;
    std::fprintf(FTrace, "frame %" PRIu64 " progress %.9g rect %d,%d,%d,%d drawn %" PRId64 "-%" PRId64 "\n",
                 ++FTracedFrames, static_cast<double>(FAnimation.Progress()), source.Left, source.Top, source.Right,
                 source.Bottom, startMicroseconds, TraceClock());
}

void TScrnFrm::FormCreate(TObject*)
{
    OpenTrace();
    // For soak tests, which stop and start the device by moving the focus many times over:
    // with VELLUMINE_SHOW_KEEP_ON_FOCUS=1 a change of focus stops the device (its return
    // starts it again) instead of ending the show. Keys and the mouse still end it.
    const char* keepOnFocus = std::getenv("VELLUMINE_SHOW_KEEP_ON_FOCUS");
    FKeepOnFocus = keepOnFocus && std::string_view(keepOnFocus) == "1";
    Randomize();
    FAnimation.SetSpeed(5);

    const TShowSettings settings = ReadShowSettings(FOptions);
    FImagesPath = settings.ImagesPath;
    FAnimation.SetSpeed(settings.Speed);

    if (FOptions.InHostWindow)
        SelectHostWindowMode();
    else
        SelectStoredMode(settings.Resolution);

    BuildPictureList();
    FPictureIndex = -1;

    std::string name;
    FHavePicture = NextGoodPictureName(name);
    FCurrentPicture = name;
    if (FHavePicture)
        WSurface->Image = name;
    else
        WSurface->UseFile = false;

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
    CloseTrace();
    action = caFree;
}

void TScrnFrm::WDirectXAfterStart(TObject*)
{
    TraceDevice("started");
    if (FOptions.InHostWindow) {
        // Starting maps and maximises the form; in a host's window it must neither cover
        // the host nor stop the device when it never gets the focus.
        Hide();
        Application->OnActivate = {};
        Application->OnDeactivate = {};
    }
    // The first picture's focus point needs its size, known once the device has loaded it.
    // Later starts (the focus coming back) keep the point already drawn.
    if (FFirstPlaced || !FHavePicture || !WSurface->Active()) {
        PrepareNext();
        return;
    }
    FFirstPlaced = true;
    FAnimation.PlacePicture(WSurface->Width, WSurface->Height);
    TracePicture();
    PrepareNext();
}

void TScrnFrm::WDirectXAfterStop(TObject*) { TraceDevice("stopped"); }

void TScrnFrm::PrepareNext()
{
    FPreparer->Cancel();
    // The picture just replaced may take the next one's rows.
    if (FReplaced) FPreparer->Recycle(*static_cast<TComPtr<IDirectDrawSurface7>*>(FReplaced.get()));
    FPrepareIn = PrepareAfterTicks;
}

void TScrnFrm::BeginPreparing()
{
    // A speed that never ends the picture needs no next one.
    if (!FHavePicture || !WDirectX->Active() || !WSurface->Active() || FPictures.empty() || FAnimation.Speed() <= 0)
        return;
    std::vector<std::string> names;
    const size_t count = FPictures.size();
    for (size_t k = 1; k <= std::min(PreparedAhead, count); ++k)
        names.push_back(FPictures[(static_cast<size_t>(FPictureIndex) + k) % count]);
    FPreparer->Begin(*WDirectX, names);
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
    if (!FHavePicture || !back || !back->Active() || !picture) {
        WDirectX->WaitForRefresh();
        return;
    }
    const TRect out = WDirectX->OutputRect();
    const auto fits = [picture](const TRect& r) {
        return r.Left >= 0 && r.Top >= 0 && r.Right <= picture->Width && r.Bottom <= picture->Height &&
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
    const int64_t started = FTrace ? TraceClock() : 0;
    back->BltCoords(out.Left, out.Top, out.Right, out.Bottom, picture, source.Left, source.Top, source.Right,
                    source.Bottom);
    back->ReleaseHandle();
    WDirectX->Flip();
    TraceFrame(started, source);
}

void TScrnFrm::tmrAnimTimer(TObject*)
{
    if (EndWhenRequested()) return;
    if (FReleaseIn > 0 && --FReleaseIn == 0) FReplaced.reset();
    if (FPrepareIn > 0 && --FPrepareIn == 0) BeginPreparing();
    FPreparer->Pump();
    FChangedThisTick = false;
    if (FAnimation.Tick()) ShowNextPicture();
}

void TScrnFrm::BuildPictureList()
{
    FPictures.clear();
    FindPictureFiles(FPictures, FImagesPath, PictureMasks());
    ShufflePictureList(FPictures);
}

void TScrnFrm::SetPictures(const TPictureList& pictures)
{
    FPrepareIn = 0;
    FPreparer->Cancel();
    FPictures = pictures;
    FPictureIndex = -1;
}

bool TScrnFrm::NextPictureName(std::string& name)
{
    name.clear();
    if (FPictures.empty()) return false;
    ++FPictureIndex;
    if (FPictureIndex >= static_cast<int32_t>(FPictures.size())) FPictureIndex = 0;
    name = FPictures[static_cast<size_t>(FPictureIndex)];
    return true;
}

bool TScrnFrm::NextGoodPictureName(std::string& name)
{
    for (size_t tries = 0; tries < FPictures.size(); ++tries) {
        if (!NextPictureName(name)) return false;
        if (!FOptions.PictureCheck || FOptions.PictureCheck(name)) return true;
    }
    name.clear();
    return false;
}

bool TScrnFrm::LoadIntoSurface(const std::string& name)
{
    // What was prepared for the name stands in for its load; otherwise the file is loaded.
    FPreparer->OfferTo(*WDirectX, name);
    auto* surface = static_cast<TShowSurface*>(WSurface);
    if (TWDirectDrawBasicSurface* shown = WSurface->DDBS()) {
        FReplaced =
            std::make_shared<TComPtr<IDirectDrawSurface7>>(TComPtr<IDirectDrawSurface7>::Share(shown->Surface()));
        FReleaseIn = ReleaseAfterTicks;
    }
    WSurface->Image = name;
    surface->Changing = true;
    WSurface->Stop();
    const TIgnoreDeviceErrors keepRunning(*WDirectX);
    bool loaded = false;
    try {
        WSurface->Start(WDirectX);
        loaded = WSurface->Active();
    } catch (const EWDirectXError&) {
    }
    surface->Changing = false;
    WDirectX->OfferPreparedPicture(nullptr);
    return loaded;
}

bool TScrnFrm::LoadNextLoadable()
{
    for (size_t tries = 0; tries < FPictures.size(); ++tries) {
        std::string name;
        if (!NextPictureName(name)) break;
        if (!LoadIntoSurface(name)) continue;
        FCurrentPicture = name;
        // The first picture is placed once the device has started; a later one starts afresh.
        if (FFirstPlaced) {
            FAnimation.StartPicture(WSurface->Width, WSurface->Height);
            TracePicture();
        }
        return true;
    }
    FHavePicture = false;
    FCurrentPicture.clear();
    return false;
}

void TScrnFrm::StopShowingPictures()
{
    // As with an empty folder: nothing more is drawn, and a restart of the device gives the
    // surface an empty image instead of a file that failed.
    FHavePicture = false;
    FCurrentPicture.clear();
    WSurface->Stop();
    WSurface->UseFile = false;
}

void TScrnFrm::ShowNextPicture()
{
    if (!FHavePicture) return;
    // A stopped device cannot load; the next tick tries again.
    if (!WDirectX->Active()) return;
    for (size_t tries = 0; tries < FPictures.size(); ++tries) {
        std::string name;
        if (!NextPictureName(name)) return;
        if (!LoadIntoSurface(name)) continue;
        FCurrentPicture = name;
        FAnimation.StartPicture(WSurface->Width, WSurface->Height);
        FChangedThisTick = true;
        TracePicture();
        PrepareNext();
        return;
    }
    StopShowingPictures();
}

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
