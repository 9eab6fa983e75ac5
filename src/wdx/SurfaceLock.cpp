#include "wdx/SurfaceLock.h"

#include <cstring>

HRESULT LockWhole(IDirectDrawSurface7* surface, DDSURFACEDESC2& desc, DWORD flags)
{
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    HRESULT result;
    while ((result = surface->Lock(nullptr, &desc, flags, nullptr)) == DDERR_WASSTILLDRAWING) {
    }
    return result == DD_OK && !desc.lpSurface ? DDERR_GENERIC : result;
}
