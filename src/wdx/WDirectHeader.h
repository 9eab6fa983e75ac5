#pragma once
// The types the DirectX layer shares: the device's settings, the kinds of surfaces, the option
// sets, and the records the device fills while it enumerates drivers and display modes.
#include <cstdint>
#include <initializer_list>
#include <string>

#include "wdx/DirectXApi.h"

enum TdxCoopLevel : uint8_t { dxclAlwaysExclusive, dxclNeverExclusive, dxclAuto };
enum TdxVideoMode : uint8_t { dxvmOnlyWindowed, dxvmOnlyFullScreen, dxvmAuto };
enum TdxLogging : uint8_t { dxlogNone, dxlogError, dxlogAll };
enum TdxSurfaceType : uint8_t {
    dxstEmptyImage,
    dxstEmptyTexture,
    dxstImage,
    dxstImageList,
    dxstTexture,
    dxstTextureList,
    dxstMipMaps,
};
enum TdxMemoryType : uint8_t { dxmtAuto, dxmtSystemMemory, dxmtVideoMemory };
enum TddSurfaceDimension : uint8_t { sdFromFile, sdFromScreen, sdExact, sdFromWindow };

// A set of members of a small enumeration (at most 32 members), member n being bit n.
// Brace lists build sets: Td3dTextr{d3dTRANSPARENTBLACK, d3d16BITSPERPIXEL}; {} is empty.
template <typename E>
class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(E member) : FBits(Bit(member)) {}
    constexpr TEnumSet(std::initializer_list<E> members)
    {
        for (E member : members) FBits |= Bit(member);
    }

    constexpr TEnumSet& Include(E member)
    {
        FBits |= Bit(member);
        return *this;
    }
    constexpr TEnumSet& Exclude(E member)
    {
        FBits &= ~Bit(member);
        return *this;
    }
    constexpr bool Contains(E member) const { return (FBits & Bit(member)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr uint32_t Bits() const { return FBits; }

    friend constexpr TEnumSet operator+(TEnumSet a, TEnumSet b) { return FromBits(a.FBits | b.FBits); }
    friend constexpr TEnumSet operator-(TEnumSet a, TEnumSet b) { return FromBits(a.FBits & ~b.FBits); }
    friend constexpr TEnumSet operator*(TEnumSet a, TEnumSet b) { return FromBits(a.FBits & b.FBits); }
    friend constexpr bool operator==(const TEnumSet&, const TEnumSet&) = default;

private:
    static constexpr uint32_t Bit(E member) { return uint32_t{1} << static_cast<unsigned>(member); }
    static constexpr TEnumSet FromBits(uint32_t bits)
    {
        TEnumSet set;
        set.FBits = bits;
        return set;
    }

    uint32_t FBits = 0;
};

// How a texture is made from a picture.
enum Td3dTextrFlag : uint8_t {
    d3dTRANSPARENTWHITE,
    d3dTRANSPARENTBLACK,
    d3d16BITSPERPIXEL,
    d3d32BITSPERPIXEL,
    d3dCREATEWITHALPHA,
};
using Td3dTextr = TEnumSet<Td3dTextrFlag>;

// The cooperative level an input device asks for.
enum TdiCoopFlag : uint8_t { diEXCLUSIVE, diBACKGROUND };
using TdiCoopFlags = TEnumSet<TdiCoopFlag>;

// One display mode the driver offers.
struct TVideoModeInfo {
    bool Windowed = false;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Bits = 0;
    DDSURFACEDESC2 SurfaceDesc{};
};

// One DirectDraw driver. The enumeration's GUID pointer lives only during its callback, so the
// record keeps its own copy: GuidPtr is null for the primary display driver and otherwise
// points at this record's Guid, also after the record is copied.
struct TDriverInfo {
    GUID Guid{};
    GUID* GuidPtr = nullptr;
    std::string Description;
    std::string Name;
    HMONITOR Monitor = nullptr;

    TDriverInfo() = default;
    TDriverInfo(const TDriverInfo& other)
        : Guid(other.Guid),
          GuidPtr(other.GuidPtr ? &Guid : nullptr),
          Description(other.Description),
          Name(other.Name),
          Monitor(other.Monitor)
    {
    }
    TDriverInfo& operator=(const TDriverInfo& other)
    {
        Guid = other.Guid;
        GuidPtr = other.GuidPtr ? &Guid : nullptr;
        Description = other.Description;
        Name = other.Name;
        Monitor = other.Monitor;
        return *this;
    }

    // Keeps a copy of the driver's GUID; null names the primary display driver.
    void SetGuid(const GUID* guid)
    {
        Guid = guid ? *guid : GUID{};
        GuidPtr = guid ? &Guid : nullptr;
    }
};
