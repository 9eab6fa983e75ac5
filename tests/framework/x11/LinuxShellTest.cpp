// Opening an address with the desktop's opener, with stand-in openers on the search path.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "framework/Dialogs.h"
#include "support/TestSupport.h"

namespace {
// Puts a folder of the test's own alone on the search path while it lives.
class OnlyOnPath {
public:
    explicit OnlyOnPath(const std::string& folder)
    {
        const char* old = std::getenv("PATH");
        FOld = old ? old : "";
        setenv("PATH", folder.c_str(), 1);
    }
    ~OnlyOnPath() { setenv("PATH", FOld.c_str(), 1); }

private:
    std::string FOld;
};

void Opener(TempDir& dir, const std::string& script)
{
    const std::string path = dir.WriteFile("bin/xdg-open", "#!/bin/sh\n" + script + "\n").string();
    chmod(path.c_str(), 0755);
}

std::string Failure(const std::string& address)
{
    try {
        ShellOpen(address);
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}
}  // namespace

TEST(LinuxShell, FailuresOfTheOpenerAreReportedWithTheSystemsText)
{
    TempDir dir;
    dir.WriteFile("bin/.keep");
    {
        OnlyOnPath path(dir.Str() + "/bin");
        const std::string missing = Failure("file:///nowhere/README.md");
        EXPECT_NE(missing.find("No such file or directory"), std::string::npos) << missing;
        EXPECT_NE(missing.find("file:///nowhere/README.md"), std::string::npos) << missing;
    }
    Opener(dir, "exit 2");
    {
        OnlyOnPath path(dir.Str() + "/bin");
        const std::string refused = Failure("file:///gone.md");
        EXPECT_NE(refused.find("did not exist"), std::string::npos) << refused;
    }
    Opener(dir, "echo \"$1\" > '" + dir.Str() + "/opened'");
    {
        OnlyOnPath path(dir.Str() + "/bin:/bin:/usr/bin");
        EXPECT_EQ(Failure("file:///here/README.md"), "");
    }
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "opened"));
}
