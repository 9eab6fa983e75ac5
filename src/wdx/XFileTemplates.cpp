// The standard template set, written in the format's text notation and turned into the
// binary template encoding at compile time, so that the readable text is the one source.
#include "XFileTemplates.h"

#include <array>
#include <string_view>

namespace {

constexpr std::string_view TemplateText = R"(
template Header { <3D82AB43-62DA-11CF-AB39-0020AF71E433> WORD major; WORD minor; DWORD flags; }
template Vector { <3D82AB5E-62DA-11CF-AB39-0020AF71E433> FLOAT x; FLOAT y; FLOAT z; }
template Coords2d { <F6F23F44-7686-11CF-8F52-0040333594A3> FLOAT u; FLOAT v; }
template Matrix4x4 { <F6F23F45-7686-11CF-8F52-0040333594A3> array FLOAT matrix[16]; }
template ColorRGBA { <35FF44E0-6C7C-11CF-8F52-0040333594A3> FLOAT red; FLOAT green; FLOAT blue; FLOAT alpha; }
template ColorRGB { <D3E16E81-7835-11CF-8F52-0040333594A3> FLOAT red; FLOAT green; FLOAT blue; }
template IndexedColor { <1630B820-7842-11CF-8F52-0040333594A3> DWORD index; ColorRGBA indexColor; }
template Boolean { <537DA6A0-CA37-11D0-941C-0080C80CFA7B> WORD truefalse; }
template Boolean2d { <4885AE63-78E8-11CF-8F52-0040333594A3> Boolean u; Boolean v; }
template TextureFilename { <A42790E1-7810-11CF-8F52-0040333594A3> STRING filename; }
template Material { <3D82AB4D-62DA-11CF-AB39-0020AF71E433>
  ColorRGBA faceColor; FLOAT power; ColorRGB specularColor; ColorRGB emissiveColor; [...] }
template MeshFace { <3D82AB5F-62DA-11CF-AB39-0020AF71E433>
  DWORD nFaceVertexIndices; array DWORD faceVertexIndices[nFaceVertexIndices]; }
template MeshFaceWraps { <ED1EC5C0-C0A8-11D0-941C-0080C80CFA7B>
  DWORD nFaceWrapValues; array Boolean2d faceWrapValues[nFaceWrapValues]; }
template MeshTextureCoords { <F6F23F40-7686-11CF-8F52-0040333594A3>
  DWORD nTextureCoords; array Coords2d textureCoords[nTextureCoords]; }
template MeshMaterialList { <F6F23F42-7686-11CF-8F52-0040333594A3>
  DWORD nMaterials; DWORD nFaceIndexes; array DWORD faceIndexes[nFaceIndexes];
  [Material <3D82AB4D-62DA-11CF-AB39-0020AF71E433>] }
template MeshNormals { <F6F23F43-7686-11CF-8F52-0040333594A3>
  DWORD nNormals; array Vector normals[nNormals];
  DWORD nFaceNormals; array MeshFace faceNormals[nFaceNormals]; }
template MeshVertexColors { <1630B821-7842-11CF-8F52-0040333594A3>
  DWORD nVertexColors; array IndexedColor vertexColors[nVertexColors]; }
template Mesh { <3D82AB44-62DA-11CF-AB39-0020AF71E433>
  DWORD nVertices; array Vector vertices[nVertices];
  DWORD nFaces; array MeshFace faces[nFaces]; [...] }
template FrameTransformMatrix { <F6F23F41-7686-11CF-8F52-0040333594A3> Matrix4x4 frameMatrix; }
template Frame { <3D82AB46-62DA-11CF-AB39-0020AF71E433> [...] }
template FloatKeys { <10DD46A9-775B-11CF-8F52-0040333594A3> DWORD nValues; array FLOAT values[nValues]; }
template TimedFloatKeys { <F406B180-7B3B-11CF-8F52-0040333594A3> DWORD time; FloatKeys tfkeys; }
template AnimationKey { <10DD46A8-775B-11CF-8F52-0040333594A3>
  DWORD keyType; DWORD nKeys; array TimedFloatKeys keys[nKeys]; }
template AnimationOptions { <E2BF56C0-840F-11CF-8F52-0040333594A3> DWORD openclosed; DWORD positionquality; }
template Animation { <3D82AB4F-62DA-11CF-AB39-0020AF71E433> [...] }
template AnimationSet { <3D82AB50-62DA-11CF-AB39-0020AF71E433> [Animation <3D82AB4F-62DA-11CF-AB39-0020AF71E433>] }
)";

