// The texture component: one picture made into a texture surface by the device.
#include "wdx/WDirect3DTexture.h"

#include "wdx/WDirectX.h"

TWDirect3DTexture::TWDirect3DTexture(TComponent* owner) : TComponent(owner) {}

TWDirect3DTexture::~TWDirect3DTexture()
{
    if (FActive) Stop();
}

TWDirectDrawBasicSurface* TWDirect3DTexture::Surface() const
{
    if (!FActive || !FDevice) return nullptr;
    const TSurfaceContainer* entry = FDevice->SurfaceEntry(FIndex);
    return entry ? entry->Surface : nullptr;
}

void TWDirect3DTexture::Start(TWDirectX* device)
{
    FDevice = device;
    if (FActive || !device) return;
    if (device->LogType == dxlogAll) device->WriteLog("TWDirect3dTexture.Start");
    OnSettingDimension(this, Width, Height, Bits);
    // A failure raises here and leaves the component inactive.
    FIndex = device->CreateNewSurface(Image, Flags, Width, Height, Bits, clBlack, Stage, dxmtAuto, SurfaceDimension,
                                      dxstTexture, nullptr, 0);
    FActive = true;
}

void TWDirect3DTexture::Stop()
{
    if (!FActive) return;
    FActive = false;
    FDevice->DestroySurface(FIndex);
    if (FDevice->LogType == dxlogAll) FDevice->WriteLog("TWDirect3dTexture.Stopped");
}
