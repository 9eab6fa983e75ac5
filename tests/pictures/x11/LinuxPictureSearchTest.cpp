// Cases only Linux can set up: links, FIFOs, permissions, folders larger than one read,
// trees deeper than the number of folders the search keeps open.
#include "pictures/PictureSearch.h"

#include "support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

TPictureList Find(const std::string& path)
{
    TPictureList list;
    FindPictureFiles(list, path, PictureMasks());
    return list;
}

// The names of one folder in the order readdir returns them, "." and ".." left out.
std::vector<std::string> ReaddirOrder(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

// Depth first in readdir order, for trees of plain folders and lower-case ".jpg" pictures.
void ExpectedOrder(const std::string& folder, TPictureList& out)
{
    for (const std::string& name : ReaddirOrder(folder)) {
        const std::string full = folder + "/" + name;
        if (fs::is_directory(fs::symlink_status(full)))
            ExpectedOrder(full, out);
        else if (name.ends_with(".jpg"))
            out.push_back(full);
    }
}

size_t OpenDescriptorCount()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

// A search must never wait on anything; a hang turns into a failed test, not a stuck run.
class HangGuard {
public:
    HangGuard() { alarm(20); }
    ~HangGuard() { alarm(0); }
};

}  // namespace

TEST(LinuxPictureSearch, LinkLoopsEndAndEachFolderIsSearchedOnce)
{
    HangGuard guard;
    TempDir dir;
    const std::string root = dir.Str();
    dir.WriteFile("top.jpg");
    dir.WriteFile("a/x.jpg");
    fs::create_directory_symlink("..", dir.Path() / "a" / "back");
    fs::create_directory_symlink(".", dir.Path() / "a" / "self");
    EXPECT_THAT(Find(root), UnorderedElementsAre(root + "/top.jpg", root + "/a/x.jpg"));
}

TEST(LinuxPictureSearch, TwoLinksToOneFolderSearchItOnceWhereFirstMet)
{
    HangGuard guard;
    TempDir dir;
    const std::string root = dir.Str();
    dir.WriteFile("real/r.jpg");
    fs::create_directory_symlink(dir.Path() / "real", dir.Path() / "l1");
    fs::create_directory_symlink("real", dir.Path() / "l2");
    std::string first;
    for (const std::string& name : ReaddirOrder(root)) {
        first = name;
        break;
    }
    EXPECT_THAT(Find(root), ElementsAre(root + "/" + first + "/r.jpg"));
}

TEST(LinuxPictureSearch, LinksToFilesCountByTheirOwnNameAndDanglingLinksNameNothing)
{
    TempDir dir;
    TempDir outside;
    const std::string root = dir.Str();
    const fs::path target = outside.WriteFile("target.png");
    const fs::path picture = outside.WriteFile("real.jpg");
    fs::create_symlink(target, dir.Path() / "named.jpg");
    fs::create_symlink(picture, dir.Path() / "named.png");
    fs::create_symlink(dir.Path() / "gone.jpg.target", dir.Path() / "gone.jpg");
    fs::create_directory_symlink(dir.Path() / "nowhere", dir.Path() / "gone-folder");
    fs::create_directory_symlink(outside.Path(), dir.Path() / "elsewhere");
    EXPECT_THAT(Find(root), UnorderedElementsAre(root + "/named.jpg", root + "/elsewhere/real.jpg"));
    EXPECT_THAT(Find(root + "/named.jpg"), ElementsAre(root + "/named.jpg"));
    EXPECT_THAT(Find(root + "/gone.jpg"), IsEmpty());
    EXPECT_THAT(Find(root + "/gone-folder"), IsEmpty());
    EXPECT_TRUE(DirectoryExists(root + "/elsewhere"));
    EXPECT_FALSE(DirectoryExists(root + "/gone-folder"));
    EXPECT_FALSE(DirectoryExists(root + "/named.jpg"));
}

