// A small program of the component layer's own: a square that the mouse and a joystick move
// over the screen, and a tone that plays on each press of the space bar or the stick's first
// button, until Escape.
// It shows the keyboard, mouse, joystick and sound buffer components working beside the
// device, as a form of another program would hold them.
//
//   InputSoundDemo [wave file]     (without one, a tone of its own is played, written into a
//                                  scratch folder of its own that goes when it ends)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "ExampleSupport.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/WinApi.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectInputDevice.h"
#include "wdx/WDirectSoundBuffer.h"
#include "wdx/WDirectX.h"

namespace {
// A 440 Hz tone of 0.3 s, 16-bit mono at 22050 samples a second, as a wave file in folder;
// empty when it cannot be written.
std::string WriteTone(const std::filesystem::path& folder)
{
    if (folder.empty()) return {};
    const uint32_t rate = 22050, count = rate * 3 / 10;
    auto le = [](std::string& out, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
    };
    std::string wave = "RIFF";
    le(wave, 36 + count * 2, 4);
    wave += "WAVEfmt ";
    le(wave, 16, 4);
    le(wave, 1, 2);
    le(wave, 1, 2);
    le(wave, rate, 4);
    le(wave, rate * 2, 4);
    le(wave, 2, 2);
    le(wave, 16, 2);
    wave += "data";
    le(wave, count * 2, 4);
    for (uint32_t i = 0; i < count; ++i)
        le(wave, static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 2 * 3.14159265 * 440 / rate))), 2);
    const std::filesystem::path path = folder / "InputSoundDemo-tone.wav";
    std::ofstream out(path, std::ios::binary);
    out << wave;
    out.close();
    return out ? Utf8(path) : std::string();
}

class TDemoForm : public TForm {
public:
    TDemoForm(TComponent* owner, const std::string& wave) : TForm(owner)
    {
        Device = new TWDirectX(this);
        Device->DisableDirectInput = false;
        Device->DisableDirectSound = false;
        Device->SetBacksurfaces(1);
        Device->OnIdle = TIdleEvent::Of<&TDemoForm::Idle>(this);
        Device->SetIdleEnabled(true);
        Keyboard = new TWDirectInputKeyboard(this);
        Application->OnMessage = TMessageEvent::Of<&TDemoForm::EndOnEscape>(this);
        Mouse = new TWDirectInputMouse(this);
        Joystick = new TWDirectInputJoystick(this);
        Sound = new TWDirectSoundBuffer(this);
        Sound->SimpleWave = wave;
        Device->Loaded();
        for (int i = 0; i < Device->VideoModeCount(); ++i) {
            const TVideoModeInfo mode = Device->GetVideoModeInfo(i);
            if (!mode.Windowed && mode.Width == 640 && mode.Height == 480 && mode.Bits == 32) Device->SetVideoMode(i);
        }
    }

    TWDirectX* Device;
    TWDirectInputKeyboard* Keyboard;
    TWDirectInputMouse* Mouse;
    TWDirectInputJoystick* Joystick;
    TWDirectSoundBuffer* Sound;

private:
    // Escape tapped between two reads of the keyboard's state never shows in it; its key
    // message waits in the queue.
    void EndOnEscape(TMsg& message, bool&)
    {
        if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) Close();
    }

    void Idle(TObject*, bool& done)
    {
        done = false;
        if (EndRequested()) {
            Close();
            return;
        }
        if (!Device->Active()) return;
        Keyboard->ReadState();
        if (Keyboard->State[DIK_ESCAPE]) {
            Close();
            return;
        }
        const bool space = Keyboard->State[DIK_SPACE] != 0;
        if (space && !FSpaceHeld) Sound->Single()->Play();
        FSpaceHeld = space;
        const int width = Device->OutputWidth(), height = Device->OutputHeight();
        // The mouse puts the square where it points (in the mode's pixels, as drawn); the
        // stick pushes it from wherever it is, so the two take turns without fighting.
        if (Mouse->ReadState() == DI_OK && (Mouse->State.lX != FMouseX || Mouse->State.lY != FMouseY)) {
            FMouseX = Mouse->State.lX;
            FMouseY = Mouse->State.lY;
            FX = FMouseX;
            FY = FMouseY;
        }
        bool fire = false;
        if (Joystick->Started() && Joystick->ReadState() == DI_OK) {
            FX += StickSpeed(Joystick->State.lX);
            FY += StickSpeed(Joystick->State.lY);
            fire = Joystick->State.rgbButtons[0] != 0;
        }
        if (fire && !FFireHeld) Sound->Single()->Play();
        FFireHeld = fire;
        FX = std::clamp(FX, 0, std::max(width - 40, 0));
        FY = std::clamp(FY, 0, std::max(height - 40, 0));
        TWDirectDrawBasicSurface* back = Device->Back1() ? Device->Back1() : Device->Primary();
        back->ColorFill(back->RGBToPixel(0, 0, 64));
        back->ColorFillRect(Rect(FX, FY, FX + 40, FY + 40), back->RGBToPixel(space || fire ? 255 : 250, 200, 40));
        Device->Flip();
    }

    // Pixels a frame for an axis of the stick's default range, 0 to 65535: nothing in the
    // middle tenth, where a worn stick rests, up to 8 at either end.
    static int StickSpeed(LONG axis)
    {
        const int fromMiddle = static_cast<int>(axis) - 32768;
        return std::abs(fromMiddle) < 3277 ? 0 : fromMiddle / 4096;
    }

    bool FSpaceHeld = false, FFireHeld = false;
    int FX = 0, FY = 0;
    LONG FMouseX = -1, FMouseY = -1;
};
}  // namespace

int main(int argc, char** argv)
{
    const TDirectXLibraries directX;
    if (!ScreenOrSay("InputSoundDemo")) return 1;
    // SIGTERM and Ctrl+C end the demo as Escape does, so that its scratch folder goes too:
    // from before the folder is made, or one that came in between would leave it behind.
    EndOnSignals();
    // Outlives the forms, whose sound buffer was loaded from it.
    std::optional<TScratchFolder> scratch;
    if (argc <= 1) scratch.emplace("InputSoundDemo");
    const std::string wave = argc > 1 ? argv[1] : WriteTone(scratch->Path());
    Application->Initialize();
    auto* form = new TDemoForm(Application, wave);
    form->Show();
    try {
        form->Device->StartAll();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "InputSoundDemo: %s\n", error.what());
        Application->FreeForms();
        return 1;
    }
    if (!form->Sound->Single()->Active())
        std::fprintf(stderr, "InputSoundDemo: no sound from %s\n",
                     wave.empty() ? "its tone, not written" : wave.c_str());
    Application->Run();
    Application->FreeForms();  // while DirectX is still bound
    return 0;
}
