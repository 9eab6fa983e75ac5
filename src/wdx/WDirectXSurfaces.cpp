// The device's named surface list: CreateNewSurface finds and loads a picture, sizes,
// describes and creates the surface, copies the picture in and registers it by name;
// DestroySurface empties a slot. The texture steps are in WDirectXTextures.cpp.
#include <cstring>

#include "core/Paths.h"
#include "core/Text.h"
#include "imaging/PictureFormats.h"
#include "imaging/PictureLimits.h"
#include "wdx/ComPtr.h"
#include "wdx/ImageFiles.h"
#include "wdx/NewSurface.h"
#include "wdx/SurfaceLock.h"
#include "wdx/SurfacePreparer.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectX.h"
#include "wdx/results/ResultTexts.h"

namespace {
// The name's extension (after its last dot), upper-cased: it picks the reader.
std::string UpperExtension(const std::string& name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : UpperCaseAscii(std::string_view(name).substr(dot + 1));
}

// DDPF_RGB and DDPF_PALETTEINDEXED8.
constexpr DWORD Indexed8Flags = 0x60;

// Creates an image surface of w x h (bits 0: the display's format) in the memory asked for.
HRESULT CreateImageSurface(IDirectDraw7* directDraw, int w, int h, int bits, TdxMemoryType memoryType,
                           IDirectDrawSurface7** surface)
{
    DDSURFACEDESC2 desc = ImageSurfaceDesc(w, h, bits, memoryType);
    if (!directDraw) return DDERR_GENERIC;
    return directDraw->CreateSurface(&desc, surface, nullptr);
}

// Reads the picture at path, of the kind its name's extension says; false when it cannot
// be read. A picture for an image surface of the file's size (any kind but BMP and TGA) is
// only opened here, and its size in the surface settled: its own, or reduced to what covers
// the box.
bool LoadPicture(const std::string& path, const std::string& name, TdxSurfaceType surfaceType,
                 TddSurfaceDimension surfaceDimension, TStoreBox box, TSurfacePicture& picture)
{
    const std::string ext = UpperExtension(name);
    if (ext == "BMP") {
        picture.HaveBitmap = LoadBmpFile(path, picture.Bitmap);
        return picture.HaveBitmap;
    }
    if (ext == "TGA") {
        picture.HaveRaw = LoadTgaFile(path, picture.Raw);
        return picture.HaveRaw;
    }
    picture.Picture = MakePicture(name);
    if (!picture.Picture) return false;
    if (surfaceType == dxstImage && surfaceDimension == sdFromFile) {
        if (!picture.Picture->Open(path)) return false;
        picture.Box = box;
        picture.Stored = StoredSize(picture.Picture->OwnWidth(), picture.Picture->OwnHeight(), box.Width, box.Height);
        // What would be held, not what the file holds, is what a picture may cost.
        if (uint64_t(picture.Stored.Width) * uint64_t(picture.Stored.Height) > MaxPicturePixels) return false;
        picture.Straight = true;
        return true;
    }
    picture.Picture.reset();
    picture.HaveBitmap = LoadPictureIntoBitmap(picture.Bitmap.Pixels, path);
    return picture.HaveBitmap;
}

// The surface's size: the picture's, the screen's, the window's or the one asked for; a side
// still 0 takes the primary surface's.
void SizeSurface(const TWDirectX& device, TddSurfaceDimension dimension, int width, int height, int bits,
                 TNewSurface& made)
{
    switch (dimension) {
    case sdFromFile: break;
    case sdFromScreen:
        made.Width = device.Primary()->Width;
        made.Height = device.Primary()->Height;
        break;
    case sdExact:
        if (width != 0) made.Width = width;
        if (height != 0) made.Height = height;
        if (bits != 0) made.Bits = bits;
        break;
    case sdFromWindow:
        made.Width = device.OutputWidth();
        made.Height = device.OutputHeight();
        break;
    }
    if (made.Width == 0) made.Width = device.Primary()->Width;
    if (made.Height == 0) made.Height = device.Primary()->Height;
}

// Creates an image surface of the settled size and copies the picture in; empty when refused.
TComPtr<IDirectDrawSurface7> CreateFilledSurface(IDirectDraw7* directDraw, TSurfacePicture& picture, Td3dTextr flags,
                                                 TdxMemoryType memoryType, TdxSurfaceType surfaceType,
                                                 TNewSurface& made)
{
    TComPtr<IDirectDrawSurface7> surface;
    if (surfaceType != dxstEmptyImage && surfaceType != dxstImage) {
        // Only the flexible surface expands the list types; handed one, the device refuses
        // it as DirectDraw refuses what it does not do.
        made.Refuse(ResultText(rkDirectDraw, DDERR_UNSUPPORTED), DDERR_UNSUPPORTED);
        return surface;
    }
    made.Code = CreateImageSurface(directDraw, made.Width, made.Height, made.Bits, memoryType, surface.Put());
    if (made.Code != DD_OK) {
        made.Reason = ResultText(rkDirectDraw, made.Code);
        surface.Reset();
    } else if (surfaceType == dxstImage && picture.HaveBitmap) {
        // A failed copy leaves whatever DirectDraw gave the surface; not reported.
        CopyBitmapToSurface(false, directDraw, surface.Get(), picture.Bitmap, flags);
    } else if (picture.Straight) {
        TStraightLoad load = DecodePictureIntoSurface(directDraw, surface.Get(), *picture.Picture, picture.Stored.Width,
                                                      picture.Stored.Height);
        // Another format (a 16-bit mode): through a bitmap, as other pictures go.
        if (load == TStraightLoad::NotPossible) {
            load = TStraightLoad::BadData;
            if (LoadPictureIntoBitmap(picture.Bitmap.Pixels, picture.Picture->Path(), nullptr, picture.Box.Width,
                                      picture.Box.Height)) {
                CopyBitmapToSurface(false, directDraw, surface.Get(), picture.Bitmap, flags);
                load = TStraightLoad::Done;
            }
        }
        if (load == TStraightLoad::BadData) {
            // Damaged data past a sound header: refused as a file that cannot be read at
            // all is, before any surface.
            surface.Reset();
            made = TNewSurface{};
            made.Refuse("File not found", 1);
        }
    }
    // A TGA picture is read but never copied into an image surface.
    return surface;
}
// The surface for a picture prepared ahead, made and filled as the load would have made it.
TComPtr<IDirectDrawSurface7> SurfaceFromPrepared(IDirectDraw7* directDraw, TPreparedPicture& prepared,
                                                 TNewSurface& made)
{
    using TKind = TPreparedPicture::TKind;
    if (prepared.Kind == TKind::Surface) return std::move(prepared.Surface);
    TSurfacePicture picture;
    if (prepared.Kind == TKind::Bitmap) {
        picture.Bitmap = std::move(prepared.Bitmap);
        picture.HaveBitmap = true;
        return CreateFilledSurface(directDraw, picture, Td3dTextr{}, dxmtAuto, dxstImage, made);
    }
    // Decoded rows of the display's 32-bit format: copied in, as a decode into the surface
    // would have written them.
    TComPtr<IDirectDrawSurface7> surface =
        CreateFilledSurface(directDraw, picture, Td3dTextr{}, dxmtAuto, dxstImage, made);
    if (!surface) return surface;
    HDC dc = nullptr;
    if (surface->GetDC(&dc) != DD_OK) return surface;
    surface->ReleaseDC(dc);
    DDSURFACEDESC2 locked;
    if (LockWhole(surface.Get(), locked) != DD_OK) return surface;
    const DDPIXELFORMAT& pf = locked.ddpfPixelFormat;
    if (pf.dwRGBBitCount == 32 && pf.dwRBitMask == 0xFF0000 && pf.dwGBitMask == 0xFF00 && pf.dwBBitMask == 0xFF &&
        locked.dwWidth == DWORD(prepared.Width) && locked.dwHeight == DWORD(prepared.Height)) {
        const size_t rowBytes = size_t(prepared.Width) * 4;
        for (int y = 0; y < prepared.Height; ++y)
            std::memcpy(static_cast<uint8_t*>(locked.lpSurface) + ptrdiff_t(y) * locked.lPitch,
                        prepared.Pixels.get() + size_t(y) * size_t(prepared.Width), rowBytes);
    }
    surface->Unlock(nullptr);
    return surface;
}
}  // namespace

