#pragma once
// Linux helper of the framework, private to its X11 half: what its files share.
// Implements: nothing of the contract; X11Framework::OpenDisplay (X11Application.cpp), FormGroup
//   (X11Forms.cpp)
// Leaves out: nothing
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
