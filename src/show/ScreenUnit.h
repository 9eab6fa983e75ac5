#pragma once
// TScrnFrm, the full-screen show: a stay-on-top borderless form with the display device, one
// picture surface and the animation timer. It walks the shuffled picture list, animates each
// picture and closes itself on the first real user input.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "framework/Forms.h"
#include "framework/Timer.h"
#include "framework/WindowTypes.h"
#include "pictures/PictureSearch.h"
#include "settings/Settings.h"
#include "show/ShowAnimation.h"

class TWDirectX;
class TWDirectDrawSurface;
class TSurfacePreparer;

// What a show starts from: the picture folder, the wanted video mode and the speed.
struct TShowSettings {
    std::string ImagesPath;
    TResolution Resolution;
    int32_t Speed = 5;
};

// Says whether a picture file is worth loading; the show skips files that are not.
using TPictureCheck = std::function<bool(const std::string& path)>;
// The check a show uses unless its maker stands another in: the file's JPEG header reads.
// It decodes nothing; a picture whose data then fails to load is skipped all the same.
bool PictureDecodes(const std::string& path);

// What the code that makes a show tells it, fixed for the form's life.
struct TShowOptions {
    // The settings dialog's unsaved choices, for a show started from its Preview button;
    // without them the stored settings are read as the form is created.
    std::optional<TShowSettings> Settings;
    // Empty takes every file in the list.
    TPictureCheck PictureCheck = PictureDecodes;
    // A screen-saver host's window is the screen: the form stays out of sight, takes
    // neither focus nor input, and uses the full-screen mode of the desktop's (the host
    // window's) size. The host ends such a show, not the user.
    bool InHostWindow = false;
};

// The options' settings when they carry some, else the stored settings (speed 5 when none
// is read).
TShowSettings ReadShowSettings(const TShowOptions& options);

// Set from a signal handler, which then wakes the loop, to have the running show close
// itself at its next message or tick.
extern volatile std::sig_atomic_t ShowEndRequested;

class TScrnFrm : public TForm {
public:
    // Builds the components with their stored values, then runs FormCreate.
    explicit TScrnFrm(TComponent* owner, TShowOptions options = {});
    ~TScrnFrm() override;

    TWDirectX* WDirectX = nullptr;
    TWDirectDrawSurface* WSurface = nullptr;
    TTimer* tmrAnim = nullptr;

    void FormCreate(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void WDirectXIdle(TObject* sender, bool& done);
    void WDirectXAfterStart(TObject* sender);
    void WDirectXAfterStop(TObject* sender);
    void tmrAnimTimer(TObject* sender);
    void DeactivateScrnSaver(TMsg& msg, bool& handled);

    void BuildPictureList();
    bool NextPictureName(std::string& name);
    void ShowNextPicture();

    // State, for the code that drives or checks the show.
    bool HavePicture() const { return FHavePicture; }
    int32_t IgnoreCount() const { return FIgnoreCount; }
    TPoint StartCursor() const { return FStartCursor; }
    int32_t PictureIndex() const { return FPictureIndex; }
    const TPictureList& Pictures() const { return FPictures; }
    // The file WSurface holds (or is to load at the device's start).
    const std::string& CurrentPicture() const { return FCurrentPicture; }
    const std::string& ImagesPath() const { return FImagesPath; }
    const TShowAnimation& Animation() const { return FAnimation; }
    // The preparation of the next picture, for code that checks it.
    TSurfacePreparer& Preparer() { return *FPreparer; }
    // Replaces the list, for a show driven from code; the walk starts again before its first entry.
    void SetPictures(const TPictureList& pictures);

private:
    // Takes names from the list until one passes the picture check; false when a whole
    // round of the list found none.
    bool NextGoodPictureName(std::string& name);
    // Loads name into WSurface at its own size; false when the device refuses it.
    bool LoadIntoSurface(const std::string& name);
    // Loads the next picture of the list that loads, from the device's start too; false,
    // with no picture left to show, when none does.
    bool LoadNextLoadable();
    void StopShowingPictures();
    // Has the pictures that follow the current one in the walk prepared, a few ticks on, so
    // that the change to the next is a hand-over (SurfacePreparer.h).
    void PrepareNext();
    void BeginPreparing();
    // The full-screen mode for the stored resolution (ShowMode.h), when the list has one.
    void SelectStoredMode(const TResolution& stored);
    // The full-screen mode of the desktop's size, for a show in a host's window.
    void SelectHostWindowMode();
    // Closes the form once ShowEndRequested is set; true when it did.
    bool EndWhenRequested();
    void EndOnRequest(TMsg& msg, bool& handled);
    // The trace for tests and benchmarks (see ScreenUnit.cpp); all do nothing without it.
    void OpenTrace();
    void CloseTrace();
    void TracePicture();
    void TraceFrame(int64_t startMicroseconds, TRect source);
    void TraceDevice(const char* state);

    const TShowOptions FOptions;
    TPoint FStartCursor;
    bool FHavePicture = false;
    int32_t FIgnoreCount = 100;
    int32_t FPictureIndex = -1;
    std::string FImagesPath;
    std::string FCurrentPicture;
    TPictureList FPictures;
    // Speed, aspect, type, focus, progress and source rectangle of the current picture.
    TShowAnimation FAnimation;
    bool FCursorHidden = false;
    bool FFirstPlaced = false;
    bool FClosing = false;
    bool FKeepOnFocus = false;  // a test's: the focus stops the device, not the show
    // A picture change came with the last tick: the animation still holds the rectangle
    // the replaced picture ended with until the next tick.
    bool FChangedThisTick = false;
    std::unique_ptr<TSurfacePreparer> FPreparer;
    int FPrepareIn = 0;  // ticks until BeginPreparing; 0: not planned
    // The surface of the picture last replaced, let go a few ticks after the change.
    // Held untyped, so that this header stays clear of DirectX names.
    std::shared_ptr<void> FReplaced;
    int FReleaseIn = 0;
    std::FILE* FTrace = nullptr;
    uint64_t FTracedFrames = 0;
};
