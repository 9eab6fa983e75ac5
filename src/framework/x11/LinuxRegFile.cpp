// Linux helper of TRegistry: the registry export text of the settings file, in both directions.
// Implements: LinuxRegFile.h's model, ParseLinuxRegText, FormatLinuxRegText: version 5 and REGEDIT4
//   headers; UTF-8, UTF-8 with BOM and UTF-16LE with BOM input; quoted strings with \\ and \"
//   escapes, dword:, hex:, hex(N): with continuation lines; "N"=- and [-KEY] removals; ; comments,
//   blank lines, CRLF
// Leaves out: keeping comments or blank lines on rewrite; other escapes in strings
#include "framework/x11/LinuxRegFile.h"

#include <cstdint>
#include <cstdio>
#include <utility>

#include "core/Text.h"

namespace {
const std::string_view HeaderV5 = "Windows Registry Editor Version 5.00";
const std::string_view HeaderV4 = "REGEDIT4";

// Root names a registry export may carry. Keys under any of them are kept; only the
// current user's are reached by TRegistry.
const std::string_view RootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE",
                                      "HKEY_USERS",        "HKEY_CURRENT_CONFIG", "HKEY_PERFORMANCE_DATA",
                                      "HKEY_DYN_DATA"};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s)
{
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && SameTextAscii(s.substr(0, prefix.size()), prefix);
}

// True when descendant lies strictly below ancestor.
bool IsBelow(std::string_view descendant, std::string_view ancestor)
{
    return descendant.size() > ancestor.size() + 1 && descendant[ancestor.size()] == '\\' &&
           StartsWithNoCase(descendant, ancestor);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16Unit(std::string& out, uint32_t unit)
{
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

// Checks a key path: a known root, then non-empty names.
bool ValidKeyPath(std::string_view path, std::string& error)
{
    const size_t slash = path.find('\\');
    const std::string_view root = path.substr(0, slash);
    bool known = false;
    for (std::string_view name : RootNames) known = known || SameTextAscii(root, name);
    if (!known) {
        error = "unknown root key '" + std::string(root) + "'";
        return false;
    }
    if (slash == std::string_view::npos) return true;
    std::string_view rest = path.substr(slash + 1);
    while (true) {
        const size_t next = rest.find('\\');
        if (rest.substr(0, next).empty()) {
            error = "empty key name in '" + std::string(path) + "'";
            return false;
        }
        if (next == std::string_view::npos) return true;
        rest.remove_prefix(next + 1);
    }
}

// Reads a quoted string at the start of s (which begins with '"'); returns the characters
// consumed, or 0 with error set.
size_t ParseQuoted(std::string_view s, std::string& out, std::string& error)
{
    for (size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') return i + 1;
        if (c == '\\') {
            if (i + 1 >= s.size()) break;
            const char next = s[++i];
            if (next != '\\' && next != '"') {
                error = std::string("bad escape '\\") + next + "'";
                return 0;
            }
            out += next;
        } else {
            out += c;
        }
    }
    error = "unterminated string";
    return 0;
}

bool ParseHexBytes(std::string_view list, std::vector<uint8_t>& out, std::string& error)
{
    list = TrimRight(TrimLeft(list));
    if (list.empty()) return true;
    while (true) {
        const size_t comma = list.find(',');
        const std::string_view item = TrimRight(TrimLeft(list.substr(0, comma)));
        if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) {
            error = "bad hex byte '" + std::string(item) + "'";
            return false;
        }
        out.push_back(static_cast<uint8_t>(HexDigit(item[0]) * 16 + HexDigit(item[1])));
        if (comma == std::string_view::npos) return true;
        list.remove_prefix(comma + 1);
    }
}

bool IsTextType(uint32_t type) { return type == rvString || type == rvExpandString || type == rvMultiString; }

bool IsValidUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<uint8_t>(text[i]);
        size_t length = 1;
        uint32_t low = 0;  // the smallest code point the length may carry
        if (b0 >= 0xC2 && b0 < 0xE0) {
            length = 2;
        } else if (b0 >= 0xE0 && b0 < 0xF0) {
            length = 3;
            low = 0x800;
        } else if (b0 >= 0xF0 && b0 < 0xF5) {
            length = 4;
            low = 0x10000;
        } else if (b0 >= 0x80) {
            return false;
        }
        if (i + length > text.size()) return false;
        uint32_t cp = length == 1 ? b0 : b0 & (0x7Fu >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto b = static_cast<uint8_t>(text[i + k]);
            if ((b & 0xC0) != 0x80) return false;
            cp = cp << 6 | (b & 0x3Fu);
        }
        if (cp < low || cp >= 0x110000) return false;
        i += length;
    }
    return true;
}

