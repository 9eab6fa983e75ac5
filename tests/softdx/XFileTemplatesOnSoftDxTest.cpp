// The standard template set the component layer registers, read by the software DirectX's
// reader: each template's id is the one the layer compares with, and its data has the size
// its members give in DirectX's layout.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/XFileWriter.h"
#include "wdx/XFileTemplates.h"

namespace {

TEST(XFileTemplatesOnSoftDx, EachStandardTemplateReadsWithItsIdAndLayout)
{
    ASSERT_GT(D3DRM_XTEMPLATE_BYTES, 16u);
    EXPECT_EQ(std::memcmp(D3DRM_XTEMPLATES, "xof 0302bin 0064", 16), 0);
    IDirectXFile* file = nullptr;
    ASSERT_EQ(DirectXFileCreate(&file), DXFILE_OK);
    ASSERT_EQ(file->RegisterTemplates(const_cast<unsigned char*>(D3DRM_XTEMPLATES), DWORD(D3DRM_XTEMPLATE_BYTES)),
              DXFILE_OK);

    struct Case {
        const char* object;
        const GUID& id;
        DWORD size;
    };
    const Case cases[] = {
        {"Header { 1; 0; 1; }", TID_DXFILEHeader, 8},
        {"Vector { 1.0; 2.0; 3.0; }", TID_D3DRMVector, 12},
        {"Coords2d { 0.5; 0.25; }", TID_D3DRMCoords2d, 8},
        {"Matrix4x4 { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }", TID_D3DRMMatrix4x4, 64},
        {"FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }", TID_D3DRMFrameTransformMatrix, 64},
        {"ColorRGBA { 1; 0; 0; 1; }", TID_D3DRMColorRGBA, 16},
        {"ColorRGB { 1; 0; 0; }", TID_D3DRMColorRGB, 12},
        {"IndexedColor { 3; 1; 0; 0; 1;; }", TID_D3DRMIndexedColor, 20},
        {"Boolean { 1; }", TID_D3DRMBoolean, 2},
        {"Boolean2d { 1; 0; }", TID_D3DRMBoolean2d, 4},
        {"TextureFilename { \"wood.png\"; }", TID_D3DRMTextureFilename, sizeof(char*)},
        {"Material { 1;1;1;0.5;; 8.0; 0;0;0;; 0;0;0;; TextureFilename { \"a.png\"; } }", TID_D3DRMMaterial, 44},
        {"MeshFace { 3; 0,1,2; }", TID_D3DRMMeshFace, 16},
        {"MeshFaceWraps { 1; 1;0;; }", TID_D3DRMMeshFaceWraps, 8},
        {"MeshTextureCoords { 3; 0;0;, 1;0;, 0;1;; }", TID_D3DRMMeshTextureCoords, 28},
        {"MeshNormals { 3; 0;0;1;, 0;0;1;, 0;0;1;; 1; 3; 0,1,2;; }", TID_D3DRMMeshNormals, 4 + 36 + 4 + 16},
        {"MeshVertexColors { 1; 0; 1;1;1;1;;; }", TID_D3DRMMeshVertexColors, 24},
        {"Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3; 0,1,2;; MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; "
         "0;0;0;; 0;0;0;; } } }",
         TID_D3DRMMesh, 4 + 36 + 4 + 16},
        {"MeshMaterialList { 1; 2; 0, 0;; { M } }", TID_D3DRMMeshMaterialList, 16},
        {"Frame F { Frame G { Mesh { 0;; 0;; } } }", TID_D3DRMFrame, 0},
        {"FloatKeys { 2; 1.0, 2.0;; }", TID_D3DRMFloatKeys, 12},
        {"TimedFloatKeys { 5; 1; 1.0;;; }", TID_D3DRMTimedFloatKeys, 12},
        {"AnimationKey { 0; 1; 5; 4; 1,0,0,0;;; }", TID_D3DRMAnimationKey, 8 + 4 + 4 + 16},
        {"AnimationOptions { 1; 0; }", TID_D3DRMAnimationOptions, 8},
        {"AnimationSet { Animation { { F } AnimationKey { 0; 0; } } }", TID_D3DRMAnimationSet, 0},
    };
    std::string text;
    for (const Case& c : cases) text += std::string(c.object) + "\n";
    std::vector<uint8_t> bytes = xfiletest::Header("txt ", 32);
    bytes.insert(bytes.end(), text.begin(), text.end());
    DXFILELOADMEMORY memory{bytes.data(), DWORD(bytes.size())};
    IDirectXFileEnumObject* objects = nullptr;
    ASSERT_EQ(file->CreateEnumObject(&memory, DXFILELOAD_FROMMEMORY, &objects), DXFILE_OK);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.object);
        IDirectXFileData* data = nullptr;
        ASSERT_EQ(objects->GetNextDataObject(&data), DXFILE_OK);
        const GUID* type = nullptr;
        ASSERT_EQ(data->GetType(&type), DXFILE_OK);
        EXPECT_EQ(*type, c.id);
        DWORD size = 0;
        void* p = nullptr;
        ASSERT_EQ(data->GetData(nullptr, &size, &p), DXFILE_OK);
        EXPECT_EQ(size, c.size);
        data->Release();
    }
    IDirectXFileData* none = nullptr;
    EXPECT_EQ(objects->GetNextDataObject(&none), DXFILEERR_NOMOREOBJECTS);
    objects->Release();
    file->Release();
}

}  // namespace
