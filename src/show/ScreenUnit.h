#pragma once
// TScrnFrm, the full-screen show: a stay-on-top borderless form with the display device, one
// picture surface and the animation timer. Its picture cycle walks the shuffled picture list
// (PictureCycle.h); the form animates and draws each picture and closes itself on the first
// real user input.
#include <csignal>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "framework/Forms.h"
#include "framework/Timer.h"
#include "framework/WindowTypes.h"
#include "pictures/PictureSearch.h"
#include "settings/Settings.h"
#include "show/PictureCycle.h"
#include "show/ShowAnimation.h"
#include "show/ShowTrace.h"

class TWDirectX;
class TWDirectDrawSurface;

// What a show starts from: the picture folder, the wanted video mode and the speed.
struct TShowSettings {
    std::string ImagesPath;
    TResolution Resolution;
    int32_t Speed = 5;
    // JPEG only, or every kind of picture the show decodes.
    bool AllPictureFormats = false;
};

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
    bool NextPictureName(std::string& name) { return FCycle->NextPictureName(name); }
    void ShowNextPicture();

    // State, for the code that drives or checks the show.
    bool HavePicture() const { return FCycle->HavePicture(); }
    int32_t IgnoreCount() const { return FIgnoreCount; }
    TPoint StartCursor() const { return FStartCursor; }
    int32_t PictureIndex() const { return FCycle->PictureIndex(); }
    const TPictureList& Pictures() const { return FCycle->Pictures(); }
    // The file WSurface holds (or is to load at the device's start).
    const std::string& CurrentPicture() const { return FCycle->CurrentPicture(); }
    const std::string& ImagesPath() const { return FImagesPath; }
    const TShowAnimation& Animation() const { return FAnimation; }
    // The pictures and their phases, for code that checks them.
    TPictureCycle& Cycle() { return *FCycle; }
    // Replaces the list, for a show driven from code; the walk starts again before its first entry.
    void SetPictures(const TPictureList& pictures) { FCycle->SetPictures(pictures); }

private:
    // A picture has come into WSurface: its animation starts, unless it is the first, which
    // is placed once the device has started.
    void PictureShown(bool atChange);
    // The full-screen mode for the stored resolution (ShowMode.h), when the list has one.
    void SelectStoredMode(const TResolution& stored);
    // The full-screen mode of the desktop's size, for a show in a host's window.
    void SelectHostWindowMode();
    // Closes the form once ShowEndRequested is set; true when it did.
    bool EndWhenRequested();
    void EndOnRequest(TMsg& msg, bool& handled);

    const TShowOptions FOptions;
    TPoint FStartCursor;
    int32_t FIgnoreCount = 100;
    std::string FImagesPath;
    bool FAllPictureFormats = false;
    std::unique_ptr<TPictureCycle> FCycle;
    // Speed, aspect, type, focus, progress and source rectangle of the current picture.
    TShowAnimation FAnimation;
    bool FCursorHidden = false;
    bool FFirstPlaced = false;
    bool FClosing = false;
    bool FKeepOnFocus = false;  // a test's: the focus stops the device, not the show
    // A picture change came with the last tick: the animation still holds the rectangle
    // the replaced picture ended with until the next tick.
    bool FChangedThisTick = false;
    TShowTrace FTrace;
};
