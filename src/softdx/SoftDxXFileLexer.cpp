// Implements: the X-file header (text, binary, and their MSZIP-compressed forms, 32- or
// 64-bit floats) and the tokens of both encodings. Does not: Unicode names or strings.
#include "SoftDxXFileLexer.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace softdx::xfile {

namespace {

uint32_t Dword(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// MSZIP: the inflated size of the whole file, then blocks of (inflated size, compressed
// size, "CK", deflate data), each block's deflate stream seeing the previous output as its
// history. A few hundred bytes of deflate can stand for a megabyte, so the declared size is
// held to the cap before anything is inflated, and the blocks to the declared size as they
// inflate: a file never makes the reader inflate more than it said or more than it allows.
HRESULT Inflate(const uint8_t* at, const uint8_t* end, std::vector<uint8_t>& out, std::size_t maxBody)
{
    constexpr unsigned MaxBlock = 32768;  // a block inflates to at most the deflate window
    if (end - at < 4) return DXFILEERR_BADFILE;
    // Writers count the 16 bytes of the header in; a body of the declared size is taken too.
    const std::size_t declared = Dword(at);
    at += 4;
    if (declared > maxBody + 16) return DXFILEERR_BADALLOC;
    out.clear();
    // Deflate gives at most about 1,032 bytes for one, so a file that declares more than its
    // blocks can hold does not reserve it.
    out.reserve(std::min<uint64_t>(declared, uint64_t(end - at) * 1032));
    while (at < end) {
        if (end - at < 4) return DXFILEERR_BADFILE;
        const unsigned plain = Word(at);
        const unsigned packed = Word(at + 2);
        at += 4;
        if (packed < 2 || static_cast<std::size_t>(end - at) < packed || at[0] != 'C' || at[1] != 'K' ||
            plain > MaxBlock || plain > declared - out.size())
            return DXFILEERR_BADFILE;
        // Grown before zlib's state is made, so that a failed allocation leaves none behind.
        const std::size_t before = out.size();
        out.resize(before + plain);
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return DXFILEERR_BADALLOC;
        const std::size_t history = before < MaxBlock ? before : MaxBlock;
        int rc = Z_OK;
        if (history) rc = inflateSetDictionary(&z, out.data() + before - history, static_cast<uInt>(history));
        if (rc == Z_OK) {
            z.next_in = const_cast<Bytef*>(at + 2);
            z.avail_in = packed - 2;
            z.next_out = out.data() + before;
            z.avail_out = plain;
            rc = inflate(&z, Z_FINISH);
        }
        const bool whole = rc == Z_STREAM_END && z.avail_out == 0;
        inflateEnd(&z);
        if (!whole) return DXFILEERR_BADFILE;
        at += packed;
    }
    return DXFILE_OK;
}

bool IsNameStart(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameChar(uint8_t c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

int Hex(uint8_t c)
{
    if (c >= '0' && c <= '9') return c - '0';
    c |= 0x20;
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" in its 36 characters.
bool ParseGuid(const uint8_t* p, GUID& guid)
{
    static constexpr int dashes[] = {8, 13, 18, 23};
    uint8_t nibbles[32];
    int n = 0;
    for (int i = 0; i < 36; ++i) {
        if (i == dashes[0] || i == dashes[1] || i == dashes[2] || i == dashes[3]) {
            if (p[i] != '-') return false;
            continue;
        }
        const int h = Hex(p[i]);
        if (h < 0) return false;
        nibbles[n++] = static_cast<uint8_t>(h);
    }
    const auto field = [&](int from, int count) {
        uint32_t v = 0;
        for (int i = 0; i < count; ++i) v = v << 4 | nibbles[from + i];
        return v;
    };
    guid.Data1 = field(0, 8);
    guid.Data2 = static_cast<uint16_t>(field(8, 4));
    guid.Data3 = static_cast<uint16_t>(field(12, 4));
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<uint8_t>(field(16 + 2 * i, 2));
    return true;
}

Token Fault()
{
    Token t;
    t.kind = Token::Kind::Error;
    return t;
}

Token Punct(char c)
{
    Token t;
    t.kind = Token::Kind::Punct;
    t.punct = c;
    return t;
}

}  // namespace

HRESULT ReadHeader(std::vector<uint8_t>& bytes, bool& binary, int& floatBytes, std::size_t maxBody)
{
    if (bytes.size() < 16 || std::memcmp(bytes.data(), "xof ", 4) != 0) return DXFILEERR_BADFILETYPE;
    const auto at = [&](int offset, const char* text) { return std::memcmp(bytes.data() + offset, text, 4) == 0; };
    if (!at(4, "0302") && !at(4, "0303")) return DXFILEERR_BADFILEVERSION;
    const bool compressed = at(8, "tzip") || at(8, "bzip");
    binary = at(8, "bin ") || at(8, "bzip");
    if (!compressed && !binary && !at(8, "txt ")) return DXFILEERR_BADFILETYPE;
    if (at(12, "0032"))
        floatBytes = 4;
    else if (at(12, "0064"))
        floatBytes = 8;
    else
        return DXFILEERR_BADFILEFLOATSIZE;
    // The file's own bytes become the body, so a large plain file is never held twice.
    if (!compressed) {
        bytes.erase(bytes.begin(), bytes.begin() + 16);
        return DXFILE_OK;
    }
    std::vector<uint8_t> body;
    const HRESULT hr = Inflate(bytes.data() + 16, bytes.data() + bytes.size(), body, maxBody);
    if (hr == DXFILE_OK) bytes = std::move(body);
    return hr;
}

Lexer::Lexer(const uint8_t* begin, const uint8_t* end, bool binary, int floatBytes)
    : FAt(begin), FEnd(end), FBinary(binary), FFloatBytes(floatBytes)
{
}

Token Lexer::Next()
{
    if (FHasPeeked) {
        FHasPeeked = false;
        return FPeeked;
    }
    return Read();
}

const Token& Lexer::Peek()
{
    if (!FHasPeeked) {
        FPeeked = Read();
        FHasPeeked = true;
    }
    return FPeeked;
}

Token Lexer::Read()
{
    for (;;) {
        Token t = FBinary ? ReadBinary() : ReadText();
        if (FKeepSeparators || t.kind != Token::Kind::Punct || (t.punct != ',' && t.punct != ';')) return t;
    }
}

Token Lexer::ReadText()
{
    for (;;) {
        while (FAt < FEnd && (*FAt == ' ' || *FAt == '\t' || *FAt == '\r' || *FAt == '\n')) ++FAt;
        if (FAt == FEnd) return Token{};
        if (*FAt == '#' || (*FAt == '/' && FEnd - FAt > 1 && FAt[1] == '/')) {
            while (FAt < FEnd && *FAt != '\n') ++FAt;
            continue;
        }
        break;
    }
    const uint8_t c = *FAt;
    Token t;
    if (IsNameStart(c)) {
        const uint8_t* start = FAt;
        while (FAt < FEnd && IsNameChar(*FAt)) ++FAt;
        t.kind = Token::Kind::Name;
        t.text = std::string_view(reinterpret_cast<const char*>(start), static_cast<std::size_t>(FAt - start));
        return t;
    }
    if (c == '"') {
        const uint8_t* start = ++FAt;
        while (FAt < FEnd && *FAt != '"') ++FAt;
        if (FAt == FEnd) return Fault();
        t.kind = Token::Kind::String;
        t.text = std::string_view(reinterpret_cast<const char*>(start), static_cast<std::size_t>(FAt - start));
        ++FAt;
        return t;
    }
    if (c == '<' && FEnd - FAt >= 38 && FAt[37] == '>' && ParseGuid(FAt + 1, t.guid)) {
        FAt += 38;
        t.kind = Token::Kind::Guid;
        return t;
    }
    if ((c >= '0' && c <= '9') || c == '-' || c == '+' ||
        (c == '.' && FEnd - FAt > 1 && FAt[1] >= '0' && FAt[1] <= '9')) {
        const uint8_t* start = FAt;
        bool real = false;
        while (FAt < FEnd && ((*FAt >= '0' && *FAt <= '9') || *FAt == '-' || *FAt == '+' || *FAt == '.' ||
                              *FAt == 'e' || *FAt == 'E')) {
            real = real || *FAt == '.' || *FAt == 'e' || *FAt == 'E';
            ++FAt;
        }
        const char* first = reinterpret_cast<const char*>(start + (*start == '+' ? 1 : 0));
        const char* last = reinterpret_cast<const char*>(FAt);
        if (real) {
            const auto r = std::from_chars(first, last, t.real);
            if (r.ec != std::errc() || r.ptr != last) return Fault();
            t.kind = Token::Kind::Float;
        } else {
            int64_t v = 0;
            const auto r = std::from_chars(first, last, v);
            if (r.ec != std::errc() || r.ptr != last || v < INT32_MIN || v > UINT32_MAX) return Fault();
            t.kind = Token::Kind::Integer;
            t.integer = static_cast<uint32_t>(v);
            t.real = static_cast<double>(v);
        }
        return t;
    }
    if (std::strchr("{}()[]<>.,;", c) && c) {
        ++FAt;
        return Punct(static_cast<char>(c));
    }
    return Fault();
}

Token Lexer::ReadBinary()
{
    Token t;
    if (FListLeft) {
        const std::size_t size = FListFloats ? static_cast<std::size_t>(FFloatBytes) : 4;
        --FListLeft;
        if (Remaining() < size) return Fault();
        if (!FListFloats) {
            t.kind = Token::Kind::Integer;
            t.integer = Dword(FAt);
            t.real = t.integer;
        } else if (FFloatBytes == 4) {
            float f;
            std::memcpy(&f, FAt, 4);
            t.kind = Token::Kind::Float;
            t.real = f;
        } else {
            std::memcpy(&t.real, FAt, 8);
            t.kind = Token::Kind::Float;
        }
        FAt += size;
        return t;
    }
    if (FAt == FEnd) return t;
    if (Remaining() < 2) return Fault();
    const unsigned code = Word(FAt);
    FAt += 2;
    static constexpr const char* keywords[] = {"WORD",   "DWORD", "FLOAT",  "DOUBLE",  "CHAR",    "UCHAR", "SWORD",
                                               "SDWORD", "VOID",  "STRING", "UNICODE", "CSTRING", "array"};
    switch (code) {
    case 1:  // name
    case 2:  // string; the separator that ends it is the next token, of two bytes like any other
        if (Remaining() < 4) return Fault();
        {
            const uint32_t length = Dword(FAt);
            FAt += 4;
            if (Remaining() < length) return Fault();
            t.kind = code == 1 ? Token::Kind::Name : Token::Kind::String;
            t.text = std::string_view(reinterpret_cast<const char*>(FAt), length);
            FAt += length;
        }
        return t;
    case 3:  // integer
        if (Remaining() < 4) return Fault();
        t.kind = Token::Kind::Integer;
        t.integer = Dword(FAt);
        t.real = t.integer;
        FAt += 4;
        return t;
    case 5:  // GUID
        if (Remaining() < 16) return Fault();
        t.kind = Token::Kind::Guid;
        t.guid.Data1 = Dword(FAt);
        t.guid.Data2 = Word(FAt + 4);
        t.guid.Data3 = Word(FAt + 6);
        std::memcpy(t.guid.Data4, FAt + 8, 8);
        FAt += 16;
        return t;
    case 6:  // integer list
    case 7:  // float list
        if (Remaining() < 4) return Fault();
        FListLeft = Dword(FAt);
        FAt += 4;
        FListFloats = code == 7;
        if (FListLeft > Remaining() / (FListFloats ? FFloatBytes : 4)) return Fault();
        return Read();
    case 31:
        t.kind = Token::Kind::Name;
        t.text = "template";
        return t;
    default:
        if (code >= 10 && code <= 20) return Punct("{}()[]<>.,;"[code - 10]);
        if (code >= 40 && code <= 52) {
            t.kind = Token::Kind::Name;
            t.text = keywords[code - 40];
            return t;
        }
        return Fault();
    }
}

}  // namespace softdx::xfile
