#include "ScreenPixels.h"

#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

double ColourShare(Display* display, Window window, TRgb colour, int step)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return 0.0;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image) return 0.0;
    size_t near = 0, all = 0;
    for (int y = 0; y < attributes.height; y += step)
        for (int x = 0; x < attributes.width; x += step) {
            const unsigned long p = XGetPixel(image, x, y);
            const int d = std::abs(static_cast<int>((p >> 16) & 0xFF) - colour.R) +
                          std::abs(static_cast<int>((p >> 8) & 0xFF) - colour.G) +
                          std::abs(static_cast<int>(p & 0xFF) - colour.B);
            near += d <= 60;
            ++all;
        }
    XDestroyImage(image);
    return all ? static_cast<double>(near) / static_cast<double>(all) : 0.0;
}

std::string Dword(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(value));
    return text;
}
