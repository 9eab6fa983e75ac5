#include "framework/Canvas.h"

#include "framework/FrameworkPlatform.h"

TCanvas::TCanvas() = default;

TCanvas::~TCanvas() = default;

TCanvasHandle TCanvas::Handle()
{
    RequireHandle();
    return FHandle;
}

void TCanvas::SetHandle(TCanvasHandle handle) { FHandle = handle; }

bool TCanvas::RequireHandle()
{
    if (!FHandle) CreateHandle();
    return FHandle != nullptr;
}

void TCanvas::FillRect(const TRect& rect)
{
    if (Brush.Style == bsClear || !RequireHandle()) return;
    CanvasPlatform::FillRect(FHandle, rect, Brush.Color);
}

void TCanvas::Rectangle(const TRect& rect)
{
    if (!RequireHandle() || rect.IsEmpty()) return;
    if (Brush.Style != bsClear) CanvasPlatform::FillRect(FHandle, rect, Brush.Color);
    const int r = rect.Right - 1;
    const int b = rect.Bottom - 1;
    // Each side drawn one pixel past its corner, since lines leave out their last point.
    CanvasPlatform::Line(FHandle, {rect.Left, rect.Top}, {r + 1, rect.Top}, Pen);
    CanvasPlatform::Line(FHandle, {r, rect.Top}, {r, b + 1}, Pen);
    CanvasPlatform::Line(FHandle, {rect.Left, b}, {r + 1, b}, Pen);
    CanvasPlatform::Line(FHandle, {rect.Left, rect.Top}, {rect.Left, b + 1}, Pen);
}

void TCanvas::MoveTo(int x, int y) { FPenPos = {x, y}; }

void TCanvas::LineTo(int x, int y)
{
    if (RequireHandle()) CanvasPlatform::Line(FHandle, FPenPos, {x, y}, Pen);
    FPenPos = {x, y};
}

void TCanvas::TextOut(int x, int y, const std::string& text)
{
    if (RequireHandle()) CanvasPlatform::Text(FHandle, x, y, text, Font, Brush);
}

int TCanvas::TextWidth(const std::string& text)
{
    return RequireHandle() ? CanvasPlatform::TextExtent(FHandle, text, Font).X : 0;
}

int TCanvas::TextHeight(const std::string& text)
{
    return RequireHandle() ? CanvasPlatform::TextExtent(FHandle, text, Font).Y : 0;
}

void TCanvas::SetPixel(int x, int y, TColor color)
{
    if (RequireHandle()) CanvasPlatform::SetPixel(FHandle, x, y, color);
}

TColor TCanvas::GetPixel(int x, int y) { return RequireHandle() ? CanvasPlatform::GetPixel(FHandle, x, y) : 0; }
