// Windows half of controls: the system's common controls as child windows.
// Implements: FrameworkPlatform.h's ControlPlatform (TControl::Impl), DispatchControlMessage
// Leaves out: mnemonics (no caption has an ampersand), a default button
// A page is a window of the framework's own over the tab control; it paints its pictures and
// labels itself (they have no window, like graphic controls), answers clicks and the hand
// cursor over them, and passes its children's notifications on as the form does. The speed
// bar's window is subclassed to capture the mouse from a press to the release.
// Keyboard moves: the windows that take the focus are tab stops, pages are control parents,
// and siblings stand in the z-order in their tab order, a page right after its tab row, so
// the system's dialog keys (Win32Application.cpp) walk them as the framework orders them.
// The edit box, which shows a folder, is a wide window: its text is UTF-8 in the program and
// may hold any name; captions are fixed texts and stay narrow.
#include <windows.h>
// After windows.h, whose declarations they use.
#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/win32/Win32Unicode.h"
#include "framework/Forms.h"
#include "framework/FrameworkPlatform.h"
#include "framework/win32/Win32Framework.h"

struct TControl::Impl {
    HWND window = nullptr;
    WNDPROC original = nullptr;
    std::vector<std::string> lines;  // what a combo box or tab row holds now
    HBRUSH backdrop = nullptr;       // a check box's: the page under it, as it was last drawn
};

namespace {
const char* const SheetClass = "VellumineSheet";

HWND WindowOf(const TControl& control) { return control.PlatformImpl() ? control.PlatformImpl()->window : nullptr; }

TControl* ControlOfWindow(HWND window) { return TControl::FindControl(GetDlgCtrlID(window)); }

HFONT DialogFont()
{
    static const HFONT font =
        CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
    return font;
}

HBRUSH WhiteBrush() { return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)); }

void PaintImage(HDC dc, TImage& image)
{
    const TBitmap& picture = image.Picture();
    if (picture.Empty()) return;
    // The rows one after another from the top, as a top-down device-independent bitmap.
    std::vector<uint8_t> rows(static_cast<size_t>(picture.RowBytes()) * static_cast<size_t>(picture.Height()));
    for (int y = 0; y < picture.Height(); ++y)
        std::copy_n(picture.ScanLine(y), picture.RowBytes(), rows.begin() + picture.RowBytes() * y);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.Width();
    info.bmiHeader.biHeight = -picture.Height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int width = image.Stretch() ? image.Width() : std::min(image.Width(), picture.Width());
    const int height = image.Stretch() ? image.Height() : std::min(image.Height(), picture.Height());
    const int sourceWidth = image.Stretch() ? picture.Width() : width;
    const int sourceHeight = image.Stretch() ? picture.Height() : height;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, image.Left(), image.Top(), width, height, 0, picture.Height() - sourceHeight, sourceWidth,
                  sourceHeight, rows.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void PaintLabel(HDC dc, TLabel& label)
{
    RECT rect{label.Left(), label.Top(), label.Left() + label.Width(), label.Top() + label.Height()};
    if (!label.Transparent) {
        HBRUSH brush = CreateSolidBrush(label.Color);
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
    }
    HFONT font = CreateFontA(-std::max(label.Font.Size, 1), 0, 0, 0, label.Font.Style & fsBold ? FW_BOLD : FW_NORMAL,
                             label.Font.Style & fsItalic ? TRUE : FALSE, label.Font.Style & fsUnderline ? TRUE : FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, label.Font.Name.c_str());
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, label.Font.Color);
    const UINT align = label.Alignment == taRightJustify ? DT_RIGHT : label.Alignment == taCenter ? DT_CENTER : DT_LEFT;
    DrawTextA(dc, label.Caption().c_str(), -1, &rect, align | DT_NOPREFIX | DT_SINGLELINE | DT_TOP);
    SelectObject(dc, old);
    DeleteObject(font);
}

// The topmost label of the page under the point that takes the mouse.
TLabel* LabelAt(TControl& sheet, int x, int y)
{
    for (int i = sheet.ComponentCount() - 1; i >= 0; --i) {
        auto* label = dynamic_cast<TLabel*>(sheet.Components(i));
        if (label && label->Visible() && label->Enabled() && x >= label->Left() && x < label->Left() + label->Width() &&
            y >= label->Top() && y < label->Top() + label->Height())
            return label;
    }
    return nullptr;
}

