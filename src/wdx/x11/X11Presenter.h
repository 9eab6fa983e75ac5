#pragma once
// Linux helper of the DirectX binding and the show host, private to them and their tests.
// Implements: nothing of the contract; X11Presenter (X11Presenter.cpp)
// Leaves out: nothing
// The software DirectX's presenter on an X server: frames go into the window whose id the
// window handle carries, scaled smoothly to the window with black bars. The presenter has a
// connection of its own (XOpenDisplay), used only by the thread that presents, so it never
// competes with the toolkit's connection for events.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "SoftDxControl.h"

typedef struct _XDisplay Display;
typedef struct _XGC* GC;
struct _XImage;

class X11Presenter : public ISoftDxPresenter, public std::enable_shared_from_this<X11Presenter> {
public:
    // Null when the display (null: $DISPLAY) cannot be opened.
    static std::shared_ptr<X11Presenter> Open(const char* displayName = nullptr);
    // Makes the presenter of $DISPLAY the software DirectX's; false, leaving the presenter as
    // it was, when there is no display.
    static bool UseScreen();
    ~X11Presenter() override;
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    SoftDxSize ScreenSize() override;
    // The sizes XRandR knows, or the screen's own size without XRandR.
    std::vector<SoftDxSize> MonitorModes() override;
    bool Present(HWND window, const uint32_t* pixels, uint32_t width, uint32_t height, size_t pitchBytes) override;
    // Nothing is sent for a repeated frame while the window keeps its size and nothing
    // uncovered part of it; and every RefreshEvery-th is sent again in full all the same.
    bool Repeat(HWND window) override;
    static constexpr uint32_t RefreshEvery = 30;
    // The window's size and the frame's fitted rectangle in it, for a window whose pixels
    // take frames as they are; nullopt otherwise (a window gone, another visual).
    std::optional<SoftDxPlacement> Placement(HWND window, SoftDxSize frame) override;
    // A shared-memory segment the server has attached; empty without shared memory.
    SoftDxPixelMemory AllocateFrame(size_t bytes) override;
    // The window's rectangle on the root window, less what the windows stacked above it and
    // above each of its ancestors cover, and cut by each ancestor and the screen; none when
    // it is not shown; nullopt when the window is gone.
    std::optional<std::vector<RECT>> VisibleRects(HWND window) override;
    // The frame's fitted rectangle in the window, moved to the window's place on the root.
    std::optional<RECT> FrameRect(HWND window, SoftDxSize frame) override;

    // Shared memory is used when the server offers it and attaching works (a local
    // server); plain XPutImage otherwise. Tests turn it off to check the other path.
    void DisableSharedMemory();
    bool UsesSharedMemory() const { return FShmImage != nullptr; }
    // How many frames went to the server straight from a surface's own memory.
    uint64_t DirectFrames() const { return FDirectFrames; }
    // How many frames the server scaled to their window.
    uint64_t ServerScaledFrames() const { return FServerScaledFrames; }
    // How many repeated frames were left on the screen as they were.
    uint64_t RepeatedFrames() const { return FRepeatedFrames; }

private:
    explicit X11Presenter(Display* display);
    // An image of the window's size, made anew when the size or visual changes.
    bool PrepareImage(uint32_t width, uint32_t height);
    void DropImage();
    // Whether the window's pixels are 0x00RRGGBB in 32 bits; asked once per window.
    bool WindowTakesFrames(unsigned long window);
    // Shows a frame that lies in one of the frame segments, of the window's size; false
    // when it does not, and the frame is copied instead.
    bool PresentDirect(unsigned long window, const uint32_t* pixels, uint32_t width, uint32_t height,
                       size_t pitchBytes);
    void ForgetFrame(uint8_t* address);
    // Shows a frame of a frame segment scaled to the window by the server (X Render's
    // bilinear filter), black bars drawn around it; false when the server cannot, and the
    // frame is scaled here instead.
    bool PresentScaledByServer(unsigned long window, const uint32_t* pixels, uint32_t width, uint32_t height,
                               size_t pitchBytes, uint32_t windowWidth, uint32_t windowHeight);
    // Puts a frame of a frame segment into drawable at (0, 0); false when it is in none.
    bool PutSegment(unsigned long drawable, const uint32_t* pixels, uint32_t width, uint32_t height, size_t pitchBytes);
    void DropScaler();

    struct FrameSegment {
        void* Info = nullptr;  // XShmSegmentInfo
        _XImage* Image = nullptr;
        size_t Bytes = 0;
    };
    std::map<const uint8_t*, FrameSegment> FFrames;
    uint64_t FDirectFrames = 0;
    uint64_t FServerScaledFrames = 0;
    // The server's side of scaling: a pixmap of the frame's size, the picture that reads it
    // (filtered and transformed), and the window's picture.
    bool FRender = false;
    unsigned long FScalePixmap = 0, FScaleSource = 0, FScaleTarget = 0, FScaleWindow = 0;
    uint32_t FScaleWidth = 0, FScaleHeight = 0, FScaleToWidth = 0, FScaleToHeight = 0;
    unsigned long FCheckedWindow = 0;
    bool FCheckedWindowTakesFrames = false;
    void* FCheckedVisual = nullptr;
    int FCheckedDepth = 0;

    Display* FDisplay;
    // Present runs on the thread that flips, while DirectInput may ask FrameRect on another
    // and a surface's memory may go on a third; Xlib's connection is not made for threads,
    // so the calls that use it take turns.
    std::mutex FCallLock;
    bool FShmAllowed = true;
    _XImage* FShmImage = nullptr;
    _XImage* FPlainImage = nullptr;
    void* FShmInfo = nullptr;  // XShmSegmentInfo, kept out of this header
    unsigned long FGcWindow = 0;
    GC FGc = nullptr;
    uint32_t FImageWidth = 0, FImageHeight = 0;
    int FImageDepth = 0;
    void* FImageVisual = nullptr;
    // The window the last frame went to and its size then; 0 after a frame that failed.
    unsigned long FShownWindow = 0;
    uint32_t FShownWidth = 0, FShownHeight = 0;
    unsigned long FExposedWindow = 0;  // the window whose exposures this connection hears
    uint32_t FRepeats = 0;             // repeated frames not sent since the last that was
    uint64_t FRepeatedFrames = 0;
};
