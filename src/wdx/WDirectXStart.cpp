// StartAll and StopAll: the device takes the screen stage by stage, and gives back exactly
// the stages it passed, in reverse order, whether the start failed or the device is stopped.
#include <cstring>

#include "framework/Application.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectX.h"

namespace {
// DDSCL_FULLSCREEN, DDSCL_ALLOWREBOOT, DDSCL_NOWINDOWCHANGES and DDSCL_EXCLUSIVE.
constexpr DWORD ExclusiveLevel = 0x17;
}  // namespace

HWND TWDirectX::FormWindow() const { return FOwnerForm ? FOwnerForm->Handle() : nullptr; }

void TWDirectX::Fail(TResultKind kind, const char* message, HRESULT result)
{
    throw TStartFailure{FormatError(kind, message, result)};
}

void TWDirectX::StartAll()
{
    LastError.clear();
    OnBeforeStart(this);
    if (!OutputControl) OutputControl = FOwnerForm;
    FFormRestyled = false;
    if (FOwnerForm) {
        const int left = FOwnerForm->Left(), top = FOwnerForm->Top();
        FSavedBounds = Rect(left, top, left + FOwnerForm->Width(), top + FOwnerForm->Height());
    }
    if (FActive) {
        LogAll("TWDirectX.StartAll - Already active");
        return;
    }
    LogAll("TWDirectX.StartAll");
    const bool exclusive = IsFullScreen() || dxCoopLevel == dxclAlwaysExclusive;
    FStartStage = TStartStage::Starting;
    FWasActive = false;
    NewSurfaceList();
    try {
        StartSteps(exclusive);
    } catch (const TStartFailure& failure) {
        if (LogType == dxlogAll) WriteLog("TWDirectX.StartAll - Error:" + failure.Text);
        StopAll();
        throw EWDirectXError(failure.Text);
    } catch (const std::exception& error) {
        // An error of a surface's own (a refused colour key) or of the log: its RaiseError
        // has stopped the device unless ExceptionIgnore kept it; what it left is undone here.
        if (FStartStage != TStartStage::Stopped) {
            if (LogType == dxlogAll) {
                try {
                    WriteLog(std::string("TWDirectX.StartAll - Error:") + error.what());
                } catch (const EInOutError&) {
                    // The log is what failed; the stop below matters more than the line.
                }
            }
            StopAll();
        }
        throw;
    }
    FActive = true;
    FStartStage = TStartStage::Started;
    LogAll("TWDirectX.StartAll - All ok");
    OnAfterStart(this);
    SetIdleEnabled(FIdleEnabled);
}

void TWDirectX::StartSteps(bool exclusive)
{
    if (!DisableDirectDraw && IsFullScreen()) RestyleForm();
    LogAll("TWDirectX.StartAll - Start DirectDraw");
    if (!DisableDirectDraw) StartDirectDraw(exclusive);

    FRenderTarget = FBack1.get();
    LogAll("TWDirectX.StartAll - Start Direct3D");
    if (!DisableDirect3D) StartDirect3D();

    LogAll("TWDirectX.StartAll - Start DirectSound");
    FStartStage = TStartStage::DirectSoundObject;
    if (!DisableDirectSound && !FDirectSound) Fail(rkNone, "TWDirectX.StartAll - No COM for DirectSound", DD_OK);
    FStartStage = TStartStage::DirectInputObject;
    if (!DisableDirectInput && !FDirectInput) Fail(rkNone, "TWDirectX.StartAll - No COM for DirectInput", DD_OK);

    LogAll("TWDirectX.StartAll - Finding other components");
    FStartStage = TStartStage::OtherComponents;
    try {
        StartComponents();
        if (!DisableDirect3D) SetDefaultMaterial();
    } catch (...) {
        // A component's own RaiseError may have stopped the device already; the failure is
        // still this stage's, so the stop that follows undoes everything once more.
        FStartStage = TStartStage::OtherComponents;
        throw TStartFailure{"TWDirectX.StartAll - Failed to start other component"};
    }
    // A sound buffer keeps the error of its refused buffer to itself, but the report has
    // stopped the device all the same: the start has failed, and must not claim otherwise.
    if (FStartStage != TStartStage::OtherComponents)
        throw TStartFailure{"TWDirectX.StartAll - Failed to start other component"};
}

