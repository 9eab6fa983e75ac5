#pragma once
// Window handles and message records as portable headers name them, without the system's
// header. They are the very types framework/WinApi.h calls HWND and MSG on both systems (a
// pointer to struct HWND__, as with STRICT; struct tagMSG), so values pass between the two
// without casts. Code that reads a message's fields or names message numbers includes
// framework/WinApi.h.

struct HWND__;
struct tagMSG;

// A window, opaque to portable code; on Linux its value is an X11 window id.
using TWindowHandle = HWND__*;
// A message record; complete only where framework/WinApi.h is included.
using TMsg = tagMSG;
