// The Windows registry under the program's settings: text written by an ANSI program in the
// system's code page, text outside any code page, and a key the user may only read. The
// registry is reached here also through the system's own calls, as other programs reach it.
#include <windows.h>
// After windows.h, whose declarations it uses.
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/Registry.h"
#include "settings/Settings.h"
#include "support/RegistrySandbox.h"

namespace {
// The settings key below the root, as the system's calls take it.
const std::string KeyBelowRoot = std::string(SettingsKey).substr(1);

HKEY OpenSettingsKey(REGSAM access)
{
    HKEY key = nullptr;
    const LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, KeyBelowRoot.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        access, nullptr, &key, nullptr);
    return status == ERROR_SUCCESS ? key : nullptr;
}

bool SetKeyAccess(const wchar_t* descriptor)
{
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor, SDDL_REVISION_1, &security, nullptr))
        return false;
    HKEY key = OpenSettingsKey(WRITE_DAC);
    const bool set = key && RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, security) == ERROR_SUCCESS;
    if (key) RegCloseKey(key);
    LocalFree(security);
    return set;
}
}  // namespace

TEST(Win32Registry, TextAnAnsiProgramStoredInTheCodePageReadsBackAsTheSameText)
{
    RegistrySandbox sandbox;
    // The bytes an older build, calling the ANSI functions, stored for this folder.
    const std::wstring folder = L"C:\\Bilder\\Größe – Übersicht";
    char ansi[128] = {};
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, ansi, sizeof ansi, nullptr, &lossy);
    ASSERT_GT(length, 0);
    ASSERT_FALSE(lossy) << "the code page holds the folder's name";
    HKEY key = OpenSettingsKey(KEY_WRITE);
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(RegSetValueExA(key, "ImagesPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(ansi), length), ERROR_SUCCESS);
    RegCloseKey(key);

    EXPECT_EQ(ReadPictureFolder(), "C:\\Bilder\\Größe – Übersicht");
}

TEST(Win32Registry, AFolderOutsideTheCodePageIsStoredAsUtf16TextAndReadBack)
{
    RegistrySandbox sandbox;
    const std::string folder = "D:\\图片\\😀 Größe";
    TRegistry writer;
    SaveSettings(writer, folder, TResolution{800, 600, 16}, 42);

    const TLoadedSettings loaded = LoadSettings();
    EXPECT_EQ(loaded.ImagesPath, folder);
    EXPECT_EQ(loaded.Speed, 42);

    // Other programs see the text itself, with its terminating zero.
    HKEY key = OpenSettingsKey(KEY_READ);
    ASSERT_NE(key, nullptr);
    wchar_t stored[64] = {};
    DWORD type = 0, size = sizeof stored;
    ASSERT_EQ(RegQueryValueExW(key, L"ImagesPath", nullptr, &type, reinterpret_cast<BYTE*>(stored), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(stored, size / sizeof(wchar_t)), std::wstring(L"D:\\图片\\😀 Größe") + L'\0');
}

TEST(Win32Registry, AKeyTheUserMayOnlyReadIsReadAndAWriteToItIsRefused)
{
    RegistrySandbox sandbox;
    TRegistry writer;
    SaveSettings(writer, "E:\\照片", TResolution{1024, 768, 32}, 7);
    // Read, remove and change the permissions only: no value may be set.
    ASSERT_TRUE(SetKeyAccess(L"D:P(A;;KRSDWD;;;WD)"));
    HKEY full = nullptr;
    const LONG refused = RegOpenKeyExA(HKEY_CURRENT_USER, KeyBelowRoot.c_str(), 0, KEY_ALL_ACCESS, &full);
    if (refused == ERROR_SUCCESS) RegCloseKey(full);
    EXPECT_EQ(refused, ERROR_ACCESS_DENIED) << "the system keeps write access from this key";

    const TLoadedSettings loaded = LoadSettings();
    EXPECT_TRUE(loaded.KeyOpened);
    EXPECT_EQ(loaded.ImagesPath, "E:\\照片");
    EXPECT_TRUE(loaded.ResolutionRead);
    EXPECT_EQ(loaded.Speed, 7);
    TRegistry reader;
    EXPECT_THROW(SaveSettings(reader, "F:\\", std::nullopt, 1), ERegistryException);
    EXPECT_EQ(ReadPictureFolder(), "E:\\照片") << "the refused save changed nothing";

    ASSERT_TRUE(SetKeyAccess(L"D:P(A;;KA;;;WD)"));  // so that the sandbox can remove it
}
