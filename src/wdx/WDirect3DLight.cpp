// The light component: its description, and the two Direct3D calls that hand it to the device.
#include "wdx/WDirect3DLight.h"

#include <bit>
#include <cmath>
#include <set>

#include "wdx/WDirectX.h"

TWDirect3DLight::TWDirect3DLight(TComponent* owner) : TComponent(owner)
{
    if (owner) {
        std::set<int> used;
        for (int i = 0; i < owner->ComponentCount(); ++i) {
            const auto* light = dynamic_cast<const TWDirect3DLight*>(owner->Components(i));
            if (light && light != this) used.insert(light->LightIndex);
        }
        while (used.contains(LightIndex)) ++LightIndex;
    }
    FLight.dltType = D3DLIGHT_DIRECTIONAL;
    SetDiffuseColor(0xFFFFFF);
    FLight.dvRange = std::bit_cast<float>(uint32_t{0x5DCCB70B});
}

TWDirect3DLight::~TWDirect3DLight() = default;

TColor TWDirect3DLight::ReadColor(const D3DCOLORVALUE& value)
{
    // nearbyint rounds halves to even in the default rounding mode.
    const auto scale = [](float c) { return static_cast<uint32_t>(std::nearbyint(double{c} * 255.0)) & 0xFF; };
    return static_cast<TColor>(scale(value.b) << 16 | scale(value.g) << 8 | scale(value.r));
}

void TWDirect3DLight::StoreColor(D3DCOLORVALUE& value, TColor color)
{
    const auto c = static_cast<uint32_t>(color);
    value.r = static_cast<float>(c & 0xFF) / 256.0f;
    value.g = static_cast<float>((c >> 8) & 0xFF) / 256.0f;
    value.b = static_cast<float>((c >> 16) & 0xFF) / 256.0f;
}

void TWDirect3DLight::Enable()
{
    if (IDirect3DDevice7* device = FDevice ? FDevice->D3DDevice() : nullptr)
        device->LightEnable(static_cast<DWORD>(LightIndex), FLightOn ? -1 : 0);
}

void TWDirect3DLight::SetLightOn(bool on)
{
    FLightOn = on;
    if (FActive) Enable();
}

void TWDirect3DLight::Apply()
{
    if (!FActive) return;
    if (IDirect3DDevice7* device = FDevice ? FDevice->D3DDevice() : nullptr)
        device->SetLight(static_cast<DWORD>(LightIndex), &FLight);
}

void TWDirect3DLight::Start(TWDirectX* device)
{
    FDevice = device;
    if (FActive || !device) return;
    if (device->LogType == dxlogAll) device->WriteLog("TWDirect3DLight.Start");
    FActive = true;
    Apply();
    Enable();
}

void TWDirect3DLight::Stop()
{
    if (!FActive) return;
    FActive = false;
    if (FDevice && FDevice->LogType == dxlogAll) FDevice->WriteLog("TWDirect3DLight.Stopped");
}