void TWDirectX::StartDirectDraw(bool exclusive)
{
    FStartStage = TStartStage::DirectDrawObject;
    if (!FDirectDraw) Fail(rkNone, "TWDirectX.StartAll - No COM for DirectDraw", DD_OK);

    LogAll("TWDirectX.StartAll - DirectDraw: Coop Level");
    FStartStage = TStartStage::CooperativeLevel;
    HRESULT result = FDirectDraw->SetCooperativeLevel(FormWindow(), exclusive ? ExclusiveLevel : DDSCL_NORMAL);
    if (result != DD_OK) Fail(rkDirectDraw, "TWDirectX.StartAll - Setting DirectDraw coop level", result);

    LogAll("TWDirectX.StartAll - DirectDraw: Resolution");
    FStartStage = TStartStage::DisplayMode;
    const TVideoModeInfo mode = GetCurrentVideoMode();
    if (!mode.Windowed) {
        result = FDirectDraw->SetDisplayMode(static_cast<DWORD>(mode.Width), static_cast<DWORD>(mode.Height),
                                             static_cast<DWORD>(mode.Bits), 0, 0);
        if (result != DD_OK) Fail(rkDirectDraw, "TWDirectX.StartAll - Setting display mode", result);
        if (IsFullScreen() && FOwnerForm) FOwnerForm->SetWindowState(wsMaximized);
    }
    UpdateOutputRect();

    LogAll("TWDirectX.StartAll - DirectDraw: Primary");
    FStartStage = TStartStage::PrimarySurface;
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | (DisableDirect3D ? 0 : DDSCAPS_3DDEVICE);
    // The flip chain needs exclusive access.
    if (FBacksurfaces > 0 && exclusive) {
        desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
        desc.ddsCaps.dwCaps |= DDSCAPS_COMPLEX | DDSCAPS_FLIP;
        desc.dwBackBufferCount = static_cast<DWORD>(FBacksurfaces);
    }
    TComPtr<IDirectDrawSurface7> surface;
    result = FDirectDraw->CreateSurface(&desc, surface.Put(), nullptr);
    if (result != DD_OK) Fail(rkDirectDraw, "TWDirectX.StartAll - Creating Primary", result);
    FPrimary->Start(this, surface.Get());
    surface.Reset();  // Primary holds its own reference
    FPrimary->SetColorKey(FColorKey);

    // The stage moves on even without back surfaces, so that StopAll stops Primary.
    FStartStage = TStartStage::BackSurface1;
    if (!exclusive) return;
    DDSCAPS2 caps;
    std::memset(&caps, 0, sizeof(caps));
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    if (FBacksurfaces >= 1) {
        result = FPrimary->AttachSurface(FPrimary->Surface(), caps, *FBack1);
        if (result != DD_OK) Fail(rkDirectDraw, "TWDirectX.StartAll - Creating Back1", result);
    }
    FStartStage = TStartStage::BackSurface2;
    if (FBacksurfaces >= 2) {
        result = FPrimary->AttachSurface(FPrimary->Surface(), caps, *FBack2);
        // The doubled T is the text users' logs and the tools that read them already carry.
        if (result != DD_OK) Fail(rkDirectDraw, "TTWDirectX.StartAll - Creating Back2", result);
    }
    FStartStage = TStartStage::BackSurface3;
    if (FBacksurfaces >= 3) {
        result = FPrimary->AttachSurface(FPrimary->Surface(), caps, *FBack3);
        if (result != DD_OK) Fail(rkDirectDraw, "TWDirectX.StartAll - Creating Back3", result);
    }
}

void TWDirectX::UpdateOutputRect()
{
    if (IsFullScreen()) {
        const TVideoModeInfo mode = GetCurrentVideoMode();
        FOutputRect = FClientArea = Rect(0, 0, mode.Width, mode.Height);
    } else if (OutputControl) {
        FClientArea = OutputControl->ClientRect();
        const TPoint topLeft = OutputControl->ClientToScreen({FClientArea.Left, FClientArea.Top});
        const TPoint bottomRight = OutputControl->ClientToScreen({FClientArea.Right, FClientArea.Bottom});
        FOutputRect = Rect(topLeft.X, topLeft.Y, bottomRight.X, bottomRight.Y);
    }
}

