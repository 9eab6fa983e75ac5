#include "pictures/PictureSearch.h"

#include "core/Paths.h"
#include "core/Random.h"
#include "support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

std::string Join(const std::string& folder, const std::string& name) { return folder + PathDelim + name; }

TPictureList Find(const std::string& path, const std::vector<std::string>& masks = PictureMasks())
{
    TPictureList list;
    FindPictureFiles(list, path, masks);
    return list;
}

// The order the search must keep: each folder's entries as the platform lists them (the
// standard library asks the same system call), a sub-folder's contents where it stands.
// Only used on trees where every picture name ends in lower-case ".jpg".
void ListInEnumerationOrder(const std::string& folder, TPictureList& out)
{
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const std::string full = Join(folder, name);
        if (entry.is_directory())
            ListInEnumerationOrder(full, out);
        else if (name.ends_with(".jpg"))
            out.push_back(full);
    }
}

}  // namespace

TEST(PictureMasks, AreJpgThenJpeg) { EXPECT_THAT(PictureMasks(), ElementsAre("*.jpg", "*.jpeg")); }

TEST(PictureSearch, SelectsJpgAndJpegInAnyCaseOnly)
{
    TempDir dir;
    for (const char* name : {"a.JPG", "b.jpeg", "p.jpe", "d.png", "e", "f.JpEg"}) dir.WriteFile(name, "x");
    const std::string root = dir.Str();
    EXPECT_THAT(Find(root), UnorderedElementsAre(Join(root, "a.JPG"), Join(root, "b.jpeg"), Join(root, "f.JpEg")));
}

TEST(PictureSearch, EveryFormatTakesTheOtherKindsInAnyCaseAndStillNothingElse)
{
    TempDir dir;
    const std::vector<std::string> taken = {"a.JPG", "b.heic", "c.HEIF", "d.avif", "e.WebP",
                                            "f.png", "g.jxl",  "h.tif",  "i.TIFF", "j.jpeg"};
    for (const std::string& name : taken) dir.WriteFile(name, "x");
    for (const char* name : {"k.gif", "l.bmp", "m.jpe", "n.heic.txt", "png", "o.tga"}) dir.WriteFile(name, "x");
    const std::string root = dir.Str();
    std::vector<std::string> expected;
    for (const std::string& name : taken) expected.push_back(Join(root, name));
    EXPECT_THAT(Find(root, PictureMasks(true)), ::testing::UnorderedElementsAreArray(expected));
    EXPECT_THAT(Find(root, PictureMasks(false)), UnorderedElementsAre(Join(root, "a.JPG"), Join(root, "j.jpeg")));
}

TEST(PictureSearch, ExtensionIsTheTextAfterTheLastDot)
{
    TempDir dir;
    // No trailing-dot name here: Windows drops a trailing dot when it creates a file.
    for (const char* name : {"x.jpg.bak", ".jpg", "y.bak.jpg", "jpg", "jpg.txt"}) dir.WriteFile(name);
    const std::string root = dir.Str();
    EXPECT_THAT(Find(root), UnorderedElementsAre(Join(root, ".jpg"), Join(root, "y.bak.jpg")));
}

TEST(PictureSearch, FolderNamedLikeAPictureIsSearchedNeverAdded)
{
    TempDir dir;
    dir.WriteFile("holiday.jpg/inner.jpg");
    dir.WriteFile("holiday.jpg/notes.txt");
    const std::string root = dir.Str();
    EXPECT_THAT(Find(root), ElementsAre(Join(Join(root, "holiday.jpg"), "inner.jpg")));
}

TEST(PictureSearch, FindsPicturesInNestedAndHiddenFolders)
{
    TempDir dir;
    dir.WriteFile("sub/one.jpg");
    dir.WriteFile("sub/deeper/two.jpeg");
    dir.WriteFile("sub/deeper/deepest/three.JPG");
    dir.WriteFile(".hidden/four.jpg");
    dir.WriteFile("sub/.cache/five.jpg");
    dir.WriteFile("empty/readme.txt");
    const std::string root = dir.Str();
    const std::string sub = Join(root, "sub");
    EXPECT_THAT(Find(root),
                UnorderedElementsAre(Join(sub, "one.jpg"), Join(Join(sub, "deeper"), "two.jpeg"),
                                     Join(Join(Join(sub, "deeper"), "deepest"), "three.JPG"),
                                     Join(Join(root, ".hidden"), "four.jpg"), Join(Join(sub, ".cache"), "five.jpg")));
}

TEST(PictureSearch, OrderIsDepthFirstInEnumerationOrder)
{
    TempDir dir;
    // Enough files and folders side by side that the enumeration interleaves them.
    for (size_t i = 0; i < 6; ++i) {
        const std::string folder = Named("f", i, "/");
        dir.WriteFile(Named("top", i, ".jpg"));
        dir.WriteFile(Named("note", i, ".txt"));
        for (size_t j = 0; j < 4; ++j) dir.WriteFile(folder + Named("in", j, ".jpg"));
        dir.WriteFile(folder + Named("g/under", i, ".jpg"));
        dir.WriteFile(folder + "g/h/bottom.jpg");
        dir.WriteFile(folder + Named("after", i, ".jpg"));
    }
    TPictureList expected;
    ListInEnumerationOrder(dir.Str(), expected);
    ASSERT_EQ(expected.size(), 6u * 8u);
    EXPECT_EQ(Find(dir.Str()), expected);
}

