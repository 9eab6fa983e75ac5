// DirectInput's standard data formats, object for object as programs written for the
// system's DirectInput expect them.
// Implements: c_dfDIKeyboard, c_dfDIMouse, c_dfDIMouse2, c_dfDIJoystick.
#include <array>
#include <cstddef>

#include "SoftDxApi.h"

namespace {
constexpr DWORD Any = DIDFT_ANYINSTANCE;
constexpr DWORD Optional = DIDFT_OPTIONAL;

constexpr std::array<DIOBJECTDATAFORMAT, 256> KeyboardObjects()
{
    std::array<DIOBJECTDATAFORMAT, 256> objects{};
    for (DWORD key = 0; key < 256; ++key)
        objects[key] = {&GUID_Key, key, DIDFT_BUTTON | Optional | DIDFT_MAKEINSTANCE(key), 0};
    return objects;
}

// X and Y, the wheel, then the buttons: the first two always there, the rest optional.
template <typename State, size_t Buttons>
constexpr std::array<DIOBJECTDATAFORMAT, 3 + Buttons> MouseObjects()
{
    std::array<DIOBJECTDATAFORMAT, 3 + Buttons> objects{};
    objects[0] = {&GUID_XAxis, offsetof(State, lX), DIDFT_AXIS | Any, 0};
    objects[1] = {&GUID_YAxis, offsetof(State, lY), DIDFT_AXIS | Any, 0};
    objects[2] = {&GUID_ZAxis, offsetof(State, lZ), DIDFT_AXIS | Any | Optional, 0};
    for (DWORD i = 0; i < Buttons; ++i)
        objects[3 + i] = {nullptr, static_cast<DWORD>(offsetof(State, rgbButtons) + i),
                          DIDFT_BUTTON | Any | (i < 2 ? 0 : Optional), 0};
    return objects;
}

constinit std::array<DIOBJECTDATAFORMAT, 7> mouseObjects = MouseObjects<DIMOUSESTATE, 4>();
constinit std::array<DIOBJECTDATAFORMAT, 11> mouse2Objects = MouseObjects<DIMOUSESTATE2, 8>();

constexpr std::array<DIOBJECTDATAFORMAT, 44> JoystickObjects()
{
    std::array<DIOBJECTDATAFORMAT, 44> objects{};
    const GUID* const axes[8] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,  &GUID_RxAxis,
                                 &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};
    size_t n = 0;
    for (DWORD i = 0; i < 8; ++i)
        objects[n++] = {axes[i], static_cast<DWORD>(offsetof(DIJOYSTATE, lX) + 4 * i), DIDFT_AXIS | Any | Optional, 0};
    for (DWORD i = 0; i < 4; ++i)
        objects[n++] = {&GUID_POV, static_cast<DWORD>(offsetof(DIJOYSTATE, rgdwPOV) + 4 * i),
                        DIDFT_POV | Any | Optional, 0};
    for (DWORD i = 0; i < 32; ++i)
        objects[n++] = {nullptr, static_cast<DWORD>(offsetof(DIJOYSTATE, rgbButtons) + i),
                        DIDFT_BUTTON | Any | Optional, 0};
    return objects;
}

constinit std::array<DIOBJECTDATAFORMAT, 256> keyboardObjects = KeyboardObjects();
constinit std::array<DIOBJECTDATAFORMAT, 44> joystickObjects = JoystickObjects();
}  // namespace

extern "C" const DIDATAFORMAT c_dfDIKeyboard = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256, 256, keyboardObjects.data()};
extern "C" const DIDATAFORMAT c_dfDIMouse = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, sizeof(DIMOUSESTATE), 7, mouseObjects.data()};
extern "C" const DIDATAFORMAT c_dfDIMouse2 = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, sizeof(DIMOUSESTATE2), 11, mouse2Objects.data()};
extern "C" const DIDATAFORMAT c_dfDIJoystick = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS, sizeof(DIJOYSTATE), 44, joystickObjects.data()};
