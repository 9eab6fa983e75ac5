// Linux helper of TRegistry: where the settings file lives and how it is read and rewritten.
// Implements: LinuxRegFile.h's LinuxRegFilePath (the XDG location), LoadLinuxRegFile (lock-free
//   reads), UpdateLinuxRegFile (read-modify-write under flock on a lock file beside it, through a
//   synced temporary file renamed over the original)
// Leaves out: locking between machines (flock over a network file system may not hold)
// A damaged file is kept under a backup name before it is replaced; temporary files left by a
// crash are removed; a file that is a symbolic link stays one (its target is what gets
// replaced, or created when missing); folders others may write in and links of other users'
// are refused.
#include "framework/x11/LinuxRegFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <set>

#include "core/Text.h"

namespace {
// A settings file this large is not ours; it is treated as damaged rather than loaded.
const size_t MaxFileSize = 64u << 20;

class TFd {
public:
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd()
    {
        if (FFd >= 0) close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    // Closes now, reporting the error a deferred write may only show here.
    bool Close()
    {
        const int fd = FFd;
        FFd = -1;
        return close(fd) == 0;
    }

private:
    int FFd;
};

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

enum class TReadStatus { Read, Missing, Failed, TooLarge };

TReadStatus ReadWhole(const std::string& path, std::string& out, int& error)
{
    TFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        error = errno;
        return error == ENOENT ? TReadStatus::Missing : TReadStatus::Failed;
    }
    out.clear();
    char buffer[65536];
    while (true) {
        const ssize_t got = read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = errno;  // EISDIR for a folder in the file's place
            return TReadStatus::Failed;
        }
        if (got == 0) return TReadStatus::Read;
        if (out.size() + static_cast<size_t>(got) > MaxFileSize) return TReadStatus::TooLarge;
        out.append(buffer, static_cast<size_t>(got));
    }
}

void ReportDamaged(const std::string& path, const TLinuxRegParse& parse)
{
    static std::mutex guard;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> lock(guard);
    if (!reported.insert(path).second) return;
    // The reason may quote the file, and the path is the user's: their control bytes stay out
    // of the terminal, written as \xNN.
    std::fprintf(stderr, "vellumine: settings file %s is damaged (line %d: %s); using defaults\n",
                 EscapeControlBytes(path).c_str(), parse.ErrorLine, EscapeControlBytes(parse.Error).c_str());
}

TLinuxRegLoad LoadFrom(const std::string& path)
{
    TLinuxRegLoad load;
    std::string bytes;
    switch (ReadWhole(path, bytes, load.Error)) {
    case TReadStatus::Missing: load.State = TLinuxRegState::Missing; return load;
    case TReadStatus::Failed: load.State = TLinuxRegState::Unreadable; return load;
    case TReadStatus::TooLarge:
        load.State = TLinuxRegState::Damaged;
        load.Parse.ErrorLine = 0;
        load.Parse.Error = "file too large";
        break;
    case TReadStatus::Read:
        load.Parse = ParseLinuxRegText(bytes);
        load.State = load.Parse.Ok ? TLinuxRegState::Ok : TLinuxRegState::Damaged;
        break;
    }
    if (load.State == TLinuxRegState::Damaged) ReportDamaged(path, load.Parse);
    return load;
}

// Creates the missing folders of an absolute path, private to the user as XDG asks.
bool MakeFolders(const std::string& folder)
{
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string prefix = folder.substr(0, slash);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info;
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool WriteAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t put = write(fd, data.data() + done, data.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

// Makes the rename itself durable. Some file systems refuse fsync on a folder; the rename
// has happened by then, so that is not a failed write.
void SyncFolder(const std::string& folder)
{
    TFd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0) fsync(fd.Get());
}

// The name mkostemp gives a temporary file of target: its ".tmp-" and six letters or digits.
bool TemporaryName(const std::string& name, const std::string& prefix)
{
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
    }
    return true;
}

// Only a writer holding the lock creates temporary files, so any found by one are leftovers
// of a writer that died. Only the user's own plain files of that naming are ever removed.
void RemoveStaleTemporaries(const std::string& target)
{
    const std::string folder = FolderOf(target);
    const std::string prefix = NameOf(target) + ".tmp-";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = readdir(dir)) {
        if (!TemporaryName(entry->d_name, prefix)) continue;
        const std::string name = folder + "/" + entry->d_name;
        struct stat info;
        if (lstat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid()) unlink(name.c_str());
    }
    closedir(dir);
}

// A folder the writer may replace files in: the user's own, where no one else can add,
// rename or remove names. A folder that cannot be examined is left to the steps that follow,
// which report why.
bool SafeFolder(const std::string& folder, std::string& why)
{
    struct stat info;
    if (stat(folder.c_str(), &info) != 0) return true;
    if (info.st_uid != geteuid()) {
        why = "the settings folder " + folder + " belongs to another user";
        return false;
    }
    if (info.st_mode & (S_IWGRP | S_IWOTH)) {
        why = "the settings folder " + folder + " is writable by group or others";
        return false;
    }
    return true;
}

// Keeps the damaged file's bytes under a name no earlier backup has. A hard link leaves the
// original in place until the new file replaces it, so there is never a moment without one.
bool KeepDamaged(const std::string& target)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = target + ".damaged-" + stamp;
    for (int n = 1; n < 1000; ++n) {
        const std::string backup = n == 1 ? base : base + "-" + std::to_string(n);
        if (link(target.c_str(), backup.c_str()) == 0) return true;
        if (errno == EEXIST) continue;
        // File systems without hard links: move it aside, still never over an existing name.
        if (renameat2(AT_FDCWD, target.c_str(), AT_FDCWD, backup.c_str(), RENAME_NOREPLACE) == 0) return true;
        if (errno != EEXIST) return false;
    }
    return false;
}

