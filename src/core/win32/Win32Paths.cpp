// Windows half of the path conventions and file calls.
// Implements: CorePlatform.h's PathDelim, PathSeparators, IsRegularFile, OpenFileStream, ProgramFolder,
//   UserPicturesFolder, AppendToOwnFile (a plain open: no FIFOs to hang on, and no owner to check)
// Leaves out: nothing
// "\" separates folders and ":" ends a drive name. Paths are UTF-8 inside the program and
// reach the system through its wide calls (Win32Unicode.h), so any name and any length up to
// the system's own limit work.
#include "core/Paths.h"

const char PathDelim = '\\';
const std::string_view PathSeparators = "\\:";

#include <windows.h>

#include <shlobj.h>

#include "core/win32/Win32Unicode.h"

using Win32Unicode::LongPath;
using Win32Unicode::Narrow;
using Win32Unicode::Widen;

bool IsRegularFile(const std::string& path)
{
    if (path.empty()) return false;
    // The open follows links to what they name; no access is asked, so a file another
    // program holds open is still seen.
    const HANDLE file = CreateFileW(LongPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool regular = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
                         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(file);
    return regular;
}

std::string ProgramFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return ".\\";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) return ".\\";
        path.resize(path.size() * 2);
    }
    const std::string program = Narrow(path);
    return program.substr(0, program.find_last_of("\\:") + 1);
}

std::string UserPicturesFolder()
{
    wchar_t path[MAX_PATH];
    if (SHGetFolderPathW(nullptr, CSIDL_MYPICTURES, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK) return Narrow(path);
    return "C:\\My Pictures";
}

std::FILE* OpenFileStream(const std::string& path, const char* mode)
{
    if (path.empty()) return nullptr;
    return _wfopen(LongPath(path).c_str(), Widen(mode).c_str());
}

std::FILE* AppendToOwnFile(const std::string& path) { return OpenFileStream(path, "a"); }
