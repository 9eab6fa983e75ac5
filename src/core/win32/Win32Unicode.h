#pragma once
// Windows helper of the core, private to the Windows side: text at the edge of the system.
// Implements: nothing of the contract; Widen, Narrow, ExtendedPath, LongPath for the Windows halves
// Leaves out: nothing
// Inside the program a path is UTF-8, as on Linux; the system's wide (UTF-16) calls take and
// give it converted here, which reaches every name a folder can hold and paths of any length.
// Fixed texts may stay narrow and go to the ANSI calls.
#include <string>
#include <string_view>

namespace Win32Unicode {
// UTF-8 as UTF-16. A text that is not valid UTF-8 came from the system's ANSI side (the
// environment, a Windows-1252 message text) and is read in the ANSI code page instead.
std::wstring Widen(std::string_view text);

// UTF-16 as UTF-8; a lone surrogate, which no UTF-8 can hold, becomes U+FFFD.
std::string Narrow(std::wstring_view text);

// An absolute path as the wide file calls take it at any length: "\\?\C:\..." for a drive,
// "\\?\UNC\server\share\..." for a network path, with "/" as "\" and repeated separators as
// one (the prefix turns off the system's own clean-up). A path already in that form, and a
// device path ("\\.\..."), stay as they are; a relative one is returned unchanged.
std::wstring ExtendedPath(std::wstring_view absolute);

// The path made absolute against the current folder, then extended; empty for an empty path.
std::wstring LongPath(std::string_view path);
}  // namespace Win32Unicode
