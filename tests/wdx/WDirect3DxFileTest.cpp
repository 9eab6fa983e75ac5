// The X-file component and its node tree on the platform's DirectX: the nodes' face slots,
// normals and surface release alone, then a model the test writes read through the
// platform's X-file reader (names, nesting, matrices, face slots, materials and a texture
// made through the device), the component's failure texts, and models whose own templates
// lie about the standard ones' layout.
#include "wdx/WDirect3DxFile.h"

#include <gtest/gtest.h>

#include <functional>

#include "Direct3DDevice.h"
#include "core/Paths.h"
#include "support/AllocationFaults.h"
#include "support/XFileWriter.h"
#include "wdx/XFileTemplates.h"

namespace {
bool HasReader() { return DirectXBinding().DirectXFileCreate != nullptr; }

// A frame with a matrix, holding a mesh of a quadrilateral (material 1) and a triangle
// (material 0) and one unused vertex; a loose mesh beside it.
const char* const kModel = R"(xof 0302txt 0032
Frame Box {
  FrameTransformMatrix {
    1.0, 0.0, 2.0, 0.0, 0.0, 1.0, 3.0, 0.0, 4.0, 5.0, 1.0, 6.0, 7.0, 8.0, 9.0, 1.0;;
  }
  Mesh Quad {
    5;
    0.0; 0.0; 0.0;, 1.0; 0.0; 0.0;, 1.0; 1.0; 0.0;, 0.0; 1.0; 0.0;, 5.0; 5.0; 5.0;;
    2;
    4; 0, 1, 2, 3;, 3; 0, 2, 3;;
    MeshMaterialList {
      2; 2; 1, 0;;
      Material {
        1.0; 0.0; 0.0; 0.5;; 10.0; 0.1; 0.2; 0.3;; 0.0; 0.0; 0.0;;
        TextureFilename { "tex.bmp"; }
      }
      Material { 0.0; 1.0; 0.0; 1.0;; 5.0; 0.0; 0.0; 0.0;; 0.0; 0.0; 0.0;; }
    }
  }
}
Mesh Loose {
  3; 0.0; 0.0; 0.0;, 1.0; 0.0; 0.0;, 0.0; 1.0; 0.0;;
  1; 3; 0, 1, 2;;
}
)";

class XFileTest : public Direct3DTest {
protected:
    std::string Write(const std::string& name, const std::string& text) { return Dir.WriteFile(name, text).string(); }
    // Starts the component alone on the started device; the error text when it raises.
    std::string StartFile(TWDirect3DxFile& file)
    {
        try {
            file.Start(WDX);
        } catch (const std::exception&) {
            return WDX->LastError;
        }
        return {};
    }
};
}  // namespace

TEST_F(XFileTest, NodesKeepEachSlotsTrianglesTogetherAndGiveTheirTexturesBack)
{
    WDX->PathImages = Dir.Path().string() + PathDelim;
    WriteBmp("t.bmp", TRgbPicture(4, 4, TRgb{0, 0, 255}));
    StartWindowed();
    WDX->CreateNewSurface("t.bmp", {}, 0, 0, 0, 0, 0, dxmtAuto, sdFromFile, dxstTexture, nullptr, 0);
    ASSERT_GE(WDX->SurfaceIndex("t.bmp"), 0);
    {
        TCD3DFileObject node(WDX, "n");
        const float positions[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 9, 9, 9};
        const uint32_t quad[] = {4, 0, 1, 2, 3}, triangle[] = {3, 1, 2, 3}, line[] = {2, 0, 1};
        std::vector<uint32_t> faces(std::begin(quad), std::end(quad));
        faces.insert(faces.end(), std::begin(triangle), std::end(triangle));
        faces.insert(faces.end(), std::begin(line), std::end(line));
        node.SetMeshGeometry(positions, 5, 3, faces);
        EXPECT_EQ(node.IndexCount, 9) << "a fan of two, one triangle, and nothing for a line";
        node.AddFace(0, triangle, 1);
        node.AddFace(2, quad, 1);
        node.AddFace(16, line, 1);  // no slot: ignored
        EXPECT_EQ(node.Indices, (std::vector<uint16_t>{1, 2, 3, 0, 1, 2, 0, 2, 3}));
        EXPECT_EQ(node.MaterialCount, 3);
        EXPECT_TRUE(WDX->LogHoldsInOrder(
            {"TCD3DFileObject.SetMeshGeometry( Vertices:5,Faces:3)", "TCD3DFileObject.SetMeshGeometry( Indices:9)",
             "TCD3DFileObject.AddFace (Material:0, NumFaces:1)", "TCD3DFileObject.AddFace (IndicesCount3)",
             "TCD3DFileObject.AddFace (Material:2, NumFaces:1)"}));
        EXPECT_FALSE(WDX->LogHoldsInOrder({"TCD3DFileObject.AddFace (IndicesCount9)"}));

        node.ComputeNormals();
        for (int v = 0; v < 4; ++v) {
            const TD3DFileVertex& n = node.Vertices[static_cast<size_t>(v)];
            EXPECT_EQ((std::array<float, 3>{n.NX, n.NY, n.NZ}), (std::array<float, 3>{0, 0, 1})) << v;
        }
        EXPECT_EQ(node.Vertices[4].NX, 1) << "an unused vertex";
        node.Materials[1].TextureName = "t.bmp";
        node.Materials[2].TextureName = "never made";
        D3DMATERIAL7 half{};
        half.diffuse.a = 0.5f;
        node.SetMaterial(3, half, "x");
        EXPECT_TRUE(node.Transparent);
    }
    EXPECT_LT(WDX->SurfaceIndex("t.bmp"), 0) << "freed with its node";
}

