#pragma once
// The Linux screen-saver hosts' forms of the show: "-root" / "--root" draws into the window
// the host names in XSCREENSAVER_WINDOW (else the root window), "-window-id ID" /
// "--window-id ID" into window ID. None can be mistaken for a switch of the program's own.
#include <iosfwd>
#include <optional>
#include <string>

#include "show/ShowPlatform.h"

struct TShowHost {
    bool Root = false;         // the host's saver window or the root window
    unsigned long Window = 0;  // the window named on the command line when not Root
};

// A window id in decimal or in 0x hexadecimal; nothing for any other text or for zero.
std::optional<unsigned long> ParseWindowId(const std::string& text);

// The host form the (not upper-cased) arguments give, or nothing when they give none. A
// host form with a missing or bad id is reported on err and sets bad.
std::optional<TShowHost> ShowHostOf(const std::string& first, const std::string& second, std::ostream& err, bool& bad);

// Putting the show into the host's window, UseShowHostWindow, is the platform's:
// show/ShowPlatform.h.
