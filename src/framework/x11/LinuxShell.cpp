// Linux half of opening a document: the desktop's xdg-open.
// Implements: FrameworkPlatform.h's ShellOpen
// Leaves out: the MIME association itself, which is the desktop's
// xdg-open is started without waiting for the program it opens. A start that fails, or an
// xdg-open that gives up at once, is reported with the system's text or xdg-open's own meaning
// of its exit status.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/Exception.h"
#include "framework/Dialogs.h"

extern char** environ;

namespace {
// Openers still running when their caller went on; reaped on later calls.
std::vector<pid_t>& Pending()
{
    static std::vector<pid_t> pending;
    return pending;
}

void ReapFinished()
{
    auto& pending = Pending();
    for (size_t i = 0; i < pending.size();) {
        int status;
        if (waitpid(pending[i], &status, WNOHANG) != 0)
            pending.erase(pending.begin() + static_cast<ptrdiff_t>(i));
        else
            ++i;
    }
}

std::string OpenerFailure(int code)
{
    switch (code) {
    case 1: return "error in the command line syntax";
    case 2: return "one of the files passed on the command line did not exist";
    case 3: return "a required tool could not be found";
    case 4: return "the action failed";
    default: return "exit status " + std::to_string(code);
    }
}
}  // namespace

void ShellOpen(const std::string& address)
{
    ReapFinished();
    std::string program = "xdg-open";
    std::vector<char*> argv{program.data(), const_cast<char*>(address.c_str()), nullptr};
    pid_t pid;
    const int error = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) throw Exception("Cannot open " + address + "\nxdg-open: " + std::strerror(error));
    // xdg-open hands the address on and ends within moments; a browser it runs itself may
    // stay, and is left to run.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < until) {
        int status;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
                throw Exception("Cannot open " + address + "\nxdg-open: " + OpenerFailure(WEXITSTATUS(status)));
            return;
        }
        if (done < 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Pending().push_back(pid);
}