TEST_F(XFileTest, AModelReadsIntoItsTreeWithItsMatricesSlotsAndTextures)
{
    if (!HasReader()) GTEST_SKIP() << "this platform has no X-file reader yet";
    WDX->PathImages = Dir.Path().string() + PathDelim;
    WriteBmp("tex.bmp", TRgbPicture(4, 4, TRgb{255, 0, 0}));
    auto* file = new TWDirect3DxFile(Form.get());
    file->SetXFile(Write("model.x", kModel));
    struct Events : TObject {
        int Loaded = 0;
        std::vector<std::string> Names;
        void FileLoaded(TObject*) { ++Loaded; }
        void Texture(TObject*, std::string& name) { Names.push_back(name), name = "renamed"; }
    } events;
    file->OnFileLoaded = TSomeEvent::Of<&Events::FileLoaded>(&events);
    file->OnTextureFilename = TTextureFilenameEvent::Of<&Events::Texture>(&events);
    StartWindowed();
    ASSERT_TRUE(file->Active());
    EXPECT_EQ(events.Loaded, 1);
    EXPECT_EQ(events.Names, std::vector<std::string>{"tex.bmp"});
    EXPECT_GE(WDX->SurfaceIndex("tex.bmp"), 0) << "made as the model loaded";
    // Loaded again on its own, for the lines of one load.
    file->Stop();
    WDX->Lines.clear();
    file->Start(WDX);
    ASSERT_TRUE(file->Active());

    const TCD3DFileObject* root = file->Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Name, "D3DFile_Root");
    const TCD3DFileObject* box = root->Children.get();
    ASSERT_TRUE(box && box->Next);
    EXPECT_EQ(box->Name, "Box");
    EXPECT_EQ(box->Next->Name, "Loose");
    EXPECT_EQ(box->Next->IndexCount, 3);
    EXPECT_EQ(box->Matrix, (std::array<float, 16>{1, 0, -2, 0, 0, 1, -3, 0, -4, -5, 1, 6, 7, 8, -9, 1}));
    const TCD3DFileObject* quad = box->Children.get();
    ASSERT_NE(quad, nullptr);
    EXPECT_EQ(quad->Name, "Quad");
    EXPECT_EQ(quad->VertexCount, 5);
    // Slot 0 (face 1) first, then slot 1 (face 0's fan).
    EXPECT_EQ(quad->Indices, (std::vector<uint16_t>{0, 2, 3, 0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(quad->MaterialCount, 2);
    EXPECT_EQ(quad->Materials[0].IndexCount, 3);
    const D3DMATERIAL7& red = quad->Materials[0].Material;
    EXPECT_EQ((std::array<float, 4>{red.diffuse.r, red.diffuse.g, red.diffuse.b, red.diffuse.a}),
              (std::array<float, 4>{1, 0, 0, 0.5f}));
    EXPECT_EQ(red.ambient.a, 0.5f);
    EXPECT_EQ((std::array<float, 4>{red.specular.r, red.specular.g, red.specular.b, red.specular.a}),
              (std::array<float, 4>{0.1f, 0.2f, 0.3f, 0}));
    EXPECT_EQ(red.power, 10);
    EXPECT_EQ(quad->Materials[0].TextureName, "renamed");
    EXPECT_EQ(quad->Materials[1].Material.diffuse.g, 1);
    EXPECT_TRUE(quad->Transparent);
    EXPECT_EQ(quad->Vertices[0].NZ, 1);
    EXPECT_EQ(quad->Vertices[4].NX, 1);
    EXPECT_TRUE(WDX->LogHoldsInOrder(
        {"TWDirect3DxFile.ParseFrame: Box", "TWDirect3DxFile.ParseMesh: Quad",
         "TCD3DFileObject.SetMeshGeometry( Vertices:5,Faces:2)", "TCD3DFileObject.SetMeshGeometry( Indices:9)",
         "TCD3DFileObject.AddFace (Material:0, NumFaces:1)", "TCD3DFileObject.AddFace (IndicesCount3)",
         "TCD3DFileObject.AddFace (Material:1, NumFaces:1)", "TWDirectX.CreateNewSurface: tex.bmp",
         "TWDirect3DxFile.ParseMesh: Loose"}));

    // The tree's release asks for the renamed texture, which has no surface: the original stays.
    file->Stop();
    EXPECT_EQ(file->Root(), nullptr);
    EXPECT_GE(WDX->SurfaceIndex("tex.bmp"), 0);
    EXPECT_TRUE(WDX->LogHoldsInOrder({"TWDirect3DxFile.Stopped"}));
}

TEST_F(XFileTest, MissingUnreadableAndCutModelsFailWithTheirTexts)
{
    WDX->ExceptionIgnore = true;  // the device keeps running between the cases
    StartWindowed();
    TWDirect3DxFile file(nullptr);
    file.SetXFile("no such model.x");
    EXPECT_EQ(StartFile(file), "TWDirect3DxFile.Start - Cant find xfile\r");
    file.SetXFile(Write("bad.x", "not a model at all"));
    EXPECT_EQ(StartFile(file), "TWDirect3DxFile.Start - Failure\r");
    EXPECT_FALSE(file.Active());
    if (!HasReader()) GTEST_SKIP() << "this platform has no X-file reader yet";
    // A reader error part way through drops the whole tree; the component still starts.
    file.AutoLoadResources = false;
    const std::string model = kModel;
    file.SetXFile(Write("cut.x", model.substr(0, model.find("Mesh Loose") + 20)));
    EXPECT_EQ(StartFile(file), "");
    EXPECT_TRUE(file.Active());
    EXPECT_EQ(file.Root(), nullptr);
}

// Each allocation of a load made to fail in turn, in the reader or in the tree: the load
// fails or drops its tree, and nothing is thrown out of it.
TEST_F(XFileTest, AFailedAllocationFailsTheLoadWithoutThrowing)
{
    if (!HasReader()) GTEST_SKIP() << "this platform has no X-file reader yet";
    StartWindowed();
    TWDirect3DxFile file(nullptr);
    file.AutoLoadResources = false;
    const std::string path = Write("model.x", kModel);
    long n = 0;
    for (;; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        allocfaults::FailAllocation(n);
        HRESULT result = E_FAIL;
        EXPECT_NO_THROW(result = allocfaults::Counted([&] { return file.Load(path); }));
        const bool failed = allocfaults::AllocationFailed();
        allocfaults::FailAllocation(-1);
        if (!failed) {
            EXPECT_EQ(result, 0);
            ASSERT_NE(file.Root(), nullptr);
            EXPECT_NE(file.Root()->Children, nullptr);
            break;
        }
        EXPECT_TRUE(result == 0 || file.Root() == nullptr) << "a failed load keeps no tree";
    }
    EXPECT_GT(n, 20) << "the load allocates";
}

namespace {
using xfiletest::XWriter;
using TAdd = std::function<void(XWriter&)>;

// A file's own template under a standard one's id.
TAdd Spoof(const char* name, const GUID& id, std::initializer_list<const char*> members)
{
    return [=](XWriter& w) {
        w.N("template").N(name).P("{").G(id);
        std::string member = "a";
        for (const char* type : members) w.N(type).N(member).P(";"), member[0]++;
        w.P("}");
    };
}

// A white material; `inside` adds its children.
TAdd White(const TAdd& inside)
{
    return [=](XWriter& w) {
        w.N("Material").P("{").F(1).P(";").F(1).P(";").F(1).P(";").F(1).P(";;").F(0).P(";");
        w.F(0).P(";").F(0).P(";").F(0).P(";;").F(0).P(";").F(0).P(";").F(0).P(";;");
        inside(w);
        w.P("}");
    };
}

// A triangle with one material, after the file's templates; `inMesh` adds to its children.
XWriter Triangle(const TAdd& templates, const TAdd& inMesh, const TAdd& material, uint32_t lastCorner = 2)
{
    XWriter w;
    templates(w);
    w.N("Mesh").N("Tri").P("{").I(3).P(";");
    for (int v = 0; v < 3; ++v) w.F(v == 1).P(";").F(v == 2).P(";").F(0).P(v == 2 ? ";;" : ";,");
    w.I(1).P(";").I(3).P(";").I(0).P(",").I(1).P(",").I(lastCorner).P(";;");
    inMesh(w);
    w.N("MeshMaterialList").P("{").I(1).P(";").I(1).P(";").I(0).P(";;");
    material(w);
    w.P("}}");
    return w;
}
}  // namespace

// Each standard template's data is held to the size its layout gives, whichever reader let
// a file's own template under that id through (this one refuses the file; the system's
// reader may hand their data out): the mesh is left out as a damaged one, never reading
// numbers as a pointer or past the data. The real texture name beside them still loads.
TEST_F(XFileTest, DataOfAnotherLayoutUnderAStandardIdLeavesTheMeshOut)
{
    if (!HasReader()) GTEST_SKIP() << "this platform has no X-file reader yet";
    WDX->ExceptionIgnore = true;
    StartWindowed();
    const TAdd none = [](XWriter&) {};
    const TAdd texture = White([](XWriter& w) { w.N("TextureFilename").P("{").S("tex.bmp").P(";}"); });
    struct Case {
        const char* what;
        XWriter model;
        bool loads;
    };
    const Case cases[] = {
        {"the real texture name", Triangle(none, none, texture), true},
        {"a texture name of two numbers",
         Triangle(Spoof("Spoof", TID_D3DRMTextureFilename, {"DWORD", "DWORD"}), none,
                  White([](XWriter& w) { w.N("Spoof").P("{").I(0x12345678).P(";").I(0x9ABCDEF0).P(";}"); })),
         false},
        {"a material of one number",
         Triangle(Spoof("ThinMaterial", TID_D3DRMMaterial, {"FLOAT"}), none,
                  [](XWriter& w) { w.N("ThinMaterial").P("{").F(1).P(";}"); }),
         false},
        {"normals of one number",
         Triangle(
             Spoof("ThinNormals", TID_D3DRMMeshNormals, {"DWORD"}),
             [](XWriter& w) { w.N("ThinNormals").P("{").I(3).P(";}"); }, texture),
         false},
        {"a face naming a vertex the mesh lacks", Triangle(none, none, texture, 7), false},
    };
    for (const Case& c : cases)
        for (bool binary : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (binary ? " (binary)" : " (text)"));
            TWDirect3DxFile file(nullptr);
            file.AutoLoadResources = false;
            const std::vector<uint8_t> bytes =
                binary ? xfiletest::EncodeBinary(c.model.tokens) : xfiletest::EncodeText(c.model.tokens);
            file.SetXFile(Write("spoof.x", std::string(bytes.begin(), bytes.end())));
            EXPECT_EQ(StartFile(file), "");
            EXPECT_TRUE(file.Active());
            ASSERT_EQ(file.Root() != nullptr && file.Root()->Children != nullptr, c.loads);
            if (c.loads) {
                EXPECT_EQ(file.Root()->Children->Materials[0].TextureName, "tex.bmp");
            }
        }
}
