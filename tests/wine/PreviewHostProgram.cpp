// A screen-saver host for tests of the preview: a grey 152 x 112 preview box whose handle it
// gives to a program as "/p HANDLE". The box is a top-level window: in its virtual desktop
// Wine 8 shows nothing that another process draws into a child window (a plain FillRect
// through GetDC included), so a box inside a settings page cannot be watched under Wine. It
// tells the test on standard output, one line each:
//   box HANDLE LEFT TOP   the box's handle in decimal, its top-left on the screen
//   ended STATUS          the program's exit status, as soon as it has ended
//   gone                  the box has been destroyed
//   timeout               the program still ran 10 s after the box was destroyed; it is then ended
// A line "destroy" on standard input destroys the box. The host ends once the program has
// ended after the box was destroyed, or at the timeout.
// Usage: PreviewHostProgram PROGRAM
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {
constexpr int BoxWidth = 152, BoxHeight = 112;
constexpr UINT DestroyBoxMessage = WM_APP + 1;
constexpr DWORD EndTimeoutMilliseconds = 10000;

DWORD MainThread = 0;

void Tell(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Standard input is a pipe from the test; its lines reach the window thread as messages.
DWORD WINAPI ReadCommands(void*)
{
    char line[64];
    while (std::fgets(line, sizeof line, stdin))
        if (std::string(line).rfind("destroy", 0) == 0) PostThreadMessageA(MainThread, DestroyBoxMessage, 0, 0);
    return 0;
}

HWND MakeBox()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = CreateSolidBrush(RGB(128, 128, 128));
    windowClass.lpszClassName = "PreviewHostBox";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, windowClass.lpszClassName, "Preview host", WS_POPUP | WS_VISIBLE, 140, 130, BoxWidth,
                           BoxHeight, nullptr, nullptr, windowClass.hInstance, nullptr);
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: PreviewHostProgram PROGRAM\n");
        return 2;
    }
    MainThread = GetCurrentThreadId();
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue, before the reader posts

    HWND box = MakeBox();
    if (!box) {
        std::fprintf(stderr, "cannot create the box\n");
        return 1;
    }
    UpdateWindow(box);
    POINT origin{0, 0};
    ClientToScreen(box, &origin);

    std::string commandLine = "\"" + std::string(argv[1]) + "\" /p " +
                              std::to_string(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(box)));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "cannot start %s\n", argv[1]);
        return 1;
    }
    CloseHandle(process.hThread);
    Tell("box " + std::to_string(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(box))) + " " +
         std::to_string(origin.x) + " " + std::to_string(origin.y));
    CreateThread(nullptr, 0, ReadCommands, nullptr, 0, nullptr);

    bool ended = false, destroyed = false;
    DWORD destroyedAt = 0;
    while (!(ended && destroyed)) {
        DWORD wait = INFINITE;
        if (destroyed) {
            const DWORD spent = GetTickCount() - destroyedAt;
            if (spent >= EndTimeoutMilliseconds) {
                Tell("timeout");
                TerminateProcess(process.hProcess, 1);
                return 1;
            }
            wait = EndTimeoutMilliseconds - spent;
        }
        const DWORD handles = ended ? 0 : 1;
        const DWORD woken = MsgWaitForMultipleObjects(handles, &process.hProcess, FALSE, wait, QS_ALLINPUT);
        if (!ended && woken == WAIT_OBJECT_0) {
            DWORD status = 0;
            GetExitCodeProcess(process.hProcess, &status);
            Tell("ended " + std::to_string(status));
            ended = true;
        }
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == DestroyBoxMessage && !destroyed) {
                DestroyWindow(box);
                destroyed = true;
                destroyedAt = GetTickCount();
                Tell("gone");
                continue;
            }
            DispatchMessageA(&message);
        }
    }
    return 0;
}
