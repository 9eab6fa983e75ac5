// The dialog's rules that need no screen: speed from the mouse, Browse's cut, and which
// video modes are offered and which one the stored resolution selects.
#include "dialog/CfgRules.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/Paths.h"
#include "wdx/WDirectHeader.h"

namespace {
TVideoModeInfo Mode(int32_t w, int32_t h, int32_t bits, bool windowed = false)
{
    TVideoModeInfo mode;
    mode.Windowed = windowed;
    mode.Width = w;
    mode.Height = h;
    mode.Bits = bits;
    return mode;
}

int Select(const std::vector<TVideoModeInfo>& modes, const TResolution& stored, int current = 0)
{
    return StoredModeIndex(
        static_cast<int>(modes.size()), [&](int i) { return modes.at(static_cast<size_t>(i)); }, stored, current);
}
}  // namespace

TEST(CfgRules, SpeedFromTheMouseOnABarOf345Pixels)
{
    // Before the bar limits them to 1..100.
    const std::vector<std::pair<int, int>> raw = {{0, 0},     {1, 0},     {3, 1},    {172, 50}, {343, 99},
                                                  {344, 100}, {345, 100}, {-20, -6}, {500, 145}};
    for (const auto& [x, expected] : raw) EXPECT_EQ(SpeedPositionFromX(x, 345), expected) << "x = " << x;
    // Halves go to the even neighbour: 69 * 100 / 138 = 50 exactly, 3 * 100 / 120 = 2.5.
    EXPECT_EQ(SpeedPositionFromX(3, 120), 2);
    EXPECT_EQ(SpeedPositionFromX(9, 200), 4) << "4.5 goes to 4";
    EXPECT_EQ(SpeedPositionFromX(7, 200), 4) << "3.5 goes to 4";
    EXPECT_FALSE(SpeedPositionFromX(10, 0).has_value()) << "a bar of no width has no position";
}

TEST(CfgRules, BrowseCutsTheChosenFileToItsFolder)
{
    if (PathDelim == '/') {
        EXPECT_EQ(FolderCutAfterSeparator("/home/ann/Photos/a.jpg"), "/home/ann/Photos/");
        EXPECT_EQ(WithoutTrailingSeparator("/home/ann/Photos/"), "/home/ann/Photos");
        EXPECT_EQ(FolderCutAfterSeparator("/home/ann/My Photos.d/b.c.jpeg"), "/home/ann/My Photos.d/");
        // A picture at the root keeps the root's name.
        EXPECT_EQ(FolderCutAfterSeparator("/a.jpg"), "/");
        EXPECT_EQ(WithoutTrailingSeparator("/"), "/");
        EXPECT_EQ(FolderCutAfterSeparator("D:\\Photos\\a.jpg"), "") << "a backslash is a name character here";
    } else {
        EXPECT_EQ(FolderCutAfterSeparator("D:\\Photos\\a.jpg"), "D:\\Photos\\");
        EXPECT_EQ(WithoutTrailingSeparator("D:\\Photos\\"), "D:\\Photos");
        EXPECT_EQ(FolderCutAfterSeparator("E:\\a.jpg"), "E:\\");
        EXPECT_EQ(WithoutTrailingSeparator("E:\\"), "E:");
        EXPECT_EQ(FolderCutAfterSeparator("E:a.jpg"), "E:") << "the drive's colon ends a folder part too";
    }
    EXPECT_EQ(FolderCutAfterSeparator("a.jpg"), "");
    EXPECT_EQ(WithoutTrailingSeparator(""), "");
}

TEST(CfgRules, OffersNeitherTheWindowedEntryNorEightBitModes)
{
    EXPECT_FALSE(OffersVideoMode(Mode(1024, 768, 32, true)));
    EXPECT_FALSE(OffersVideoMode(Mode(800, 600, 8)));
    EXPECT_FALSE(OffersVideoMode(Mode(800, 600, 8, true)));
    for (int bits : {15, 16, 24, 32}) EXPECT_TRUE(OffersVideoMode(Mode(320, 200, bits))) << bits;
}

TEST(CfgRules, TheStoredResolutionSelectsTheLastMatchingEntry)
{
    const std::vector<TVideoModeInfo> modes = {Mode(640, 480, 16), Mode(1024, 768, 16), Mode(1024, 768, 32),
                                               Mode(800, 600, 16), Mode(1024, 768, 32)};
    EXPECT_EQ(Select(modes, {1024, 768, 32}), 4) << "the scan goes on past the first match";
    EXPECT_EQ(Select(modes, {1024, 768, 16}), 1) << "the depth tells the 16-bit line from the 32-bit one";
    EXPECT_EQ(Select(modes, {800, 600, 16}, 2), 3);
    EXPECT_EQ(Select(modes, {800, 600, 8}, 0), 0) << "no match keeps the selection";
    EXPECT_EQ(Select(modes, {768, 1024, 32}, 2), 2) << "width and height are not interchangeable";
    EXPECT_EQ(Select({}, {800, 600, 16}, -1), -1);
}
