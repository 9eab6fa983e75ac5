#pragma once
// Writes X files for the readers' tests and benchmark: one writer records a file as tokens,
// and three encoders turn the same tokens into the text, the binary and the MSZIP-compressed
// forms, with 32- or 64-bit floats. It needs no DirectX header, so the tests of either
// platform's reader (ours, and the system's under Wine) write their files with it.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace xfiletest {

// A GUID's fields, as any GUID type of the platform has them.
struct XGuid {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0, Data3 = 0;
    uint8_t Data4[8] = {};
};

struct XTok {
    enum Kind { Name, Str, Int, Flt, Guid, Punct } kind;
    std::string text;
    uint32_t integer = 0;
    double real = 0;
    XGuid guid{};
};

class XWriter {
public:
    XWriter& N(const std::string& name) { return Add({XTok::Name, name}); }
    XWriter& S(const std::string& text) { return Add({XTok::Str, text}); }
    XWriter& I(uint32_t v) { return Add({XTok::Int, {}, v}); }
    XWriter& F(double v) { return Add({XTok::Flt, {}, 0, v}); }
    template <class Guid>
    XWriter& G(const Guid& g)
    {
        XGuid id{static_cast<uint32_t>(g.Data1), static_cast<uint16_t>(g.Data2), static_cast<uint16_t>(g.Data3), {}};
        std::memcpy(id.Data4, g.Data4, 8);
        return Add({XTok::Guid, {}, 0, 0, id});
    }
    // Punctuation, one character each: "{", "};" ...
    XWriter& P(const char* marks)
    {
        for (const char* c = marks; *c; ++c) Add({XTok::Punct, std::string(1, *c)});
        return *this;
    }
    std::vector<XTok> tokens;

private:
    XWriter& Add(XTok t)
    {
        tokens.push_back(std::move(t));
        return *this;
    }
};

inline std::vector<uint8_t> Header(const char* format, int floatBits)
{
    char h[17];
    std::snprintf(h, sizeof h, "xof 0303%s00%02d", format, floatBits);
    return std::vector<uint8_t>(h, h + 16);
}

