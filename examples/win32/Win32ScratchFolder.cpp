// The Windows half of the examples' support:
//   MakePrivateFolder   a new folder in the user's temporary folder, which is the user's own
//                       and whose access the new folder inherits
#include <random>
#include <string>
#include <system_error>

#include "ExampleSupport.h"

std::filesystem::path MakePrivateFolder(const std::string& prefix)
{
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) return {};
    std::random_device random;
    // A name no other program running now has taken: create_directory says whether it made it.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / (prefix + "-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate, error)) return candidate;
    }
    return {};
}
