#pragma once
// TCD3DFileObject: one node of a loaded X-file model: a frame with its matrix, or a mesh with
// its vertices, triangle indices grouped by material slot and up to 16 materials. A node
// owns its next sibling and its first child, so freeing the root frees the tree.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "wdx/DirectXApi.h"

class TWDirectX;

struct TD3DFileVertex {
    float X, Y, Z;
    float NX, NY, NZ;
    float TU, TV;
};

struct TD3DFileMaterial {
    D3DMATERIAL7 Material{};
    std::string TextureName;
    int IndexCount = 0;  // the indices of this slot
};

class TCD3DFileObject {
public:
    static constexpr int MaxMaterials = 16;

    TCD3DFileObject(TWDirectX* device, std::string name);
    // Frees the siblings and children, and asks the device to destroy the surfaces named by
    // the used slots' textures.
    ~TCD3DFileObject();
    TCD3DFileObject(const TCD3DFileObject&) = delete;
    TCD3DFileObject& operator=(const TCD3DFileObject&) = delete;

    TWDirectX* Device;  // not owned; null once the device may be gone
    std::unique_ptr<TCD3DFileObject> Next, Children;
    std::string Name;
    std::array<float, 16> Matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    bool HasGeometry = false;
    int VertexCount = 0;
    std::vector<TD3DFileVertex> Vertices;
    int IndexCount = 0;
    std::vector<uint16_t> Indices;
    int MaterialCount = 0;  // highest slot a face used, plus one
    std::array<TD3DFileMaterial, MaxMaterials> Materials;
    bool Transparent = false;

    // Faces in the file's layout: per face a count n, then n vertex indices. The caller has
    // checked that the words hold the faces they promise.
    int SetMeshGeometry(std::span<const float> positions, int vertexCount, int faceCount,
                        std::span<const uint32_t> faces);
    void AddFace(int slot, std::span<const uint32_t> faces, int count);
    void SetMaterial(int slot, const D3DMATERIAL7& material, const std::string& textureName);
    void SetNormals(std::span<const float> normals);
    void SetTextureCoords(std::span<const float> coords);
    void ComputeNormals();
    void SetMatrix(const float* matrix);
    void AddChild(std::unique_ptr<TCD3DFileObject> node);
    void AddNext(std::unique_ptr<TCD3DFileObject> node);
    // Clears Device on the whole tree, for a tree freed when its device may be gone.
    void ForgetDevice();

private:
    void Log(const std::string& line) const;
};
