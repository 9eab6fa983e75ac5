// The built program itself, started as a host would start it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace {
struct ProgramRun {
    int Status = -1;
    std::string Err;
};

ProgramRun RunProgram(const std::string& args, const TempDir& home)
{
    const std::string command = "env HOME='" + home.Str() + "' XDG_CONFIG_HOME='" + home.Str() +
                                "/config' DISPLAY= '" VELLUMINE_PROGRAM "' " + args + " 2>&1 >/dev/null";
    ProgramRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 256> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe)) run.Err += buffer.data();
    const int status = pclose(pipe);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
}  // namespace

TEST(LinuxProgram, WithoutADisplayEachModeSaysSoInOneLineAndWritesNothing)
{
    TempDir home;
    // The settings dialog (also with no argument), the preview and the show are all part
    // of the build; without a display each says so in one line and draws nothing.
    const std::string dialogLine = "vellumine: no screen for the settings dialog (no X display: is DISPLAY set?)\n";
    const struct {
        const char* args;
        std::string line;
    } modes[] = {
        {"/c:99", dialogLine},
        {"", dialogLine},
        {"-P 1234", "vellumine: no X display to draw the preview on: DISPLAY is not set\n"},
        {"/s", "vellumine: no screen to show the pictures on (no X display: is DISPLAY set?)\n"},
    };
    for (const auto& mode : modes) {
        const ProgramRun run = RunProgram(mode.args, home);
        EXPECT_EQ(run.Status, 1) << mode.args;
        EXPECT_EQ(run.Err, mode.line) << mode.args;
    }
    EXPECT_TRUE(std::filesystem::is_empty(home.Path())) << "nothing may be written";

    for (const char* args : {"/a", "-x"}) {
        const ProgramRun run = RunProgram(args, home);
        EXPECT_EQ(run.Status, 0) << args;
        EXPECT_EQ(run.Err, "") << args;
    }
}