// What the page shows under its windows: its face, its pictures and its labels.
void PaintSheet(HDC dc, TControl& sheet)
{
    RECT all{0, 0, sheet.Width(), sheet.Height()};
    HBRUSH face = CreateSolidBrush(clBtnFace);
    FillRect(dc, &all, face);
    DeleteObject(face);
    for (int i = 0; i < sheet.ComponentCount(); ++i) {
        auto* control = dynamic_cast<TControl*>(sheet.Components(i));
        if (!control || !control->Visible()) continue;
        if (control->Kind() == ckImage) PaintImage(dc, static_cast<TImage&>(*control));
        if (control->Kind() == ckLabel) PaintLabel(dc, static_cast<TLabel&>(*control));
    }
}

// A check box fills its background with the brush its page gives it, also where it draws only
// its mark or focus again: a brush of the page's own picture under the box, aligned with the
// box, lets it draw over the page as a label does.
HBRUSH CheckBoxBackdrop(TControl& sheet, TControl& box)
{
    TControl::Impl& impl = *box.PlatformImpl();
    if (impl.backdrop) DeleteObject(impl.backdrop);
    impl.backdrop = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, std::max(box.Width(), 1), std::max(box.Height(), 1));
    ReleaseDC(nullptr, screen);
    if (memory && picture) {
        HGDIOBJ old = SelectObject(memory, picture);
        SetViewportOrgEx(memory, -box.Left(), -box.Top(), nullptr);
        PaintSheet(memory, sheet);
        SelectObject(memory, old);
        impl.backdrop = CreatePatternBrush(picture);
    }
    if (picture) DeleteObject(picture);  // the brush keeps its own copy
    if (memory) DeleteDC(memory);
    return impl.backdrop;
}

