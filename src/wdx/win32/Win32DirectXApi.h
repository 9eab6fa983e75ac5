#pragma once
// Windows half of the DirectX seam (wdx/DirectXApi.h names it through VELLUMINE_DIRECTX_API).
// Implements: the system's DirectX 7 declarations, as the MinGW-w64 headers give them
// Leaves out: nothing
#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0700
#endif
#ifndef DIRECTSOUND_VERSION
#define DIRECTSOUND_VERSION 0x0700
#endif
#ifndef DIRECT3D_VERSION
#define DIRECT3D_VERSION 0x0700
#endif
#include <windows.h>
// The sound declarations need the wave formats, which the lean Windows header leaves out.
#include <mmsystem.h>

#include <d3d.h>
#include <ddraw.h>
#include <dinput.h>
#include <dsound.h>
#include <dxfile.h>
