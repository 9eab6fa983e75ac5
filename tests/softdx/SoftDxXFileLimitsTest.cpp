// The X-file reader on files made to exhaust it: each is refused with the reader's error
// before it costs what it asks for; and a failed allocation anywhere in a read is answered
// with DXFILEERR_BADALLOC, never thrown out of a method.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "SoftDxApi.h"
#include "softdx/SoftDxXFileParse.h"
#include "support/AllocationFaults.h"
#include "support/XFileWriter.h"

using namespace xfiletest;
using softdx::xfile::Limits;

namespace {

std::vector<uint8_t> Text(const std::string& body)
{
    const std::string file = "xof 0303txt 0032" + body;
    return std::vector<uint8_t>(file.begin(), file.end());
}

std::string Repeat(const std::string& text, std::size_t count)
{
    std::string out;
    out.reserve(text.size() * count);
    for (std::size_t i = 0; i < count; ++i) out += text;
    return out;
}

// A template of no members open to any child, and one of a count and that many of `type`.
const std::string Open = "template A { <11111111-0000-0000-0000-000000000001> [...] }\n";
std::string ArrayOf(const char* type)
{
    return std::string("template L { <11111111-0000-0000-0000-000000000002> DWORD n; array ") + type + " v[n]; }\n";
}

void SetDeclaredTotal(std::vector<uint8_t>& file, uint32_t total)
{
    for (int k = 0; k < 4; ++k) file[16 + k] = uint8_t(total >> (8 * k));
}

// What ends a read through the reader's interfaces: the first failure of CreateEnumObject,
// else the enumeration's last result (DXFILEERR_NOMOREOBJECTS for a whole read).
HRESULT Read(const std::vector<uint8_t>& bytes, std::size_t& objects)
{
    IDirectXFile* file = nullptr;
    EXPECT_EQ(DirectXFileCreate(&file), DXFILE_OK);
    DXFILELOADMEMORY memory{const_cast<uint8_t*>(bytes.data()), DWORD(bytes.size())};
    IDirectXFileEnumObject* enumObject = nullptr;
    HRESULT hr = file->CreateEnumObject(&memory, DXFILELOAD_FROMMEMORY, &enumObject);
    objects = 0;
    IDirectXFileData* data = nullptr;
    while (hr == DXFILE_OK && (hr = enumObject->GetNextDataObject(&data)) == DXFILE_OK) {
        ++objects;
        data->Release();
    }
    if (enumObject) enumObject->Release();
    file->Release();
    return hr;
}

// The same through a document under `limits`.
HRESULT ReadWith(const std::vector<uint8_t>& bytes, const Limits& limits)
{
    softdx::xfile::Document document(bytes, {}, limits);
    HRESULT hr = document.Open();
    softdx::xfile::Node* node = nullptr;
    while (hr == DXFILE_OK) hr = document.Next(node);
    return hr;
}

}  // namespace

TEST(SoftDxXFileLimits, CompressedAndOversizedFilesAreRefusedBeforeTheyCostWhatTheyAsk)
{
    const std::vector<uint8_t> model = Text(ArrayOf("DWORD") + "L { 3; 1, 2, 3; }\n" + Repeat(" ", 40000));
    std::vector<uint8_t> lying = Compress(model);
    SetDeclaredTotal(lying, uint32_t(model.size() / 2));
    std::vector<uint8_t> huge = Compress(model);
    SetDeclaredTotal(huge, uint32_t(softdx::xfile::MaxBodyBytes + 17));
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        HRESULT result;
        std::size_t objects;
    };
    const Case cases[] = {
        {"the file as it is", Compress(model), DXFILEERR_NOMOREOBJECTS, 1},
        {"blocks inflating past the declared total", lying, DXFILEERR_BADFILE, 0},
        {"a declared total past the cap", huge, DXFILEERR_BADALLOC, 0},
        {"a block of more than 32 KB", Compress(model, 40000), DXFILEERR_BADFILE, 0},
        // Three bytes each, a million of them: the objects up to the cap are handed out.
        {"a million empty objects", Compress(Text(Open + Repeat("A{}", 1'000'000))), DXFILEERR_BADALLOC,
         softdx::xfile::MaxObjects},
        // A thousand nothings, each holding a thousand: passed over, not counted one by one
        // until a budget runs out. (The comment leaves bytes enough for arrays that long.)
        {"arrays of templates that hold nothing",
         Text("template E { <11111111-0000-0000-0000-000000000005> array DWORD none[0]; }\n"
              "template G { <11111111-0000-0000-0000-000000000006> array E e[1000]; }\n"
              "template H { <11111111-0000-0000-0000-000000000007> DWORD n; array G g[n]; }\n"
              "H { 1000; }\n# " +
              std::string(2000, '-') + "\n"),
         DXFILEERR_NOMOREOBJECTS, 1},
        {"a child allowed among more templates than the cap",
         Text("template R { <11111111-0000-0000-0000-000000000003> [" + Repeat("A,", softdx::xfile::MaxRestrictions) +
              "A] }\n"),
         DXFILEERR_PARSEERROR, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::size_t objects = 0;
        EXPECT_EQ(Read(c.file, objects), c.result);
        EXPECT_EQ(objects, c.objects);
    }
}