LRESULT SheetMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TControl* sheet = ControlOfWindow(window);
    if (!sheet) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_ERASEBKGND: return 1;  // the paint covers everything
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        PaintSheet(dc, *sheet);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        if (auto* box = dynamic_cast<TCheckBox*>(ControlOfWindow(reinterpret_cast<HWND>(lParam)));
            box && box->PlatformImpl()) {
            const auto dc = reinterpret_cast<HDC>(wParam);
            SetBkMode(dc, TRANSPARENT);
            SetBrushOrgEx(dc, 0, 0, nullptr);
            if (HBRUSH backdrop = CheckBoxBackdrop(*sheet, *box)) return reinterpret_cast<LRESULT>(backdrop);
        }
        [[fallthrough]];
    case WM_CTLCOLOREDIT:
        SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(WhiteBrush());
    case WM_SETCURSOR: {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(window, &p);
        TLabel* label = LabelAt(*sheet, p.x, p.y);
        if (label && label->Cursor == crHandPoint) {
            SetCursor(LoadCursor(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    }
    case WM_LBUTTONDOWN:
        if (LabelAt(*sheet, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) SetCapture(window);
        return 0;
    case WM_LBUTTONUP: {
        if (GetCapture() == window) ReleaseCapture();
        if (TLabel* label = LabelAt(*sheet, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) label->Click();
        return 0;
    }
    case WM_COMMAND:
    case WM_NOTIFY: {
        MSG msg{window, message, wParam, lParam, 0, {0, 0}};
        if (DispatchControlMessage(msg)) return 0;
        break;
    }
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK SheetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return SheetMessage(window, message, wParam, lParam);
    } catch (...) {
        Win32Framework::KeepException();
        return 0;
    }
}

TMouseButton ButtonOf(UINT message)
{
    switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: return mbRight;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: return mbMiddle;
    default: return mbLeft;
    }
}

// The speed bar: a press captures the mouse, so moves and the release outside still come.
LRESULT CALLBACK BarWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* bar = dynamic_cast<TProgressBar*>(ControlOfWindow(window));
    if (!bar || !bar->PlatformImpl()) return DefWindowProcA(window, message, wParam, lParam);
    const WNDPROC original = bar->PlatformImpl()->original;
    try {
        const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        switch (message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            SetCapture(window);
            bar->MouseDown(ButtonOf(message), x, y);
            return 0;
        case WM_MOUSEMOVE: bar->MouseMove(x, y); return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (!(wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && GetCapture() == window) ReleaseCapture();
            bar->MouseUp(ButtonOf(message), x, y);
            return 0;
        default: break;
        }
    } catch (...) {
        Win32Framework::KeepException();
        return 0;
    }
    return CallWindowProcA(original, window, message, wParam, lParam);
}

void RegisterSheetClass()
{
    static const bool registered = [] {
        INITCOMMONCONTROLSEX common{sizeof common, ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&common);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = SheetWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = SheetClass;
        return RegisterClassA(&windowClass) != 0;
    }();
    (void)registered;
}

// The native parent, and where the control stands in it.
HWND NativeParent(TControl& control)
{
    // Pages stand on the form, over their tab row, so that their children's notices come
    // to a window of ours rather than to the tab control.
    TControl* parent = control.Parent();
    while (parent && parent->Kind() == ckPageControl) parent = parent->Parent();
    return parent ? WindowOf(*parent) : control.Form()->Handle();
}

TPoint PositionInParent(TControl& control)
{
    TControl* parent = control.Parent();
    if (parent && parent->Kind() != ckPageControl) return {control.Left(), control.Top()};
    return control.OriginInForm();
}

// Where a control comes among its native siblings. A page stands on the form beside its tab
// row but belongs to it, so it comes right after the row: Tab goes from the tabs into the
// page shown.
std::pair<int, int> NativeTabOrder(const TControl& control)
{
    if (control.Kind() == ckTabSheet && control.Parent()) return {control.Parent()->TabOrder(), 1};
    return {control.TabOrder(), 0};
}

// Siblings in their tab order, first on top of the z-order, which is how the system walks them.
void SortByTabOrder(HWND parent)
{
    std::vector<TControl*> siblings;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (TControl* control = ControlOfWindow(child)) siblings.push_back(control);
    std::stable_sort(siblings.begin(), siblings.end(),
                     [](TControl* a, TControl* b) { return NativeTabOrder(*a) < NativeTabOrder(*b); });
    HWND after = HWND_TOP;
    for (TControl* control : siblings) {
        SetWindowPos(WindowOf(*control), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = WindowOf(*control);
    }
}

void InvalidateParent(TControl& control)
{
    if (control.Parent() && WindowOf(*control.Parent())) InvalidateRect(WindowOf(*control.Parent()), nullptr, FALSE);
}

void UpdateLines(TControl::Impl& impl, const std::vector<std::string>& lines, UINT clear, UINT add)
{
    if (impl.lines == lines) return;
    SendMessageA(impl.window, clear, 0, 0);
    for (const std::string& line : lines) SendMessageA(impl.window, add, 0, reinterpret_cast<LPARAM>(line.c_str()));
    impl.lines = lines;
}
}  // namespace

namespace ControlPlatform {
TControl::Impl* Create(TControl& control)
{
    if (control.Kind() == ckImage || control.Kind() == ckLabel) return nullptr;  // painted by their page
    RegisterSheetClass();
    HWND parent = NativeParent(control);
    if (!parent) return nullptr;
    const char* windowClass = "";
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    switch (control.Kind()) {
    case ckPageControl:
        windowClass = WC_TABCONTROLA;
        style |= TCS_BUTTONS | TCS_FLATBUTTONS | TCS_RAGGEDRIGHT | WS_TABSTOP;
        break;
    case ckTabSheet:
        windowClass = SheetClass;
        style |= WS_CLIPCHILDREN;
        exStyle = WS_EX_CONTROLPARENT;  // Tab walks into the page's own controls
        break;
    case ckEdit:
        windowClass = "EDIT";
        style |= ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP;
        break;
    case ckButton:
        windowClass = "BUTTON";
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
    case ckProgressBar:
        windowClass = PROGRESS_CLASSA;
        style |= PBS_SMOOTH;  // no tab stop: the speed bar takes no keys
        break;
    case ckComboBox:
        windowClass = "COMBOBOX";
        style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
        break;
    case ckCheckBox:
        windowClass = "BUTTON";
        style |= BS_AUTOCHECKBOX | WS_TABSTOP;
        break;
    default: return nullptr;
    }
    const auto menu = reinterpret_cast<HMENU>(static_cast<intptr_t>(control.Id()));
    // An edit box keeps its text in the width of the call that made it.
    HWND window = control.Kind() == ckEdit ? CreateWindowExW(exStyle, L"EDIT", L"", style, 0, 0, 1, 1, parent, menu,
                                                             GetModuleHandleW(nullptr), nullptr)
                                           : CreateWindowExA(exStyle, windowClass, "", style, 0, 0, 1, 1, parent, menu,
                                                             GetModuleHandleA(nullptr), nullptr);
    if (!window) return nullptr;
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
    auto* impl = new TControl::Impl{window, nullptr, {}};
    if (control.Kind() == ckProgressBar)
        impl->original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BarWindowProc)));
    return impl;
}

void Destroy(TControl& control)
{
    TControl::Impl* impl = control.PlatformImpl();
    if (!impl) {
        InvalidateParent(control);
        return;
    }
    if (IsWindow(impl->window)) {
        if (impl->original) SetWindowLongPtrA(impl->window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(impl->original));
        DestroyWindow(impl->window);
    }
    if (impl->backdrop) DeleteObject(impl->backdrop);
    delete impl;
}

