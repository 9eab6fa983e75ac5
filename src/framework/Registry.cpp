#include "framework/Registry.h"

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