TEST(LinuxPictureSearch, FifosAndOtherSpecialFilesAreNeverSelected)
{
    HangGuard guard;
    TempDir dir;
    const std::string root = dir.Str();
    dir.WriteFile("real.jpg");
    ASSERT_EQ(mkfifo((root + "/pipe.jpg").c_str(), 0644), 0);
    fs::create_symlink(dir.Path() / "pipe.jpg", dir.Path() / "to-pipe.jpg");
    EXPECT_THAT(Find(root), ElementsAre(root + "/real.jpg"));
    EXPECT_THAT(Find(root + "/pipe.jpg"), IsEmpty());
    EXPECT_THAT(Find(root + "/to-pipe.jpg"), IsEmpty());
    EXPECT_THAT(Find("/dev/null"), IsEmpty());
}

TEST(LinuxPictureSearch, UnreadableFolderIsSkippedAndTheWalkGoesOn)
{
    TempDir dir;
    const std::string root = dir.Str();
    // Several readable neighbours, so some surely come after the locked folder.
    TPictureList expected;
    for (size_t i = 0; i < 6; ++i) {
        dir.WriteFile(Named("open", i, "/b.jpg"));
        expected.push_back(root + Named("/open", i, "/b.jpg"));
    }
    dir.WriteFile("locked/hidden.jpg");
    ASSERT_EQ(chmod((root + "/locked").c_str(), 0), 0);

    // Root reads any folder, so as root the search runs in a child that gives up its rights.
    std::string output;
    if (geteuid() == 0) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeFds[0]);
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
            std::string text;
            for (const std::string& path : Find(root)) text += path + "\n";
            for (const std::string& path : Find(root + "/locked")) text += path + "\n";
            const bool written = write(pipeFds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
            _exit(written ? 0 : 3);
        }
        close(pipeFds[1]);
        char buffer[4096];
        ssize_t got;
        while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) output.append(buffer, static_cast<size_t>(got));
        close(pipeFds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot drop root rights here (no setuid)";
        ASSERT_EQ(WEXITSTATUS(status), 0);
    } else {
        for (const std::string& path : Find(root)) output += path + "\n";
        for (const std::string& path : Find(root + "/locked")) output += path + "\n";
    }
    TPictureList found;
    for (size_t start = 0, end; (end = output.find('\n', start)) != std::string::npos; start = end + 1)
        found.push_back(output.substr(start, end - start));
    EXPECT_THAT(found, ::testing::UnorderedElementsAreArray(expected));
}

TEST(LinuxPictureSearch, LargeFoldersKeepReaddirOrderAroundASubFolder)
{
    TempDir dir;
    const std::string root = dir.Str();
    // Long names push each folder past a single read, and the big sub-folder's entries
    // arrive while its parent still has entries to handle.
    const std::string padding(120, 'n');
    for (size_t i = 0; i < 40; ++i) dir.WriteFile(Named("p", i, ".jpg"));
    for (size_t i = 0; i < 3000; ++i) dir.WriteFile("big/" + padding + Named("", i, i % 3 ? ".jpg" : ".txt"));
    TPictureList expected;
    ExpectedOrder(root, expected);
    ASSERT_EQ(expected.size(), 40u + 2000u);
    EXPECT_EQ(Find(root), expected);
}

TEST(LinuxPictureSearch, DeepTreesAreSearchedWholeWithoutLeakingDescriptors)
{
    TempDir dir;
    const std::string root = dir.Str();
    std::string relative;
    for (size_t level = 0; level < 80; ++level) {
        relative += Named("d", level % 10, "/");
        dir.WriteFile(relative + Named("p", level, ".jpg"));
        dir.WriteFile(relative + "q.txt");
    }
    TPictureList expected;
    ExpectedOrder(root, expected);
    ASSERT_EQ(expected.size(), 80u);
    const size_t before = OpenDescriptorCount();
    EXPECT_EQ(Find(root), expected);
    EXPECT_EQ(OpenDescriptorCount(), before);
}