void Update(TControl& control)
{
    TControl::Impl* impl = control.PlatformImpl();
    if (!impl) {
        InvalidateParent(control);
        return;
    }
    HWND window = impl->window;
    const TPoint at = PositionInParent(control);
    // A drop-down list's window is its closed box and its open list together. The tab
    // control's window is only its row of tabs: the pages stand after it in the z-order (for
    // Tab), so where they overlapped it the row would be drawn over them.
    int height = control.Height();
    if (control.Kind() == ckComboBox) height += 200;
    if (control.Kind() == ckPageControl)
        height = std::min(height, TPageControl::PageRect(control.Width(), control.Height()).Top);
    SetWindowPos(window, nullptr, at.X, at.Y, control.Width(), height, SWP_NOZORDER | SWP_NOACTIVATE);
    EnableWindow(window, control.Enabled() ? TRUE : FALSE);
    switch (control.Kind()) {
    case ckPageControl: {
        auto& pages = static_cast<TPageControl&>(control);
        std::vector<std::string> captions;
        for (int i = 0; i < pages.PageCount(); ++i) captions.push_back(pages.Pages(i)->Caption());
        if (impl->lines != captions) {
            TabCtrl_DeleteAllItems(window);
            for (size_t i = 0; i < captions.size(); ++i) {
                TCITEMA item{};
                item.mask = TCIF_TEXT;
                item.pszText = const_cast<char*>(captions[i].c_str());
                SendMessageA(window, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
            }
            impl->lines = captions;
        }
        TabCtrl_SetCurSel(window, pages.ActivePageIndex());
        break;
    }
    case ckButton: SetWindowTextA(window, static_cast<TButton&>(control).Caption().c_str()); break;
    case ckCheckBox: {
        auto& box = static_cast<TCheckBox&>(control);
        SetWindowTextA(window, box.Caption().c_str());
        SendMessageA(window, BM_SETCHECK, box.Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    }
    case ckEdit: SetWindowTextW(window, Win32Unicode::Widen(static_cast<TEdit&>(control).Text()).c_str()); break;
    case ckProgressBar: {
        auto& bar = static_cast<TProgressBar&>(control);
        SendMessageA(window, PBM_SETRANGE32, static_cast<WPARAM>(bar.Min()), static_cast<LPARAM>(bar.Max()));
        SendMessageA(window, PBM_SETPOS, static_cast<WPARAM>(bar.Position()), 0);
        break;
    }
    case ckComboBox: {
        auto& combo = static_cast<TComboBox&>(control);
        std::vector<std::string> lines;
        for (int i = 0; i < combo.Count(); ++i) lines.push_back(combo.Item(i));
        UpdateLines(*impl, lines, CB_RESETCONTENT, CB_ADDSTRING);
        SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(combo.ItemIndex()), 0);
        break;
    }
    default: break;
    }
    SortByTabOrder(GetParent(window));
    ShowWindow(window, control.Visible() ? SW_SHOWNA : SW_HIDE);
}
}  // namespace ControlPlatform

bool DispatchControlMessage(const MSG& message)
{
    if (message.message == WM_COMMAND && message.lParam) {
        TControl* control = TControl::FindControl(LOWORD(message.wParam));
        if (!control) return false;
        const WORD code = HIWORD(message.wParam);
        if (auto* button = dynamic_cast<TButton*>(control); button && code == BN_CLICKED) {
            button->Click();
            return true;
        }
        // The box has already turned its mark over (BS_AUTOCHECKBOX), for a click or a space.
        if (auto* box = dynamic_cast<TCheckBox*>(control); box && code == BN_CLICKED) {
            box->UserClicked(SendMessageA(WindowOf(*box), BM_GETCHECK, 0, 0) == BST_CHECKED);
            return true;
        }
        if (auto* combo = dynamic_cast<TComboBox*>(control); combo && code == CBN_SELCHANGE) {
            combo->UserSelected(static_cast<int>(SendMessageA(WindowOf(*combo), CB_GETCURSEL, 0, 0)));
            return true;
        }
        return false;
    }
    if (message.message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(message.lParam);
        auto* pages = dynamic_cast<TPageControl*>(TControl::FindControl(static_cast<int>(header->idFrom)));
        if (!pages) return false;
        if (header->code == static_cast<UINT>(TCN_SELCHANGE)) {
            pages->TabPressed(TabCtrl_GetCurSel(header->hwndFrom));
            return true;
        }
        // Tabs drawn as buttons move only a focus mark under the arrow keys; the page follows
        // it, so the keyboard reaches every page.
        if (header->code == static_cast<UINT>(TCN_FOCUSCHANGE)) {
            const int focused = TabCtrl_GetCurFocus(header->hwndFrom);
            if (focused >= 0) pages->TabPressed(focused);
            return true;
        }
        return false;
    }
    return false;
}
