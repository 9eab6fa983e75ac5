#pragma once
// Declarations of the software DirectX for Linux, in DirectX 7's own names and values.
// DirectDraw 7, DirectInput 7 and DirectSound are here; Direct3D and the X-file reader will
// get headers of their own beside these.
#include "SoftDxDDraw.h"
#include "SoftDxDDrawErrors.h"
#include "SoftDxDDrawFlags.h"
#include "SoftDxDDrawStructs.h"
#include "SoftDxDInput.h"
#include "SoftDxDSound.h"
#include "SoftDxTypes.h"
