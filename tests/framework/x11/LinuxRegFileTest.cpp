// The settings file's text format: reading what real exports contain, writing text that reads
// back as the same model, and refusing damaged text with the line at fault.
#include "framework/x11/LinuxRegFile.h"
#include "support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <random>

using ::testing::HasSubstr;

namespace {

const std::string Key = "HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine";

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }
// Strings in memory are stored as UTF-8 with their terminating zero.
std::vector<uint8_t> Stored(std::string_view text)
{
    std::vector<uint8_t> data = Bytes(text);
    data.push_back(0);
    return data;
}

// ASCII text as UTF-16LE, built without the converter under test.
std::string AsciiUtf16(std::string_view text)
{
    std::string out;
    for (char c : text) {
        out += c;
        out += '\0';
    }
    return out;
}

bool SameModel(const TLinuxRegModel& a, const TLinuxRegModel& b)
{
    if (a.Keys.size() != b.Keys.size()) return false;
    for (size_t k = 0; k < a.Keys.size(); ++k) {
        const TLinuxRegKey& x = a.Keys[k];
        const TLinuxRegKey& y = b.Keys[k];
        if (x.Path != y.Path || x.Values.size() != y.Values.size()) return false;
        for (size_t v = 0; v < x.Values.size(); ++v) {
            if (x.Values[v].Name != y.Values[v].Name || x.Values[v].Value.Type != y.Values[v].Value.Type ||
                x.Values[v].Value.Data != y.Values[v].Value.Data)
                return false;
        }
    }
    return true;
}

TLinuxRegModel ParseOk(std::string_view text)
{
    TLinuxRegParse parse = ParseLinuxRegText(text);
    EXPECT_TRUE(parse.Ok) << "line " << parse.ErrorLine << ": " << parse.Error << "\n" << text;
    return std::move(parse.Model);
}

const TRegValue* Find(TLinuxRegModel& model, std::string_view key, std::string_view name)
{
    TLinuxRegKey* found = model.FindKey(key);
    if (!found) return nullptr;
    const TLinuxRegEntry* entry = TLinuxRegModel::FindValue(*found, name);
    return entry ? &entry->Value : nullptr;
}

const char* const Example =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine]\n"
    "\"ImagesPath\"=\"/home/ann/Pictures\"\n"
    "\"Res_Width\"=dword:00000320\n"
    "\"Expand\"=hex(2):25,00,48,00,00,00\n"
    "\"Blob\"=hex:01,02,03\n"
    "@=\"default value\"\n";

TLinuxRegModel EveryType()
{
    TLinuxRegModel model;
    TLinuxRegKey& key = model.AddKey(Key);
    const auto set = [&](std::string_view name, uint32_t type, std::vector<uint8_t> data) {
        TLinuxRegModel::SetValue(key, name, TRegValue{type, std::move(data)});
    };
    set("Plain", rvString, Stored("/home/ann/Pictures"));
    set("Quote \"and\" back\\slash", rvString, Stored("C:\\Dir\\\"quoted\"\\"));
    set("", rvString, Stored("default"));
    set("Empty", rvString, Stored(""));
    set("Two lines", rvString, Stored("first\nsecond\r\n"));  // cannot be quoted: goes as hex(1)
    set("No terminator", rvString, Bytes("abc"));
    set("Accents", rvExpandString, Stored("%HOME%/Bilder/\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80"));
    set("List", rvMultiString, Bytes(std::string_view("one\0two\0\0", 9)));
    set("Dword", rvDword, {0x20, 0x03, 0x00, 0x80});
    set("Short dword", rvDword, {1, 2, 3});
    set("Qword", rvQword, {1, 2, 3, 4, 5, 6, 7, 0xFF});
    set("None", rvNone, {});
    set("Custom", 0x20001, {9, 8});
    std::vector<uint8_t> blob(300);
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<uint8_t>(i * 7);
    set("Blob", rvBinary, blob);
    set("Empty blob", rvBinary, {});
    // A name long enough that even the first byte goes on a continuation line.
    set(std::string(90, 'n'), rvBinary, {0xAB});
    TLinuxRegKey& sub = model.AddKey(Key + "\\Sub");
    TLinuxRegModel::SetValue(sub, "x", TRegValue{rvDword, {0, 0, 0, 0}});
    return model;
}

}  // namespace

