// Linux helper of the DirectX binding and the show host: the software DirectX's presenter on an X server.
// Implements: nothing of the contract; X11Presenter (an ISoftDxPresenter): screen size, XRandR's
//   mode list, presenting, scaling to the window, visible parts of a window, placement, frame rect
// Leaves out: visuals other than TrueColor with 32-bit pixels (depth 24 or 32), which every current
//   server offers; vertical-blank synchronisation (Flip paces itself)
// 0x00RRGGBB frames go into a window by MIT-SHM (XShmPutImage) or, when shared memory is
// missing or cannot be attached (a remote server), by XPutImage; they are scaled to the window
// with black bars, by the server's X Render (bilinear) for frames in shared memory, by pixman
// here otherwise. The visible parts of a window serve clippers; where a frame goes in a window
// lets the software DirectX make it at the window's size; where a frame lands on the screen
// serves the mouse. Repeated frames are left on the screen without sending them again.
#include "wdx/x11/X11Presenter.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/Xrender.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>

#include "framework/x11/X11ErrorTrap.h"
#include "wdx/x11/X11PresenterScale.h"

namespace {

// Whether the visual's pixels are 0x00RRGGBB in 32 bits, as the frames are.
bool DirectPixels(Display* display, Visual* visual, int depth)
{
    if (visual->c_class != TrueColor || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 ||
        visual->blue_mask != 0xFF)
        return false;
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    bool thirtyTwo = false;
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == depth) thirtyTwo = formats[i].bits_per_pixel == 32;
    XFree(formats);
    return thirtyTwo;
}

// Takes cut out of each rectangle, leaving up to four pieces of each.
void Subtract(std::vector<RECT>& rects, const RECT& cut)
{
    std::vector<RECT> kept;
    for (const RECT& r : rects) {
        if (cut.left >= r.right || cut.right <= r.left || cut.top >= r.bottom || cut.bottom <= r.top) {
            kept.push_back(r);
            continue;
        }
        const LONG top = std::max(r.top, cut.top), bottom = std::min(r.bottom, cut.bottom);
        if (r.top < cut.top) kept.push_back({r.left, r.top, r.right, cut.top});
        if (cut.bottom < r.bottom) kept.push_back({r.left, cut.bottom, r.right, r.bottom});
        if (r.left < cut.left) kept.push_back({r.left, top, cut.left, bottom});
        if (cut.right < r.right) kept.push_back({cut.right, top, r.right, bottom});
    }
    rects = std::move(kept);
}

void Intersect(std::vector<RECT>& rects, const RECT& with)
{
    std::vector<RECT> kept;
    for (const RECT& r : rects) {
        const RECT i{std::max(r.left, with.left), std::max(r.top, with.top), std::min(r.right, with.right),
                     std::min(r.bottom, with.bottom)};
        if (i.left < i.right && i.top < i.bottom) kept.push_back(i);
    }
    rects = std::move(kept);
}

}  // namespace

std::shared_ptr<X11Presenter> X11Presenter::Open(const char* displayName)
{
    Display* display = XOpenDisplay(displayName);
    if (!display) return nullptr;
    return std::shared_ptr<X11Presenter>(new X11Presenter(display));
}

bool X11Presenter::UseScreen()
{
    std::shared_ptr<X11Presenter> screen = X11Presenter::Open();
    if (!screen) return false;
    SoftDxSetPresenter(std::move(screen));
    return true;
}

X11Presenter::X11Presenter(Display* display) : FDisplay(display)
{
    int major = 0, minor = 0;
    Bool pixmaps = False;
    FShmAllowed = XShmQueryVersion(FDisplay, &major, &minor, &pixmaps) == True;
    // Filters and transforms came with Render 0.6; pad repeat with 0.10.
    int event = 0, error = 0;
    FRender = XRenderQueryExtension(FDisplay, &event, &error) && XRenderQueryVersion(FDisplay, &major, &minor) &&
              (major > 0 || minor >= 10);
}

