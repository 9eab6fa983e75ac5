#include "framework/Registry.h"

#include <string_view>

TRegValue MakeStringValue(uint32_t type, const std::string& text)
{
    TRegValue value;
    value.Type = type;
    value.Data.assign(text.begin(), text.end());
    value.Data.push_back(0);
    return value;
}

// The typed writes are the same everywhere: each platform stores the bytes in WriteValue.
void TRegistry::WriteString(const std::string& name, const std::string& text)
{
    WriteValue(name, MakeStringValue(rvString, text));
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& text)
{
    WriteValue(name, MakeStringValue(rvExpandString, text));
}

void TRegistry::WriteInteger(const std::string& name, int32_t value)
{
    const auto raw = static_cast<uint32_t>(value);
    WriteValue(name, TRegValue{rvDword,
                               {static_cast<uint8_t>(raw), static_cast<uint8_t>(raw >> 8),
                                static_cast<uint8_t>(raw >> 16), static_cast<uint8_t>(raw >> 24)}});
}

// A leading backslash starts at the root; otherwise the path is relative to the open key,
// or to the root when none is. Nothing for a path with an empty key name in it.
std::optional<std::string> ResolveRegistryKeyPath(const std::string& key, bool hasOpenKey, const std::string& openPath)
{
    std::string_view rest = key;
    const bool absolute = !rest.empty() && rest.front() == '\\';
    if (absolute) rest.remove_prefix(1);
    if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
    if (!rest.empty() && (rest.front() == '\\' || rest.find("\\\\") != std::string_view::npos)) return std::nullopt;
    std::string path = absolute || !hasOpenKey ? std::string() : openPath;
    if (!rest.empty()) {
        if (!path.empty()) path += '\\';
        path += rest;
    }
    return path;
}