// REGEDIT4 files come from the ANSI world: text in them that is not UTF-8 is Windows-1252
// (as the Windows build reads such text), so a later save, which writes UTF-8 or UTF-16,
// keeps every character. Its five unassigned bytes become the C1 controls of the same number,
// as Windows maps them, so no byte is lost.
std::string Windows1252ToUtf8(std::string_view text)
{
    static const uint16_t High[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                      0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    std::string out;
    for (char c : text) {
        const auto b = static_cast<uint8_t>(c);
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? High[b - 0x80] : b);
    }
    return out;
}

std::string ReadAnsiText(std::string text) { return IsValidUtf8(text) ? text : Windows1252ToUtf8(text); }

// Reads the text line by line as it goes: nothing is kept per line, so a file of blank or
// comment lines costs no memory beyond its own bytes.
class TParser {
public:
    explicit TParser(std::string_view text) : FText(text) {}

    TLinuxRegParse Run()
    {
        TLinuxRegParse result;
        std::string_view raw;
        bool any = false;
        while ((any = NextLine(raw)) && TrimRight(TrimLeft(raw)).empty()) {
        }
        if (!any) {
            result.Ok = true;
            return result;
        }
        const std::string_view header = TrimRight(TrimLeft(raw));
        if (header == HeaderV5) {
            FUnicode = true;
        } else if (header != HeaderV4) {
            return Fail("unknown header '" + std::string(header.substr(0, 60)) + "'");
        }
        while (NextLine(raw)) {
            const std::string_view line = TrimRight(TrimLeft(raw));
            if (line.empty() || line.front() == ';') continue;
            std::string error;
            bool ok = false;
            const size_t first = FLineNumber;  // a hex value may continue on later lines
            if (line.front() == '[')
                ok = KeyLine(line, error);
            else if (line.front() == '"' || line.front() == '@')
                ok = ValueLine(line, error);
            else
                error = "unrecognised line";
            if (!ok) {
                FLineNumber = first;
                return Fail(error);
            }
        }
        result.Model = std::move(FModel);
        result.Ok = true;
        return result;
    }

private:
    std::string_view FText;
    size_t FNext = 0;        // where the next line starts; past the end when there is none
    size_t FLineNumber = 0;  // 1-based, of the line last read
    bool FUnicode = false;
    TLinuxRegModel FModel;
    TLinuxRegKey* FCurrent = nullptr;  // the key values go to; none before a key or after a removal

    // The next line without its line end; false past the last one. A text ending in a line
    // end still has an empty last line, as it always had.
    bool NextLine(std::string_view& line)
    {
        if (FNext > FText.size()) return false;
        size_t end = FText.find('\n', FNext);
        if (end == std::string_view::npos) end = FText.size();
        line = FText.substr(FNext, end - FNext);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        FNext = end + 1;
        ++FLineNumber;
        return true;
    }

    TLinuxRegParse Fail(const std::string& error)
    {
        TLinuxRegParse result;
        result.ErrorLine = static_cast<int>(FLineNumber);
        result.Error = error;
        return result;
    }

    bool KeyLine(std::string_view line, std::string& error)
    {
        if (line.back() != ']' || line.size() < 3) {
            error = "key line without closing ']'";
            return false;
        }
        std::string_view path = line.substr(1, line.size() - 2);
        const bool removal = path.front() == '-';
        if (removal) path.remove_prefix(1);
        if (!ValidKeyPath(path, error)) return false;
        FCurrent = nullptr;
        if (removal) {
            FModel.RemoveKey(path);
            return true;
        }
        // Sections stay in file order, even a parent that comes after its child.
        FCurrent = FModel.FindKey(path);
        if (!FCurrent) {
            FModel.Keys.push_back(TLinuxRegKey{std::string(path), {}, {}});
            FModel.KeyIndex.Added(path, FModel.Keys.size() - 1);
            FCurrent = &FModel.Keys.back();
        }
        return true;
    }

