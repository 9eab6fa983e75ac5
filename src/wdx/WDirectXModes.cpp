// The device's DirectX objects and its lists: drivers, video modes, Direct3D devices and
// z-buffer formats (those two in WDirectXDirect3D.cpp), each rebuilt by one enumeration, filtered through its accept
// event, mirrored into an optional combo box, and selected by index.
#include <cstring>

#include "wdx/DirectXBinding.h"
#include "wdx/WDirectX.h"

namespace {
std::string Decimal(int32_t value) { return std::to_string(value); }

[[noreturn]] void IndexError(int index) { throw EListError("List index out of bounds (" + Decimal(index) + ")"); }
}  // namespace

void TWDirectX::GetCOM()
{
    LogAll("TWDirectX.GetCOM - DirectDraw");
    if (!FDirectDraw) {
        GUID* driver = nullptr;
        if (FDrivers && FDriverIndex >= 0 && FDriverIndex < DriverCount()) driver = (*FDrivers)[FDriverIndex].GuidPtr;
        if (DirectXBinding().CreateDirectDraw(driver, FDirectDraw.Put()) == DD_OK && FDirectDraw) {
            // Neither result is looked at: a driver that refuses them still enumerates.
            FDirectDraw->SetCooperativeLevel(FormWindow(), DDSCL_NORMAL);
            std::memset(&FDriverCaps, 0, sizeof(FDriverCaps));
            std::memset(&FEmulationCaps, 0, sizeof(FEmulationCaps));
            FDriverCaps.dwSize = sizeof(FDriverCaps);
            FEmulationCaps.dwSize = sizeof(FEmulationCaps);
            FDirectDraw->GetCaps(&FDriverCaps, &FEmulationCaps);
        }
    }
    LogAll("TWDirectX.GetCOM - Direct3D");
    // Direct3D 7 is the DirectDraw object's other face; without it the reference stays empty.
    if (FDirectDraw && !FDirect3D &&
        FDirectDraw->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(FDirect3D.Put())) != DD_OK)
        FDirect3D.Reset();
    LogAll("TWDirectX.GetCOM - DirectInput");
    // Its result is not looked at: without DirectInput the object simply stays empty.
    if (!FDirectInput) DirectXBinding().CreateDirectInput(FDirectInput.Put());
    LogAll("TWDirectX.GetCOM - DirectSound");
    if (!FDirectSound) {
        if (DirectXBinding().CreateDirectSound(FDirectSound.Put()) != DS_OK ||
            FDirectSound->SetCooperativeLevel(FormWindow(), DSSCL_NORMAL) != DS_OK)
            FDirectSound.Reset();
    }
    GetD3DDevices();
    GetVideoModes();
}

void TWDirectX::ReleaseCOM()
{
    // In the reverse of the order GetCOM makes them.
    FDirectSound.Reset();
    FDirectInput.Reset();
    FDirect3D.Reset();
    FDirectDraw.Reset();
}

BOOL WINAPI TWDirectX::EnumDriver(GUID* guid, LPSTR description, LPSTR name, LPVOID context, HMONITOR monitor)
{
    auto* device = static_cast<TWDirectX*>(context);
    TDriverInfo driver;
    driver.SetGuid(guid);
    driver.Description = description ? description : "";
    driver.Name = name ? name : "";
    driver.Monitor = monitor;
    bool accept = true;
    device->OnAcceptDriver(device, driver, accept);
    if (accept) device->FDrivers->push_back(driver);
    return TRUE;
}

void TWDirectX::GetDrivers()
{
    LogAll("TWDirectX.GetDrivers");
    FDrivers.emplace();
    // Attached secondary, detached secondary and non-display devices too. Without DirectDraw
    // nothing is enumerated and the list stays empty.
    constexpr DWORD flags =
        DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_DETACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES;
    DirectXBinding().EnumerateDrivers(&TWDirectX::EnumDriver, this, flags);
    OnUpdateDriver(this);
    if (ComboBoxDrivers) {
        ComboBoxDrivers->ClearItems();
        for (const TDriverInfo& driver : *FDrivers) ComboBoxDrivers->AddItem(driver.Name + ", " + driver.Description);
    }
    SetDriver(0);
}

void TWDirectX::SetDriver(int index)
{
    if (ComboBoxDrivers) ComboBoxDrivers->SetItemIndex(FDriverIndex);
    if (index == FDriverIndex || index < 0 || index >= DriverCount()) return;
    FDriverIndex = index;
    if (ComboBoxDrivers) ComboBoxDrivers->SetItemIndex(FDriverIndex);
    // Another driver needs objects of its own; they rebuild the other lists.
    ReleaseCOM();
    GetCOM();
}

