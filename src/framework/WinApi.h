#pragma once
// The second seam (beside wdx/DirectXApi.h) through which Win32 names enter portable code:
// message records and numbers, virtual-key codes, window handles. On Windows these are the
// system's own declarations; on Linux the framework declares the same names and values,
// and turns X11 events into these records. Portable headers do not include it: they name
// windows and messages through framework/WindowTypes.h.
#include VELLUMINE_WINAPI

#include <type_traits>

#include "framework/WindowTypes.h"

static_assert(std::is_same_v<TWindowHandle, HWND>, "window handles must be the system's HWND");
static_assert(std::is_same_v<TMsg, MSG>, "message records must be the system's MSG");
