#pragma once
// What the preview needs from the window system: the host's window, a canvas on it, its
// visibility and the process's events. The X11 and Win32 halves implement it; tests use a
// fake, so the preview's loop runs without any display.
#include <cstdint>
#include <memory>

#include "preview/PreviewAnimation.h"
#include "preview/PreviewPlatform.h"

class TBitmap;

enum class TPreviewWindowState { Visible, Hidden, Gone };

class TPreviewHost {
public:
    virtual ~TPreviewHost() = default;

    // Binds to the window the host named and returns its rectangle in screen coordinates,
    // right and bottom exclusive (x + width, y + height). Throws Exception with a one-line
    // message when there is no display or no such window.
    virtual TPreviewRect OpenWindow(uint32_t handle) = 0;
    // The canvas the frames are drawn through. ReleaseCanvas may be called more than once,
    // and without a canvas; it never throws.
    virtual void CreateCanvas() = 0;
    virtual void ReleaseCanvas() noexcept = 0;

    // Visible when the window and everything it sits in are shown; Gone once it was destroyed.
    virtual TPreviewWindowState WindowState() = 0;
    // Handles every event waiting for the process, without waiting for more.
    virtual void ProcessMessages() = 0;
    // As ProcessMessages, but first waits a short while when nothing is waiting, so that a
    // loop testing for a hidden window to appear does not keep a processor busy.
    virtual void WaitMessages() = 0;

    // Copies the top-left width x height pixels of backBuffer onto the same place of the
    // window, one to one.
    virtual void Present(const TBitmap& backBuffer, int width, int height) = 0;
    virtual void Sleep(int milliseconds) = 0;
};

// Each platform's host comes from CreatePlatformPreviewHost: preview/PreviewPlatform.h.
