#pragma once
// Forms: top-level windows of the program. A form owns its components, is shown and
// hidden, can be made borderless and stay-on-top and back, maximised, moved and sized,
// closed with a close action, and freed.
#include <cstdint>
#include <memory>
#include <string>

#include "framework/Component.h"
#include "framework/Events.h"
#include "framework/Graphics.h"
#include "framework/WindowTypes.h"

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TFormStyle { fsNormal, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TBorderIcon : uint8_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };

// Posted by Release: the form frees itself when the loop reaches it.
inline constexpr unsigned int CM_RELEASE = 0x0400 + 0x100;  // WM_USER + 0x100

using TCloseEvent = TEvent<TObject*, TCloseAction&>;

class TForm : public TComponent, public TObject {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    std::string Caption;
    TColor Color = clBlack;
    TNotifyEvent OnCreate;  // called by the code that made the form, once its parts exist
    TCloseEvent OnClose;    // Action preset to caHide (caFree for nothing else)
    TNotifyEvent OnDestroy;
    // TBorderIcon bits; read when the window is made. Without the system menu a bordered
    // window has no close, minimise or maximise buttons either.
    uint8_t BorderIcons = biSystemMenu | biMinimize | biMaximize;

    // The window; created on first need. On Linux an X11 window id in the handle's value;
    // FLTK makes the X window only by showing it, so there the first call shows the form,
    // and hiding keeps the id. With no display, a unique handle that names no window.
    TWindowHandle Handle();
    bool HandleAllocated() const;

    void Show();
    void Hide();
    bool Visible() const;
    // Asks OnClose; caHide hides, caFree frees the form (later, outside its own handlers),
    // caNone keeps it open. Closing the main form ends the application's loop.
    void Close();
    // Frees the form once the messages queued before this call have been handled.
    void Release();

    // What the form's window does with the messages the framework handles for it (closing,
    // application activation, the delayed free); false for the rest. The form may be gone
    // when it returns true for CM_RELEASE.
    bool Dispatch(const TMsg& message);
    // The live form whose window the handle names, or null.
    static TForm* FindForm(TWindowHandle handle);

    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle style);
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle style);
    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState state);

    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetBounds(int left, int top, int width, int height);
    // Sizes the window so that its inside is width x height, and centres it on the screen.
    void SetClientSizeCentred(int width, int height);
    // A disabled form's window takes no input.
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    // The inside of the window, in its own coordinates (0, 0, width, height).
    TRect ClientRect() const;
    TPoint ClientToScreen(TPoint point) const;
    // Asks for the whole inside to be drawn again (and erased first when erase is set).
    void Invalidate(bool erase = true);

    struct Impl;
    // For the platform's controls, which live in the form's window.
    Impl& PlatformImpl() const { return *FImpl; }

private:
    std::unique_ptr<Impl> FImpl;
    TBorderStyle FBorderStyle = bsSizeable;
    TFormStyle FFormStyle = fsNormal;
    TWindowState FWindowState = wsNormal;
    bool FEnabled = true;
};

// The mouse position on the screen and the cursor's visibility counter, as the show uses them.
TPoint GetCursorPos();
int ShowCursor(bool show);
// The window of the application's form that has the keyboard focus; null when none has.
TWindowHandle ActiveWindow();

// Whether there is a screen to show forms on (on Linux: an X display could be opened).
bool ScreenAvailable();
// Why there is none, in a few words for the user; each platform names its own cause.
std::string NoScreenReason();
