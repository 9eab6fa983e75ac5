// Writes the fuzz targets' seed files with the tests' own file makers: one folder per target
// under the folder given, each file a well-formed input of a kind the reader must take, so the
// fuzzer starts from every branch the tests know rather than from nothing.
#include "support/JpegMaker.h"
#include "support/PictureFiles.h"
#include "support/PictureMakers.h"
#include "support/WaveMaker.h"
#include "support/XFileWriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path root;

void Seed(const std::string& target, const std::string& name, const std::string& bytes)
{
    const fs::path folder = root / target;
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Le(uint32_t v, int bytes)
{
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
    return s;
}

// A BMP with a 40-byte header and what follows it (masks, colour table, rows) as given.
std::string Bmp(int width, int height, int bits, uint32_t compression, const std::string& tail, uint32_t colours = 0)
{
    std::string header = "BM" + Le(static_cast<uint32_t>(54 + tail.size()), 4) + Le(0, 4);
    const uint32_t offBits = 54 + (compression == 3 ? 12 : 0) + colours * 4;
    header += Le(offBits, 4) + Le(40, 4) + Le(static_cast<uint32_t>(width), 4) + Le(static_cast<uint32_t>(height), 4);
    header += Le(1, 2) + Le(static_cast<uint32_t>(bits), 2) + Le(compression, 4) + Le(0, 4) + Le(2835, 4) + Le(2835, 4);
    header += Le(colours, 4) + Le(0, 4);
    return header + tail;
}

std::string Tga(int type, int width, int height, int depth, int descriptor, const std::string& body)
{
    std::string s(18, '\0');
    s[2] = static_cast<char>(type);
    s.replace(12, 2, Le(static_cast<uint32_t>(width), 2));
    s.replace(14, 2, Le(static_cast<uint32_t>(height), 2));
    s[16] = static_cast<char>(depth);
    s[17] = static_cast<char>(descriptor);
    return s + body;
}

void JpegSeeds()
{
    const TRgbPicture quad = QuadrantPicture(24, 16, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {250, 250, 250});
    struct Kind {
        const char* Name;
        TJpegOptions Options;
    };
    std::vector<Kind> kinds = {{"baseline", {}},
                               {"q10", {.Quality = 10}},
                               {"progressive", {.Progressive = true}},
                               {"arithmetic", {.Arithmetic = true}},
                               {"restart", {.RestartRows = 1}},
                               {"subsampled", {.Subsample420 = true}},
                               {"grey", {.Colour = TJpegColour::Grayscale}},
                               {"cmyk", {.Colour = TJpegColour::Cmyk}},
                               {"adobe-cmyk", {.Colour = TJpegColour::AdobeCmyk}},
                               {"ycck", {.Colour = TJpegColour::Ycck}},
                               {"exif6", {.Orientation = 6}},
                               {"exif3-mm", {.Orientation = 3, .BigEndianExif = true}},
                               {"scans", {.Colour = TJpegColour::Grayscale, .Scans = 12}}};
    for (const Kind& kind : kinds) {
        const std::string bytes = MakeJpeg(quad, kind.Options);
        Seed("jpeg_bitmap", kind.Name, bytes);
        Seed("jpeg_straight", kind.Name, bytes);
        // The straight decoder's target takes its box from the last two bytes: a third and
        // two thirds of the picture, kept in proportion.
        Seed("jpeg_straight", std::string(kind.Name) + "-stored", bytes + "\x47\x8e");
    }
    for (int orientation = 1; orientation <= 8; ++orientation)
        Seed("exif", "orientation" + std::to_string(orientation) + (orientation % 2 ? "-mm" : "-ii"),
             ExifBlock(orientation, orientation % 2 == 1));
}

void PictureFileSeeds()
{
    Seed("bmp", "rgb24", MakeBmp24(QuadrantPicture(5, 3, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12})));
    const std::string table2 = Le(0, 4) + Le(0xFFFFFF, 4);
    Seed("bmp", "mono", Bmp(9, 2, 1, 0, table2 + Le(0x00FF40AA, 4) + Le(0x80, 4), 2));
    std::string table16;
    for (uint32_t i = 0; i < 16; ++i) table16 += Le(i * 0x111111, 4);
    Seed("bmp", "nibbles", Bmp(3, 2, 4, 0, table16 + Le(0x21, 4) + Le(0xF3, 4), 16));
    Seed("bmp", "palette8", Bmp(4, 1, 8, 0, table2 + std::string("\x01\x00\x01\x00", 4), 2));
    Seed("bmp", "rgb555", Bmp(2, 1, 16, 0, Le(0x7C00, 2) + Le(0x03E0, 2)));
    Seed("bmp", "fields565", Bmp(2, 1, 16, 3, Le(0xF800, 4) + Le(0x07E0, 4) + Le(0x001F, 4) + Le(0x07E0F800, 4)));
    Seed("bmp", "rgb32-topdown", Bmp(1, -2, 32, 0, Le(0x00102030, 4) + Le(0x00405060, 4)));
    Seed("bmp", "fields32", Bmp(1, 1, 32, 3, Le(0xFF, 4) + Le(0xFF00, 4) + Le(0xFF0000, 4) + Le(0x00302010, 4)));

    Seed("tga", "rgba32-topdown", MakeTga32(2, 2, {0xFF000080, 0x00FF00FF, 0x0000FFFF, 0x12345678}));
    Seed("tga", "rgb24-bottomup", Tga(2, 2, 2, 24, 0, std::string("\0\0\xff\0\xff\0\xff\0\0\xff\xff\xff", 12)));
    Seed("tga", "rle24", Tga(10, 3, 2, 24, 0x20, std::string("\x83\x09\x09\x09\x01\x01\x02\x03\x04\x05\x06", 11)));
    Seed("tga", "rle32",
         Tga(10, 2, 2, 32, 0x28, std::string("\x81\x01\x02\x03\x80\x01\x04\x05\x06\x07\x08\x09\x0a\x0b", 14)));
}

