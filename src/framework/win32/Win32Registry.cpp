// Windows half of TRegistry: the registry itself, below HKEY_CURRENT_USER, through the wide calls.
// Implements: FrameworkPlatform.h's TRegistry (Impl and its members): opening with or without
//   creation (absolute and relative key paths), typed reads, writes of every type, value and key
//   removal
// Leaves out: other root keys, remote registries, access to the 64-bit view
// Key and value names and the text of string values are UTF-8 in the program; the registry
// keeps strings as UTF-16 whichever call wrote them, so a value an ANSI program stored in the
// system's code page reads back as the same text.
// A key is opened with read access only; the first write or removal opens it again with write
// access, so a key the user may only read still reads.
#include <windows.h>

#include "core/win32/Win32Unicode.h"
#include "framework/Registry.h"

using Win32Unicode::Narrow;
using Win32Unicode::Widen;

struct TRegistry::Impl {
    HKEY Key = nullptr;
    bool Writable = false;  // Key was opened with write access
    std::string Path;       // of the open key, below the root, without a leading backslash
    std::string Failure;    // why the last OpenKey failed
};

namespace {
// The system's text for a registry status, without its line end.
std::string StatusText(LONG status)
{
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(status), 0, text, 512, nullptr);
    std::string result = Narrow(std::wstring_view(text, length));
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
        result.pop_back();
    return result.empty() ? "error " + std::to_string(status) : result;
}

[[noreturn]] void RaiseWriteFailure(const std::string& name)
{
    throw ERegistryException("Failed to set data for '" + name + "'");
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// A string value's UTF-16 bytes as the program's UTF-8, zeros and all: a value without its
// terminating zero stays without one. An odd last byte, which no UTF-16 text has, is dropped.
std::vector<uint8_t> TextFromSystem(const std::vector<uint8_t>& data)
{
    std::wstring wide(data.size() / 2, L'\0');
    for (size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<wchar_t>(data[2 * i] | data[2 * i + 1] << 8);
    const std::string text = Narrow(wide);
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> TextForSystem(const std::vector<uint8_t>& data)
{
    const std::wstring wide = Widen(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    std::vector<uint8_t> bytes(wide.size() * 2);
    for (size_t i = 0; i < wide.size(); ++i) {
        bytes[2 * i] = static_cast<uint8_t>(wide[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<uint8_t>(wide[i] >> 8);
    }
    return bytes;
}

// The open key with write access: asked for when the first write or removal needs it.
bool MakeWritable(TRegistry::Impl& impl)
{
    if (impl.Writable) return true;
    if (!impl.Key) return false;
    HKEY writable = nullptr;
    if (RegOpenKeyExW(impl.Key, L"", 0, KEY_READ | KEY_WRITE, &writable) != ERROR_SUCCESS) return false;
    RegCloseKey(impl.Key);
    impl.Key = writable;
    impl.Writable = true;
    return true;
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
    const std::wstring name = Widen(path);
    HKEY opened = nullptr;
    LONG status;
    if (canCreate)
        status = RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ,
                                 nullptr, &opened, nullptr);
    else
        status = RegOpenKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, KEY_READ, &opened);
    if (status != ERROR_SUCCESS) {
        FImpl->Failure = "cannot open HKEY_CURRENT_USER\\" + path + " (" + StatusText(status) + ")";
        return false;
    }
    CloseKey();
    FImpl->Key = opened;
    FImpl->Writable = false;
    FImpl->Path = path;
    return true;
}

void TRegistry::CloseKey()
{
    if (FImpl->Key) RegCloseKey(FImpl->Key);
    FImpl->Key = nullptr;
    FImpl->Writable = false;
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
    const std::wstring wideName = Widen(name);
    if (RegQueryValueExW(FImpl->Key, wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    // Another writer may grow the value between the two calls; ask again with its new size.
    for (int attempt = 0; attempt < 8; ++attempt) {
        value.Data.resize(size);
        DWORD got = size;
        const LONG status = RegQueryValueExW(FImpl->Key, wideName.c_str(), nullptr, &type,
                                             value.Data.empty() ? nullptr : value.Data.data(), &got);
        if (status == ERROR_SUCCESS) {
            value.Data.resize(got);
            if (IsText(type)) value.Data = TextFromSystem(value.Data);
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
    if (!MakeWritable(*FImpl)) RaiseWriteFailure(name);
    const std::vector<uint8_t> data = IsText(value.Type) ? TextForSystem(value.Data) : value.Data;
    const LONG status =
        RegSetValueExW(FImpl->Key, Widen(name).c_str(), 0, value.Type, data.data(), static_cast<DWORD>(data.size()));
    if (status != ERROR_SUCCESS) RaiseWriteFailure(name);
}

bool TRegistry::DeleteValue(const std::string& name)
{
    return MakeWritable(*FImpl) && RegDeleteValueW(FImpl->Key, Widen(name).c_str()) == ERROR_SUCCESS;
}

bool TRegistry::DeleteKey(const std::string& key)
{
    const std::optional<std::string> below = ResolveRegistryKeyPath(key, FImpl->Key != nullptr, FImpl->Path);
    if (!below || below->empty()) return false;  // never the whole root
    const std::string& path = *below;
    const std::wstring name = Widen(path);
    if (RegDeleteTreeW(HKEY_CURRENT_USER, name.c_str()) != ERROR_SUCCESS) return false;
    // Some versions leave the emptied key itself behind.
    RegDeleteKeyW(HKEY_CURRENT_USER, name.c_str());
    return true;
}
