#include "show/ShowHost.h"

#include <cerrno>
#include <cstdlib>
#include <ostream>

#include "core/Text.h"

std::optional<unsigned long> ParseWindowId(const std::string& text)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty()) return std::nullopt;
    for (const char c : digits)
        if (!(c >= '0' && c <= '9') && !(hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))))
            return std::nullopt;
    errno = 0;
    const unsigned long long value = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    // X ids have 29 bits; anything past 32 cannot name a window.
    if (errno == ERANGE || value == 0 || value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<unsigned long>(value);
}

std::optional<TShowHost> ShowHostOf(const std::string& first, const std::string& second, std::ostream& err, bool& bad)
{
    bad = false;
    const std::string word = UpperCaseAscii(first);
    if (word == "-ROOT" || word == "--ROOT") return TShowHost{true, 0};
    if (word != "-WINDOW-ID" && word != "--WINDOW-ID") return std::nullopt;
    const std::optional<unsigned long> window = ParseWindowId(second);
    if (!window) {
        err << "vellumine: " << first << " needs a window id in decimal or 0x hexadecimal, not \"" << second << "\"\n";
        bad = true;
        return std::nullopt;
    }
    return TShowHost{false, *window};
}