bool TWDirectX::PartEnabled(TWDirectXComponentKind kind) const
{
    switch (kind) {
    case dxkSoundBuffer: return !DisableDirectSound;
    case dxkTexture:
    case dxkXFile:
    case dxkMesh:
    case dxkLight: return !DisableDirect3D;
    case dxkSurface:
    case dxkFlexibleSurface:
    case dxkPalette:
    case dxkClipper: return !DisableDirectDraw;
    case dxkMouse:
    case dxkKeyboard:
    case dxkJoystick: return !DisableDirectInput;
    }
    return false;
}

namespace {
// Calls action on every component of owner that the device starts, in the owner's order:
// all but the lights first, then the lights, which shine on what the first walk made.
template <typename Enabled, typename Action>
void WalkComponents(TComponent* owner, Enabled enabled, Action action)
{
    if (!owner) return;
    for (bool lights : {false, true}) {
        for (int i = 0; i < owner->ComponentCount(); ++i) {
            auto* component = dynamic_cast<TWDirectXComponent*>(owner->Components(i));
            if (!component) continue;
            const TWDirectXComponentKind kind = component->DirectXKind();
            if ((kind == dxkLight) != lights) continue;
            if (enabled(kind) && component->StartsWithDevice()) action(*component);
        }
    }
}
}  // namespace

void TWDirectX::StartComponents()
{
    WalkComponents(
        Owner(), [this](TWDirectXComponentKind kind) { return PartEnabled(kind); },
        [this](TWDirectXComponent& c) { c.Start(this); });
}

void TWDirectX::StopComponents()
{
    WalkComponents(
        Owner(), [this](TWDirectXComponentKind kind) { return PartEnabled(kind); },
        [](TWDirectXComponent& c) { c.Stop(); });
}

void TWDirectX::RestyleForm()
{
    if (!FOwnerForm) return;
    FOwnerForm->SetBorderStyle(bsNone);
    FOwnerForm->SetFormStyle(fsStayOnTop);
    FFormRestyled = true;
    // Lets the window manager act on the new style before the screen changes mode.
    Application->ProcessMessages();
}

void TWDirectX::RestoreForm()
{
    if (!FFormRestyled) return;
    FFormRestyled = false;
    if (!FOwnerForm) return;
    FOwnerForm->SetBorderStyle(bsSizeable);
    FOwnerForm->SetWindowState(wsNormal);
    FOwnerForm->SetFormStyle(fsNormal);
    FOwnerForm->SetBounds(FSavedBounds.Left, FSavedBounds.Top, FSavedBounds.Width(), FSavedBounds.Height());
}

void TWDirectX::StopAll()
{
    LogAll("TWDirectX.StopAll");
    Application->OnIdle = {};
    using enum TStartStage;
    const TStartStage stage = FStartStage;
    if (stage == Started) StopComponents();

    if (!DisableDirect3D) StopDirect3D(stage);
    if (!DisableDirectDraw) {
        if (stage > BackSurface3) FBack3->Stop();
        if (stage > BackSurface2) FBack2->Stop();
        if (stage > BackSurface1) FBack1->Stop();
        if (stage > PrimarySurface) FPrimary->Stop();
        if (stage > DisplayMode && FDirectDraw) FDirectDraw->RestoreDisplayMode();
    }
    RestoreForm();
    if (!DisableDirectDraw && stage > CooperativeLevel) {
        LogAll("TWDirectX.StopAll - Setting CoopLevel to normal");
        if (FDirectDraw) FDirectDraw->SetCooperativeLevel(FormWindow(), DDSCL_NORMAL);
    }
    FreeSurfaceList();
    FActive = false;
    FStartStage = TStartStage::Stopped;
    if (OutputControl) OutputControl->Invalidate(true);
    LogAll("TWDirectX.StopAll - Done");
    OnAfterStop(this);
}

TPoint TWDirectX::ShownFrameSize() const
{
    TPoint size{OutputWidth(), OutputHeight()};
    const auto shown = DirectXBinding().FrameShownSize;
    int width = 0, height = 0;
    if (shown && shown(FormWindow(), size.X, size.Y, width, height)) size = {width, height};
    return size;
}
