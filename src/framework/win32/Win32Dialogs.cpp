// Windows half of message boxes, the picture box and opening a document.
// Implements: FrameworkPlatform.h's SystemMessageBox, SystemOpenPicture (with Win32OpenPicture.h's
//   preview), ShellOpen
// Leaves out: buttons other than OK; moving the preview when the box is made taller
// MessageBoxW, owned by the active window, with every line break made the "\r\n" the box
// expects; the common file-open box, with a preview of the selected picture beside its list (a
// child dialog built in memory, so no resource file); the shell's "open" verb. All through the
// wide calls, so a path of any name and length (UTF-8 inside the program) is shown and chosen
// as it is.
#include <windows.h>
// After windows.h, whose declarations they use.
#include <commdlg.h>
#include <dlgs.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/Exception.h"
#include "core/win32/Win32Unicode.h"
#include "framework/Bitmap.h"
#include "framework/Forms.h"
#include "framework/FrameworkPlatform.h"
#include "framework/win32/Win32OpenPicture.h"

using Win32Unicode::Narrow;
using Win32Unicode::Widen;

void SystemMessageBox(const std::string& text, const std::string& caption, TMsgIcon icon)
{
    UINT flags = MB_OK | MB_TASKMODAL;
    switch (icon) {
    case miNone: break;
    case miError: flags |= MB_ICONERROR; break;
    case miWarning: flags |= MB_ICONWARNING; break;
    case miInformation: flags |= MB_ICONINFORMATION; break;
    case miQuestion: flags |= MB_ICONQUESTION; break;
    }
    std::string lines;
    for (char c : UnifyLineBreaks(text)) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    MessageBoxW(GetActiveWindow(), Widen(lines).c_str(), Widen(caption).c_str(), flags);
}

namespace {
// Room for the longest path the system handles, in characters.
constexpr DWORD PathCapacity = 32768;

// The preview's size in dialog units, about the file list's height.
constexpr short PreviewWidth = 130, PreviewHeight = 118;

// What the hook keeps for one box: the dialog that asked, and the selected picture already
// shrunk to the preview, so painting never decodes.
struct TPreviewState {
    TOpenPictureDialog* Dialog = nullptr;
    HBITMAP Picture = nullptr;
    int Width = 0, Height = 0;

