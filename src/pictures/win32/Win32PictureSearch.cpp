// Windows half of the picture search.
// Implements: PicturesPlatform.h's FindPictureFiles, DirectoryExists
// Leaves out: sorting, removing duplicates the caller passes in, reporting any error
// The walk is depth first with FindFirstFileW / FindNextFileW in the order the file system
// returns each folder, hidden and system entries included; names in any script and paths
// past 260 characters work (the calls take the "\\?\" form); each folder is searched once per
// call, by volume serial number and file index, so junction and link loops end; folders that
// cannot be listed are skipped without error. A name holding a lone surrogate, which no UTF-8
// text can carry, is listed with U+FFFD in its place; opening it then fails and the show
// passes it over as any unreadable picture.
#include "pictures/PictureSearch.h"

#include "core/Paths.h"
#include "core/Text.h"
#include "core/win32/Win32Unicode.h"

#include <windows.h>

#include <set>
#include <tuple>
#include <utility>

namespace {

using FolderId = std::tuple<DWORD, DWORD, DWORD>;  // volume serial, index high, index low

class PictureWalker {
public:
    PictureWalker(TPictureList& list, const std::vector<std::string>& masks) : FList(list)
    {
        FExtensions.reserve(masks.size());
        for (const std::string& mask : masks) FExtensions.push_back(UpperCaseAscii(ExtractFileExt(mask)));
    }

    void Search(const std::string& path)
    {
        const std::wstring system = Win32Unicode::LongPath(path);
        const DWORD attributes = system.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(system.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            SearchFolder(path, system);
        else if (IsPicture(ExtractFileExt(path)))
            FList.push_back(path);
    }

private:
    TPictureList& FList;
    std::vector<std::string> FExtensions;  // upper-cased, dot included
    std::set<FolderId> FSearched;

    bool IsPicture(std::string_view extension) const
    {
        for (const std::string& wanted : FExtensions)
            if (SameTextAscii(extension, wanted)) return true;
        return false;
    }

    // False when the folder was searched before in this call. A folder whose identity
    // cannot be read is searched anyway: the system's path length limit still ends a loop.
    bool FirstVisit(const std::wstring& system)
    {
        const HANDLE folder = CreateFileW(system.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (folder == INVALID_HANDLE_VALUE) return true;
        BY_HANDLE_FILE_INFORMATION info;
        const BOOL known = GetFileInformationByHandle(folder, &info);
        CloseHandle(folder);
        if (!known) return true;
        return FSearched.insert({info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow}).second;
    }

    // path is the folder as the caller wrote it, which the list's entries extend; system is
    // the same folder in the form the wide calls take.
    void SearchFolder(const std::string& path, const std::wstring& system)
    {
        if (!FirstVisit(system)) return;
        // A drive's root keeps its separator in the long form.
        const std::wstring folder = system.back() == L'\\' ? system : system + L'\\';
        WIN32_FIND_DATAW found;
        const HANDLE search =
            FindFirstFileExW((folder + L'*').c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
        if (search == INVALID_HANDLE_VALUE) return;
        do {
            const wchar_t* name = found.cFileName;
            if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
            const std::string utf8 = Win32Unicode::Narrow(name);
            std::string entry = path + PathDelim + utf8;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                SearchFolder(entry, folder + name);
            else if (IsPicture(ExtractFileExt(utf8)))
                FList.push_back(std::move(entry));
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
};

}  // namespace

void FindPictureFiles(TPictureList& list, const std::string& path, const std::vector<std::string>& masks)
{
    PictureWalker walker(list, masks);
    walker.Search(path);
}

bool DirectoryExists(const std::string& path)
{
    const std::wstring system = Win32Unicode::LongPath(path);
    const DWORD attributes = system.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(system.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
