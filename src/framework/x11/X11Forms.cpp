// Linux half of forms: each form's window is a top-level Fl_Window.
// Implements: FrameworkPlatform.h's TForm window half (TForm::Impl), ShowCursor (an invisible cursor
//   on every form), ScreenAvailable and NoScreenReason (whether an X display opens, and what to say
//   if not); X11Framework::FormGroup
// Leaves out: GetCursorPos (X11Application.cpp's); minimising without a window manager, per-form icons
// The window is single-buffered, so what the software DirectDraw presents into its X window is
// never overdrawn from a back buffer, and made when first needed. FLTK gives a window its X id
// only by showing it, so Handle() shows the form. Hiding unmaps the window and keeps its id.
// Borderless is FLTK's border(0) (Motif decoration hints), stay-on-top the
// _NET_WM_STATE_ABOVE state (the property, plus the request to a running window manager),
// maximised fills the screen. With no display, forms are objects with the same properties and
// a unique handle of their own, and their messages still pass through the queue.
// A form's controls are FLTK widgets inside its window (X11Controls.cpp); a disabled form
// ignores input without greying them, as on Windows.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <set>
#include <vector>

#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/WinApi.h"
#include "framework/x11/X11Framework.h"

namespace {
// The screen forms fill when there is none.
constexpr int HeadlessScreenWidth = 1024, HeadlessScreenHeight = 768;

std::set<TForm*>& Forms()
{
    // Never destroyed: objects freed during the program's exit still look here.
    static auto* forms = new std::set<TForm*>;
    return *forms;
}
uintptr_t nextHeadlessHandle = 0x10000;
int cursorCount = 0;

HWND ToHandle(Window window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }

class FormWindow;

std::set<FormWindow*>& Windows()
{
    // Never destroyed: objects freed during the program's exit still look here.
    static auto* windows = new std::set<FormWindow*>;
    return *windows;
}

class FormWindow : public Fl_Window {
public:
    FormWindow(TForm& form, const TRect& bounds)
        : Fl_Window(bounds.Left, bounds.Top, bounds.Width(), bounds.Height()), FForm(form)
    {
        // Free sizing: without it FLTK asks the window manager for a fixed size.
        size_range(1, 1);
        callback(CloseRequested);
        Windows().insert(this);
    }
    ~FormWindow() override { Windows().erase(this); }

    void draw() override
    {
        const TColor color = FForm.Color;
        fl_rectf(0, 0, w(), h(), RedOf(color), GreenOf(color), BlueOf(color));
        draw_children();
        MessageQueue::Post(ToHandle(fl_xid(this)), WM_PAINT, 0, 0);
    }

    int handle(int event) override
    {
        if (!FForm.Enabled()) {
            switch (event) {
            case FL_PUSH:
            case FL_RELEASE:
            case FL_DRAG:
            case FL_KEYDOWN:
            case FL_KEYUP:
            case FL_SHORTCUT:
            case FL_MOUSEWHEEL: return 1;  // swallowed
            default: break;
            }
        }
        return Fl_Window::handle(event);
    }

private:
    // The window manager's close button becomes WM_CLOSE; FLTK also calls back for Escape,
    // which on Windows closes nothing.
    static void CloseRequested(Fl_Widget* widget, void*)
    {
        if (Fl::event() != FL_CLOSE) return;
        MessageQueue::Post(ToHandle(fl_xid(static_cast<Fl_Window*>(widget))), WM_CLOSE, 0, 0);
    }

    TForm& FForm;
};

Atom Intern(const char* name) { return XInternAtom(fl_display, name, False); }

// Adds or removes one _NET_WM_STATE atom: in the property, which a window manager reads
// when the window is mapped, and by request, which it acts on while the window is mapped.
void SetNetWmState(Window window, const char* stateName, bool on)
{
    const Atom netWmState = Intern("_NET_WM_STATE");
    const Atom state = Intern(stateName);
    std::vector<Atom> states;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(fl_display, window, netWmState, 0, 64, False, XA_ATOM, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i)
            if (atoms[i] != state) states.push_back(atoms[i]);
        XFree(data);
    }
    if (on) states.push_back(state);
    XChangeProperty(fl_display, window, netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states.data()), static_cast<int>(states.size()));

    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = window;
    request.xclient.message_type = netWmState;
    request.xclient.format = 32;
    request.xclient.data.l[0] = on ? 1 : 0;  // _NET_WM_STATE_ADD or _REMOVE
    request.xclient.data.l[1] = static_cast<long>(state);
    request.xclient.data.l[3] = 1;  // from an application
    XSendEvent(fl_display, DefaultRootWindow(fl_display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &request);
    if (on) XRaiseWindow(fl_display, window);
    XFlush(fl_display);
}