    void Clear()
    {
        if (Picture) DeleteObject(Picture);
        Picture = nullptr;
        Width = Height = 0;
    }
};

TPreviewState* StateOf(HWND dialog) { return reinterpret_cast<TPreviewState*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

TRect PreviewArea(HWND preview)
{
    RECT client;
    GetClientRect(preview, &client);
    // A margin inside the sunken edge.
    return Rect(client.left + 4, client.top + 4, client.right - 4, client.bottom - 4);
}

// Decodes the selected file and keeps it at the size it is drawn; nothing for a file that
// is no picture (a folder, another kind of file, a damaged JPEG).
void SelectionChanged(HWND dialog)
{
    TPreviewState* state = StateOf(dialog);
    HWND preview = GetDlgItem(dialog, Win32OpenPicture::PreviewId);
    if (!state || !preview) return;
    state->Clear();
    InvalidateRect(preview, nullptr, TRUE);
    std::wstring path(PathCapacity, L'\0');
    const LRESULT length =
        SendMessageW(GetParent(dialog), CDM_GETFILEPATH, path.size(), reinterpret_cast<LPARAM>(path.data()));
    if (length <= 0 || static_cast<size_t>(length) > path.size() || !state->Dialog->LoadPreview) return;
    path.resize(wcsnlen(path.c_str(), path.size()));
    TBitmap picture;
    if (!state->Dialog->LoadPreview(Narrow(path), picture) || picture.Empty()) return;
    const TRect place = PreviewPlace(picture.Width(), picture.Height(), PreviewArea(preview));
    if (place.IsEmpty()) return;

    // The bitmap's rows lie evenly in memory, top down or bottom up: the system reads them in place.
    BITMAPINFO source{};
    source.bmiHeader.biSize = sizeof source.bmiHeader;
    source.bmiHeader.biWidth = picture.Width();
    source.bmiHeader.biHeight = picture.BottomUp() ? picture.Height() : -picture.Height();
    source.bmiHeader.biPlanes = 1;
    source.bmiHeader.biBitCount = 24;
    source.bmiHeader.biCompression = BI_RGB;
    const void* bits = picture.BottomUp() ? picture.ScanLine(picture.Height() - 1) : picture.ScanLine(0);

    BITMAPINFO target = source;
    target.bmiHeader.biWidth = place.Width();
    target.bmiHeader.biHeight = -place.Height();
    void* targetBits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP shrunk = CreateDIBSection(screen, &target, DIB_RGB_COLORS, &targetBits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (!shrunk || !memory) {
        if (shrunk) DeleteObject(shrunk);
        if (memory) DeleteDC(memory);
        return;
    }
    HGDIOBJ old = SelectObject(memory, shrunk);
    // Averaging rather than dropping pixels: a photograph shrunk tenfold stays a photograph.
    SetStretchBltMode(memory, HALFTONE);
    SetBrushOrgEx(memory, 0, 0, nullptr);
    StretchDIBits(memory, 0, 0, place.Width(), place.Height(), 0, 0, picture.Width(), picture.Height(), bits, &source,
                  DIB_RGB_COLORS, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    state->Picture = shrunk;
    state->Width = place.Width();
    state->Height = place.Height();
}

void DrawPreview(const DRAWITEMSTRUCT& item, const TPreviewState& state)
{
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (!state.Picture) return;
    const TRect place = PreviewPlace(state.Width, state.Height, PreviewArea(item.hwndItem));
    HDC memory = CreateCompatibleDC(item.hDC);
    HGDIOBJ old = SelectObject(memory, state.Picture);
    BitBlt(item.hDC, place.Left, place.Top, place.Width(), place.Height(), memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

// Stands the preview beside the file list, as tall as the list, once the box has laid out
// its own controls.
void PlacePreview(HWND dialog)
{
    HWND preview = GetDlgItem(dialog, Win32OpenPicture::PreviewId);
    HWND list = GetDlgItem(GetParent(dialog), lst1);
    if (!preview || !list) return;
    RECT listRect, previewRect;
    GetWindowRect(list, &listRect);
    GetWindowRect(preview, &previewRect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&listRect), 2);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&previewRect), 2);
    if (listRect.bottom <= listRect.top) return;
    SetWindowPos(preview, nullptr, previewRect.left, listRect.top, previewRect.right - previewRect.left,
                 listRect.bottom - listRect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}
}  // namespace

namespace Win32OpenPicture {
std::vector<WORD> PreviewTemplate()
{
    std::vector<WORD> words;
    const auto dword = [&](DWORD value) {
        words.push_back(LOWORD(value));
        words.push_back(HIWORD(value));
    };
    const auto text = [&](const wchar_t* value) {
        for (; *value; ++value) words.push_back(static_cast<WORD>(*value));
        words.push_back(0);
    };
    // Each item starts on a DWORD boundary.
    const auto item = [&](DWORD style, DWORD exStyle, short x, short y, short cx, short cy, WORD id) {
        if (words.size() % 2) words.push_back(0);
        dword(style);
        dword(exStyle);
        for (short value : {x, y, cx, cy}) words.push_back(static_cast<WORD>(value));
        words.push_back(id);
        words.push_back(0xFFFF);  // a class by its atom:
        words.push_back(0x0082);  // static
        words.push_back(0);       // no text
        words.push_back(0);       // no creation data
    };
    // A control child of the box with the box's font; the box grows it to hold its own
    // controls where stc32 stands, and moves what lies right of stc32 to the right of them.
    dword(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK | DS_CONTROL | DS_SETFONT);
    dword(0);
    words.push_back(2);  // items
    for (int value : {0, 0, PreviewWidth + 12, PreviewHeight + 8}) words.push_back(static_cast<WORD>(value));
    words.push_back(0);  // no menu
    words.push_back(0);  // the dialog class
    words.push_back(0);  // no title
    words.push_back(8);  // points
    text(L"MS Shell Dlg");
    // As tall as the preview: the box grows by what lies beyond stc32, which should be
    // width only.
    item(WS_CHILD, 0, 0, 0, 4, PreviewHeight + 8, stc32);
    item(WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, WS_EX_CLIENTEDGE, 8, 4, PreviewWidth, PreviewHeight,
         static_cast<WORD>(PreviewId));
    return words;
}

UINT_PTR CALLBACK PreviewHook(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        auto* state = new TPreviewState;
        state->Dialog = reinterpret_cast<TOpenPictureDialog*>(reinterpret_cast<OPENFILENAMEW*>(lParam)->lCustData);
        SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
        return TRUE;
    }
    case WM_DESTROY:
        if (TPreviewState* state = StateOf(dialog)) {
            state->Clear();
            delete state;
            SetWindowLongPtrA(dialog, DWLP_USER, 0);
        }
        return FALSE;
    case WM_NOTIFY:
        switch (reinterpret_cast<const NMHDR*>(lParam)->code) {
        case CDN_INITDONE: PlacePreview(dialog); break;
        case CDN_SELCHANGE: SelectionChanged(dialog); break;
        default: break;
        }
        return FALSE;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const TPreviewState* state = StateOf(dialog);
        if (!state || item->CtlID != static_cast<UINT>(PreviewId)) return FALSE;
        DrawPreview(*item, *state);
        return TRUE;
    }
    default: return FALSE;
    }
}
}  // namespace Win32OpenPicture

