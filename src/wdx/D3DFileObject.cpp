// The model tree's nodes: geometry, faces by material slot, materials and normals.
#include "wdx/D3DFileObject.h"

#include <algorithm>
#include <cmath>

#include "wdx/WDirectX.h"

TCD3DFileObject::TCD3DFileObject(TWDirectX* device, std::string name) : Device(device), Name(std::move(name))
{
    D3DMATERIAL7& first = Materials[0].Material;
    first.diffuse = {{1}, {1}, {1}, {1}};
    first.ambient = {{1}, {1}, {1}, {1}};
}

TCD3DFileObject::~TCD3DFileObject()
{
    // Siblings are freed one after another here, so a long chain cannot exhaust the stack.
    std::unique_ptr<TCD3DFileObject> next = std::move(Next);
    while (next) next = std::move(next->Next);
    if (!Device) return;
    for (int i = 0; i < MaterialCount; ++i) Device->DestroySurface(Materials[static_cast<size_t>(i)].TextureName);
}

void TCD3DFileObject::Log(const std::string& line) const
{
    if (Device && Device->LogType == dxlogAll) Device->WriteLog(line);
}

int TCD3DFileObject::SetMeshGeometry(std::span<const float> positions, int vertexCount, int faceCount,
                                     std::span<const uint32_t> faces)
{
    Log("TCD3DFileObject.SetMeshGeometry( Vertices:" + std::to_string(vertexCount) +
        ",Faces:" + std::to_string(faceCount) + ")");
    VertexCount = vertexCount;
    Vertices.assign(static_cast<size_t>(vertexCount), TD3DFileVertex{});
    for (size_t v = 0; v < Vertices.size() && 3 * v + 2 < positions.size(); ++v)
        Vertices[v] = {positions[3 * v], positions[3 * v + 1], positions[3 * v + 2], 0, 0, 0, 0, 0};
    IndexCount = 0;
    size_t at = 0;
    for (int f = 0; f < faceCount && at < faces.size(); ++f) {
        const uint32_t n = faces[at];
        if (n > 2) IndexCount += 3 * static_cast<int>(n - 2);
        at += 1 + n;
    }
    Indices.assign(static_cast<size_t>(IndexCount), 0);
    Log("TCD3DFileObject.SetMeshGeometry( Indices:" + std::to_string(IndexCount) + ")");
    HasGeometry = true;
    return 0;
}

void TCD3DFileObject::AddFace(int slot, std::span<const uint32_t> faces, int count)
{
    if (slot < 0 || slot >= MaxMaterials) return;
    Log("TCD3DFileObject.AddFace (Material:" + std::to_string(slot) + ", NumFaces:" + std::to_string(count) + ")");
    MaterialCount = std::max(MaterialCount, slot + 1);
    // Each slot's triangles stay together: this slot writes after slots 0 to slot.
    size_t position = 0;
    for (int s = 0; s <= slot; ++s) position += static_cast<size_t>(Materials[static_cast<size_t>(s)].IndexCount);
    size_t at = 0;
    for (int f = 0; f < count && at < faces.size(); ++f) {
        const uint32_t n = faces[at];
        for (uint32_t k = 2; k < n && at + 1 + k < faces.size(); ++k)
            for (uint32_t corner : {0u, k - 1, k}) {
                if (position < Indices.size()) Indices[position] = static_cast<uint16_t>(faces[at + 1 + corner]);
                ++position;
            }
        if (n > 2) Materials[static_cast<size_t>(slot)].IndexCount += 3 * static_cast<int>(n - 2);
        at += 1 + n;
    }
    if (static_cast<int>(position) != IndexCount)
        Log("TCD3DFileObject.AddFace (IndicesCount" + std::to_string(position) + ")");
}

void TCD3DFileObject::SetMaterial(int slot, const D3DMATERIAL7& material, const std::string& textureName)
{
    if (slot < 0 || slot >= MaxMaterials) return;
    Materials[static_cast<size_t>(slot)].Material = material;
    Materials[static_cast<size_t>(slot)].TextureName = textureName;
    if (material.diffuse.a < 1.0f) Transparent = true;
}

void TCD3DFileObject::SetNormals(std::span<const float> normals)
{
    for (size_t v = 0; v < Vertices.size() && 3 * v + 2 < normals.size(); ++v) {
        Vertices[v].NX = normals[3 * v];
        Vertices[v].NY = normals[3 * v + 1];
        Vertices[v].NZ = normals[3 * v + 2];
    }
}

void TCD3DFileObject::SetTextureCoords(std::span<const float> coords)
{
    for (size_t v = 0; v < Vertices.size() && 2 * v + 1 < coords.size(); ++v) {
        Vertices[v].TU = coords[2 * v];
        Vertices[v].TV = coords[2 * v + 1];
    }
}

void TCD3DFileObject::ComputeNormals()
{
    struct Vec {
        double X = 0, Y = 0, Z = 0;
    };
    std::vector<Vec> sums(Vertices.size());
    const auto at = [this](uint16_t i) { return Vec{Vertices[i].X, Vertices[i].Y, Vertices[i].Z}; };
    for (size_t t = 0; t + 2 < Indices.size(); t += 3) {
        const uint16_t a = Indices[t], b = Indices[t + 1], c = Indices[t + 2];
        if (a >= sums.size() || b >= sums.size() || c >= sums.size()) continue;
        const Vec pa = at(a), pb = at(b), pc = at(c);
        const Vec u{pb.X - pa.X, pb.Y - pa.Y, pb.Z - pa.Z}, w{pc.X - pb.X, pc.Y - pb.Y, pc.Z - pb.Z};
        Vec n{u.Y * w.Z - u.Z * w.Y, u.Z * w.X - u.X * w.Z, u.X * w.Y - u.Y * w.X};
        const double length = std::sqrt(n.X * n.X + n.Y * n.Y + n.Z * n.Z);
        // A triangle without area has no direction: it adds nothing rather than a NaN.
        if (!(length > 0)) continue;
        for (uint16_t corner : {a, b, c}) {
            sums[corner].X += n.X / length;
            sums[corner].Y += n.Y / length;
            sums[corner].Z += n.Z / length;
        }
    }
    for (size_t v = 0; v < sums.size(); ++v) {
        Vec n = sums[v];
        double length = std::sqrt(n.X * n.X + n.Y * n.Y + n.Z * n.Z);
        if (!(length >= 0.1)) n = {1, 0, 0}, length = 1;
        Vertices[v].NX = static_cast<float>(n.X / length);
        Vertices[v].NY = static_cast<float>(n.Y / length);
        Vertices[v].NZ = static_cast<float>(n.Z / length);
    }
}

void TCD3DFileObject::SetMatrix(const float* matrix) { std::copy(matrix, matrix + 16, Matrix.begin()); }

void TCD3DFileObject::AddChild(std::unique_ptr<TCD3DFileObject> node)
{
    if (!Children) {
        Children = std::move(node);
        return;
    }
    Children->AddNext(std::move(node));
}

void TCD3DFileObject::AddNext(std::unique_ptr<TCD3DFileObject> node)
{
    TCD3DFileObject* last = this;
    while (last->Next) last = last->Next.get();
    last->Next = std::move(node);
}

void TCD3DFileObject::ForgetDevice()
{
    for (TCD3DFileObject* node = this; node; node = node->Next.get()) {
        node->Device = nullptr;
        if (node->Children) node->Children->ForgetDevice();
    }
}