// A frame with a title and a border but no menu, minimise, maximise or close buttons, for
// window managers that read the Motif hints.
void LimitDecorations(Window window)
{
    struct {
        unsigned long flags, functions, decorations;
        long inputMode;
        unsigned long status;
    } hints{};
    hints.flags = 1 | 2;        // functions and decorations given
    hints.functions = 4;        // move only
    hints.decorations = 2 | 8;  // border and title
    const Atom motifHints = Intern("_MOTIF_WM_HINTS");
    XChangeProperty(fl_display, window, motifHints, motifHints, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&hints), 5);
    XFlush(fl_display);
}

TRect ScreenAround(const TRect& bounds)
{
    if (!fl_display) return Rect(0, 0, HeadlessScreenWidth, HeadlessScreenHeight);
    int x, y, w, h;
    Fl::screen_xywh(x, y, w, h, bounds.Left + bounds.Width() / 2, bounds.Top + bounds.Height() / 2);
    return Rect(x, y, x + w, y + h);
}

void ApplyCursor(FormWindow* window)
{
    if (window && window->shown()) window->cursor(cursorCount < 0 ? FL_CURSOR_NONE : FL_CURSOR_DEFAULT);
}
}  // namespace

struct TForm::Impl {
    FormWindow* window = nullptr;  // with a display, once the form has needed its window
    HWND headlessHandle = nullptr;
    bool visible = false;
    TRect bounds{0, 0, 320, 240};
    TRect normalBounds{0, 0, 320, 240};  // the bounds to return to from maximised

    bool Realized() const { return window && window->shown(); }
    FormWindow& EnsureWindow(const TForm& form);
    Window Xid() const { return Realized() ? fl_xid(window) : 0; }
    // The handle the form's messages carry now.
    HWND CurrentHandle() const { return Realized() ? ToHandle(fl_xid(window)) : headlessHandle; }
};

FormWindow& TForm::Impl::EnsureWindow(const TForm& form)
{
    if (!window) {
        window = new FormWindow(const_cast<TForm&>(form), bounds);
        window->border(form.BorderStyle() != bsNone);
        // A single border is a fixed size: the window manager offers no resizing.
        if (form.BorderStyle() == bsSingle || form.BorderStyle() == bsDialog)
            window->size_range(bounds.Width(), bounds.Height(), bounds.Width(), bounds.Height());
        // Fl_Window's constructor makes it the group new widgets go into; controls are
        // added to it by name instead.
        window->end();
    }
    return *window;
}

namespace X11Framework {
Fl_Group* FormGroup(TForm& form)
{
    if (!fl_display) return nullptr;
    return &form.PlatformImpl().EnsureWindow(form);
}
}  // namespace X11Framework

TForm::TForm(TComponent* owner) : TComponent(owner), FImpl(std::make_unique<Impl>())
{
    X11Framework::OpenDisplay();
    FImpl->headlessHandle = reinterpret_cast<HWND>(nextHeadlessHandle++);
    Forms().insert(this);
    Application->SetMainForm(this);
}

TForm::~TForm()
{
    OnDestroy(this);
    if (FImpl->window) {
        // The controls free their own widgets; the window must not free them first.
        while (FImpl->window->children() > 0) FImpl->window->remove(FImpl->window->child(0));
    }
    delete FImpl->window;
    Forms().erase(this);
    Application->FormDestroyed(this);
}

TForm* TForm::FindForm(HWND handle)
{
    if (!handle) return nullptr;
    // A message queued before the window existed carries the headless handle.
    for (TForm* form : Forms())
        if (form->FImpl->CurrentHandle() == handle || form->FImpl->headlessHandle == handle) return form;
    return nullptr;
}

namespace {
// A window over everything takes the keyboard too, window manager or not: the show must hear
// the first key press. Focus needs the window mapped first.
void TakeFocus(Fl_Window& window)
{
    window.wait_for_expose();
    XSetInputFocus(fl_display, fl_xid(&window), RevertToParent, CurrentTime);
    XFlush(fl_display);
}
}  // namespace

HWND TForm::Handle()
{
    if (fl_display && !FImpl->Realized()) Show();
    return FImpl->CurrentHandle();
}

bool TForm::HandleAllocated() const { return !fl_display || FImpl->Realized(); }

void TForm::Show()
{
    FImpl->visible = true;
    if (!fl_display) return;
    FormWindow& window = FImpl->EnsureWindow(*this);
    window.copy_label(Caption.c_str());
    const bool created = !window.shown();
    // The X server clears the window to this colour whenever it is exposed or resized, before
    // any drawing: FLTK's grey would show wherever nothing is drawn again, as on an empty show.
    if (created) window.color(fl_rgb_color(RedOf(Color), GreenOf(Color), BlueOf(Color)));
    window.show();
    // A new X window has none of the states set on the one before it.
    if (created && FFormStyle == fsStayOnTop) SetNetWmState(fl_xid(&window), "_NET_WM_STATE_ABOVE", true);
    if (created && FBorderStyle != bsNone && !(BorderIcons & biSystemMenu)) LimitDecorations(fl_xid(&window));
    if (FFormStyle == fsStayOnTop) TakeFocus(window);
    ApplyCursor(&window);
    XFlush(fl_display);
}

