// The software canvas drawing into memory device contexts of several pixel formats.
#include <gtest/gtest.h>

#include <vector>

#include "SoftDxDeviceContext.h"
#include "framework/Canvas.h"

namespace {
struct MemoryContext {
    std::vector<uint8_t> Pixels;
    std::vector<uint8_t> Palette;
    SoftDxDeviceContext Dc;

    MemoryContext(uint32_t width, uint32_t height, uint32_t bits, uint32_t r, uint32_t g, uint32_t b)
    {
        Dc.Width = width;
        Dc.Height = height;
        Dc.BitCount = bits;
        Dc.Pitch = static_cast<long>(width * bits / 8 + 8);  // padded rows, as surfaces may have
        Dc.RedMask = r;
        Dc.GreenMask = g;
        Dc.BlueMask = b;
        Pixels.assign(static_cast<size_t>(Dc.Pitch) * height, 0);
        Dc.Bits = Pixels.data();
    }
    uint32_t Raw(int x, int y) const
    {
        const uint8_t* p = Pixels.data() + y * Dc.Pitch + x * static_cast<int>(Dc.BitCount / 8);
        uint32_t v = 0;
        for (uint32_t i = 0; i < Dc.BitCount / 8; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
        return v;
    }
};

MemoryContext Xrgb32(uint32_t w, uint32_t h) { return MemoryContext(w, h, 32, 0xFF0000, 0xFF00, 0xFF); }
}  // namespace

TEST(LinuxCanvas, FillsArePackedIntoEachFormatAndClipped)
{
    MemoryContext rgb565(8, 4, 16, 0xF800, 0x07E0, 0x001F);
    TCanvas canvas;
    canvas.SetHandle(&rgb565.Dc);
    canvas.Brush.Color = clRed;
    canvas.FillRect(Rect(-5, -5, 2, 2));
    EXPECT_EQ(rgb565.Raw(0, 0), 0xF800u);
    EXPECT_EQ(rgb565.Raw(1, 1), 0xF800u);
    EXPECT_EQ(rgb565.Raw(2, 1), 0u) << "right edge is exclusive";
    EXPECT_EQ(canvas.GetPixel(1, 1), clRed);

    MemoryContext bgr24(4, 2, 24, 0xFF, 0xFF00, 0xFF0000);
    canvas.SetHandle(&bgr24.Dc);
    canvas.Brush.Color = RGBColor(0x11, 0x22, 0x33);
    canvas.FillRect(Rect(0, 0, 100, 100));
    EXPECT_EQ(bgr24.Raw(3, 1), 0x332211u);
    EXPECT_EQ(bgr24.Pixels[3 * 4], 0u) << "row padding is never written";

    MemoryContext rgb555(2, 2, 16, 0x7C00, 0x03E0, 0x001F);
    canvas.SetHandle(&rgb555.Dc);
    canvas.SetPixel(1, 1, clWhite);
    EXPECT_EQ(rgb555.Raw(1, 1), 0x7FFFu);
    EXPECT_EQ(canvas.GetPixel(1, 1), clWhite) << "five bits of full intensity read back as 255";
    EXPECT_EQ(canvas.GetPixel(2, 0), 0xFFFFFFFFu) << "outside the context";
}

TEST(LinuxCanvas, PaletteContextsTakeTheNearestEntry)
{
    MemoryContext indexed(4, 1, 8, 0, 0, 0);
    indexed.Palette.assign(256 * 4, 0);
    indexed.Palette[7 * 4 + 0] = 250;  // entry 7 is nearly red
    indexed.Palette[9 * 4 + 2] = 255;  // entry 9 is blue
    indexed.Dc.Palette = indexed.Palette.data();
    TCanvas canvas;
    canvas.SetHandle(&indexed.Dc);
    canvas.SetPixel(0, 0, clRed);
    canvas.SetPixel(1, 0, clBlue);
    EXPECT_EQ(indexed.Raw(0, 0), 7u);
    EXPECT_EQ(indexed.Raw(1, 0), 9u);
    EXPECT_EQ(canvas.GetPixel(0, 0), RGBColor(250, 0, 0));
}

TEST(LinuxCanvas, LinesLeaveOutTheirLastPointAndRectanglesOutlineInside)
{
    MemoryContext memory = Xrgb32(10, 10);
    TCanvas canvas;
    canvas.SetHandle(&memory.Dc);
    canvas.Pen.Color = clLime;
    canvas.MoveTo(1, 1);
    canvas.LineTo(5, 1);
    EXPECT_EQ(memory.Raw(1, 1), 0x00FF00u);
    EXPECT_EQ(memory.Raw(4, 1), 0x00FF00u);
    EXPECT_EQ(memory.Raw(5, 1), 0u);
    canvas.LineTo(5, 5);  // continues from the pen position
    EXPECT_EQ(memory.Raw(5, 4), 0x00FF00u);

    MemoryContext box = Xrgb32(10, 10);
    canvas.SetHandle(&box.Dc);
    canvas.Brush.Color = clBlue;
    canvas.Rectangle(Rect(2, 2, 6, 6));
    EXPECT_EQ(box.Raw(2, 2), 0x00FF00u);
    EXPECT_EQ(box.Raw(5, 5), 0x00FF00u) << "outline on the last pixel inside";
    EXPECT_EQ(box.Raw(3, 3), 0x0000FFu) << "brush inside";
    EXPECT_EQ(box.Raw(6, 6), 0u);
}

TEST(LinuxCanvas, TextIsDrawnInTheFontColourWithinItsExtent)
{
    MemoryContext memory = Xrgb32(200, 40);
    TCanvas canvas;
    canvas.SetHandle(&memory.Dc);
    canvas.Font.Size = 12;
    canvas.Font.Color = clWhite;
    canvas.Brush.Style = bsClear;
    const int width = canvas.TextWidth("Vellumine");
    const int height = canvas.TextHeight("Vellumine");
    ASSERT_GT(width, 40) << "the font must load";
    EXPECT_GT(canvas.TextWidth("Vellumine, twice as long"), width);
    EXPECT_GE(height, 14);

    canvas.TextOut(10, 5, "Vellumine");
    int lit = 0, outside = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x) {
            if (memory.Raw(x, y) == 0) continue;
            const bool inExtent = x >= 10 && x < 10 + width + 2 && y >= 5 && y < 5 + height;
            (inExtent ? lit : outside) += 1;
        }
    EXPECT_GT(lit, 50);
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(memory.Raw(1, 1), 0u) << "a clear brush leaves the background";

    canvas.Brush.Style = bsSolid;
    canvas.Brush.Color = clRed;
    canvas.TextOut(10, 5, "V");
    EXPECT_EQ(memory.Raw(10, 5), 0xFF0000u) << "a solid brush fills behind the text";
}

TEST(LinuxCanvas, CreateHandleIsAskedOnlyWhenNeeded)
{
    struct LazyCanvas : TCanvas {
        MemoryContext Memory = Xrgb32(4, 4);
        int Created = 0;
        void CreateHandle() override
        {
            ++Created;
            SetHandle(&Memory.Dc);
        }
    } canvas;
    EXPECT_FALSE(canvas.HandleAllocated());
    canvas.Brush.Color = clWhite;
    canvas.FillRect(Rect(0, 0, 1, 1));
    canvas.FillRect(Rect(1, 1, 2, 2));
    EXPECT_EQ(canvas.Created, 1);
    EXPECT_EQ(canvas.Memory.Raw(1, 1), 0xFFFFFFu);

    struct NoContext : TCanvas {
    } bare;
    bare.FillRect(Rect(0, 0, 5, 5));  // no context to draw into: nothing happens
    EXPECT_EQ(bare.TextWidth("x"), 0);
}
