#include "framework/Registry.h"

TRegValue MakeStringValue(uint32_t type, const std::string& text)
{
    TRegValue value;
    value.Type = type;
    value.Data.assign(text.begin(), text.end());
    value.Data.push_back(0);
    return value;
}
