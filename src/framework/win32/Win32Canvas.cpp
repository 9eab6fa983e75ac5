// Windows half of the canvas: GDI on the device context the canvas holds.
// Implements: FrameworkPlatform.h's CanvasPlatform: solid fills, pen lines, text with the canvas font
//   (transparent or on the brush colour), text extents, single pixels
// Leaves out: patterned brushes, dashed pens, clipping regions of its own
#include <windows.h>

#include "core/Numeric.h"
#include "framework/FrameworkPlatform.h"

namespace {
HDC Dc(TCanvasHandle handle) { return static_cast<HDC>(handle); }

// Selects a GDI object for the lifetime of the guard and deletes it afterwards.
class TSelected {
public:
    TSelected(HDC dc, HGDIOBJ object) : FDc(dc), FObject(object), FOld(object ? SelectObject(dc, object) : nullptr) {}
    ~TSelected()
    {
        if (!FObject) return;
        SelectObject(FDc, FOld);
        DeleteObject(FObject);
    }
    TSelected(const TSelected&) = delete;
    TSelected& operator=(const TSelected&) = delete;

private:
    HDC FDc;
    HGDIOBJ FObject;
    HGDIOBJ FOld;
};

HFONT MakeFont(HDC dc, const TFont& font)
{
    const int height = -Core::MulDiv(font.Size, GetDeviceCaps(dc, LOGPIXELSY), 72);
    return CreateFontA(height, 0, 0, 0, (font.Style & fsBold) ? FW_BOLD : FW_NORMAL, (font.Style & fsItalic) != 0,
                       (font.Style & fsUnderline) != 0, (font.Style & fsStrikeOut) != 0, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       font.Name.c_str());
}
}  // namespace

void CanvasPlatform::FillRect(TCanvasHandle dc, const TRect& rect, TColor color)
{
    const RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    HBRUSH brush = CreateSolidBrush(color);
    ::FillRect(Dc(dc), &r, brush);
    DeleteObject(brush);
}

void CanvasPlatform::Line(TCanvasHandle dc, TPoint from, TPoint to, const TPen& pen)
{
    TSelected selected(Dc(dc), CreatePen(PS_SOLID, pen.Width, pen.Color));
    MoveToEx(Dc(dc), from.X, from.Y, nullptr);
    ::LineTo(Dc(dc), to.X, to.Y);
}

void CanvasPlatform::Text(TCanvasHandle dc, int x, int y, const std::string& text, const TFont& font,
                          const TBrush& brush)
{
    TSelected selected(Dc(dc), MakeFont(Dc(dc), font));
    SetTextColor(Dc(dc), font.Color);
    if (brush.Style == bsClear) {
        SetBkMode(Dc(dc), TRANSPARENT);
    } else {
        SetBkMode(Dc(dc), OPAQUE);
        SetBkColor(Dc(dc), brush.Color);
    }
    TextOutA(Dc(dc), x, y, text.c_str(), static_cast<int>(text.size()));
}

TPoint CanvasPlatform::TextExtent(TCanvasHandle dc, const std::string& text, const TFont& font)
{
    TSelected selected(Dc(dc), MakeFont(Dc(dc), font));
    SIZE size{0, 0};
    GetTextExtentPoint32A(Dc(dc), text.c_str(), static_cast<int>(text.size()), &size);
    return {size.cx, size.cy};
}

void CanvasPlatform::SetPixel(TCanvasHandle dc, int x, int y, TColor color) { ::SetPixel(Dc(dc), x, y, color); }

TColor CanvasPlatform::GetPixel(TCanvasHandle dc, int x, int y) { return ::GetPixel(Dc(dc), x, y); }
