// TRegistry over the Linux settings file: keys and typed values as the program sees them,
// what the file on disk looks like afterwards, damaged files, and places that cannot be written.
#include "framework/Registry.h"
#include "framework/x11/LinuxRegFile.h"
#include "support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

const std::string SettingsKey = "\\SOFTWARE\\Quillory\\Vellumine";
const std::string FullKey = "HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine";

std::vector<uint8_t> Stored(std::string_view text)
{
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t Mode(const fs::path& path)
{
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

// Points XDG_CONFIG_HOME at a temporary folder for the test's life.
class LinuxRegistry : public ::testing::Test {
protected:
    LinuxRegistry()
    {
        if (const char* previous = std::getenv("XDG_CONFIG_HOME")) FPrevious = previous;
        UseConfigHome(FTemp.Path() / "config");
    }
    ~LinuxRegistry() override
    {
        if (FPrevious)
            setenv("XDG_CONFIG_HOME", FPrevious->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    void UseConfigHome(const fs::path& path) { setenv("XDG_CONFIG_HOME", path.c_str(), 1); }
    fs::path Folder() const { return FTemp.Path() / "config" / "vellumine"; }
    fs::path File() const { return Folder() / "registry.reg"; }

    void WriteFile(const std::string& bytes)
    {
        fs::create_directories(Folder());
        std::ofstream(File(), std::ios::binary) << bytes;
    }

    TLinuxRegModel OnDisk()
    {
        const TLinuxRegParse parse = ParseLinuxRegText(ReadBytes(File()));
        EXPECT_TRUE(parse.Ok) << parse.ErrorLine << ": " << parse.Error;
        return parse.Model;
    }

    std::vector<std::string> Backups()
    {
        std::vector<std::string> found;
        for (const std::string& name : Names(Folder()))
            if (name.rfind("registry.reg.damaged-", 0) == 0) found.push_back(name);
        return found;
    }

    TempDir FTemp;

private:
    std::optional<std::string> FPrevious;
};

const std::string Damaged =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\"
    "Vellumine]\r\n\"ImagesPath\"=\"/home/ann/Pictures\"\r\n\"Res_Width\"=dword:320\r\n";

}  // namespace

TEST_F(LinuxRegistry, OpeningWithCreationMakesAPrivateFolderFileAndEmptyKey)
{
    TRegistry registry;
    EXPECT_FALSE(registry.OpenKey(SettingsKey, false));  // no file yet
    EXPECT_FALSE(fs::exists(FTemp.Path() / "config"));   // and looking made none
    ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
    EXPECT_TRUE(registry.HasOpenKey());
    EXPECT_EQ(Mode(Folder()), 0700u);
    EXPECT_EQ(Mode(File()), 0600u);
    EXPECT_THAT(ReadBytes(File()), StartsWith("Windows Registry Editor Version 5.00\n"));
    const TLinuxRegModel model = OnDisk();
    ASSERT_EQ(model.Keys.size(), 1u);
    EXPECT_EQ(model.Keys[0].Path, FullKey);
    EXPECT_TRUE(model.Keys[0].Values.empty());

    // Now present: opening without creation works, for the key and for a parent that exists
    // only through it, whatever the letter case; a missing sibling still does not open.
    TRegistry again;
    EXPECT_TRUE(again.OpenKey("software\\QUILLORY\\vellumine", false));
    EXPECT_TRUE(again.OpenKey("\\SOFTWARE\\Quillory", false));
    EXPECT_FALSE(again.OpenKey("\\SOFTWARE\\Quillory\\Other", false));
    EXPECT_FALSE(again.OpenKey("\\SOFTWARE\\\\Quillory", true));
    EXPECT_EQ(OnDisk().Keys.size(), 1u);
}

TEST_F(LinuxRegistry, PathsWithoutBackslashAreRelativeToTheOpenKey)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("SOFTWARE\\Quillory", true));
    ASSERT_TRUE(registry.OpenKey("Vellumine", true));
    registry.WriteInteger("Speed", 3);
    // A failed open leaves the previous key open.
    EXPECT_FALSE(registry.OpenKey("Missing", false));
    registry.WriteInteger("Other", 4);

    TLinuxRegModel model = OnDisk();
    const TLinuxRegKey* key = model.FindKey(FullKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Values.size(), 2u);
    // A leading backslash goes back to the root.
    EXPECT_TRUE(registry.OpenKey("\\SOFTWARE", false));
    EXPECT_FALSE(registry.OpenKey("\\Vellumine", false));
}

TEST_F(LinuxRegistry, ValuesKeepTheirTypes)
{
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
        registry.WriteString("ImagesPath", "/home/ann/Bilder \"été\"\\");
        registry.WriteInteger("Res_Width", -2);
        registry.WriteExpandString("Expand", "%HOME%/x");
        registry.WriteValue("Blob", TRegValue{rvBinary, {0, 1, 0xFF}});
        registry.WriteValue("Big", TRegValue{rvQword, {1, 2, 3, 4, 5, 6, 7, 8}});
        registry.WriteValue("List", TRegValue{rvMultiString, {'a', 0, 'b', 0, 0}});
        registry.WriteString("", "default");
        registry.WriteInteger("Res_Width", 800);  // replaces, keeps one value
    }
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(SettingsKey, false));
    const auto expect = [&](const std::string& name, uint32_t type, std::vector<uint8_t> data) {
        const std::optional<TRegValue> value = registry.ReadValue(name);
        ASSERT_TRUE(value.has_value()) << name;
        EXPECT_EQ(value->Type, type) << name;
        EXPECT_EQ(value->Data, data) << name;
    };
    expect("ImagesPath", rvString, Stored("/home/ann/Bilder \"été\"\\"));
    expect("res_width", rvDword, {0x20, 0x03, 0, 0});
    expect("Expand", rvExpandString, Stored("%HOME%/x"));
    expect("Blob", rvBinary, {0, 1, 0xFF});
    expect("Big", rvQword, {1, 2, 3, 4, 5, 6, 7, 8});
    expect("List", rvMultiString, {'a', 0, 'b', 0, 0});
    expect("", rvString, Stored("default"));
    EXPECT_FALSE(registry.ReadValue("Absent").has_value());
    EXPECT_EQ(OnDisk().FindKey(FullKey)->Values.size(), 7u);
    EXPECT_THAT(ReadBytes(File()), HasSubstr("\n\"Res_Width\"=dword:00000320\n"));
}