// Small PNG, TIFF and WebP files of every layout their decoders take apart differently, each
// also with the harness's size bytes after it: a third and two thirds of the picture, kept in
// proportion.
void OtherPictureSeeds()
{
    TArgbPicture picture{12, 9, {}};
    for (int i = 0; i < 12 * 9; ++i)
        picture.Pixels.push_back((static_cast<uint32_t>(i) * 0x0305070Bu & 0xFFFFFFu) |
                                 (i % 3 == 0 ? 0x80u << 24 : 0xFFu << 24));
    TArgbPicture grey = picture;
    for (uint32_t& p : grey.Pixels) p = (p & 0xFF000000u) | (p >> 8 & 0xC0) * 0x010101u;
    const auto seed = [](const char* target, const std::string& name, const std::string& bytes) {
        Seed(target, name, bytes);
        Seed(target, name + "-stored", bytes + "\x47\x8e");
    };
    seed("png", "rgb", MakePng(picture));
    seed("png", "rgba16", MakePng(picture, {.Depth = 16, .Alpha = true}));
    seed("png", "grey1", MakePng(grey, {.Colour = TPngOptions::Grey, .Depth = 1}));
    seed("png", "palette-trns", MakePng(grey, {.Colour = TPngOptions::Palette, .Depth = 4, .Alpha = true}));
    seed("png", "interlaced", MakePng(picture, {.Interlaced = true}));
    seed("png", "exif6", MakePng(picture, {.Orientation = 6}));
    seed("tiff", "strips", MakeTiff(picture, {.RowsPerStrip = 2}));
    seed("tiff", "deflate-alpha", MakeTiff(picture, {.Alpha = true, .Deflate = true}));
    seed("tiff", "tiles", MakeTiff(picture, {.Tile = 16}));
    seed("tiff", "separate16", MakeTiff(picture, {.SeparatePlanes = true, .Depth = 16}));
    seed("tiff", "grey-turned", MakeTiff(grey, {.Grey = true, .Orientation = 7}));
    seed("webp", "lossless", MakeWebp(picture));
    seed("webp", "lossy", MakeWebp(picture, {.Lossless = false}));
    seed("webp", "exif6", MakeWebp(picture, {.Orientation = 6}));
    seed("webp", "animated", MakeWebp(picture, {.Lossless = false, .Animated = true}));
}

void SettingsSeeds()
{
    const std::string key = "[HKEY_CURRENT_USER\\SOFTWARE\\Vellumine\\Test]\r\n";
    const std::string v5 = "Windows Registry Editor Version 5.00\r\n\r\n";
    Seed("regfile", "values",
         v5 + key + "\"Folder\"=\"C:\\\\Pictures \\\"best\\\"\"\r\n\"Speed\"=dword:00000032\r\n@=\"default\"\r\n" +
             "\"Blob\"=hex:00,01,fe,\\\r\n  ff\r\n\"Path\"=hex(2):25,00,41,00,00,00\r\n" +
             "\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n\"Wide\"=hex(b):01,00,00,00,00,00,00,00\r\n" +
             "\"Gone\"=-\r\n\r\n[-HKEY_CURRENT_USER\\SOFTWARE\\Old]\r\n");
    Seed("regfile", "regedit4", "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\V]\n\"A\"=\"b\"\n; note\n");
    std::string utf16 = "\xff\xfe";
    for (char c : v5 + key + "\"Name\"=\"\xc3\xa9t\xc3\xa9\"\r\n") {
        utf16 += c;
        utf16 += '\0';
    }
    Seed("regfile", "utf16", utf16);
    Seed("regfile", "bom-utf8", "\xef\xbb\xbf" + v5 + key + "\"Empty\"=\"\"\r\n");
}

