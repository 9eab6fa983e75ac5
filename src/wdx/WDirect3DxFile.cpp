// The X-file component: finds its model, reads it through the platform's X-file reader and
// builds the node tree. Every piece of data a reader hands out is checked against the exact
// size its template's layout gives before it is read: an id says which template an object
// is, but the file may define that template itself, and neither platform's reader is trusted
// to have refused one that lies. A mesh with a block of another size is dropped, as one whose
// data cannot be read, so a damaged model never reads past its data or follows a pointer it
// chose.
#include "wdx/WDirect3DxFile.h"

#include <cstring>
#include <new>
#include <vector>

#include "core/Paths.h"
#include "wdx/ComPtr.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectX.h"
#include "wdx/XFileTemplates.h"

namespace {
// The interfaces a child object is asked for. The data object's id is the mesh template's.
constexpr GUID kIidFileData = {0x3D82AB44, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
constexpr GUID kIidFileDataReference = {0x3D82AB45, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

bool IsType(IDirectXFileData* object, const GUID& type)
{
    const GUID* got = nullptr;
    return object->GetType(&got) == DXFILE_OK && got && SameGuid(*got, type);
}

// The object's name; one the reader cannot hand out in 80 characters is taken as empty.
std::string NameOf(IDirectXFileData* object)
{
    char name[81] = {};
    DWORD length = sizeof name;
    if (object->GetName(name, &length) != DXFILE_OK) return {};
    name[80] = 0;
    return name;
}

// An object's data read as 32-bit words and singles, refusing any read past its end.
class TDataReader {
public:
    bool Open(IDirectXFileData* object)
    {
        void* data = nullptr;
        DWORD size = 0;
        if (object->GetData(nullptr, &size, &data) != DXFILE_OK || (size && !data)) return false;
        FData = static_cast<const unsigned char*>(data);
        FSize = size;
        return true;
    }
    size_t Size() const { return FSize; }
    bool AtEnd() const { return FAt == FSize; }
    bool Word(uint32_t& value) { return Copy(&value, 4); }
    bool Skip(uint64_t count)
    {
        if (count > FSize - FAt) return false;
        FAt += count;
        return true;
    }
    // count values of four bytes each, appended to out.
    template <typename T>
    bool Values(uint64_t count, std::vector<T>& out)
    {
        static_assert(sizeof(T) == 4);
        if (count > (FSize - FAt) / 4) return false;
        const size_t old = out.size();
        out.resize(old + count);
        return Copy(out.data() + old, count * 4);
    }
    bool Bytes(void* to, size_t count) { return Copy(to, count); }

private:
    bool Copy(void* to, size_t count)
    {
        if (count > FSize - FAt) return false;
        if (count) std::memcpy(to, FData + FAt, count);
        FAt += count;
        return true;
    }
    const unsigned char* FData = nullptr;
    size_t FSize = 0, FAt = 0;
};

// A MeshFace array as the mesh and its normals hold it: per face a count and that many
// indices, each below `limit`.
bool ReadFaces(TDataReader& data, uint32_t count, uint32_t limit, std::vector<uint32_t>& faces)
{
    for (uint32_t f = 0; f < count; ++f) {
        uint32_t n = 0;
        if (!data.Word(n)) return false;
        faces.push_back(n);
        if (!data.Values(n, faces)) return false;
        for (size_t k = faces.size() - n; k < faces.size(); ++k)
            if (faces[k] >= limit) return false;
    }
    return true;
}

// Walks an object's children: each data object, or with references each resolved one too.
template <typename Visit>
void ForEachChild(IDirectXFileData* parent, bool references, Visit visit)
{
    for (;;) {
        TComPtr<IDirectXFileObject> child;
        if (parent->GetNextObject(child.Put()) != DXFILE_OK || !child) return;
        TComPtr<IDirectXFileData> data;
        if (child->QueryInterface(kIidFileData, reinterpret_cast<void**>(data.Put())) != DXFILE_OK || !data) {
            TComPtr<IDirectXFileDataReference> reference;
            if (!references ||
                child->QueryInterface(kIidFileDataReference, reinterpret_cast<void**>(reference.Put())) != DXFILE_OK ||
                !reference || reference->Resolve(data.Put()) != DXFILE_OK || !data)
                continue;
        }
        if (!visit(data.Get())) return;
    }
}
}  // namespace

TWDirect3DxFile::TWDirect3DxFile(TComponent* owner) : TComponent(owner) {}

TWDirect3DxFile::~TWDirect3DxFile()
{
    // The device may be gone before its form's other components: its surfaces are its own
    // to free then, so the tree asks nothing of it.
    if (FRoot) FRoot->ForgetDevice();
}

void TWDirect3DxFile::Log(const std::string& line) const
{
    if (FDevice && FDevice->LogType == dxlogAll) FDevice->WriteLog(line);
}

void TWDirect3DxFile::SetXFile(const std::string& name)
{
    FXFile = name;
    if (FActive && FDevice) {
        TWDirectX* device = FDevice;
        Stop();
        Start(device);
    }
}

bool TWDirect3DxFile::FindXFile(std::string& path) const
{
    // Models, like pictures, come from files: neither program carries module resources.
    const std::string candidates[] = {FXFile, FDevice->Path3DxFiles + FXFile,
                                      ProgramFolder() + PathDelim + FDevice->Path3DxFiles + FXFile};
    for (const std::string& candidate : candidates)
        if (IsRegularFile(candidate)) {
            path = candidate;
            return true;
        }
    return false;
}

void TWDirect3DxFile::Start(TWDirectX* device)
{
    FDevice = device;
    if (FActive || !device) return;
    std::string path;
    if (!FindXFile(path)) device->RaiseError(rkNone, "TWDirect3DxFile.Start - Cant find xfile", 0);
    if (Load(path) != 0) device->RaiseError(rkNone, "TWDirect3DxFile.Start - Failure", 0);
    FActive = true;
    OnFileLoaded(this);
}

void TWDirect3DxFile::Stop()
{
    FRoot.reset();
    FActive = false;
    Log("TWDirect3DxFile.Stopped");
}

HRESULT TWDirect3DxFile::Load(const std::string& path)
{
    FRoot.reset();
    const auto create = reinterpret_cast<HRESULT(WINAPI*)(LPDIRECTXFILE*)>(DirectXBinding().DirectXFileCreate);
    try {
        TComPtr<IDirectXFile> reader;
        if (!create || create(reader.Put()) != DXFILE_OK || !reader) return E_FAIL;
        if (reader->RegisterTemplates(const_cast<unsigned char*>(D3DRM_XTEMPLATES),
                                      static_cast<DWORD>(D3DRM_XTEMPLATE_BYTES)) != DXFILE_OK)
            return E_FAIL;
        TComPtr<IDirectXFileEnumObject> objects;
        if (reader->CreateEnumObject(const_cast<char*>(path.c_str()), DXFILELOAD_FROMFILE, objects.Put()) !=
                DXFILE_OK ||
            !objects)
            return E_FAIL;

        FRoot = std::make_unique<TCD3DFileObject>(FDevice, "D3DFile_Root");
        HRESULT result;
        for (;;) {
            TComPtr<IDirectXFileData> object;
            result = objects->GetNextDataObject(object.Put());
            if (result != DXFILE_OK || !object) break;
            if (IsType(object.Get(), TID_D3DRMFrame))
                ParseFrame(object.Get(), *FRoot);
            else if (IsType(object.Get(), TID_D3DRMMesh))
                ParseMesh(object.Get(), *FRoot);
        }
        if (result != DXFILEERR_NOMOREOBJECTS) FRoot.reset();
    } catch (const std::bad_alloc&) {
        // A model too large for the memory there is, in the reader or in the tree, fails as a
        // file that could not be read.
        FRoot.reset();
        return E_OUTOFMEMORY;
    } catch (...) {
        // A texture that could not be made ends the load; what was read goes with it.
        FRoot.reset();
        throw;
    }
    return 0;
}

bool TWDirect3DxFile::ParseFrame(IDirectXFileData* object, TCD3DFileObject& parent)
{
    const std::string name = NameOf(object);
    Log("TWDirect3DxFile.ParseFrame: " + name);
    auto node = std::make_unique<TCD3DFileObject>(FDevice, name);
    bool ok = true;
    ForEachChild(object, false, [&](IDirectXFileData* child) {
        if (IsType(child, TID_D3DRMFrame)) {
            ParseFrame(child, *node);
        } else if (IsType(child, TID_D3DRMMesh)) {
            ParseMesh(child, *node);
        } else if (IsType(child, TID_D3DRMFrameTransformMatrix)) {
            TDataReader data;
            if (!data.Open(child)) return ok = false;
            float m[16];
            // A matrix of another size is passed over, as a frame without one.
            if (data.Size() != sizeof m) return true;
            data.Bytes(m, sizeof m);
            // The file's hand of coordinates is turned into Direct3D's.
            for (int i : {2, 6, 8, 9, 14}) m[i] = -m[i];
            node->SetMatrix(m);
        }
        return ok;
    });
    if (!ok) return false;
    parent.AddChild(std::move(node));
    return true;
}

bool TWDirect3DxFile::ParseMesh(IDirectXFileData* object, TCD3DFileObject& parent)
{
    const std::string name = NameOf(object);
    Log("TWDirect3DxFile.ParseMesh: " + name);
    TDataReader data;
    uint32_t vertexCount = 0, faceCount = 0;
    std::vector<float> positions;
    std::vector<uint32_t> faces;
    // Faces are checked whole: counts inside the data, indices inside the vertices. Indices
    // are 16-bit, so a mesh of more than 65,536 vertices is refused as damaged.
    if (!data.Open(object) || !data.Word(vertexCount) || !data.Values(3ull * vertexCount, positions) ||
        !data.Word(faceCount) || vertexCount > 65536 || !ReadFaces(data, faceCount, vertexCount, faces) ||
        !data.AtEnd())
        return Damaged(object);

    auto node = std::make_unique<TCD3DFileObject>(FDevice, name);
    node->SetMeshGeometry(positions, static_cast<int>(vertexCount), static_cast<int>(faceCount), faces);
    bool ok = true, hasMaterials = false, hasNormals = false;
    ForEachChild(object, false, [&](IDirectXFileData* child) {
        if (IsType(child, TID_D3DRMMeshMaterialList)) {
            hasMaterials = true;
            ok = ParseMaterialList(child, *node, static_cast<int>(faceCount), faces.data(), faces.size());
        } else if (IsType(child, TID_D3DRMMeshNormals) || IsType(child, TID_D3DRMMeshTextureCoords)) {
            const bool normals = IsType(child, TID_D3DRMMeshNormals);
            TDataReader part;
            uint32_t count = 0, faceNormals = 0;
            std::vector<float> values;
            std::vector<uint32_t> normalFaces;
            if (!part.Open(child) || !part.Word(count) || !part.Values(uint64_t{count} * (normals ? 3 : 2), values) ||
                (normals && (!part.Word(faceNormals) || !ReadFaces(part, faceNormals, count, normalFaces))) ||
                !part.AtEnd())
                return ok = Damaged(child);
            // Normals of their own count (one per face corner) are the file's choice, not a
            // fault; this tree keeps normals by vertex, so it computes them instead.
            if (count != vertexCount) return true;
            if (normals) {
                node->SetNormals(values);
                hasNormals = true;
            } else {
                node->SetTextureCoords(values);
            }
        }
        return ok;
    });
    if (!ok) return false;
    if (!hasMaterials) node->AddFace(0, faces, static_cast<int>(faceCount));
    if (!hasNormals) node->ComputeNormals();
    parent.AddChild(std::move(node));
    return true;
}

bool TWDirect3DxFile::ParseMaterialList(IDirectXFileData* list, TCD3DFileObject& node, int faceCount,
                                        const uint32_t* faces, size_t faceWords)
{
    TDataReader data;
    uint32_t materials = 0, count = 0;
    std::vector<uint32_t> numbers;
    if (!data.Open(list) || !data.Word(materials) || !data.Word(count) || !data.Values(count, numbers) || !data.AtEnd())
        return Damaged(list);
    const std::span<const uint32_t> all(faces, faceWords);
    if (materials == 1 || count != static_cast<uint32_t>(faceCount)) {
        node.AddFace(0, all, faceCount);
    } else {
        std::vector<size_t> starts;
        for (size_t at = 0; starts.size() < numbers.size(); at += 1 + faces[at]) starts.push_back(at);
        // Slots from 16 on take nothing, so the walk stops there.
        for (uint32_t m = 0; m < materials && m < TCD3DFileObject::MaxMaterials; ++m)
            for (size_t i = 0; i < numbers.size(); ++i)
                if (numbers[i] == m) node.AddFace(static_cast<int>(m), all.subspan(starts[i]), 1);
    }
    int slot = 0;
    bool ok = true;
    ForEachChild(list, true, [&](IDirectXFileData* child) {
        if (!IsType(child, TID_D3DRMMaterial)) return true;
        if (slot < TCD3DFileObject::MaxMaterials) {
            TDataReader material;
            float values[11];
            if (!material.Open(child) || material.Size() != sizeof values) return ok = Damaged(child);
            material.Bytes(values, sizeof values);
            D3DMATERIAL7 record{};
            record.diffuse = {{values[0]}, {values[1]}, {values[2]}, {values[3]}};
            record.ambient = record.diffuse;
            record.power = values[4];
            record.specular = {{values[5]}, {values[6]}, {values[7]}, {0}};
            record.emissive = {{values[8]}, {values[9]}, {values[10]}, {0}};
            if (!SetMaterial(node, slot, child, record)) return ok = false;
        }
        ++slot;
        return true;
    });
    return ok;
}

bool TWDirect3DxFile::SetMaterial(TCD3DFileObject& node, int slot, IDirectXFileData* material,
                                  const D3DMATERIAL7& record)
{
    std::string texture;
    bool named = false, ok = true;
    ForEachChild(material, false, [&](IDirectXFileData* child) {
        if (!IsType(child, TID_D3DRMTextureFilename)) return true;
        // A string member is handed out as a pointer to the reader's own text. A file's own
        // template under this id with other members would hand out numbers of its choosing
        // here; a reader that let one through is caught by the size where it can be.
        TDataReader data;
        const char* text = nullptr;
        if (!data.Open(child) || data.Size() != sizeof text) return ok = Damaged(child);
        data.Bytes(&text, sizeof text);
        if (text) {
            texture = text;
            named = true;
        }
        return false;
    });
    if (!ok) return false;
    if (named) {
        if (AutoLoadResources && FDevice)
            FDevice->CreateNewSurface(texture, {}, 0, 0, 0, 0, 0, dxmtAuto, sdFromFile, dxstTexture, nullptr, 0);
        OnTextureFilename(this, texture);
    }
    node.SetMaterial(slot, record, texture);
    return true;
}

bool TWDirect3DxFile::Damaged(IDirectXFileData* object) const
{
    Log("TWDirect3DxFile.Load - Damaged data: " + NameOf(object));
    return false;
}
