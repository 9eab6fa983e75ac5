#pragma once
// What the steps of the device's CreateNewSurface share between the image steps
// (WDirectXSurfaces.cpp), the texture steps (WDirectXTextures.cpp) and the surfaces made
// ahead (SurfacePreparer.cpp): the picture read for the surface, what the steps settle about
// it, and how an image surface is described.
#include <memory>
#include <string>
#include <utility>

#include "imaging/Picture.h"
#include "wdx/ComPtr.h"
#include "wdx/ImageFiles.h"
#include "wdx/WDirectHeader.h"
#include "wdx/WDirectXTypes.h"

class TWDirectX;

// A picture read for a new surface: a bitmap (a BMP, or another picture decoded into one), a
// TGA picture, or a picture of which only the header was read, to be decoded straight into
// the surface, at Stored size, once that exists.
struct TSurfacePicture {
    TLoadedBitmap Bitmap;
    bool HaveBitmap = false;
    TRawPicture Raw;
    bool HaveRaw = false;
    std::unique_ptr<TPicture> Picture;
    bool Straight = false;
    // A straight picture's size in the surface, and the box it was chosen for (a bitmap of it is made
    // within the same box).
    TStoredSize Stored;
    TStoreBox Box;

    int Width() const { return HaveBitmap ? Bitmap.Pixels.Width() : Straight ? Stored.Width : Raw.Width; }
    int Height() const { return HaveBitmap ? Bitmap.Pixels.Height() : Straight ? Stored.Height : Raw.Height; }
    // A straight picture's own size, which it may be stored smaller than.
    int PictureWidth() const { return Picture ? Picture->OwnWidth() : 0; }
    int PictureHeight() const { return Picture ? Picture->OwnHeight() : 0; }
    // The pixels go once the surface has them, before it is registered or refused.
    void Free()
    {
        Bitmap.Pixels.SetSize(0, 0);
        Bitmap.ColorTable.clear();
        Raw = TRawPicture{};
    }
};

// What the steps of a new surface settle: its size, whether it has an alpha format, and why
// it was refused, if it was.
struct TNewSurface {
    int Width = 0, Height = 0, Bits = 0;
    // The size of the picture it holds, where that is stored smaller (0: the surface's own).
    int PictureWidth = 0, PictureHeight = 0;
    bool Alpha = false;
    std::string Reason;
    HRESULT Code = DD_OK;

    bool Refused() const { return !Reason.empty() || Code != DD_OK; }
    void Refuse(std::string reason, HRESULT code)
    {
        Reason = std::move(reason);
        Code = code;
    }
};

// An off-screen image surface of w x h: bits 0 takes the display's format, otherwise the
// format of that depth; in the memory asked for (dxmtAuto: DirectDraw chooses). Every image
// surface, made at once or ahead, is described here, so that a surface made ahead is the one
// the load would have made.
DDSURFACEDESC2 ImageSurfaceDesc(int w, int h, int bits, TdxMemoryType memoryType);

// The texture steps: describes, creates (or, with attachTo, fetches the next mip-map level
// of) a texture surface of the settled size and fills it from the picture. Empty, with
// made's Reason and Code set, when refused.
TComPtr<IDirectDrawSurface7> CreateTextureSurface(TWDirectX& device, TSurfacePicture& picture, Td3dTextr flags,
                                                  int stage, TdxSurfaceType surfaceType, IDirectDrawSurface7* attachTo,
                                                  int mipMapCount, TNewSurface& made);
