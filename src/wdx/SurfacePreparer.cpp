// The worker that prepares pictures for image surfaces, and its hand-over to the device.
#include "wdx/SurfacePreparer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/Paths.h"
#include "core/Text.h"
#include "imaging/PictureFormats.h"
#include "imaging/PictureLimits.h"
#include "wdx/DirectXBinding.h"
#include "wdx/NewSurface.h"
#include "wdx/SurfaceLock.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectX.h"

namespace {
// What CreateNewSurface reports for a picture that is missing or does not load.
constexpr const char* NotLoaded = "File not found";

// The number of halvings a shrinking stretch of the whole picture onto the output may read
// from: what such a stretch keeps of the picture is made before the picture is shown.
int ShrinkLevels(int width, int height, int outWidth, int outHeight)
{
    if (outWidth <= 0 || outHeight <= 0) return 0;
    int level = 0;
    while (level < 16 && (width >> (level + 1)) >= outWidth && (height >> (level + 1)) >= outHeight) ++level;
    return level;
}
}  // namespace

void TSurfacePreparer::Begin(TWDirectX& device, const std::vector<std::string>& names, TStoreBox box)
{
    TComPtr<IDirectDrawSurface7> spare = std::move(FSpare);
    Cancel();
    FSpare = std::move(spare);
    if (!device.Active() || !device.DirectDraw() || names.empty()) return;
    FDirectDraw = device.DirectDraw();
    FOutputWidth = device.OutputWidth();
    FOutputHeight = device.OutputHeight();
    FBox = box;
    FOffThread = DirectXBinding().SurfacesWorkOffThread && !FFillHere;
    FThirtyTwoBits = device.Primary() && device.Primary()->Bits == 32;
    // The files are looked for here, as a load would at this moment.
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        std::string path;
        paths.push_back(device.FindPicture(name, path) ? path : std::string());
    }
    FNames = names;
    FNextOffered = 0;
    FCancel = false;
    FFinished = false;
    FWorker = std::thread([this, names, paths] { Work(names, paths); });
}

void TSurfacePreparer::Cancel()
{
    if (FWorker.joinable()) {
        {
            const std::lock_guard guard(FLock);
            FCancel = true;
        }
        FChanged.notify_all();
        FWorker.join();
    }
    // Joined: nothing else touches the results, and their surfaces go on this thread.
    FResults.clear();
    FRequest = TRequest{};
    FNames.clear();
    FNextOffered = 0;
    FFinished = true;
    FSpare.Reset();
}

void TSurfacePreparer::Recycle(const TComPtr<IDirectDrawSurface7>& surface)
{
    // Only a surface these bands filled: under Wine the bands' blits into one that was locked
    // or gave a device context once were seen to cost about 60 ms at the first frame after
    // the change, as if made in system memory and uploaded whole.
    if (surface && (surface.Get() == FFilledHere[0] || surface.Get() == FFilledHere[1])) FSpare = surface;
}

bool TSurfacePreparer::Pending() const
{
    const std::lock_guard guard(FLock);
    return !FFinished || !FResults.empty();
}

bool TSurfacePreparer::Finished() const
{
    const std::lock_guard guard(FLock);
    return FFinished;
}

void TSurfacePreparer::Pump()
{
    if (!FWorker.joinable()) return;
    TPreparedPicture* filling = nullptr;
    {
        std::unique_lock lock(FLock);
        ServeRequest(lock);
        // Handed over by the worker, which no longer touches it: this thread's alone.
        for (const auto& result : FResults)
            if (result->Kind == TPreparedPicture::TKind::Pixels && result->Filled >= 0) filling = result.get();
    }
    if (filling) FillBand(*filling, int(std::max<size_t>(1, FBandBytes / (size_t(filling->Width) * 4))));
}

