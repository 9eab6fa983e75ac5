#pragma once
// TWDirectDrawFlexibleSurface: a form component that turns a list of pictures into image
// surfaces, textures or one mip-mapped texture of its form's device. Like the image surface
// it only asks the device's CreateNewSurface by name; the entries belong to the device list.
#include <string>
#include <vector>

#include "framework/Component.h"
#include "framework/Graphics.h"
#include "wdx/DirectXApi.h"
#include "wdx/WDirectHeader.h"
#include "wdx/WDirectXTypes.h"

class TWDirectDrawBasicSurface;
struct TSurfaceContainer;

class TWDirectDrawFlexibleSurface : public TComponent, public TObject, public TWDirectXComponent {
public:
    explicit TWDirectDrawFlexibleSurface(TComponent* owner);
    ~TWDirectDrawFlexibleSurface() override;

    bool Active() const { return FActive; }
    bool AutoStart = true;
    TColor ColorKey = clBlack;
    Td3dTextr Flags;
    std::vector<std::string> Images;  // one picture name a line
    TdxMemoryType MemoryType = dxmtAuto;
    int SpecifiedBits = 0;
    int SpecifiedHeight = 0;
    int SpecifiedWidth = 0;
    int Stage = 0;
    TddSurfaceDimension SurfaceDimension = sdFromFile;
    TdxSurfaceType SurfaceType = dxstImage;

    int ImageIndex() const { return FImageIndex; }
    // An active single-picture component (dxstImage, dxstTexture) loads the new picture at
    // once by stopping and starting again; for the other types the value waits for a start.
    void SetImageIndex(int index);

    // The device's entries this component made, in creation order (none outside the list or
    // for a slot the device has emptied since).
    int EntryCount() const { return static_cast<int>(FEntries.size()); }
    TSurfaceContainer* Entry(int position) const;
    TWDirectDrawBasicSurface* Surface(int position) const;

    TWDirectX* Device() const { return FDevice; }
    TWDirectXComponentKind DirectXKind() const override { return dxkFlexibleSurface; }
    bool StartsWithDevice() const override { return AutoStart; }
    void Start(TWDirectX* device) override;
    void Stop() override;

private:
    int Create(const std::string& name, TdxSurfaceType type, IDirectDrawSurface7* attachTo, int mipMapCount);

    TWDirectX* FDevice = nullptr;  // not owned
    bool FActive = false;
    int FImageIndex = 0;
    // Indices into the device list rather than its records: the device may empty a slot
    // (a surface shared by name and destroyed by its other user) without telling anyone.
    std::vector<int> FEntries;
};