TEST(PictureSearch, TrailingSeparatorIsDoubled)
{
    TempDir dir;
    dir.WriteFile("a.jpg");
    dir.WriteFile("sub/b.jpg");
    const std::string root = dir.Str() + PathDelim;
    EXPECT_THAT(Find(root), UnorderedElementsAre(Join(root, "a.jpg"), Join(Join(root, "sub"), "b.jpg")));
}

TEST(PictureSearch, PathNamingAFileIsJudgedByItsOwnExtension)
{
    TempDir dir;
    const std::string picture = dir.WriteFile("Photo.JpEg").string();
    const std::string other = dir.WriteFile("photo.png").string();
    const std::string tricky = dir.WriteFile("photo.jpg.txt").string();
    EXPECT_THAT(Find(picture), ElementsAre(picture));
    EXPECT_THAT(Find(other), IsEmpty());
    EXPECT_THAT(Find(tricky), IsEmpty());
}

TEST(PictureSearch, EmptyOrMissingPathYieldsNothing)
{
    TempDir dir;
    dir.WriteFile("a.jpg");
    EXPECT_THAT(Find(""), IsEmpty());
    EXPECT_THAT(Find(Join(dir.Str(), "missing")), IsEmpty());
    EXPECT_THAT(Find(Join(Join(dir.Str(), "missing"), "a.jpg")), IsEmpty());
}

TEST(PictureSearch, AppendsToTheListWithoutClearingIt)
{
    TempDir dir;
    dir.WriteFile("a.jpg");
    TPictureList list = {"kept", "also kept"};
    FindPictureFiles(list, dir.Str(), PictureMasks());
    FindPictureFiles(list, Join(dir.Str(), "missing"), PictureMasks());
    EXPECT_THAT(list, ElementsAre("kept", "also kept", Join(dir.Str(), "a.jpg")));
}

TEST(PictureSearch, OnlyTheMaskExtensionCountsAndTheFirstMatchAddsOnce)
{
    TempDir dir;
    dir.WriteFile("z.png");
    dir.WriteFile("photo1.jpg");
    const std::string root = dir.Str();
    // The name part of a mask is ignored: any .png qualifies, however it is named.
    EXPECT_THAT(Find(root, {"photo?.PNG"}), ElementsAre(Join(root, "z.png")));
    EXPECT_THAT(Find(root, {"*.jpg", "*.JPG", "x*.jpg"}), ElementsAre(Join(root, "photo1.jpg")));
    EXPECT_THAT(Find(Join(root, "photo1.jpg"), {"*.JPG", "*.jpg"}), ElementsAre(Join(root, "photo1.jpg")));
    EXPECT_THAT(Find(root, {}), IsEmpty());
}

TEST(PictureSearch, DirectoryExistsOnlyForFolders)
{
    TempDir dir;
    const std::string file = dir.WriteFile("sub/a.jpg").string();
    EXPECT_TRUE(DirectoryExists(dir.Str()));
    EXPECT_TRUE(DirectoryExists(Join(dir.Str(), "sub")));
    EXPECT_FALSE(DirectoryExists(file));
    EXPECT_FALSE(DirectoryExists(Join(dir.Str(), "missing")));
    EXPECT_FALSE(DirectoryExists(""));
}

namespace {

TPictureList Numbered(size_t count)
{
    TPictureList list;
    for (size_t i = 0; i < count; ++i) list.push_back(Named("p", i));
    return list;
}

}  // namespace

TEST(ShufflePictureList, SwapsEachPlaceWithADrawOverTheWholeList)
{
    constexpr uint32_t seed = 0x2545F491u;
    TPictureList expected = Numbered(13);
    uint32_t state = seed;
    for (size_t i = 0; i < expected.size(); ++i) {
        state = state * 134775813u + 1u;
        const size_t j = static_cast<size_t>((uint64_t{expected.size()} * state) >> 32);
        std::swap(expected[i], expected[j]);
    }

    TPictureList list = Numbered(13);
    SetRandSeed(seed);
    ShufflePictureList(list);
    EXPECT_EQ(list, expected);
    // Exactly one draw per entry, so whatever draws next sees the same state.
    EXPECT_EQ(GetRandSeed(), state);
}

TEST(ShufflePictureList, SameSeedGivesTheSameOrderOfTheSameEntries)
{
    TPictureList first = Numbered(50);
    TPictureList second = Numbered(50);
    SetRandSeed(777);
    ShufflePictureList(first);
    SetRandSeed(777);
    ShufflePictureList(second);
    EXPECT_EQ(first, second);
    std::sort(first.begin(), first.end());
    TPictureList sorted = Numbered(50);
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(first, sorted);
}

TEST(ShufflePictureList, OneEntryStaysAndNoEntryIsFine)
{
    TPictureList one = {"only"};
    SetRandSeed(99);
    ShufflePictureList(one);
    EXPECT_THAT(one, ElementsAre("only"));
    EXPECT_EQ(GetRandSeed(), 99u * 134775813u + 1u);

    TPictureList none;
    SetRandSeed(99);
    ShufflePictureList(none);
    EXPECT_THAT(none, IsEmpty());
    EXPECT_EQ(GetRandSeed(), 99u);
}
