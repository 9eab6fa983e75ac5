#pragma once
// What a platform writes for the preview: a TPreviewHost (preview/PreviewHost.h), its window,
// canvas and events, made by the factory below. Declared here (preview/PreviewHost.h
// includes this for its callers); the platform half (preview/x11, preview/win32) defines the
// class, which stays private to it, and the factory; a missing factory fails the link of the
// program and of the tests (tests/preview/PreviewPlatformTest.cpp takes every address), a
// member left out fails the compilation of the factory.
#include <memory>
#include <tuple>

class TPreviewHost;

// The host of the window system this program was built for.
std::unique_ptr<TPreviewHost> CreatePlatformPreviewHost();

// Every name above, for the link check; a new one goes here too.
inline constexpr std::tuple PreviewPlatformEntries{&CreatePlatformPreviewHost};
