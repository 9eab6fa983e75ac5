// Windows side of the screen-saver host forms: they belong to X11 hosts. Windows hosts
// start the program with /s and /p instead.
// Implements: UseShowHostWindow, which always refuses.
#include <ostream>

#include "show/ShowHost.h"

bool UseShowHostWindow(const TShowHost&, std::ostream& err)
{
    err << "vellumine: -root and -window-id are for X11 screen-saver hosts; on Windows use /s or /p\n";
    return false;
}