TEST(LinuxRegFileFormat, ReadsEveryValueFormOfAnExport)
{
    TLinuxRegModel model = ParseOk(Example);
    ASSERT_EQ(model.Keys.size(), 1u);
    EXPECT_EQ(model.Keys[0].Path, Key);

    const TRegValue* path = Find(model, Key, "ImagesPath");
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->Type, uint32_t(rvString));
    EXPECT_EQ(path->Data, Stored("/home/ann/Pictures"));

    const TRegValue* width = Find(model, Key, "Res_Width");
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(width->Type, uint32_t(rvDword));
    EXPECT_EQ(width->Data, (std::vector<uint8_t>{0x20, 0x03, 0, 0}));

    // Version 5 keeps expand strings as UTF-16LE; in memory they are UTF-8.
    const TRegValue* expand = Find(model, Key, "Expand");
    ASSERT_NE(expand, nullptr);
    EXPECT_EQ(expand->Type, uint32_t(rvExpandString));
    EXPECT_EQ(expand->Data, Stored("%H"));

    const TRegValue* blob = Find(model, Key, "Blob");
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(blob->Type, uint32_t(rvBinary));
    EXPECT_EQ(blob->Data, (std::vector<uint8_t>{1, 2, 3}));

    const TRegValue* byDefault = Find(model, Key, "");
    ASSERT_NE(byDefault, nullptr);
    EXPECT_EQ(byDefault->Data, Stored("default value"));
}

