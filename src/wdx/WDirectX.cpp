// The device's life: creation with the one-instance rule, loading, destruction, its settings,
// the application hooks, Flip, the clipper and palette factories, and the log and error path.
// Start and stop are in WDirectXStart.cpp, the lists in WDirectXModes.cpp.
#include "wdx/WDirectX.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/Paths.h"
#include "framework/Application.h"
#include "framework/DateTime.h"
#include "framework/Dialogs.h"
#include "wdx/results/ResultTexts.h"

TWDirectX::TWDirectX(TComponent* owner) : TComponent(owner)
{
    if (owner) {
        for (int i = 0; i < owner->ComponentCount(); ++i) {
            auto* other = dynamic_cast<TWDirectX*>(owner->Components(i));
            if (!other || other == this) continue;
            MessageBoxShow("You only need one instance of\r the TWDirectX component...", "Creating TWDirectX", miError);
            // The older device leaves the form; whoever made it now frees it. The new one
            // goes on being set up below, so the form keeps a working device.
            owner->RemoveComponent(other);
            break;
        }
    }
    std::memset(&FDriverCaps, 0, sizeof(FDriverCaps));
    std::memset(&FEmulationCaps, 0, sizeof(FEmulationCaps));
    FPrimary = std::make_unique<TWDirectDrawBasicSurface>();
    FBack1 = std::make_unique<TWDirectDrawBasicSurface>();
    FBack2 = std::make_unique<TWDirectDrawBasicSurface>();
    FBack3 = std::make_unique<TWDirectDrawBasicSurface>();
    // With two devices in the program the one created last receives these.
    Application->OnDeactivate = TNotifyEvent::Of<&TWDirectX::AppDeactivate>(this);
    Application->OnActivate = TNotifyEvent::Of<&TWDirectX::AppActivate>(this);
    Application->OnException = TExceptionEvent::Of<&TWDirectX::AppException>(this);
    FOwnerForm = dynamic_cast<TForm*>(owner);
    if (!OutputControl) OutputControl = FOwnerForm;
    if (owner) {
        // A form's hooks are bound to its most derived class, whose address may differ from
        // the base pointers; all of them are kept while the form still has its full type.
        FOwnerAddresses = {owner, dynamic_cast<const void*>(owner)};
        if (FOwnerForm) {
            FOwnerAddresses.push_back(FOwnerForm);
            FOwnerAddresses.push_back(static_cast<TObject*>(FOwnerForm));
        }
    }
}

TWDirectX::~TWDirectX()
{
    // The owner stops the device first; a device freed while started still gives its
    // surfaces back so that no interface outlives it.
    if (FActive) {
        if (FRenderTarget) FRenderTarget->Stop();
        FPrimary->Stop();
    }
    FRenderTarget = nullptr;
    FD3DDevice.Reset();
    FZBuffer.Reset();
    FPrimary.reset();
    FBack1.reset();
    FBack2.reset();
    FBack3.reset();
    FDrivers.reset();
    FVideoModes.reset();
    FD3DDevices.clear();
    FZBuffers.clear();
    ReleaseCOM();

    // Only the hooks that are this device's or its form's are cleared: when a second device
    // (the show's, over the settings dialog) owns them, they stay with it.
    if (OwnsEventObject(Application->OnException.Object())) Application->OnException = {};
    if (OwnsEventObject(Application->OnDeactivate.Object())) Application->OnDeactivate = {};
    if (OwnsEventObject(Application->OnActivate.Object())) Application->OnActivate = {};
    if ((OnIdle && Application->OnIdle == OnIdle) || OwnsEventObject(Application->OnIdle.Object()))
        Application->OnIdle = {};
    if (OwnsEventObject(Application->OnMessage.Object())) Application->OnMessage = {};
}

bool TWDirectX::OwnsEventObject(const void* object) const
{
    if (!object) return false;
    if (object == static_cast<const void*>(this) || object == static_cast<const TObject*>(this)) return true;
    for (const void* address : FOwnerAddresses)
        if (object == address) return true;
    return false;
}

void TWDirectX::Loaded()
{
    if (ComboBoxDrivers) ComboBoxDrivers->SetOnChange(TNotifyEvent::Of<&TWDirectX::DriversChange>(this));
    if (ComboBoxD3DDevices) ComboBoxD3DDevices->SetOnChange(TNotifyEvent::Of<&TWDirectX::D3DDevicesChange>(this));
    if (ComboBoxVideoModes) ComboBoxVideoModes->SetOnChange(TNotifyEvent::Of<&TWDirectX::VideoModesChange>(this));
    if (ComboBoxZBuffer) ComboBoxZBuffer->SetOnChange(TNotifyEvent::Of<&TWDirectX::ZBufferChange>(this));
    GetDrivers();
}

void TWDirectX::DriversChange(TObject*) { SetDriver(ComboBoxDrivers->ItemIndex()); }
void TWDirectX::D3DDevicesChange(TObject*) { SetD3DDevice(ComboBoxD3DDevices->ItemIndex()); }
void TWDirectX::VideoModesChange(TObject*) { SetVideoMode(ComboBoxVideoModes->ItemIndex()); }
void TWDirectX::ZBufferChange(TObject*) { SetZBuffer(ComboBoxZBuffer->ItemIndex()); }