TEST_F(LinuxRegistry, ReadsSeeWhatAnotherHandleWroteSinceOpening)
{
    TRegistry reader, writer;
    ASSERT_TRUE(reader.OpenKey(SettingsKey, true));
    ASSERT_TRUE(writer.OpenKey(SettingsKey, false));
    writer.WriteString("ImagesPath", "/a");
    EXPECT_EQ(reader.ReadValue("ImagesPath")->Data, Stored("/a"));
    writer.WriteString("ImagesPath", "/b");
    EXPECT_EQ(reader.ReadValue("ImagesPath")->Data, Stored("/b"));
    // The key deleted under an open handle comes back with the next write.
    EXPECT_TRUE(writer.DeleteKey("\\SOFTWARE\\Quillory"));
    EXPECT_FALSE(reader.ReadValue("ImagesPath").has_value());
    reader.WriteString("ImagesPath", "/c");
    EXPECT_EQ(writer.ReadValue("ImagesPath")->Data, Stored("/c"));
}

TEST_F(LinuxRegistry, WritesKeepEverythingElseInTheFile)
{
    const std::string original =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Elsewhere]\r\n\"m\"=dword:00000001\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Quillory\\Vellumine]\r\n"
        "\"ImagesPath\"=\"/old\"\r\n\"Speed\"=dword:00000005\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Quillory\\Vellumine\\Sub]\r\n"
        "\"Name\"=hex(2):25,00,41,00,25,00,00,00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Other]\r\n@=\"kept\"\r\n";
    WriteFile(original);
    const TLinuxRegModel before = ParseLinuxRegText(original).Model;
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(SettingsKey, false));
        registry.WriteString("ImagesPath", "/new");
        registry.WriteString("Added", "x");
    }
    const TLinuxRegModel after = OnDisk();
    ASSERT_EQ(after.Keys.size(), before.Keys.size());
    for (size_t k = 0; k < before.Keys.size(); ++k) {
        EXPECT_EQ(after.Keys[k].Path, before.Keys[k].Path);
        if (k == 1) continue;  // the one that changed
        ASSERT_EQ(after.Keys[k].Values.size(), before.Keys[k].Values.size()) << after.Keys[k].Path;
        for (size_t v = 0; v < before.Keys[k].Values.size(); ++v) {
            EXPECT_EQ(after.Keys[k].Values[v].Name, before.Keys[k].Values[v].Name);
            EXPECT_EQ(after.Keys[k].Values[v].Value.Type, before.Keys[k].Values[v].Value.Type);
            EXPECT_EQ(after.Keys[k].Values[v].Value.Data, before.Keys[k].Values[v].Value.Data);
        }
    }
    std::vector<std::string> names;
    for (const TLinuxRegEntry& entry : after.Keys[1].Values) names.push_back(entry.Name);
    EXPECT_THAT(names, ElementsAre("ImagesPath", "Speed", "Added"));
    EXPECT_EQ(after.Keys[1].Values[0].Value.Data, Stored("/new"));
    // Written back as UTF-8 without BOM with LF ends.
    const std::string bytes = ReadBytes(File());
    EXPECT_THAT(bytes, StartsWith("Windows Registry Editor Version 5.00\n"));
    EXPECT_EQ(bytes.find('\r'), std::string::npos);
}

