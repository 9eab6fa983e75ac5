#pragma once
// Test controls of the software Direct3D: what its one device says about textures. Tests
// change them to drive a program's texture sizing and format search through every rule;
// SoftDxClearFaults puts both back, as it clears the injected failures.
//
// Failures are injected by method name as for DirectDraw (SoftDxFailNext): "EnumDevices",
// "CreateDevice", "EnumZBufferFormats", "SetViewport", "SetRenderState", ... Two names
// reach one kind of surface only, so a test can fail the z-buffer while the render target
// is made: "CreateSurface(ZBUFFER)" and "CreateSurface(TEXTURE)", consulted after
// "CreateSurface". The device's GetCaps answers to "IDirect3DDevice7::GetCaps", apart from
// DirectDraw's and the surfaces' "GetCaps".
#include <vector>

#include "SoftDxApi.h"

// The device's dpcTriCaps.dwTextureCaps (and its line caps'), e.g. with
// D3DPTEXTURECAPS_POW2, D3DPTEXTURECAPS_SQUAREONLY or D3DPTEXTURECAPS_ALPHAPALETTE.
void SoftDxSetTextureCaps(DWORD caps);
DWORD SoftDxDefaultTextureCaps();

// The formats EnumTextureFormats offers, in order. By default: 5-6-5, X1-5-5-5, 1-5-5-5,
// 4-4-4-4, X8-8-8-8, 8-8-8-8, 8-bit palette, 8-bit luminance, 8-8 bump (du, dv). The device
// can make and sample textures of each of these, whatever list is set.
void SoftDxSetTextureFormats(std::vector<DDPIXELFORMAT> formats);
std::vector<DDPIXELFORMAT> SoftDxDefaultTextureFormats();
