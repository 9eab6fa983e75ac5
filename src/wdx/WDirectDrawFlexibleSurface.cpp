// The flexible surface: a list of pictures made into images, textures or one mip-mapped
// texture, created in line order and destroyed in the reverse order.
#include "wdx/WDirectDrawFlexibleSurface.h"

#include "wdx/WDirectX.h"

TWDirectDrawFlexibleSurface::TWDirectDrawFlexibleSurface(TComponent* owner) : TComponent(owner) {}

TWDirectDrawFlexibleSurface::~TWDirectDrawFlexibleSurface()
{
    // The form frees its newest components first, so the device is still there.
    if (FActive) Stop();
}

void TWDirectDrawFlexibleSurface::SetImageIndex(int index)
{
    FImageIndex = index;
    if (!FActive || (SurfaceType != dxstImage && SurfaceType != dxstTexture)) return;
    TWDirectX* device = FDevice;
    Stop();
    Start(device);
}

TSurfaceContainer* TWDirectDrawFlexibleSurface::Entry(int position) const
{
    if (!FDevice || position < 0 || position >= EntryCount()) return nullptr;
    return FDevice->SurfaceEntry(FEntries[static_cast<size_t>(position)]);
}

TWDirectDrawBasicSurface* TWDirectDrawFlexibleSurface::Surface(int position) const
{
    const TSurfaceContainer* entry = Entry(position);
    return entry ? entry->Surface : nullptr;
}

int TWDirectDrawFlexibleSurface::Create(const std::string& name, TdxSurfaceType type, IDirectDrawSurface7* attachTo,
                                        int mipMapCount)
{
    const int index = FDevice->CreateNewSurface(name, Flags, SpecifiedWidth, SpecifiedHeight, SpecifiedBits, ColorKey,
                                                Stage, MemoryType, SurfaceDimension, type, attachTo, mipMapCount);
    FEntries.push_back(index);
    return index;
}

void TWDirectDrawFlexibleSurface::Start(TWDirectX* device)
{
    FDevice = device;
    if (FActive || !device) return;
    if (device->LogType == dxlogAll) device->WriteLog("TWDirectDrawFlexibleSurface.Start");
    FEntries.clear();
    switch (SurfaceType) {
    case dxstImage:
    case dxstTexture:
        if (FImageIndex < 0 || FImageIndex >= static_cast<int>(Images.size()))
            throw EListError("List index out of bounds (" + std::to_string(FImageIndex) + ")");
        Create(Images[static_cast<size_t>(FImageIndex)], SurfaceType, nullptr, 0);
        break;
    case dxstImageList:
        for (const std::string& line : Images) Create(line, dxstImage, nullptr, 0);
        break;
    case dxstTextureList:
        for (const std::string& line : Images) Create(line, dxstTexture, nullptr, 0);
        break;
    case dxstMipMaps:
        // The first line makes the whole chain; each further line fills the next level.
        for (size_t i = 0; i < Images.size(); ++i) {
            TWDirectDrawBasicSurface* parent = i == 0 ? nullptr : Surface(static_cast<int>(i) - 1);
            IDirectDrawSurface7* attachTo = parent ? parent->Surface() : nullptr;
            if (i > 0 && !attachTo) {
                // The previous level's slot was emptied under us: the chain cannot go on.
                device->RaiseError(rkDirectDraw,
                                   "TWDirectX.CreateNewSurface " + Images[i] + " (0x0x0) GetAttachedSurface",
                                   DDERR_INVALIDOBJECT);
            }
            Create(Images[i], dxstMipMaps, attachTo, i == 0 ? static_cast<int>(Images.size()) : 0);
        }
        break;
    case dxstEmptyImage:
    case dxstEmptyTexture:
        for (const std::string& line : Images) Create(line, SurfaceType, nullptr, 0);
        break;
    }
    FActive = true;
}

void TWDirectDrawFlexibleSurface::Stop()
{
    if (!FActive) return;
    if (FDevice->LogType == dxlogAll) FDevice->WriteLog("TWDirectDrawFlexibleSurface.Stop");
    FActive = false;
    for (auto it = FEntries.rbegin(); it != FEntries.rend(); ++it) FDevice->DestroySurface(*it);
    FEntries.clear();
}
