// Linux side of TRegistry: HKEY_CURRENT_USER is the settings file of LinuxRegFile.h.
// Implements: opening with or without creation (absolute and relative key paths, parents
// present through their sub-keys), typed reads of the file as it is at each call, writes of
// every type and value and key removal, each one locked atomic rewrite; a damaged file reads
// as empty and is kept under a backup name by the first write.
// Does not implement: other root keys (kept in the file, never reached), handles that stay
// open between calls (nothing is held but the key's name), key security or notifications.
#include "framework/Registry.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/x11/LinuxRegFile.h"

struct TRegistry::Impl {
    bool Open = false;
    std::string File;     // the settings file the key was opened in
    std::string Path;     // of the open key, below the root, without a leading backslash
    std::string Failure;  // why the last OpenKey failed
};

namespace {
const std::string RootName = "HKEY_CURRENT_USER";

std::string FullPath(const std::string& below) { return below.empty() ? RootName : RootName + "\\" + below; }

std::string Because(const std::string& what, const std::string& file, int error)
{
    return what + " " + file + " (" + std::strerror(error != 0 ? error : EIO) + ")";
}

[[noreturn]] void RaiseWriteFailure(const std::string& name)
{
    throw ERegistryException("Failed to set data for '" + name + "'");
}
}  // namespace

TRegistry::TRegistry() : FImpl(std::make_unique<Impl>()) {}

TRegistry::~TRegistry() { CloseKey(); }

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    FImpl->Failure.clear();
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

    const TLinuxRegLoad load = LoadLinuxRegFile(file);
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
        const TLinuxRegUpdate update = UpdateLinuxRegFile(
            file,
            [&](TLinuxRegModel& model, bool damaged) {
                if (damaged || model.KeyExists(full)) return false;
                model.AddKey(full);
                return true;
            },
            &error);
        if (update == TLinuxRegUpdate::Failed) {
            FImpl->Failure = Because("cannot write", file, error);
            return false;
        }
    }
    FImpl->Open = true;
    FImpl->File = file;
    FImpl->Path = *below;
    return true;
}

void TRegistry::CloseKey()
{
    FImpl->Open = false;
    FImpl->File.clear();
    FImpl->Path.clear();
}

bool TRegistry::HasOpenKey() const { return FImpl->Open; }

const std::string& TRegistry::OpenFailure() const { return FImpl->Failure; }

std::optional<TRegValue> TRegistry::ReadValue(const std::string& name)
{
    if (!FImpl->Open) return std::nullopt;
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
    const std::string full = FullPath(FImpl->Path);
    // Another process may have removed the key since it was opened; the write brings it back.
    const TLinuxRegUpdate update = UpdateLinuxRegFile(FImpl->File, [&](TLinuxRegModel& model, bool) {
        TLinuxRegModel::SetValue(model.AddKey(full), name, value);
        return true;
    });
    if (update != TLinuxRegUpdate::Written) RaiseWriteFailure(name);
}

bool TRegistry::DeleteValue(const std::string& name)
{
    if (!FImpl->Open) return false;
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
