// Opening a file to append to: only the user's own regular file, reached without a link,
// and never a FIFO or device that would hold the program at the open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "core/Paths.h"
#include "support/TestSupport.h"

namespace {
namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(AppendToOwnFile, OpensOnlyTheUsersOwnRegularFileWithoutWaiting)
{
    struct Case {
        const char* What;
        std::function<fs::path(TempDir&)> Make;
        bool Opens;
    } cases[] = {
        {"an existing file is appended to", [](TempDir& t) { return t.WriteFile("trace", "before\n"); }, true},
        {"a missing file is created", [](TempDir& t) { return t.Path() / "new-trace"; }, true},
        {"a FIFO without a reader",
         [](TempDir& t) {
             const fs::path fifo = t.Path() / "fifo";
             EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
             return fifo;
         },
         false},
        {"a link to the user's own file",
         [](TempDir& t) {
             const fs::path link = t.Path() / "link";
             fs::create_symlink(t.WriteFile("target", "before\n"), link);
             return link;
         },
         false},
        {"a dangling link",
         [](TempDir& t) {
             const fs::path link = t.Path() / "dangling";
             fs::create_symlink(t.Path() / "nowhere", link);
             return link;
         },
         false},
        {"a folder", [](TempDir& t) { return t.Path(); }, false},
        {"a device", [](TempDir&) { return fs::path("/dev/null"); }, false},
        {"the empty name", [](TempDir&) { return fs::path(); }, false},
    };
    for (const Case& c : cases) {
        TempDir temp;
        const fs::path path = c.Make(temp);
        const auto started = std::chrono::steady_clock::now();
        std::FILE* file = AppendToOwnFile(path.string());
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << c.What;
        EXPECT_EQ(file != nullptr, c.Opens) << c.What;
        EXPECT_FALSE(fs::exists(temp.Path() / "nowhere")) << "a link's target is never made";
        if (!file) continue;
        EXPECT_NE(fcntl(fileno(file), F_GETFD) & FD_CLOEXEC, 0) << "programs started later do not inherit it";
        EXPECT_EQ(fcntl(fileno(file), F_GETFL) & O_NONBLOCK, 0) << "writes wait as a plain file's do";
        std::fputs("added\n", file);
        std::fclose(file);
        const std::string expected = fs::exists(temp.Path() / "trace") ? "before\nadded\n" : "added\n";
        EXPECT_EQ(ReadAll(path), expected) << c.What;
    }
}
}  // namespace