// Binary token codes of the format.
enum : unsigned {
    TokName = 1,
    TokGuid = 5,
    TokInteger = 3,
    TokOBrace = 10,
    TokCBrace = 11,
    TokOBracket = 14,
    TokCBracket = 15,
    TokDot = 18,
    TokSemicolon = 20,
    TokTemplate = 31,
    TokArray = 52
};

struct Keyword {
    std::string_view word;
    unsigned token;
};
constexpr std::array<Keyword, 13> Keywords{{{"template", TokTemplate},
                                            {"array", TokArray},
                                            {"WORD", 40},
                                            {"DWORD", 41},
                                            {"FLOAT", 42},
                                            {"DOUBLE", 43},
                                            {"CHAR", 44},
                                            {"UCHAR", 45},
                                            {"SWORD", 46},
                                            {"SDWORD", 47},
                                            {"VOID", 48},
                                            {"STRING", 49},
                                            {"CSTRING", 51}}};

constexpr unsigned HexDigit(char c) { return c <= '9' ? unsigned(c - '0') : unsigned((c | 0x20) - 'a' + 10); }

struct Writer {
    unsigned char* out;
    std::size_t size = 0;
    constexpr void Byte(unsigned value)
    {
        if (out) out[size] = static_cast<unsigned char>(value);
        ++size;
    }
    constexpr void Word(unsigned value)
    {
        Byte(value & 0xFF);
        Byte(value >> 8);
    }
    constexpr void Dword(unsigned value)
    {
        Word(value & 0xFFFF);
        Word(value >> 16);
    }
};

// Encodes the text above; with a null output it only counts the bytes.
constexpr std::size_t Encode(unsigned char* out)
{
    Writer w{out};
    for (char c : std::string_view("xof 0302bin 0064")) w.Byte(static_cast<unsigned char>(c));
    const std::string_view t = TemplateText;
    std::size_t i = 0;
    while (i < t.size()) {
        const char c = t[i];
        const auto isWordChar = [&](std::size_t k) {
            const char d = t[k];
            return (d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z') || (d >= '0' && d <= '9') || d == '_';
        };
        if (c == ' ' || c == '\n') {
            ++i;
        } else if (c == '<') {
            // <XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX>: the fields in their stored order.
            const auto hex = [&](std::size_t from, std::size_t count) {
                unsigned v = 0;
                for (std::size_t k = 0; k < count; ++k) v = v * 16 + HexDigit(t[from + k]);
                return v;
            };
            w.Word(TokGuid);
            w.Dword(hex(i + 1, 8));
            w.Word(hex(i + 10, 4));
            w.Word(hex(i + 15, 4));
            w.Byte(hex(i + 20, 2));
            w.Byte(hex(i + 22, 2));
            for (std::size_t k = 0; k < 6; ++k) w.Byte(hex(i + 25 + 2 * k, 2));
            i += 38;
        } else if (c >= '0' && c <= '9') {
            unsigned v = 0;
            while (t[i] >= '0' && t[i] <= '9') v = v * 10 + unsigned(t[i++] - '0');
            w.Word(TokInteger);
            w.Dword(v);
        } else if (isWordChar(i)) {
            const std::size_t start = i;
            while (isWordChar(i)) ++i;
            const std::string_view word = t.substr(start, i - start);
            unsigned token = 0;
            for (const Keyword& k : Keywords)
                if (k.word == word) token = k.token;
            if (token) {
                w.Word(token);
            } else {
                w.Word(TokName);
                w.Dword(static_cast<unsigned>(word.size()));
                for (char d : word) w.Byte(static_cast<unsigned char>(d));
            }
        } else {
            w.Word(c == '{'   ? TokOBrace
                   : c == '}' ? TokCBrace
                   : c == '[' ? TokOBracket
                   : c == ']' ? TokCBracket
                   : c == '.' ? TokDot
                              : TokSemicolon);
            ++i;
        }
    }
    return w.size;
}

constexpr std::size_t EncodedSize = Encode(nullptr);

constexpr std::array<unsigned char, EncodedSize> Encoded = [] {
    std::array<unsigned char, EncodedSize> bytes{};
    Encode(bytes.data());
    return bytes;
}();

}  // namespace

const unsigned char* const D3DRM_XTEMPLATES = Encoded.data();
const std::size_t D3DRM_XTEMPLATE_BYTES = EncodedSize;
