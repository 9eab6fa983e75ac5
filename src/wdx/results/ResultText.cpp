// Picks the family's text by the number the device's error reports carry.
#include "wdx/results/ResultTexts.h"

std::string ResultText(int kind, int32_t code)
{
    switch (kind) {
    case rkDirectDraw: return DDErrorString(code);
    case rkDirectSound: return DSErrorString(code);
    case rkDirectInput: return DIErrorString(code);
    case rkDirect3D: return D3DErrorString(code);
    default: return "";  // rkNone and numbers outside the families carry no code text
    }
}
