#pragma once
// How a texture surface is shaped and filled: its side under the 3D device's power-of-two
// rule, the choice of a texture format among those the 3D device enumerates, and the copy of
// a TGA picture's own pixels into whatever format was chosen.
#include <vector>

#include "wdx/DirectXApi.h"
#include "wdx/ImageFiles.h"
#include "wdx/NewSurface.h"
#include "wdx/WDirectHeader.h"

// What a texture asks of a format: an 8-bit palette, alpha bits, and a depth in bits.
struct TTextureChoice {
    bool Palettized = false;
    bool Alpha = false;
    int Depth = 0;
};

// side, or with D3DPTEXTURECAPS_POW2 the smallest power of two not below it.
int TextureSide(int side, DWORD textureCaps);

// Whether one enumerated format serves the request. Luminance and bump formats never do, nor
// four-bit alpha (mask 0xF000); a palettized request takes exactly the 8-bit palette formats.
bool TextureFormatMatches(const DDPIXELFORMAT& format, bool palettized, bool alpha, int depth);

// The first matching format's position; failing that, the first for a 16-bit request without
// a palette (choice is changed to say so); -1 when neither search finds one.
int FindTextureFormat(const std::vector<DDPIXELFORMAT>& formats, TTextureChoice& choice);

// The request a picture makes under the flags and the 3D device's texture capabilities.
TTextureChoice ChooseTexture(const TSurfacePicture& picture, Td3dTextr flags, DWORD textureCaps,
                             IDirectDraw7* directDraw);

// Copies a TGA picture into target: each component keeps its top bits and moves to its
// mask's place, into a staging surface of target's format and the picture's size, which one
// blit then stretches over the whole target. False when the staging surface cannot be made
// or locked.
bool CopyRawToSurface(IDirectDraw7* directDraw, IDirectDrawSurface7* target, const TRawPicture& picture);
