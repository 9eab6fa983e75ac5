#pragma once
// TPictureCycle, the show's pictures: the walk of the shuffled list, the picture surface and
// its loads, and the current and next picture, each moved through explicit phases. The next
// picture is planned at a change, prepared on a worker some ticks on, and ready until the
// change hands its surface over (a swap, not a decode); the picture it replaces is let go a
// few ticks after. A picture that cannot be loaded, prepared or not, is skipped. The form
// keeps the frame and the animation: the cycle tells it when a picture has come.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "pictures/PictureSearch.h"
#include "wdx/StoreBox.h"

class TComponent;
class TSurfacePreparer;
class TWDirectDrawSurface;
class TWDirectX;

// Says whether a picture file is worth loading; the show skips files that are not.
using TPictureCheck = std::function<bool(const std::string& path)>;
// The check a show uses unless its maker stands another in: the file's JPEG header reads.
// It decodes nothing; a picture whose data then fails to load is skipped all the same.
bool PictureDecodes(const std::string& path);

// Where the next picture stands.
enum class TNextPhase {
    None,       // none wanted: no picture shown, the device stopped, or a picture that never ends
    Planned,    // to be prepared a few ticks on
    Preparing,  // the worker decodes it, or the ones before it that failed
    Ready,      // prepared (or found to fail), waiting for the change
};

class TPictureCycle {
public:
    // check may be empty: every file of the list is taken.
    TPictureCycle(TWDirectX& device, TPictureCheck check);
    ~TPictureCycle();
    TPictureCycle(const TPictureCycle&) = delete;
    TPictureCycle& operator=(const TPictureCycle&) = delete;

    // Makes the picture surface, owned by owner, that the cycle loads: when the device starts
    // it with a file that does not load, the cycle goes on to the next that does.
    TWDirectDrawSurface* MakeSurface(TComponent* owner);
    // A picture has been loaded into the surface: at a change (true), or (false) as the
    // device started, in place of one that did not load.
    std::function<void(bool atChange)> OnPictureShown;
    // False for a speed that never ends a picture: no next one is prepared.
    bool NextWanted = true;

    // The shuffled pictures of the folder (JPEG's, or with allFormats every kind the show
    // takes), the walk before its first entry.
    void BuildPictureList(const std::string& imagesPath, bool allFormats = false);
    // Replaces the list, for a show driven from code; the walk starts again before its first entry.
    void SetPictures(const TPictureList& pictures);
    // The next name of the list, cyclically; false for an empty list.
    bool NextPictureName(std::string& name);
    // Names the first picture that passes the check as the surface's image (an empty image
    // when none does), for the device's start to load.
    void NameFirstPicture();

    // The device has started (the first time, or the focus back): the next picture is planned.
    void DeviceStarted();
    // A tick of the show's timer: the replaced picture goes, the next begins preparing, or a
    // band of it is copied, when their ticks have come.
    void Tick();
    // The change: the next picture that loads replaces the current one; none loading ends
    // the pictures, as an empty folder has none. False when nothing changed.
    bool ShowNextPicture();

    bool HavePicture() const { return FHavePicture; }
    int32_t PictureIndex() const { return FPictureIndex; }
    const TPictureList& Pictures() const { return FPictures; }
    // The file the surface holds (or is to load at the device's start).
    const std::string& CurrentPicture() const { return FCurrentPicture; }
    TNextPhase NextPhase() const;
    // Whether the surface of the picture last replaced is still held.
    bool HoldsReplaced() const { return FReplaced != nullptr; }
    // The box pictures are stored within for the device as it now draws (none before it
    // knows its output): what the screen can show of them.
    TStoreBox StoreBox() const;
    // The preparation of the next picture, for code that checks it.
    TSurfacePreparer& Preparer() { return *FPreparer; }

private:
    class TSurface;
    // Takes names from the list until one passes the check; false when a whole round found none.
    bool NextGoodPictureName(std::string& name);
    // Loads name into the surface, handing over what was prepared for it; false when refused.
    bool LoadIntoSurface(const std::string& name);
    // From the device's start: the next picture of the list that loads; false, with no
    // picture left to show, when none does.
    bool LoadNextLoadable();
    void StopShowingPictures();
    // Plans the next picture's preparation.
    void PlanNext();
    void BeginPreparing();
    // The device stopped the surface, or the show ends: nothing prepared or replaced is kept.
    void DropAhead();

    TWDirectX& FDevice;
    const TPictureCheck FCheck;
    TSurface* FSurface = nullptr;  // owned by the form
    TPictureList FPictures;
    int32_t FPictureIndex = -1;
    std::string FCurrentPicture;
    bool FHavePicture = false;
    std::unique_ptr<TSurfacePreparer> FPreparer;
    int FPrepareIn = 0;  // ticks until BeginPreparing; 0: not planned
    // The surface of the picture last replaced, let go a few ticks after the change. Held
    // untyped, so that this header stays clear of DirectX names.
    std::shared_ptr<void> FReplaced;
    int FReleaseIn = 0;
};