X11Presenter::~X11Presenter()
{
    DropImage();
    DropScaler();
    // Surfaces may outlive the presenter; their memory stays theirs, and closing the
    // connection lets the server drop its side of each segment.
    for (auto& [address, segment] : FFrames) {
        if (segment.Image) {
            segment.Image->data = nullptr;
            XDestroyImage(segment.Image);
        }
        delete static_cast<XShmSegmentInfo*>(segment.Info);
    }
    FFrames.clear();
    if (FGc) XFreeGC(FDisplay, FGc);
    XCloseDisplay(FDisplay);
}

void X11Presenter::DisableSharedMemory()
{
    FShmAllowed = false;
    DropImage();
    DropScaler();
}

SoftDxSize X11Presenter::ScreenSize()
{
    const int screen = DefaultScreen(FDisplay);
    return {uint32_t(DisplayWidth(FDisplay, screen)), uint32_t(DisplayHeight(FDisplay, screen))};
}

std::vector<SoftDxSize> X11Presenter::MonitorModes()
{
    std::vector<SoftDxSize> sizes{ScreenSize()};
    int event = 0, error = 0;
    if (!XRRQueryExtension(FDisplay, &event, &error)) return sizes;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(FDisplay, DefaultRootWindow(FDisplay));
    if (!resources) return sizes;
    for (int i = 0; i < resources->nmode; ++i) sizes.push_back({resources->modes[i].width, resources->modes[i].height});
    XRRFreeScreenResources(resources);
    std::sort(sizes.begin(), sizes.end(),
              [](SoftDxSize a, SoftDxSize b) { return std::pair(a.Width, a.Height) < std::pair(b.Width, b.Height); });
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    return sizes;
}

void X11Presenter::DropImage()
{
    if (FShmImage) {
        auto* info = static_cast<XShmSegmentInfo*>(FShmInfo);
        XShmDetach(FDisplay, info);
        XSync(FDisplay, False);
        XDestroyImage(FShmImage);
        shmdt(info->shmaddr);
        delete info;
        FShmImage = nullptr;
        FShmInfo = nullptr;
    }
    if (FPlainImage) {
        XDestroyImage(FPlainImage);  // frees its pixels too
        FPlainImage = nullptr;
    }
    FImageWidth = FImageHeight = 0;
}

bool X11Presenter::WindowTakesFrames(unsigned long window)
{
    if (window == FCheckedWindow) return FCheckedWindowTakesFrames;
    XWindowAttributes attributes;
    // Fails (zero) for a window that is gone; the caller's trap keeps the error quiet.
    if (!XGetWindowAttributes(FDisplay, window, &attributes)) return false;
    FCheckedWindow = window;
    FCheckedVisual = attributes.visual;
    FCheckedDepth = attributes.depth;
    FCheckedWindowTakesFrames = DirectPixels(FDisplay, attributes.visual, attributes.depth);
    return FCheckedWindowTakesFrames;
}

bool X11Presenter::PrepareImage(uint32_t width, uint32_t height)
{
    // The window's visual, as WindowTakesFrames found it.
    auto* const visual = static_cast<Visual*>(FCheckedVisual);
    const int depth = FCheckedDepth;
    if ((FShmImage || FPlainImage) && FImageWidth == width && FImageHeight == height && FImageDepth == depth &&
        FImageVisual == visual)
        return true;
    DropImage();
    FImageDepth = depth;
    FImageVisual = visual;
    if (FShmAllowed) {
        auto* info = new XShmSegmentInfo{};
        XImage* image = XShmCreateImage(FDisplay, visual, depth, ZPixmap, nullptr, info, width, height);
        if (image) {
            info->shmid = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * height, IPC_CREAT | 0600);
            info->shmaddr = info->shmid >= 0 ? static_cast<char*>(shmat(info->shmid, nullptr, 0)) : nullptr;
            if (info->shmaddr == reinterpret_cast<char*>(-1)) info->shmaddr = nullptr;
            bool attached = false;
            if (info->shmaddr) {
                image->data = info->shmaddr;
                info->readOnly = False;
                X11ErrorTrap trap(FDisplay);
                attached = XShmAttach(FDisplay, info) && !trap.Failed();
            }
            // Marked for removal now, so the segment goes when both sides let go of it.
            if (info->shmid >= 0) shmctl(info->shmid, IPC_RMID, nullptr);
            if (attached) {
                FShmImage = image;
                FShmInfo = info;
                FImageWidth = width;
                FImageHeight = height;
                return true;
            }
            if (info->shmaddr) shmdt(info->shmaddr);
            image->data = nullptr;
            XDestroyImage(image);
        }
        delete info;
        FShmAllowed = false;  // a remote server: plain images from now on
    }
    auto* pixels = static_cast<char*>(std::malloc(size_t{width} * height * 4));
    if (!pixels) return false;
    FPlainImage = XCreateImage(FDisplay, visual, depth, ZPixmap, 0, pixels, width, height, 32, 0);
    if (!FPlainImage) {
        std::free(pixels);
        return false;
    }
    FImageWidth = width;
    FImageHeight = height;
    return true;
}

