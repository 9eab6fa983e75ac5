#pragma once
// TWDirectDrawPalette and TWDirectDrawClipper: form components that each hold one DirectDraw
// object of their form's device while it runs. Neither attaches its object to a surface;
// a program does that with the interface they hold.
#include "framework/Component.h"
#include "wdx/ComPtr.h"
#include "wdx/DirectXApi.h"
#include "wdx/WDirectXTypes.h"

class TWDirectDrawPalette : public TComponent, public TObject, public TWDirectXComponent {
public:
    explicit TWDirectDrawPalette(TComponent* owner);

    bool Active() const { return FActive; }
    // The 256 entries the palette is made from; a grey ramp (i, i, i, 0) until changed.
    PALETTEENTRY Entries[256];
    IDirectDrawPalette* Palette() const { return FPalette.Get(); }

    TWDirectXComponentKind DirectXKind() const override { return dxkPalette; }
    void Start(TWDirectX* device) override;
    void Stop() override;

private:
    TWDirectX* FDevice = nullptr;  // not owned
    bool FActive = false;
    TComPtr<IDirectDrawPalette> FPalette;
};

class TWDirectDrawClipper : public TComponent, public TObject, public TWDirectXComponent {
public:
    explicit TWDirectDrawClipper(TComponent* owner);

    bool Active() const { return FActive; }
    IDirectDrawClipper* Clipper() const { return FClipper.Get(); }

    TWDirectXComponentKind DirectXKind() const override { return dxkClipper; }
    void Start(TWDirectX* device) override;
    void Stop() override;

private:
    TWDirectX* FDevice = nullptr;  // not owned
    bool FActive = false;
    TComPtr<IDirectDrawClipper> FClipper;
};
