// X11 half of the preview's host: the host's window named by its X11 window id.
// Implements: PreviewPlatform.h's CreatePlatformPreviewHost and its TPreviewHost: the window's
//   rectangle in root coordinates, its visibility, its destruction, a GC on it, frames, events
// Leaves out: PseudoColor, GrayScale or other colormapped visuals (refused with a message), Expose
//   handling (the next frame repaints everything 20 ms later)
// The preview has a connection of its own (XOpenDisplay(NULL), so $DISPLAY). Visible means
// viewable: the window and every ancestor mapped; gone means DestroyNotify, or BadWindow from
// a request. Frames are put with MIT-SHM when the server shares memory with us and the
// window's visual is a 24/32-bit TrueColor one, with a plain XPutImage otherwise, in any
// TrueColor or DirectColor layout. X errors are recorded, never fatal: a window that goes away
// between two frames ends the preview. A display connection that breaks ends the program at
// once.
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "core/Exception.h"
#include "framework/Bitmap.h"
#include "framework/x11/X11ErrorTrap.h"
#include "preview/PreviewHost.h"

// Xlib last: its macros (None, Status, Bool) would clash with the names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

namespace {
// How long the wait for a hidden window to appear blocks between two tests. Mapping the
// window itself wakes it at once; an ancestor being mapped is seen within this time.
constexpr int HiddenPollMilliseconds = 10;

// Xlib calls its I/O error handler with no context, so what it needs lives here.
bool everShown = false;

[[noreturn]] int DisplayLost(Display*)
{
    // Xlib cannot go on after this, and the window went with the display: the preview is
    // over. Before the first frame that is a failure, as for any window lost that early.
    std::fputs(everShown ? "vellumine: the X display went away; the preview ends\n"
                         : "vellumine: the X display went away before the window was shown\n",
               stderr);
    std::exit(everShown ? 0 : 1);
}

struct TChannel {
    unsigned long Mask = 0;
    int Shift = 0;
    int Bits = 0;

    explicit TChannel(unsigned long mask) : Mask(mask)
    {
        if (!mask) return;
        while (!((mask >> Shift) & 1)) ++Shift;
        while (Shift + Bits < static_cast<int>(sizeof(mask) * 8) && ((mask >> (Shift + Bits)) & 1)) ++Bits;
    }
    // An 8-bit intensity placed in this channel, widened or narrowed to its bits.
    unsigned long Place(unsigned value) const
    {
        const unsigned long scaled = Bits >= 8 ? static_cast<unsigned long>(value) << (Bits - 8) : value >> (8 - Bits);
        return (scaled << Shift) & Mask;
    }
};

class TX11PreviewHost : public TPreviewHost {
public:
    ~TX11PreviewHost() override
    {
        ReleaseCanvas();
        if (FDisplay) {
            FErrors.reset();  // before its connection goes
            XCloseDisplay(FDisplay);
        }
        if (FInstalledHandlers) XSetIOErrorHandler(FPreviousIOErrorHandler);
    }

