#pragma once
// What a platform writes for the show: putting the show into a screen-saver host's window.
// Declared here (show/ShowHost.h includes this for its callers); the platform half (show/x11,
// show/win32) defines it, and a missing one fails the link of the program and of the tests
// (tests/show/ShowPlatformTest.cpp takes every address).
#include <iosfwd>
#include <tuple>

struct TShowHost;

// Makes the host's window the device's screen: its size is the desktop mode and the only
// monitor mode, and every frame goes into it. False, with the reason on err, when there is
// no such window. Only X11 hosts exist: on Windows it always refuses.
bool UseShowHostWindow(const TShowHost& host, std::ostream& err);

// Every name above, for the link check; a new one goes here too.
inline constexpr std::tuple ShowPlatformEntries{&UseShowHostWindow};
