// The show's picture cycle: the walk, the loads and skips, and the next picture's phases.
#include "show/PictureCycle.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "imaging/PictureFormats.h"
#include "wdx/ComPtr.h"
#include "wdx/SurfacePreparer.h"
#include "wdx/WDirectDrawBasicSurface.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectX.h"

bool PictureDecodes(const std::string& path)
{
    // The header only: the picture is decoded once, into the surface, where a file that
    // fails after a sound header is skipped as well (TPictureCycle::TSurface).
    const std::unique_ptr<TPicture> picture = MakePicture(path);
    return picture && picture->Open(path);
}

namespace {
// Names prepared ahead at most: past that many failing files in a row the walk goes on
// loading at the change itself, as it would with none prepared.
constexpr size_t PreparedAhead = 8;
// Ticks between a picture's start and the preparation of the next: the first frames of a
// picture keep the processor to themselves, and a picture lasts 300 ticks at the most.
constexpr int PrepareAfterTicks = 20;
// Ticks a replaced picture's surface is kept before it is let go: giving back the memory of
// a large photograph takes milliseconds, better spent away from the frame of the change.
constexpr int ReleaseAfterTicks = 5;
// Copied at a tick where the surfaces stay on the user-interface thread: a megabyte (43 rows
// of a 6000-pixel photograph, 92 ticks for all) is copied in about 0.1 ms. Under Wine a
// band's lock and blit wait for the frames queued before them, and bands of four megabytes
// showed in the frame times (99th percentile 51 ms against 39 with one).
constexpr size_t BandBytes = size_t(1) << 20;

// Keeps the device running through a failure for the length of one call: a picture that
// cannot be loaded is skipped, and must not stop the show or open a box nobody sees.
class TIgnoreDeviceErrors {
public:
    explicit TIgnoreDeviceErrors(TWDirectX& device) : FDevice(device), FWas(device.ExceptionIgnore)
    {
        FDevice.ExceptionIgnore = true;
    }
    ~TIgnoreDeviceErrors() { FDevice.ExceptionIgnore = FWas; }
    TIgnoreDeviceErrors(const TIgnoreDeviceErrors&) = delete;
    TIgnoreDeviceErrors& operator=(const TIgnoreDeviceErrors&) = delete;

private:
    TWDirectX& FDevice;
    bool FWas;
};
}  // namespace

// The show's picture surface. When the device starts it (the first picture, or the current
// one once the focus comes back) with a file that does not load, the show goes on to the
// next file that does, or to no picture, rather than failing the whole start.
class TPictureCycle::TSurface : public TWDirectDrawSurface {
public:
    TSurface(TComponent* owner, TPictureCycle* cycle) : TWDirectDrawSurface(owner), Cycle(cycle) {}
    TPictureCycle* Cycle;  // null once the cycle has gone
    // Set by the cycle around its own stop and start of a change.
    bool Changing = false;

    void Stop() override
    {
        // Stopped other than by a change (the device stopping, the show giving up its
        // pictures): what was prepared or replaced goes before the device lets anything go.
        if (!Changing && Cycle) Cycle->DropAhead();
        TWDirectDrawSurface::Stop();
    }

    void Start(TWDirectX* device) override
    {
        if (Cycle && device) StoreWithin = Cycle->StoreBox();
        // Only the device's own start is looked after; the cycle's loads check for themselves.
        if (FSkipping || !Cycle || !UseFile || Active() || !device || device->Active()) {
            TWDirectDrawSurface::Start(device);
            return;
        }
        try {
            const TIgnoreDeviceErrors keepRunning(*device);
            TWDirectDrawSurface::Start(device);
            return;
        } catch (const EWDirectXError&) {
        }
        FSkipping = true;
        const bool loaded = Cycle->LoadNextLoadable();
        FSkipping = false;
        if (loaded) return;
        UseFile = false;
        TWDirectDrawSurface::Start(device);
    }

private:
    bool FSkipping = false;
};

TPictureCycle::TPictureCycle(TWDirectX& device, TPictureCheck check)
    : FDevice(device), FCheck(std::move(check)), FPreparer(std::make_unique<TSurfacePreparer>(BandBytes))
{
}

TPictureCycle::~TPictureCycle()
{
    // The worker goes, and what it prepared, while the device is still there to take it back.
    if (FSurface) FSurface->Cycle = nullptr;
    FPreparer->Cancel();
    FReplaced.reset();
}

TStoreBox TPictureCycle::StoreBox() const
{
    // The screen shows no more of a picture than twice the size its frames end up at: the
    // deepest zoom stretches half of the full view over them. Where the platform scales an
    // emulated mode to the screen, that is the size it is scaled to, or the mode's where larger.
    const TPoint shown = FDevice.ShownFrameSize();
    const int width = std::max(FDevice.OutputWidth(), shown.X), height = std::max(FDevice.OutputHeight(), shown.Y);
    if (width <= 0 || height <= 0) return {};
    return {2 * width, 2 * height};
}

TWDirectDrawSurface* TPictureCycle::MakeSurface(TComponent* owner)
{
    FSurface = new TSurface(owner, this);
    return FSurface;
}

