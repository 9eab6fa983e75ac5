#pragma once
// Pixel formats as the tests write them, for the DirectX of the build (the software one's or
// the system's declarations, whichever the build names): every field the arguments do not
// set is zero.
#include <cstring>

#include VELLUMINE_DIRECTX_API

inline DDPIXELFORMAT MakeFormat(DWORD flags, DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a = 0, DWORD fourCC = 0)
{
    DDPIXELFORMAT f;
    std::memset(&f, 0, sizeof f);
    f.dwSize = sizeof f;
    f.dwFlags = flags;
    f.dwFourCC = fourCC;
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}

inline DDPIXELFORMAT RgbFormat(DWORD bits, DWORD r, DWORD g, DWORD b) { return MakeFormat(DDPF_RGB, bits, r, g, b); }

inline DDPIXELFORMAT AlphaFormat(DWORD bits, DWORD a, DWORD r, DWORD g, DWORD b)
{
    return MakeFormat(DDPF_RGB | DDPF_ALPHAPIXELS, bits, r, g, b, a);
}

// 8 bits, each an index into a palette.
inline DDPIXELFORMAT IndexedFormat() { return MakeFormat(DDPF_PALETTEINDEXED8 | DDPF_RGB, 8, 0, 0, 0); }

// A z-buffer of 16 or 32 bits, all of them depth.
inline DDPIXELFORMAT ZFormat(DWORD bits)
{
    DDPIXELFORMAT f = MakeFormat(DDPF_ZBUFFER, 0, 0, 0, 0);
    f.dwZBufferBitDepth = bits;
    f.dwZBitMask = bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    return f;
}