SoftDxPixelMemory X11Presenter::AllocateFrame(size_t bytes)
{
    if (!FShmAllowed || bytes == 0) return {};
    std::lock_guard guard(FCallLock);
    auto* info = new XShmSegmentInfo{};
    info->shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    void* address = info->shmid >= 0 ? shmat(info->shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
    bool attached = false;
    if (address != reinterpret_cast<void*>(-1)) {
        info->shmaddr = static_cast<char*>(address);
        info->readOnly = True;
        X11ErrorTrap trap(FDisplay);
        attached = XShmAttach(FDisplay, info) && !trap.Failed();
    }
    // Marked for removal now, so the segment goes when both sides let go of it.
    if (info->shmid >= 0) shmctl(info->shmid, IPC_RMID, nullptr);
    if (!attached) {
        if (address != reinterpret_cast<void*>(-1)) shmdt(address);
        delete info;
        return {};
    }
    auto* pixels = static_cast<uint8_t*>(address);
    FFrames[pixels] = FrameSegment{info, nullptr, bytes};
    std::weak_ptr<X11Presenter> self = weak_from_this();
    return SoftDxPixelMemory(pixels, SoftDxMemoryRelease{[self](uint8_t* p) {
                                 if (const auto presenter = self.lock()) presenter->ForgetFrame(p);
                                 shmdt(p);
                             }});
}

void X11Presenter::ForgetFrame(uint8_t* address)
{
    std::lock_guard guard(FCallLock);
    const auto found = FFrames.find(address);
    if (found == FFrames.end()) return;
    FrameSegment& segment = found->second;
    if (segment.Image) {
        segment.Image->data = nullptr;
        XDestroyImage(segment.Image);
    }
    auto* info = static_cast<XShmSegmentInfo*>(segment.Info);
    XShmDetach(FDisplay, info);
    // The server must be done with the segment before the memory goes.
    XSync(FDisplay, False);
    delete info;
    FFrames.erase(found);
}

bool X11Presenter::PutSegment(unsigned long drawable, const uint32_t* pixels, uint32_t width, uint32_t height,
                              size_t pitchBytes)
{
    if (!FShmAllowed) return false;
    const auto found = FFrames.find(reinterpret_cast<const uint8_t*>(pixels));
    if (found == FFrames.end()) return false;
    FrameSegment& segment = found->second;
    XImage* image = segment.Image;
    if (!image || uint32_t(image->width) != width || uint32_t(image->height) != height ||
        image->depth != FCheckedDepth) {
        if (image) {
            image->data = nullptr;
            XDestroyImage(image);
            segment.Image = nullptr;
        }
        auto* info = static_cast<XShmSegmentInfo*>(segment.Info);
        image = XShmCreateImage(FDisplay, static_cast<Visual*>(FCheckedVisual), FCheckedDepth, ZPixmap, info->shmaddr,
                                info, width, height);
        if (!image) return false;
        segment.Image = image;
    }
    if (size_t(image->bytes_per_line) != pitchBytes || size_t(image->bytes_per_line) * height > segment.Bytes)
        return false;
    XShmPutImage(FDisplay, drawable, FGc, image, 0, 0, 0, 0, width, height, False);
    return true;
}

bool X11Presenter::PresentDirect(unsigned long window, const uint32_t* pixels, uint32_t width, uint32_t height,
                                 size_t pitchBytes)
{
    if (!PutSegment(window, pixels, width, height, pitchBytes)) return false;
    ++FDirectFrames;
    return true;
}

void X11Presenter::DropScaler()
{
    if (FScaleSource) XRenderFreePicture(FDisplay, FScaleSource);
    if (FScaleTarget) XRenderFreePicture(FDisplay, FScaleTarget);
    if (FScalePixmap) XFreePixmap(FDisplay, FScalePixmap);
    FScaleSource = FScaleTarget = FScalePixmap = FScaleWindow = 0;
    FScaleWidth = FScaleHeight = FScaleToWidth = FScaleToHeight = 0;
}

bool X11Presenter::PresentScaledByServer(unsigned long window, const uint32_t* pixels, uint32_t width, uint32_t height,
                                         size_t pitchBytes, uint32_t windowWidth, uint32_t windowHeight)
{
    // Only frames already in shared memory: they reach the server without a copy, and the
    // server's scaling (on a graphics card, as a rule) costs this process nothing.
    if (!FRender || !FShmAllowed || FFrames.find(reinterpret_cast<const uint8_t*>(pixels)) == FFrames.end())
        return false;
    auto* const visual = static_cast<Visual*>(FCheckedVisual);
    XRenderPictFormat* format = XRenderFindVisualFormat(FDisplay, visual);
    if (!format) return false;
    const TRectT<uint32_t> fit = X11FitKeepingProportions(width, height, windowWidth, windowHeight);
    if (fit.Width() == 0 || fit.Height() == 0) return false;
    X11ErrorTrap trap(FDisplay);
    if (FScaleWindow != window || FScaleWidth != width || FScaleHeight != height || FScaleToWidth != fit.Width() ||
        FScaleToHeight != fit.Height()) {
        DropScaler();
        FScalePixmap = XCreatePixmap(FDisplay, window, width, height, unsigned(FCheckedDepth));
        XRenderPictureAttributes padded{};
        padded.repeat = RepeatPad;  // the edges repeat, as the frame's own pixels
        FScaleSource = XRenderCreatePicture(FDisplay, FScalePixmap, format, CPRepeat, &padded);
        FScaleTarget = XRenderCreatePicture(FDisplay, window, format, 0, nullptr);
        // Each window pixel's centre mapped back into the frame: the steps in 16.16 fixed point.
        const auto step = [](uint32_t from, uint32_t to) { return XFixed(((uint64_t{from} << 16) + to / 2) / to); };
        XTransform scale{
            {{step(width, fit.Width()), 0, 0}, {0, step(height, fit.Height()), 0}, {0, 0, XDoubleToFixed(1)}}};
        XRenderSetPictureTransform(FDisplay, FScaleSource, &scale);
        XRenderSetPictureFilter(FDisplay, FScaleSource, FilterBilinear, nullptr, 0);
        FScaleWindow = window;
        FScaleWidth = width;
        FScaleHeight = height;
        FScaleToWidth = fit.Width();
        FScaleToHeight = fit.Height();
        if (trap.Failed()) {
            DropScaler();
            FRender = false;  // this server does not: scaled here from now on
            return false;
        }
    }
    if (!PutSegment(FScalePixmap, pixels, width, height, pitchBytes)) return false;
    XRenderComposite(FDisplay, PictOpSrc, FScaleSource, None, FScaleTarget, 0, 0, 0, 0, int(fit.Left), int(fit.Top),
                     fit.Width(), fit.Height());
    // The bars, black: the GC's foreground is its default, 0.
    const XRectangle bars[] = {
        {0, 0, static_cast<unsigned short>(windowWidth), static_cast<unsigned short>(fit.Top)},
        {0, static_cast<short>(fit.Bottom), static_cast<unsigned short>(windowWidth),
         static_cast<unsigned short>(windowHeight - fit.Bottom)},
        {0, static_cast<short>(fit.Top), static_cast<unsigned short>(fit.Left),
         static_cast<unsigned short>(fit.Height())},
        {static_cast<short>(fit.Right), static_cast<short>(fit.Top),
         static_cast<unsigned short>(windowWidth - fit.Right), static_cast<unsigned short>(fit.Height())},
    };
    for (const XRectangle& bar : bars)
        if (bar.width && bar.height) XFillRectangle(FDisplay, window, FGc, bar.x, bar.y, bar.width, bar.height);
    if (trap.Failed()) return false;
    ++FServerScaledFrames;
    return true;
}

bool X11Presenter::Present(HWND window, const uint32_t* pixels, uint32_t width, uint32_t height, size_t pitchBytes)
{
    const auto id = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window));
    if (!id || !pixels || !width || !height) return false;
    std::lock_guard guard(FCallLock);
    FShownWindow = 0;
    Window root;
    int x, y;
    unsigned int windowWidth = 0, windowHeight = 0, border, depth;
    // One trap for the whole frame: a window that went away makes the calls fail (zero)
    // and the error is only counted.
    X11ErrorTrap trap(FDisplay);
    if (!XGetGeometry(FDisplay, id, &root, &x, &y, &windowWidth, &windowHeight, &border, &depth)) return false;
    if (!WindowTakesFrames(id)) return false;
    if (id != FGcWindow) {
        if (FGc) XFreeGC(FDisplay, FGc);
        FGc = XCreateGC(FDisplay, id, 0, nullptr);
        FGcWindow = id;
    }
    const bool direct =
        windowWidth == width && windowHeight == height && PresentDirect(id, pixels, width, height, pitchBytes);
    const bool serverScaled =
        !direct && PresentScaledByServer(id, pixels, width, height, pitchBytes, windowWidth, windowHeight);
    if (!direct && !serverScaled) {
        if (!PrepareImage(windowWidth, windowHeight)) return false;
        XImage* image = FShmImage ? FShmImage : FPlainImage;
        X11ScaleFrame(pixels, width, height, pitchBytes, reinterpret_cast<uint32_t*>(image->data), windowWidth,
                      windowHeight, size_t(image->bytes_per_line));
        if (FShmImage)
            XShmPutImage(FDisplay, id, FGc, image, 0, 0, 0, 0, windowWidth, windowHeight, False);
        else
            XPutImage(FDisplay, id, FGc, image, 0, 0, 0, 0, windowWidth, windowHeight);
    }
    // Waiting for the server also keeps the next frame from overwriting shared pixels
    // the server is still reading.
    const bool shown = !trap.Failed();
    if (shown && id != FExposedWindow) {
        // Told when the window is uncovered, so that a repeated frame is sent again at once.
        if (FExposedWindow) XSelectInput(FDisplay, FExposedWindow, NoEventMask);
        XSelectInput(FDisplay, id, ExposureMask);
        FExposedWindow = id;
    }
    if (shown) {
        FShownWindow = id;
        // This whole frame answers the exposures heard so far.
        XEvent event;
        while (XCheckTypedEvent(FDisplay, Expose, &event)) {
        }
    }
    FShownWidth = windowWidth;
    FShownHeight = windowHeight;
    FRepeats = 0;
    return shown;
}

