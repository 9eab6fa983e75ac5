// The X-file reader: one model written in every encoding reads back as the same tree (names,
// types, data laid out as DirectX lays it out, children, references); damaged files end in a
// result code, never a crash or a read past their end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "SoftDxApi.h"
#include "support/XFileWriter.h"

using namespace xfiletest;

namespace {

constexpr GUID VectorId = {0x3D82AB5E, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
constexpr GUID FaceId = {0x3D82AB5F, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
constexpr GUID MeshId = {0x3D82AB44, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
constexpr GUID FrameId = {0x3D82AB46, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
constexpr GUID MaterialId = {0x3D82AB4D, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
constexpr GUID ListId = {0xF6F23F42, 0x7686, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
constexpr GUID MatrixId = {0xF6F23F41, 0x7686, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
constexpr GUID TextureId = {0xA42790E1, 0x7810, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
constexpr GUID GridId = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr GUID SharedId = {0x0BADF00D, 0x1234, 0x5678, {0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78}};

// A small template set of the test's own: nested templates, arrays sized by earlier members,
// by numbers and by both, strings, every kind of number, open, closed and restricted ones.
XWriter Templates()
{
    XWriter w;
    w.N("template").N("Vector").P("{").G(VectorId).N("FLOAT").N("x").P(";").N("FLOAT").N("y").P(";");
    w.N("FLOAT").N("z").P(";").P("}");
    w.N("template").N("MeshFace").P("{").G(FaceId).N("DWORD").N("n").P(";");
    w.N("array").N("DWORD").N("indices").P("[").N("n").P("];").P("}");
    w.N("template").N("Mesh").P("{").G(MeshId).N("DWORD").N("nVertices").P(";");
    w.N("array").N("Vector").N("vertices").P("[").N("nVertices").P("];").N("DWORD").N("nFaces").P(";");
    w.N("array").N("MeshFace").N("faces").P("[").N("nFaces").P("];").P("[...]}");
    w.N("template").N("TextureFilename").P("{").G(TextureId).N("STRING").N("filename").P(";}");
    w.N("template").N("Material").P("{").G(MaterialId).N("array").N("FLOAT").N("colour").P("[").I(4).P("];");
    w.N("FLOAT").N("power").P(";[").N("TextureFilename").P("]}");
    w.N("template").N("MeshMaterialList").P("{").G(ListId).N("DWORD").N("nMaterials").P(";");
    w.N("DWORD").N("nFaceIndexes").P(";").N("array").N("DWORD").N("faceIndexes").P("[").N("nFaceIndexes");
    w.P("];[").N("Material").G(MaterialId).P("]}");
    w.N("template").N("FrameTransformMatrix").P("{").G(MatrixId).N("array").N("FLOAT").N("m").P("[").I(16);
    w.P("];}");
    w.N("template").N("Frame").P("{").G(FrameId).P("[...]}");
    // Every number kind, and a two-dimensional array with one size from the data.
    w.N("template").N("Grid").P("{").G(GridId).N("WORD").N("rows").P(";").N("CHAR").N("tag").P(";");
    w.N("SDWORD").N("offset").P(";").N("DOUBLE").N("scale").P(";");
    w.N("array").N("SWORD").N("cells").P("[").N("rows").P("][").I(2).P("];}");
    return w;
}

// The model: a material with an id at the top, a frame with a matrix, a mesh (a triangle and
// a quadrilateral, two materials, one given in place and one by reference), a nested frame
// referring to the mesh by name and to the material by id, and a grid of numbers.
XWriter Model()
{
    XWriter w;
    w.N("Material").N("Shared").P("{").G(SharedId).F(0.5).P(",").F(0.25).P(",").F(1).P(",").F(1).P(";;");
    w.F(8).P(";").N("TextureFilename").P("{").S("shared.png").P(";}").P("}");
    w.N("Frame").N("Root").P("{");
    w.N("FrameTransformMatrix").P("{");
    for (int i = 0; i < 16; ++i) w.F(i % 5 == 0 ? 1.0 : i * 0.25).P(i == 15 ? ";;" : ",");
    w.P("}");
    w.N("Mesh").N("Box").P("{").I(4).P(";");
    const double v[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, -0.5}, {0, 1, 2.75}};
    for (int i = 0; i < 4; ++i) w.F(v[i][0]).P(";").F(v[i][1]).P(";").F(v[i][2]).P(i == 3 ? ";;" : ";,");
    w.I(2).P(";").I(3).P(";").I(0).P(",").I(1).P(",").I(2).P(";,");
    w.I(4).P(";").I(0).P(",").I(1).P(",").I(2).P(",").I(3).P(";;");
    w.N("MeshMaterialList").P("{").I(2).P(";").I(2).P(";").I(1).P(",").I(0).P(";;");
    w.N("Material").P("{").F(1).P(",").F(0).P(",").F(0).P(",").F(0.5).P(";;").F(2).P(";}");
    w.P("{").N("Shared").P("}").P("}").P("}");
    w.N("Frame").N("Inner").P("{").P("{").N("Box").P("}").P("{").G(SharedId).P("}").P("}");
    w.P("}");
    w.N("Grid").N("Numbers").P("{").I(2).P(";").I(65).P(";").I(uint32_t(-7)).P(";").F(-1.5).P(";");
    w.I(1).P(",").I(2).P(",").I(3).P(",").I(uint32_t(-4)).P(";;").P("}");
    return w;
}

std::vector<uint8_t> TemplateBytes() { return EncodeBinary(Templates().tokens); }

// The encodings the reader must read alike.
struct Encoding {
    const char* name;
    std::function<std::vector<uint8_t>(const std::vector<XTok>&)> encode;
};
const Encoding Encodings[] = {
    {"txt 32", [](const auto& t) { return EncodeText(t, 32); }},
    {"txt 64", [](const auto& t) { return EncodeText(t, 64); }},
    {"bin 32", [](const auto& t) { return EncodeBinary(t, 32); }},
    {"bin 64", [](const auto& t) { return EncodeBinary(t, 64); }},
    {"tzip", [](const auto& t) { return Compress(EncodeText(t), 100); }},
    {"bzip", [](const auto& t) { return Compress(EncodeBinary(t, 64), 64); }},
};

class Reader {
public:
    Reader()
    {
        EXPECT_EQ(DirectXFileCreate(&File), DXFILE_OK);
        std::vector<uint8_t> templates = TemplateBytes();
        EXPECT_EQ(File->RegisterTemplates(templates.data(), DWORD(templates.size())), DXFILE_OK);
    }
    ~Reader()
    {
        if (Enum) Enum->Release();
        File->Release();
    }
    HRESULT Open(std::vector<uint8_t> bytes)
    {
        Bytes = std::move(bytes);
        DXFILELOADMEMORY memory{Bytes.data(), DWORD(Bytes.size())};
        return File->CreateEnumObject(&memory, DXFILELOAD_FROMMEMORY, &Enum);
    }
    // The whole tree as text: type, name, id, data (strings followed), children, and each
    // reference with what it resolves to. `end` gets the result that ended the walk.
    std::string Walk(HRESULT& end)
    {
        std::string s;
        IDirectXFileData* data = nullptr;
        while ((end = Enum->GetNextDataObject(&data)) == DXFILE_OK) {
            s += Describe(data, 0);
            data->Release();
        }
        return s;
    }
    static std::string Describe(IDirectXFileData* data, int depth)
    {
        char name[300];
        DWORD size = sizeof name;
        EXPECT_EQ(data->GetName(name, &size), DXFILE_OK);
        const GUID* type = nullptr;
        EXPECT_EQ(data->GetType(&type), DXFILE_OK);
        GUID id{};
        EXPECT_EQ(data->GetId(&id), DXFILE_OK);
        DWORD bytes = 0;
        void* p = nullptr;
        EXPECT_EQ(data->GetData(nullptr, &bytes, &p), DXFILE_OK);
        std::string s = std::string(size_t(depth) * 2, ' ') + GuidText(*type) + " '" + name + "' " + GuidText(id) + ' ';
        if (*type == TextureId) {
            s += *static_cast<char**>(p);  // a string member is a pointer to its text
        } else {
            char hex[4];
            for (DWORD i = 0; i < bytes; ++i) {
                std::snprintf(hex, sizeof hex, "%02x", static_cast<uint8_t*>(p)[i]);
                s += hex;
            }
        }
        s += '\n';
        IDirectXFileObject* child = nullptr;
        while (data->GetNextObject(&child) == DXFILE_OK) {
            IDirectXFileData* inner = nullptr;
            IDirectXFileDataReference* ref = nullptr;
            if (child->QueryInterface(IID_IDirectXFileData, reinterpret_cast<void**>(&inner)) == DXFILE_OK) {
                s += Describe(inner, depth + 1);
                inner->Release();
            } else if (child->QueryInterface(IID_IDirectXFileDataReference, reinterpret_cast<void**>(&ref)) ==
                       DXFILE_OK) {
                IDirectXFileData* target = nullptr;
                const HRESULT hr = ref->Resolve(&target);
                s += std::string(size_t(depth) * 2 + 2, ' ') + "-> ";
                if (hr == DXFILE_OK) {
                    size = sizeof name;
                    target->GetName(name, &size);
                    s += name;
                    target->Release();
                } else {
                    s += "unresolved " + std::to_string(hr);
                }
                s += '\n';
                ref->Release();
            } else {
                ADD_FAILURE() << "a child that is neither data nor a reference";
            }
            child->Release();
        }
        return s;
    }

    IDirectXFile* File = nullptr;
    IDirectXFileEnumObject* Enum = nullptr;
    std::vector<uint8_t> Bytes;
};

template <typename T>
void Put(std::string& hex, T value)
{
    char b[4];
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        std::snprintf(b, sizeof b, "%02x", reinterpret_cast<uint8_t*>(&value)[i]);
        hex += b;
    }
}

TEST(SoftDxXFile, EveryEncodingGivesTheSameTreeWithDirectXsDataLayout)
{
    std::string first;
    for (const Encoding& e : Encodings) {
        SCOPED_TRACE(e.name);
        Reader r;
        ASSERT_EQ(r.Open(e.encode(Model().tokens)), DXFILE_OK);
        HRESULT end = 0;
        const std::string tree = r.Walk(end);
        EXPECT_EQ(end, DXFILEERR_NOMOREOBJECTS);
        if (first.empty()) {
            first = tree;
            // The mesh's data, built here from the model's numbers: vertex count, vectors, face
            // count, faces as a count followed by indices.
            std::string mesh;
            Put(mesh, uint32_t(4));
            for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 1.f, 1.f, -0.5f, 0.f, 1.f, 2.75f}) Put(mesh, f);
            for (uint32_t d : {2u, 3u, 0u, 1u, 2u, 4u, 0u, 1u, 2u, 3u}) Put(mesh, d);
            EXPECT_NE(tree.find("'Box' 00000000-0000-0000-0000-000000000000 " + mesh + "\n"), std::string::npos);
            std::string grid;
            Put(grid, uint16_t(2));
            Put(grid, uint8_t(65));
            Put(grid, int32_t(-7));
            Put(grid, -1.5);
            for (int16_t c : {1, 2, 3, -4}) Put(grid, c);
            EXPECT_NE(tree.find("'Numbers' 00000000-0000-0000-0000-000000000000 " + grid + "\n"), std::string::npos);
            EXPECT_NE(tree.find("'Shared' " + GuidText(SharedId)), std::string::npos);
            EXPECT_NE(tree.find(" shared.png\n"), std::string::npos);
            // Both references resolve: the mesh by name, the material by id, inside the list
            // and inside the nested frame.
            EXPECT_EQ(tree.find("unresolved"), std::string::npos) << tree;
            EXPECT_NE(tree.find("    -> Box\n    -> Shared\n"), std::string::npos) << tree;
            EXPECT_NE(tree.find("      -> Shared\n"), std::string::npos) << tree;
        }
        EXPECT_EQ(tree, first);
    }
}

TEST(SoftDxXFile, DataByMemberNamesAndLookUpByNameOrId)
{
    Reader r;
    ASSERT_EQ(r.Open(EncodeBinary(Model().tokens)), DXFILE_OK);
    IDirectXFileData* shared = nullptr;
    IDirectXFileData* root = nullptr;
    ASSERT_EQ(r.Enum->GetNextDataObject(&shared), DXFILE_OK);
    ASSERT_EQ(r.Enum->GetNextDataObject(&root), DXFILE_OK);
    DWORD size = 0;
    void* p = nullptr;
    ASSERT_EQ(shared->GetData("power", &size, &p), DXFILE_OK);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(*static_cast<float*>(p), 8.0f);
    ASSERT_EQ(shared->GetData("colour", &size, &p), DXFILE_OK);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(static_cast<float*>(p)[1], 0.25f);
    EXPECT_EQ(shared->GetData("missing", &size, &p), DXFILEERR_NOTFOUND);

    // A name buffer one byte short is refused; a null buffer asks for the size.
    DWORD length = 0;
    EXPECT_EQ(root->GetName(nullptr, &length), DXFILE_OK);
    EXPECT_EQ(length, 5u);
    char name[8];
    length = 4;
    EXPECT_EQ(root->GetName(name, &length), DXFILEERR_BADVALUE);

    IDirectXFileData* found = nullptr;
    ASSERT_EQ(r.Enum->GetDataObjectByName("Box", &found), DXFILE_OK);
    const GUID* type = nullptr;
    found->GetType(&type);
    EXPECT_EQ(*type, MeshId);
    found->Release();
    ASSERT_EQ(r.Enum->GetDataObjectById(SharedId, &found), DXFILE_OK);
    found->Release();
    EXPECT_EQ(r.Enum->GetDataObjectByName("Numbers", &found), DXFILEERR_NOTFOUND) << "not read yet";
    shared->Release();
    root->Release();
}

TEST(SoftDxXFile, ReadsFromAFileAndReportsAMissingOne)
{
    const std::string path = ::testing::TempDir() + "softdx_xfile_model.x";
    const std::vector<uint8_t> bytes = EncodeText(Model().tokens);
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    Reader r;
    ASSERT_EQ(r.File->CreateEnumObject(const_cast<char*>(path.c_str()), DXFILELOAD_FROMFILE, &r.Enum), DXFILE_OK);
    HRESULT end = 0;
    EXPECT_NE(r.Walk(end).find("'Box'"), std::string::npos);
    EXPECT_EQ(end, DXFILEERR_NOMOREOBJECTS);
    std::remove(path.c_str());
    IDirectXFileEnumObject* e = nullptr;
    EXPECT_EQ(r.File->CreateEnumObject(const_cast<char*>(path.c_str()), DXFILELOAD_FROMFILE, &e),
              DXFILEERR_FILENOTFOUND);
}

std::vector<uint8_t> Text(const std::string& body)
{
    std::vector<uint8_t> bytes = Header("txt ", 32);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

std::string Nested(int depth)
{
    std::string s;
    for (int i = 0; i < depth; ++i) s += "Frame {\n";
    return s + std::string(size_t(depth), '}');
}

TEST(SoftDxXFile, DamagedFilesEndInAResultCode)
{
    const std::vector<uint8_t> binary = EncodeBinary(Model().tokens);
    std::vector<uint8_t> badDeflate = Compress(binary);
    badDeflate[26] ^= 0xFF;  // inside the first block's deflate data
    std::vector<uint8_t> shortBlock = Compress(binary);
    shortBlock.resize(shortBlock.size() - 5);
    std::vector<uint8_t> listLie = binary;
    // The mesh's first number list claims far more numbers than the file holds.
    for (std::size_t i = 16; i + 6 <= listLie.size(); ++i)
        if (listLie[i] == 6 && listLie[i + 1] == 0 && listLie[i + 2] == 1) {
            listLie[i + 4] = 0x40;
            break;
        }
    std::vector<uint8_t> nameLie = binary;
    nameLie[16 + 2 + 3] = 0x7F;  // the first name's length, beyond the file's end
    // A string's terminator is a two-byte token like any other; four bytes leave a token 0.
    std::vector<uint8_t> wideTerminator = Header("bin ", 32);
    for (uint8_t b : std::string("\1\0\x0F\0\0\0TextureFilename\x0A\0\2\0\1\0\0\0a\x14\0\0\0\x0B\0", 36))
        wideTerminator.push_back(b);

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        HRESULT open;  // CreateEnumObject's result
        HRESULT walk;  // what ends the walk when the file opens
    };
    const Case cases[] = {
        {"empty", {}, DXFILEERR_BADFILETYPE, 0},
        {"header cut short",
         [] {
             auto b = Text("");
             b.resize(10);
             return b;
         }(),
         DXFILEERR_BADFILETYPE, 0},
        {"not an X file", std::vector<uint8_t>(20, 'x'), DXFILEERR_BADFILETYPE, 0},
        {"unknown version",
         [] {
             auto b = Text("");
             b[6] = '9';
             return b;
         }(),
         DXFILEERR_BADFILEVERSION, 0},
        {"unknown format",
         [] {
             auto b = Text("");
             b[8] = 'q';
             return b;
         }(),
         DXFILEERR_BADFILETYPE, 0},
        {"unknown float size",
         [] {
             auto b = Text("");
             b[14] = '1';
             return b;
         }(),
         DXFILEERR_BADFILEFLOATSIZE, 0},
        {"damaged deflate data", badDeflate, DXFILEERR_BADFILE, 0},
        {"last block cut short", shortBlock, DXFILEERR_BADFILE, 0},
        {"undefined template", Text("Gadget G { 1; }"), DXFILE_OK, DXFILEERR_NOTEMPLATE},
        {"template of an undefined type", Text("template T { <01234567-89AB-CDEF-0123-456789ABCDEF> Gizmo g; }"),
         DXFILE_OK, DXFILEERR_NOTEMPLATE},
        {"array sized by a later member",
         Text("template T { <01234567-89AB-CDEF-0123-456789ABCDEF> array DWORD a[n]; DWORD n; }"), DXFILE_OK,
         DXFILEERR_PARSEERROR},
        {"array size beyond the file", Text("Mesh { 1000000; 0;0;0;; 0;; }"), DXFILE_OK, DXFILEERR_BADARRAYSIZE},
        {"faces beyond the file", Text("Mesh { 1; 0;0;0;; 4000000000; }"), DXFILE_OK, DXFILEERR_BADARRAYSIZE},
        {"binary list beyond the file", listLie, DXFILE_OK, DXFILEERR_PARSEERROR},
        {"binary name beyond the file", nameLie, DXFILE_OK, DXFILEERR_PARSEERROR},
        {"binary string ended by four bytes", wideTerminator, DXFILE_OK, DXFILEERR_PARSEERROR},
        {"name too long", Text("Frame " + std::string(300, 'n') + " { }"), DXFILE_OK, DXFILEERR_PARSEERROR},
        {"nesting too deep", Text(Nested(100)), DXFILE_OK, DXFILEERR_PARSEERROR},
        {"child of a closed template", Text("TextureFilename { \"a\"; Frame { } }"), DXFILE_OK, DXFILEERR_PARSEERROR},
        {"child a restricted template refuses", Text("MeshMaterialList { 1; 0;; Frame { } }"), DXFILE_OK,
         DXFILEERR_PARSEERROR},
        {"string where a number belongs", Text("Grid { \"two\"; }"), DXFILE_OK, DXFILEERR_PARSEERROR},
        {"unterminated string", Text("TextureFilename { \"a.png"), DXFILE_OK, DXFILEERR_PARSEERROR},
        {"object left open", Text("Frame F { Frame G { }"), DXFILE_OK, DXFILEERR_BADFILE},
        {"stray character", Text("Frame F { @ }"), DXFILE_OK, DXFILEERR_PARSEERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reader r;
        ASSERT_EQ(r.Open(c.bytes), c.open);
        if (c.open != DXFILE_OK) continue;
        HRESULT end = 0;
        r.Walk(end);
        EXPECT_EQ(end, c.walk);
        // The fault stays: the enumeration does not go on past it.
        IDirectXFileData* data = nullptr;
        EXPECT_EQ(r.Enum->GetNextDataObject(&data), c.walk);
        EXPECT_EQ(data, nullptr);
    }
    // Nesting well within the cap is read.
    Reader deep;
    ASSERT_EQ(deep.Open(Text(Nested(40))), DXFILE_OK);
    HRESULT end = 0;
    deep.Walk(end);
    EXPECT_EQ(end, DXFILEERR_NOMOREOBJECTS);
}

TEST(SoftDxXFile, EveryCutOfAFileEndsInAResultOrAShorterTree)
{
    for (const Encoding& e : Encodings) {
        SCOPED_TRACE(e.name);
        const std::vector<uint8_t> whole = e.encode(Model().tokens);
        for (std::size_t length = 0; length < whole.size(); ++length) {
            Reader r;
            // A copy of exactly `length` bytes, so that a read past the cut reads past the buffer.
            if (r.Open(std::vector<uint8_t>(whole.begin(), whole.begin() + std::ptrdiff_t(length))) != DXFILE_OK)
                continue;
            HRESULT end = 0;
            const std::string tree = r.Walk(end);
            const bool onlySpaceCut = std::all_of(whole.begin() + std::ptrdiff_t(length), whole.end(),
                                                  [](uint8_t c) { return c == '\n' || c == ' '; });
            if (end == DXFILEERR_NOMOREOBJECTS && !onlySpaceCut) {
                // Only a cut between top-level objects reads cleanly, as the objects before it.
                EXPECT_EQ(tree.find("'Numbers'"), std::string::npos) << length;
            } else {
                EXPECT_TRUE(FAILED(end)) << length;
            }
        }
    }
}

TEST(SoftDxXFile, UnresolvableReferenceAndFaultyTemplatesAreReported)
{
    Reader r;
    ASSERT_EQ(r.Open(Text("Frame F { { Nowhere } }")), DXFILE_OK);
    HRESULT end = 0;
    EXPECT_NE(r.Walk(end).find("-> unresolved " + std::to_string(DXFILEERR_BADDATAREFERENCE)), std::string::npos);

    // A faulty template set is refused and leaves the registered set as it was.
    const std::vector<uint8_t> faulty = Text("template Broken { <01234567-89AB-CDEF-0123-456789ABCDEF> Nothing n; }");
    EXPECT_EQ(r.File->RegisterTemplates(const_cast<uint8_t*>(faulty.data()), DWORD(faulty.size())),
              DXFILEERR_NOTEMPLATE);
    EXPECT_EQ(r.File->RegisterTemplates(const_cast<uint8_t*>(faulty.data()), 8), DXFILEERR_BADFILETYPE);
    Reader again;
    again.File->Release();
    again.File = r.File;
    r.File->AddRef();
    ASSERT_EQ(again.Open(EncodeText(Model().tokens)), DXFILE_OK);
    again.Walk(end);
    EXPECT_EQ(end, DXFILEERR_NOMOREOBJECTS);
}

// An id names one template: the file that gives a known id (registered, or the file's own
// from earlier) to another name or to other members fails, so that no reader of an object
// lays its data out by a template the file chose. The registered set repeated as it stands,
// the usual head of an exported model, still reads.
TEST(SoftDxXFile, AKnownTemplateIdUnderAnotherNameOrLayoutFailsTheFile)
{
    constexpr GUID OwnId = {0x0DDBA11, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
    const auto withTexture = [](const char* name, const GUID& id, std::initializer_list<const char*> members) {
        XWriter w;
        w.N("template").N(name).P("{").G(id);
        std::string member = "a";
        for (const char* type : members) w.N(type).N(member).P(";"), member[0]++;
        w.P("}");
        return w;
    };
    struct Case {
        const char* what;
        std::vector<XWriter> templates;
        HRESULT walk;
    };
    const Case cases[] = {
        {"the registered set again", {Templates()}, DXFILEERR_NOMOREOBJECTS},
        {"a registered id, another name, two numbers",
         {withTexture("Spoof", TextureId, {"DWORD", "DWORD"})},
         DXFILEERR_PARSEERROR},
        {"a registered id, another name, the same string",
         {withTexture("Spoof", TextureId, {"STRING"})},
         DXFILEERR_PARSEERROR},
        {"a registered name and id, two numbers",
         {withTexture("TextureFilename", TextureId, {"DWORD", "DWORD"})},
         DXFILEERR_PARSEERROR},
        {"the file's own id under a second name",
         {withTexture("Mine", OwnId, {"STRING"}), withTexture("Yours", OwnId, {"STRING"})},
         DXFILEERR_PARSEERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        XWriter set;
        for (const XWriter& t : c.templates) set.tokens.insert(set.tokens.end(), t.tokens.begin(), t.tokens.end());
        XWriter file = set;
        const XWriter model = Model();
        file.tokens.insert(file.tokens.end(), model.tokens.begin(), model.tokens.end());
        for (const Encoding& e : Encodings) {
            SCOPED_TRACE(e.name);
            Reader r;
            ASSERT_EQ(r.Open(e.encode(file.tokens)), DXFILE_OK);
            HRESULT end = 0;
            const std::string tree = r.Walk(end);
            EXPECT_EQ(end, c.walk);
            EXPECT_EQ(tree.empty(), c.walk != DXFILEERR_NOMOREOBJECTS) << "no object before the template";
        }
        // A set to register is held to the same rule, and a refused one changes nothing.
        Reader r;
        std::vector<uint8_t> bytes = EncodeBinary(set.tokens);
        EXPECT_EQ(r.File->RegisterTemplates(bytes.data(), DWORD(bytes.size())),
                  c.walk == DXFILEERR_NOMOREOBJECTS ? DXFILE_OK : c.walk);
        ASSERT_EQ(r.Open(EncodeText(Model().tokens)), DXFILE_OK);
        HRESULT end = 0;
        EXPECT_NE(r.Walk(end).find(" shared.png\n"), std::string::npos);
    }
}

}  // namespace
