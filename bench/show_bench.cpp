// The whole show, as a user runs it: `vellumine /s` for 20 seconds on a virtual X server of
// its own at 1920 x 1080, in a 1920 x 1080 x 32 mode at the fastest animation speed, over a
// folder of 6000 x 4000 photograph-like JPEGs (24 MP), one of 8000 x 6000 ones (48 MP) and one
// holding a 16320 x 12240 one (200 MP); for the emulated figures a 1280 x 720 mode and speed 5
// too. The figures:
// - show-cpu: the processor time the program and the X server took together, per second of
//   show (presenting costs the server too, so both count); each process's time is read from
//   /proc before and after. show-cpu-speed5: the same at speed 5, where frames repeat (the
//   mean of two shows).
// - show-fps: frames that reached the screen per second, counted by the X server itself: the
//   bench watches the root window's damage, and each whole-screen update is one frame.
// - change-worst-gap-ms: from the show's own trace (VELLUMINE_SHOW_TRACE), the longest gap
//   between two frames around any picture change, for each size of photograph: a change must
//   cost a frame at most.
// - show-peak-mb: the program's peak resident memory for each size of photograph: pictures are
//   stored at what the screen can show, so the figure should not grow with the photograph.
//   The same shows on a 1280 x 720 screen are reported beside them. show-peak-mb-heic: the
//   same over a folder of 12 MP HEIC pictures (4032 x 3024, as a phone writes them), with every
//   picture format on; HEIF pictures are decoded whole, so its target is the others' plus what
//   the decoder must hold for one whole picture: its own planes (1.5 bytes a pixel at 4:2:0)
//   and the 3-byte RGB picture they are converted to.
// - show-cpu-emulated: show-cpu for a show in the 1280 x 720 mode, shown scaled to the
//   1920 x 1080 screen, as a ratio to show-cpu measured in the same run.
// - show-cpu-emulated-speed5: the same at speed 5, a slow zoom, against the native mode at
//   that speed in the same run: the frames' cost without the picture changes' decodes.
// - show-cpu-default-mode: a new user's mode, 800 x 600 x 16, shown scaled to the screen at
//   speed 5, as a ratio to the native mode at that speed in the same run: a 16-bit mode should
//   cost what the screen's own does.
// - change-vs-djpeg and change-vs-djpeg-48mp: the picture change's work (decoding a 24 MP, or
//   48 MP, JPEG and storing it in an image surface of the display device within the box the
//   show asks for, as the show does at each change) in this process, in processor time,
//   against `djpeg -bmp` decoding the same file.
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "SoftDxControl.h"
#include "framework/Forms.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectDrawSurface.h"
#include "wdx/WDirectX.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double CpuTarget = 0.20;
constexpr double SlowCpuTarget = 0.10;
constexpr double FpsTarget = 50;
constexpr double ChangeTarget = 0.75;
constexpr double Change48Target = 0.45;
constexpr double GapTarget = 25;
constexpr double PeakTarget = 150;
constexpr double EmulatedRatioTarget = 1.1;
constexpr double EmulatedSlowCpuTarget = 0.15;
constexpr double EmulatedSlowRatioTarget = 1.5;
constexpr double DefaultModeRatioTarget = 1.1;
constexpr int ChangeRounds = 5;
constexpr int SlowSpeed = 5;
constexpr int ShowSeconds = 20;

// The photographs of one folder: JPEGs, or HEIC pictures encoded from them.
struct PictureSet {
    const char* Name;
    int Count, Width, Height;
    bool Heic = false;
};
constexpr PictureSet Sets[] = {{"24mp", 3, 6000, 4000}, {"48mp", 3, 8000, 6000}, {"200mp", 1, 16320, 12240}};
constexpr PictureSet HeicSet{"heic", 3, 4032, 3024, true};