bool X11Presenter::Repeat(HWND window)
{
    const auto id = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window));
    std::lock_guard guard(FCallLock);
    if (!id || id != FShownWindow || FRepeats + 1 >= RefreshEvery) return false;
    Window root;
    int x, y;
    unsigned int width = 0, height = 0, border, depth;
    X11ErrorTrap trap(FDisplay);
    if (!XGetGeometry(FDisplay, id, &root, &x, &y, &width, &height, &border, &depth) || trap.Failed() ||
        width != FShownWidth || height != FShownHeight)
        return false;
    // The reply brought along any exposure since; none may stay queued, of any window.
    bool exposed = false;
    XEvent event;
    while (XCheckTypedEvent(FDisplay, Expose, &event)) exposed |= event.xexpose.window == id;
    if (exposed) return false;
    ++FRepeats;
    ++FRepeatedFrames;
    return true;
}

std::optional<SoftDxPlacement> X11Presenter::Placement(HWND window, SoftDxSize frame)
{
    const auto id = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window));
    if (!id) return std::nullopt;
    Window root;
    int x, y;
    unsigned int width = 0, height = 0, border, depth;
    std::lock_guard guard(FCallLock);
    X11ErrorTrap trap(FDisplay);
    if (!XGetGeometry(FDisplay, id, &root, &x, &y, &width, &height, &border, &depth) || !WindowTakesFrames(id) ||
        trap.Failed())
        return std::nullopt;
    return SoftDxFitKeepingProportions(frame, {width, height});
}

