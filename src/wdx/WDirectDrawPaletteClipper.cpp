// The palette and clipper components: each makes its object through the device at the
// device's start and gives it back at its stop.
#include "wdx/WDirectDrawPaletteClipper.h"

#include "wdx/WDirectX.h"

TWDirectDrawPalette::TWDirectDrawPalette(TComponent* owner) : TComponent(owner)
{
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<BYTE>(i);
        Entries[i] = PALETTEENTRY{level, level, level, 0};
    }
}

void TWDirectDrawPalette::Start(TWDirectX* device)
{
    FDevice = device;
    if (FActive || !device) return;
    if (device->LogType == dxlogAll) device->WriteLog("TWDirectDrawPalette.Start");
    // A failure raises through the device and leaves the component inactive.
    FPalette = TComPtr<IDirectDrawPalette>::Adopt(device->CreatePalette(Entries));
    FActive = true;
}

void TWDirectDrawPalette::Stop()
{
    FActive = false;
    FPalette.Reset();
    if (FDevice && FDevice->LogType == dxlogAll) FDevice->WriteLog("TWDirectDrawPalette.Stopped");
}

TWDirectDrawClipper::TWDirectDrawClipper(TComponent* owner) : TComponent(owner) {}

void TWDirectDrawClipper::Start(TWDirectX* device)
{
    FDevice = device;
    if (FActive || !device) return;
    if (device->LogType == dxlogAll) device->WriteLog("TWDirectDrawClipper.Start");
    FClipper = TComPtr<IDirectDrawClipper>::Adopt(device->CreateClipper());
    FActive = true;
}

void TWDirectDrawClipper::Stop()
{
    FActive = false;
    FClipper.Reset();
    if (FDevice && FDevice->LogType == dxlogAll) FDevice->WriteLog("TWDirectDrawClipper.Stopped");
}
