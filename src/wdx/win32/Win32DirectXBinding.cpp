// Windows half of the DirectX binding: the system's DirectX libraries, loaded by name so that a
// machine without one of them still runs the program.
// Implements: WdxPlatform.h's DirectXBinding, LoadDirectXLibraries, FreeDirectXLibraries
// Leaves out: version checks of the loaded libraries
#include "wdx/DirectXBinding.h"

namespace {

// Loaded in this order and freed in the reverse one. The retained-mode library is held only
// so that it stays loaded while the program runs; none of its functions is called.
enum TLibrary { libDDraw, libDInput, libDSound, libD3DXOF, libD3DRM, libCount };
constexpr const char* LibraryNames[libCount] = {"DDraw.dll", "DInput.dll", "DSound.dll", "D3DXOF.DLL", "D3DRM.dll"};

HMODULE Libraries[libCount] = {};
TDirectXBinding Binding;
bool Loaded = false;

// Null when the library or the function is missing.
TDirectXProc Find(TLibrary library, const char* name)
{
    if (!Libraries[library]) return nullptr;
    // The detour through the generic function type is the documented way to change a
    // function pointer's type without a cast warning.
    return reinterpret_cast<TDirectXProc>(GetProcAddress(Libraries[library], name));
}

}  // namespace

const TDirectXBinding& DirectXBinding() { return Binding; }

bool LoadDirectXLibraries()
{
    if (!Loaded) {
        for (int i = 0; i < libCount; ++i) Libraries[i] = LoadLibraryA(LibraryNames[i]);
        Binding.DirectDrawEnumerateExA =
            reinterpret_cast<LPDIRECTDRAWENUMERATEEXA>(Find(libDDraw, "DirectDrawEnumerateExA"));
        Binding.DirectDrawCreateEx =
            reinterpret_cast<decltype(Binding.DirectDrawCreateEx)>(Find(libDDraw, "DirectDrawCreateEx"));
        Binding.DirectInputCreateEx =
            reinterpret_cast<decltype(Binding.DirectInputCreateEx)>(Find(libDInput, "DirectInputCreateEx"));
        Binding.DirectSoundCreate =
            reinterpret_cast<decltype(Binding.DirectSoundCreate)>(Find(libDSound, "DirectSoundCreate"));
        Binding.Instance = GetModuleHandleA(nullptr);
        Binding.DirectXFileCreate = Find(libD3DXOF, "DirectXFileCreate");
        Loaded = true;
    }
    return Binding.DirectDrawEnumerateExA && Binding.DirectDrawCreateEx;
}

void FreeDirectXLibraries()
{
    Binding = TDirectXBinding{};
    for (int i = libCount - 1; i >= 0; --i) {
        if (Libraries[i]) FreeLibrary(Libraries[i]);
        Libraries[i] = nullptr;
    }
    Loaded = false;
}
