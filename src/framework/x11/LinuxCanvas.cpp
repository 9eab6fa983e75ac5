// Linux half of the canvas: software drawing into a software DirectX device context.
// Implements: FrameworkPlatform.h's CanvasPlatform: solid fills, pen lines (Bresenham, square pens),
//   anti-aliased text through FreeType with the DejaVu Sans faces (regular, bold, oblique)
//   whatever font name is asked for, underline and strike-out, text extents, single pixels
// Leaves out: patterned brushes, dashed pens, font names other than the default
// Every pixel format a surface can have is drawn (8-bit palette-indexed, masked
// 8/16/24/32-bit), and everything is clipped to the context.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "SoftDxDeviceContext.h"
#include "framework/FrameworkPlatform.h"

namespace {
SoftDxDeviceContext& Dc(TCanvasHandle handle) { return *static_cast<SoftDxDeviceContext*>(handle); }

struct TChannel {
    int Shift = 0;
    int Bits = 0;
};

TChannel ChannelOf(uint32_t mask)
{
    TChannel channel;
    if (!mask) return channel;
    while (!(mask & 1)) {
        mask >>= 1;
        ++channel.Shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++channel.Bits;
    }
    return channel;
}

uint32_t PackChannel(uint8_t value, TChannel channel)
{
    if (channel.Bits == 0) return 0;
    const uint32_t scaled = channel.Bits >= 8 ? static_cast<uint32_t>(value) << (channel.Bits - 8)
                                              : static_cast<uint32_t>(value) >> (8 - channel.Bits);
    return scaled << channel.Shift;
}

uint8_t UnpackChannel(uint32_t pixel, TChannel channel)
{
    if (channel.Bits == 0) return 0;
    const uint32_t raw = (pixel >> channel.Shift) & ((1u << channel.Bits) - 1);
    if (channel.Bits >= 8) return static_cast<uint8_t>(raw >> (channel.Bits - 8));
    // Scale the few bits to the whole byte, so full intensity reads back as 255.
    const uint32_t max = (1u << channel.Bits) - 1;
    return static_cast<uint8_t>((raw * 255 + max / 2) / max);
}

bool Indexed(const SoftDxDeviceContext& dc) { return dc.BitCount == 8 && dc.Palette && !dc.RedMask; }

uint32_t NearestIndex(const SoftDxDeviceContext& dc, TColor color)
{
    uint32_t best = 0;
    long bestDistance = -1;
    for (uint32_t i = 0; i < 256; ++i) {
        const uint8_t* e = dc.Palette + i * 4;
        const long dr = long(e[0]) - RedOf(color), dg = long(e[1]) - GreenOf(color), db = long(e[2]) - BlueOf(color);
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

uint32_t PixelOf(const SoftDxDeviceContext& dc, TColor color)
{
    if (Indexed(dc)) return NearestIndex(dc, color);
    return PackChannel(RedOf(color), ChannelOf(dc.RedMask)) | PackChannel(GreenOf(color), ChannelOf(dc.GreenMask)) |
           PackChannel(BlueOf(color), ChannelOf(dc.BlueMask));
}

TColor ColorOf(const SoftDxDeviceContext& dc, uint32_t pixel)
{
    if (Indexed(dc)) {
        const uint8_t* e = dc.Palette + (pixel & 0xFF) * 4;
        return RGBColor(e[0], e[1], e[2]);
    }
    return RGBColor(UnpackChannel(pixel, ChannelOf(dc.RedMask)), UnpackChannel(pixel, ChannelOf(dc.GreenMask)),
                    UnpackChannel(pixel, ChannelOf(dc.BlueMask)));
}

uint8_t* Address(const SoftDxDeviceContext& dc, int x, int y)
{
    return static_cast<uint8_t*>(dc.Bits) + static_cast<long>(y) * dc.Pitch + static_cast<long>(x) * (dc.BitCount / 8);
}

bool Inside(const SoftDxDeviceContext& dc, int x, int y)
{
    return dc.Bits && x >= 0 && y >= 0 && static_cast<uint32_t>(x) < dc.Width && static_cast<uint32_t>(y) < dc.Height;
}

void Store(const SoftDxDeviceContext& dc, int x, int y, uint32_t pixel)
{
    uint8_t* p = Address(dc, x, y);
    switch (dc.BitCount) {
    case 8: p[0] = static_cast<uint8_t>(pixel); break;
    case 16: {
        const uint16_t v = static_cast<uint16_t>(pixel);
        std::memcpy(p, &v, 2);
        break;
    }
    case 24:
        p[0] = static_cast<uint8_t>(pixel);
        p[1] = static_cast<uint8_t>(pixel >> 8);
        p[2] = static_cast<uint8_t>(pixel >> 16);
        break;
    case 32: std::memcpy(p, &pixel, 4); break;
    default: break;
    }
}

uint32_t Load(const SoftDxDeviceContext& dc, int x, int y)
{
    const uint8_t* p = Address(dc, x, y);
    switch (dc.BitCount) {
    case 8: return p[0];
    case 16: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    case 24: return p[0] | p[1] << 8 | static_cast<uint32_t>(p[2]) << 16;
    case 32: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    default: return 0;
    }
}

void FillClipped(const SoftDxDeviceContext& dc, TRect rect, uint32_t pixel)
{
    rect.Left = std::max(rect.Left, 0);
    rect.Top = std::max(rect.Top, 0);
    rect.Right = std::min<int32_t>(rect.Right, static_cast<int32_t>(dc.Width));
    rect.Bottom = std::min<int32_t>(rect.Bottom, static_cast<int32_t>(dc.Height));
    if (!dc.Bits || rect.IsEmpty()) return;
    for (int y = rect.Top; y < rect.Bottom; ++y)
        for (int x = rect.Left; x < rect.Right; ++x) Store(dc, x, y, pixel);
}

// Mixes color over the pixel at (x, y) by coverage 0..255.
void Blend(const SoftDxDeviceContext& dc, int x, int y, TColor color, unsigned coverage)
{
    if (!Inside(dc, x, y) || coverage == 0) return;
    if (coverage >= 255) {
        Store(dc, x, y, PixelOf(dc, color));
        return;
    }
    const TColor under = ColorOf(dc, Load(dc, x, y));
    auto mix = [coverage](unsigned over, unsigned back) {
        return static_cast<uint8_t>((over * coverage + back * (255 - coverage) + 127) / 255);
    };
    Store(dc, x, y,
          PixelOf(dc, RGBColor(mix(RedOf(color), RedOf(under)), mix(GreenOf(color), GreenOf(under)),
                               mix(BlueOf(color), BlueOf(under)))));
}

// The FreeType library and the four faces, loaded once for the process.
class TFontFaces {
public:
    static TFontFaces& Instance()
    {
        static TFontFaces faces;
        return faces;
    }

    // The face for the style at the font's pixel size, or null when no font could be loaded.
    FT_Face Face(const TFont& font)
    {
        const int index = ((font.Style & fsBold) ? 1 : 0) + ((font.Style & fsItalic) ? 2 : 0);
        FT_Face face = FFaces[index] ? FFaces[index] : FFaces[0];
        if (!face) return nullptr;
        // Points at 96 pixels an inch.
        const int pixels = std::max(1, (std::abs(font.Size) * 96 + 36) / 72);
        FT_Set_Pixel_Sizes(face, 0, pixels);
        return face;
    }

private:
    TFontFaces()
    {
        static const char* const files[4] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                                             "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                                             "/usr/share/fonts/truetype/dejavu/DejaVuSans-Oblique.ttf",
                                             "/usr/share/fonts/truetype/dejavu/DejaVuSans-BoldOblique.ttf"};
        if (FT_Init_FreeType(&FLibrary) != 0) {
            FLibrary = nullptr;
            std::cerr << "vellumine: the font engine could not start; canvas text is not drawn\n";
            return;
        }
        for (int i = 0; i < 4; ++i)
            if (FT_New_Face(FLibrary, files[i], 0, &FFaces[i]) != 0) FFaces[i] = nullptr;
        if (!FFaces[0]) std::cerr << "vellumine: font " << files[0] << " is missing; canvas text is not drawn\n";
    }
    ~TFontFaces()
    {
        for (FT_Face face : FFaces)
            if (face) FT_Done_Face(face);
        if (FLibrary) FT_Done_FreeType(FLibrary);
    }

    FT_Library FLibrary = nullptr;
    std::array<FT_Face, 4> FFaces{};
};

// Code points of UTF-8 text; a malformed byte stands for itself, as in Latin-1.
template <typename Visit>
void ForEachCodePoint(const std::string& text, Visit visit)
{
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        uint32_t cp = length == 1 ? c : length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
        bool valid = length > 0 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid) {
            cp = c;
            length = 1;
        }
        visit(cp);
        i += length;
    }
}

