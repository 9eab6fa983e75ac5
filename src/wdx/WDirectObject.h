#pragma once
// TWDirectObject: a mesh generated from a few numbers (a box, six kinds of plane, an ellipsoid,
// a tube) or filled by the user, kept as lists ready for a triangle-list draw. Created, it
// knows its counts; started by its device, it holds the vertices.
#include <cstdint>
#include <functional>
#include <vector>

#include "framework/Component.h"
#include "framework/Events.h"
#include "wdx/DirectXApi.h"
#include "wdx/WDirectXTypes.h"

// Position, normal and texture coordinates: Direct3D's untransformed, unlit vertex.
struct TD3DVertex {
    float x, y, z;
    float nx, ny, nz;
    float tu, tv;
};
static_assert(sizeof(TD3DVertex) == 32);

enum TWDirectObjectType : uint8_t {
    dxotCube,
    dxotPlaneXY,
    dxotPlaneXZ,
    dxotPlaneZY,
    dxotPlaneXY2,
    dxotPlaneXZ2,
    dxotPlaneZY2,
    dxotEllipse,
    dxotTube,
    dxotUserDefined,
};

using TCalcPointEvent = TEvent<TObject*, TD3DVertex&>;

class TWDirectObject : public TComponent, public TObject, public TWDirectXComponent {
public:
    explicit TWDirectObject(TComponent* owner);  // computes the counts
    ~TWDirectObject() override;

    // Each setter that changes a value follows the rebuild rule: rebuilt at once when
    // AutoRebuild is set.
    TWDirectObjectType ObjectType() const { return FObjectType; }
    void SetObjectType(TWDirectObjectType type);
    float PositionX() const { return FPosition[0]; }
    float PositionY() const { return FPosition[1]; }
    float PositionZ() const { return FPosition[2]; }
    void SetPositionX(float value) { SetFloat(FPosition[0], value); }
    void SetPositionY(float value) { SetFloat(FPosition[1], value); }
    void SetPositionZ(float value) { SetFloat(FPosition[2], value); }
    int SegmentsX() const { return FSegments[0]; }
    int SegmentsY() const { return FSegments[1]; }
    int SegmentsZ() const { return FSegments[2]; }
    void SetSegmentsX(int value) { SetSegments(FSegments[0], value); }  // <= 0 becomes 1
    void SetSegmentsY(int value) { SetSegments(FSegments[1], value); }
    void SetSegmentsZ(int value) { SetSegments(FSegments[2], value); }
    float SizeX() const { return FSize[0]; }
    float SizeY() const { return FSize[1]; }
    float SizeZ() const { return FSize[2]; }
    void SetSizeX(float value) { SetSize(FSize[0], value); }  // negative or NaN becomes 0
    void SetSizeY(float value) { SetSize(FSize[1], value); }
    void SetSizeZ(float value) { SetSize(FSize[2], value); }
    float TextureFactor() const { return FTextureFactor; }
    void SetTextureFactor(float value) { SetFloat(FTextureFactor, value); }
    bool Indexed() const { return FIndexed; }
    void SetIndexed(bool indexed);
    bool AutoRebuild = true;
    bool NegativeNormal = false;  // used at the next build

    int NumTriangles() const { return FNumTriangles; }
    void SetNumTriangles(int value);  // user-defined only: > 0, three times it at most 65535
    int NumVertices() const { return FNumVertices; }
    void SetNumVertices(int value);  // user-defined only: 1 to 65535
    int NumIndices() const { return FNumIndices; }
    void SetNumIndices(int) {}  // follows from the triangles

    TCalcPointEvent OnCalcPoint;
    TSomeEvent OnBeforeConstruct, OnSetData, OnAfterConstruct;

    bool Built() const { return FBuilt; }
    TWDirectX* Device() const { return FDevice; }
    // The lists; OnSetData fills them for a user-defined mesh.
    std::vector<TD3DVertex>& Vertices() { return FVertices; }
    std::vector<uint16_t>& Indices() { return FIndices; }

    void Build(TWDirectX* device);  // without a device, the counts only
    void Clear();                   // the index list stays until the next build
    void Rebuild() { Clear(), Build(FDevice); }
    // Draws the built lists as a triangle list on the device's Direct3D device, between the
    // caller's BeginScene and EndScene. Returns the draw's result (E_FAIL when not built).
    HRESULT Draw() const;

    TWDirectXComponentKind DirectXKind() const override { return dxkMesh; }
    void Start(TWDirectX* device) override { Build(device); }
    void Stop() override { Clear(); }

private:
    void Changed();
    void SetFloat(float& field, float value);
    void SetSegments(int& field, int value);
    void SetSize(float& field, float value);
    void Generate();

    TWDirectX* FDevice = nullptr;  // not owned
    TWDirectObjectType FObjectType = dxotCube;
    float FPosition[3] = {0, 0, 0};
    int FSegments[3] = {1, 1, 1};
    float FSize[3] = {1, 1, 1};
    float FTextureFactor = 1;
    bool FIndexed = false;
    bool FBuilt = false;
    int FNumTriangles = 0, FNumVertices = 0, FNumIndices = 0;
    int FUserTriangles = 0, FUserVertices = 0;  // as set for a user-defined mesh
    std::vector<TD3DVertex> FVertices;
    std::vector<uint16_t> FIndices;
};