void TSurfacePreparer::FillBand(TPreparedPicture& picture, int rows)
{
    const auto leaveToChange = [&picture] {
        picture.Surface.Reset();
        picture.Band.Reset();
        picture.Filled = -1;
    };
    if (!picture.Surface) {
        // Made as the change makes an image surface of the file's size, and a band in system
        // memory that the rows go through: the picture's own surface is only blitted to.
        // Locked, a surface in video memory is under Wine kept in system memory and uploaded
        // whole at the next blit from it, about 100 ms for a photograph at the change.
        DDSURFACEDESC2 desc = ImageSurfaceDesc(picture.Width, picture.Height, 0, dxmtAuto);
        // The picture replaced last, when of this size and not lost, is used again: every row
        // is written over.
        DDSURFACEDESC2 spare;
        std::memset(&spare, 0, sizeof spare);
        spare.dwSize = sizeof spare;
        if (FSpare && FSpare->GetSurfaceDesc(&spare) == DD_OK && spare.dwWidth == desc.dwWidth &&
            spare.dwHeight == desc.dwHeight && FSpare->IsLost() == DD_OK)
            picture.Surface = std::move(FSpare);
        FSpare.Reset();
        // Refused, most likely while the shown picture holds its memory: the change, which
        // lets that go, tries again.
        if (!picture.Surface && FDirectDraw->CreateSurface(&desc, picture.Surface.Put(), nullptr) != DD_OK)
            return leaveToChange();
        desc = ImageSurfaceDesc(picture.Width, std::min(rows, picture.Height), 0, dxmtSystemMemory);
        if (FDirectDraw->CreateSurface(&desc, picture.Band.Put(), nullptr) != DD_OK) return leaveToChange();
        // As a copy through a staging surface goes: only one that grants a device context
        // takes the picture.
        HDC dc = nullptr;
        if (picture.Band->GetDC(&dc) != DD_OK) return leaveToChange();
        picture.Band->ReleaseDC(dc);
        picture.Filled = 0;
    }
    DDSURFACEDESC2 locked;
    if (LockWhole(picture.Band.Get(), locked, DDLOCK_WRITEONLY) != DD_OK) return leaveToChange();
    const DDPIXELFORMAT& pf = locked.ddpfPixelFormat;
    if (pf.dwRGBBitCount != 32 || pf.dwRBitMask != 0xFF0000 || pf.dwGBitMask != 0xFF00 || pf.dwBBitMask != 0xFF ||
        locked.dwWidth != DWORD(picture.Width)) {
        picture.Band->Unlock(nullptr);
        return leaveToChange();
    }
    const int from = picture.Filled, to = std::min(picture.Height, from + int(locked.dwHeight));
    const size_t rowBytes = size_t(picture.Width) * 4;
    for (int y = from; y < to; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.lpSurface) + ptrdiff_t(y - from) * locked.lPitch,
                    picture.Pixels.get() + size_t(y) * size_t(picture.Width), rowBytes);
    if (picture.Band->Unlock(nullptr) != DD_OK) return leaveToChange();
    RECT target{0, from, picture.Width, to}, source{0, 0, picture.Width, to - from};
    if (picture.Surface->Blt(&target, picture.Band.Get(), &source, DDBLT_WAIT, nullptr) != DD_OK)
        return leaveToChange();
    picture.Filled = to;
    if (to < picture.Height) return;
    picture.Band.Reset();
    picture.Kind = TPreparedPicture::TKind::Surface;
    picture.Pixels.reset();
}

void TSurfacePreparer::ServeRequest(std::unique_lock<std::mutex>&)
{
    if (!FRequest.Wanted || FRequest.Answered) return;
    // Made as the device makes an image surface of the file's size, in the display's format.
    DDSURFACEDESC2 desc = ImageSurfaceDesc(FRequest.Width, FRequest.Height, 0, dxmtAuto);
    FRequest.Code = FDirectDraw->CreateSurface(&desc, FRequest.Picture.Put(), nullptr);
    if (FRequest.Code == DD_OK) {
        desc.dwWidth = desc.dwHeight = 1;
        // Without a scratch surface the picture is prepared all the same, only not blitted from.
        if (FDirectDraw->CreateSurface(&desc, FRequest.Scratch.Put(), nullptr) != DD_OK) FRequest.Scratch.Reset();
    }
    FRequest.Answered = true;
    FChanged.notify_all();
}

