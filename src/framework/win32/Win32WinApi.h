#pragma once
// Windows half of the framework's seam (framework/WinApi.h names it through VELLUMINE_WINAPI).
// Implements: the Win32 names, as the system's own <windows.h>
// Leaves out: nothing
#include <windows.h>
