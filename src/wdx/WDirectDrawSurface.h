#pragma once
// TWDirectDrawSurface: the form component that holds one picture, or one empty image, as an
// off-screen surface of its form's device. It only gathers its settings; the device's
// CreateNewSurface finds, loads, sizes and creates the surface and keeps it in its list.
#include <string>

#include "framework/Component.h"
#include "framework/Events.h"
#include "framework/Graphics.h"
#include "wdx/DirectXApi.h"
#include "wdx/WDirectHeader.h"
#include "wdx/WDirectXTypes.h"

class TWDirectDrawBasicSurface;
struct TLoadedBitmap;
struct TPreparedPicture;

// May change the requested Width, Height and Bits before the surface is made.
using TOnSettingDimension = TEvent<TObject*, int&, int&, int&>;

class TWDirectDrawSurface : public TComponent, public TObject, public TWDirectXComponent {
public:
    explicit TWDirectDrawSurface(TComponent* owner);
    ~TWDirectDrawSurface() override;

    // The basic surface of the device's entry while Active (none when that slot is empty).
    TWDirectDrawBasicSurface* DDBS() const;
    bool Active() const { return FActive; }

    // Requested size and depth; every Start overwrites them with the surface's own (for a
    // picture stored smaller, the picture's own size; DDBS tells the stored one).
    int Width = 0;
    int Height = 0;
    int Bits = 0;
    std::string Image;     // picture name or path
    bool UseFile = false;  // false: an empty image
    TddSurfaceDimension SurfaceDimension = sdFromScreen;
    bool MustUseSystemMemory = false;
    bool MustUseVideoMemory = false;  // wins when both are set
    bool AutoStart = true;
    TOnSettingDimension OnSettingDimension;
    // Where the surface takes a picture file's size, the box it may be stored within
    // (TWDirectX::CreateNewSurface); sides of 0 store the picture at its own size.
    TStoreBox StoreWithin;

    TColor ColorKey() const { return FColorKey; }
    void SetColorKey(TColor color);  // also sets it on the surface while Active

    TWDirectX* Device() const { return FDevice; }
    int Index() const { return FIndex; }

    TWDirectXComponentKind DirectXKind() const override { return dxkSurface; }
    bool StartsWithDevice() const override { return AutoStart; }
    void Start(TWDirectX* device) override;
    // Starts as Start does, with madeAhead (a picture of Image made ahead, SurfacePreparer.h)
    // standing for the load of the file; the device takes what it holds.
    void StartMadeAhead(TWDirectX* device, TPreparedPicture& madeAhead);
    void Stop() override;

private:
    void StartWith(TWDirectX* device, TPreparedPicture* madeAhead);

    TWDirectX* FDevice = nullptr;  // not owned
    int FIndex = -1;
    bool FActive = false;
    TColor FColorKey = clBlack;
};

// Copies a picture into target through a staging surface, which one DirectDraw blit then
// stretches over the whole target. For an 8-bit target the picture's colour table becomes
// the palette; with an alpha format and a transparency flag, the alpha bits are set on every
// pixel that is not the transparent colour. False when a step before the blit fails.
bool CopyBitmapToSurface(bool texture, IDirectDraw7* directDraw, IDirectDrawSurface7* target,
                         const TLoadedBitmap& bitmap, Td3dTextr flags);

class TPicture;
enum class TStraightLoad {
    Done,         // the picture is in the surface (or, as with a copy, the surface refused it)
    NotPossible,  // the surface is not in the 32-bit display format of the size asked for
    BadData,      // the decoder failed part way: the file is damaged
};
// Decodes an opened picture straight into target at width x height (its own size or smaller),
// when target has that size and the display's 32-bit format: the same pixels a copy through
// a bitmap would give.
TStraightLoad DecodePictureIntoSurface(IDirectDraw7* directDraw, IDirectDrawSurface7* target, TPicture& picture,
                                       int width, int height);