struct TTextMetrics {
    int Width = 0;
    int Ascent = 0;
    int Height = 0;
};

TTextMetrics Measure(FT_Face face, const std::string& text)
{
    TTextMetrics metrics;
    metrics.Ascent = static_cast<int>(face->size->metrics.ascender >> 6);
    metrics.Height = static_cast<int>((face->size->metrics.ascender - face->size->metrics.descender) >> 6);
    long advance = 0;
    ForEachCodePoint(text, [&](uint32_t cp) {
        if (FT_Load_Char(face, cp, FT_LOAD_DEFAULT) == 0) advance += face->glyph->advance.x;
    });
    metrics.Width = static_cast<int>((advance + 32) >> 6);
    return metrics;
}
}  // namespace

void CanvasPlatform::FillRect(TCanvasHandle dc, const TRect& rect, TColor color)
{
    FillClipped(Dc(dc), rect, PixelOf(Dc(dc), color));
}

void CanvasPlatform::Line(TCanvasHandle dc, TPoint from, TPoint to, const TPen& pen)
{
    const SoftDxDeviceContext& context = Dc(dc);
    const uint32_t pixel = PixelOf(context, pen.Color);
    const int width = std::max(1, pen.Width);
    const int dx = std::abs(to.X - from.X), sx = from.X < to.X ? 1 : -1;
    const int dy = -std::abs(to.Y - from.Y), sy = from.Y < to.Y ? 1 : -1;
    int error = dx + dy;
    int x = from.X, y = from.Y;
    while (x != to.X || y != to.Y) {
        const int half = (width - 1) / 2;
        FillClipped(context, {x - half, y - half, x - half + width, y - half + width}, pixel);
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += sx;
        }
        if (twice <= dx) {
            error += dx;
            y += sy;
        }
    }
}