    bool ValueLine(std::string_view line, std::string& error)
    {
        if (!FCurrent) {
            error = "value line outside a key";
            return false;
        }
        std::string name;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else {
            const size_t used = ParseQuoted(line, name, error);
            if (!used) return false;
            line.remove_prefix(used);
        }
        line = TrimLeft(line);
        if (line.empty() || line.front() != '=') {
            error = "expected '=' after the value name";
            return false;
        }
        line = TrimLeft(line.substr(1));
        TLinuxRegKey& key = *FCurrent;
        if (line == "-") {
            TLinuxRegModel::RemoveValue(key, name);
            return true;
        }
        TRegValue value;
        if (!line.empty() && line.front() == '"') {
            std::string text;
            const size_t used = ParseQuoted(line, text, error);
            if (!used) return false;
            if (!TrimLeft(line.substr(used)).empty()) {
                error = "text after the closing quote";
                return false;
            }
            value = MakeStringValue(rvString, FUnicode ? text : ReadAnsiText(std::move(text)));
        } else if (StartsWithNoCase(line, "dword:")) {
            const std::string_view digits = line.substr(6);
            if (digits.size() != 8) {
                error = "dword needs 8 hex digits";
                return false;
            }
            uint32_t number = 0;
            for (char c : digits) {
                if (HexDigit(c) < 0) {
                    error = "dword needs 8 hex digits";
                    return false;
                }
                number = number * 16 + static_cast<uint32_t>(HexDigit(c));
            }
            value.Type = rvDword;
            for (int shift = 0; shift < 32; shift += 8) value.Data.push_back(static_cast<uint8_t>(number >> shift));
        } else if (StartsWithNoCase(line, "hex")) {
            if (!HexValue(line.substr(3), value, error)) return false;
        } else {
            error = "unknown value data";
            return false;
        }
        TLinuxRegModel::SetValue(key, name, value);
        return true;
    }

    // rest follows "hex": either ":" or "(N):", then bytes, possibly continued on later lines.
    bool HexValue(std::string_view rest, TRegValue& value, std::string& error)
    {
        value.Type = rvBinary;
        if (!rest.empty() && rest.front() == '(') {
            const size_t close = rest.find(')');
            const std::string_view digits = rest.substr(1, close == std::string_view::npos ? 0 : close - 1);
            if (close == std::string_view::npos || digits.empty() || digits.size() > 8) {
                error = "bad hex type";
                return false;
            }
            value.Type = 0;
            for (char c : digits) {
                if (HexDigit(c) < 0) {
                    error = "bad hex type";
                    return false;
                }
                value.Type = value.Type * 16 + static_cast<uint32_t>(HexDigit(c));
            }
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':') {
            error = "expected ':' after hex";
            return false;
        }
        std::string list(rest.substr(1));
        while (!list.empty() && list.back() == '\\') {
            list.pop_back();
            std::string_view next;
            if (!NextLine(next)) {
                error = "continuation at the end of the file";
                return false;
            }
            list += TrimRight(TrimLeft(next));
        }
        std::vector<uint8_t> bytes;
        if (!ParseHexBytes(list, bytes, error)) return false;
        // Version 5 files hold string types as UTF-16LE; REGEDIT4 ones as 8-bit text.
        if (FUnicode && IsTextType(value.Type)) {
            if (bytes.size() % 2) {
                error = "odd number of bytes in UTF-16 data";
                return false;
            }
            const std::string text =
                Utf16LeToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
            value.Data.assign(text.begin(), text.end());
        } else if (IsTextType(value.Type)) {
            const std::string text = ReadAnsiText(std::string(bytes.begin(), bytes.end()));
            value.Data.assign(text.begin(), text.end());
        } else {
            value.Data = std::move(bytes);
        }
        return true;
    }
};

std::string Escape(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

std::string HexNumber(uint32_t n)
{
    char buffer[12];
    std::snprintf(buffer, sizeof buffer, "%x", n);
    return buffer;
}

// A string that is one line of text with its single terminating zero can be written quoted.
bool QuotableString(const std::vector<uint8_t>& data)
{
    if (data.empty() || data.back() != 0) return false;
    for (size_t i = 0; i + 1 < data.size(); ++i)
        if (data[i] == 0 || data[i] == '\n' || data[i] == '\r') return false;
    return true;
}

// Wraps like real exports: at most about 80 columns, continued with "\" and two spaces.
void AppendHexLines(std::string& out, std::string line, const std::string& bytes)
{
    static const char Digits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        std::string piece{Digits[b >> 4], Digits[b & 15]};
        if (i + 1 < bytes.size()) piece += ',';
        if (line.size() + piece.size() > 77 && line.size() > 2) {
            out += line;
            out += "\\\n";
            line = "  ";
        }
        line += piece;
    }
    out += line;
    out += '\n';
}