TEST_F(LinuxRegistry, DeletingValuesAndKeys)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(SettingsKey + "\\Sub\\Deeper", true));
    registry.WriteInteger("d", 1);
    ASSERT_TRUE(registry.OpenKey(SettingsKey + "Extra", true));  // shares a prefix only
    ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
    registry.WriteString("a", "1");
    registry.WriteString("b", "2");

    EXPECT_TRUE(registry.DeleteValue("A"));
    EXPECT_FALSE(registry.DeleteValue("a"));
    EXPECT_FALSE(registry.ReadValue("a").has_value());
    EXPECT_TRUE(registry.ReadValue("b").has_value());

    EXPECT_TRUE(registry.DeleteKey("Sub"));  // relative to the open key
    EXPECT_FALSE(registry.DeleteKey("Sub"));
    EXPECT_FALSE(registry.DeleteKey("\\"));  // never the root
    std::vector<std::string> paths;
    for (const TLinuxRegKey& key : OnDisk().Keys) paths.push_back(key.Path);
    EXPECT_THAT(paths, ElementsAre(FullKey, FullKey + "Extra"));

    EXPECT_TRUE(registry.DeleteKey("\\SOFTWARE\\Quillory\\Vellumine"));
    EXPECT_FALSE(registry.DeleteValue("b"));
    TRegistry other;
    EXPECT_FALSE(other.OpenKey(SettingsKey, false));
}

TEST_F(LinuxRegistry, WithoutAnOpenKeyNothingIsReadOrWritten)
{
    TRegistry registry;
    EXPECT_FALSE(registry.HasOpenKey());
    EXPECT_FALSE(registry.ReadValue("x").has_value());
    EXPECT_FALSE(registry.DeleteValue("x"));
    try {
        registry.WriteString("ImagesPath", "/x");
        FAIL() << "write without a key";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), "Failed to set data for 'ImagesPath'");
    }
    ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
    registry.CloseKey();
    EXPECT_FALSE(registry.HasOpenKey());
    EXPECT_THROW(registry.WriteInteger("Speed", 1), ERegistryException);
    EXPECT_TRUE(OnDisk().FindKey(FullKey)->Values.empty());
}