TEST(LinuxRegFileFormat, WritesTheExportFormsRealToolsRead)
{
    const std::string text = FormatLinuxRegText(ParseOk(Example));
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n[", 0), 0u) << text;
    EXPECT_THAT(text, HasSubstr("\n\"ImagesPath\"=\"/home/ann/Pictures\"\n"));
    EXPECT_THAT(text, HasSubstr("\n\"Res_Width\"=dword:00000320\n"));
    EXPECT_THAT(text, HasSubstr("\n\"Expand\"=hex(2):25,00,48,00,00,00\n"));
    EXPECT_THAT(text, HasSubstr("\n\"Blob\"=hex:01,02,03\n"));
    EXPECT_THAT(text, HasSubstr("\n@=\"default value\"\n"));
    EXPECT_EQ(text.find('\r'), std::string::npos);

    TLinuxRegModel escaped;
    TLinuxRegModel::SetValue(escaped.AddKey(Key), "a\"b", MakeStringValue(rvString, "C:\\x\"y"));
    EXPECT_THAT(FormatLinuxRegText(escaped), HasSubstr("\n\"a\\\"b\"=\"C:\\\\x\\\"y\"\n"));
}

TEST(LinuxRegFileFormat, EveryTypeSurvivesARoundTrip)
{
    const TLinuxRegModel model = EveryType();
    const std::string text = FormatLinuxRegText(model);
    const TLinuxRegModel again = ParseOk(text);
    EXPECT_TRUE(SameModel(model, again)) << text;
    // Writing what was read changes nothing.
    EXPECT_EQ(FormatLinuxRegText(again), text);
    // Long data is wrapped into continuation lines, as real exports do.
    size_t longest = 0;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        longest = std::max(longest, end - start);
    EXPECT_LE(longest, 100u);
}

TEST(LinuxRegFileFormat, StringTypesAreUtf16InTheFileAndUtf8InMemory)
{
    // "é" is U+00E9; U+1F600 is the surrogate pair D83D DE00.
    TLinuxRegModel model = ParseOk("Windows Registry Editor Version 5.00\n\n[" + Key +
                                   "]\n\"E\"=hex(2):e9,00,3d,d8,00,de,00,00\n"
                                   "\"M\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
                                   "\"S\"=hex(1):41,00,0a,00,00,00\n");
    EXPECT_EQ(Find(model, Key, "E")->Data, Stored("\xC3\xA9\xF0\x9F\x98\x80"));
    EXPECT_EQ(Find(model, Key, "M")->Data, Bytes(std::string_view("a\0b\0\0", 5)));
    EXPECT_EQ(Find(model, Key, "S")->Data, Stored("A\n"));
    EXPECT_EQ(Find(model, Key, "S")->Type, uint32_t(rvString));
    EXPECT_THAT(FormatLinuxRegText(model), HasSubstr("\"E\"=hex(2):e9,00,3d,d8,00,de,00,00\n"));

    // An unpaired surrogate is not text, but must still come back as it was.
    const std::string lone("\x00\xD8\x41\x00", 4);
    EXPECT_EQ(Utf8ToUtf16Le(Utf16LeToUtf8(lone)), lone);
    // Invalid UTF-8 cannot be kept in UTF-16; it becomes U+FFFD rather than being dropped.
    EXPECT_EQ(Utf8ToUtf16Le("a\xFF"), std::string("a\0\xFD\xFF", 4));

    // REGEDIT4 files hold the same types as 8-bit text.
    TLinuxRegModel old = ParseOk("REGEDIT4\n\n[" + Key + "]\n\"E\"=hex(2):25,48,00\n");
    EXPECT_EQ(Find(old, Key, "E")->Data, Stored("%H"));
}

// 8-bit text that is not UTF-8 is Windows-1252 and keeps every character through saves, also
// when a line break forces the value into UTF-16 hex; UTF-8 text stays as it is.
TEST(LinuxRegFileFormat, Regedit4AnsiTextSurvivesSaves)
{
    struct TCase {
        const char* Value;  // as it stands in the REGEDIT4 file
        std::string Expected;
    };
    const std::vector<TCase> cases = {
        {"\"J\xF6rg \x80\x81\"", "J\xC3\xB6rg \xE2\x82\xAC\xC2\x81"},
        {"hex(1):4a,f6,0a,9d,00", "J\xC3\xB6\n\xC2\x9D"},
        {"hex(2):25,9f,00", "%\xC5\xB8"},
        {"\"J\xC3\xB6rg\"", "J\xC3\xB6rg"},
        {"hex(1):4a,c3,b6,0a,00", "J\xC3\xB6\n"},
    };
    for (const TCase& c : cases) {
        TLinuxRegModel model = ParseOk("REGEDIT4\n\n[" + Key + "]\n\"V\"=" + c.Value + "\n");
        EXPECT_EQ(Find(model, Key, "V")->Data, Stored(c.Expected)) << c.Value;
        TLinuxRegModel saved = ParseOk(FormatLinuxRegText(model));
        EXPECT_EQ(Find(saved, Key, "V")->Data, Stored(c.Expected)) << c.Value;
    }
}

TEST(LinuxRegFileFormat, AcceptsContinuationsLineEndsEncodingsAndComments)
{
    const std::string expected =
        "Windows Registry Editor Version 5.00\n\n[" + Key + "]\n\"B\"=hex:01,02,03,04\n\"S\"=\"x\"\n";
    const TLinuxRegModel reference = ParseOk(expected);

    const std::vector<std::pair<const char*, std::string>> variants = {
        {"continued hex",
         "Windows Registry Editor Version 5.00\n\n[" + Key + "]\n\"B\"=hex:01,02,\\\n  03,\\\n\t04\n\"S\"=\"x\"\n"},
        {"CRLF", "Windows Registry Editor Version 5.00\r\n\r\n[" + Key +
                     "]\r\n\"B\"=hex:01,02,\\\r\n  03,04\r\n\"S\"=\"x\"\r\n"},
        {"UTF-8 BOM", "\xEF\xBB\xBF" + expected},
        {"UTF-16LE BOM", "\xFF\xFE" + AsciiUtf16("Windows Registry Editor Version 5.00\r\n\r\n[" + Key +
                                                 "]\r\n\"B\"=hex:01,02,03,04\r\n\"S\"=\"x\"\r\n")},
        {"comments and blanks", "\n\nWindows Registry Editor Version 5.00\n; a comment\n\n[" + Key +
                                    "]\n  ; indented comment\n\n\"B\"=hex:01,02,03,04\n\n\"S\"=\"x\"   \n"},
        {"later lines win", expected + "[" + Key + "]\n\"S\"=\"old\"\n\"S\"=\"x\"\n"},
    };
    for (const auto& [label, text] : variants) {
        TLinuxRegParse parse = ParseLinuxRegText(text);
        ASSERT_TRUE(parse.Ok) << label << ": line " << parse.ErrorLine << ": " << parse.Error;
        EXPECT_TRUE(SameModel(parse.Model, reference)) << label;
    }
    // A file with nothing in it holds no keys (and is not damaged).
    EXPECT_TRUE(ParseLinuxRegText("").Ok);
    EXPECT_TRUE(ParseLinuxRegText(" \r\n\n").Model.Keys.empty());
}

TEST(LinuxRegFileFormat, RemovalLinesApplyInOrder)
{
    TLinuxRegModel model = ParseOk(
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\A]\n\"keep\"=\"1\"\n\"drop\"=\"2\"\n"
        "[HKEY_CURRENT_USER\\A\\B]\n\"v\"=\"3\"\n"
        "[HKEY_CURRENT_USER\\A\\B\\C]\n"
        "[HKEY_CURRENT_USER\\A\\BC]\n"
        "[HKEY_CURRENT_USER\\A]\n\"DROP\"=-\n"
        "[-hkey_current_user\\a\\b]\n"
        "[HKEY_CURRENT_USER\\A\\B\\D]\n");
    std::vector<std::string> paths;
    for (const TLinuxRegKey& key : model.Keys) paths.push_back(key.Path);
    // B and its sub-key are gone, the sibling that merely shares a prefix is not; a key named
    // again after its removal comes back as new.
    EXPECT_THAT(paths, ::testing::ElementsAre("HKEY_CURRENT_USER\\A", "HKEY_CURRENT_USER\\A\\BC",
                                              "HKEY_CURRENT_USER\\A\\B\\D"));
    EXPECT_NE(Find(model, "HKEY_CURRENT_USER\\A", "keep"), nullptr);
    EXPECT_EQ(Find(model, "HKEY_CURRENT_USER\\A", "drop"), nullptr);
}

