#pragma once
// The show's per-picture animation: which of the 29 zooms and pans a picture gets, how far
// it has gone, and the part of the picture each frame stretches over the screen. Pure state
// and arithmetic; the show form keeps one of these and drives it from its handlers.
//
// Choices of our own, where the picture or the settings fall outside the usual:
// - A picture wider than the screen's proportions (width x aspect > height) is cropped at
//   the sides. Its full view is a band of the screen's proportions, as wide as
//   round(height / aspect) (one pixel narrower if that band would reach below the
//   picture), centred across the picture's width (the odd pixel left over goes to the
//   right) and of the picture's full height. Every anchor is taken in that band, and the
//   focus point, drawn over the whole picture, is scaled into it, so every frame with a
//   progress from 0 to 1000 lies inside the picture. Other pictures have the whole
//   picture's width as their band: nothing changes for them.
// - A negative speed is taken as 1. Speed 0 never moves the animation.
// - A screen mode of no width gives the aspect 0, so every view is empty.
// The tick that ends a picture (progress just past 1000) still computes its rectangle; the
// zoom outs and pans overshoot their last view a little there.
#include <cstdint>

#include "framework/Graphics.h"

enum class TAnimationKind { ZoomIn, ZoomOut, Pan };

// Types 0 to 9 zoom in, 10 to 19 zoom out, 20 to 28 pan.
constexpr int AnimationTypeCount = 29;
TAnimationKind AnimationKindOf(uint8_t animation);
// The animation type a draw r (below 29) of the generator stands for.
uint8_t AnimationForDraw(uint32_t r);

class TShowAnimation {
public:
    static constexpr float LastProgress = 1000.0f;

    // The speed from the settings; negative speeds are taken as 1.
    void SetSpeed(int32_t speed);
    int32_t Speed() const { return FSpeed; }

    // The screen mode in use: the aspect is its height over its width, stored in 32 bits.
    void SetScreen(int32_t width, int32_t height);
    float Aspect() const { return FAspect; }

    // A new picture, before its size is known: progress 0 and a freshly drawn type.
    void BeginPicture();
    // The picture's size once it is loaded; draws the focus point (x, then y).
    void PlacePicture(int32_t width, int32_t height);
    // Both, as at every change of picture once the new one is loaded.
    void StartPicture(int32_t width, int32_t height);

    // One timer tick: advances the progress, recomputes the source rectangle and says
    // whether the picture is complete.
    bool Tick();
    bool Finished() const { return FProgress > LastProgress; }

    // Draws the type (one integer below 29) and sets it.
    void ChooseAnimation();
    // Sets the source rectangle from the type, the progress and the picture.
    void UpdateSourceRect();
    // The full view scaled by 1 - k about the anchor (band coordinates).
    TRect ZoomRect(TPoint anchor, float k) const;
    // A view of 0.7 the full view sliding from the side opposite the anchor to the anchor's.
    TRect PanRect(TPoint anchor) const;
    // The current type's anchor point in band coordinates.
    TPoint Anchor() const;

    // The part of the picture to stretch over the screen this frame.
    TRect SourceRect() const { return FSourceRect; }
    // The band the animation works in, in picture coordinates.
    TRect FullView() const { return Rect(FBandLeft, 0, FBandLeft + FBandWidth, FHeight); }
    float Progress() const { return FProgress; }
    uint8_t Animation() const { return FAnimation; }
    // In picture coordinates, as drawn.
    TPoint Focus() const { return FFocus; }
    int32_t PictureWidth() const { return FWidth; }
    int32_t PictureHeight() const { return FHeight; }

    // Direct setters, for replaying a known frame.
    void SetProgress(float progress) { FProgress = progress; }
    void SetAnimation(uint8_t animation) { FAnimation = animation; }
    void SetFocus(TPoint focus) { FFocus = focus; }
    void SetPictureSize(int32_t width, int32_t height);

private:
    TPoint BandFocus() const;

    int32_t FSpeed = 5;
    float FAspect = 0.0f;
    TPoint FFocus;
    uint8_t FAnimation = 0;
    TRect FSourceRect;
    float FProgress = 0.0f;
    int32_t FWidth = 0;
    int32_t FHeight = 0;
    int32_t FBandLeft = 0;
    int32_t FBandWidth = 0;
};