void TSurfacePreparer::Work(std::vector<std::string> names, std::vector<std::string> paths)
{
    for (size_t i = 0; i < names.size() && !FCancel; ++i) {
        std::unique_ptr<TPreparedPicture> picture = Prepare(names[i], paths[i]);
        // Once the file's data and the decoder's buffers have gone, which would otherwise add
        // to the memory held at the worst moment: both pictures in, and their smaller copies.
        if (picture && picture->Kind == TPreparedPicture::TKind::Surface) Warm(*picture);
        const std::lock_guard guard(FLock);
        // A name that cannot be prepared here is left, with the rest, to the caller.
        if (!picture) break;
        const bool loaded = picture->Kind != TPreparedPicture::TKind::Failed;
        // Also when given up: its surfaces are released on the user-interface thread.
        FResults.push_back(std::move(picture));
        FChanged.notify_all();
        if (loaded || FCancel) break;
    }
    const std::lock_guard guard(FLock);
    FFinished = true;
    FChanged.notify_all();
}

std::unique_ptr<TPreparedPicture> TSurfacePreparer::Prepare(const std::string& name, const std::string& path)
{
    auto picture = std::make_unique<TPreparedPicture>();
    picture->Name = name;
    picture->Owner = FDirectDraw;
    picture->Box = FBox;
    picture->Reason = NotLoaded;
    picture->Code = 1;
    if (path.empty()) return picture;
    // BMP and TGA files are loaded at the change itself, as they always were.
    const std::unique_ptr<TPicture> decoder = MakePicture(name);
    if (!decoder) return nullptr;
    decoder->SetCancel(&FCancel);
    if (!decoder->Open(path)) return picture;
    const TStoredSize stored = StoredSize(decoder->OwnWidth(), decoder->OwnHeight(), FBox.Width, FBox.Height);
    // Refused as the load refuses it: what would be held is too large.
    if (uint64_t(stored.Width) * uint64_t(stored.Height) > MaxPicturePixels) return picture;
    const auto loaded = [&picture, &decoder] {
        if (picture->Kind == TPreparedPicture::TKind::Failed) return;
        picture->PictureWidth = decoder->OwnWidth();
        picture->PictureHeight = decoder->OwnHeight();
    };
    if (FThirtyTwoBits) {
        if (!PrepareStraight(*picture, *decoder, stored)) return nullptr;
        loaded();
        return picture;
    }
    // For a display of other than 32 bits: through a bitmap, as the load itself goes.
    if (!LoadPictureIntoBitmap(picture->Bitmap.Pixels, path, &FCancel, FBox.Width, FBox.Height)) return picture;
    const int width = picture->Bitmap.Pixels.Width(), height = picture->Bitmap.Pixels.Height();
    if (!FOffThread) {
        picture->Kind = TPreparedPicture::TKind::Bitmap;
        picture->Width = width;
        picture->Height = height;
        loaded();
        return picture;
    }
    if (!TakeSurface(*picture, width, height)) return picture->Code == 1 ? std::move(picture) : nullptr;
    // A surface of the bitmap's size in the display's format: the copy writes straight into
    // it, with no surface of its own to make.
    CopyBitmapToSurface(false, FDirectDraw, picture->Surface.Get(), picture->Bitmap, Td3dTextr{});
    picture->Bitmap.Pixels.SetSize(0, 0);
    picture->Width = width;
    picture->Height = height;
    picture->Kind = TPreparedPicture::TKind::Surface;
    loaded();
    return picture;
}

bool TSurfacePreparer::TakeSurface(TPreparedPicture& picture, int width, int height)
{
    std::unique_lock lock(FLock);
    FRequest = TRequest{};
    FRequest.Width = width;
    FRequest.Height = height;
    FRequest.Wanted = true;
    // A user-interface thread waiting for the picture makes the surface at once.
    FChanged.notify_all();
    FChanged.wait(lock, [this] { return FRequest.Answered || FCancel; });
    // Moved into the record, so that the user-interface thread is the one to release them.
    picture.Surface = std::move(FRequest.Picture);
    picture.Scratch = std::move(FRequest.Scratch);
    const HRESULT code = FRequest.Code;
    FRequest = TRequest{};
    if (FCancel) return false;
    // Refused, most likely for want of memory while the shown picture still holds its own:
    // the change, which lets that go first, is left to load it.
    if (code != DD_OK) picture.Code = code;
    return code == DD_OK;
}

