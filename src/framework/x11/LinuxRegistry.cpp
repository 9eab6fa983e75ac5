// Linux half of TRegistry: HKEY_CURRENT_USER is the settings file of LinuxRegFile.h.
// Implements: FrameworkPlatform.h's TRegistry (Impl and its members): opening with or without
//   creation (absolute and relative key paths, parents present through their sub-keys), typed
//   reads, writes of every type, value and key removal
// Leaves out: other root keys (kept in the file, never reached), handles that stay open between
//   calls (nothing is held but the key's name), key security or notifications
// Reads see the file as it is at each call; each write is one locked atomic rewrite, or the
// writes of an update are gathered into one; a damaged file reads as empty and is kept under
// a backup name by the first write.
#include "framework/Registry.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "core/Text.h"
#include "framework/x11/LinuxRegFile.h"

struct TRegistry::Impl {
    bool Open = false;
    std::string File;     // the settings file the key was opened in
    std::string Path;     // of the open key, below the root, without a leading backslash
    std::string Failure;  // why the last OpenKey failed
    // The key's values as OpenKey found them, kept for an update begun right after it.
    std::optional<TLinuxRegModel> Seen;
    bool Updating = false;                                   // between BeginUpdate and EndUpdate
    std::vector<std::pair<std::string, TRegValue>> Pending;  // the update's writes, in order

    void DropUpdate()
    {
        Updating = false;
        Pending.clear();
        Seen.reset();
    }
};

namespace {
const std::string RootName = "HKEY_CURRENT_USER";

std::string FullPath(const std::string& below) { return below.empty() ? RootName : RootName + "\\" + below; }

std::string Because(const std::string& what, const std::string& file, int error)
{
    return what + " " + file + " (" + std::strerror(error != 0 ? error : EIO) + ")";
}

// A refusal of the settings file's safety checks says why; other failures name the value only.
[[noreturn]] void RaiseWriteFailure(const std::string& name, const std::string& refusal = {})
{
    throw ERegistryException("Failed to set data for '" + name + "'" + (refusal.empty() ? "" : ": " + refusal));
}
}  // namespace

TRegistry::TRegistry() : FImpl(std::make_unique<Impl>()) {}

TRegistry::~TRegistry() { CloseKey(); }

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    FImpl->Failure.clear();
    FImpl->DropUpdate();
    const std::optional<std::string> below = ResolveRegistryKeyPath(key, FImpl->Open, FImpl->Path);
    const std::string file = LinuxRegFilePath();
    if (!below) {
        FImpl->Failure = "no such key path: " + key;
        return false;
    }
    if (file.empty()) {
        FImpl->Failure = "no home folder to keep the settings file in";
        return false;
    }
    const std::string full = FullPath(*below);

    TLinuxRegLoad load = LoadLinuxRegFile(file);
    bool present = false;
    switch (load.State) {
    case TLinuxRegState::Unreadable: FImpl->Failure = Because("cannot read", file, load.Error); return false;
    case TLinuxRegState::Missing: break;
    case TLinuxRegState::Damaged:
        // The handle opens but reads nothing; the first write replaces the file.
        present = canCreate;
        break;
    case TLinuxRegState::Ok: present = below->empty() || load.Parse.Model.KeyExists(full); break;
    }
    if (!present) {
        if (!canCreate) {
            FImpl->Failure = "no key " + full;
            return false;
        }
        int error = 0;
        std::string refusal;
        const TLinuxRegUpdate update = UpdateLinuxRegFile(
            file,
            [&](TLinuxRegModel& model, bool damaged) {
                if (damaged || model.KeyExists(full)) return false;
                model.AddKey(full);
                return true;
            },
            &error, &refusal);
        if (update == TLinuxRegUpdate::Failed) {
            FImpl->Failure = refusal.empty() ? Because("cannot write", file, error) : refusal;
            return false;
        }
    } else if (load.State == TLinuxRegState::Ok) {
        FImpl->Seen = std::move(load.Parse.Model);
    } else {
        FImpl->Seen.emplace();  // damaged: reads find nothing
    }
    FImpl->Open = true;
    FImpl->File = file;
    FImpl->Path = *below;
    return true;
}

void TRegistry::CloseKey()
{
    FImpl->DropUpdate();
    FImpl->Open = false;
    FImpl->File.clear();
    FImpl->Path.clear();
}

bool TRegistry::HasOpenKey() const { return FImpl->Open; }

const std::string& TRegistry::OpenFailure() const { return FImpl->Failure; }