void TWDirectX::SetIdleEnabled(bool enabled)
{
    FIdleEnabled = enabled;
    ApplyIdleHook();
}

void TWDirectX::ApplyIdleHook()
{
    // The handler goes into the slot as it is, not wrapped, so the application calls it
    // with itself as Sender.
    Application->OnIdle = FIdleEnabled && FActive ? OnIdle : TIdleEvent{};
}

void TWDirectX::SetBacksurfaces(int count)
{
    if (count >= 0 && count <= 3) FBacksurfaces = count;
}

void TWDirectX::SetColorKey(TColor color)
{
    FColorKey = color;
    if (FActive) FPrimary->SetColorKey(color);
}

void TWDirectX::AppActivate(TObject*)
{
    // StartAll's own restyling and mode change move the focus around; those changes are
    // not the user's.
    if (FStartStage == TStartStage::Starting) {
        LogAll("TWDirectX.AppActivate - Ignoring");
        return;
    }
    LogAll("TWDirectX.AppActivate");
    FHasFocus = true;
    OnActivating(this);
    if (AutoStart || FWasActive) StartAll();
}

void TWDirectX::AppDeactivate(TObject*)
{
    if (FStartStage == TStartStage::Starting) {
        LogAll("TWDirectX.AppDeactivate - Ignoring");
        return;
    }
    LogAll("TWDirectX.AppDeactivate");
    FHasFocus = false;
    FWasActive = FActive;
    OnDeActivating(this);
    // A full-screen device loses its surfaces with the focus anyway; it gives everything
    // back and builds it anew on reactivation.
    if (!DisableDirectDraw && (IsFullScreen() || AlwaysStopOnDeActivating)) StopAll();
}

void TWDirectX::AppException(TObject*, const std::exception& error)
{
    if (!ExceptionIgnore) RestoreForm();
    OnException(this);
    if (ExceptionIgnore) return;
    StopAll();
    MessageBoxShow(std::string(error.what()) + "\r" + LastError, "Exception", miError);
}

void TWDirectX::Flip()
{
    if (!FActive) return;
    IDirectDrawSurface7* surface = FPrimary->Surface();
    HRESULT result = DDERR_NOTFLIPPABLE;
    if (surface)
        while ((result = surface->Flip(nullptr, DDFLIP_WAIT)) == DDERR_WASSTILLDRAWING) {
        }
    // A lost or unflippable surface ends the call; the next frame tries again. The call still
    // takes a refresh, as a flip would, so a caller that flips once a frame keeps the
    // display's pace while nothing reaches the screen.
    if (result != DD_OK) WaitForRefresh();
}

void TWDirectX::WaitForRefresh()
{
    if (!FActive || !FDirectDraw) return;
    // Its result does not matter: a display that cannot wait leaves the pace to the caller.
    FDirectDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
}

IDirectDrawClipper* TWDirectX::CreateClipper()
{
    IDirectDrawClipper* clipper = nullptr;
    const HRESULT result = FDirectDraw ? FDirectDraw->CreateClipper(0, &clipper, nullptr) : DDERR_GENERIC;
    if (result != DD_OK) RaiseError(rkDirectDraw, "TWDirectDraw.CreateClipper", result);
    return clipper;
}

IDirectDrawPalette* TWDirectX::CreatePalette(PALETTEENTRY* entries)
{
    // DDPCAPS_8BIT, DDPCAPS_INITIALIZE and DDPCAPS_ALLOW256: all 256 entries, set from entries.
    constexpr DWORD flags = 0x4C;
    IDirectDrawPalette* palette = nullptr;
    const HRESULT result = FDirectDraw ? FDirectDraw->CreatePalette(flags, entries, &palette, nullptr) : DDERR_GENERIC;
    if (result != DD_OK) RaiseError(rkDirectDraw, "TWDirectDraw.CreatePalette", result);
    return palette;
}

std::string TWDirectX::LogPath() const { return ProgramFolder() + LogFile; }

void TWDirectX::LogAll(const char* line)
{
    if (LogType == dxlogAll) WriteLog(line);
}

void TWDirectX::WriteLog(const std::string& text)
{
    const std::string path = LogPath();
    // Opened and closed for every line, so a crash loses nothing that was logged.
    std::FILE* file = OpenFileStream(path, "ab");
    if (!file) throw EInOutError("Cannot open the log file " + path + ": " + std::strerror(errno));
    const std::string line = LocalDateTimeText() + " " + text + "\r\n";
    const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    const int savedErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed)
        throw EInOutError("Cannot write the log file " + path + ": " + std::strerror(written ? errno : savedErrno));
}

std::string TWDirectX::FormatError(TResultKind kind, const std::string& message, int32_t result) const
{
    return message + "\r" + ResultText(kind, result);
}

void TWDirectX::RaiseError(TResultKind kind, const std::string& message, int32_t result)
{
    const std::string text = FormatError(kind, message, result);
    if (LogType != dxlogNone) WriteLog(text);
    if (!ExceptionIgnore) StopAll();
    LastError = text;
    throw EWDirectXError(text);
}
