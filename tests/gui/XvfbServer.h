#pragma once
// A virtual X server of the test's own, on a display number the server picks itself, and
// the programs a test starts against it. Both end with the object that owns them, and with
// the test program too should it die without running destructors.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class XvfbServer {
public:
    // Starts Xvfb with one 1024 x 768 x 24 screen and waits until it takes connections.
    // Throws std::runtime_error when it does not start.
    XvfbServer();
    // Stops the server and waits until it has gone.
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N", for XOpenDisplay and DISPLAY.
    const std::string& Name() const { return FName; }

private:
    pid_t FPid = -1;
    std::string FName;
};

// A program started with extra environment settings, its standard error kept in a file.
// One still running when the object goes is killed and waited for.
class ChildProcess {
public:
    // env holds "NAME=value" entries that replace or add to the test's own environment; an
    // entry "NAME=" with nothing after it removes NAME. An empty errFile leaves standard
    // error to the test's own; an empty folder, the current folder.
    ChildProcess(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& errFile,
                 const std::string& folder = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The exit status once the program ended within timeout; empty while it still runs.
    // -1 for a program killed by a signal.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout);
    bool Running() { return !WaitExit(std::chrono::milliseconds(0)).has_value(); }
    // Asks the program to end, as a screen-saver host does (SIGTERM).
    void Terminate();
    std::string Err() const;
    // For a look at the running program in /proc.
    pid_t Pid() const { return FPid; }

private:
    pid_t FPid = -1;
    std::optional<int> FStatus;
    std::string FErrFile;
};

// xdotool on the server with arguments split at spaces, as a user's input. Its exit status;
// -1 when it did not end within ten seconds.
int RunXdotool(const XvfbServer& server, const std::string& arguments);

// Presses a key every second, up to presses times, until the show ends: the show ignores its
// first 100 messages, so a key pressed too early is rightly lost. The exit status; none when
// the show did not end or xdotool failed.
std::optional<int> PressKeysUntilExit(const XvfbServer& server, ChildProcess& program, int presses = 10);
