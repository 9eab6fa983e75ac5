#pragma once
// The one seam between the DirectX component layer and the DirectX it runs on: the system's
// own declarations on Windows, the software DirectX's on Linux. Both declare the same
// interface, structure and constant names, so the layer compiles unchanged against either.
#include VELLUMINE_DIRECTX_API