TEST_F(LinuxRegistry, DamagedFileReadsAsEmptyAndIsKeptWhenFirstReplaced)
{
    WriteFile(Damaged);
    const std::vector<std::string> listing = Names(Folder());
    {
        TRegistry registry;
        EXPECT_FALSE(registry.OpenKey(SettingsKey, false));
        ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
        EXPECT_FALSE(registry.ReadValue("ImagesPath").has_value());
        EXPECT_FALSE(registry.DeleteValue("ImagesPath"));
        EXPECT_FALSE(registry.DeleteKey(SettingsKey));
        EXPECT_TRUE(registry.OpenKey("\\SOFTWARE\\Another", true));
    }
    EXPECT_EQ(Names(Folder()), listing);
    EXPECT_EQ(ReadBytes(File()), Damaged);

    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
    registry.WriteString("ImagesPath", "/fresh");
    const std::vector<std::string> backups = Backups();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_THAT(backups[0], ::testing::MatchesRegex("registry\\.reg\\.damaged-[0-9]{8}-[0-9]{6}"));
    EXPECT_EQ(ReadBytes(Folder() / backups[0]), Damaged);
    const TLinuxRegModel model = OnDisk();
    ASSERT_EQ(model.Keys.size(), 1u);
    ASSERT_EQ(model.Keys[0].Values.size(), 1u);
    EXPECT_EQ(registry.ReadValue("ImagesPath")->Data, Stored("/fresh"));

    // Damaged again later (same second or not): the first backup stays as it was.
    const std::string second = "REGEDIT4\n\"orphan\"=\"value\"\n";
    std::ofstream(File(), std::ios::binary | std::ios::trunc) << second;
    registry.WriteInteger("Speed", 2);
    const std::vector<std::string> both = Backups();
    ASSERT_EQ(both.size(), 2u);
    std::vector<std::string> contents;
    for (const std::string& name : both) contents.push_back(ReadBytes(Folder() / name));
    EXPECT_THAT(contents, ::testing::UnorderedElementsAre(Damaged, second));
    EXPECT_EQ(OnDisk().Keys[0].Values.size(), 1u);
}

TEST_F(LinuxRegistry, DamagedFileIsReportedOnStderrWithItsLine)
{
    WriteFile(Damaged);
    ::testing::internal::CaptureStderr();
    TRegistry registry;
    EXPECT_TRUE(registry.OpenKey(SettingsKey, true));
    EXPECT_FALSE(registry.ReadValue("ImagesPath").has_value());
    const std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(message, StartsWith("vellumine: settings file " + File().string() + " is damaged (line 5: "));
    EXPECT_THAT(message, HasSubstr("using defaults"));
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
}

TEST_F(LinuxRegistry, ABinaryFileIsReportedWithItsControlBytesEscaped)
{
    // A terminal title sequence, a bell and a NUL on the first line: none may reach the terminal.
    WriteFile(std::string("\x1B]0;title\x07\x01\0MZ\x7F\r\nmore\n", 19));
    ::testing::internal::CaptureStderr();
    TRegistry registry;
    EXPECT_TRUE(registry.OpenKey(SettingsKey, true));
    EXPECT_FALSE(registry.ReadValue("ImagesPath").has_value());
    const std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(message, HasSubstr("\\x1B]0;title\\x07\\x01\\x00MZ\\x7F")) << message;
    ASSERT_FALSE(message.empty());
    const std::string body = message.substr(0, message.size() - 1);
    EXPECT_EQ(std::count_if(body.begin(), body.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }),
              0)
        << "only the closing line break is a control byte";
}

TEST_F(LinuxRegistry, UnwritablePlaceRefusesCreationAndWrites)
{
    // A regular file where a folder should be stops even root.
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
    registry.WriteString("ImagesPath", "/kept");
    const std::string before = ReadBytes(File());

    const fs::path blocked = FTemp.WriteFile("blocked", "not a folder");
    UseConfigHome(blocked);
    TRegistry elsewhere;
    EXPECT_FALSE(elsewhere.OpenKey(SettingsKey, true));
    EXPECT_FALSE(elsewhere.HasOpenKey());

    // The open handle's folder is replaced by a file: its writes now fail with the message.
    fs::rename(Folder(), FTemp.Path() / "moved");
    std::ofstream(Folder()) << "file";
    try {
        registry.WriteString("ImagesPath", "/lost");
        FAIL() << "write into a file";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), "Failed to set data for 'ImagesPath'");
    }
    EXPECT_THROW(registry.WriteInteger("Res_Width", 1), ERegistryException);
    EXPECT_FALSE(registry.DeleteValue("ImagesPath"));
    EXPECT_EQ(ReadBytes(FTemp.Path() / "moved" / "registry.reg"), before);
}

