#include "ExampleSupport.h"

#include <csignal>
#include <cstdio>
#include <system_error>

#include "framework/Forms.h"

TScratchFolder::TScratchFolder(const std::string& prefix) : FPath(MakePrivateFolder(prefix)) {}

TScratchFolder::~TScratchFolder()
{
    std::error_code error;
    if (!FPath.empty()) std::filesystem::remove_all(FPath, error);
}

std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

namespace {
volatile std::sig_atomic_t EndSignalled = 0;
void RequestEnd(int) { EndSignalled = 1; }
}  // namespace

void EndOnSignals()
{
    std::signal(SIGTERM, RequestEnd);
    std::signal(SIGINT, RequestEnd);
}

bool EndRequested() { return EndSignalled != 0; }

bool ScreenOrSay(const char* program)
{
    if (ScreenAvailable()) return true;
    // A window nobody can see would run, and wait for a key, for ever.
    std::fprintf(stderr, "%s: no screen to draw on (%s)\n", program, NoScreenReason().c_str());
    return false;
}
