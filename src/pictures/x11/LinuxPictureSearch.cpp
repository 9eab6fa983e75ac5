// Linux half of the picture search.
// Implements: PicturesPlatform.h's FindPictureFiles, DirectoryExists
// Leaves out: sorting, removing duplicates the caller passes in, reporting any error
// The walk is depth first in the order getdents64 returns each folder, hidden entries
// included; symbolic links are followed, each folder searched once per call (so link loops
// end); unreadable folders and dangling links are skipped without error; only regular files
// (or links to them) are selected, never FIFOs, sockets or devices.
#include "pictures/PictureSearch.h"

#include "core/Paths.h"
#include "core/Text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <unordered_set>

namespace {

// Folders nearer the top than this keep their descriptor open while their entries are
// handled, so sub-folders and links resolve relative to it; deeper ones fall back to full
// paths, which bounds the number of open descriptors whatever the depth.
constexpr int MaxHeldFolders = 32;

// getdents64 fills at most this much per call; a folder is read whole before its entries
// are handled, so the read buffer only ever grows for very large folders.
constexpr size_t ReadChunk = 64 * 1024;

struct FolderId {
    dev_t Device;
    ino_t Inode;
    bool operator==(const FolderId&) const = default;
};

struct FolderIdHash {
    size_t operator()(const FolderId& id) const
    {
        return std::hash<uint64_t>()(static_cast<uint64_t>(id.Inode) * 0x9E3779B97F4A7C15ull ^
                                     static_cast<uint64_t>(id.Device));
    }
};

class PictureWalker {
public:
    PictureWalker(TPictureList& list, const std::vector<std::string>& masks) : FList(list)
    {
        FExtensions.reserve(masks.size());
        for (const std::string& mask : masks) FExtensions.push_back(UpperCaseAscii(ExtractFileExt(mask)));
    }

    ~PictureWalker() = default;
    PictureWalker(const PictureWalker&) = delete;
    PictureWalker& operator=(const PictureWalker&) = delete;

    void Search(const std::string& path)
    {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) return;
        if (S_ISDIR(st.st_mode)) {
            FPath = path;
            const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd >= 0) SearchFolder(fd, 0);
        } else if (S_ISREG(st.st_mode) && IsPicture(ExtractFileExt(path))) {
            FList.push_back(path);
        }
    }

private:
    TPictureList& FList;
    std::vector<std::string> FExtensions;  // upper-cased, dot included
    std::unordered_set<FolderId, FolderIdHash> FSearched;
    std::string FPath;  // the folder or entry being handled; grows and shrinks with the walk
    // Entries of every folder on the current branch, one after the other: a folder's block
    // stays put (by offset) while its sub-folders append theirs behind it.
    std::unique_ptr<char[]> FEntries;
    size_t FEntriesSize = 0;
    size_t FEntriesCapacity = 0;

    bool IsPicture(std::string_view extension) const
    {
        for (const std::string& wanted : FExtensions)
            if (SameTextAscii(extension, wanted)) return true;
        return false;
    }

    // The extension of a bare entry name: from its last dot, dot included.
    bool NameIsPicture(const char* name, size_t length) const
    {
        const char* dot = static_cast<const char*>(::memrchr(name, '.', length));
        if (dot == nullptr) return IsPicture({});
        return IsPicture(std::string_view(dot, static_cast<size_t>(name + length - dot)));
    }

    void Reserve(size_t extra)
    {
        if (FEntriesCapacity - FEntriesSize >= extra) return;
        size_t capacity = FEntriesCapacity ? FEntriesCapacity * 2 : 4 * ReadChunk;
        while (capacity - FEntriesSize < extra) capacity *= 2;
        std::unique_ptr<char[]> bigger(new char[capacity]);
        if (FEntriesSize) std::memcpy(bigger.get(), FEntries.get(), FEntriesSize);
        FEntries = std::move(bigger);
        FEntriesCapacity = capacity;
    }

    // Reads every entry of the open folder behind those already held. False when reading
    // fails part-way, in which case the folder counts as unreadable.
    bool ReadAll(int fd)
    {
        for (;;) {
            Reserve(ReadChunk);
            const ssize_t got = ::getdents64(fd, FEntries.get() + FEntriesSize, ReadChunk);
            if (got == 0) return true;
            if (got < 0) return false;
            FEntriesSize += static_cast<size_t>(got);
        }
    }

    // Searches the folder open as fd, whose path is FPath, and closes fd.
    void SearchFolder(int fd, int depth)
    {
        struct stat st;
        if (::fstat(fd, &st) != 0 || !FSearched.insert({st.st_dev, st.st_ino}).second) {
            ::close(fd);
            return;
        }
        const size_t begin = FEntriesSize;
        if (!ReadAll(fd)) {
            ::close(fd);
            FEntriesSize = begin;
            return;
        }
        const size_t end = FEntriesSize;
        int held = fd;
        if (depth >= MaxHeldFolders) {
            ::close(fd);
            held = -1;
        }
        const size_t pathLength = FPath.size();
        for (size_t at = begin; at < end;) {
            // Re-read the base each time: a sub-folder's entries may have moved the buffer.
            const auto* entry = reinterpret_cast<const struct dirent64*>(FEntries.get() + at);
            at += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
            const size_t nameLength = std::strlen(name);
            unsigned char type = entry->d_type;
            if (type == DT_LNK || type == DT_UNKNOWN) type = TypeOf(held, name, nameLength, pathLength);
            if (type == DT_REG) {
                if (NameIsPicture(name, nameLength)) {
                    std::string& added = FList.emplace_back();
                    added.reserve(pathLength + 1 + nameLength);
                    added.append(FPath).push_back(PathDelim);
                    added.append(name, nameLength);
                }
            } else if (type == DT_DIR) {
                FPath.push_back(PathDelim);
                FPath.append(name, nameLength);
                const int child = held >= 0 ? ::openat(held, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                            : ::open(FPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (child >= 0) SearchFolder(child, depth + 1);
                FPath.resize(pathLength);
            }
        }
        if (held >= 0) ::close(held);
        FEntriesSize = begin;
    }

    // What a link (or an entry the file system did not type) leads to: DT_REG, DT_DIR, or
    // DT_UNKNOWN for anything else, dangling links included.
    unsigned char TypeOf(int folder, const char* name, size_t nameLength, size_t pathLength)
    {
        struct stat st;
        int result;
        if (folder >= 0) {
            result = ::fstatat(folder, name, &st, 0);
        } else {
            FPath.push_back(PathDelim);
            FPath.append(name, nameLength);
            result = ::stat(FPath.c_str(), &st);
            FPath.resize(pathLength);
        }
        if (result != 0) return DT_UNKNOWN;
        if (S_ISREG(st.st_mode)) return DT_REG;
        if (S_ISDIR(st.st_mode)) return DT_DIR;
        return DT_UNKNOWN;
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
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
