// Linux helper of the X11 halves: the X error traps (X11ErrorTrap.h).
// Implements: nothing of the contract; the trap stack and the one handler installed while a trap exists
// Leaves out: the I/O error handler (a lost connection), which each user sets itself
#include "framework/x11/X11ErrorTrap.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <vector>

struct X11ErrorTrapDispatch {
    static std::vector<X11ErrorTrap*>& Traps()
    {
        // Never destroyed: a trap may outlive static destruction at the program's exit.
        static auto* traps = new std::vector<X11ErrorTrap*>;
        return *traps;
    }
    static inline XErrorHandler Previous = nullptr;

    static int Handle(Display* display, XErrorEvent* event)
    {
        // Newest first: a nested trap takes the errors of its own requests, an outer one
        // those made before the nested one was set.
        const auto& traps = Traps();
        for (auto it = traps.rbegin(); it != traps.rend(); ++it) {
            X11ErrorTrap* trap = *it;
            if (trap->FDisplay != display || event->serial < trap->FFirstSerial) continue;
            trap->FErrorCode = event->error_code;
            ++trap->FErrors;
            return 0;
        }
        return Previous ? Previous(display, event) : 0;
    }
};

X11ErrorTrap::X11ErrorTrap(Display* display) : FDisplay(display), FFirstSerial(NextRequest(display))
{
    auto& traps = X11ErrorTrapDispatch::Traps();
    // Installed again with each trap: a handler set since (FLTK opening its connection)
    // becomes the one that foreign errors go to.
    const XErrorHandler current = XSetErrorHandler(X11ErrorTrapDispatch::Handle);
    if (current != X11ErrorTrapDispatch::Handle) X11ErrorTrapDispatch::Previous = current;
    traps.push_back(this);
}

X11ErrorTrap::~X11ErrorTrap()
{
    // Answers still owed for this trap's requests are waited for; when every one is known
    // to be answered there is no round trip.
    if (LastKnownRequestProcessed(FDisplay) + 1 < NextRequest(FDisplay)) XSync(FDisplay, False);
    auto& traps = X11ErrorTrapDispatch::Traps();
    traps.erase(std::remove(traps.begin(), traps.end(), this), traps.end());
    if (traps.empty()) {
        XSetErrorHandler(X11ErrorTrapDispatch::Previous);
        X11ErrorTrapDispatch::Previous = nullptr;
    }
}

bool X11ErrorTrap::Failed()
{
    XSync(FDisplay, False);
    return FErrors != 0;
}