DDSURFACEDESC2 ImageSurfaceDesc(int w, int h, int bits, TdxMemoryType memoryType)
{
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = static_cast<DWORD>(w);
    desc.dwHeight = static_cast<DWORD>(h);
    if (bits != 0) {
        desc.dwFlags |= DDSD_PIXELFORMAT;
        DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
        pf.dwSize = sizeof pf;
        pf.dwRGBBitCount = static_cast<DWORD>(bits);
        switch (bits) {
        case 8: pf.dwFlags = Indexed8Flags; break;
        case 16:
            pf.dwFlags = DDPF_RGB;
            pf.dwRBitMask = 0x7C00;
            pf.dwGBitMask = 0x03E0;
            pf.dwBBitMask = 0x001F;
            break;
        case 24:
        case 32:
            pf.dwFlags = DDPF_RGB;
            pf.dwRBitMask = 0xFF0000;
            pf.dwGBitMask = 0xFF00;
            pf.dwBBitMask = 0xFF;
            break;
        default: break;  // flags 0: DirectDraw decides whether it can make it
        }
    }
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (memoryType == dxmtSystemMemory) desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    if (memoryType == dxmtVideoMemory) desc.ddsCaps.dwCaps |= DDSCAPS_VIDEOMEMORY;
    return desc;
}