// Light falling across the frame, larger shapes, finer texture and sensor grain, varied by
// seed so that each picture differs: flat colour would decode unrealistically fast.
void WritePhotoLikePpm(const fs::path& path, int width, int height, int seed)
{
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << ' ' << height << "\n255\n";
    const double sx = 1.0 / width, sy = 1.0 / height, phase = seed * 1.3;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = x * sx, v = y * sy;
            const double light = 0.55 + 0.3 * std::sin(u * 3.1 + v * 1.7 + phase) * std::cos(v * 2.3 - u * 0.7);
            const double shapes =
                0.12 * std::sin(u * 37.0 + std::sin(v * 23.0 + phase) * 2.0) * std::cos(v * 29.0 - u * 11.0);
            const double texture = 0.05 * std::sin(x * 0.9 + std::sin(y * 0.37) * 3.0) * std::sin(y * 0.71 + x * 0.13);
            const uint32_t h =
                Hash(static_cast<uint32_t>(y) * 0x9E3779B1U + static_cast<uint32_t>(x) + seed * 0x85EBCA6BU);
            const double value = light + shapes + texture + ((h & 0xFF) - 127.5) / 127.5 * 0.025;
            const double tints[3] = {1.05, 0.92, 0.75 + 0.2 * v};
            for (int c = 0; c < 3; ++c) {
                const double level = value * tints[c] + (((h >> (8 + 5 * c)) & 0x1F) - 15.5) / 15.5 * 0.01;
                row[static_cast<size_t>(x) * 3 + c] = static_cast<uint8_t>(std::clamp(level * 255.0, 0.0, 255.0));
            }
        }
        out.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size()));
    }
}

