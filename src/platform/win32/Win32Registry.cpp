// Windows side of TRegistry: the registry itself, below HKEY_CURRENT_USER.
// Implements: opening with or without creation (absolute and relative key paths), typed
// reads, writes of every type, value and key removal.
// Does not implement: other root keys, remote registries, access to the 64-bit view.
#include <windows.h>

#include "framework/Registry.h"

struct TRegistry::Impl {
    HKEY Key = nullptr;
    std::string Path;     // of the open key, below the root, without a leading backslash
    std::string Failure;  // why the last OpenKey failed
};

namespace {
// The system's text for a registry status, without its line end.
std::string StatusText(LONG status)
{
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(status), 0, text, sizeof text, nullptr);
    std::string result(text, length);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
        result.pop_back();
    return result.empty() ? "error " + std::to_string(status) : result;
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
    // The API refuses a leading backslash, which in our key paths only means "from the root".
    FImpl->Failure.clear();
    const std::optional<std::string> below = ResolveRegistryKeyPath(key, FImpl->Key != nullptr, FImpl->Path);
    if (!below) {
        FImpl->Failure = "no such key path: " + key;
        return false;
    }
    const std::string& path = *below;
    HKEY opened = nullptr;
    LONG status;
    if (canCreate)
        status = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                 nullptr, &opened, nullptr);
    else
        status = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &opened);
    if (status != ERROR_SUCCESS) {
        FImpl->Failure = "cannot open HKEY_CURRENT_USER\\" + path + " (" + StatusText(status) + ")";
        return false;
    }
    CloseKey();
    FImpl->Key = opened;
    FImpl->Path = path;
    return true;
}

void TRegistry::CloseKey()
{
    if (FImpl->Key) RegCloseKey(FImpl->Key);
    FImpl->Key = nullptr;
    FImpl->Path.clear();
}

bool TRegistry::HasOpenKey() const { return FImpl->Key != nullptr; }

const std::string& TRegistry::OpenFailure() const { return FImpl->Failure; }

// Each write reaches the registry at once; there is nothing to gather.
void TRegistry::BeginUpdate() {}

void TRegistry::EndUpdate() {}

std::optional<TRegValue> TRegistry::ReadValue(const std::string& name)
{
    if (!FImpl->Key) return std::nullopt;
    TRegValue value;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(FImpl->Key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    // Another writer may grow the value between the two calls; ask again with its new size.
    for (int attempt = 0; attempt < 8; ++attempt) {
        value.Data.resize(size);
        DWORD got = size;
        const LONG status = RegQueryValueExA(FImpl->Key, name.c_str(), nullptr, &type,
                                             value.Data.empty() ? nullptr : value.Data.data(), &got);
        if (status == ERROR_SUCCESS) {
            value.Data.resize(got);
            value.Type = type;
            return value;
        }
        if (status != ERROR_MORE_DATA) return std::nullopt;
        size = got;
    }
    return std::nullopt;
}

void TRegistry::WriteValue(const std::string& name, const TRegValue& value)
{
    if (!FImpl->Key) RaiseWriteFailure(name);
    const LONG status = RegSetValueExA(FImpl->Key, name.c_str(), 0, value.Type, value.Data.data(),
                                       static_cast<DWORD>(value.Data.size()));
    if (status != ERROR_SUCCESS) RaiseWriteFailure(name);
}

bool TRegistry::DeleteValue(const std::string& name)
{
    return FImpl->Key && RegDeleteValueA(FImpl->Key, name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::DeleteKey(const std::string& key)
{
    const std::optional<std::string> below = ResolveRegistryKeyPath(key, FImpl->Key != nullptr, FImpl->Path);
    if (!below || below->empty()) return false;  // never the whole root
    const std::string& path = *below;
    if (RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str()) != ERROR_SUCCESS) return false;
    // Some versions leave the emptied key itself behind.
    RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    return true;
}
