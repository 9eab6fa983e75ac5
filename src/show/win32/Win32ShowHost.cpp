// Windows half of the show's screen-saver host forms: they belong to X11 hosts.
// Implements: ShowPlatform.h's UseShowHostWindow, which always refuses
// Leaves out: any host window (Windows hosts start the program with /s and /p instead)
#include <ostream>

#include "show/ShowHost.h"

bool UseShowHostWindow(const TShowHost&, std::ostream& err)
{
    err << "vellumine: -root and -window-id are for X11 screen-saver hosts; on Windows use /s or /p\n";
    return false;
}
