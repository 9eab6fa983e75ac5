// Windows half of forms.
// Implements: FrameworkPlatform.h's TForm window half (TForm::Impl), GetCursorPos, ShowCursor,
//   ActiveWindow, ScreenAvailable (always true) with NoScreenReason; Win32Framework::DialogKeysWindow
// Leaves out: menus, icons, scaling for the screen's dots per inch
// One window class whose procedure hands the framework's messages to the form
// (TForm::Dispatch) and the rest to DefWindowProc; borderless is WS_POPUP, stay-on-top is
// HWND_TOPMOST, maximised is SW_MAXIMIZE. A desktop is taken to be there.
// A fixed single border without the system menu has neither a close box nor the others.
// The window that takes the dialog keys is a form's that holds controls, which hands the
// focus on to a control (the one it had when the form was left, else the first).
#include <set>

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/win32/Win32Framework.h"

struct TForm::Impl {
    HWND handle = nullptr;
    TRect normalBounds{0, 0, 320, 240};  // the bounds while not maximised or minimised
    bool visible = false;                // before the window exists
    HWND lastFocus = nullptr;            // the control that had the focus when the form was left
};

namespace {
const char* const FormClass = "VellumineForm";

std::set<TForm*>& Forms()
{
    // Never destroyed: objects freed during the program's exit still look here.
    static auto* forms = new std::set<TForm*>;
    return *forms;
}

// For a form that holds controls: gives the focus to the control that had it when the form
// was left, else the first. False when there is none to give it to.
bool FocusAControl(HWND window, TForm& form)
{
    if (Win32Framework::DialogKeysWindow(window) != window) return false;
    HWND control = form.PlatformImpl().lastFocus;
    if (!control || !IsChild(window, control) || !IsWindowVisible(control) || !IsWindowEnabled(control))
        control = GetNextDlgTabItem(window, nullptr, FALSE);
    if (!control || control == window) return false;
    SetFocus(control);
    return GetFocus() == control;
}

LRESULT FormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!form) return DefWindowProcA(window, message, wParam, lParam);
    // Enter and Escape reach a form with controls as these commands from the dialog keys
    // (IsDialogMessage). The forms have no default and no cancel button: the keys do nothing.
    if (message == WM_COMMAND && lParam == 0 && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) return 0;
    // As a dialog does: the focus goes to a control, the one left last or else the first,
    // never to the form's own window, where keys would move nothing.
    if (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) form->PlatformImpl().lastFocus = focus;
    }
    if (message == WM_SETFOCUS && FocusAControl(window, *form)) return 0;
    if (message == WM_ERASEBKGND) {
        RECT rect;
        GetClientRect(window, &rect);
        HBRUSH brush = CreateSolidBrush(form->Color);  // TColor and COLORREF share their layout
        FillRect(reinterpret_cast<HDC>(wParam), &rect, brush);
        DeleteObject(brush);
        return 1;
    }
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    if (form->Dispatch(msg)) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return FormMessage(window, message, wParam, lParam);
    } catch (...) {
        Win32Framework::KeepException();
        return 0;
    }
}

void RegisterFormClass()
{
    static const bool registered = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = FormWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = FormClass;
        return RegisterClassA(&windowClass) != 0;
    }();
    (void)registered;
}

DWORD StyleFor(TBorderStyle style, uint8_t icons)
{
    DWORD frame = WS_OVERLAPPEDWINDOW;
    if (style == bsNone) frame = WS_POPUP;
    if (style == bsSingle || style == bsDialog) {
        // A fixed frame: a title and a thin border, and only the buttons asked for.
        frame = WS_CAPTION;
        if (icons & biSystemMenu) {
            frame |= WS_SYSMENU;
            if (icons & biMinimize) frame |= WS_MINIMIZEBOX;
            if (icons & biMaximize) frame |= WS_MAXIMIZEBOX;
        }
    }
    return frame | WS_CLIPCHILDREN;
}