// Starts a program; standard input, output and error as given (-1 leaves them alone).
pid_t Spawn(std::vector<std::string> arguments, const std::vector<std::string>& extraEnv, int outFd)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& extra : extraEnv) replaced |= extra.substr(0, extra.find('=')) == name;
        if (!replaced) envStrings.push_back(entry);
    }
    envStrings.insert(envStrings.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (std::string& entry : envStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, 3);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// User plus system processor seconds of a live process; negative when it cannot be read.
double ProcessCpu(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold spaces; the fields after it are plain numbers.
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double utime = -1, stime = -1;
    // After the name: state is field 3, utime 14, stime 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14) utime = std::stod(field);
        if (index == 15) stime = std::stod(field);
    }
    if (utime < 0 || stime < 0) return -1;
    return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void Stop(pid_t pid)
{
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Counts whole-screen updates on the display while the show runs, for the given time.
class FrameCounter {
public:
    explicit FrameCounter(const std::string& display)
    {
        FDisplay = XOpenDisplay(display.c_str());
        if (!FDisplay) return;
        int error = 0;
        if (!XDamageQueryExtension(FDisplay, &FEventBase, &error)) return;
        const int screen = DefaultScreen(FDisplay);
        FScreenArea = uint64_t(DisplayWidth(FDisplay, screen)) * uint64_t(DisplayHeight(FDisplay, screen));
        // Raw rectangles: one report per drawing, none merged away.
        FDamage = XDamageCreate(FDisplay, DefaultRootWindow(FDisplay), XDamageReportRawRectangles);
        XSync(FDisplay, False);
    }
    ~FrameCounter() { Close(); }
    // Before the X server goes: Xlib ends the process on a connection the server dropped.
    void Close()
    {
        if (FDamage) XDamageDestroy(FDisplay, FDamage);
        if (FDisplay) XCloseDisplay(FDisplay);
        FDamage = 0;
        FDisplay = nullptr;
    }
    bool Ready() const { return FDamage != 0; }

    // Frames seen until the moment given; reports of one drawing in pieces add up.
    void CountUntil(Clock::time_point end)
    {
        const int fd = ConnectionNumber(FDisplay);
        while (Clock::now() < end) {
            while (XPending(FDisplay)) {
                XEvent event;
                XNextEvent(FDisplay, &event);
                if (event.type != FEventBase + XDamageNotify) continue;
                const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
                FArea += uint64_t(damage.area.width) * uint64_t(damage.area.height);
                // A frame covers the screen; once the area adds up to it, it is one frame.
                while (FArea >= FScreenArea) {
                    ++FFrames;
                    FArea -= FScreenArea;
                }
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, static_cast<int>(std::clamp<long long>(left, 0, 100)));
        }
    }
    uint64_t Frames() const { return FFrames; }

private:
    ::Display* FDisplay = nullptr;
    int FEventBase = 0;
    Damage FDamage = 0;
    uint64_t FScreenArea = 1;
    uint64_t FArea = 0;
    uint64_t FFrames = 0;
};

double ProcessCpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Processor seconds of one djpeg run over the file, or negative on failure.
double DjpegSeconds(const fs::path& jpeg)
{
    const pid_t pid = Spawn({"djpeg", "-bmp", "-outfile", "/dev/null", jpeg.string()}, {}, -1);
    if (pid < 0) return -1;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return ProcessorSeconds(usage);
}

// The show's picture change in this process: a display device in the show's 1920 x 1080 x 32
// mode (on the software DirectDraw without a screen), and its image surface loading the
// picture, timed against djpeg round by round. Negative when the load did not work.
double ChangeRatio(const fs::path& jpeg, int width, int height)
{
    if (!LoadDirectXLibraries()) return -1;
    SoftDxSetPresenter(std::make_shared<SoftDxHeadlessPresenter>(SoftDxSize{1920, 1080}));
    double ratio = -1;
    {
        TForm form(nullptr);
        auto* device = new TWDirectX(&form);
        device->Loaded();
        for (int i = 0; i < device->VideoModeCount(); ++i) {
            const TVideoModeInfo mode = device->GetVideoModeInfo(i);
            if (!mode.Windowed && mode.Width == 1920 && mode.Height == 1080 && mode.Bits == 32) device->SetVideoMode(i);
        }
        device->SetBacksurfaces(1);
        device->StartAll();
        auto* surface = new TWDirectDrawSurface(&form);
        surface->Image = jpeg.string();
        surface->UseFile = true;
        surface->SurfaceDimension = sdFromFile;
        // What the show asks for in this mode: twice its size.
        surface->StoreWithin = {2 * 1920, 2 * 1080};
        std::vector<double> ours, theirs;
        TPoint stored;
        bool loaded = device->Active();
        for (int round = 0; round < ChangeRounds && loaded; ++round) {
            const double before = ProcessCpuNow();
            surface->Start(device);
            ours.push_back(ProcessCpuNow() - before);
            loaded = surface->Active() && surface->Width == width && surface->Height == height;
            if (loaded) stored = {surface->DDBS()->Width, surface->DDBS()->Height};
            surface->Stop();
            theirs.push_back(DjpegSeconds(jpeg));
            loaded &= theirs.back() > 0;
        }
        if (loaded) {
            std::printf(
                "picture change (decode of %d x %d, stored in a surface of %d x %d): %.1f ms, djpeg -bmp %.1f ms "
                "(processor time, medians of %d)\n",
                width, height, stored.X, stored.Y, Median(ours) * 1e3, Median(theirs) * 1e3, ChangeRounds);
            ratio = Median(ours) / Median(theirs);
        }
        device->StopAll();
    }
    FreeDirectXLibraries();
    SoftDxSetPresenter(nullptr);
    return ratio;
}

// The figures of one run of the show.
struct ShowRun {
    bool Ran = false;
    double Cpu = 0;          // program and X server, processor seconds per second
    double Fps = -1;         // negative when the X server gives no damage reports
    double PeakMb = 0;       // the program's peak resident memory
    double WorstGapMs = -1;  // the longest gap between frames around a picture change
    double MedianGapMs = 0;  // between any two frames
    int Changes = 0;
};

// The settings file of a show over folder in the mode and at the animation speed given.
void WriteSettings(const fs::path& folder, const fs::path& pictures, int width, int height, int bits, int speed,
                   bool allFormats)
{
    char line[160];
    std::ofstream out(folder / "config" / "vellumine" / "registry.reg");
    out << "Windows Registry Editor Version 5.00\n\n"
        << "[HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine]\n"
        << "\"ImagesPath\"=\"" << pictures.string() << "\"\n";
    std::snprintf(line, sizeof line,
                  "\"Res_Width\"=dword:%08x\n\"Res_Height\"=dword:%08x\n\"Res_Bits\"=dword:%08x\n"
                  "\"Animate_Speed\"=dword:%08x\n",
                  width, height, bits, speed);
    out << line;
    if (allFormats) out << "\"AllPictureFormats\"=dword:00000001\n";
}

// The program's peak resident memory in MB, from /proc; negative when it cannot be read.
double PeakResidentMb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (in >> key) {
        if (key == "VmHWM:") {
            double kb = -1;
            in >> kb;
            return kb * 1024 / 1e6;
        }
        in.ignore(1 << 12, '\n');
    }
    return -1;
}

// Reads the show's trace: for every picture change, the gaps between the frames drawn just
// before and just after it (two on each side), as the user sees them: from one flip's end
// to the next's.
void ReadTrace(const fs::path& trace, ShowRun& run)
{
    std::ifstream in(trace);
    std::string line;
    std::vector<double> ends;           // microseconds
    std::vector<size_t> changesBefore;  // frames drawn before each change
    bool firstPicture = true;
    while (std::getline(in, line)) {
        if (line.rfind("picture ", 0) == 0) {
            if (!firstPicture) changesBefore.push_back(ends.size());
            firstPicture = false;
            continue;
        }
        const size_t drawn = line.find(" drawn ");
        if (line.rfind("frame ", 0) != 0 || drawn == std::string::npos) continue;
        const size_t dash = line.find('-', drawn);
        if (dash == std::string::npos) continue;
        ends.push_back(std::stod(line.substr(dash + 1)));
    }
    std::vector<double> gaps;
    for (size_t i = 1; i < ends.size(); ++i) gaps.push_back((ends[i] - ends[i - 1]) / 1e3);
    run.MedianGapMs = Median(gaps);
    run.Changes = 0;
    run.WorstGapMs = -1;
    for (const size_t before : changesBefore) {
        // Frames before-2 .. before+2, and the gaps between them.
        if (before < 3 || before + 3 > ends.size()) continue;
        ++run.Changes;
        for (size_t i = before - 2; i < before + 3; ++i)
            run.WorstGapMs = std::max(run.WorstGapMs, (ends[i] - ends[i - 1]) / 1e3);
    }
}

// Runs the show for ShowSeconds on an X server of its own with the screen given, in the mode
// and at the speed given.
ShowRun RunShow(const fs::path& program, const fs::path& folder, const fs::path& pictures, int width, int height,
                int speed, int bits = 32, const std::string& screen = "1920x1080", bool allFormats = false)
{
    ShowRun run;
    WriteSettings(folder, pictures, width, height, bits, speed, allFormats);
    const fs::path trace = folder / "trace.txt";
    fs::remove(trace);
    // The X server picks a free display number and writes it to the pipe.
    int displayPipe[2];
    if (pipe2(displayPipe, O_CLOEXEC) != 0) return run;
    const pid_t xvfb =
        Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", screen + "x24", "-nolisten", "tcp"}, {}, displayPipe[1]);
    close(displayPipe[1]);
    std::string number;
    char c;
    while (read(displayPipe[0], &c, 1) == 1 && c != '\n') number += c;
    close(displayPipe[0]);
    if (xvfb < 0 || number.empty()) {
        Stop(xvfb);
        return run;
    }
    pid_t show = -1;
    {
        FrameCounter counter(":" + number);
        const double xvfbBefore = ProcessCpu(xvfb);
        const Clock::time_point start = Clock::now();
        show = Spawn({program.string(), "/s"},
                     {"DISPLAY=:" + number, "XDG_CONFIG_HOME=" + (folder / "config").string(),
                      "VELLUMINE_SHOW_TRACE=" + trace.string()},
                     -1);
        if (counter.Ready())
            counter.CountUntil(start + std::chrono::seconds(ShowSeconds));
        else
            std::this_thread::sleep_for(std::chrono::seconds(ShowSeconds));
        // Read all before anything ends, so the figures cover the same stretch.
        const double showCpu = ProcessCpu(show), xvfbCpu = ProcessCpu(xvfb) - xvfbBefore;
        run.PeakMb = PeakResidentMb(show);
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        // A show that ended early has no /proc entry left to read, or is a zombie.
        run.Ran = show > 0 && waitpid(show, nullptr, WNOHANG) == 0 && showCpu >= 0 && xvfbBefore >= 0;
        if (run.Ran) {
            run.Cpu = (showCpu + xvfbCpu) / elapsed;
            std::printf("%dx%dx%d at speed %d over %.1f s: program %.2f s, X server %.2f s of processor time\n", width,
                        height, bits, speed, elapsed, showCpu, xvfbCpu);
            // Counted over the same stretch, start-up included.
            if (counter.Ready()) run.Fps = double(counter.Frames()) / elapsed;
        }
        counter.Close();
    }
    // The show writes its trace as it closes.
    Stop(show);
    Stop(xvfb);
    if (run.Ran) ReadTrace(trace, run);
    return run;
}

}  // namespace