std::optional<std::vector<RECT>> X11Presenter::VisibleRects(HWND window)
{
    const auto id = static_cast<Window>(reinterpret_cast<uintptr_t>(window));
    if (!id) return std::nullopt;
    std::lock_guard guard(FCallLock);
    X11ErrorTrap trap(FDisplay);
    // A window's place on the root, border included when asked for.
    auto onRoot = [&](Window w, bool border, RECT& out) {
        XWindowAttributes a;
        Window child;
        int x, y;
        if (!XGetWindowAttributes(FDisplay, w, &a) || !XTranslateCoordinates(FDisplay, w, a.root, 0, 0, &x, &y, &child))
            return -1;
        const int b = border ? a.border_width : 0;
        out = {x - b, y - b, x + a.width + b, y + a.height + b};
        return a.map_state == IsViewable ? 1 : 0;
    };
    RECT own;
    const int shown = onRoot(id, false, own);
    if (shown < 0 || trap.Failed()) return std::nullopt;
    if (shown == 0) return std::vector<RECT>{};
    std::vector<RECT> visible{own};
    const SoftDxSize screen = ScreenSize();
    Intersect(visible, {0, 0, LONG(screen.Width), LONG(screen.Height)});
    // Up the tree: windows stacked above the window or an ancestor (later siblings) cover
    // it, and each ancestor cuts it to its own area.
    for (Window current = id;;) {
        Window root, parent, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(FDisplay, current, &root, &parent, &children, &count)) break;
        if (children) XFree(children);
        if (!parent) break;
        Window parentsRoot, grandparent;
        if (!XQueryTree(FDisplay, parent, &parentsRoot, &grandparent, &children, &count)) break;
        bool above = false;
        for (unsigned int i = 0; i < count; ++i) {
            RECT cover;
            if (above && onRoot(children[i], true, cover) == 1) Subtract(visible, cover);
            above = above || children[i] == current;
        }
        if (children) XFree(children);
        if (parent == root) break;  // the screen has cut it already
        RECT bounds;
        if (onRoot(parent, false, bounds) < 0) break;
        Intersect(visible, bounds);
        current = parent;
    }
    if (trap.Failed()) return std::nullopt;
    return visible;
}

std::optional<RECT> X11Presenter::FrameRect(HWND window, SoftDxSize frame)
{
    const auto id = static_cast<Window>(reinterpret_cast<uintptr_t>(window));
    if (!id || !frame.Width || !frame.Height) return std::nullopt;
    std::lock_guard guard(FCallLock);
    X11ErrorTrap trap(FDisplay);
    XWindowAttributes a;
    Window child;
    int x = 0, y = 0;
    if (!XGetWindowAttributes(FDisplay, id, &a) || !XTranslateCoordinates(FDisplay, id, a.root, 0, 0, &x, &y, &child) ||
        trap.Failed())
        return std::nullopt;
    // The same fit Present draws with, whichever of its paths shows the frame.
    const TRectT<uint32_t> fit = X11FitKeepingProportions(frame.Width, frame.Height, uint32_t(std::max(a.width, 0)),
                                                          uint32_t(std::max(a.height, 0)));
    const LONG left = x + LONG(fit.Left), top = y + LONG(fit.Top);
    return RECT{left, top, left + LONG(fit.Width()), top + LONG(fit.Height())};
}
