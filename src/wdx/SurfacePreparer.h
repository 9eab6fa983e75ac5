#pragma once
// Pictures made ready for the device's image surfaces on a worker thread, so that the
// CreateNewSurface they are handed to as made ahead is a hand-over instead of a decode.
//
// The worker takes the names in the order given and stops at the first that loads. A name
// that fails is kept as a failure, to be reported by CreateNewSurface exactly as a failed
// load is (same text, same code, same log lines). Where the platform's DirectDraw lets a
// surface that one thread alone uses be filled and blitted from on another thread
// (TDirectXBinding::SurfacesWorkOffThread), the worker decodes straight into a surface the
// user-interface thread made for it, and blits from it once so that what a shrinking
// stretch keeps of it is made too; elsewhere it decodes into memory of its own, which the
// user-interface thread copies into a new surface a band of rows at each Pump, so that the
// change finds the surface filled (or fills what is left). Surfaces are made and released
// on the user-interface thread only.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "wdx/ComPtr.h"
#include "wdx/DirectXApi.h"
#include "wdx/ImageFiles.h"
#include "wdx/WDirectXTypes.h"

class TWDirectX;
struct TStoredSize;

// One picture as prepared. Made on the worker, used and freed on the user-interface thread.
struct TPreparedPicture {
    enum class TKind {
        Failed,   // the load failed: Reason, Code and the size reached go into the error
        Surface,  // Surface holds the picture in the display's format
        Pixels,   // Pixels holds the picture as rows of 0x00RRGGBB, Width apart
        Bitmap,   // Bitmap holds the picture, turned upright (where surfaces stay on one thread)
    };
    std::string Name;
    TKind Kind = TKind::Failed;
    int Width = 0, Height = 0;
    // The picture's own size, which it may be stored smaller than (0 while Failed).
    int PictureWidth = 0, PictureHeight = 0;
    TStoreBox Box;  // the box it was stored within
    std::string Reason;
    HRESULT Code = DD_OK;
    IDirectDraw7* Owner = nullptr;  // the DirectDraw it was made for; not a reference
    TComPtr<IDirectDrawSurface7> Surface;
    TComPtr<IDirectDrawSurface7> Scratch;  // one pixel the worker blitted onto
    std::unique_ptr<uint32_t[]> Pixels;
    // The rows copied into Surface through Band (all of them once Kind turns to Surface), or
    // while Kind is Pixels -1 when the copy is left to the change (a surface was refused, lost
    // or would not lock).
    int Filled = 0;
    TComPtr<IDirectDrawSurface7> Band;
    TLoadedBitmap Bitmap;
};

class TSurfacePreparer {
public:
    // Where the surfaces stay on the user-interface thread, each Pump copies bandBytes of a
    // decoded picture into its surface.
    explicit TSurfacePreparer(size_t bandBytes) : FBandBytes(bandBytes) {}
    ~TSurfacePreparer() { Cancel(); }
    TSurfacePreparer(const TSurfacePreparer&) = delete;
    TSurfacePreparer& operator=(const TSurfacePreparer&) = delete;

    // Drops what was prepared and starts preparing names for the running device (images
    // only, of the file's size stored within box, memory chosen by DirectDraw, as the show
    // makes them).
    void Begin(TWDirectX& device, const std::vector<std::string>& names, TStoreBox box = {});
    // Stops the worker within a few rows of decoding and frees all that was prepared.
    void Cancel();
    // Makes the surfaces the worker waits for, and copies a band of a decoded picture into
    // its surface; cheap (a megabyte's copy and a blit), for every tick.
    void Pump();
    // Decodes into memory of its own and fills surfaces bandBytes at a Pump, as where surfaces
    // stay on the user-interface thread, from the next Begin on: that path tested anywhere.
    void FillOnThisThread(size_t bandBytes)
    {
        FFillHere = true;
        FBandBytes = bandBytes;
    }
    // Keeps surface, the picture a change just replaced, to take the rows of the next picture
    // of its size instead of a new surface, where surfaces are filled on this thread: making
    // one of a photograph's size and touching its memory the first time is most of a fill's
    // cost. Elsewhere nothing is kept. Cancel lets it go.
    void Recycle(const TComPtr<IDirectDrawSurface7>& surface);
    // What was prepared for name, the next of the names in order, for device's
    // CreateNewSurface (as made ahead), waiting for the worker if it is still at it; a fill
    // begun at the ticks before is ended here. Null, with the preparation dropped, when name
    // is not the next, the worker gave it up or its surface was lost: the caller loads it.
    std::unique_ptr<TPreparedPicture> Take(TWDirectX& device, const std::string& name);
    // Whether names are being prepared or wait to be handed over.
    bool Pending() const;
    // Whether the worker has ended (or never began); what it prepared may still wait.
    bool Finished() const;

private:
    struct TRequest {
        int Width = 0, Height = 0;
        bool Wanted = false;
        bool Answered = false;
        TComPtr<IDirectDrawSurface7> Picture, Scratch;
        HRESULT Code = DD_OK;
    };
    void Work(std::vector<std::string> names, std::vector<std::string> paths);
    std::unique_ptr<TPreparedPicture> Prepare(const std::string& name, const std::string& path);
    // False when the picture cannot be prepared here (short of memory), and is left to the change.
    bool PrepareStraight(TPreparedPicture& picture, class TPicture& decoder, TStoredSize stored);
    void ServeRequest(std::unique_lock<std::mutex>& lock);
    // A surface of that size from the user-interface thread, into picture; false when none
    // came: given up, or refused (its code then in picture).
    bool TakeSurface(TPreparedPicture& picture, int width, int height);
    // Blits from the picture once, so that a shrinking stretch finds its smaller copies made.
    void Warm(TPreparedPicture& picture);
    // Copies the next band of a decoded picture into its surface, both made at the first call
    // (the band rows high); the last band turns it into a surface picture and frees the
    // rows. Any refusal drops the surfaces and leaves the whole copy to the change.
    void FillBand(TPreparedPicture& picture, int rows);

    IDirectDraw7* FDirectDraw = nullptr;
    int FOutputWidth = 0, FOutputHeight = 0;
    TStoreBox FBox;
    bool FOffThread = false;
    bool FFillHere = false;
    size_t FBandBytes;
    TComPtr<IDirectDrawSurface7> FSpare;  // UI thread only
    // What the last two hand-overs gave, where bands filled it (UI thread only; compared,
    // never used: a surface may have gone since).
    IDirectDrawSurface7* FFilledHere[2] = {};
    bool FThirtyTwoBits = false;
    std::thread FWorker;
    std::atomic<bool> FCancel{false};
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<std::string> FNames;                          // UI thread only
    size_t FNextOffered = 0;                                  // UI thread only
    std::vector<std::unique_ptr<TPreparedPicture>> FResults;  // guarded
    bool FFinished = true;                                    // guarded
    TRequest FRequest;                                        // guarded
};