void TForm::Hide()
{
    FImpl->visible = false;
    // Unmapping rather than FLTK's hide keeps the X window, and so the handle, for the next Show.
    if (FImpl->Realized()) {
        XUnmapWindow(fl_display, FImpl->Xid());
        XFlush(fl_display);
    }
}

bool TForm::Visible() const { return FImpl->visible; }

void TForm::Release() { MessageQueue::Post(FImpl->CurrentHandle(), CM_RELEASE, 0, 0); }

void TForm::SetBorderStyle(TBorderStyle style)
{
    if (style == FBorderStyle) return;
    FBorderStyle = style;
    if (FImpl->window) FImpl->window->border(style != bsNone);
}

void TForm::SetFormStyle(TFormStyle style)
{
    if (style == FFormStyle) return;
    FFormStyle = style;
    if (!FImpl->Realized()) return;
    SetNetWmState(FImpl->Xid(), "_NET_WM_STATE_ABOVE", style == fsStayOnTop);
    if (style == fsStayOnTop && FImpl->visible && FImpl->window) TakeFocus(*FImpl->window);
}

void TForm::SetWindowState(TWindowState state)
{
    if (state == FWindowState) return;
    const TWindowState old = FWindowState;
    FWindowState = state;
    if (old == wsNormal) FImpl->normalBounds = Rect(Left(), Top(), Left() + Width(), Top() + Height());
    TRect target = FImpl->normalBounds;
    if (state == wsMaximized) target = ScreenAround(FImpl->normalBounds);
    if (state == wsMinimized) {
        if (FImpl->Realized()) FImpl->window->iconize();
        return;
    }
    if (old == wsMinimized && FImpl->visible && FImpl->window) FImpl->window->show();
    FImpl->bounds = target;
    if (FImpl->window) FImpl->window->resize(target.Left, target.Top, target.Width(), target.Height());
}

int TForm::Left() const { return FImpl->window ? FImpl->window->x() : FImpl->bounds.Left; }
int TForm::Top() const { return FImpl->window ? FImpl->window->y() : FImpl->bounds.Top; }
int TForm::Width() const { return FImpl->window ? FImpl->window->w() : FImpl->bounds.Width(); }
int TForm::Height() const { return FImpl->window ? FImpl->window->h() : FImpl->bounds.Height(); }

void TForm::SetBounds(int left, int top, int width, int height)
{
    const TRect bounds = Rect(left, top, left + width, top + height);
    FImpl->normalBounds = bounds;
    // Maximised, the bounds are only where the window returns to.
    if (FWindowState != wsNormal) return;
    FImpl->bounds = bounds;
    if (FImpl->window) FImpl->window->resize(left, top, width, height);
}

void TForm::SetClientSizeCentred(int width, int height)
{
    const TRect screen = ScreenAround(Rect(0, 0, width, height));
    SetBounds(screen.Left + (screen.Width() - width) / 2, screen.Top + (screen.Height() - height) / 2, width, height);
    if (FImpl->window && (FBorderStyle == bsSingle || FBorderStyle == bsDialog))
        FImpl->window->size_range(width, height, width, height);
}

void TForm::SetEnabled(bool enabled) { FEnabled = enabled; }

TRect TForm::ClientRect() const { return Rect(0, 0, Width(), Height()); }

TPoint TForm::ClientToScreen(TPoint point) const
{
    if (FImpl->Realized()) {
        // A window manager's frame moves the window inside its own; the server knows where.
        int x, y;
        Window child;
        if (XTranslateCoordinates(fl_display, FImpl->Xid(), DefaultRootWindow(fl_display), point.X, point.Y, &x, &y,
                                  &child))
            return {x, y};
    }
    return {point.X + Left(), point.Y + Top()};
}

void TForm::Invalidate(bool erase)
{
    // Erasing is FLTK's redraw, which paints the background and then queues WM_PAINT.
    if (erase && FImpl->Realized())
        FImpl->window->redraw();
    else
        MessageQueue::Post(FImpl->CurrentHandle(), WM_PAINT, 0, 0);
}

int ShowCursor(bool show)
{
    const bool wasHidden = cursorCount < 0;
    cursorCount += show ? 1 : -1;
    if (wasHidden != (cursorCount < 0))
        for (FormWindow* window : Windows()) ApplyCursor(window);
    return cursorCount;
}

bool ScreenAvailable() { return X11Framework::OpenDisplay() != nullptr; }

std::string NoScreenReason() { return "no X display: is DISPLAY set?"; }