TSurfaceContainer::~TSurfaceContainer()
{
    // An attached level's basic surface is freed too: it was made for this entry, and kept
    // it would hold its level, and with it the whole chain, for the rest of the program.
    // AttachTo is released after, with the members.
    delete Surface;
}

void TWDirectX::NewSurfaceList()
{
    // Entries a list still held (a start after one that never stopped) go with it.
    FreeSurfaceList();
    FSurfaces.emplace();
}

void TWDirectX::FreeSurfaceList()
{
    if (!FSurfaces) return;
    for (int i = 0; i < SurfaceCount(); ++i) DestroySurface(i);
    FSurfaces.reset();
}

TSurfaceContainer* TWDirectX::SurfaceEntry(int index) const
{
    if (!FSurfaces || index < 0 || index >= SurfaceCount()) return nullptr;
    return (*FSurfaces)[static_cast<size_t>(index)].get();
}

int TWDirectX::SurfaceIndex(const std::string& name) const
{
    int found = -1;
    for (int i = 0; i < SurfaceCount(); ++i) {
        const TSurfaceContainer* entry = SurfaceEntry(i);
        if (entry && SameTextAscii(entry->Name, name)) found = i;
    }
    return found;
}

TSurfaceContainer* TWDirectX::SurfaceEntryByName(const std::string& name) const
{
    return SurfaceEntry(SurfaceIndex(name));
}

void TWDirectX::DestroySurface(int index)
{
    if (!FSurfaces || index < 0 || index >= SurfaceCount()) return;
    std::unique_ptr<TSurfaceContainer> entry = std::move((*FSurfaces)[static_cast<size_t>(index)]);
    if (!entry) return;
    const std::string number = std::to_string(index);
    if (LogType == dxlogAll) WriteLog("TWDirectX.DestroySurface: " + number);
    if (entry->Owned && entry->Surface) {
        entry->Surface->Stop();
        if (LogType == dxlogAll) WriteLog("TWDirectX.DestroySurface STOPPED: " + number);
    }
    // The entry's destructor frees an owned surface and releases AttachTo.
}

void TWDirectX::DestroySurface(const std::string& name)
{
    const int index = SurfaceIndex(name);
    if (index >= 0) DestroySurface(index);
}

bool TWDirectX::FindPicture(const std::string& name, std::string& path) const
{
    // Image resources of the program's module would come first; neither the Linux program
    // nor the Windows build carries any, so the search starts with the files.
    const std::string candidates[] = {name, PathImages + name, ProgramFolder() + PathDelim + PathImages + name};
    for (const std::string& candidate : candidates) {
        if (IsRegularFile(candidate)) {
            path = candidate;
            return true;
        }
    }
    return false;
}

