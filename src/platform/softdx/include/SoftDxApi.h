#pragma once
// Declarations of the software DirectX for Linux, in DirectX 7's own names and values.
// DirectDraw 7 and Direct3D 7 are here; DirectInput, DirectSound and the X-file reader will
// get headers of their own beside these.
#include "SoftDxD3D.h"
#include "SoftDxDDraw.h"
#include "SoftDxDDrawErrors.h"
#include "SoftDxDDrawFlags.h"
#include "SoftDxDDrawStructs.h"
#include "SoftDxTypes.h"
