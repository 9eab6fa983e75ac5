// The keyboard, mouse and joystick components: start, stop, their failures and the state
// read for programs that use them.
#include "wdx/WDirectInputDevice.h"

#include "framework/Forms.h"
#include "wdx/WDirectX.h"

TWDirectInputDevice::TWDirectInputDevice(TComponent* owner) : TComponent(owner) {}

DWORD TWDirectInputDevice::CoopLevel() const
{
    return (diCoopFlags.Contains(diEXCLUSIVE) ? DISCL_EXCLUSIVE : DISCL_NONEXCLUSIVE) |
           (diCoopFlags.Contains(diBACKGROUND) ? DISCL_BACKGROUND : DISCL_FOREGROUND);
}

void TWDirectInputDevice::Start(TWDirectX* device)
{
    if (FStarted) return;
    FDevice = device;
    FStarted = true;
}

void TWDirectInputDevice::Stop()
{
    FInputDevice.Reset();
    FStarted = false;
}

void TWDirectInputDevice::Report(const char* operation, HRESULT result)
{
    FDevice->RaiseError(rkDirectInput, operation, result);
}

HRESULT TWDirectInputDevice::Create(REFGUID guid)
{
    // A device started outside StartAll may have no DirectInput object: that is a failed
    // creation like any other.
    IDirectInput7A* directInput = FDevice ? FDevice->DirectInput() : nullptr;
    if (!directInput) {
        FInputDevice.Reset();
        return DIERR_NOTINITIALIZED;
    }
    return directInput->CreateDevice(guid, FInputDevice.Put(), nullptr);
}

HWND TWDirectInputDevice::OwnerWindow() const
{
    auto* form = dynamic_cast<TForm*>(Owner());
    return form ? form->Handle() : nullptr;
}

HWND TWDirectInputDevice::DeviceWindow() const
{
    TForm* form = FDevice ? FDevice->OwnerForm() : nullptr;
    return form ? form->Handle() : nullptr;
}

void TWDirectInputDevice::SetDataFormat(const DIDATAFORMAT& format)
{
    if (!FInputDevice) return;
    DIDATAFORMAT copy = format;
    const HRESULT result = FInputDevice->SetDataFormat(&copy);
    FDataSize = copy.dwDataSize;
    if (result != DI_OK) {
        Stop();
        Report("TWDirectInputDevice.SetDataFormat", result);
    }
}

void TWDirectInputDevice::Acquire()
{
    if (!FInputDevice) return;
    const HRESULT result = FInputDevice->Acquire();
    if (result != DI_OK) {
        Stop();
        Report("TWDirectInputDevice.Acquire", result);
    }
}

HRESULT TWDirectInputDevice::ReadState()
{
    if (!FInputDevice) return DIERR_NOTINITIALIZED;
    size_t size = 0;
    void* buffer = StateBuffer(size);
    if (size != FDataSize) return DIERR_INVALIDPARAM;
    HRESULT result = DI_OK;
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Only a polled device needs it; the others answer that it had no effect.
        IDirectInputDevice2A* polled = nullptr;
        if (FInputDevice->QueryInterface(IID_IDirectInputDevice2A, reinterpret_cast<void**>(&polled)) == DI_OK) {
            polled->Poll();
            polled->Release();
        }
        result = FInputDevice->GetDeviceState(FDataSize, buffer);
        if (result != DIERR_INPUTLOST && result != DIERR_NOTACQUIRED) break;
        // The focus went elsewhere for a while: take the device back and read again.
        if (FInputDevice->Acquire() != DI_OK) break;
    }
    return result;
}

void TWDirectInputKeyboard::Start(TWDirectX* device)
{
    if (!device) return;
    TWDirectInputDevice::Start(device);
    if (Device()->LogType == dxlogAll) Device()->WriteLog("TWDirectInputKeyboard.Start");
    HRESULT result = Create(GUID_SysKeyboard);
    // Nothing was made, so there is nothing to stop.
    if (result != DI_OK) Report("TWDirectInputKeyboard.Start", result);
    SetDataFormat(c_dfDIKeyboard);
    result = InputDevice()->SetCooperativeLevel(DeviceWindow(), CoopLevel());
    if (result != DI_OK) {
        Stop();
        Report("TWDirectInputKeyboard.Start", result);
    }
    Acquire();
}

void TWDirectInputMouse::Start(TWDirectX* device)
{
    if (!device) return;
    TWDirectInputDevice::Start(device);
    if (Device()->LogType == dxlogAll) Device()->WriteLog("TWDirectInputMouse.Start");
    HRESULT result = Create(GUID_SysMouse);
    if (result != DI_OK) {
        Stop();
        Report("TWDirectInputMouse.Start", result);
    }
    result = InputDevice()->SetCooperativeLevel(OwnerWindow(), CoopLevel());
    if (result != DI_OK) {
        Stop();
        Report("TWDirectInputMouse.Start", result);
    }
    DIDATAFORMAT format = c_dfDIMouse;
    format.dwFlags = Relative ? DIDF_RELAXIS : DIDF_ABSAXIS;
    SetDataFormat(format);
    Acquire();
}

void TWDirectInputJoystick::Start(TWDirectX* device)
{
    if (!device) return;
    TWDirectInputDevice::Start(device);
    if (Device()->LogType == dxlogAll) Device()->WriteLog("TWDirectInputJoystick.Start");
    // A machine without a joystick starts the rest of the form as usual.
    if (Create(GUID_Joystick) != DI_OK) {
        Stop();
        return;
    }
    const HRESULT result = InputDevice()->SetCooperativeLevel(OwnerWindow(), CoopLevel());
    if (result != DI_OK) {
        Stop();
        Report("TWDirectInputJoystick.Start", result);
    }
    SetDataFormat(c_dfDIJoystick);
    Acquire();
}

void* TWDirectInputKeyboard::StateBuffer(size_t& size)
{
    size = sizeof State;
    return State;
}

void* TWDirectInputMouse::StateBuffer(size_t& size)
{
    size = sizeof State;
    return &State;
}

void* TWDirectInputJoystick::StateBuffer(size_t& size)
{
    size = sizeof State;
    return &State;
}