int TWDirectX::CreateNewSurface(const std::string& name, Td3dTextr flags, int width, int height, int bits,
                                TColor colorKey, int stage, TdxMemoryType memoryType,
                                TddSurfaceDimension surfaceDimension, TdxSurfaceType surfaceType,
                                IDirectDrawSurface7* attachTo, int mipMapCount, TPreparedPicture* madeAhead,
                                TStoreBox store)
{
    if (LogType == dxlogAll) WriteLog("TWDirectX.CreateNewSurface: " + name);
    const int existing = SurfaceIndex(name);
    if (existing >= 0) return existing;  // shared by name; nothing of the request applies

    TNewSurface made;
    TSurfacePicture picture;
    // A picture made ahead for this name stands for the file's load: the same size, the same
    // pixels, the same refusal. One made for another device or another kind of surface does not.
    TPreparedPicture* prepared = nullptr;
    if (madeAhead && SameTextAscii(madeAhead->Name, name) && madeAhead->Owner == DirectDraw() &&
        surfaceType == dxstImage && surfaceDimension == sdFromFile && memoryType == dxmtAuto &&
        madeAhead->Box.Width == store.Width && madeAhead->Box.Height == store.Height)
        prepared = madeAhead;
    if (prepared) {
        made.Width = prepared->Width;
        made.Height = prepared->Height;
        made.PictureWidth = prepared->PictureWidth;
        made.PictureHeight = prepared->PictureHeight;
        if (prepared->Kind == TPreparedPicture::TKind::Failed) made.Refuse(prepared->Reason, prepared->Code);
    } else if (surfaceType != dxstEmptyImage && surfaceType != dxstEmptyTexture) {
        std::string path;
        // A damaged picture of any kind is refused as a damaged TGA is: there is no picture to show.
        if (FindPicture(name, path) && LoadPicture(path, name, surfaceType, surfaceDimension, store, picture)) {
            made.Width = picture.Width();
            made.Height = picture.Height();
            if (picture.Straight) {
                made.PictureWidth = picture.PictureWidth();
                made.PictureHeight = picture.PictureHeight();
            }
        } else {
            made.Refuse("File not found", 1);
        }
    }
    if (made.Reason.empty()) SizeSurface(*this, surfaceDimension, width, height, bits, made);
    TComPtr<IDirectDrawSurface7> surface;
    const bool texture = surfaceType == dxstEmptyTexture || surfaceType == dxstTexture || surfaceType == dxstMipMaps;
    if (made.Reason.empty() && texture)
        surface = CreateTextureSurface(*this, picture, flags, stage, surfaceType, attachTo, mipMapCount, made);
    else if (made.Reason.empty())
        surface = prepared ? SurfaceFromPrepared(DirectDraw(), *prepared, made)
                           : CreateFilledSurface(DirectDraw(), picture, flags, memoryType, surfaceType, made);
    picture.Free();
    // Taken: its rows go now, as a load's picture does; the caller lets go of the rest.
    if (prepared) prepared->Pixels.reset();

    if (made.Refused()) {
        surface.Reset();
        // The picture's own size, whatever it was to be stored at.
        const int width = made.PictureWidth ? made.PictureWidth : made.Width;
        const int height = made.PictureHeight ? made.PictureHeight : made.Height;
        RaiseError(rkDirectDraw,
                   "TWDirectX.CreateNewSurface " + name + " (" + std::to_string(width) + "x" + std::to_string(height) +
                       "x" + std::to_string(made.Bits) + ") " + made.Reason,
                   made.Code);
    }

    auto entry = std::make_unique<TSurfaceContainer>();
    entry->Surface = new TWDirectDrawBasicSurface();
    entry->Surface->Start(this, surface.Get());
    surface.Reset();  // the basic surface holds its own reference
    if (made.PictureWidth > 0 && made.PictureHeight > 0) {
        entry->Surface->PictureWidth = made.PictureWidth;
        entry->Surface->PictureHeight = made.PictureHeight;
    }
    if (surfaceType == dxstEmptyImage) entry->Surface->ColorFill(colorKey);
    if (surfaceType != dxstMipMaps) entry->Surface->SetColorKey(colorKey);
    entry->Name = name;
    entry->Alpha = made.Alpha;
    entry->Owned = attachTo == nullptr;
    entry->AttachTo = TComPtr<IDirectDrawSurface7>::Share(attachTo);
    if (!FSurfaces) FSurfaces.emplace();
    const int index = static_cast<int>(FSurfaces->size());
    entry->Index = index;
    FSurfaces->push_back(std::move(entry));
    if (LogType == dxlogAll) WriteLog("TWDirectX.CreateNewSurface: " + name + ", Result:" + std::to_string(index));
    return index;
}