void WaveSeeds()
{
    Seed("wave", "pcm16", wave::Pcm16(2, 22050, {0, 1000, -1000, 32767, -32768, 5}));
    Seed("wave", "pcm8-extra",
         wave::Riff(wave::Chunk("fmt ", wave::Format(1, 1, 8000, 8, 0)) +
                    wave::Chunk("LIST", std::string("INFOISFT\x04\0\0\0abc", 15)) +
                    wave::Chunk("data", "\x80\x7f\x81")));
    Seed("wave", "fact-first",
         wave::Riff(wave::Chunk("fact", wave::Le32(4)) + wave::Chunk("fmt ", wave::Format(1, 1, 44100, 16)) +
                    wave::Chunk("data", wave::Samples({1, 2}))));
}

// A frame with a matrix and a mesh with normals, texture coordinates, two materials (one
// with a texture name) and a referenced one, in each encoding, for both X-file targets.
void XFileSeeds()
{
    using xfiletest::XWriter;
    XWriter w;
    w.N("Material").N("Shared").P("{").F(1).P(";").F(1).P(";").F(1).P(";").F(1).P(";;").F(4).P(";");
    w.F(0).P(";").F(0).P(";").F(0).P(";;").F(0).P(";").F(0).P(";").F(0).P(";;}");
    w.N("Frame").N("Box").P("{").N("FrameTransformMatrix").P("{");
    for (int i = 0; i < 16; ++i) w.F(i % 5 == 0).P(i == 15 ? ";;" : ",");
    w.P("}").N("Mesh").N("Quad").P("{").I(4).P(";");
    for (int v = 0; v < 4; ++v) w.F(v == 1 || v == 2).P(";").F(v >= 2).P(";").F(0).P(v == 3 ? ";;" : ";,");
    w.I(2).P(";").I(4).P(";").I(0).P(",").I(1).P(",").I(2).P(",").I(3).P(";,");
    w.I(3).P(";").I(0).P(",").I(2).P(",").I(3).P(";;");
    w.N("MeshNormals").P("{").I(1).P(";").F(0).P(";").F(0).P(";").F(1).P(";;").I(1).P(";");
    w.I(3).P(";").I(0).P(",").I(0).P(",").I(0).P(";;}");
    w.N("MeshTextureCoords").P("{").I(4).P(";");
    for (int v = 0; v < 4; ++v) w.F(v & 1).P(";").F(v >> 1).P(v == 3 ? ";;" : ";,");
    w.P("}").N("MeshMaterialList").P("{").I(2).P(";").I(2).P(";").I(1).P(",").I(0).P(";;");
    w.N("Material").P("{").F(1).P(";").F(0).P(";").F(0).P(";").F(0.5).P(";;").F(8).P(";");
    w.F(0).P(";").F(0).P(";").F(0).P(";;").F(0).P(";").F(0).P(";").F(0).P(";;");
    w.N("TextureFilename").P("{").S("tex.bmp").P(";}}").P("{").N("Shared").P("}}}}");
    const auto text = xfiletest::EncodeText(w.tokens), binary = xfiletest::EncodeBinary(w.tokens);
    const std::pair<const char*, std::vector<uint8_t>> files[] = {{"txt", text},
                                                                  {"bin", binary},
                                                                  {"bin64", xfiletest::EncodeBinary(w.tokens, 64)},
                                                                  {"tzip", xfiletest::Compress(text, 200)},
                                                                  {"bzip", xfiletest::Compress(binary, 200)}};
    for (const auto& [name, bytes] : files)
        for (const char* target : {"xfile", "xfile_model"}) Seed(target, name, std::string(bytes.begin(), bytes.end()));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    root = argv[1];
    JpegSeeds();
    PictureFileSeeds();
    OtherPictureSeeds();
    SettingsSeeds();
    WaveSeeds();
    XFileSeeds();
    return 0;
}
