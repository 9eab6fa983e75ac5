// The software DirectInput 7: the system keyboard, the system mouse and every joystick of
// the installed back ends, read through any data format whose objects they have.
// Implements: DirectInputCreateEx, IDirectInput7A (SoftDxDirectInput), IDirectInputDevice7A
// and its older versions (SoftDxInputDevice).
// Does not implement: buffered data (GetDeviceData answers DIERR_NOTBUFFERED), event
// notification, force feedback, control panels.
// A foreground device keeps to its window as DirectInput 7's does: it is not acquired while
// the window is not the active one (DIERR_OTHERAPPHASPRIO), and the first read or poll after
// the window lost the focus lets it go and answers DIERR_INPUTLOST, the next ones
// DIERR_NOTACQUIRED, until the program acquires it again. So it reads nothing typed into
// another program's windows. The back end says which window is active.
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SoftDxControl.h"
#include "SoftDxDevices.h"
#include "SoftDxInternal.h"
#include "SoftDxUnknown.h"

using softdx::SoftDxUnknown;

namespace {

enum class Kind { Keyboard, Mouse, Joystick };
enum class Source { Key, MouseAxis, MouseButton, StickAxis, StickHat, StickButton };

// One control of a device, as a data format's object may name it.
struct DeviceObject {
    const GUID* Type;
    DWORD TypeBits;  // DIDFT_RELAXIS, DIDFT_ABSAXIS, DIDFT_PSHBUTTON or DIDFT_POV
    DWORD Instance;
    Source From;
    int Index;
};

// The n-th joystick's instance id: GUID_Joystick with n in its last byte, so the first
// stick answers to GUID_Joystick itself.
GUID JoystickInstance(int index)
{
    GUID guid = GUID_Joystick;
    guid.Data4[7] = static_cast<uint8_t>(index);
    return guid;
}

std::vector<DeviceObject> ObjectsOf(Kind kind, const SoftDxJoystickInfo& stick)
{
    std::vector<DeviceObject> objects;
    if (kind == Kind::Keyboard) {
        for (int key = 0; key < 256; ++key)
            objects.push_back({&GUID_Key, DIDFT_PSHBUTTON, static_cast<DWORD>(key), Source::Key, key});
    } else if (kind == Kind::Mouse) {
        const GUID* axes[3] = {&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis};
        for (int i = 0; i < 3; ++i)
            objects.push_back({axes[i], DIDFT_RELAXIS, static_cast<DWORD>(i), Source::MouseAxis, i});
        for (int i = 0; i < 8; ++i)
            objects.push_back({&GUID_Button, DIDFT_PSHBUTTON, static_cast<DWORD>(i), Source::MouseButton, i});
    } else {
        const GUID* axes[8] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,  &GUID_RxAxis,
                               &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};
        for (int i = 0; i < std::min(stick.Axes, 8); ++i)
            objects.push_back({axes[i], DIDFT_ABSAXIS, static_cast<DWORD>(i), Source::StickAxis, i});
        for (int i = 0; i < std::min(stick.Hats, 4); ++i)
            objects.push_back({&GUID_POV, DIDFT_POV, static_cast<DWORD>(i), Source::StickHat, i});
        for (int i = 0; i < std::min(stick.Buttons, 32); ++i)
            objects.push_back({&GUID_Button, DIDFT_PSHBUTTON, static_cast<DWORD>(i), Source::StickButton, i});
    }
    return objects;
}

// In an emulated full-screen mode the program draws at the mode's size and the presenter
// scales its frames to the screen, so the pointer's position is given in the mode's pixels,
// as the program drawing at it expects: through the frame's rectangle on the screen, clamped
// to the mode, so that the black bars read as the mode's nearest edge.
void IntoEmulatedMode(LONG& x, LONG& y)
{
    const std::optional<softdx::FullScreenMode> fullScreen = softdx::EmulatedFullScreen();
    if (!fullScreen) return;
    const softdx::DisplayMode mode = fullScreen->Mode;
    const std::optional<RECT> frame = SoftDxGetPresenter()->FrameRect(fullScreen->Window, {mode.Width, mode.Height});
    if (!frame || frame->right <= frame->left || frame->bottom <= frame->top || !mode.Width || !mode.Height) return;
    auto map = [](LONG at, LONG from, LONG to, uint32_t size) {
        const int64_t pixel = (int64_t{at} - from) * size / (int64_t{to} - from);
        return static_cast<LONG>(std::clamp<int64_t>(pixel, 0, int64_t{size} - 1));
    };
    x = map(x, frame->left, frame->right, mode.Width);
    y = map(y, frame->top, frame->bottom, mode.Height);
}

