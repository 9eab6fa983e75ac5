#pragma once
// What a platform writes for the framework. The platform half (framework/x11,
// framework/win32) defines every function, member and class below; a missing function or
// member fails the link of the program and of the tests (tests/framework/
// FrameworkPlatformTest.cpp takes every address in FrameworkPlatformEntries), a missing Impl
// fails the compilation of the platform's own members.
//
// The seam: the platform also gives the header that VELLUMINE_WINAPI names (framework/WinApi.h
// includes it): the Win32 basic types, MSG, and the WM_*, WA_*, MK_* and VK_* values with
// Win32's numbers. Windows takes <windows.h>; Linux declares the names the framework uses
// and makes its X11 events into those records, so the message handlers are written once.
#include <string>
#include <tuple>

#include "framework/Application.h"
#include "framework/Bitmap.h"
#include "framework/Canvas.h"
#include "framework/Controls.h"
#include "framework/DateTime.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/Registry.h"
#include "framework/Timer.h"
#include "framework/WindowTypes.h"

// Declared where their callers find them, and written by the platform:
//   framework/Application.h  namespace MessageQueue (all of it)
//   framework/Bitmap.h       namespace BitmapMemory (Allocate, Release)
//   framework/DateTime.h     LocalDateTimeText
//   framework/Dialogs.h      ShellOpen
//   framework/Forms.h        GetCursorPos, ShowCursor, ActiveWindow, ScreenAvailable,
//                            NoScreenReason
// Classes whose window half the platform writes, with their struct Impl:
//   TForm      constructor, destructor, Handle, HandleAllocated, FindForm, Show, Hide,
//              Visible, Release, SetBorderStyle, SetFormStyle, SetWindowState, SetEnabled,
//              Left, Top, Width, Height, SetBounds, SetClientSizeCentred, ClientRect,
//              ClientToScreen, Invalidate; it hands each message for a form's window to
//              TForm::Dispatch and tells the application of new and freed forms
//   TTimer     constructor, destructor, Update (private: SetEnabled and
//              SetInterval call it); a tick runs OnTimer from the timer's WM_TIMER
//   TRegistry  constructor, destructor, OpenKey, CloseKey, HasOpenKey, OpenFailure,
//              ReadValue, WriteValue, BeginUpdate, EndUpdate, DeleteValue, DeleteKey
//   TControl   its Impl, made and freed through ControlPlatform below; the user's actions
//              come back through the members Controls.h marks "from the platform"

// Drawing primitives, given the context and the canvas's tools. A TCanvasHandle is a GDI
// device context on Windows and a software DirectX device context on Linux.
namespace CanvasPlatform {
void FillRect(TCanvasHandle dc, const TRect& rect, TColor color);
void Line(TCanvasHandle dc, TPoint from, TPoint to, const TPen& pen);
void Text(TCanvasHandle dc, int x, int y, const std::string& text, const TFont& font, const TBrush& brush);
TPoint TextExtent(TCanvasHandle dc, const std::string& text, const TFont& font);
void SetPixel(TCanvasHandle dc, int x, int y, TColor color);
TColor GetPixel(TCanvasHandle dc, int x, int y);
}  // namespace CanvasPlatform

// The native half of the controls.
namespace ControlPlatform {
// Makes the native control; null when there is none (no screen, or drawn by its parent).
TControl::Impl* Create(TControl& control);
void Destroy(TControl& control);  // frees the native control and the Impl
void Update(TControl& control);   // shows the control's whole state
}  // namespace ControlPlatform

// For the forms' windows: hands a message that reports a control's event to the control.
// False when the message is not one of them.
bool DispatchControlMessage(const TMsg& message);

// The system's own message box, whatever handler stands in (the half of MessageBoxShow).
void SystemMessageBox(const std::string& text, const std::string& caption, TMsgIcon icon);
// The system's file-open box for one picture (the half of TOpenPictureDialog::Execute).
bool SystemOpenPicture(TOpenPictureDialog& dialog, TForm* owner);

// Every function and member named above, for the link check; a new one goes here too.
inline constexpr std::tuple FrameworkPlatformEntries{
    static_cast<bool (*)(TMsg&)>(&MessageQueue::Peek),
    static_cast<bool (*)(TMsg&, bool)>(&MessageQueue::Peek),
    &MessageQueue::Wait,
    &MessageQueue::Dispatch,
    &MessageQueue::PostQuit,
    &MessageQueue::Post,
    &MessageQueue::WakeFromSignal,
    &BitmapMemory::Allocate,
    &BitmapMemory::Release,
    &LocalDateTimeText,
    &ShellOpen,
    // Cast: on Windows the system's own GetCursorPos and ShowCursor overload them.
    static_cast<TPoint (*)()>(&GetCursorPos),
    static_cast<int (*)(bool)>(&ShowCursor),
    &ActiveWindow,
    &ScreenAvailable,
    &NoScreenReason,
    &TForm::Handle,
    &TForm::HandleAllocated,
    &TForm::FindForm,
    &TForm::Show,
    &TForm::Hide,
    &TForm::Visible,
    &TForm::Release,
    &TForm::SetBorderStyle,
    &TForm::SetFormStyle,
    &TForm::SetWindowState,
    &TForm::SetEnabled,
    &TForm::Left,
    &TForm::Top,
    &TForm::Width,
    &TForm::Height,
    &TForm::SetBounds,
    &TForm::SetClientSizeCentred,
    &TForm::ClientRect,
    &TForm::ClientToScreen,
    &TForm::Invalidate,
    &TRegistry::HasOpenKey,
    &TRegistry::OpenFailure,
    &TRegistry::BeginUpdate,
    &TRegistry::EndUpdate,
    &TRegistry::DeleteValue,
    &TRegistry::DeleteKey,
    &CanvasPlatform::FillRect,
    &CanvasPlatform::Line,
    &CanvasPlatform::Text,
    &CanvasPlatform::TextExtent,
    &CanvasPlatform::SetPixel,
    &CanvasPlatform::GetPixel,
    &ControlPlatform::Create,
    &ControlPlatform::Destroy,
    &ControlPlatform::Update,
    &DispatchControlMessage,
    &SystemMessageBox,
    &SystemOpenPicture,
};