TEST(LinuxRegFileFormat, KeepsEveryKeyAndItsOrderWhenOneValueChanges)
{
    const std::string text =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"m\"=dword:00000001\n\n"
        "[HKEY_CURRENT_USER\\Zeta]\n\"z\"=hex(7):61,00,00,00,00,00\n\"a\"=\"first\"\n\n"
        "[" +
        Key +
        "]\n\"ImagesPath\"=\"/old\"\n\"Speed\"=dword:00000005\n\n"
        "[HKEY_CURRENT_USER\\Alpha]\n@=\"x\"\n";
    const TLinuxRegModel before = ParseOk(text);
    TLinuxRegModel after = ParseOk(text);
    TLinuxRegModel::SetValue(*after.FindKey(Key), "imagespath", MakeStringValue(rvString, "/new"));
    TLinuxRegModel::SetValue(*after.FindKey(Key), "Added", MakeStringValue(rvString, "n"));
    const TLinuxRegModel reread = ParseOk(FormatLinuxRegText(after));

    ASSERT_EQ(reread.Keys.size(), before.Keys.size());
    for (size_t k = 0; k < before.Keys.size(); ++k) {
        EXPECT_EQ(reread.Keys[k].Path, before.Keys[k].Path);
        if (before.Keys[k].Path == Key) continue;
        TLinuxRegModel one{{reread.Keys[k]}}, other{{before.Keys[k]}};
        EXPECT_TRUE(SameModel(one, other)) << before.Keys[k].Path;
    }
    // The changed value keeps its place and spelling; the new one goes last.
    const TLinuxRegKey& changed = *reread.FindKey(Key);
    ASSERT_EQ(changed.Values.size(), 3u);
    EXPECT_EQ(changed.Values[0].Name, "ImagesPath");
    EXPECT_EQ(changed.Values[0].Value.Data, Stored("/new"));
    EXPECT_EQ(changed.Values[2].Name, "Added");
}

