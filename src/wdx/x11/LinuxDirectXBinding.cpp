// The Linux binding of the DirectX entry points: the software DirectX's own functions, which
// are always present, so there is nothing to load or free. Binding also gives the software
// DirectX the devices it works with, since it knows none of its own: the screen it presents
// on, the X server's keyboard and pointer, and SDL's joysticks and sound output.
// Implements: DirectXBinding, LoadDirectXLibraries, FreeDirectXLibraries.
// Does not implement: the X-file reader, whose slot stays null until the software DirectX
// offers it.
#include "SoftDxControl.h"
#include "SoftDxDevices.h"
#include "wdx/DirectXBinding.h"
#include "wdx/x11/LinuxSdlDevices.h"
#include "wdx/x11/X11Input.h"
#include "wdx/x11/X11Presenter.h"

namespace {
TDirectXBinding Binding;
}  // namespace

const TDirectXBinding& DirectXBinding() { return Binding; }

bool LoadDirectXLibraries()
{
    if (Binding.DirectDrawCreateEx) return true;
    // Frames go to the X screen when there is one; without, they go nowhere (headless), and
    // the keyboard and pointer are the headless ones, which nothing presses.
    X11Presenter::UseScreen();
    if (auto input = X11Input::Open()) SoftDxSetInput(std::move(input));
    SoftDxSetJoysticks(std::make_shared<SdlJoysticks>());
    SoftDxSetSoundOutput(std::make_shared<SdlSoundOutput>());
    Binding.DirectDrawEnumerateExA = &::DirectDrawEnumerateExA;
    Binding.DirectDrawCreateEx = &::DirectDrawCreateEx;
    Binding.DirectInputCreateEx = &::DirectInputCreateEx;
    Binding.DirectSoundCreate = &::DirectSoundCreate;
    Binding.DirectXFileCreate = reinterpret_cast<TDirectXProc>(&::DirectXFileCreate);
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
    SoftDxSetInput(nullptr);
    SoftDxSetJoysticks(nullptr);
    SoftDxSetSoundOutput(nullptr);
}