    TPreviewRect OpenWindow(uint32_t handle) override
    {
        FDisplay = XOpenDisplay(nullptr);
        if (!FDisplay) {
            const char* name = std::getenv("DISPLAY");
            if (!name || !*name) throw Exception("no X display to draw the preview on: DISPLAY is not set");
            throw Exception(std::string("cannot open the X display '") + name + "'");
        }
        // The connection's errors are caught for as long as it lives; the failing request
        // tells by a zero result or by the caught error's code.
        FErrors.emplace(FDisplay);
        FPreviousIOErrorHandler = XSetIOErrorHandler(DisplayLost);
        FInstalledHandlers = true;

        FWindow = handle;
        const std::string named = "window " + std::to_string(handle);
        FErrors->Reset();
        XWindowAttributes attributes{};
        // Selected before the first look, so a destruction right after it is still seen.
        if (handle != 0) XSelectInput(FDisplay, FWindow, StructureNotifyMask);
        const bool found = handle != 0 && XGetWindowAttributes(FDisplay, FWindow, &attributes) != 0;
        XSync(FDisplay, False);
        if (!found || FErrors->ErrorCode() != 0) throw Exception(named + " does not exist on this display");
        if (attributes.c_class == InputOnly) throw Exception(named + " is input-only: nothing can be drawn in it");
        FVisual = attributes.visual;
        FDepth = attributes.depth;
        if (FVisual->c_class != TrueColor && FVisual->c_class != DirectColor)
            throw Exception(named + " uses a colormapped visual, which the preview cannot draw into");

        int x = 0;
        int y = 0;
        Window child = 0;
        if (!XTranslateCoordinates(FDisplay, FWindow, attributes.root, 0, 0, &x, &y, &child) ||
            FErrors->ErrorCode() != 0)
            throw Exception(named + " does not exist on this display");
        return {x, y, x + attributes.width, y + attributes.height};
    }

    void CreateCanvas() override { FGc = XCreateGC(FDisplay, FWindow, 0, nullptr); }

    void ReleaseCanvas() noexcept override
    {
        if (!FDisplay) return;
        DestroyImage();
        if (FGc) {
            XFreeGC(FDisplay, FGc);
            FGc = nullptr;
        }
        XSync(FDisplay, False);
    }

    TPreviewWindowState WindowState() override
    {
        if (FGone) return TPreviewWindowState::Gone;
        FErrors->Reset();
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(FDisplay, FWindow, &attributes) || FErrors->ErrorCode() != 0) {
            FGone = true;
            return TPreviewWindowState::Gone;
        }
        if (attributes.map_state != IsViewable) return TPreviewWindowState::Hidden;
        everShown = true;
        return TPreviewWindowState::Visible;
    }

    void ProcessMessages() override
    {
        while (XPending(FDisplay) > 0) {
            XEvent event;
            XNextEvent(FDisplay, &event);
            // The id may be handed out again to another window; after this it is not ours.
            if (event.type == DestroyNotify && event.xdestroywindow.window == FWindow) FGone = true;
        }
    }

    void WaitMessages() override
    {
        if (XPending(FDisplay) == 0) {
            pollfd connection{ConnectionNumber(FDisplay), POLLIN, 0};
            poll(&connection, 1, HiddenPollMilliseconds);
        }
        ProcessMessages();
    }

    void Present(const TBitmap& backBuffer, int width, int height) override
    {
        if (width <= 0 || height <= 0 || !FGc) return;
        if (!FImage || FImage->width != width || FImage->height != height) CreateImage(width, height);
        Convert(backBuffer, width, height);
        if (FShared)
            XShmPutImage(FDisplay, FWindow, FGc, FImage, 0, 0, 0, 0, width, height, False);
        else
            XPutImage(FDisplay, FWindow, FGc, FImage, 0, 0, 0, 0, width, height);
        // The next frame rewrites the image; the server must be done reading it by then.
        // A window destroyed meanwhile only leaves an error here, seen by the next test.
        if (FShared) XSync(FDisplay, False);
    }

