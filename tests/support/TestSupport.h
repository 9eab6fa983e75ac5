#pragma once
// Helpers the unit tests share: temporary folders that clean up after themselves.
#include <filesystem>
#include <string>
#include <string_view>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    std::string Str() const { return FPath.string(); }
    // Creates a file (and its folders) below the temporary folder and returns its path.
    std::filesystem::path WriteFile(const std::string& relative, const std::string& content = "");

private:
    std::filesystem::path FPath;
};

// prefix + number + suffix. Built by appending: GCC 12 warns falsely (-Wrestrict) on
// "text" + std::to_string(n).
std::string Named(std::string_view prefix, size_t number, std::string_view suffix = {});
