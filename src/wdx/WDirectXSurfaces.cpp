// The device's named surface list: CreateNewSurface finds and loads a picture, sizes,
// describes and creates the surface, copies the picture in and registers it by name;
// DestroySurface empties a slot. Texture surfaces are not made here yet.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "core/Paths.h"
#include "pictures/PictureLoader.h"
#include "wdx/ComPtr.h"
#include "wdx/ImageFiles.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectX.h"
#include "wdx/results/ResultTexts.h"

namespace {
std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string LowerExtension(const std::string& name)
{
    const size_t dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

bool IsFile(const std::string& path)
{
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// DDPF_RGB and DDPF_PALETTEINDEXED8.
constexpr DWORD Indexed8Flags = 0x60;

// Creates an image surface of w x h (bits 0: the display's format) in the memory asked for.
HRESULT CreateImageSurface(IDirectDraw7* directDraw, int w, int h, int bits, TdxMemoryType memoryType,
                           IDirectDrawSurface7** surface)
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
    if (!directDraw) return DDERR_GENERIC;
    return directDraw->CreateSurface(&desc, surface, nullptr);
}
}  // namespace

TSurfaceContainer::~TSurfaceContainer()
{
    // AttachTo is released after, with the members.
    if (Owned) delete Surface;
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
    const std::string wanted = Upper(name);
    int found = -1;
    for (int i = 0; i < SurfaceCount(); ++i) {
        const TSurfaceContainer* entry = SurfaceEntry(i);
        if (entry && Upper(entry->Name) == wanted) found = i;
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
        if (IsFile(candidate)) {
            path = candidate;
            return true;
        }
    }
    return false;
}

int TWDirectX::CreateNewSurface(const std::string& name, Td3dTextr flags, int width, int height, int bits,
                                TColor colorKey, int /*stage*/, TdxMemoryType memoryType,
                                TddSurfaceDimension surfaceDimension, TdxSurfaceType surfaceType,
                                IDirectDrawSurface7* attachTo, int /*mipMapCount*/)
{
    if (LogType == dxlogAll) WriteLog("TWDirectX.CreateNewSurface: " + name);
    const int existing = SurfaceIndex(name);
    if (existing >= 0) return existing;  // shared by name; nothing of the request applies

    const bool owned = attachTo == nullptr;
    std::string reason;
    HRESULT code = DD_OK;
    int w = 0, h = 0, b = 0;
    TLoadedBitmap bitmap;
    TRawPicture raw;
    bool haveBitmap = false;
    TJpegPicture jpeg;
    bool straightJpeg = false;

    const bool empty = surfaceType == dxstEmptyImage || surfaceType == dxstEmptyTexture;
    if (!empty) {
        std::string path;
        bool loaded = false;
        if (FindPicture(name, path)) {
            const std::string ext = LowerExtension(name);
            if (ext == "bmp") {
                loaded = haveBitmap = LoadBmpFile(path, bitmap);
            } else if (ext == "jpg" || ext == "jpeg") {
                // A picture for an image surface of its own size may be decoded straight
                // into the surface once it exists; only its header is read here.
                if (surfaceType == dxstImage && surfaceDimension == sdFromFile && jpeg.Open(path) &&
                    jpeg.DecodesStraight())
                    loaded = straightJpeg = true;
                else
                    loaded = haveBitmap = LoadJpegIntoBitmap(bitmap.Pixels, "", path);
            } else if (ext == "tga") {
                loaded = LoadTgaFile(path, raw);
            }
        }
        // A damaged BMP or JPEG is refused as a damaged TGA is: there is no picture to show.
        if (!loaded) {
            reason = "File not found";
            code = 1;
        } else if (haveBitmap) {
            w = bitmap.Pixels.Width();
            h = bitmap.Pixels.Height();
        } else if (straightJpeg) {
            w = jpeg.Width();
            h = jpeg.Height();
        } else {
            w = raw.Width;
            h = raw.Height;
        }
    }

    if (reason.empty()) {
        switch (surfaceDimension) {
        case sdFromFile: break;
        case sdFromScreen:
            w = FPrimary->Width;
            h = FPrimary->Height;
            break;
        case sdExact:
            if (width != 0) w = width;
            if (height != 0) h = height;
            if (bits != 0) b = bits;
            break;
        case sdFromWindow:
            w = OutputWidth();
            h = OutputHeight();
            break;
        }
        if (w == 0) w = FPrimary->Width;
        if (h == 0) h = FPrimary->Height;
    }

    TComPtr<IDirectDrawSurface7> surface;
    if (reason.empty()) {
        if (surfaceType == dxstEmptyImage || surfaceType == dxstImage) {
            code = CreateImageSurface(FDirectDraw.Get(), w, h, b, memoryType, surface.Put());
            if (code != DD_OK) {
                reason = ResultText(rkDirectDraw, code);
                surface.Reset();
            } else if (surfaceType == dxstImage && haveBitmap) {
                // A failed copy leaves whatever DirectDraw gave the surface; not reported.
                CopyBitmapToSurface(false, FDirectDraw.Get(), surface.Get(), bitmap, flags);
            } else if (straightJpeg) {
                TStraightLoad load = DecodeJpegIntoSurface(FDirectDraw.Get(), surface.Get(), jpeg);
                // Another format (a 16-bit mode): through a bitmap, as other pictures go.
                if (load == TStraightLoad::NotPossible) {
                    load = TStraightLoad::BadData;
                    if (LoadJpegIntoBitmap(bitmap.Pixels, "", jpeg.Path())) {
                        CopyBitmapToSurface(false, FDirectDraw.Get(), surface.Get(), bitmap, flags);
                        load = TStraightLoad::Done;
                    }
                }
                if (load == TStraightLoad::BadData) {
                    // Damaged data past a sound header: refused as a file that cannot be read
                    // at all is, before any surface.
                    surface.Reset();
                    w = h = b = 0;
                    reason = "File not found";
                    code = 1;
                }
            }
            // A TGA picture is read but never copied into an image surface.
        } else {
            // Textures (and the list types, which only the flexible surface expands) are
            // not made by this device yet.
            code = DDERR_UNSUPPORTED;
            reason = ResultText(rkDirectDraw, code);
        }
    }

    bitmap.Pixels.SetSize(0, 0);
    bitmap.ColorTable.clear();
    raw = TRawPicture{};

    if (!reason.empty() || code != DD_OK) {
        surface.Reset();
        RaiseError(rkDirectDraw,
                   "TWDirectX.CreateNewSurface " + name + " (" + std::to_string(w) + "x" + std::to_string(h) + "x" +
                       std::to_string(b) + ") " + reason,
                   code);
    }

    auto entry = std::make_unique<TSurfaceContainer>();
    entry->Surface = new TWDirectDrawBasicSurface();
    entry->Owned = true;  // freed by the entry even if the key below fails
    entry->Surface->Start(this, surface.Get());
    surface.Reset();  // the basic surface holds its own reference
    if (surfaceType == dxstEmptyImage) entry->Surface->ColorFill(colorKey);
    if (surfaceType != dxstMipMaps) entry->Surface->SetColorKey(colorKey);
    entry->Name = name;
    entry->Alpha = false;
    entry->Owned = owned;
    entry->AttachTo = TComPtr<IDirectDrawSurface7>::Share(attachTo);
    if (!FSurfaces) FSurfaces.emplace();
    const int index = static_cast<int>(FSurfaces->size());
    entry->Index = index;
    FSurfaces->push_back(std::move(entry));
    if (LogType == dxlogAll) WriteLog("TWDirectX.CreateNewSurface: " + name + ", Result:" + std::to_string(index));
    return index;
}
