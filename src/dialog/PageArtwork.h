#pragma once
// The pictures behind the dialog's two pages, drawn by code: the About page's title card
// and the Settings page's quiet background.
#include "framework/Bitmap.h"

inline constexpr int PagePictureWidth = 486;
inline constexpr int PagePictureHeight = 226;

// Dark at the top right, where the version stands in white, and light around the link at
// 262, 88 to 419, 101, where it stands in blue.
TBitmap MakeAboutPicture(int width, int height);
// Light and calm where the controls sit (the left and the top), a little ornament at the
// bottom right.
TBitmap MakeSettingsPicture(int width, int height);
