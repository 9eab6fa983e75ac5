#pragma once
// Linux helper of the X11 presenter, private to it and its tests: fitting frames to a window.
// Implements: nothing of the contract; X11FitKeepingProportions, X11ScaleFrame (X11PresenterScale.cpp)
// Leaves out: nothing
// The largest centred rectangle of the frame's proportions, filled by bilinear scaling, black
// around it. Pure pixel work, kept apart from Xlib so it can be tested alone.
#include <cstddef>
#include <cstdint>

#include "core/Rect.h"

TRectT<uint32_t> X11FitKeepingProportions(uint32_t frameWidth, uint32_t frameHeight, uint32_t targetWidth,
                                          uint32_t targetHeight);

// Writes a whole target of 0x00RRGGBB pixels: the frame scaled into its fitted rectangle,
// black elsewhere. A frame of the target's own size is copied unchanged.
void X11ScaleFrame(const uint32_t* pixels, uint32_t width, uint32_t height, size_t pitchBytes, uint32_t* target,
                   uint32_t targetWidth, uint32_t targetHeight, size_t targetPitchBytes);
