#pragma once
// The system's own Win32 declarations.
#include <windows.h>
