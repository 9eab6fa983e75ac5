#include "gui/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/TestSupport.h"

extern char** environ;

namespace {
using namespace std::chrono_literals;

// In a child just forked: the signal it gets when the test program ends, also by a crash or
// a kill at its time limit, so that nothing outlives it. Gives up when that already happened.
void EndWithParent(pid_t parent, int signal)
{
    prctl(PR_SET_PDEATHSIG, signal);
    if (getppid() != parent) _exit(127);
}
}  // namespace

XvfbServer::XvfbServer()
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
    const pid_t parent = getpid();
    FPid = fork();
    if (FPid < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        throw std::runtime_error("fork failed");
    }
    if (FPid == 0) {
        // SIGTERM lets the server remove its lock file and socket.
        EndWithParent(parent, SIGTERM);
        close(pipeFds[0]);
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, 1);
        dup2(devNull, 2);
        const std::string fd = std::to_string(pipeFds[1]);
        // -displayfd makes the server pick a free display and report it once it is ready.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string number;
    pollfd ready{pipeFds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&ready, 1, 100) <= 0) continue;
        char c;
        const ssize_t got = read(pipeFds[0], &c, 1);
        if (got <= 0 || c == '\n') break;
        number += c;
    }
    close(pipeFds[0]);
    if (number.empty()) {
        kill(FPid, SIGKILL);
        waitpid(FPid, nullptr, 0);
        throw std::runtime_error("Xvfb did not start (is it installed?)");
    }
    FName = ":" + number;
}

XvfbServer::~XvfbServer()
{
    if (FPid <= 0) return;
    kill(FPid, SIGTERM);
    const bool gone = WaitUntil([&] { return waitpid(FPid, nullptr, WNOHANG) == FPid; }, 5s);
    if (!gone) {
        kill(FPid, SIGKILL);
        waitpid(FPid, nullptr, 0);
    }
}

ChildProcess::ChildProcess(const std::vector<std::string>& args, const std::vector<std::string>& env,
                           const std::string& errFile, const std::string& folder)
    : FErrFile(errFile)
{
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string& mine : env) replaced = replaced || mine.rfind(name, 0) == 0;
        if (!replaced) environment.push_back(entry);
    }
    for (const std::string& mine : env)
        if (mine.back() != '=') environment.push_back(mine);

    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    const pid_t parent = getpid();
    FPid = fork();
    if (FPid < 0) throw std::runtime_error("fork failed");
    if (FPid == 0) {
        EndWithParent(parent, SIGKILL);
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, 0);
        dup2(devNull, 1);
        if (!errFile.empty()) dup2(open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
}

ChildProcess::~ChildProcess()
{
    if (FPid > 0 && !FStatus) {
        kill(FPid, SIGKILL);
        waitpid(FPid, nullptr, 0);
    }
}

std::optional<int> ChildProcess::WaitExit(std::chrono::milliseconds timeout)
{
    WaitUntil(
        [&] {
            int status = 0;
            if (!FStatus && waitpid(FPid, &status, WNOHANG) == FPid)
                FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return FStatus.has_value();
        },
        timeout);
    return FStatus;
}

void ChildProcess::Terminate()
{
    if (!FStatus) kill(FPid, SIGTERM);
}

std::string ChildProcess::Err() const
{
    if (FErrFile.empty()) return {};
    std::ifstream in(FErrFile);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int RunXdotool(const XvfbServer& server, const std::string& arguments)
{
    std::vector<std::string> command{"/usr/bin/xdotool"};
    std::istringstream words(arguments);
    for (std::string word; words >> word;) command.push_back(word);
    ChildProcess tool(command, {"DISPLAY=" + server.Name()}, "");
    return tool.WaitExit(10s).value_or(-1);
}

std::optional<int> PressKeysUntilExit(const XvfbServer& server, ChildProcess& program, int presses)
{
    std::optional<int> status;
    for (int press = 0; press < presses && !status; ++press) {
        if (RunXdotool(server, "key a") != 0) return std::nullopt;
        status = program.WaitExit(std::chrono::seconds(1));
    }
    return status;
}
