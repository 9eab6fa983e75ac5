#pragma once
// What the Windows halves of the framework share among themselves.
namespace Win32Framework {
// An exception cannot unwind through the system's frames between DispatchMessage (or
// PeekMessage, for sent messages) and a window procedure: the procedures keep it here, and
// the queue throws it again once the system has returned, so it reaches the loop.
void KeepException();
}  // namespace Win32Framework