TEST_F(LinuxRegistry, ReadOnlyFolderRefusesWrites)
{
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
    registry.WriteString("ImagesPath", "/kept");
    fs::permissions(Folder(), fs::perms(0500));
    EXPECT_THROW(registry.WriteString("ImagesPath", "/lost"), ERegistryException);
    EXPECT_FALSE(registry.OpenKey("\\SOFTWARE\\New", true));
    EXPECT_EQ(registry.ReadValue("ImagesPath")->Data, Stored("/kept"));
    fs::permissions(Folder(), fs::perms(0700));
}

TEST_F(LinuxRegistry, NothingStaysOpenLockedOrBehind)
{
    const auto openFiles = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
    const auto before = openFiles();
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
        registry.WriteString("a", "1");
        EXPECT_TRUE(registry.ReadValue("a").has_value());
        EXPECT_TRUE(registry.DeleteValue("a"));
        // Still open, yet the lock is free and no descriptor is held.
        EXPECT_EQ(openFiles(), before);
        const int fd = open((File().string() + ".lock").c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
        close(fd);
    }
    EXPECT_THAT(Names(Folder()), ElementsAre("registry.reg", "registry.reg.lock"));
}

TEST_F(LinuxRegistry, LeftoverTemporaryFilesAreIgnoredAndCleared)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
    registry.WriteString("a", "1");
    std::ofstream(Folder() / "registry.reg.tmp-AbC123") << "Windows Registry Editor Version 5.00\n[HKEY_CURR";
    EXPECT_EQ(registry.ReadValue("a")->Data, Stored("1"));
    registry.WriteString("b", "2");
    EXPECT_THAT(Names(Folder()), ElementsAre("registry.reg", "registry.reg.lock"));
    EXPECT_EQ(registry.ReadValue("a")->Data, Stored("1"));
}

TEST_F(LinuxRegistry, Utf16FileFromWindowsIsReadAndRewrittenAsUtf8)
{
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\"
        "Vellumine]\r\n\"ImagesPath\"=\"C:\\\\Pictures\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : text) {
        utf16 += c;
        utf16 += '\0';
    }
    WriteFile(utf16);
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(SettingsKey, false));
    EXPECT_EQ(registry.ReadValue("ImagesPath")->Data, Stored("C:\\Pictures"));
    registry.WriteInteger("Speed", 1);
    EXPECT_THAT(ReadBytes(File()), HasSubstr("\n\"ImagesPath\"=\"C:\\\\Pictures\"\n"));
    EXPECT_TRUE(Backups().empty());
}

TEST_F(LinuxRegistry, LinkedSettingsFileIsUpdatedWhereItLives)
{
    const fs::path real = FTemp.WriteFile("dotfiles/registry.reg", "REGEDIT4\n\n[" + FullKey + "]\n\"a\"=\"1\"\n");
    fs::create_directories(Folder());
    fs::create_symlink(real, File());
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(SettingsKey, false));
    registry.WriteString("b", "2");
    EXPECT_TRUE(fs::is_symlink(File()));
    EXPECT_THAT(ReadBytes(real), HasSubstr("\"b\"=\"2\""));
    EXPECT_EQ(registry.ReadValue("a")->Data, Stored("1"));
}

TEST(LinuxRegistryLocation, FollowsXdgThenHome)
{
    const auto keep = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto restore = [](const char* name, const std::optional<std::string>& value) {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    };
    const std::optional<std::string> xdg = keep("XDG_CONFIG_HOME"), home = keep("HOME");
    setenv("XDG_CONFIG_HOME", "/x/conf/", 1);
    EXPECT_EQ(LinuxRegFilePath(), "/x/conf/vellumine/registry.reg");
    setenv("HOME", "/home/ann", 1);
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(LinuxRegFilePath(), "/home/ann/.config/vellumine/registry.reg");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_EQ(LinuxRegFilePath(), "/home/ann/.config/vellumine/registry.reg");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    // Without HOME the account's home folder is used.
    EXPECT_THAT(LinuxRegFilePath(), ::testing::EndsWith("/.config/vellumine/registry.reg"));
    EXPECT_THAT(LinuxRegFilePath(), StartsWith("/"));
    restore("XDG_CONFIG_HOME", xdg);
    restore("HOME", home);
}
