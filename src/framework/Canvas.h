#pragma once
// A drawing surface with a font, a brush and a pen, drawing through a device context. The
// context is opaque here: a GDI device context on Windows, a software DirectX context on
// Linux. A canvas without a context asks CreateHandle for one before its first drawing call.
#include <cstdint>
#include <memory>
#include <string>

#include "framework/Graphics.h"

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
enum TBrushStyle { bsSolid, bsClear };

struct TFont {
    std::string Name = "Tahoma";
    int Size = 8;  // points, at 96 pixels an inch
    TColor Color = clBlack;
    uint8_t Style = 0;  // TFontStyle bits
};

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
};

struct TPen {
    TColor Color = clBlack;
    int Width = 1;
};

using TCanvasHandle = void*;

class TCanvas {
public:
    TCanvas();
    virtual ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TFont Font;
    TBrush Brush;
    TPen Pen;

    // The device context, obtained through CreateHandle when none is held.
    TCanvasHandle Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    // Attaches a device context owned by someone else (nothing to detach it).
    void SetHandle(TCanvasHandle handle);

    void FillRect(const TRect& rect);   // with the brush
    void Rectangle(const TRect& rect);  // pen outline, brush inside
    void MoveTo(int x, int y);
    void LineTo(int x, int y);                            // with the pen, last point excluded
    void TextOut(int x, int y, const std::string& text);  // brush behind unless bsClear
    int TextWidth(const std::string& text);
    int TextHeight(const std::string& text);
    void SetPixel(int x, int y, TColor color);
    TColor GetPixel(int x, int y);

protected:
    // Obtains a device context and attaches it with SetHandle; the base has none to offer.
    virtual void CreateHandle() {}

private:
    bool RequireHandle();

    TCanvasHandle FHandle = nullptr;
    TPoint FPenPos;
};

// The platform draws: CanvasPlatform in framework/FrameworkPlatform.h.
