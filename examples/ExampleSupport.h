#pragma once
// What both example programs need beside the component layer: a private folder for the files
// they make while they run, an end on SIGTERM and Ctrl+C that still runs their clean-up, and a
// word when there is no screen to draw on.
#include <filesystem>
#include <string>

// A folder of the program's own under the user's temporary folder (TMPDIR, else /tmp, on
// Linux), never the current folder, which may be anyone's, hold links or be read-only. Only
// the user can enter it (mode 0700 on Linux; the user's own temporary folder on Windows), so
// no one can put a link where the program writes. Removed with what it holds when the object
// goes.
class TScratchFolder {
public:
    explicit TScratchFolder(const std::string& prefix);
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    // Empty when no folder could be made.
    const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
};

// The platform's half of TScratchFolder: makes the folder, prefix followed by a name no other
// program has taken; empty when it cannot.
std::filesystem::path MakePrivateFolder(const std::string& prefix);

// The path as the components take it: UTF-8 on every platform (string() would give the
// Windows code page, which cannot hold every user's name).
std::string Utf8(const std::filesystem::path& path);

// From now on SIGTERM (a session's end, a kill) and SIGINT (Ctrl+C) only set EndRequested, so
// that the program ends as after a key and its destructors run.
void EndOnSignals();
bool EndRequested();

// True when a screen is there; else says so on standard error in one line, after program.
bool ScreenOrSay(const char* program);
