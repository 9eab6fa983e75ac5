#pragma once
// What each platform decodes beside JPEG: Debian's own libraries on Linux, the Windows
// Imaging Component on Windows.
#include <memory>

#include "core/PictureKinds.h"
#include "imaging/Picture.h"

// A decoder for a kind other than JPEG; nullptr where the platform has none for it.
std::unique_ptr<TPicture> MakePlatformPicture(TPictureKind kind);
