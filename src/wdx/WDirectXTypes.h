#pragma once
// What the device shares with the code around it: its event types, the records of its
// Direct3D lists, the item list of a combo box it fills, and the interface of the
// components it starts and stops.
#include <cstdint>
#include <string>

#include "core/Exception.h"
#include "framework/Events.h"
#include "wdx/StoreBox.h"
#include "wdx/WDirectHeader.h"

class TWDirectX;

// One Direct3D device. Like TDriverInfo it keeps its own copy of the GUID.
struct Td3dDeviceInfo {
    GUID Guid{};
    std::string Description;
    std::string Name;
    D3DDEVICEDESC7 Desc{};    // the device's description as enumerated
    bool IsHardware = false;  // D3DDEVCAPS_HWRASTERIZATION
    const GUID* GuidPtr() const { return &Guid; }
};

// One z-buffer format.
using TDDPixelFormat_DX6 = DDPIXELFORMAT;

using TSomeEvent = TNotifyEvent;
using TAcceptVideoModeEvent = TEvent<TObject*, const TVideoModeInfo&, bool&>;
using TAcceptDriverEvent = TEvent<TObject*, const TDriverInfo&, bool&>;
using TAcceptD3DDeviceEvent = TEvent<TObject*, const Td3dDeviceInfo&, bool&>;
using TAcceptZBufferEvent = TEvent<TObject*, const TDDPixelFormat_DX6&>;

// How far the device's start got: the stage a step sets before it runs, so a failed start
// stops at its step, and StopAll undoes exactly the steps that were passed. The numbers are
// the device's published state and never move.
enum class TStartStage : uint8_t {
    Stopped = 0,
    Starting = 1,  // the focus changes StartAll itself causes are ignored
    DirectDrawObject = 2,
    CooperativeLevel = 3,
    DisplayMode = 4,
    PrimarySurface = 5,
    BackSurface1 = 6,
    BackSurface2 = 7,
    BackSurface3 = 8,
    Direct3DObject = 9,
    RenderSurface = 11,  // Direct3D's off-screen surface in a window
    ZBufferFormat = 12,
    ZBufferAttached = 13,
    Direct3DDevice = 14,
    Viewport = 17,
    DirectSoundObject = 19,
    DirectInputObject = 20,
    OtherComponents = 21,
    Started = 22,
};

// Raised when a list is read outside its entries.
class EListError : public Exception {
public:
    using Exception::Exception;
};

// The lines of a combo box, as the device fills and reads them. Setting the item index from
// code does not call the change event, as with the platform's own combo boxes.
class IComboBoxItems {
public:
    virtual ~IComboBoxItems() = default;
    virtual void ClearItems() = 0;
    virtual void AddItem(const std::string& text) = 0;
    virtual int ItemCount() const = 0;
    virtual std::string Item(int index) const = 0;
    virtual int ItemIndex() const = 0;
    virtual void SetItemIndex(int index) = 0;
    // Called when the user picks another line.
    virtual void SetOnChange(TNotifyEvent event) = 0;
};

// The kinds of components a device starts, in the order it tests them.
enum TWDirectXComponentKind : uint8_t {
    dxkSoundBuffer,
    dxkTexture,
    dxkXFile,
    dxkMesh,
    dxkSurface,
    dxkFlexibleSurface,
    dxkPalette,
    dxkClipper,
    dxkMouse,
    dxkKeyboard,
    dxkJoystick,
    dxkLight,  // started by a second walk, after all the others
};

// A component of the layer that the device of its form starts and stops. The device finds
// these by walking its owner's components; they do not register themselves.
class TWDirectXComponent {
public:
    virtual ~TWDirectXComponent() = default;
    virtual TWDirectXComponentKind DirectXKind() const = 0;
    // Surfaces start with the device only when their own AutoStart says so.
    virtual bool StartsWithDevice() const { return true; }
    virtual void Start(TWDirectX* device) = 0;
    virtual void Stop() = 0;
};
