#pragma once
// What a platform writes for the DirectX component layer: the binding of the DirectX entry
// points (declared here; wdx/DirectXBinding.h includes this for its callers). The platform
// half (wdx/x11, wdx/win32) defines every function below, and a missing one fails the link of
// the program and of the tests (tests/wdx/WdxPlatformTest.cpp takes every address).
//
// The seam: the platform also gives the header that VELLUMINE_DIRECTX_API names
// (wdx/DirectXApi.h includes it), which declares DirectX 7's interface, structure and
// constant names: the system's own headers on Windows, the software DirectX's (softdx) on
// Linux. The layer is written against those names and compiles unchanged against either.
#include <tuple>

struct TDirectXBinding;

// The entry points currently bound: all null before LoadDirectXLibraries and after
// FreeDirectXLibraries.
const TDirectXBinding& DirectXBinding();

// Binds the entry points (on Windows: loads the libraries by name; on Linux: points at the
// software DirectX and installs its screen, input and sound devices). A second call while
// bound does nothing. True when DirectDraw's entry points are available.
bool LoadDirectXLibraries();

// Unbinds the entry points and frees whatever LoadDirectXLibraries loaded or installed.
void FreeDirectXLibraries();

// Every name above, for the link check; a new one goes here too.
inline constexpr std::tuple WdxPlatformEntries{&DirectXBinding, &LoadDirectXLibraries, &FreeDirectXLibraries};
