#pragma once
// What the Linux halves of the framework share among themselves.
typedef struct _XDisplay Display;
class Fl_Group;
class TForm;

namespace X11Framework {
// The X connection the forms, message boxes and cursor share, opened on first need; null
// when no display can be opened, and then the framework runs without windows.
Display* OpenDisplay();
// The form's window, made (not shown) when needed, for its controls; null with no display.
Fl_Group* FormGroup(TForm& form);
}  // namespace X11Framework
