// Linux half of the DirectX binding: the software DirectX's own functions, X-file reader included,
// which are always present, so there is nothing to load or free.
// Implements: WdxPlatform.h's DirectXBinding, LoadDirectXLibraries, FreeDirectXLibraries
// Leaves out: nothing
// Binding also gives the software DirectX the devices it works with, since it knows none of
// its own: the screen it presents on, the X server's keyboard and pointer, and SDL's joysticks
// and sound output.
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
    // the keyboard and pointer are the headless ones, which nothing presses. The keyboard's
    // and pointer's connection waits for the first device: most runs make none.
    if (X11Presenter::UseScreen()) SoftDxSetInput(X11Input::Make());
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
