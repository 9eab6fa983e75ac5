#include "core/Text.h"

#include <gtest/gtest.h>

#include "core/Paths.h"

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
