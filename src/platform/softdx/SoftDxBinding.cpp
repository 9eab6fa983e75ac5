// The Linux binding of the DirectX entry points: the software DirectX's own functions, which
// are always present, so there is nothing to load or free.
// Implements: DirectXBinding, LoadDirectXLibraries, FreeDirectXLibraries.
// Does not implement: DirectInput, DirectSound and the X-file reader, whose slots stay null
// until the software DirectX offers them.
#include "wdx/DirectXBinding.h"

namespace {
TDirectXBinding Binding;
}  // namespace

const TDirectXBinding& DirectXBinding() { return Binding; }

bool LoadDirectXLibraries()
{
    Binding.DirectDrawEnumerateExA = &::DirectDrawEnumerateExA;
    Binding.DirectDrawCreateEx = &::DirectDrawCreateEx;
    return true;
}

void FreeDirectXLibraries() { Binding = TDirectXBinding{}; }