bool WriteReplacing(const std::string& target, const std::string& text)
{
    std::string name = target + ".tmp-XXXXXX";
    TFd fd(mkostemp(name.data(), O_CLOEXEC));
    if (fd.Get() < 0) return false;
    const bool written = fchmod(fd.Get(), 0600) == 0 && WriteAll(fd.Get(), text) && fsync(fd.Get()) == 0;
    if (!fd.Close() || !written || rename(name.c_str(), target.c_str()) != 0) {
        const int error = errno;
        unlink(name.c_str());
        errno = error;
        return false;
    }
    SyncFolder(FolderOf(target));
    return true;
}
// Where a file reached through symbolic links really is. When the last link points at a
// name that does not exist yet, that name is the file, so long as its folder exists. Only
// links of the user's own are followed: why tells of another's.
bool ResolveLinks(const std::string& path, std::string& target, std::string& why)
{
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (lstat(at.c_str(), &info) != 0) {
            if (errno != ENOENT) return false;
            const std::string name = NameOf(at);
            if (name.empty() || name == "." || name == "..") {
                errno = ENOENT;
                return false;
            }
            char* folder = realpath(FolderOf(at).c_str(), nullptr);
            if (!folder) return false;
            target = std::string(folder) + (folder[1] == '\0' ? "" : "/") + name;
            std::free(folder);
            return true;
        }
        if (!S_ISLNK(info.st_mode)) {
            char* real = realpath(at.c_str(), nullptr);
            if (!real) return false;
            target = real;
            std::free(real);
            return true;
        }
        if (info.st_uid != geteuid()) {
            why = "the settings file link " + at + " belongs to another user";
            return false;
        }
        char link[PATH_MAX];
        const ssize_t length = readlink(at.c_str(), link, sizeof link);
        if (length < 0) return false;
        if (static_cast<size_t>(length) >= sizeof link) {
            errno = ENAMETOOLONG;
            return false;
        }
        const std::string next(link, static_cast<size_t>(length));
        at = next[0] == '/' ? next : FolderOf(at) + "/" + next;
    }
    errno = ELOOP;
    return false;
}

// Records errno for the caller of a failed update.
TLinuxRegUpdate Failed(int* error, int code)
{
    if (error) *error = code;
    return TLinuxRegUpdate::Failed;
}

// Records why an unsafe place was refused; EPERM for a caller that only takes errno.
TLinuxRegUpdate Refused(int* error, std::string* refusal, const std::string& why)
{
    if (refusal) *refusal = why;
    return Failed(error, EPERM);
}
}  // namespace

std::string LinuxRegFilePath()
{
    std::string base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // XDG says a relative value is to be ignored.
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        std::string homeDir = home ? home : "";
        if (homeDir.empty()) {
            passwd entry{};
            passwd* found = nullptr;
            char buffer[4096];
            if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
                homeDir = found->pw_dir;
        }
        if (homeDir.empty() || homeDir[0] != '/') return {};
        base = homeDir + "/.config";
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (base == "/") base.clear();
    return base + "/vellumine/registry.reg";
}

TLinuxRegLoad LoadLinuxRegFile(const std::string& path)
{
    if (path.empty()) {
        TLinuxRegLoad load;
        load.State = TLinuxRegState::Unreadable;
        return load;
    }
    return LoadFrom(path);
}

TLinuxRegUpdate UpdateLinuxRegFile(const std::string& path,
                                   const std::function<bool(TLinuxRegModel& model, bool damaged)>& change, int* error,
                                   std::string* refusal)
{
    if (path.empty()) return Failed(error, ENOENT);
    if (!MakeFolders(FolderOf(path))) return Failed(error, errno == 0 || errno == EEXIST ? ENOTDIR : errno);
    // Anyone else who can write in the folder could swap the file or its link under the save.
    std::string why;
    if (!SafeFolder(FolderOf(path), why)) return Refused(error, refusal, why);
    // The lock lives on a file of its own: the settings file is replaced on every write, and a
    // lock on a replaced file would guard nothing.
    TFd lock(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.Get() < 0) return Failed(error, errno);
    while (flock(lock.Get(), LOCK_EX) != 0)
        if (errno != EINTR) return Failed(error, errno);

    // A settings file kept elsewhere through a symbolic link is rewritten where it really is.
    std::string target = path;
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (!ResolveLinks(path, target, why)) return why.empty() ? Failed(error, errno) : Refused(error, refusal, why);
        if (!SafeFolder(FolderOf(target), why)) return Refused(error, refusal, why);
    }
    RemoveStaleTemporaries(target);

    TLinuxRegLoad load = LoadFrom(target);
    if (load.State == TLinuxRegState::Unreadable) return Failed(error, load.Error);
    const bool damaged = load.State == TLinuxRegState::Damaged;
    TLinuxRegModel model;
    if (load.State == TLinuxRegState::Ok) model = std::move(load.Parse.Model);
    if (!change(model, damaged)) return TLinuxRegUpdate::Unchanged;
    if (damaged && !KeepDamaged(target)) return Failed(error, errno);
    if (!WriteReplacing(target, FormatLinuxRegText(model))) return Failed(error, errno);
    return TLinuxRegUpdate::Written;
}
