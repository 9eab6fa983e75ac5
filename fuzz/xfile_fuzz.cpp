// Fuzz target: the software DirectX's X-file reader on arbitrary bytes, first with the
// component layer's standard templates and then, when the input holds templates of its own,
// with the input itself as a template set. Every object, child, reference and member is
// walked, so that any read past the data a reader hands out shows up under AddressSanitizer.
//
// Build by hand until the shared fuzz set-up lands (from the worktree root):
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined \
//     -DVELLUMINE_DIRECTX_API='"SoftDxApi.h"' -Isrc/softdx/include -Isrc \
//     src/softdx/SoftDxXFile*.cpp src/wdx/XFileTemplates.cpp fuzz/xfile_fuzz.cpp -lz -o xfile_fuzz
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "wdx/XFileTemplates.h"

namespace {

volatile unsigned char Sink;

void Touch(const void* p, DWORD size)
{
    const auto* bytes = static_cast<const unsigned char*>(p);
    for (DWORD i = 0; i < size; ++i) Sink = Sink ^ bytes[i];
}

void Walk(IDirectXFileData* data, int depth)
{
    char name[512];
    DWORD length = sizeof name;
    data->GetName(name, &length);
    const GUID* type = nullptr;
    data->GetType(&type);
    DWORD size = 0;
    void* p = nullptr;
    if (data->GetData(nullptr, &size, &p) == DXFILE_OK) Touch(p, size);
    for (const char* member : {"nVertices", "faces", "filename", "matrix", "faceIndexes"})
        if (data->GetData(member, &size, &p) == DXFILE_OK) Touch(p, size);
    if (type && *type == TID_D3DRMTextureFilename && data->GetData(nullptr, &size, &p) == DXFILE_OK &&
        size == sizeof(char*))
        Sink = Sink ^ static_cast<unsigned char>(std::strlen(*static_cast<char**>(p)));
    IDirectXFileObject* child = nullptr;
    while (data->GetNextObject(&child) == DXFILE_OK) {
        IDirectXFileData* inner = nullptr;
        IDirectXFileDataReference* ref = nullptr;
        if (child->QueryInterface(IID_IDirectXFileData, reinterpret_cast<void**>(&inner)) == DXFILE_OK) {
            if (depth < 100) Walk(inner, depth + 1);
            inner->Release();
        } else if (child->QueryInterface(IID_IDirectXFileDataReference, reinterpret_cast<void**>(&ref)) == DXFILE_OK) {
            IDirectXFileData* target = nullptr;
            if (ref->Resolve(&target) == DXFILE_OK) {
                target->GetData(nullptr, &size, &p);
                Touch(p, size);
                target->Release();
            }
            ref->Release();
        }
        child->Release();
    }
}

void Read(IDirectXFile* file, const uint8_t* data, size_t size)
{
    DXFILELOADMEMORY memory{const_cast<uint8_t*>(data), static_cast<DWORD>(size)};
    IDirectXFileEnumObject* objects = nullptr;
    if (file->CreateEnumObject(&memory, DXFILELOAD_FROMMEMORY, &objects) != DXFILE_OK) return;
    IDirectXFileData* object = nullptr;
    while (objects->GetNextDataObject(&object) == DXFILE_OK) {
        Walk(object, 0);
        object->Release();
    }
    objects->GetDataObjectByName("Box", &object) == DXFILE_OK ? (void)object->Release() : (void)0;
    objects->Release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    IDirectXFile* file = nullptr;
    if (DirectXFileCreate(&file) != DXFILE_OK) return 0;
    file->RegisterTemplates(const_cast<unsigned char*>(D3DRM_XTEMPLATES), static_cast<DWORD>(D3DRM_XTEMPLATE_BYTES));
    Read(file, data, size);
    if (file->RegisterTemplates(const_cast<uint8_t*>(data), static_cast<DWORD>(size)) == DXFILE_OK)
        Read(file, data, size);
    file->Release();
    return 0;
}
