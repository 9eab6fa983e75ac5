#pragma once
// Locking a whole surface for its pixels, as every copy into or out of a surface does.
#include "wdx/DirectXApi.h"

// Locks all of the surface into desc (cleared first), waiting while it is still drawing. A
// lock that succeeds without giving pixels counts as DDERR_GENERIC, so DD_OK always comes
// with desc.lpSurface set.
HRESULT LockWhole(IDirectDrawSurface7* surface, DDSURFACEDESC2& desc, DWORD flags = 0);
