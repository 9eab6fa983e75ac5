#include "app/ProgramBlock.h"

#include <ostream>

#include "core/Text.h"
#include "framework/Application.h"

std::string FirstParam;
std::string SecondParam;

namespace {
bool SelectsLetter(const std::string& param, char letter)
{
    if (param.size() >= 2 && (param[0] == '/' || param[0] == '-') && param[1] == letter) return true;
    return !param.empty() && param[0] == letter;
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
    // The show, the preview and the settings dialog arrive with their own units.
    return {};
}

int RunProgramBlock(int argc, const char* const* argv, const TModeRunners& runners, std::ostream& err)
{
    FirstParam = UpperCaseAscii(argc > 1 ? argv[1] : "");
    SecondParam = UpperCaseAscii(argc > 2 ? argv[2] : "");
    Application->Title = "Vellumine";

    const TRunMode mode = RunModeOf(FirstParam);
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

    Application->Initialize();
    (*runner)();
    Application->Run();
    return 0;
}