void TRegistry::BeginUpdate()
{
    if (!FImpl->Open) return;
    FImpl->Pending.clear();
    if (!FImpl->Seen) {
        TLinuxRegLoad load = LoadLinuxRegFile(FImpl->File);
        FImpl->Seen = load.State == TLinuxRegState::Ok ? std::move(load.Parse.Model) : TLinuxRegModel();
    }
    FImpl->Updating = true;
}

void TRegistry::EndUpdate()
{
    if (!FImpl->Updating) return;
    std::vector<std::pair<std::string, TRegValue>> pending;
    pending.swap(FImpl->Pending);
    FImpl->DropUpdate();
    if (pending.empty()) return;
    const std::string full = FullPath(FImpl->Path);
    std::string refusal;
    // Another process may have removed the key since it was opened; the writes bring it back.
    const TLinuxRegUpdate update = UpdateLinuxRegFile(
        FImpl->File,
        [&](TLinuxRegModel& model, bool) {
            TLinuxRegKey& key = model.AddKey(full);
            for (const auto& [name, value] : pending) TLinuxRegModel::SetValue(key, name, value);
            return true;
        },
        nullptr, &refusal);
    if (update != TLinuxRegUpdate::Written) RaiseWriteFailure(pending.front().first, refusal);
}

std::optional<TRegValue> TRegistry::ReadValue(const std::string& name)
{
    if (!FImpl->Open) return std::nullopt;
    if (FImpl->Updating) {
        for (auto write = FImpl->Pending.rbegin(); write != FImpl->Pending.rend(); ++write)
            if (SameTextAscii(write->first, name)) return write->second;
        const TLinuxRegKey* key = FImpl->Seen->FindKey(FullPath(FImpl->Path));
        const TLinuxRegEntry* entry = key ? TLinuxRegModel::FindValue(*key, name) : nullptr;
        if (!entry) return std::nullopt;
        return entry->Value;
    }
    FImpl->Seen.reset();
    TLinuxRegLoad load = LoadLinuxRegFile(FImpl->File);
    if (load.State != TLinuxRegState::Ok) return std::nullopt;
    const TLinuxRegKey* key = load.Parse.Model.FindKey(FullPath(FImpl->Path));
    if (!key) return std::nullopt;
    const TLinuxRegEntry* entry = TLinuxRegModel::FindValue(*key, name);
    if (!entry) return std::nullopt;
    return entry->Value;
}

void TRegistry::WriteValue(const std::string& name, const TRegValue& value)
{
    if (!FImpl->Open) RaiseWriteFailure(name);
    if (FImpl->Updating) {
        FImpl->Pending.emplace_back(name, value);
        return;
    }
    FImpl->Seen.reset();
    const std::string full = FullPath(FImpl->Path);
    std::string refusal;
    // Another process may have removed the key since it was opened; the write brings it back.
    const TLinuxRegUpdate update = UpdateLinuxRegFile(
        FImpl->File,
        [&](TLinuxRegModel& model, bool) {
            TLinuxRegModel::SetValue(model.AddKey(full), name, value);
            return true;
        },
        nullptr, &refusal);
    if (update != TLinuxRegUpdate::Written) RaiseWriteFailure(name, refusal);
}

bool TRegistry::DeleteValue(const std::string& name)
{
    if (!FImpl->Open) return false;
    FImpl->Seen.reset();
    // Nothing to remove from a missing or damaged file; no need to create folder or lock.
    if (LoadLinuxRegFile(FImpl->File).State != TLinuxRegState::Ok) return false;
    const std::string full = FullPath(FImpl->Path);
    return UpdateLinuxRegFile(FImpl->File, [&](TLinuxRegModel& model, bool damaged) {
               TLinuxRegKey* key = damaged ? nullptr : model.FindKey(full);
               return key && TLinuxRegModel::RemoveValue(*key, name);
           }) == TLinuxRegUpdate::Written;
}

bool TRegistry::DeleteKey(const std::string& key)
{
    const std::optional<std::string> below = ResolveRegistryKeyPath(key, FImpl->Open, FImpl->Path);
    const std::string file = LinuxRegFilePath();
    if (!below || below->empty() || file.empty()) return false;  // never the whole root
    const std::string full = FullPath(*below);
    const TLinuxRegLoad load = LoadLinuxRegFile(file);
    if (load.State != TLinuxRegState::Ok || !load.Parse.Model.KeyExists(full)) return false;
    return UpdateLinuxRegFile(file, [&](TLinuxRegModel& model, bool damaged) {
               return !damaged && model.RemoveKey(full);
           }) == TLinuxRegUpdate::Written;
}