void AppendValue(std::string& out, const TLinuxRegEntry& entry)
{
    // Built by appending: GCC 12 warns falsely (-Wrestrict) on "literal" + string here.
    std::string line = "@=";
    if (!entry.Name.empty()) {
        line = "\"";
        line += Escape(entry.Name);
        line += "\"=";
    }
    const TRegValue& value = entry.Value;
    const std::string raw(value.Data.begin(), value.Data.end());
    if (value.Type == rvString && QuotableString(value.Data)) {
        out += line + "\"" + Escape(std::string_view(raw).substr(0, raw.size() - 1)) + "\"\n";
    } else if (value.Type == rvDword && value.Data.size() == 4) {
        const uint32_t n = value.Data[0] | value.Data[1] << 8 | value.Data[2] << 16 | uint32_t(value.Data[3]) << 24;
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", n);
        out += line + "dword:" + digits + "\n";
    } else if (value.Type == rvBinary) {
        AppendHexLines(out, line + "hex:", raw);
    } else {
        AppendHexLines(out,
                       line + "hex(" + HexNumber(value.Type) + "):", IsTextType(value.Type) ? Utf8ToUtf16Le(raw) : raw);
    }
}
}  // namespace

bool TLinuxRegNameIndex::Same(std::string_view a, std::string_view b) { return SameTextAscii(a, b); }

void TLinuxRegNameIndex::Clear() const { FAt.clear(); }

namespace {
std::string Lowered(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view PathOf(const TLinuxRegKey& key) { return key.Path; }
std::string_view NameOf(const TLinuxRegEntry& entry) { return entry.Name; }
}  // namespace

long TLinuxRegNameIndex::Lookup(std::string_view name) const
{
    const auto found = FAt.find(Lowered(name));
    return found == FAt.end() ? -1 : static_cast<long>(found->second);
}

void TLinuxRegNameIndex::Put(std::string_view name, size_t at) const { FAt.emplace(Lowered(name), at); }

void TLinuxRegNameIndex::Added(std::string_view name, size_t at)
{
    if (FCount != at) {
        FCount = npos;
        return;
    }
    Put(name, at);
    FCount = at + 1;
}

TLinuxRegKey* TLinuxRegModel::FindKey(std::string_view path)
{
    return const_cast<TLinuxRegKey*>(std::as_const(*this).FindKey(path));
}

const TLinuxRegKey* TLinuxRegModel::FindKey(std::string_view path) const
{
    const long at = KeyIndex.Find(Keys, path, PathOf);
    return at < 0 ? nullptr : &Keys[static_cast<size_t>(at)];
}

bool TLinuxRegModel::KeyExists(std::string_view path) const
{
    if (FindKey(path)) return true;
    for (const TLinuxRegKey& key : Keys)
        if (IsBelow(key.Path, path)) return true;
    return false;
}

TLinuxRegKey& TLinuxRegModel::AddKey(std::string_view path)
{
    if (TLinuxRegKey* found = FindKey(path)) return *found;
    // Spell the new key's parents as the file already spells them (also a key that exists
    // only through its sub-keys).
    std::string spelled(path);
    for (const TLinuxRegKey& key : Keys) {
        const std::string_view have = key.Path;
        for (size_t cut = spelled.find('\\');; cut = spelled.find('\\', cut + 1)) {
            const size_t n = cut == std::string::npos ? spelled.size() : cut;
            if (have.size() >= n && (have.size() == n || have[n] == '\\') &&
                SameTextAscii(have.substr(0, n), std::string_view(spelled).substr(0, n)))
                spelled.replace(0, n, have.substr(0, n));
            if (cut == std::string::npos) break;
        }
    }
    size_t at = Keys.size();
    for (size_t k = 0; k < Keys.size(); ++k) {
        if (IsBelow(Keys[k].Path, path)) {
            at = k;
            break;
        }
    }
    if (at == Keys.size()) {
        Keys.push_back(TLinuxRegKey{spelled, {}, {}});
        KeyIndex.Added(spelled, at);
        return Keys.back();
    }
    KeyIndex.Invalidate();
    return *Keys.insert(Keys.begin() + static_cast<long>(at), TLinuxRegKey{spelled, {}, {}});
}

bool TLinuxRegModel::RemoveKey(std::string_view path)
{
    const size_t before = Keys.size();
    std::erase_if(Keys,
                  [&](const TLinuxRegKey& key) { return SameTextAscii(key.Path, path) || IsBelow(key.Path, path); });
    if (Keys.size() == before) return false;
    KeyIndex.Invalidate();
    return true;
}

const TLinuxRegEntry* TLinuxRegModel::FindValue(const TLinuxRegKey& key, std::string_view name)
{
    const long at = key.ValueIndex.Find(key.Values, name, NameOf);
    return at < 0 ? nullptr : &key.Values[static_cast<size_t>(at)];
}

void TLinuxRegModel::SetValue(TLinuxRegKey& key, std::string_view name, const TRegValue& value)
{
    if (const TLinuxRegEntry* found = FindValue(key, name)) {
        const_cast<TLinuxRegEntry*>(found)->Value = value;
        return;
    }
    key.Values.push_back(TLinuxRegEntry{std::string(name), value});
    key.ValueIndex.Added(name, key.Values.size() - 1);
}

bool TLinuxRegModel::RemoveValue(TLinuxRegKey& key, std::string_view name)
{
    if (std::erase_if(key.Values, [&](const TLinuxRegEntry& entry) { return SameTextAscii(entry.Name, name); }) == 0)
        return false;
    key.ValueIndex.Invalidate();
    return true;
}

std::string Utf16LeToUtf8(std::string_view utf16)
{
    std::string out;
    const auto unit = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<uint8_t>(utf16[2 * i]) | static_cast<uint8_t>(utf16[2 * i + 1]) << 8);
    };
    const size_t count = utf16.size() / 2;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t u = unit(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < count && unit(i + 1) >= 0xDC00 && unit(i + 1) < 0xE000) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

