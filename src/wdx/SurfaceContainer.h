#pragma once
// The errors the DirectX layer raises, and one entry of the device's named surface list.
#include <string>

#include "core/Exception.h"
#include "wdx/ComPtr.h"
#include "wdx/DirectXApi.h"

class TWDirectDrawBasicSurface;

// The exception every failure of the DirectX layer raises; its message is the error text.
class EWDirectXError : public Exception {
public:
    using Exception::Exception;
};

// Raised when the log file cannot be created, opened or written.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

// One entry of the device's named surface list.
struct TSurfaceContainer {
    TSurfaceContainer() = default;
    TSurfaceContainer(const TSurfaceContainer&) = delete;
    TSurfaceContainer& operator=(const TSurfaceContainer&) = delete;
    ~TSurfaceContainer();  // frees Surface, releases AttachTo

    TWDirectDrawBasicSurface* Surface = nullptr;  // the entry's own
    std::string Name;
    bool Alpha = false;  // made with an alpha format (textures only)
    // Created, not fetched as an attached level. Either way the entry frees its basic surface
    // object (and with it its one reference); only an owned surface is stopped first.
    bool Owned = true;
    TComPtr<IDirectDrawSurface7> AttachTo;  // the parent of an attached level
    int Index = 0;
};