bool SystemOpenPicture(TOpenPictureDialog& dialog, TForm* owner)
{
    // The filter's bars become the zero characters the box expects, with two at the end.
    std::wstring filter = Widen(dialog.Filter);
    for (wchar_t& c : filter)
        if (c == L'|') c = L'\0';
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    std::wstring file(PathCapacity, L'\0');
    const std::wstring initialDir = Widen(dialog.InitialDir);
    const std::wstring title = Widen(dialog.Title);
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = owner ? owner->Handle() : nullptr;
    open.lpstrFilter = filter.data();
    open.nFilterIndex = static_cast<DWORD>(dialog.FilterIndex);
    open.lpstrFile = file.data();
    open.nMaxFile = static_cast<DWORD>(file.size());
    open.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    open.lpstrTitle = title.empty() ? nullptr : title.c_str();
    open.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ENABLESIZING;
    HGLOBAL preview = nullptr;
    if (dialog.LoadPreview) {
        // The template from fixed memory, whose handle is its address, as the box reads it.
        const std::vector<WORD> words = Win32OpenPicture::PreviewTemplate();
        preview = GlobalAlloc(GMEM_FIXED, words.size() * sizeof(WORD));
        if (preview) {
            std::memcpy(preview, words.data(), words.size() * sizeof(WORD));
            open.hInstance = static_cast<HINSTANCE>(preview);
            open.lpfnHook = Win32OpenPicture::PreviewHook;
            open.lCustData = reinterpret_cast<LPARAM>(&dialog);
            open.Flags |= OFN_ENABLEHOOK | OFN_ENABLETEMPLATEHANDLE;
        }
    }
    const BOOL chosen = GetOpenFileNameW(&open);
    if (preview) GlobalFree(preview);
    if (!chosen) return false;
    dialog.FileName = Narrow(file.c_str());
    dialog.FilterIndex = static_cast<int>(open.nFilterIndex);
    return true;
}

void ShellOpen(const std::string& address)
{
    const auto result = reinterpret_cast<intptr_t>(
        ShellExecuteW(nullptr, L"open", Widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return;
    // The shell's small results are the system's error numbers; their text is the system's.
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = text ? Narrow(text) : "System error " + std::to_string(result);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    throw Exception(message);
}