TEST(LinuxRegFileModel, KeysAreFoundWithoutCaseAndParentsExistThroughChildren)
{
    TLinuxRegModel model;
    model.AddKey("HKEY_CURRENT_USER\\Software\\Quillory\\Vellumine\\Deep");
    model.AddKey("HKEY_CURRENT_USER\\Other");
    EXPECT_TRUE(model.KeyExists("hkey_current_user\\SOFTWARE\\quillory"));
    EXPECT_FALSE(model.KeyExists("HKEY_CURRENT_USER\\Soft"));
    EXPECT_FALSE(model.KeyExists("HKEY_CURRENT_USER\\Software\\Quillory\\Vellumine\\Deeper"));
    EXPECT_EQ(model.FindKey("HKEY_CURRENT_USER\\software\\quillory"), nullptr);  // no section of its own

    // A new parent goes before its children, spelled as the file spells it.
    model.AddKey("HKEY_CURRENT_USER\\SOFTWARE\\QUILLORY");
    ASSERT_EQ(model.Keys.size(), 3u);
    EXPECT_EQ(model.Keys[0].Path, "HKEY_CURRENT_USER\\Software\\Quillory");
    model.AddKey("hkey_current_user\\software\\quillory\\vellumine\\deep\\new");
    ASSERT_EQ(model.Keys.size(), 4u);
    EXPECT_EQ(model.Keys[3].Path, "HKEY_CURRENT_USER\\Software\\Quillory\\Vellumine\\Deep\\new");

    EXPECT_TRUE(model.RemoveKey("HKEY_CURRENT_USER\\SOFTWARE"));
    ASSERT_EQ(model.Keys.size(), 1u);
    EXPECT_EQ(model.Keys[0].Path, "HKEY_CURRENT_USER\\Other");
    EXPECT_FALSE(model.RemoveKey("HKEY_CURRENT_USER\\SOFTWARE"));
}

struct TDamaged {
    const char* Label;
    std::string Text;
    int Line;
};

TEST(LinuxRegFileFormat, DamagedTextIsRefusedWithItsLine)
{
    const std::string h = "Windows Registry Editor Version 5.00\n\n[" + Key + "]\n";  // lines 1-3
    const std::vector<TDamaged> cases = {
        {"unknown header", "Windows Registry Editor Version 9.00\n", 1},
        {"header not first", "\n[" + Key + "]\n", 2},
        {"bad escape in data", h + "\"a\"=\"x\\n\"\n", 4},
        {"bad escape in name", h + "\"a\\t\"=\"x\"\n", 4},
        {"unterminated string", h + "\"a\"=\"x\n", 4},
        {"text after closing quote", h + "\"a\"=\"x\" y\n", 4},
        {"missing =", h + "\"a\" \"x\"\n", 4},
        {"odd hex digit count", h + "\"a\"=hex:01,2,03\n", 4},
        {"not hex", h + "\"a\"=hex:01,zz\n", 4},
        {"trailing comma", h + "\"a\"=hex:01,\n", 4},
        {"bad hex type", h + "\"a\"=hex(q):01\n", 4},
        {"hex without colon", h + "\"a\"=hex 01\n", 4},
        {"odd UTF-16 bytes", h + "\"a\"=hex(2):41,00,00\n", 4},
        {"continuation at end", h + "\"ok\"=\"1\"\n\"a\"=hex:01,\\\n", 5},
        {"bad byte on a continued line", h + "\"a\"=hex:01,\\\n  0g\n", 4},
        {"short dword", h + "\"a\"=dword:0000320\n", 4},
        {"long dword", h + "\"a\"=dword:000003200\n", 4},
        {"dword not hex", h + "\"a\"=dword:0000032x\n", 4},
        {"unknown data", h + "\"a\"=qword:1\n", 4},
        {"value before any key", "Windows Registry Editor Version 5.00\n\"a\"=\"x\"\n", 2},
        {"value after a removed key", h + "[-" + Key + "]\n\"a\"=\"x\"\n", 5},
        {"key without ]", h + "[HKEY_CURRENT_USER\\A\n", 4},
        {"unknown root", h + "[HKEY_SOMEWHERE\\A]\n", 4},
        {"empty key name", h + "[HKEY_CURRENT_USER\\A\\\\B]\n", 4},
        {"stray line", h + "\"a\"=\"x\"\nhello\n", 5},
        {"odd UTF-16 file", "\xFF\xFE" + AsciiUtf16("REGEDIT4\n") + "x", 1},
    };
    for (const TDamaged& c : cases) {
        const TLinuxRegParse parse = ParseLinuxRegText(c.Text);
        EXPECT_FALSE(parse.Ok) << c.Label;
        EXPECT_EQ(parse.ErrorLine, c.Line) << c.Label << ": " << parse.Error;
        EXPECT_FALSE(parse.Error.empty()) << c.Label;
        EXPECT_TRUE(parse.Model.Keys.empty()) << c.Label;
    }
}