bool Matches(const DIOBJECTDATAFORMAT& wanted, const DeviceObject& object)
{
    if (wanted.pguid && *wanted.pguid != *object.Type) return false;
    const DWORD type = wanted.dwType & 0xFF;
    if ((type & DIDFT_AXIS) && !(object.TypeBits & DIDFT_AXIS)) return false;
    if ((type & DIDFT_BUTTON) && !(object.TypeBits & DIDFT_BUTTON)) return false;
    if ((type & DIDFT_POV) && object.TypeBits != DIDFT_POV) return false;
    const DWORD instance = (wanted.dwType >> 8) & 0xFFFF;
    return instance == 0xFFFF || instance == object.Instance;
}

class SoftDxInputDevice final : public SoftDxUnknown<SoftDxInputDevice, IDirectInputDevice7A> {
public:
    SoftDxInputDevice(Kind kind, int stick, SoftDxJoystickInfo info)
        : FKind(kind),
          FStick(stick),
          FInfo(std::move(info)),
          FObjects(ObjectsOf(kind, FInfo)),
          FInput(SoftDxGetInput()),
          FJoysticks(SoftDxGetJoysticks())
    {
        if (kind != Kind::Joystick) FInput->Open();
    }
    static bool Answers(REFIID riid)
    {
        return riid == IID_IDirectInputDeviceA || riid == IID_IDirectInputDevice2A || riid == IID_IDirectInputDevice7A;
    }

    HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS caps) override
    {
        SOFTDX_ENTER("IDirectInputDevice7::GetCapabilities");
        if (!caps || caps->dwSize < offsetof(DIDEVCAPS, dwFFSamplePeriod)) return DIERR_INVALIDPARAM;
        const DWORD size = caps->dwSize;
        std::memset(caps, 0, std::min<size_t>(size, sizeof(DIDEVCAPS)));
        caps->dwSize = size;
        caps->dwFlags = DIDC_ATTACHED | (FKind == Kind::Joystick ? DIDC_POLLEDDEVICE : 0);
        caps->dwDevType = DevType();
        for (const DeviceObject& object : FObjects) {
            if (object.TypeBits & DIDFT_AXIS) ++caps->dwAxes;
            if (object.TypeBits & DIDFT_BUTTON) ++caps->dwButtons;
            if (object.TypeBits == DIDFT_POV) ++caps->dwPOVs;
        }
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) override
    {
        return DIERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetProperty(REFGUID property, LPDIPROPHEADER header) override;
    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID property, LPCDIPROPHEADER header) override;
    HRESULT STDMETHODCALLTYPE Acquire() override
    {
        SOFTDX_ENTER("IDirectInputDevice7::Acquire");
        if (!FFormatSet) return DIERR_INVALIDPARAM;
        if (FAcquired) return DI_NOEFFECT;
        if (!InFocus()) return DIERR_OTHERAPPHASPRIO;
        FAcquired = true;
        if (FKind == Kind::Mouse) FInput->PointerAcquired(true);
        // Relative axes report the motion from here on.
        SoftDxPointerState pointer;
        if (FKind == Kind::Mouse && FInput->Pointer(pointer))
            FLastPointer = pointer;
        else
            FLastPointer.reset();
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE Unacquire() override
    {
        SOFTDX_ENTER("IDirectInputDevice7::Unacquire");
        if (!FAcquired) return DI_NOEFFECT;
        LetGo();
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override;
    HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override
    {
        if (FocusLost()) return DIERR_INPUTLOST;
        return FAcquired ? DIERR_NOTBUFFERED : DIERR_NOTACQUIRED;
    }
    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override;
    HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override
    {
        SOFTDX_ENTER("IDirectInputDevice7::SetCooperativeLevel");
        const DWORD share = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        const DWORD focus = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if (share == 0 || share == (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE)) return DIERR_INVALIDPARAM;
        if (focus == 0 || focus == (DISCL_FOREGROUND | DISCL_BACKGROUND)) return DIERR_INVALIDPARAM;
        // As the system's: a keyboard is never held exclusively in the background.
        if (FKind == Kind::Keyboard && share == DISCL_EXCLUSIVE && focus == DISCL_BACKGROUND) return DIERR_UNSUPPORTED;
        if (!window && (share == DISCL_EXCLUSIVE || focus == DISCL_FOREGROUND)) return DIERR_INVALIDPARAM;
        FWindow = window;
        FCooperation = flags;
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) override
    {
        return DIERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEA info) override;
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override { return DIERR_ALREADYINITIALIZED; }
    HRESULT STDMETHODCALLTYPE CreateEffect(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT* made, LPUNKNOWN) override
    {
        if (made) *made = nullptr;
        return DIERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE EnumEffects(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) override { return DI_OK; }
    HRESULT STDMETHODCALLTYPE GetEffectInfo(LPDIEFFECTINFOA, REFGUID) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetForceFeedbackState(LPDWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE SendForceFeedbackCommand(DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) override
    {
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE Poll() override
    {
        SOFTDX_ENTER("IDirectInputDevice7::Poll");
        if (FocusLost()) return DIERR_INPUTLOST;
        if (!FAcquired) return DIERR_NOTACQUIRED;
        // Every state read asks the back end, so a poll has nothing to fetch ahead.
        return FKind == Kind::Joystick ? DI_OK : DI_NOEFFECT;
    }
    HRESULT STDMETHODCALLTYPE SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override
    {
        return DIERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE EnumEffectsInFile(LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) override
    {
        return DIERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE WriteEffectToFile(LPCSTR, DWORD, LPDIFILEEFFECT, DWORD) override
    {
        return DIERR_UNSUPPORTED;
    }

private:
    friend class SoftDxUnknown<SoftDxInputDevice, IDirectInputDevice7A>;
    ~SoftDxInputDevice()
    {
        if (FAcquired) LetGo();
    }

    void LetGo()
    {
        FAcquired = false;
        if (FKind == Kind::Mouse) FInput->PointerAcquired(false);
    }
    // A background device may always read; a foreground one only while its window is active.
    bool InFocus() const { return !(FCooperation & DISCL_FOREGROUND) || FInput->WindowActive(FWindow); }
    // True, once, when an acquired foreground device's window has lost the focus: the device
    // is then let go, as the system lets it go when the focus moves.
    bool FocusLost()
    {
        if (!FAcquired || InFocus()) return false;
        LetGo();
        return true;
    }

    DWORD DevType() const
    {
        switch (FKind) {
        case Kind::Keyboard: return DIDEVTYPE_KEYBOARD;
        case Kind::Mouse: return DIDEVTYPE_MOUSE;
        case Kind::Joystick: break;
        }
        return DIDEVTYPE_JOYSTICK;
    }
    LONG ScaleAxis(int32_t value) const
    {
        const int64_t span = int64_t{FRangeMax} - FRangeMin;
        return static_cast<LONG>(FRangeMin + (int64_t{value} + 32768) * span / 65535);
    }

    struct Placed {
        size_t Object;
        DWORD Offset;
    };

    Kind FKind;
    int FStick;
    SoftDxJoystickInfo FInfo;
    std::vector<DeviceObject> FObjects;
    std::shared_ptr<ISoftDxInput> FInput;
    std::shared_ptr<ISoftDxJoysticks> FJoysticks;
    std::vector<Placed> FPlaced;
    DWORD FDataSize = 0;
    bool FFormatSet = false;
    bool FAcquired = false;
    bool FRelative = false;
    LONG FRangeMin = 0, FRangeMax = 65535;
    HWND FWindow = nullptr;
    DWORD FCooperation = 0;
    std::optional<SoftDxPointerState> FLastPointer;
};

HRESULT SoftDxInputDevice::SetDataFormat(LPCDIDATAFORMAT format)
{
    SOFTDX_ENTER("IDirectInputDevice7::SetDataFormat");
    if (!format || format->dwSize != sizeof(DIDATAFORMAT) || format->dwObjSize != sizeof(DIOBJECTDATAFORMAT))
        return DIERR_INVALIDPARAM;
    if (FAcquired) return DIERR_ACQUIRED;
    if (format->dwDataSize % 4 != 0 || (format->dwNumObjs > 0 && !format->rgodf)) return DIERR_INVALIDPARAM;
    std::vector<Placed> placed;
    std::vector<bool> used(FObjects.size(), false);
    for (DWORD i = 0; i < format->dwNumObjs; ++i) {
        const DIOBJECTDATAFORMAT& wanted = format->rgodf[i];
        size_t found = FObjects.size();
        for (size_t n = 0; n < FObjects.size() && found == FObjects.size(); ++n)
            if (!used[n] && Matches(wanted, FObjects[n])) found = n;
        if (found == FObjects.size()) {
            if (wanted.dwType & DIDFT_OPTIONAL) continue;
            return DIERR_INVALIDPARAM;
        }
        const bool wide = (FObjects[found].TypeBits & DIDFT_AXIS) || FObjects[found].TypeBits == DIDFT_POV;
        const uint64_t end = uint64_t{wanted.dwOfs} + (wide ? 4 : 1);
        if (end > format->dwDataSize || (wide && wanted.dwOfs % 4 != 0)) return DIERR_INVALIDPARAM;
        used[found] = true;
        placed.push_back({found, wanted.dwOfs});
    }
    FPlaced = std::move(placed);
    FDataSize = format->dwDataSize;
    FRelative = (format->dwFlags & DIDF_RELAXIS) != 0;
    FFormatSet = true;
    return DI_OK;
}

HRESULT SoftDxInputDevice::GetDeviceState(DWORD size, LPVOID data)
{
    SOFTDX_ENTER("IDirectInputDevice7::GetDeviceState");
    if (!data || !FFormatSet || size != FDataSize) return DIERR_INVALIDPARAM;
    if (FocusLost()) return DIERR_INPUTLOST;
    if (!FAcquired) return DIERR_NOTACQUIRED;
    bool keys[256] = {};
    SoftDxPointerState pointer;
    SoftDxJoystickState stick;
    LONG mouseAxes[3] = {};
    if (FKind == Kind::Keyboard && !FInput->Keyboard(keys)) return DIERR_INPUTLOST;
    if (FKind == Kind::Joystick && !FJoysticks->State(FStick, stick)) return DIERR_INPUTLOST;
    if (FKind == Kind::Mouse) {
        if (!FInput->Pointer(pointer)) return DIERR_INPUTLOST;
        // Relative axes report the motion since the last read (or the acquisition).
        const SoftDxPointerState base = FLastPointer.value_or(pointer);
        const LONG now[3] = {pointer.X, pointer.Y, pointer.Wheel};
        const LONG before[3] = {base.X, base.Y, base.Wheel};
        for (int i = 0; i < 3; ++i) mouseAxes[i] = FRelative ? now[i] - before[i] : now[i];
        // Relative motion stays in the screen's pixels, as a real mouse's counts know no mode.
        if (!FRelative) IntoEmulatedMode(mouseAxes[0], mouseAxes[1]);
        FLastPointer = pointer;
    }
    auto* bytes = static_cast<uint8_t*>(data);
    std::memset(bytes, 0, size);
    for (const Placed& place : FPlaced) {
        const DeviceObject& object = FObjects[place.Object];
        uint32_t value = 0;
        bool wide = true;
        switch (object.From) {
        case Source::Key: value = keys[object.Index] ? 0x80 : 0, wide = false; break;
        case Source::MouseButton: value = pointer.Buttons[object.Index] ? 0x80 : 0, wide = false; break;
        case Source::StickButton: value = stick.Buttons[object.Index] ? 0x80 : 0, wide = false; break;
        case Source::MouseAxis: value = static_cast<uint32_t>(mouseAxes[object.Index]); break;
        case Source::StickAxis: value = static_cast<uint32_t>(ScaleAxis(stick.Axes[object.Index])); break;
        case Source::StickHat: value = static_cast<uint32_t>(stick.Hats[object.Index]); break;
        }
        if (wide)
            std::memcpy(bytes + place.Offset, &value, 4);
        else
            bytes[place.Offset] = static_cast<uint8_t>(value);
    }
    return DI_OK;
}

HRESULT SoftDxInputDevice::GetProperty(REFGUID property, LPDIPROPHEADER header)
{
    SOFTDX_ENTER("IDirectInputDevice7::GetProperty");
    if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    if (&property == &DIPROP_AXISMODE && header->dwSize == sizeof(DIPROPDWORD)) {
        reinterpret_cast<DIPROPDWORD*>(header)->dwData = FRelative ? DIPROPAXISMODE_REL : DIPROPAXISMODE_ABS;
        return DI_OK;
    }
    if (&property == &DIPROP_RANGE && header->dwSize == sizeof(DIPROPRANGE) && FKind == Kind::Joystick) {
        auto* range = reinterpret_cast<DIPROPRANGE*>(header);
        range->lMin = FRangeMin;
        range->lMax = FRangeMax;
        return DI_OK;
    }
    return DIERR_UNSUPPORTED;
}

HRESULT SoftDxInputDevice::SetProperty(REFGUID property, LPCDIPROPHEADER header)
{
    SOFTDX_ENTER("IDirectInputDevice7::SetProperty");
    if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    if (FAcquired) return DIERR_ACQUIRED;
    if (&property == &DIPROP_AXISMODE && header->dwSize == sizeof(DIPROPDWORD) && header->dwHow == DIPH_DEVICE) {
        const DWORD mode = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
        if (mode != DIPROPAXISMODE_ABS && mode != DIPROPAXISMODE_REL) return DIERR_INVALIDPARAM;
        FRelative = mode == DIPROPAXISMODE_REL;
        return DI_OK;
    }
    if (&property == &DIPROP_RANGE && header->dwSize == sizeof(DIPROPRANGE) && header->dwHow == DIPH_DEVICE &&
        FKind == Kind::Joystick) {
        const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
        if (range->lMin > range->lMax) return DIERR_INVALIDPARAM;
        FRangeMin = range->lMin;
        FRangeMax = range->lMax;
        return DI_OK;
    }
    return DIERR_UNSUPPORTED;
}

void FillInstance(DIDEVICEINSTANCEA& info, const GUID& instance, DWORD type, const std::string& name)
{
    std::memset(&info, 0, sizeof info);
    info.dwSize = sizeof info;
    info.guidInstance = instance;
    info.guidProduct = instance;
    info.dwDevType = type;
    std::strncpy(info.tszInstanceName, name.c_str(), MAX_PATH - 1);
    std::strncpy(info.tszProductName, name.c_str(), MAX_PATH - 1);
}

HRESULT SoftDxInputDevice::GetDeviceInfo(LPDIDEVICEINSTANCEA info)
{
    SOFTDX_ENTER("IDirectInputDevice7::GetDeviceInfo");
    if (!info || info->dwSize != sizeof(DIDEVICEINSTANCEA)) return DIERR_INVALIDPARAM;
    if (FKind == Kind::Keyboard) FillInstance(*info, GUID_SysKeyboard, DIDEVTYPE_KEYBOARD, "Keyboard");
    if (FKind == Kind::Mouse) FillInstance(*info, GUID_SysMouse, DIDEVTYPE_MOUSE, "Mouse");
    if (FKind == Kind::Joystick) FillInstance(*info, JoystickInstance(FStick), DIDEVTYPE_JOYSTICK, FInfo.Name);
    return DI_OK;
}

class SoftDxDirectInput final : public SoftDxUnknown<SoftDxDirectInput, IDirectInput7A> {
public:
    static bool Answers(REFIID riid)
    {
        return riid == IID_IDirectInputA || riid == IID_IDirectInput2A || riid == IID_IDirectInput7A;
    }

    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICEA* device, LPUNKNOWN outer) override
    {
        SOFTDX_ENTER("IDirectInput7::CreateDevice");
        if (!device) return DIERR_INVALIDPARAM;
        *device = nullptr;
        if (outer) return DIERR_NOAGGREGATION;
        if (guid == GUID_SysKeyboard) {
            *device = new SoftDxInputDevice(Kind::Keyboard, 0, {});
        } else if (guid == GUID_SysMouse) {
            *device = new SoftDxInputDevice(Kind::Mouse, 0, {});
        } else {
            const std::vector<SoftDxJoystickInfo> sticks = SoftDxGetJoysticks()->List();
            for (size_t i = 0; i < sticks.size() && i < 256; ++i)
                if (sticks[i].Attached && guid == JoystickInstance(static_cast<int>(i)))
                    *device = new SoftDxInputDevice(Kind::Joystick, static_cast<int>(i), sticks[i]);
        }
        // A machine without the stick asked for: the device is not there.
        return *device ? DI_OK : DIERR_DEVICENOTREG;
    }
    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD type, LPDIENUMDEVICESCALLBACKA callback, LPVOID ref, DWORD) override
    {
        SOFTDX_ENTER("IDirectInput7::EnumDevices");
        if (!callback) return DIERR_INVALIDPARAM;
        DIDEVICEINSTANCEA info;
        if (type == 0 || type == DIDEVTYPE_KEYBOARD) {
            FillInstance(info, GUID_SysKeyboard, DIDEVTYPE_KEYBOARD, "Keyboard");
            if (callback(&info, ref) == DIENUM_STOP) return DI_OK;
        }
        if (type == 0 || type == DIDEVTYPE_MOUSE) {
            FillInstance(info, GUID_SysMouse, DIDEVTYPE_MOUSE, "Mouse");
            if (callback(&info, ref) == DIENUM_STOP) return DI_OK;
        }
        if (type == 0 || type == DIDEVTYPE_JOYSTICK) {
            const std::vector<SoftDxJoystickInfo> sticks = SoftDxGetJoysticks()->List();
            for (size_t i = 0; i < sticks.size() && i < 256; ++i) {
                if (!sticks[i].Attached) continue;
                FillInstance(info, JoystickInstance(static_cast<int>(i)), DIDEVTYPE_JOYSTICK, sticks[i].Name);
                if (callback(&info, ref) == DIENUM_STOP) return DI_OK;
            }
        }
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID guid) override
    {
        LPDIRECTINPUTDEVICEA device = nullptr;
        const HRESULT result = CreateDevice(guid, &device, nullptr);
        if (device) device->Release();
        return result == DI_OK ? DI_OK : DI_NOTATTACHED;
    }
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD) override { return DIERR_ALREADYINITIALIZED; }
    HRESULT STDMETHODCALLTYPE FindDevice(REFGUID, LPCSTR, LPGUID) override { return DIERR_DEVICENOTREG; }
    HRESULT STDMETHODCALLTYPE CreateDeviceEx(REFGUID guid, REFIID riid, LPVOID* device, LPUNKNOWN outer) override
    {
        if (!device) return DIERR_INVALIDPARAM;
        *device = nullptr;
        LPDIRECTINPUTDEVICEA made = nullptr;
        const HRESULT result = CreateDevice(guid, &made, outer);
        if (result != DI_OK) return result;
        const HRESULT asked = made->QueryInterface(riid, device);
        made->Release();
        return asked;
    }

private:
    friend class SoftDxUnknown<SoftDxDirectInput, IDirectInput7A>;
    ~SoftDxDirectInput() = default;
};

}  // namespace

STDAPI DirectInputCreateEx(HINSTANCE, DWORD version, REFIID riid, LPVOID* out, LPUNKNOWN outer)
{
    SOFTDX_ENTER("DirectInputCreateEx");
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DIERR_NOAGGREGATION;
    if (version < 0x0300) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > 0x0700) return DIERR_BETADIRECTINPUTVERSION;
    if (riid != IID_IUnknown && !SoftDxDirectInput::Answers(riid)) return DIERR_NOINTERFACE;
    *out = static_cast<IDirectInput7A*>(new SoftDxDirectInput());
    return DI_OK;
}