std::string Utf8ToUtf16Le(std::string_view utf8)
{
    std::string out;
    size_t i = 0;
    while (i < utf8.size()) {
        const auto b0 = static_cast<uint8_t>(utf8[i]);
        const auto cont = [&](size_t k) {
            return i + k < utf8.size() && (static_cast<uint8_t>(utf8[i + k]) & 0xC0) == 0x80;
        };
        const auto bits = [&](size_t k) { return static_cast<uint32_t>(static_cast<uint8_t>(utf8[i + k]) & 0x3F); };
        uint32_t cp = 0xFFFD;  // what an invalid byte becomes
        size_t length = 1;
        if (b0 < 0x80) {
            cp = b0;
        } else if (b0 >= 0xC2 && b0 < 0xE0 && cont(1)) {
            cp = (b0 & 0x1Fu) << 6 | bits(1);
            length = 2;
        } else if (b0 >= 0xE0 && b0 < 0xF0 && cont(1) && cont(2)) {
            const uint32_t c = (b0 & 0x0Fu) << 12 | bits(1) << 6 | bits(2);
            if (c >= 0x800) {
                cp = c;
                length = 3;
            }
        } else if (b0 >= 0xF0 && b0 < 0xF5 && cont(1) && cont(2) && cont(3)) {
            const uint32_t c = (b0 & 0x07u) << 18 | bits(1) << 12 | bits(2) << 6 | bits(3);
            if (c >= 0x10000 && c < 0x110000) {
                cp = c;
                length = 4;
            }
        }
        if (cp >= 0x10000) {
            AppendUtf16Unit(out, 0xD800 + ((cp - 0x10000) >> 10));
            AppendUtf16Unit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            AppendUtf16Unit(out, cp);
        }
        i += length;
    }
    return out;
}

TLinuxRegParse ParseLinuxRegText(std::string_view bytes)
{
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE) {
        if (bytes.size() % 2) {
            TLinuxRegParse result;
            result.ErrorLine = 1;
            result.Error = "odd number of bytes in a UTF-16 file";
            return result;
        }
        const std::string text = Utf16LeToUtf8(bytes.substr(2));
        return TParser(text).Run();
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return TParser(bytes).Run();
}

std::string FormatLinuxRegText(const TLinuxRegModel& model)
{
    std::string out(HeaderV5);
    out += "\n";
    for (const TLinuxRegKey& key : model.Keys) {
        out += "\n[" + key.Path + "]\n";
        for (const TLinuxRegEntry& entry : key.Values) AppendValue(out, entry);
    }
    return out;
}
