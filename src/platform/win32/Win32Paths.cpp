// Windows path conventions: "\" separates folders and ":" ends a drive name.
// Implements: PathDelim, PathSeparators, IsRegularFile, ProgramFolder, UserPicturesFolder,
// AppendToOwnFile (a plain open: no FIFOs to hang on, and no owner to check).
// Does not implement: names outside the system's code page (the A functions are used).
#include "core/Paths.h"

const char PathDelim = '\\';
const std::string_view PathSeparators = "\\:";

#include <sys/stat.h>
#include <windows.h>

#include <shlobj.h>

bool IsRegularFile(const std::string& path)
{
    // The C runtime reads the name in the ANSI code page, as fopen does; the standard
    // library's paths would take its bytes for another encoding.
    struct _stat info;
    return !path.empty() && _stat(path.c_str(), &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFREG;
}

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

std::FILE* AppendToOwnFile(const std::string& path) { return path.empty() ? nullptr : std::fopen(path.c_str(), "a"); }
