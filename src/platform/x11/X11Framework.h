#pragma once
// What the Linux halves of the framework share among themselves.
typedef struct _XDisplay Display;

namespace X11Framework {
// The X connection the forms, message boxes and cursor share, opened on first need; null
// when no display can be opened, and then the framework runs without windows.
Display* OpenDisplay();
}  // namespace X11Framework
