// Windows path conventions: "\" separates folders and ":" ends a drive name.
// Implements: PathDelim, PathSeparators, ProgramFolder, UserPicturesFolder.
// Does not implement: names outside the system's code page (the A functions are used).
#include "core/Paths.h"

const char PathDelim = '\\';
const std::string_view PathSeparators = "\\:";

#include <windows.h>

#include <shlobj.h>

std::string ProgramFolder()
{
    char path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return ".\\";
    const std::string program(path, length);
    return program.substr(0, program.find_last_of("\\:") + 1);
}

std::string UserPicturesFolder()
{
    char path[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_MYPICTURES, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK) return path;
    return "C:\\My Pictures";
}
