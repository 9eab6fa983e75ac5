#pragma once
// The X-file reader's tokens, from either encoding: the text notation or the binary token
// stream. Separators (commas and semicolons) carry no meaning the reader needs, so they are
// dropped here; binary lists of integers or floats come out one number per token.
#include <cstdint>
#include <string_view>
#include <vector>

#include "SoftDxApi.h"

namespace softdx::xfile {

struct Token {
    enum class Kind { End, Error, Name, String, Integer, Float, Guid, Punct };
    Kind kind = Kind::End;
    char punct = 0;
    std::string_view text;
    uint32_t integer = 0;
    double real = 0;
    GUID guid{};
};

// Reads the 16-byte header and makes `bytes` the body: the rest of the file, or what a
// compressed file inflates to. On success `binary` and `floatBytes` say how to read it. A
// compressed file that declares more than `maxBody` bytes is refused with DXFILEERR_BADALLOC
// before anything is inflated; one whose blocks inflate to more than it declared, or a
// block to more than 32 KB, is DXFILEERR_BADFILE.
HRESULT ReadHeader(std::vector<uint8_t>& bytes, bool& binary, int& floatBytes, std::size_t maxBody);

class Lexer {
public:
    Lexer(const uint8_t* begin, const uint8_t* end, bool binary, int floatBytes);
    Token Next();
    const Token& Peek();
    // Templates keep their separators: there a ';' ends a member, so that an array's sizes
    // and a following list of allowed children cannot be mistaken for each other.
    void KeepSeparators(bool keep) { FKeepSeparators = keep; }
    // Bytes not yet read: no array of the file can have more elements than this.
    std::size_t Remaining() const { return static_cast<std::size_t>(FEnd - FAt); }

private:
    Token Read();
    Token ReadText();
    Token ReadBinary();

    const uint8_t* FAt;
    const uint8_t* FEnd;
    bool FBinary;
    int FFloatBytes;
    Token FPeeked;
    bool FHasPeeked = false;
    uint32_t FListLeft = 0;
    bool FListFloats = false;
    bool FKeepSeparators = false;
};

}  // namespace softdx::xfile
