// The Linux binding of the DirectX entry points: the software DirectX's own functions, which
// are always present, so there is nothing to load or free. Binding also gives the software
// DirectX the screen it presents on, since it knows no screen of its own.
// Implements: DirectXBinding, LoadDirectXLibraries, FreeDirectXLibraries.
// Does not implement: DirectInput, DirectSound and the X-file reader, whose slots stay null
// until the software DirectX offers them.
#include "SoftDxControl.h"
#include "platform/x11/X11Presenter.h"
#include "wdx/DirectXBinding.h"

namespace {
TDirectXBinding Binding;
}  // namespace

const TDirectXBinding& DirectXBinding() { return Binding; }

bool LoadDirectXLibraries()
{
    if (Binding.DirectDrawCreateEx) return true;
    // Frames go to the X screen when there is one; without, they go nowhere (headless).
    X11Presenter::UseScreen();
    Binding.DirectDrawEnumerateExA = &::DirectDrawEnumerateExA;
    Binding.DirectDrawCreateEx = &::DirectDrawCreateEx;
    // The software surfaces keep their state to themselves; only making and releasing one
    // changes its DirectDraw object's list.
    Binding.SurfacesWorkOffThread = true;
    return true;
}

void FreeDirectXLibraries()
{
    if (!Binding.DirectDrawCreateEx) return;
    Binding = TDirectXBinding{};
    SoftDxSetPresenter(nullptr);  // closes the screen's connection
}