TEST(LinuxRegFileFormat, MangledTextIsEitherRefusedOrStable)
{
    const std::string text = FormatLinuxRegText(EveryType());
    std::mt19937 random(12345);
    const auto check = [](const std::string& mangled) {
        const TLinuxRegParse parse = ParseLinuxRegText(mangled);
        if (!parse.Ok) {
            EXPECT_GE(parse.ErrorLine, 1);
            return;
        }
        // What reads must also write and read back to the same thing.
        const TLinuxRegParse again = ParseLinuxRegText(FormatLinuxRegText(parse.Model));
        ASSERT_TRUE(again.Ok) << again.Error;
        EXPECT_TRUE(SameModel(parse.Model, again.Model));
    };
    for (size_t cut = 0; cut < text.size(); cut += 7) check(text.substr(0, cut));
    for (int round = 0; round < 2000; ++round) {
        std::string mangled = text;
        for (int n = 0; n < 3; ++n) mangled[random() % mangled.size()] = "\\\"\n\r[]=,:@-;x0\xFF"[random() % 15];
        check(mangled);
    }
}

// Lookups go through an index of names; after every kind of edit (appends, a parent put
// before its children, removals of keys and values, removal lines in a file) each key and
// value is still found under any spelling of its name, and nothing removed is.
TEST(LinuxRegFileModel, EveryNameIsFoundAfterEditsInAnySpelling)
{
    std::string text = "Windows Registry Editor Version 5.00\n";
    for (int k = 0; k < 60; ++k) {
        text += Named("[HKEY_CURRENT_USER\\Group", k % 6, Named("\\Key", k, "]\n"));
        for (int v = 0; v < 5; ++v) text += Named("\"Value", v, Named("\"=dword:", 10000000 + k, "\n"));
        if (k % 7 == 3) text += Named("\"VALUE", k % 5, "\"=-\n");
        if (k % 11 == 5) text += Named("[-hkey_current_user\\group", (k - 1) % 6, Named("\\key", k - 1, "]\n"));
    }
    TLinuxRegModel model = ParseOk(text);
    model.AddKey("HKEY_CURRENT_USER\\Group2");  // goes before its children
    model.RemoveKey("HKEY_CURRENT_USER\\GROUP5\\KEY11");
    TLinuxRegModel::RemoveValue(*model.FindKey("HKEY_CURRENT_USER\\Group1\\Key1"), "value2");
    TLinuxRegModel::SetValue(*model.FindKey("HKEY_CURRENT_USER\\Group1\\Key1"), "Added",
                             TRegValue{rvDword, {1, 0, 0, 0}});

    const auto upper = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    };
    size_t keys = 0;
    for (int k = 0; k < 60; ++k) {
        const std::string path = Named("HKEY_CURRENT_USER\\Group", k % 6, Named("\\Key", k));
        const TLinuxRegKey* listed = nullptr;
        for (const TLinuxRegKey& key : model.Keys)
            if (key.Path == path) listed = &key;
        SCOPED_TRACE(path);
        EXPECT_EQ(model.FindKey(upper(path)), listed);
        if (!listed) continue;
        ++keys;
        for (int v = 0; v < 6; ++v) {
            const std::string name = v < 5 ? Named("Value", v) : "Added";
            const TLinuxRegEntry* entry = nullptr;
            for (const TLinuxRegEntry& e : listed->Values)
                if (e.Name == name) entry = &e;
            EXPECT_EQ(TLinuxRegModel::FindValue(*listed, upper(name)), entry) << name;
        }
    }
    // What was removed really is gone, and the rest is there.
    EXPECT_EQ(keys, model.Keys.size() - 1);  // all but the parent added above
    EXPECT_EQ(model.FindKey("HKEY_CURRENT_USER\\Group4\\Key4"), nullptr);
    EXPECT_EQ(model.FindKey("HKEY_CURRENT_USER\\Group3\\Key15"), nullptr);
    EXPECT_EQ(model.FindKey("HKEY_CURRENT_USER\\Group5\\Key11"), nullptr);
    EXPECT_NE(model.FindKey("HKEY_CURRENT_USER\\group2"), nullptr);
    EXPECT_EQ(TLinuxRegModel::FindValue(*model.FindKey("HKEY_CURRENT_USER\\Group3\\Key3"), "value3"), nullptr);
    EXPECT_EQ(TLinuxRegModel::FindValue(*model.FindKey("HKEY_CURRENT_USER\\Group1\\Key1"), "VALUE2"), nullptr);
    EXPECT_NE(TLinuxRegModel::FindValue(*model.FindKey("HKEY_CURRENT_USER\\Group1\\Key1"), "added"), nullptr);
}
