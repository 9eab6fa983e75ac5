#pragma once
// Declarations of the software DirectX for Linux, in DirectX 7's own names and values.
// DirectDraw 7, Direct3D 7, DirectInput 7, DirectSound and the X-file reader.
#include "SoftDxD3D.h"
#include "SoftDxDDraw.h"
#include "SoftDxDDrawErrors.h"
#include "SoftDxDDrawFlags.h"
#include "SoftDxDDrawStructs.h"
#include "SoftDxDInput.h"
#include "SoftDxDSound.h"
#include "SoftDxTypes.h"
#include "SoftDxXFile.h"
