// The texture format rules on their own: which enumerated format a request takes, with the
// fallback search, what a picture and the flags ask for, and the power-of-two side.
#include "wdx/TextureFormats.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/PixelFormats.h"

namespace {
// Formats that a request could mistake for its own come before the one it must take.
const std::vector<std::string> Names = {"bump",  "lum16", "fourcc", "4444", "P8", "565",
                                        "X1555", "1555",  "X8888",  "8888", "L8"};
std::vector<DDPIXELFORMAT> AllFormats()
{
    const DWORD rgb = DDPF_RGB, alpha = DDPF_RGB | DDPF_ALPHAPIXELS;
    return {
        MakeFormat(DDPF_BUMPDUDV, 16, 0xFF, 0xFF00, 0, 0),
        MakeFormat(DDPF_LUMINANCE | DDPF_ALPHAPIXELS, 16, 0xFF, 0, 0, 0xFF00),
        MakeFormat(DDPF_FOURCC | rgb, 16, 0xF800, 0x7E0, 0x1F, 0, 0x31545844),
        MakeFormat(alpha, 16, 0xF00, 0xF0, 0xF, 0xF000),
        MakeFormat(DDPF_PALETTEINDEXED8 | rgb, 8, 0, 0, 0, 0),
        MakeFormat(rgb, 16, 0xF800, 0x7E0, 0x1F, 0),
        MakeFormat(rgb, 16, 0x7C00, 0x3E0, 0x1F, 0),
        MakeFormat(alpha, 16, 0x7C00, 0x3E0, 0x1F, 0x8000),
        MakeFormat(rgb, 32, 0xFF0000, 0xFF00, 0xFF, 0),
        MakeFormat(alpha, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
        MakeFormat(DDPF_LUMINANCE, 8, 0xFF, 0, 0, 0),
    };
}

std::string Found(const std::vector<DDPIXELFORMAT>& formats, TTextureChoice& choice)
{
    const int at = FindTextureFormat(formats, choice);
    return at < 0 ? "none" : Names[static_cast<size_t>(at)];
}
}  // namespace

TEST(TextureFormats, EachRequestTakesTheFirstFormatThatServesIt)
{
    struct Case {
        TTextureChoice Asked;
        std::string Format;
        TTextureChoice Searched;  // the request as the successful search made it
    };
    const Case cases[] = {
        {{false, false, 16}, "565", {false, false, 16}},
        // Four-bit alpha is passed over even when it comes first.
        {{false, true, 16}, "1555", {false, true, 16}},
        {{false, false, 32}, "X8888", {false, false, 32}},
        {{false, true, 32}, "8888", {false, true, 32}},
        {{true, false, 8}, "P8", {true, false, 8}},
        {{true, true, 8}, "P8", {true, true, 8}},
        // No 24-bit format: the second search asks for 16 bits.
        {{false, false, 24}, "565", {false, false, 16}},
        {{false, true, 24}, "1555", {false, true, 16}},
        // A depth no format has, below 16 bits, and not palettized.
        {{false, false, 8}, "565", {false, false, 16}},
    };
    const std::vector<DDPIXELFORMAT> formats = AllFormats();
    for (const Case& c : cases) {
        TTextureChoice choice = c.Asked;
        SCOPED_TRACE(c.Format);
        EXPECT_EQ(Found(formats, choice), c.Format);
        EXPECT_EQ(choice.Palettized, c.Searched.Palettized);
        EXPECT_EQ(choice.Alpha, c.Searched.Alpha);
        EXPECT_EQ(choice.Depth, c.Searched.Depth);
    }
}

TEST(TextureFormats, LuminanceBumpFourCCAndFourBitAlphaAreNeverChosen)
{
    std::vector<DDPIXELFORMAT> formats = AllFormats();
    std::vector<DDPIXELFORMAT> unusable(formats.begin(), formats.begin() + 4);
    unusable.push_back(formats.back());
    for (bool palettized : {false, true})
        for (bool alpha : {false, true})
            for (int depth : {8, 16, 32}) {
                TTextureChoice choice{palettized, alpha, depth};
                EXPECT_EQ(FindTextureFormat(unusable, choice), -1) << palettized << alpha << depth;
            }
    // A palettized request without a palette format falls back to 16 bits of colour.
    formats.erase(formats.begin() + 4);
    TTextureChoice choice{true, false, 8};
    EXPECT_NE(FindTextureFormat(formats, choice), -1);
    EXPECT_FALSE(choice.Palettized);
    EXPECT_EQ(choice.Depth, 16);
}

TEST(TextureFormats, APictureAndTheFlagsMakeTheRequest)
{
    struct Case {
        const char* What;
        int FileBits;  // -1: a TGA picture, -2: no picture
        bool TgaAlpha;
        Td3dTextr Flags;
        DWORD Caps;
        TTextureChoice Expected;
    };
    const Case cases[] = {
        {"8-bit bitmap", 8, false, {}, 0, {true, false, 8}},
        {"4-bit bitmap", 4, false, {}, 0, {true, false, 4}},
        {"24-bit bitmap", 24, false, {}, 0, {false, false, 24}},
        {"16-bit flag", 24, false, d3d16BITSPERPIXEL, 0, {false, false, 16}},
        {"32 wins over 16", 24, false, {d3d16BITSPERPIXEL, d3d32BITSPERPIXEL}, 0, {false, false, 32}},
        {"alpha flag", 24, false, d3dCREATEWITHALPHA, 0, {false, true, 24}},
        {"transparent loses the palette", 8, false, d3dTRANSPARENTBLACK, 0, {false, true, 8}},
        {"alpha palettes keep it", 8, false, d3dTRANSPARENTWHITE, D3DPTEXTURECAPS_ALPHAPALETTE, {true, true, 8}},
        {"TGA with alpha", -1, true, {}, 0, {false, true, 32}},
        {"TGA without alpha", -1, false, {}, 0, {false, false, 32}},
        {"TGA at 16 bits", -1, false, d3d16BITSPERPIXEL, 0, {false, false, 16}},
        // Without a DirectDraw object to ask, the display counts as 32 bits.
        {"empty texture", -2, false, d3dCREATEWITHALPHA, 0, {false, true, 32}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TSurfacePicture picture;
        if (c.FileBits > 0) {
            picture.HaveBitmap = true;
            picture.Bitmap.FileBits = c.FileBits;
        } else if (c.FileBits == -1) {
            picture.HaveRaw = true;
            picture.Raw.HasAlpha = c.TgaAlpha;
        }
        const TTextureChoice made = ChooseTexture(picture, c.Flags, c.Caps, nullptr);
        EXPECT_EQ(made.Palettized, c.Expected.Palettized);
        EXPECT_EQ(made.Alpha, c.Expected.Alpha);
        EXPECT_EQ(made.Depth, c.Expected.Depth);
    }
}

TEST(TextureFormats, PowerOfTwoSidesRoundUpOnlyWhenTheDeviceAsks)
{
    const int sides[][2] = {{1, 1}, {2, 2}, {3, 4}, {100, 128}, {200, 256}, {256, 256}, {257, 512}};
    for (const auto& s : sides) {
        EXPECT_EQ(TextureSide(s[0], D3DPTEXTURECAPS_POW2), s[1]) << s[0];
        EXPECT_EQ(TextureSide(s[0], D3DPTEXTURECAPS_SQUAREONLY), s[0]) << s[0];
    }
}
