#pragma once
// Windows helper of the framework, private to its Windows half: what its files share.
// Implements: nothing of the contract; Win32Framework::KeepException (Win32Application.cpp),
//   DialogKeysWindow (Win32Forms.cpp)
// Leaves out: nothing
#include <windows.h>

// What the Windows halves of the framework share among themselves.
namespace Win32Framework {
// An exception cannot unwind through the system's frames between DispatchMessage (or
// PeekMessage, for sent messages) and a window procedure: the procedures keep it here, and
// the queue throws it again once the system has returned, so it reaches the loop.
void KeepException();

// The window of the form that holds controls and whose window, or one inside it, the handle
// names: the one whose keys the system's dialog-key handling takes. Null for any other
// window, a form without controls among them.
HWND DialogKeysWindow(HWND window);
}  // namespace Win32Framework
