#include "core/Text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/Paths.h"
#include "support/TestSupport.h"

TEST(UpperCaseAscii, ChangesOnlyTheLettersAToZ)
{
    EXPECT_EQ(UpperCaseAscii("/s"), "/S");
    EXPECT_EQ(UpperCaseAscii("Screen saver 1234"), "SCREEN SAVER 1234");
    // Bytes of other characters pass untouched, whatever the locale.
    EXPECT_EQ(UpperCaseAscii("caf\xC3\xA9 \xDF"), "CAF\xC3\xA9 \xDF");
    EXPECT_EQ(UpperCaseAscii(""), "");
    EXPECT_TRUE(SameTextAscii(".Jpeg", ".JPEG"));
    EXPECT_FALSE(SameTextAscii(".jpe", ".jpeg"));
    EXPECT_FALSE(SameTextAscii("\xC3\xA9", "\xC3\x89"));
}

TEST(EscapeControlBytes, WritesOnlyControlBytesAsHex)
{
    struct Case {
        std::string In, Out;
    } cases[] = {
        {"", ""},
        {"/home/a b/\xC3\xA9t\xC3\xA9.jpg", "/home/a b/\xC3\xA9t\xC3\xA9.jpg"},  // UTF-8 and spaces stay
        {"a\nb\rc\td", "a\\x0Ab\\x0Dc\\x09d"},
        {std::string("\0\x1B[2J\x7F", 6), "\\x00\\x1B[2J\\x7F"},
        {"\x1F \x20~\x80\xFF", "\\x1F  ~\x80\xFF"},  // the edges: 0x1F goes, 0x20, 0x7E and high bytes stay
        {"back\\slash", "back\\slash"},              // a Windows path reads as before
    };
    for (const Case& c : cases) EXPECT_EQ(EscapeControlBytes(c.In), c.Out) << c.Out;
}

TEST(ExtractFileExt, TakesTheLastDotOfTheLastName)
{
    const std::string d(1, PathDelim);
    EXPECT_EQ(ExtractFileExt("a" + d + "b.JPG"), ".JPG");
    EXPECT_EQ(ExtractFileExt("x.jpg.bak"), ".bak");
    EXPECT_EQ(ExtractFileExt(d + ".jpg"), ".jpg");
    EXPECT_EQ(ExtractFileExt("holiday.d" + d + "readme"), "") << "a dot in a folder name is no extension";
    EXPECT_EQ(ExtractFileExt("noext"), "");
    EXPECT_EQ(ExtractFileExt("trailing."), ".");
    EXPECT_EQ(ExtractFileExt("*.jpeg"), ".jpeg");
}

TEST(IsRegularFile, OnlyFilesCountAndTheirNamesAreTakenAsFopenTakesThem)
{
    TempDir dir;
    const std::string base = dir.Str() + PathDelim;
    // Made through fopen, so the names are in the narrow encoding the program opens files
    // with (on Windows the ANSI code page, where \x80 is the euro sign).
    for (const std::string name : {"plain.jpg", "caf\xE9.jpg", "\x80 sign.jpg"}) {
        std::FILE* file = std::fopen((base + name).c_str(), "wb");
        ASSERT_NE(file, nullptr) << name;
        std::fclose(file);
        EXPECT_TRUE(IsRegularFile(base + name)) << name;
    }
    std::filesystem::create_directory(dir.Path() / "folder.jpg");
    for (const std::string& path : {base + "folder.jpg", base + "absent.jpg", base, std::string()})
        EXPECT_FALSE(IsRegularFile(path)) << "'" << path << "'";
}
