// Linux half of the path conventions and file calls: "/" is the only separator.
// Implements: CorePlatform.h's PathDelim, PathSeparators, IsRegularFile, ProgramFolder (/proc/self/exe),
//   UserPicturesFolder (xdg-user-dir PICTURES, else ~/Pictures), OpenFileStream (std::fopen: names are
//   bytes), AppendToOwnFile
// Leaves out: creating the pictures folder
#include "core/Paths.h"

const char PathDelim = '/';
const std::string_view PathSeparators = "/";

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

bool IsRegularFile(const std::string& path)
{
    // File names are bytes here, so the path takes the text as it is.
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

std::string ProgramFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) return "./";
    const std::string program(path, static_cast<size_t>(length));
    return program.substr(0, program.find_last_of('/') + 1);
}

std::string UserPicturesFolder()
{
    const char* homeValue = std::getenv("HOME");
    const std::string home = homeValue ? homeValue : "";
    // The desktop's own answer; it names the home folder itself when none is configured.
    std::string answer;
    if (FILE* pipe = popen("xdg-user-dir PICTURES 2>/dev/null", "r")) {
        char buffer[4096];
        while (fgets(buffer, sizeof buffer, pipe)) answer += buffer;
        pclose(pipe);
    }
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) answer.pop_back();
    while (answer.size() > 1 && answer.back() == '/') answer.pop_back();
    if (!answer.empty() && answer != home) return answer;
    return home + "/Pictures";
}

std::FILE* OpenFileStream(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

std::FILE* AppendToOwnFile(const std::string& path)
{
    if (path.empty()) return nullptr;
    // Non-blocking, so that a FIFO without a reader is refused at once instead of holding
    // the open; what is opened is then checked on the descriptor, not on the name.
    const int fd =
        open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return nullptr;
    struct stat info;
    const bool own = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid();
    const int flags = own ? fcntl(fd, F_GETFL) : -1;
    std::FILE* file = flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 ? fdopen(fd, "a") : nullptr;
    if (!file) close(fd);
    return file;
}