// The size is asked before anything is read: a sparse file past the cap takes no memory.
TEST(SoftDxXFileLimits, AFilePastTheSizeCapIsRefusedUnread)
{
    char path[] = "/tmp/vellumine-xfile-cap-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::vector<uint8_t> header = Text(Open);
    ASSERT_EQ(write(fd, header.data(), header.size()), ssize_t(header.size()));
    ASSERT_EQ(ftruncate(fd, off_t(softdx::xfile::MaxFileBytes) + 1), 0);
    close(fd);
    IDirectXFile* file = nullptr;
    ASSERT_EQ(DirectXFileCreate(&file), DXFILE_OK);
    IDirectXFileEnumObject* enumObject = nullptr;
    EXPECT_EQ(file->CreateEnumObject(path, DXFILELOAD_FROMFILE, &enumObject), DXFILEERR_BADALLOC);
    EXPECT_EQ(enumObject, nullptr);
    file->Release();
    unlink(path);
}

// Each cap, made small: the file reads whole under the real caps, and is refused once it
// passes the small one.
TEST(SoftDxXFileLimits, ObjectsTemplatesAndWhatTheyHoldAreCapped)
{
    struct Case {
        const char* what;
        std::string body;
        Limits limits;
    };
    const Case cases[] = {
        {"objects", Open + Repeat("A{}", 11), {.objects = 10}},
        {"references", Open + "A x {}\nA {" + Repeat("{x}", 10) + "}", {.objects = 10}},
        {"templates",
         Open + ArrayOf("DWORD") + "template B { <11111111-0000-0000-0000-000000000004> }",
         {.templates = 2}},
        {"strings", ArrayOf("STRING") + "L { 3000; " + Repeat("\"\"", 3000) + " }", {.heldBytes = 64 << 10}},
        {"numbers", ArrayOf("DOUBLE") + "L { 9000; " + Repeat("1,", 9000) + " }", {.heldBytes = 64 << 10}},
        {"members",
         "template M { <11111111-0000-0000-0000-000000000005> " + Repeat("DWORD a; ", 1000) + "}",
         {.heldBytes = 64 << 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ReadWith(Text(c.body), {}), DXFILEERR_NOMOREOBJECTS);
        EXPECT_EQ(ReadWith(Text(c.body), c.limits), DXFILEERR_BADALLOC);
    }
}

namespace {

using allocfaults::Counted;

constexpr GUID SharedId = {0x0BADF00D, 0x1234, 0x5678, {0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78}};

// A model with something for every method: strings, nested data, children, references by
// name and by id, compressed.
const std::vector<uint8_t> TemplatesFile = Text(
    "template V { <22222222-0000-0000-0000-000000000001> FLOAT x; FLOAT y; }\n"
    "template N { <22222222-0000-0000-0000-000000000002> STRING name; DWORD n; array V v[n]; [...] }\n");
const std::vector<uint8_t> ModelFile = Compress(
    Text("N shared { <0BADF00D-1234-5678-9ABC-DEF012345678> \"a long name that is not short\"; 1; 1.0; 2.0;; }\n"
         "N top { \"t\"; 2; 0.5; 0.5;, 1.5; 1.5;; N inner { \"i\"; 0; ; } {shared} "
         "{<0BADF00D-1234-5678-9ABC-DEF012345678>} }\n"),
    64);

// Walks everything under `data`, each method's allocations counted; false at the first
// result that is not a success or a normal end, which goes to `failure`.
bool Walk(IDirectXFileData* data, std::string& tree, HRESULT& failure)
{
    const auto ok = [&](HRESULT hr) { return hr == DXFILE_OK || (failure = hr, false); };
    char name[64];
    DWORD size = sizeof name;
    void* bytes = nullptr;
    const GUID* type = nullptr;
    if (!ok(Counted([&] { return data->GetName(name, &size); })) ||
        !ok(Counted([&] { return data->GetType(&type); })) ||
        !ok(Counted([&] { return data->GetData("n", &size, &bytes); })) ||
        !ok(Counted([&] { return data->GetData(nullptr, &size, &bytes); })))
        return false;
    tree += std::string(name) + ":" + std::to_string(size) + "(";
    for (;;) {
        IDirectXFileObject* child = nullptr;
        const HRESULT hr = Counted([&] { return data->GetNextObject(&child); });
        if (hr == DXFILEERR_NOMOREOBJECTS) break;
        if (!ok(hr)) return false;
        IDirectXFileData* inner = nullptr;
        IDirectXFileDataReference* reference = nullptr;
        bool walked = true;
        if (child->QueryInterface(IID_IDirectXFileData, reinterpret_cast<void**>(&inner)) == DXFILE_OK) {
            walked = Walk(inner, tree, failure);
            inner->Release();
        } else if (child->QueryInterface(IID_IDirectXFileDataReference, reinterpret_cast<void**>(&reference)) ==
                   DXFILE_OK) {
            walked = ok(Counted([&] { return reference->Resolve(&inner); }));
            if (walked) {
                tree += "->";
                walked = Walk(inner, tree, failure);
                inner->Release();
            }
            reference->Release();
        }
        child->Release();
        if (!walked) return false;
    }
    tree += ")";
    return true;
}

// The whole read: reader, templates, file, every object, and the look-ups by name and id.
std::string ReadAll(HRESULT& failure)
{
    failure = DXFILE_OK;
    const auto ok = [&](HRESULT hr) { return hr == DXFILE_OK || (failure = hr, false); };
    std::string tree;
    IDirectXFile* file = nullptr;
    if (!ok(Counted([&] { return DirectXFileCreate(&file); }))) return tree;
    IDirectXFileEnumObject* enumObject = nullptr;
    DXFILELOADMEMORY memory{const_cast<uint8_t*>(ModelFile.data()), DWORD(ModelFile.size())};
    if (ok(Counted([&] {
            return file->RegisterTemplates(const_cast<uint8_t*>(TemplatesFile.data()), DWORD(TemplatesFile.size()));
        })) &&
        ok(Counted([&] { return file->CreateEnumObject(&memory, DXFILELOAD_FROMMEMORY, &enumObject); }))) {
        IDirectXFileData* data = nullptr;
        HRESULT hr = DXFILE_OK;
        bool walked = true;
        while (walked && (hr = Counted([&] { return enumObject->GetNextDataObject(&data); })) == DXFILE_OK) {
            walked = Walk(data, tree, failure);
            data->Release();
        }
        if (walked && hr != DXFILEERR_NOMOREOBJECTS) ok(hr);
        for (int by = 0; walked && failure == DXFILE_OK && by < 2; ++by) {
            if (ok(Counted([&] {
                    return by ? enumObject->GetDataObjectById(SharedId, &data)
                              : enumObject->GetDataObjectByName("inner", &data);
                }))) {
                tree += by ? " id" : " name";
                data->Release();
            }
        }
        if (enumObject) enumObject->Release();
    }
    file->Release();
    return tree;
}

}  // namespace

// Every allocation of the read is made to fail in turn: each failure ends the read with
// DXFILEERR_BADALLOC from the method it happened in, and the read after it is whole again.
TEST(SoftDxXFileLimits, EveryFailedAllocationIsAnsweredWithBadAlloc)
{
    HRESULT failure;
    const std::string whole = ReadAll(failure);
    ASSERT_EQ(failure, DXFILE_OK);
    ASSERT_NE(whole.find("->shared"), std::string::npos) << whole;
    long n = 0;
    for (;; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        allocfaults::FailAllocation(n);
        const std::string tree = ReadAll(failure);
        const bool failed = allocfaults::AllocationFailed();
        allocfaults::FailAllocation(-1);
        if (!failed) {
            EXPECT_EQ(failure, DXFILE_OK);
            EXPECT_EQ(tree, whole);
            break;
        }
        ASSERT_EQ(failure, DXFILEERR_BADALLOC);
    }
    EXPECT_GT(n, 50) << "the read allocates";
}