// A GUID as text, of XGuid or of any GUID type of the platform.
template <class Guid>
std::string GuidText(const Guid& g)
{
    char s[40];
    std::snprintf(s, sizeof s, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", static_cast<unsigned>(g.Data1),
                  unsigned{g.Data2}, unsigned{g.Data3}, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return s;
}

inline std::vector<uint8_t> EncodeText(const std::vector<XTok>& tokens, int floatBits = 32)
{
    std::vector<uint8_t> out = Header("txt ", floatBits);
    std::string s = "\n";
    char number[64];
    for (const XTok& t : tokens) {
        switch (t.kind) {
        case XTok::Name: s += t.text + ' '; break;
        case XTok::Str: s += '"' + t.text + '"'; break;
        case XTok::Int: s += std::to_string(t.integer); break;
        case XTok::Flt:
            std::snprintf(number, sizeof number, "%.6f", t.real);
            s += number;
            break;
        case XTok::Guid: s += '<' + GuidText(t.guid) + '>'; break;
        case XTok::Punct: s += t.text + (t.text == ";" || t.text == "{" || t.text == "}" ? "\n" : ""); break;
        }
    }
    out.insert(out.end(), s.begin(), s.end());
    return out;
}

inline std::vector<uint8_t> EncodeBinary(const std::vector<XTok>& tokens, int floatBits = 32)
{
    std::vector<uint8_t> out = Header("bin ", floatBits);
    const auto word = [&](unsigned v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    const auto dword = [&](uint32_t v) {
        word(v & 0xFFFF);
        word(v >> 16);
    };
    static const char* const keywords[] = {"WORD",   "DWORD", "FLOAT",  "DOUBLE",  "CHAR",    "UCHAR", "SWORD",
                                           "SDWORD", "VOID",  "STRING", "UNICODE", "CSTRING", "array"};
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const XTok& t = tokens[i];
        if (t.kind == XTok::Int || t.kind == XTok::Flt) {
            // A run of numbers of one kind, with the separators between and after them, is one
            // list.
            std::vector<const XTok*> run;
            std::size_t j = i;
            for (; j < tokens.size(); ++j) {
                if (tokens[j].kind == t.kind)
                    run.push_back(&tokens[j]);
                else if (!(tokens[j].kind == XTok::Punct && (tokens[j].text == "," || tokens[j].text == ";")))
                    break;
            }
            // The list stands for its separators too, the last ones included: the binary
            // encoding has none around a list of numbers (DirectX's own reader refuses them).
            word(t.kind == XTok::Int ? 6 : 7);
            dword(uint32_t(run.size()));
            for (const XTok* n : run) {
                if (t.kind == XTok::Int) {
                    dword(n->integer);
                } else if (floatBits == 32) {
                    const float f = float(n->real);
                    out.insert(out.end(), reinterpret_cast<const uint8_t*>(&f),
                               reinterpret_cast<const uint8_t*>(&f) + 4);
                } else {
                    out.insert(out.end(), reinterpret_cast<const uint8_t*>(&n->real),
                               reinterpret_cast<const uint8_t*>(&n->real) + 8);
                }
            }
            i = j - 1;
            continue;
        }
        switch (t.kind) {
        case XTok::Name: {
            if (t.text == "template") {
                word(31);
                break;
            }
            unsigned code = 0;
            for (unsigned k = 0; k < 13; ++k)
                if (t.text == keywords[k]) code = 40 + k;
            if (code) {
                word(code);
                break;
            }
            word(1);
            dword(uint32_t(t.text.size()));
            out.insert(out.end(), t.text.begin(), t.text.end());
            break;
        }
        case XTok::Str: {
            word(2);
            dword(uint32_t(t.text.size()));
            out.insert(out.end(), t.text.begin(), t.text.end());
            const bool comma = i + 1 < tokens.size() && tokens[i + 1].text == ",";
            const bool separated = i + 1 < tokens.size() && (comma || tokens[i + 1].text == ";");
            word(comma ? 19 : 20);  // the terminator is a token of its own, two bytes
            if (separated) ++i;
            break;
        }
        case XTok::Guid:
            word(5);
            dword(t.guid.Data1);
            word(t.guid.Data2);
            word(t.guid.Data3);
            out.insert(out.end(), t.guid.Data4, t.guid.Data4 + 8);
            break;
        default: word(10 + unsigned(std::string("{}()[]<>.,;").find(t.text[0])));
        }
    }
    return out;
}

// The MSZIP form of an encoded file, in blocks of `blockSize` bytes of the body, each
// compressed with the body before it as history, or alone. Readers that keep no history
// between blocks (Wine's) read only the second form, which every reader reads.
inline std::vector<uint8_t> Compress(const std::vector<uint8_t>& file, std::size_t blockSize = 32768,
                                     bool history = true)
{
    const bool binary = std::memcmp(file.data() + 8, "bin ", 4) == 0;
    std::vector<uint8_t> out(file.begin(), file.begin() + 16);
    std::memcpy(out.data() + 8, binary ? "bzip" : "tzip", 4);
    // Little-endian values byte by byte (an insert of a 4-byte range here set off a false
    // array-bounds warning of GCC 12 at -O3).
    const auto put = [&](uint32_t value, int bytes) {
        for (int k = 0; k < bytes; ++k) out.push_back(uint8_t(value >> (8 * k)));
    };
    put(uint32_t(file.size()), 4);
    for (std::size_t at = 16; at < file.size(); at += blockSize) {
        const std::size_t plain = std::min(blockSize, file.size() - at);
        z_stream z{};
        deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        const std::size_t before = history ? std::min<std::size_t>(at - 16, 32768) : 0;
        if (before) deflateSetDictionary(&z, file.data() + at - before, uInt(before));
        std::vector<uint8_t> packed(deflateBound(&z, uLong(plain)) + 16);
        z.next_in = const_cast<Bytef*>(file.data() + at);
        z.avail_in = uInt(plain);
        z.next_out = packed.data();
        z.avail_out = uInt(packed.size());
        deflate(&z, Z_FINISH);
        packed.resize(z.total_out);
        deflateEnd(&z);
        put(uint32_t(plain), 2);
        put(uint32_t(packed.size() + 2), 2);
        out.push_back('C');
        out.push_back('K');
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

}  // namespace xfiletest