    void Sleep(int milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

private:
    void CreateImage(int width, int height)
    {
        DestroyImage();
        if (FDepth == 24 || FDepth == 32) CreateSharedImage(width, height);
        if (!FImage) {
            FImage = XCreateImage(FDisplay, FVisual, static_cast<unsigned>(FDepth), ZPixmap, 0, nullptr,
                                  static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
            if (!FImage) throw Exception("cannot make an image for the preview's window");
            FImage->data = static_cast<char*>(std::malloc(static_cast<size_t>(FImage->bytes_per_line) * height));
            if (!FImage->data) {
                XDestroyImage(FImage);
                FImage = nullptr;
                throw std::bad_alloc();
            }
        }
    }

    // Shared memory spares a copy through the socket; a remote or refusing server simply
    // gets the plain path.
    void CreateSharedImage(int width, int height)
    {
        if (!XShmQueryExtension(FDisplay) || FVisual->c_class != TrueColor) return;
        XImage* image = XShmCreateImage(FDisplay, FVisual, static_cast<unsigned>(FDepth), ZPixmap, nullptr, &FShm,
                                        static_cast<unsigned>(width), static_cast<unsigned>(height));
        if (!image) return;
        FShm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
        if (FShm.shmid < 0) {
            XDestroyImage(image);
            return;
        }
        void* address = shmat(FShm.shmid, nullptr, 0);
        if (address == reinterpret_cast<void*>(-1)) {
            shmctl(FShm.shmid, IPC_RMID, nullptr);
            XDestroyImage(image);
            return;
        }
        FShm.shmaddr = image->data = static_cast<char*>(address);
        FShm.readOnly = False;
        FErrors->Reset();
        const bool attached = XShmAttach(FDisplay, &FShm) != 0;
        XSync(FDisplay, False);
        // Marked for removal now, so the segment goes with the last detach even after a crash.
        shmctl(FShm.shmid, IPC_RMID, nullptr);
        if (!attached || FErrors->ErrorCode() != 0) {
            shmdt(FShm.shmaddr);
            image->data = nullptr;
            XDestroyImage(image);
            return;
        }
        FImage = image;
        FShared = true;
    }

    void DestroyImage() noexcept
    {
        if (!FImage) return;
        if (FShared) {
            XShmDetach(FDisplay, &FShm);
            XSync(FDisplay, False);
            shmdt(FShm.shmaddr);
            FImage->data = nullptr;
            FShared = false;
        }
        XDestroyImage(FImage);
        FImage = nullptr;
    }

    // From the bitmap's blue-green-red rows to the visual's own pixel layout.
    void Convert(const TBitmap& backBuffer, int width, int height)
    {
        const TChannel red(FVisual->red_mask);
        const TChannel green(FVisual->green_mask);
        const TChannel blue(FVisual->blue_mask);
        const bool common = FImage->bits_per_pixel == 32 && FVisual->red_mask == 0xFF0000 &&
                            FVisual->green_mask == 0xFF00 && FVisual->blue_mask == 0xFF;
        for (int y = 0; y < height; ++y) {
            const uint8_t* in = backBuffer.ScanLine(y);
            auto* out = reinterpret_cast<uint8_t*>(FImage->data) + static_cast<ptrdiff_t>(y) * FImage->bytes_per_line;
            if (common && FImage->byte_order == LSBFirst) {
                for (int x = 0; x < width; ++x, in += 3, out += 4) {
                    out[0] = in[0];
                    out[1] = in[1];
                    out[2] = in[2];
                    out[3] = 0;
                }
            } else if (common) {
                for (int x = 0; x < width; ++x, in += 3, out += 4) {
                    out[0] = 0;
                    out[1] = in[2];
                    out[2] = in[1];
                    out[3] = in[0];
                }
            } else {
                for (int x = 0; x < width; ++x, in += 3)
                    XPutPixel(FImage, x, y, red.Place(in[2]) | green.Place(in[1]) | blue.Place(in[0]));
            }
        }
    }

    Display* FDisplay = nullptr;
    Window FWindow = 0;
    Visual* FVisual = nullptr;
    int FDepth = 0;
    GC FGc = nullptr;
    XImage* FImage = nullptr;
    bool FShared = false;
    XShmSegmentInfo FShm{};
    bool FGone = false;
    bool FInstalledHandlers = false;
    std::optional<X11ErrorTrap> FErrors;
    XIOErrorHandler FPreviousIOErrorHandler = nullptr;
};
}  // namespace

std::unique_ptr<TPreviewHost> CreatePlatformPreviewHost() { return std::make_unique<TX11PreviewHost>(); }