int ShowCommandFor(TWindowState state)
{
    switch (state) {
    case wsMaximized: return SW_SHOWMAXIMIZED;
    case wsMinimized: return SW_SHOWMINIMIZED;
    default: return SW_SHOWNORMAL;
    }
}
}  // namespace

TForm::TForm(TComponent* owner) : TComponent(owner), FImpl(std::make_unique<Impl>())
{
    Forms().insert(this);
    Application->SetMainForm(this);
}

TForm::~TForm()
{
    OnDestroy(this);
    if (FImpl->handle) {
        // The window must not call back into a form that is going.
        SetWindowLongPtrA(FImpl->handle, GWLP_USERDATA, 0);
        DestroyWindow(FImpl->handle);
    }
    Forms().erase(this);
    Application->FormDestroyed(this);
}

TForm* TForm::FindForm(HWND handle)
{
    if (!handle) return nullptr;
    for (TForm* form : Forms())
        if (form->FImpl->handle == handle) return form;
    return nullptr;
}

HWND TForm::Handle()
{
    if (FImpl->handle) return FImpl->handle;
    RegisterFormClass();
    const TRect& b = FImpl->normalBounds;
    FImpl->handle = CreateWindowExA(FFormStyle == fsStayOnTop ? WS_EX_TOPMOST : 0, FormClass, Caption.c_str(),
                                    StyleFor(FBorderStyle, BorderIcons), b.Left, b.Top, b.Width(), b.Height(), nullptr,
                                    nullptr, GetModuleHandleA(nullptr), this);
    if (!FEnabled) EnableWindow(FImpl->handle, FALSE);
    if (FImpl->visible) ShowWindow(FImpl->handle, ShowCommandFor(FWindowState));
    return FImpl->handle;
}

bool TForm::HandleAllocated() const { return FImpl->handle != nullptr; }

void TForm::Show()
{
    FImpl->visible = true;
    HWND window = Handle();
    SetWindowTextA(window, Caption.c_str());
    ShowWindow(window, ShowCommandFor(FWindowState));
    if (FFormStyle == fsStayOnTop) SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    UpdateWindow(window);
}

void TForm::Hide()
{
    FImpl->visible = false;
    if (FImpl->handle) ShowWindow(FImpl->handle, SW_HIDE);
}

bool TForm::Visible() const { return FImpl->handle ? IsWindowVisible(FImpl->handle) != FALSE : FImpl->visible; }

void TForm::Release() { PostMessageA(Handle(), CM_RELEASE, 0, 0); }

