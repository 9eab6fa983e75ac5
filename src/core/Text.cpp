#include "core/Text.h"

namespace {
char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::string UpperCaseAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result) c = UpperAscii(c);
    return result;
}

bool SameTextAscii(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

std::string EscapeControlBytes(std::string_view text)
{
    static const char Hex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            result += "\\x";
            result += Hex[byte >> 4];
            result += Hex[byte & 0xF];
        } else {
            result += c;
        }
    }
    return result;
}
