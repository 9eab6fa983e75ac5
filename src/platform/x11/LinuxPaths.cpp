// Linux path conventions: "/" is the only separator.
#include "core/Paths.h"

const char PathDelim = '/';
const std::string_view PathSeparators = "/";

#include <unistd.h>

#include <climits>

std::string ProgramFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) return "./";
    const std::string program(path, static_cast<size_t>(length));
    return program.substr(0, program.find_last_of('/') + 1);
}