void TForm::SetBorderStyle(TBorderStyle style)
{
    if (style == FBorderStyle) return;
    FBorderStyle = style;
    if (!FImpl->handle) return;
    // Keep the state bits (visible, maximised), change only the frame.
    const LONG_PTR kept = GetWindowLongPtrA(FImpl->handle, GWL_STYLE) & (WS_VISIBLE | WS_MAXIMIZE | WS_MINIMIZE);
    SetWindowLongPtrA(FImpl->handle, GWL_STYLE, static_cast<LONG_PTR>(StyleFor(style, BorderIcons)) | kept);
    SetWindowPos(FImpl->handle, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::SetFormStyle(TFormStyle style)
{
    if (style == FFormStyle) return;
    FFormStyle = style;
    if (!FImpl->handle) return;
    SetWindowPos(FImpl->handle, style == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TForm::SetWindowState(TWindowState state)
{
    if (state == FWindowState) return;
    FWindowState = state;
    if (!FImpl->handle) return;
    if (Visible()) {
        ShowWindow(FImpl->handle, state == wsMaximized ? SW_MAXIMIZE : state == wsMinimized ? SW_MINIMIZE : SW_RESTORE);
        return;
    }
    // A hidden window keeps the state for its next Show.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(FImpl->handle, &placement);
    placement.showCmd = SW_HIDE;
    SetWindowPlacement(FImpl->handle, &placement);
}

namespace {
TRect WindowBounds(HWND window, const TRect& fallback)
{
    if (!window) return fallback;
    RECT rect;
    GetWindowRect(window, &rect);
    return Rect(rect.left, rect.top, rect.right, rect.bottom);
}
}  // namespace

int TForm::Left() const { return WindowBounds(FImpl->handle, FImpl->normalBounds).Left; }
int TForm::Top() const { return WindowBounds(FImpl->handle, FImpl->normalBounds).Top; }
int TForm::Width() const { return WindowBounds(FImpl->handle, FImpl->normalBounds).Width(); }
int TForm::Height() const { return WindowBounds(FImpl->handle, FImpl->normalBounds).Height(); }

void TForm::SetBounds(int left, int top, int width, int height)
{
    FImpl->normalBounds = Rect(left, top, left + width, top + height);
    if (!FImpl->handle) return;
    if (FWindowState == wsNormal) {
        MoveWindow(FImpl->handle, left, top, width, height, TRUE);
        return;
    }
    // Maximised or minimised: the bounds are where the window returns to.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(FImpl->handle, &placement);
    placement.rcNormalPosition = RECT{left, top, left + width, top + height};
    SetWindowPlacement(FImpl->handle, &placement);
}

void TForm::SetClientSizeCentred(int width, int height)
{
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, StyleFor(FBorderStyle, BorderIcons), FALSE,
                       FFormStyle == fsStayOnTop ? WS_EX_TOPMOST : 0);
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int outerWidth = frame.right - frame.left, outerHeight = frame.bottom - frame.top;
    SetBounds(work.left + (work.right - work.left - outerWidth) / 2,
              work.top + (work.bottom - work.top - outerHeight) / 2, outerWidth, outerHeight);
}

void TForm::SetEnabled(bool enabled)
{
    FEnabled = enabled;
    if (!FImpl->handle) return;
    EnableWindow(FImpl->handle, enabled ? TRUE : FALSE);
    // A form made active while disabled could not pass the focus to its controls then.
    HWND focus = GetFocus();
    if (enabled && GetActiveWindow() == FImpl->handle && (!focus || focus == FImpl->handle))
        FocusAControl(FImpl->handle, *this);
}

TRect TForm::ClientRect() const
{
    if (!FImpl->handle) return Rect(0, 0, FImpl->normalBounds.Width(), FImpl->normalBounds.Height());
    RECT rect;
    GetClientRect(FImpl->handle, &rect);
    return Rect(rect.left, rect.top, rect.right, rect.bottom);
}

TPoint TForm::ClientToScreen(TPoint point) const
{
    POINT p{point.X, point.Y};
    if (FImpl->handle)
        ::ClientToScreen(FImpl->handle, &p);
    else {
        p.x += FImpl->normalBounds.Left;
        p.y += FImpl->normalBounds.Top;
    }
    return {p.x, p.y};
}

void TForm::Invalidate(bool erase)
{
    if (FImpl->handle) InvalidateRect(FImpl->handle, nullptr, erase ? TRUE : FALSE);
}

namespace Win32Framework {
HWND DialogKeysWindow(HWND window)
{
    HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
    TForm* form = TForm::FindForm(root);
    if (!form) return nullptr;
    for (int i = 0; i < form->ComponentCount(); ++i)
        if (dynamic_cast<TControl*>(form->Components(i))) return root;
    return nullptr;
}
}  // namespace Win32Framework

TPoint GetCursorPos()
{
    POINT p{};
    ::GetCursorPos(&p);
    return {p.x, p.y};
}

int ShowCursor(bool show) { return ::ShowCursor(show ? TRUE : FALSE); }

TWindowHandle ActiveWindow()
{
    // The thread's active window may be a message box, which is no form's.
    const HWND active = ::GetActiveWindow();
    return TForm::FindForm(active) ? active : nullptr;
}

bool ScreenAvailable() { return true; }

std::string NoScreenReason() { return "no interactive desktop in this session"; }