TDriverInfo TWDirectX::GetDriverInfo(int index) const
{
    if (!FDrivers) return {};
    if (index < 0 || index >= DriverCount()) IndexError(index);
    return (*FDrivers)[index];
}

void TWDirectX::OfferVideoMode(TVideoModeInfo mode)
{
    bool accept = true;
    OnAcceptVideoMode(this, mode, accept);
    if (accept) FVideoModes->push_back(mode);
}

HRESULT WINAPI TWDirectX::EnumVideoMode(LPDDSURFACEDESC2 desc, LPVOID context)
{
    TVideoModeInfo mode;
    mode.Windowed = false;
    mode.Width = static_cast<int32_t>(desc->dwWidth);
    mode.Height = static_cast<int32_t>(desc->dwHeight);
    mode.Bits = static_cast<int32_t>(desc->ddpfPixelFormat.dwRGBBitCount);
    mode.SurfaceDesc = *desc;
    static_cast<TWDirectX*>(context)->OfferVideoMode(mode);
    return DDENUMRET_OK;
}

void TWDirectX::GetVideoModes()
{
    LogAll("TWDirectX.GetVideoModes");
    FVideoModes.emplace();
    if (!FDirectDraw) return;

    // The desktop's own mode, used in a window.
    TVideoModeInfo desktop;
    std::memset(&desktop.SurfaceDesc, 0, sizeof(desktop.SurfaceDesc));
    desktop.SurfaceDesc.dwSize = sizeof(desktop.SurfaceDesc);
    FDirectDraw->GetDisplayMode(&desktop.SurfaceDesc);
    desktop.Windowed = true;
    desktop.Width = static_cast<int32_t>(desktop.SurfaceDesc.dwWidth);
    desktop.Height = static_cast<int32_t>(desktop.SurfaceDesc.dwHeight);
    desktop.Bits = static_cast<int32_t>(desktop.SurfaceDesc.ddpfPixelFormat.dwRGBBitCount);
    if ((FDriverCaps.dwCaps2 & DDCAPS2_CANRENDERWINDOWED) && dxVideoMode != dxvmOnlyFullScreen) OfferVideoMode(desktop);

    // In the order DirectDraw reports them: nothing is sorted or merged.
    if (dxVideoMode != dxvmOnlyWindowed) FDirectDraw->EnumDisplayModes(0, nullptr, this, &TWDirectX::EnumVideoMode);

    if (ComboBoxVideoModes) {
        ComboBoxVideoModes->ClearItems();
        for (int i = 0; i < VideoModeCount(); ++i) ComboBoxVideoModes->AddItem(VideoModeText(i));
    }
    SetVideoMode(0);
    OnUpdateVideoMode(this);
}

void TWDirectX::SetVideoMode(int index)
{
    if (ComboBoxVideoModes) ComboBoxVideoModes->SetItemIndex(FVideoModeIndex);
    if (index == FVideoModeIndex) return;
    const bool wasActive = FActive;
    if (wasActive) StopAll();
    if (index >= 0 && index < VideoModeCount()) FVideoModeIndex = index;
    if (ComboBoxVideoModes) ComboBoxVideoModes->SetItemIndex(FVideoModeIndex);
    if (wasActive) StartAll();
}

int TWDirectX::VideoModeCount() const { return FVideoModes ? static_cast<int>(FVideoModes->size()) : 0; }

TVideoModeInfo TWDirectX::GetVideoModeInfo(int index) const
{
    if (!FVideoModes) return {};
    if (index < 0 || index >= VideoModeCount()) IndexError(index);
    return (*FVideoModes)[index];
}

TVideoModeInfo TWDirectX::GetCurrentVideoMode() const { return GetVideoModeInfo(FVideoModeIndex); }

std::string TWDirectX::VideoModeText(int index) const
{
    if (!FVideoModes) return "";
    const TVideoModeInfo mode = GetVideoModeInfo(index);
    if (mode.Windowed) return "Windowed";
    return Decimal(mode.Width) + " x " + Decimal(mode.Height) + " x " + Decimal(mode.Bits);
}

bool TWDirectX::IsFullScreen() const
{
    // An empty list has no mode to take the screen for: the device then counts as windowed,
    // and its start fails without touching the form.
    if (!FVideoModes || FVideoModes->empty()) return false;
    const int index = FVideoModeIndex == -1 ? 0 : FVideoModeIndex;
    return !GetVideoModeInfo(index).Windowed;
}

void TWDirectX::SetZBuffer(int index)
{
    if (ComboBoxZBuffer) ComboBoxZBuffer->SetItemIndex(FZBufferIndex);
    if (index >= 0 && index < ZBufferCount()) FZBufferIndex = index;
    if (ComboBoxZBuffer) ComboBoxZBuffer->SetItemIndex(FZBufferIndex);
}
