// Paths at the edge of the Windows system: the UTF-8 of the program against the compiler's own
// UTF-16 of the same names, the long form of paths, and the picture search and every reader
// of picture files on names outside the code page and on a path past 260 characters. The
// trees are made with the system's wide calls directly, not with the code under test.
#include "core/win32/Win32Unicode.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Paths.h"
#include "framework/Bitmap.h"
#include "imaging/PictureLoader.h"
#include "pictures/PictureSearch.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"
#include "wdx/ImageFiles.h"

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;
using Win32Unicode::ExtendedPath;
using Win32Unicode::LongPath;
using Win32Unicode::Narrow;
using Win32Unicode::Widen;

namespace {
struct TName {
    std::string Utf8;
    std::wstring Utf16;
};

// Chinese, accented Latin, an emoji outside the Basic Multilingual Plane (a surrogate pair).
const TName Names[] = {{"图片", L"图片"}, {"Größe café", L"Größe café"}, {"😀 Ünïcode", L"😀 Ünïcode"}};

// Removes a folder and everything in it through the long form, which the standard library's
// removal, at the end of TempDir, does not use.
void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + L"\\" + name);
            else
                DeleteFileW((folder + L"\\" + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// The tree's root as the program would name it, and in the long form the fixture uses.
struct TTree {
    TempDir Dir;
    std::wstring System = L"\\\\?\\" + Dir.Path().wstring();
    std::string Root = Narrow(Dir.Path().wstring());

    TTree() = default;
    TTree(const TTree&) = delete;
    TTree& operator=(const TTree&) = delete;
    ~TTree() { RemoveTree(System); }

    void MakeFolder(const std::wstring& relative) const
    {
        ASSERT_TRUE(CreateDirectoryW((System + L"\\" + relative).c_str(), nullptr)) << GetLastError();
    }
    void MakeFile(const std::wstring& relative, const std::string& bytes) const
    {
        const HANDLE file = CreateFileW((System + L"\\" + relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        ASSERT_EQ(written, bytes.size());
    }
    bool Exists(const std::wstring& relative) const
    {
        return GetFileAttributesW((System + L"\\" + relative).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
};
}  // namespace

TEST(Win32Unicode, ConvertsEachScriptBothWaysAndOnlyFallsBackToTheCodePageForInvalidUtf8)
{
    for (const TName& name : Names) {
        EXPECT_EQ(Widen(name.Utf8), name.Utf16) << name.Utf8;
        EXPECT_EQ(Narrow(name.Utf16), name.Utf8) << name.Utf8;
    }
    EXPECT_EQ(Widen("😀").size(), 2u) << "a surrogate pair";
    EXPECT_EQ(Narrow(std::wstring(1, wchar_t(0xD83D))), "\xEF\xBF\xBD") << "a lone surrogate";
    EXPECT_EQ(Widen(std::string("a\0b", 3)), std::wstring(L"a\0b", 3)) << "zeros inside the text are kept";
    // A Windows-1252 byte that no UTF-8 sequence starts with: the text is the code page's.
    wchar_t inCodePage[2] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xB4", 1, inCodePage, 1), 1);
    EXPECT_EQ(Widen("x\xB4"), std::wstring(L"x") + inCodePage[0]);
}

TEST(Win32Unicode, ExtendedPathsTakeDrivesAndNetworkSharesAndLeaveTheirOwnFormAlone)
{
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\Bilder\\图片", L"\\\\?\\C:\\Bilder\\图片"},
        {L"c:/a//b\\\\c/", L"\\\\?\\c:\\a\\b\\c"},
        {L"D:\\", L"\\\\?\\D:\\"},
        {L"\\\\server\\share\\图片", L"\\\\?\\UNC\\server\\share\\图片"},
        {L"//server/share/", L"\\\\?\\UNC\\server\\share"},
        {L"\\\\?\\C:\\already", L"\\\\?\\C:\\already"},
        {L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share"},
        {L"\\\\.\\COM1", L"\\\\.\\COM1"},
        {L"relative\\path", L"relative\\path"},
    };
    for (const auto& [path, extended] : cases) EXPECT_EQ(ExtendedPath(path), extended) << Narrow(path);

    wchar_t current[MAX_PATH] = {};
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
    std::wstring here = current;
    if (here.back() != L'\\') here += L'\\';
    EXPECT_EQ(LongPath("图片\\.\\x\\..\\y.jpg"), L"\\\\?\\" + here + L"图片\\y.jpg");
    EXPECT_EQ(LongPath(""), L"");
}

TEST(Win32Unicode, NamesInAnyScriptAreFoundOpenedAndLoaded)
{
    TTree tree;
    const std::string jpeg = MakeSolidJpeg(40, 30, TRgb{255, 0, 0});
    std::vector<std::string> expected;
    for (const TName& name : Names) {
        tree.MakeFolder(name.Utf16);
        tree.MakeFile(name.Utf16 + L"\\" + name.Utf16 + L".jpg", jpeg);
        tree.MakeFile(name.Utf16 + L"\\" + name.Utf16 + L".txt", "not a picture");
        expected.push_back(tree.Root + "\\" + name.Utf8 + "\\" + name.Utf8 + ".jpg");
    }
    TPictureList found;
    FindPictureFiles(found, tree.Root, PictureMasks());
    ASSERT_THAT(found, UnorderedElementsAre(expected[0], expected[1], expected[2]));

    for (const TName& name : Names) {
        const std::string folder = tree.Root + "\\" + name.Utf8;
        EXPECT_TRUE(DirectoryExists(folder)) << name.Utf8;
        TBitmap bitmap;
        ASSERT_TRUE(LoadJpegIntoBitmap(bitmap, folder, name.Utf8 + ".jpg")) << name.Utf8;
        EXPECT_EQ(bitmap.Width(), 40);
        std::string bytes;
        EXPECT_TRUE(ReadFileBytes(folder + "\\" + name.Utf8 + ".jpg", bytes)) << name.Utf8;
        EXPECT_EQ(bytes, jpeg);

        // What the program writes by name lands under the same name.
        std::FILE* log = AppendToOwnFile(folder + "\\" + name.Utf8 + ".log");
        ASSERT_NE(log, nullptr) << name.Utf8;
        std::fclose(log);
        EXPECT_TRUE(tree.Exists(name.Utf16 + L"\\" + name.Utf16 + L".log")) << name.Utf8;
    }
}

TEST(Win32Unicode, APathPastTwoHundredSixtyCharactersIsSearchedJudgedAndRead)
{
    TTree tree;
    std::wstring relative;
    std::string folder = tree.Root;
    for (int level = 0; level < 6; ++level) {
        const TName& name = Names[level % 3];
        const std::wstring wideLevel = name.Utf16 + std::wstring(40, L'x');
        relative += (relative.empty() ? L"" : L"\\") + wideLevel;
        folder += "\\" + name.Utf8 + std::string(40, 'x');
        tree.MakeFolder(relative);
    }
    const std::string jpeg = MakeSolidJpeg(24, 16, TRgb{0, 0, 255});
    tree.MakeFile(relative + L"\\照片.JPEG", jpeg);
    const std::string picture = folder + "\\照片.JPEG";
    ASSERT_GT(Widen(picture).size(), 300u);

    TPictureList found;
    FindPictureFiles(found, tree.Root, PictureMasks());
    EXPECT_THAT(found, ElementsAre(picture));
    found.clear();
    FindPictureFiles(found, picture, PictureMasks());
    EXPECT_THAT(found, ElementsAre(picture)) << "a path naming the picture itself";

    EXPECT_TRUE(DirectoryExists(folder));
    EXPECT_TRUE(IsRegularFile(picture));
    EXPECT_FALSE(IsRegularFile(folder));
    EXPECT_FALSE(IsRegularFile(folder + "\\missing.jpg"));
    TBitmap bitmap;
    ASSERT_TRUE(LoadJpegIntoBitmap(bitmap, folder, "照片.JPEG"));
    EXPECT_EQ(bitmap.Height(), 16);
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(picture, bytes));
    EXPECT_EQ(bytes, jpeg);
}
