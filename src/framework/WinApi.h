#pragma once
// The second seam (beside wdx/DirectXApi.h) through which Win32 names enter portable code:
// message records and numbers, virtual-key codes, window handles. On Windows these are the
// system's own declarations; on Linux the framework declares the same names and values,
// and turns X11 events into these records.
#include VELLUMINE_WINAPI
