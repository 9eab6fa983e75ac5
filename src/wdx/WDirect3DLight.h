#pragma once
// TWDirect3DLight: one Direct3D light of its form's device. The whole light description lives
// in the component; the device starts it after every other component, so it shines on what
// they made.
#include <cstdint>

#include "framework/Component.h"
#include "framework/Graphics.h"
#include "wdx/DirectXApi.h"
#include "wdx/WDirectXTypes.h"

// Direct3D's light types, as Direct3D numbers them (0 to 5); 0 has no name of its own there.
using TD3DLightType = D3DLIGHTTYPE;
inline constexpr TD3DLightType D3DLIGHT_INVALID_0 = static_cast<TD3DLightType>(0);

class TWDirect3DLight : public TComponent, public TObject, public TWDirectXComponent {
public:
    // Takes the lowest index that no other light of the owner uses.
    explicit TWDirect3DLight(TComponent* owner);
    ~TWDirect3DLight() override;

    bool Active() const { return FActive; }
    int LightIndex = 0;  // setting it only stores it

    TD3DLightType LightType() const { return FLight.dltType; }
    void SetLightType(TD3DLightType type) { FLight.dltType = type; }
    // Colours (0x00BBGGRR) are kept as components: stored over 256, read back times 255.
    TColor DiffuseColor() const { return ReadColor(FLight.dcvDiffuse); }
    void SetDiffuseColor(TColor color) { StoreColor(FLight.dcvDiffuse, color); }
    TColor SpecularColor() const { return ReadColor(FLight.dcvSpecular); }
    void SetSpecularColor(TColor color) { StoreColor(FLight.dcvSpecular, color); }
    TColor AmbientColor() const { return ReadColor(FLight.dcvAmbient); }
    void SetAmbientColor(TColor color) { StoreColor(FLight.dcvAmbient, color); }

    float PositionX() const { return FLight.dvPosition.x; }
    void SetPositionX(float value) { FLight.dvPosition.x = value; }
    float PositionY() const { return FLight.dvPosition.y; }
    void SetPositionY(float value) { FLight.dvPosition.y = value; }
    float PositionZ() const { return FLight.dvPosition.z; }
    void SetPositionZ(float value) { FLight.dvPosition.z = value; }
    float DirectionX() const { return FLight.dvDirection.x; }
    void SetDirectionX(float value) { FLight.dvDirection.x = value; }
    float DirectionY() const { return FLight.dvDirection.y; }
    void SetDirectionY(float value) { FLight.dvDirection.y = value; }
    float DirectionZ() const { return FLight.dvDirection.z; }
    void SetDirectionZ(float value) { FLight.dvDirection.z = value; }
    float Range() const { return FLight.dvRange; }
    void SetRange(float value) { FLight.dvRange = value; }
    float FallOff() const { return FLight.dvFalloff; }
    void SetFallOff(float value) { FLight.dvFalloff = value; }
    float Attenuation0() const { return FLight.dvAttenuation0; }
    void SetAttenuation0(float value) { FLight.dvAttenuation0 = value; }
    float Attenuation1() const { return FLight.dvAttenuation1; }
    void SetAttenuation1(float value) { FLight.dvAttenuation1 = value; }
    float Attenuation2() const { return FLight.dvAttenuation2; }
    void SetAttenuation2(float value) { FLight.dvAttenuation2 = value; }
    float Theta() const { return FLight.dvTheta; }
    void SetTheta(float value) { FLight.dvTheta = value; }
    float Phi() const { return FLight.dvPhi; }
    void SetPhi(float value) { FLight.dvPhi = value; }

    bool LightOn() const { return FLightOn; }
    void SetLightOn(bool on);  // takes effect at once while active
    const D3DLIGHT7& Description() const { return FLight; }

    // Sends the description to the device while active; the other properties wait for it.
    void Apply();

    TWDirectXComponentKind DirectXKind() const override { return dxkLight; }
    void Start(TWDirectX* device) override;
    void Stop() override;

private:
    static TColor ReadColor(const D3DCOLORVALUE& value);
    static void StoreColor(D3DCOLORVALUE& value, TColor color);
    void Enable();

    TWDirectX* FDevice = nullptr;  // not owned
    bool FActive = false;
    bool FLightOn = false;
    D3DLIGHT7 FLight{};
};
