#pragma once
// TWDirect3DTexture: a form component that holds one picture as a texture surface of its
// form's device. The device starts it whenever Direct3D is enabled; its own AutoStart is kept
// as a setting but not consulted.
#include <cstdint>
#include <string>

#include "framework/Component.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectHeader.h"
#include "wdx/WDirectXTypes.h"

class TWDirect3DTexture : public TComponent, public TObject, public TWDirectXComponent {
public:
    explicit TWDirect3DTexture(TComponent* owner);
    ~TWDirect3DTexture() override;

    bool Active() const { return FActive; }
    std::string Image;
    Td3dTextr Flags;
    uint16_t Stage = 0;
    int Width = 0;
    int Height = 0;
    int Bits = 0;
    TddSurfaceDimension SurfaceDimension = sdFromFile;
    bool AutoStart = true;
    TOnSettingDimension OnSettingDimension;

    // The basic surface of the device's entry while Active (none when that slot is empty).
    TWDirectDrawBasicSurface* Surface() const;
    TWDirectX* Device() const { return FDevice; }
    int Index() const { return FIndex; }

    TWDirectXComponentKind DirectXKind() const override { return dxkTexture; }
    void Start(TWDirectX* device) override;
    void Stop() override;

private:
    TWDirectX* FDevice = nullptr;  // not owned
    int FIndex = -1;
    bool FActive = false;
};
