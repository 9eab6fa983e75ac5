#pragma once
// A device context of the software DirectX: a view of one surface's pixels, handed out by
// GetDC and taken back by ReleaseDC. The framework's canvas draws text and shapes into it.
#include <cstdint>

struct SoftDxDeviceContext {
    void* Bits = nullptr;   // top-left pixel
    long Pitch = 0;         // bytes from one row to the next
    uint32_t Width = 0;     // pixels
    uint32_t Height = 0;    // rows
    uint32_t BitCount = 0;  // 8, 16, 24 or 32
    uint32_t RedMask = 0;   // the surface's pixel format; all zero for palette-indexed
    uint32_t GreenMask = 0;
    uint32_t BlueMask = 0;
    const uint8_t* Palette = nullptr;  // 256 entries of red, green, blue, flags (8-bit surfaces)
};
