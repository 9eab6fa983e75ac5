#pragma once
// Reading back what the program drew, for the tests that run it on an X server.
#include <X11/Xlib.h>

#include <string>

#include "support/JpegMaker.h"

// The share of a window's pixels within a small distance of colour, every step-th pixel of
// every step-th row looked at.
double ColourShare(Display* display, Window window, TRgb colour, int step);

// A registry-file DWORD value: "dword:" and eight hexadecimal digits.
std::string Dword(int value);
