#pragma once
// Linux helper of TRegistry, private to the Linux half and its tests: the settings file.
// Implements: nothing of the contract; the model of registry export text and its parsing and
//   formatting (LinuxRegFile.cpp), the file's place and locked rewrite (LinuxRegFileIo.cpp)
// Leaves out: nothing
// Registry export text <-> an in-memory model, and the locked, atomic read-modify-write of
// that file. TRegistry (LinuxRegistry.cpp) stands on this.
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "framework/Registry.h"

// Positions in a list of named items by lower-cased name, so that lookups stay constant time
// in files of many keys and values. Rebuilt when the list changed other than through Added.
class TLinuxRegNameIndex {
public:
    // The position of the item whose name() equals name without regard to ASCII case, or -1.
    template <class T, class NameOf>
    long Find(const std::vector<T>& items, std::string_view name, NameOf nameOf) const;
    // An item was appended at position at.
    void Added(std::string_view name, size_t at);
    void Invalidate() { FCount = npos; }

private:
    static constexpr size_t npos = static_cast<size_t>(-1);
    mutable std::unordered_map<std::string, size_t> FAt;
    mutable size_t FCount = 0;  // how many items FAt describes; npos when out of date
    long Lookup(std::string_view name) const;
    static bool Same(std::string_view a, std::string_view b);
    void Put(std::string_view name, size_t at) const;
    void Clear() const;
};

struct TLinuxRegEntry {
    std::string Name;  // "" is the key's default value, written "@"
    TRegValue Value;   // string types hold UTF-8 and their terminating zero
};

struct TLinuxRegKey {
    std::string Path;  // full, with its root: "HKEY_CURRENT_USER\SOFTWARE\..."
    std::vector<TLinuxRegEntry> Values;
    TLinuxRegNameIndex ValueIndex{};
};

// Keys in file order. Key paths and value names compare without regard to ASCII case.
struct TLinuxRegModel {
    std::vector<TLinuxRegKey> Keys;
    TLinuxRegNameIndex KeyIndex{};

    TLinuxRegKey* FindKey(std::string_view path);
    const TLinuxRegKey* FindKey(std::string_view path) const;
    // A key exists when it has a section of its own or a sub-key has one.
    bool KeyExists(std::string_view path) const;
    // Finds or adds the key, ahead of its sub-keys so parents stay listed before children.
    TLinuxRegKey& AddKey(std::string_view path);
    // Removes the key and every sub-key; false when there was nothing to remove.
    bool RemoveKey(std::string_view path);

    static const TLinuxRegEntry* FindValue(const TLinuxRegKey& key, std::string_view name);
    static void SetValue(TLinuxRegKey& key, std::string_view name, const TRegValue& value);
    static bool RemoveValue(TLinuxRegKey& key, std::string_view name);
};

template <class T, class NameOf>
long TLinuxRegNameIndex::Find(const std::vector<T>& items, std::string_view name, NameOf nameOf) const
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (FCount != items.size()) {
            Clear();
            for (size_t i = 0; i < items.size(); ++i) Put(nameOf(items[i]), i);
            FCount = items.size();
        }
        const long at = Lookup(name);
        if (at < 0) return -1;
        // A stale position (the list was edited directly) holds another name.
        if (static_cast<size_t>(at) < items.size() && Same(nameOf(items[static_cast<size_t>(at)]), name)) return at;
        FCount = npos;
    }
    return -1;
}

struct TLinuxRegParse {
    bool Ok = false;
    int ErrorLine = 0;  // 1-based, of the decoded text
    std::string Error;
    TLinuxRegModel Model;
};

// Accepts version 5 and REGEDIT4 headers, UTF-8 (with or without BOM) or UTF-16LE with BOM,
// CRLF or LF. A file with nothing but blank space is an empty registry.
TLinuxRegParse ParseLinuxRegText(std::string_view bytes);
// Version 5 text, UTF-8 without BOM, LF line ends.
std::string FormatLinuxRegText(const TLinuxRegModel& model);

// String data conversions used for hex(1), hex(2) and hex(7). Unpaired surrogates pass
// through as their three-byte forms, so any UTF-16 data survives a round trip.
std::string Utf16LeToUtf8(std::string_view utf16);
std::string Utf8ToUtf16Le(std::string_view utf8);

// $XDG_CONFIG_HOME/vellumine/registry.reg, else under $HOME/.config; "" when there is no home.
std::string LinuxRegFilePath();

enum class TLinuxRegState { Missing, Ok, Damaged, Unreadable };

struct TLinuxRegLoad {
    TLinuxRegState State = TLinuxRegState::Missing;
    TLinuxRegParse Parse;  // the model when Ok, the error when Damaged
    int Error = 0;         // errno of the failed read when Unreadable
};

// Reads without locking: writers replace the file by renaming, so a reader sees a whole one.
// A damaged file is reported on stderr, once per path in a process.
TLinuxRegLoad LoadLinuxRegFile(const std::string& path);

enum class TLinuxRegUpdate { Written, Unchanged, Failed };

// Under an exclusive lock: reads the current file, lets change() edit the model (given empty
// when the file is missing or damaged, with damaged telling which), and when change() returns
// true writes the result to a temporary file, syncs it and renames it over the file. A damaged
// file is first kept beside it as registry.reg.damaged-YYYYMMDD-HHMMSS[-N]. A link whose
// target is missing has the target created, as an editor would. When it fails, error (if
// given) receives the errno of the step that failed, and refusal (if given) the reason when
// the place is not safe to write: a folder of another user's or writable by others, a link of
// another user's.
TLinuxRegUpdate UpdateLinuxRegFile(const std::string& path,
                                   const std::function<bool(TLinuxRegModel& model, bool damaged)>& change,
                                   int* error = nullptr, std::string* refusal = nullptr);
