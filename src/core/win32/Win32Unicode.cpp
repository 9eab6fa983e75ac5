// Windows helper of the core: conversions between the program's UTF-8 and the system's UTF-16,
// and the long form of paths.
// Implements: Win32Unicode.h (private to the Windows side: its files and tests use it)
// Leaves out: normalising Unicode (names are compared as the file system stores them), shortening
//   a path to its 8.3 form
#include "core/win32/Win32Unicode.h"

#include <windows.h>

#include <climits>

namespace Win32Unicode {
namespace {
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Appends text with "\" for every run of separators.
void AppendCollapsed(std::wstring& out, std::wstring_view text)
{
    for (const wchar_t c : text) {
        if (!IsSeparator(c))
            out += c;
        else if (out.empty() || out.back() != L'\\')
            out += L'\\';
    }
}
}  // namespace

std::wstring Widen(std::string_view text)
{
    if (text.empty() || text.size() > INT_MAX) return {};
    const int size = static_cast<int>(text.size());
    UINT codePage = CP_UTF8;
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) {
        codePage = CP_ACP;
        length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
        if (length <= 0) return {};
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string Narrow(std::wstring_view text)
{
    if (text.empty() || text.size() > INT_MAX) return {};
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

std::wstring ExtendedPath(std::wstring_view absolute)
{
    const auto startsWith = [&](std::wstring_view prefix) { return absolute.substr(0, prefix.size()) == prefix; };
    if (startsWith(L"\\\\?\\") || startsWith(L"\\\\.\\")) return std::wstring(absolute);
    std::wstring extended;
    if (absolute.size() >= 2 && IsSeparator(absolute[0]) && IsSeparator(absolute[1])) {
        extended = L"\\\\?\\UNC\\";
        const size_t server = absolute.find_first_not_of(L"\\/");
        if (server == std::wstring_view::npos) return std::wstring(absolute);
        AppendCollapsed(extended, absolute.substr(server));
    } else if (absolute.size() >= 3 && absolute[1] == L':' && IsSeparator(absolute[2])) {
        extended = L"\\\\?\\";
        AppendCollapsed(extended, absolute);
    } else {
        return std::wstring(absolute);
    }
    // "C:\" keeps its separator, which names the drive's root; a folder's is dropped.
    if (extended.back() == L'\\' && !(extended.size() == 7 && extended[5] == L':')) extended.pop_back();
    return extended;
}

std::wstring LongPath(std::string_view path)
{
    const std::wstring wide = Widen(path);
    if (wide.empty()) return {};
    if (wide.starts_with(L"\\\\?\\")) return wide;
    // The system's own answer makes a relative path absolute and resolves "." and "..".
    std::wstring full(wide.size() + MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return wide;
        if (length < full.size()) {
            full.resize(length);
            return ExtendedPath(full);
        }
        full.resize(length);
    }
    return wide;
}
}  // namespace Win32Unicode
