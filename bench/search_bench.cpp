// Picture search against find(1) over the same warm tree: 100,000 files in about 5,000
// folders, mixed extensions and letter cases, some hidden folders. Both are timed in
// alternation so drift in the machine's load hits them alike; the medians are compared.
#include "BenchSupport.h"
#include "pictures/PictureSearch.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// Built by appending: GCC 12 warns falsely (-Wrestrict) on "text" + std::to_string(n).
std::string Named(std::string_view prefix, int number, std::string_view suffix = {})
{
    std::string name(prefix);
    name += std::to_string(number);
    name += suffix;
    return name;
}

constexpr double Target = 0.7;
constexpr int Rounds = 7;

// 20 top folders x 10 x 25 = 5,000 leaf folders (5,210 in all), 20 files in each leaf.
constexpr int TopFolders = 20;
constexpr int MiddleFolders = 10;
constexpr int LeafFolders = 25;
constexpr int FilesPerLeaf = 20;

const char* const Extensions[] = {".jpg", ".JPG", ".Jpeg", ".jpeg", ".png", ".txt", ".jpe", "", ".jPg", ".gif"};

void MakeTree(const fs::path& root)
{
    int counter = 0;
    for (int top = 0; top < TopFolders; ++top) {
        // Every fifth top folder is hidden; find and the search must both go in.
        const fs::path topPath = root / (Named(top % 5 == 4 ? ".top" : "top", top));
        for (int middle = 0; middle < MiddleFolders; ++middle) {
            const fs::path middlePath = topPath / Named("album ", middle);
            for (int leaf = 0; leaf < LeafFolders; ++leaf) {
                const fs::path leafPath = middlePath / (Named(leaf % 12 == 11 ? ".cache" : "day", leaf));
                fs::create_directories(leafPath);
                for (int file = 0; file < FilesPerLeaf; ++file, ++counter) {
                    const std::string name = Named("IMG_", 100000 + counter, Extensions[(counter * 7 + file) % 10]);
                    const int fd = ::open((leafPath / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
                    if (fd < 0) {
                        std::perror("open");
                        std::exit(2);
                    }
                    ::close(fd);
                }
            }
        }
    }
}

std::vector<std::string> FindArguments(const std::string& root)
{
    return {"find", root, "-type", "f", "(", "-iname", "*.jpg", "-o", "-iname", "*.jpeg", ")"};
}

// Runs find with its output going to outputFd; returns its exit status.
int RunFind(const std::string& root, int outputFd)
{
    std::vector<std::string> arguments = FindArguments(root);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    pid_t pid;
    const int error = posix_spawnp(&pid, "find", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

size_t CountFindLines(const std::string& root)
{
    FILE* output = std::tmpfile();
    if (output == nullptr || RunFind(root, fileno(output)) != 0) return 0;
    std::rewind(output);
    size_t lines = 0;
    for (int c; (c = std::fgetc(output)) != EOF;) lines += c == '\n';
    std::fclose(output);
    return lines;
}

}  // namespace

int main()
{
    using Clock = std::chrono::steady_clock;
    char pattern[] = "/tmp/vellumine-search-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string root = pattern;
    MakeTree(root);

    // Warm the cache, and learn what both should find.
    TPictureList found;
    FindPictureFiles(found, root, PictureMasks());
    const size_t findCount = CountFindLines(root);

    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::vector<double> searchMs, findMs;
    bool findFailed = false;
    for (int round = 0; round < Rounds; ++round) {
        TPictureList list;
        const auto searchStart = Clock::now();
        FindPictureFiles(list, root, PictureMasks());
        const auto searchEnd = Clock::now();
        searchMs.push_back(std::chrono::duration<double, std::milli>(searchEnd - searchStart).count());

        const auto findStart = Clock::now();
        findFailed |= RunFind(root, devNull) != 0;
        const auto findEnd = Clock::now();
        findMs.push_back(std::chrono::duration<double, std::milli>(findEnd - findStart).count());
    }
    ::close(devNull);
    fs::remove_all(root);

    const double search = Median(searchMs);
    const double reference = Median(findMs);
    const double ratio = search / reference;
    const bool sameCount = found.size() == findCount && !findFailed;
    std::printf("search-found %zu, find-found %zu%s\n", found.size(), findCount,
                sameCount ? "" : " (MISMATCH or find failed)");
    std::printf("search median %.1f ms, find median %.1f ms (%d rounds)\n", search, reference, Rounds);
    const bool pass = sameCount && ratio <= Target;
    std::printf("search-vs-find: %.2f (target <= %.1f) %s\n", ratio, Target, pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
