#pragma once
// What the software DirectDraw's pieces share and nothing outside needs: injected faults,
// pixel formats, the display-mode list and the refresh clock.
#include <cstdint>
#include <optional>
#include <vector>

#include "SoftDxApi.h"
#include "SoftDxControl.h"

namespace softdx {

// DD_OK unless a test asked this method to fail.
HRESULT InjectedFault(const char* method);
// Puts the Direct3D device's texture caps and formats back to their defaults.
void ResetDirect3DControls();

// Every DirectX method starts with this, so each one's failure path can be driven.
#define SOFTDX_ENTER(method)                                                                         \
    do {                                                                                             \
        if (HRESULT injected_ = softdx::InjectedFault(method); injected_ != DD_OK) return injected_; \
    } while (0)

struct PixelFormat {
    uint32_t Bits = 32;
    uint32_t RedMask = 0x00FF0000;
    uint32_t GreenMask = 0x0000FF00;
    uint32_t BlueMask = 0x000000FF;
    uint32_t AlphaMask = 0;
    bool Indexed = false;  // 8-bit palette-indexed
    // What the masks mean: colour (red, green, blue, alpha), depth (red is the z mask),
    // luminance (red), or bump offsets (red du, green dv).
    enum Kinds : uint8_t { Rgb, Depth, Luminance, Bump };
    Kinds Kind = Rgb;

    uint32_t BytesPerPixel() const { return Bits / 8; }
    // The bits a pixel value carries; colour keys compare only these.
    uint32_t ValueMask() const { return Indexed ? 0xFFu : (RedMask | GreenMask | BlueMask | AlphaMask); }
    bool IsColour() const { return Kind == Rgb; }
    friend bool operator==(const PixelFormat&, const PixelFormat&) = default;
};

// The formats the display modes use: 8 (indexed), 16 (5-6-5) and 32 (X8R8G8B8) bits.
PixelFormat DisplayFormat(uint32_t bits);
// False for formats this DirectDraw cannot hold.
bool FormatFromDescription(const DDPIXELFORMAT& description, PixelFormat& format);
DDPIXELFORMAT DescribeFormat(const PixelFormat& format);
// The z-buffer formats (16 and 32 bits) and the texture formats Direct3D offers by default.
std::vector<DDPIXELFORMAT> ZBufferFormats();
std::vector<DDPIXELFORMAT> TextureFormats();
// Bytes in a row of width pixels: rows start on 4-byte boundaries.
uint64_t RowPitch(uint64_t width, uint32_t bits);

struct DisplayMode {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t Bits = 32;
    friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};
// Every mode offered, ordered by width, height, then bits.
std::vector<DisplayMode> DisplayModes(ISoftDxPresenter& presenter);
void DescribeMode(const DisplayMode& mode, DDSURFACEDESC2& description);

// The window and mode of the DirectDraw object that holds the exclusive level and has set a
// display mode, whose frames the presenter scales to the screen; nullopt while none has.
// Safe from any thread: DirectInput asks it for the mouse.
struct FullScreenMode {
    HWND Window = nullptr;
    DisplayMode Mode;
};
std::optional<FullScreenMode> EmulatedFullScreen();

constexpr DWORD RefreshRate = 60;
uint64_t Now();
void SleepUntil(uint64_t nanoseconds);

}  // namespace softdx