// Runs a program to its end; whether it succeeded.
bool RunToEnd(const std::vector<std::string>& arguments)
{
    const pid_t pid = Spawn(arguments, {}, -1);
    int status = 0;
    return pid >= 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Makes the photographs of a set in pictures / set name; false when an encoder failed.
bool MakePictures(const fs::path& folder, const fs::path& pictures, const PictureSet& set)
{
    fs::create_directories(pictures);
    bool made = true;
    for (int i = 0; i < set.Count && made; ++i) {
        const fs::path ppm = folder / "photo.ppm";
        WritePhotoLikePpm(ppm, set.Width, set.Height, i);
        const fs::path jpeg = (set.Heic ? folder : pictures) / ("photo-" + std::to_string(i) + ".jpg");
        made = RunToEnd({"cjpeg", "-quality", "90", "-outfile", jpeg.string(), ppm.string()});
        // A phone's quality: about 2 MB for 12 MP.
        if (made && set.Heic) {
            const fs::path heic = pictures / ("photo-" + std::to_string(i) + ".heic");
            made = RunToEnd({"heif-enc", "-q", "70", "-o", heic.string(), jpeg.string()});
            fs::remove(jpeg);
        }
        fs::remove(ppm);
    }
    double total = 0;
    for (const auto& entry : fs::directory_iterator(pictures)) total += double(entry.file_size());
    std::printf("%d pictures of %d x %d, %.1f MB each on average\n", set.Count, set.Width, set.Height,
                total / set.Count / 1e6);
    return made;
}

int main(int argc, char** argv)
{
    // "show_bench 1280x720 5" runs that one show over the 24 MP photographs and prints its
    // figures, for profiling; "show_bench 800x600x16 5" in a mode of other bits than 32;
    // "show_bench 1920x1080 100 heic" over the HEIC pictures, every format on.
    int onlyWidth = 0, onlyHeight = 0, onlyBits = 32, onlySpeed = 0;
    const bool onlyHeic = argc == 4 && std::string(argv[3]) == "heic";
    if ((argc == 3 || onlyHeic) && (std::sscanf(argv[1], "%dx%dx%d", &onlyWidth, &onlyHeight, &onlyBits) < 2 ||
                                    std::sscanf(argv[2], "%d", &onlySpeed) != 1)) {
        std::printf("usage: %s [WIDTHxHEIGHT[xBITS] SPEED [heic]]\n", argv[0]);
        return 2;
    }
    // The picture change is timed in this process without a screen; the show gets its
    // display through its own environment.
    unsetenv("DISPLAY");
    // This benchmark is built in bench/ beside the program's src/.
    const fs::path program = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "src" / "vellumine";
    if (!fs::exists(program)) {
        std::printf("show-cpu: program %s not found (target <= %.2f) FAIL\n", program.c_str(), CpuTarget);
        return 1;
    }

    char pattern[] = "/tmp/vellumine-show-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const fs::path folder = pattern;
    fs::create_directories(folder / "config" / "vellumine");
    const auto pictures = [&folder](const PictureSet& set) { return folder / set.Name; };
    bool made = true;
    for (const PictureSet& set : Sets) {
        made = made && MakePictures(folder, pictures(onlyHeic ? HeicSet : set), onlyHeic ? HeicSet : set);
        if (onlySpeed > 0) break;
    }
    if (!made) {
        fs::remove_all(folder);
        std::printf("show-cpu: the pictures were not made (target <= %.2f) FAIL\n", CpuTarget);
        return 1;
    }
    const fs::path photos = pictures(Sets[0]);
    if (onlySpeed > 0) {
        const ShowRun run = RunShow(program, folder, onlyHeic ? pictures(HeicSet) : photos, onlyWidth, onlyHeight,
                                    onlySpeed, onlyBits, "1920x1080", onlyHeic);
        fs::remove_all(folder);
        std::printf("%.3f of a core, %.1f frames a second, peak %.1f MB, %d picture changes, worst gap %.1f ms\n",
                    run.Cpu, run.Fps, run.PeakMb, run.Changes, run.WorstGapMs);
        return run.Ran ? 0 : 1;
    }
    // Each size of photograph in the screen's own mode, and on a smaller screen.
    std::vector<ShowRun> sizes, smallScreen;
    for (const PictureSet& set : Sets) sizes.push_back(RunShow(program, folder, pictures(set), 1920, 1080, 100));
    for (const PictureSet& set : Sets)
        smallScreen.push_back(RunShow(program, folder, pictures(set), 1280, 720, 100, 32, "1280x720"));
    const ShowRun& native = sizes[0];
    const ShowRun emulated = RunShow(program, folder, photos, 1280, 720, 100);
    // At the fastest speed the picture changes take a good part of the processor time; a slow
    // show is mostly the frames themselves.
    const ShowRun slowNative = RunShow(program, folder, photos, 1920, 1080, SlowSpeed);
    const ShowRun slowEmulated = RunShow(program, folder, photos, 1280, 720, SlowSpeed);
    // A new user's 16-bit mode twice, the native mode once more between them.
    const ShowRun slowDefault = RunShow(program, folder, photos, 800, 600, SlowSpeed, 16);
    const ShowRun slowNativeAgain = RunShow(program, folder, photos, 1920, 1080, SlowSpeed);
    const ShowRun slowDefaultAgain = RunShow(program, folder, photos, 800, 600, SlowSpeed, 16);
    const bool heicMade = MakePictures(folder, pictures(HeicSet), HeicSet);
    const ShowRun heic =
        heicMade ? RunShow(program, folder, pictures(HeicSet), 1920, 1080, 100, 32, "1920x1080", true) : ShowRun{};
    const double change = ChangeRatio(photos / "photo-0.jpg", Sets[0].Width, Sets[0].Height);
    const double change48 = ChangeRatio(pictures(Sets[1]) / "photo-0.jpg", Sets[1].Width, Sets[1].Height);
    fs::remove_all(folder);

    bool passed = true;
    const auto verdict = [&passed](bool ok) {
        passed &= ok;
        return ok ? "PASS" : "FAIL";
    };
    if (native.Ran) {
        std::printf("show-cpu: %.3f (target <= %.2f) %s\n", native.Cpu, CpuTarget, verdict(native.Cpu <= CpuTarget));
        if (native.Fps >= 0)
            std::printf("show-fps: %.1f (target >= %.0f) %s\n", native.Fps, FpsTarget,
                        verdict(native.Fps >= FpsTarget));
        else
            std::printf("show-fps: the X server offers no damage reports (target >= %.0f) %s\n", FpsTarget,
                        verdict(false));
    } else {
        std::printf("show-cpu: the show did not run (target <= %.2f) %s\n", CpuTarget, verdict(false));
        std::printf("show-fps: the show did not run (target >= %.0f) %s\n", FpsTarget, verdict(false));
    }
    // A slow show's cost depends on the zooms it happens to draw: the mean of its two runs.
    if (slowNative.Ran && slowNativeAgain.Ran) {
        const double slow = (slowNative.Cpu + slowNativeAgain.Cpu) / 2;
        std::printf("show-cpu-speed5: %.3f (mean of %.3f and %.3f; target <= %.2f) %s\n", slow, slowNative.Cpu,
                    slowNativeAgain.Cpu, SlowCpuTarget, verdict(slow <= SlowCpuTarget));
    } else
        std::printf("show-cpu-speed5: the show did not run (target <= %.2f) %s\n", SlowCpuTarget, verdict(false));
    for (size_t i = 0; i < sizes.size(); ++i) {
        const ShowRun& run = sizes[i];
        const char* name = Sets[i].Name;
        if (!run.Ran) {
            std::printf("change-worst-gap-ms-%s: the show did not run (target <= %.0f) %s\n", name, GapTarget,
                        verdict(false));
            std::printf("show-peak-mb-%s: the show did not run (target <= %.0f) %s\n", name, PeakTarget,
                        verdict(false));
            continue;
        }
        std::printf("%s: median gap %.1f ms; %d picture changes seen; on a 1280 x 720 screen peak %.1f MB\n", name,
                    run.MedianGapMs, run.Changes, smallScreen[i].Ran ? smallScreen[i].PeakMb : -1.0);
        std::printf("change-worst-gap-ms-%s: %.1f (target <= %.0f) %s\n", name, run.WorstGapMs, GapTarget,
                    verdict(run.Changes > 0 && run.WorstGapMs <= GapTarget));
        std::printf("show-peak-mb-%s: %.1f (target <= %.0f) %s\n", name, run.PeakMb, PeakTarget,
                    verdict(run.PeakMb > 0 && run.PeakMb <= PeakTarget));
    }
    {
        // The decoder's own planes at 4:2:0 and the RGB picture they become.
        const double decoderMb = double(HeicSet.Width) * HeicSet.Height * (1.5 + 3) / 1e6;
        const double target = PeakTarget + decoderMb;
        if (heic.Ran)
            std::printf("show-peak-mb-heic: %.1f (target <= %.0f + %.0f for the decoder = %.0f) %s\n", heic.PeakMb,
                        PeakTarget, decoderMb, target,
                        verdict(heic.PeakMb > 0 && heic.Changes > 0 && heic.PeakMb <= target));
        else
            std::printf("show-peak-mb-heic: the show did not run (target <= %.0f) %s\n", target, verdict(false));
    }
    if (emulated.Ran && native.Ran) {
        const double ratio = emulated.Cpu / native.Cpu;
        std::printf("emulated 1280 x 720 at speed 100: %.3f of a core against the native mode's %.3f\n", emulated.Cpu,
                    native.Cpu);
        std::printf("show-cpu-emulated: %.2f x the native mode (target <= %.1f) %s\n", ratio, EmulatedRatioTarget,
                    verdict(ratio <= EmulatedRatioTarget));
    } else {
        std::printf("show-cpu-emulated: the show did not run (target <= %.1f) %s\n", EmulatedRatioTarget,
                    verdict(false));
    }
    if (slowEmulated.Ran && slowNative.Ran) {
        const double ratio = slowEmulated.Cpu / slowNative.Cpu;
        std::printf("show-cpu-emulated-speed5: %.3f (target <= %.2f, and <= %.1f x the native mode: %.2f) %s\n",
                    slowEmulated.Cpu, EmulatedSlowCpuTarget, EmulatedSlowRatioTarget, ratio,
                    verdict(slowEmulated.Cpu <= EmulatedSlowCpuTarget && ratio <= EmulatedSlowRatioTarget));
    } else {
        std::printf("show-cpu-emulated-speed5: the show did not run (target <= %.2f) %s\n", EmulatedSlowCpuTarget,
                    verdict(false));
    }
    if (slowNative.Ran && slowNativeAgain.Ran && slowDefault.Ran && slowDefaultAgain.Ran) {
        const double own = (slowDefault.Cpu + slowDefaultAgain.Cpu) / 2;
        const double reference = (slowNative.Cpu + slowNativeAgain.Cpu) / 2;
        const double ratio = own / reference;
        std::printf("800 x 600 x 16 at speed %d: %.3f of a core against the native mode's %.3f (means of two)\n",
                    SlowSpeed, own, reference);
        std::printf("show-cpu-default-mode: %.2f (target <= %.1f) %s\n", ratio, DefaultModeRatioTarget,
                    verdict(ratio <= DefaultModeRatioTarget));
    } else {
        std::printf("show-cpu-default-mode: the show did not run (target <= %.1f) %s\n", DefaultModeRatioTarget,
                    verdict(false));
    }
    const auto changeVerdict = [&](const char* name, double ratio, double target) {
        if (ratio >= 0)
            std::printf("%s: %.2f (target <= %.2f) %s\n", name, ratio, target, verdict(ratio <= target));
        else
            std::printf("%s: the picture did not load (target <= %.2f) %s\n", name, target, verdict(false));
    };
    changeVerdict("change-vs-djpeg", change, ChangeTarget);
    changeVerdict("change-vs-djpeg-48mp", change48, Change48Target);
    return passed ? 0 : 1;
}
