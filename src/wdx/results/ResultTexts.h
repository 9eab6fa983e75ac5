#pragma once
// Readable texts for DirectX result codes, one function per DirectX family. Codes compare as
// unsigned 32-bit values and every code yields a text, success codes included. Kept free of
// the DirectX declarations so that both targets build the same tables.
#include <cstdint>
#include <string>

std::string DDErrorString(int32_t code);   // DirectDraw
std::string DSErrorString(int32_t code);   // DirectSound
std::string DIErrorString(int32_t code);   // DirectInput
std::string D3DErrorString(int32_t code);  // Direct3D

// The family numbers the device's error reports use to pick a text.
enum TResultKind : int {
    rkNone = 0,
    rkDirectDraw = 1,
    rkDirectSound = 2,
    rkDirectInput = 3,
    rkDirect3D = 4,
};

// The family's text for the code; empty for rkNone and for any number outside the families.
std::string ResultText(int kind, int32_t code);
