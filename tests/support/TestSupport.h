#pragma once
// Helpers the tests share: temporary folders that clean up after themselves, and waits for
// what a test can observe, each with a deadline.
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

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

inline constexpr std::chrono::milliseconds PollInterval{5};

// Looks at condition every interval until it holds (true) or the deadline has passed
// (false), looking once more at the end. For something observable: a window shown, a
// pixel's colour, a file written, a process ended.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline,
               std::chrono::milliseconds interval = PollInterval);

// Reads a value every interval until accept takes it or the deadline has passed, and
// returns the last value read, so that the test's own assertion shows what was seen.
template <class Read, class Accept>
auto ReadUntil(Read read, Accept accept, std::chrono::milliseconds deadline,
               std::chrono::milliseconds interval = PollInterval)
{
    decltype(read()) value{};
    WaitUntil(
        [&] {
            value = read();
            return accept(std::as_const(value));
        },
        deadline, interval);
    return value;
}

// Looks at condition every interval for the whole of a fixed time: true when it held at
// every look. For what must not happen within a time, where nothing marks the end of the
// wait.
bool HoldsFor(const std::function<bool()>& condition, std::chrono::milliseconds duration,
              std::chrono::milliseconds interval = PollInterval);