void CanvasPlatform::Text(TCanvasHandle dc, int x, int y, const std::string& text, const TFont& font,
                          const TBrush& brush)
{
    const SoftDxDeviceContext& context = Dc(dc);
    FT_Face face = TFontFaces::Instance().Face(font);
    if (!face) return;
    const TTextMetrics metrics = Measure(face, text);
    if (brush.Style != bsClear)
        FillClipped(context, {x, y, x + metrics.Width, y + metrics.Height}, PixelOf(context, brush.Color));

    long penX = static_cast<long>(x) << 6;
    const int baseline = y + metrics.Ascent;
    ForEachCodePoint(text, [&](uint32_t cp) {
        if (FT_Load_Char(face, cp, FT_LOAD_RENDER) != 0) return;
        const FT_GlyphSlot glyph = face->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        const int left = static_cast<int>((penX + 32) >> 6) + glyph->bitmap_left;
        const int top = baseline - glyph->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const unsigned char* coverage = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
            for (unsigned column = 0; column < bitmap.width; ++column)
                Blend(context, left + static_cast<int>(column), top + static_cast<int>(row), font.Color,
                      coverage[column]);
        }
        penX += glyph->advance.x;
    });

    const uint32_t pixel = PixelOf(context, font.Color);
    const int thickness = std::max(1, metrics.Height / 14);
    if (font.Style & fsUnderline)
        FillClipped(context, {x, baseline + 1, x + metrics.Width, baseline + 1 + thickness}, pixel);
    if (font.Style & fsStrikeOut) {
        const int middle = baseline - metrics.Ascent / 3;
        FillClipped(context, {x, middle, x + metrics.Width, middle + thickness}, pixel);
    }
}

TPoint CanvasPlatform::TextExtent(TCanvasHandle, const std::string& text, const TFont& font)
{
    FT_Face face = TFontFaces::Instance().Face(font);
    if (!face) return {};
    const TTextMetrics metrics = Measure(face, text);
    return {metrics.Width, metrics.Height};
}

void CanvasPlatform::SetPixel(TCanvasHandle dc, int x, int y, TColor color)
{
    if (Inside(Dc(dc), x, y)) Store(Dc(dc), x, y, PixelOf(Dc(dc), color));
}

TColor CanvasPlatform::GetPixel(TCanvasHandle dc, int x, int y)
{
    // Outside the context there is no colour; GDI answers CLR_INVALID.
    if (!Inside(Dc(dc), x, y)) return 0xFFFFFFFF;
    return ColorOf(Dc(dc), Load(Dc(dc), x, y));
}