void TPictureCycle::BuildPictureList(const std::string& imagesPath, bool allFormats)
{
    FPictures.clear();
    FindPictureFiles(FPictures, imagesPath, PictureMasks(allFormats));
    ShufflePictureList(FPictures);
    FPictureIndex = -1;
}

void TPictureCycle::SetPictures(const TPictureList& pictures)
{
    FPrepareIn = 0;
    FPreparer->Cancel();
    FPictures = pictures;
    FPictureIndex = -1;
}

bool TPictureCycle::NextPictureName(std::string& name)
{
    name.clear();
    if (FPictures.empty()) return false;
    ++FPictureIndex;
    if (FPictureIndex >= static_cast<int32_t>(FPictures.size())) FPictureIndex = 0;
    name = FPictures[static_cast<size_t>(FPictureIndex)];
    return true;
}

bool TPictureCycle::NextGoodPictureName(std::string& name)
{
    for (size_t tries = 0; tries < FPictures.size(); ++tries) {
        if (!NextPictureName(name)) return false;
        if (!FCheck || FCheck(name)) return true;
    }
    name.clear();
    return false;
}

void TPictureCycle::NameFirstPicture()
{
    std::string name;
    FHavePicture = NextGoodPictureName(name);
    FCurrentPicture = name;
    if (FHavePicture)
        FSurface->Image = name;
    else
        FSurface->UseFile = false;
}

TNextPhase TPictureCycle::NextPhase() const
{
    if (FPrepareIn > 0) return TNextPhase::Planned;
    if (!FPreparer->Finished()) return TNextPhase::Preparing;
    if (FPreparer->Pending()) return TNextPhase::Ready;
    return TNextPhase::None;
}

void TPictureCycle::DeviceStarted() { PlanNext(); }

void TPictureCycle::PlanNext()
{
    FPreparer->Cancel();
    // The picture just replaced may take the next one's rows.
    if (FReplaced) FPreparer->Recycle(*static_cast<TComPtr<IDirectDrawSurface7>*>(FReplaced.get()));
    FPrepareIn = PrepareAfterTicks;
}

void TPictureCycle::BeginPreparing()
{
    if (!FHavePicture || !FDevice.Active() || !FSurface->Active() || FPictures.empty() || !NextWanted) return;
    std::vector<std::string> names;
    const size_t count = FPictures.size();
    for (size_t k = 1; k <= std::min(PreparedAhead, count); ++k)
        names.push_back(FPictures[(static_cast<size_t>(FPictureIndex) + k) % count]);
    FPreparer->Begin(FDevice, names, StoreBox());
}

void TPictureCycle::DropAhead()
{
    FPrepareIn = 0;
    FReplaced.reset();
    FPreparer->Cancel();
}

void TPictureCycle::Tick()
{
    if (FReleaseIn > 0 && --FReleaseIn == 0) FReplaced.reset();
    if (FPrepareIn > 0 && --FPrepareIn == 0) BeginPreparing();
    FPreparer->Pump();
}

bool TPictureCycle::LoadIntoSurface(const std::string& name)
{
    // What was prepared for the name stands in for its load; otherwise the file is loaded.
    const std::unique_ptr<TPreparedPicture> prepared = FPreparer->Take(FDevice, name);
    if (TWDirectDrawBasicSurface* shown = FSurface->DDBS()) {
        FReplaced =
            std::make_shared<TComPtr<IDirectDrawSurface7>>(TComPtr<IDirectDrawSurface7>::Share(shown->Surface()));
        FReleaseIn = ReleaseAfterTicks;
    }
    FSurface->Image = name;
    FSurface->StoreWithin = StoreBox();
    FSurface->Changing = true;
    FSurface->Stop();
    const TIgnoreDeviceErrors keepRunning(FDevice);
    bool loaded = false;
    try {
        if (prepared)
            FSurface->StartMadeAhead(&FDevice, *prepared);
        else
            FSurface->Start(&FDevice);
        loaded = FSurface->Active();
    } catch (const EWDirectXError&) {
    }
    FSurface->Changing = false;
    return loaded;
}

bool TPictureCycle::LoadNextLoadable()
{
    for (size_t tries = 0; tries < FPictures.size(); ++tries) {
        std::string name;
        if (!NextPictureName(name)) break;
        if (!LoadIntoSurface(name)) continue;
        FCurrentPicture = name;
        if (OnPictureShown) OnPictureShown(false);
        return true;
    }
    FHavePicture = false;
    FCurrentPicture.clear();
    return false;
}

void TPictureCycle::StopShowingPictures()
{
    // As with an empty folder: nothing more is drawn, and a restart of the device gives the
    // surface an empty image instead of a file that failed.
    FHavePicture = false;
    FCurrentPicture.clear();
    FSurface->Stop();
    FSurface->UseFile = false;
}

bool TPictureCycle::ShowNextPicture()
{
    if (!FHavePicture) return false;
    // A stopped device cannot load; the next tick tries again.
    if (!FDevice.Active()) return false;
    for (size_t tries = 0; tries < FPictures.size(); ++tries) {
        std::string name;
        if (!NextPictureName(name)) return false;
        if (!LoadIntoSurface(name)) continue;
        FCurrentPicture = name;
        if (OnPictureShown) OnPictureShown(true);
        PlanNext();
        return true;
    }
    StopShowingPictures();
    return false;
}
