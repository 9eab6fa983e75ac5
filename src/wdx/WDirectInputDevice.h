#pragma once
// The input components a form may hold beside its device: the keyboard, the mouse and the
// joystick. Each opens its DirectInput device when the device starts, with the co-operation
// level of its flags and the standard data format, and acquires it; the device's stop
// releases it. ReadState fills the component's state buffer for programs that read input.
#include <cstddef>

#include "framework/Component.h"
#include "framework/Events.h"
#include "wdx/ComPtr.h"
#include "wdx/DirectXApi.h"
#include "wdx/WDirectHeader.h"
#include "wdx/WDirectXTypes.h"

class TWDirectInputDevice : public TComponent, public TObject, public TWDirectXComponent {
public:
    explicit TWDirectInputDevice(TComponent* owner);

    TdiCoopFlags diCoopFlags = diBACKGROUND;

    // The level SetCooperativeLevel is given: DISCL_EXCLUSIVE or DISCL_NONEXCLUSIVE, plus
    // DISCL_BACKGROUND or DISCL_FOREGROUND.
    DWORD CoopLevel() const;

    bool Started() const { return FStarted; }
    TWDirectX* Device() const { return FDevice; }
    IDirectInputDeviceA* InputDevice() const { return FInputDevice.Get(); }
    DWORD DataSize() const { return FDataSize; }

    // Base start: the first start remembers the device. Each kind's start goes on from here.
    void Start(TWDirectX* device) override;
    void Stop() override;  // releases the DirectInput device

    // Copies format, sets it on the device and records its data size. On a failed result the
    // component stops and reports through the device. Nothing without a device.
    void SetDataFormat(const DIDATAFORMAT& format);
    void Acquire();

    // Polls the device and reads its state into the state buffer (acquiring it again once
    // when its input was lost). DI_OK or the failing result; the buffer is left as it was
    // on a failure, and DIERR_NOTINITIALIZED without a device.
    HRESULT ReadState();

protected:
    // The state buffer and its size in bytes.
    virtual void* StateBuffer(size_t& size) = 0;
    // The device's report of a failed call: it logs, stops the device unless ExceptionIgnore
    // and raises. Never returns.
    [[noreturn]] void Report(const char* operation, HRESULT result);
    // Creates the DirectInput device of that GUID; the result of CreateDevice.
    HRESULT Create(REFGUID guid);
    // The window of the form that owns this component.
    HWND OwnerWindow() const;
    // The window of the form that owns the device.
    HWND DeviceWindow() const;

private:
    TWDirectX* FDevice = nullptr;  // not owned
    bool FStarted = false;
    TComPtr<IDirectInputDeviceA> FInputDevice;
    DWORD FDataSize = 0;
};

class TWDirectInputKeyboard : public TWDirectInputDevice {
public:
    using TWDirectInputDevice::TWDirectInputDevice;
    TWDirectXComponentKind DirectXKind() const override { return dxkKeyboard; }
    void Start(TWDirectX* device) override;
    BYTE State[256] = {};  // 0x80 while the key of that number is held

protected:
    void* StateBuffer(size_t& size) override;
};

class TWDirectInputMouse : public TWDirectInputDevice {
public:
    using TWDirectInputDevice::TWDirectInputDevice;
    TWDirectXComponentKind DirectXKind() const override { return dxkMouse; }
    void Start(TWDirectX* device) override;
    bool Relative = false;  // the axes report motion since the last read, not the position
    DIMOUSESTATE State = {};

protected:
    void* StateBuffer(size_t& size) override;
};

class TWDirectInputJoystick : public TWDirectInputDevice {
public:
    using TWDirectInputDevice::TWDirectInputDevice;
    TWDirectXComponentKind DirectXKind() const override { return dxkJoystick; }
    void Start(TWDirectX* device) override;
    DIJOYSTATE State = {};

protected:
    void* StateBuffer(size_t& size) override;
};