void TSurfacePreparer::Warm(TPreparedPicture& picture)
{
    const int level = ShrinkLevels(picture.Width, picture.Height, FOutputWidth, FOutputHeight);
    if (level == 0 || !picture.Scratch || FCancel) return;
    // A shrink of the wanted depth onto one pixel, read from the picture's smaller copies.
    RECT to{0, 0, 1, 1}, from{0, 0, LONG(1) << level, LONG(1) << level};
    picture.Scratch->Blt(&to, picture.Surface.Get(), &from, DDBLT_WAIT, nullptr);
}

bool TSurfacePreparer::PrepareStraight(TPreparedPicture& picture, TPicture& decoder, TStoredSize stored)
{
    // picture stands as a load that failed (damaged data past a sound header is refused
    // before any surface) until the picture is in.
    const int width = stored.Width, height = stored.Height;
    if (!FOffThread) {
        picture.Pixels.reset(new (std::nothrow) uint32_t[size_t(width) * size_t(height)]);
        // Short of memory for a copy of its own: the load may still find it for the surface.
        if (!picture.Pixels) return false;
        if (!decoder.DecodeStored(reinterpret_cast<uint8_t*>(picture.Pixels.get()), ptrdiff_t(width) * 4, width,
                                  height)) {
            picture.Pixels.reset();
            return true;
        }
        picture.Kind = TPreparedPicture::TKind::Pixels;
        picture.Width = width;
        picture.Height = height;
        return true;
    }
    if (!TakeSurface(picture, width, height)) return picture.Code == 1;
    const TStraightLoad load = DecodePictureIntoSurface(FDirectDraw, picture.Surface.Get(), decoder, width, height);
    if (load == TStraightLoad::BadData) return true;
    picture.Width = width;
    picture.Height = height;
    if (load == TStraightLoad::NotPossible) {
        // Not the display's 32-bit format after all: through a bitmap, into the same surface.
        if (!LoadPictureIntoBitmap(picture.Bitmap.Pixels, decoder.Path(), &FCancel, FBox.Width, FBox.Height)) {
            picture.Width = picture.Height = 0;
            return true;
        }
        CopyBitmapToSurface(false, FDirectDraw, picture.Surface.Get(), picture.Bitmap, Td3dTextr{});
        picture.Bitmap.Pixels.SetSize(0, 0);
    }
    picture.Kind = TPreparedPicture::TKind::Surface;
    return true;
}

std::unique_ptr<TPreparedPicture> TSurfacePreparer::Take(TWDirectX& device, const std::string& name)
{
    if (!FWorker.joinable() && FResults.empty()) return nullptr;
    std::unique_ptr<TPreparedPicture> picture;
    {
        std::unique_lock lock(FLock);
        const bool expected = FNextOffered < FNames.size() && SameTextAscii(FNames[FNextOffered], name);
        if (expected) {
            for (;;) {
                if (!FResults.empty()) break;
                if (FFinished) break;
                ServeRequest(lock);
                FChanged.wait(
                    lock, [this] { return !FResults.empty() || FFinished || (FRequest.Wanted && !FRequest.Answered); });
            }
        }
        if (expected && !FResults.empty()) {
            picture = std::move(FResults.front());
            FResults.erase(FResults.begin());
            ++FNextOffered;
        }
    }
    if (!picture || picture->Owner != device.DirectDraw()) {
        Cancel();
        return nullptr;
    }
    // A fill begun in the ticks before is ended here; one that fails is left to the copy
    // the change makes of the rows.
    while (picture->Kind == TPreparedPicture::TKind::Pixels && picture->Surface) FillBand(*picture, picture->Height);
    // A surface lost since it was filled holds nothing to show: the file is loaded instead.
    if (picture->Kind == TPreparedPicture::TKind::Surface && picture->Surface->IsLost() != DD_OK) {
        Cancel();
        return nullptr;
    }
    FFilledHere[1] = FFilledHere[0];
    FFilledHere[0] = picture->Kind == TPreparedPicture::TKind::Surface && picture->Filled == picture->Height
                         ? picture->Surface.Get()
                         : nullptr;
    return picture;
}
