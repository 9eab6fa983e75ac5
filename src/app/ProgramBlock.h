#pragma once
// The program block: reads the command line, sets the title, picks the run mode and runs it.
#include <functional>
#include <iosfwd>
#include <string>

enum class TRunMode { None = 0, Preview = 1, Show = 2, Settings = 3 };

// The first two command-line arguments, upper-cased, kept for the rest of the run.
extern std::string FirstParam;
extern std::string SecondParam;

// The mode an upper-cased first argument selects: "/X", "-X" or a leading bare "X", tested
// in the order A, P, S, C; no argument at all opens the settings.
TRunMode RunModeOf(const std::string& firstParamUpper);

// What starts each mode; a mode left empty is not part of this build.
struct TModeRunners {
    std::function<void()> Preview;
    std::function<void()> Show;
    std::function<void()> Settings;
};

// The modes this build has.
TModeRunners BuildModeRunners();

// Runs the whole program block and returns the process's exit status. A mode that is not
// part of this build says so on err and returns 2 without opening a window.
int RunProgramBlock(int argc, const char* const* argv, const TModeRunners& runners, std::ostream& err);
