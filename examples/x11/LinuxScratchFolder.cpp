// The Linux half of the examples' support:
//   MakePrivateFolder   mkdtemp under TMPDIR, else /tmp
#include <stdlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ExampleSupport.h"

std::filesystem::path MakePrivateFolder(const std::string& prefix)
{
    const char* temporary = std::getenv("TMPDIR");
    const std::string pattern = std::string(temporary && *temporary ? temporary : "/tmp") + "/" + prefix + "-XXXXXX";
    // mkdtemp makes the folder with mode 0700 under a name nobody holds, in one step.
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    return mkdtemp(name.data()) ? std::filesystem::path(name.data()) : std::filesystem::path();
}
