#include "app/ProgramBlock.h"

#include <csignal>
#include <iostream>
#include <optional>

#include "core/Text.h"
#include "dialog/CfgUnit.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "preview/Preview.h"
#include "show/ScreenUnit.h"
#include "show/ShowHost.h"
#include "wdx/WDirectX.h"

std::string FirstParam;
std::string SecondParam;

namespace {
// The host window the command line named, for the show runner.
std::optional<TShowHost> RequestedHost;

// Thrown by a mode that ends the whole program where it stands, before the message loop,
// with the exit status it carries. Unwinding releases everything on the way out.
struct TProgramEnd {
    int Status;
};

bool SelectsLetter(const std::string& param, char letter)
{
    if (param.size() >= 2 && (param[0] == '/' || param[0] == '-') && param[1] == letter) return true;
    return !param.empty() && param[0] == letter;
}

extern "C" void RequestShowEnd(int)
{
    ShowEndRequested = 1;
    MessageQueue::WakeFromSignal();
}

const char* ModeName(TRunMode mode)
{
    switch (mode) {
    case TRunMode::Preview: return "the preview (/p)";
    case TRunMode::Show: return "the full-screen show (/s)";
    case TRunMode::Settings: return "the settings dialog (/c)";
    case TRunMode::None: break;
    }
    return "this mode";
}
}  // namespace

TRunMode RunModeOf(const std::string& firstParamUpper)
{
    if (firstParamUpper.empty()) return TRunMode::Settings;
    if (SelectsLetter(firstParamUpper, 'A')) return TRunMode::None;
    if (SelectsLetter(firstParamUpper, 'P')) return TRunMode::Preview;
    if (SelectsLetter(firstParamUpper, 'S')) return TRunMode::Show;
    if (SelectsLetter(firstParamUpper, 'C')) return TRunMode::Settings;
    return TRunMode::None;
}

TModeRunners BuildModeRunners()
{
    TModeRunners runners;
    // The preview never enters the message loop: it ends the program once its window goes.
    runners.Preview = [] { throw TProgramEnd{PreviewMode(SecondParam, std::cerr)}; };
    runners.Show = [] {
        // Without a screen the show could never be seen, nor ended by the user.
        if (!ScreenAvailable()) {
            std::cerr << "vellumine: no screen to show the pictures on (" << NoScreenReason() << ")\n";
            throw TProgramEnd{1};
        }
        TShowOptions options;
        if (RequestedHost) {
            if (!UseShowHostWindow(*RequestedHost, std::cerr)) throw TProgramEnd{1};
            options.InHostWindow = true;
        }
        // Hosts end their show with SIGTERM, and so do a session's end and a user's kill: the
        // handler wakes the loop, the form closes at the next message and the program leaves
        // its loop as after a key press.
        std::signal(SIGTERM, RequestShowEnd);
        auto* form = new TScrnFrm(Application, options);
        form->WDirectX->StartAll();
    };
    runners.Settings = [] {
        // A dialog nobody could see would wait for ever.
        if (!ScreenAvailable()) {
            std::cerr << "vellumine: no screen for the settings dialog (" << NoScreenReason() << ")\n";
            throw TProgramEnd{1};
        }
        // The dialog is the main form: closing it ends the loop and the program.
        auto* dialog = new TCfgFrm(Application);
        dialog->Show();
        dialog->SetEnabled(true);
    };
    return runners;
}

int RunProgramBlock(int argc, const char* const* argv, const TModeRunners& runners, std::ostream& err)
{
    FirstParam = UpperCaseAscii(argc > 1 ? argv[1] : "");
    SecondParam = UpperCaseAscii(argc > 2 ? argv[2] : "");
    Application->Title = "Vellumine";

    TRunMode mode = RunModeOf(FirstParam);
    RequestedHost.reset();
    // The screen-saver hosts' forms run the show in their window.
    bool badHost = false;
    RequestedHost = ShowHostOf(argc > 1 ? argv[1] : "", argc > 2 ? argv[2] : "", err, badHost);
    if (badHost) return 2;
    if (RequestedHost) mode = TRunMode::Show;
    const std::function<void()>* runner = nullptr;
    switch (mode) {
    case TRunMode::Preview: runner = &runners.Preview; break;
    case TRunMode::Show: runner = &runners.Show; break;
    case TRunMode::Settings: runner = &runners.Settings; break;
    case TRunMode::None: return 0;
    }
    if (!*runner) {
        err << "vellumine: " << ModeName(mode) << " is not available in this build\n";
        return 2;
    }

    try {
        Application->Initialize();
        (*runner)();
        Application->Run();
    } catch (const TProgramEnd& end) {
        return end.Status;
    }
    return 0;
}
