// Linux half of the DirectX binding: the software DirectX's own functions, X-file reader included,
// which are always present, so there is nothing to load or free.
// Implements: WdxPlatform.h's DirectXBinding, LoadDirectXLibraries, FreeDirectXLibraries
// Leaves out: nothing
// Binding also gives the software DirectX the devices it works with, since it knows none of
// its own: the screen it presents on, the X server's keyboard and pointer, and SDL's joysticks
// and sound output.
#include "SoftDxBltFine.h"
#include "SoftDxControl.h"
#include "SoftDxDevices.h"
#include "wdx/DirectXBinding.h"
#include "wdx/x11/LinuxSdlDevices.h"
#include "wdx/x11/X11Input.h"
#include "wdx/x11/X11Presenter.h"

namespace {
TDirectXBinding Binding;

HRESULT BltSubPixel(IDirectDrawSurface7* destination, const RECT* destinationRect, IDirectDrawSurface7* source,
                    const TSubPixelRect& sourceRect)
{
    return SoftDxBltFine(destination, destinationRect, source,
                         SoftDxFineRect{sourceRect.Left, sourceRect.Top, sourceRect.Right, sourceRect.Bottom});
}

// Emulated modes are scaled to their window by the presenter, keeping proportions.
bool FrameShownSize(HWND window, int width, int height, int& shownWidth, int& shownHeight)
{
    const auto presenter = SoftDxGetPresenter();
    if (!presenter || width <= 0 || height <= 0) return false;
    const auto placed = presenter->Placement(window, SoftDxSize{uint32_t(width), uint32_t(height)});
    if (!placed) return false;
    shownWidth = int(placed->Frame.right - placed->Frame.left);
    shownHeight = int(placed->Frame.bottom - placed->Frame.top);
    return shownWidth > 0 && shownHeight > 0;
}
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
    Binding.BltSubPixel = &BltSubPixel;
    Binding.FrameShownSize = &FrameShownSize;
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
