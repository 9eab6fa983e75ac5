// Windows path conventions: "\" separates folders and ":" ends a drive name.
#include "core/Paths.h"

const char PathDelim = '\\';
const std::string_view PathSeparators = "\\:";

#include <windows.h>

std::string ProgramFolder()
{
    char path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return ".\\";
    const std::string program(path, length);
    return program.substr(0, program.find_last_of("\\:") + 1);
}
