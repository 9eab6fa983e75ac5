// HEIC decoding as the show stores a photograph for a 1920 x 1080 mode (reduced to cover
// 3840 x 2160, into 32-bit rows) against libheif's own decoding of the same file to
// interleaved RGB, process against process, by processor time (user and system, from wait4)
// over several alternating rounds, medians compared; peak resident memory beside it. libheif
// decodes pictures whole, so the stored decode can only add to its cost: the verdict holds
// that addition (the conversion and the reduction of the rows) to a small share. A 48 MP
// photograph's decode is measured too. The photographs are made here: photograph-like JPEGs
// encoded by heif-enc at quality 90.
#include "BenchSupport.h"
#include "support/JpegMaker.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr double ChangeTarget = 1.15;
constexpr int Rounds = 7, Rounds48 = 3;

struct TRun {
    double Cpu = -1;  // negative when the program failed
    double PeakMb = 0;
};

TRun TimeRun(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid;
    TRun run;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return run;
    run.Cpu = ProcessorSeconds(usage);
    run.PeakMb = usage.ru_maxrss / 1024.0;
    return run;
}

// Smooth light with shapes, texture and grain, as a photograph has: flat colour would decode
// unrealistically fast.
TRgb PhotoPixel(int x, int y, int width, int height)
{
    const double u = double(x) / width, v = double(y) / height;
    const double light = 0.55 + 0.3 * std::sin(u * 3.1 + v * 1.7) * std::cos(v * 2.3 - u * 0.7);
    const double shapes = 0.12 * std::sin(u * 37.0 + std::sin(v * 23.0) * 2.0) * std::cos(v * 29.0 - u * 11.0);
    const double texture = 0.05 * std::sin(x * 0.9 + std::sin(y * 0.37) * 3.0) * std::sin(y * 0.71 + x * 0.13);
    const uint32_t h = Hash(static_cast<uint32_t>(y) * 0x9E3779B1U + static_cast<uint32_t>(x));
    const double value = light + shapes + texture + ((h & 0xFF) - 127.5) / 127.5 * 0.025;
    auto channel = [&](double tint) { return static_cast<uint8_t>(std::clamp(value * tint * 255.0, 0.0, 255.0)); };
    return {channel(1.05), channel(0.92), channel(0.75 + 0.2 * v)};
}

// The HEIC file's path, or empty when it could not be made.
std::string MakeHeic(const fs::path& folder, int width, int height)
{
    const fs::path jpeg = folder / "photo.jpg", heic = folder / ("photo-" + std::to_string(width) + ".heic");
    std::ofstream(jpeg, std::ios::binary)
        << MakeLargeJpeg(width, height, [&](int x, int y) { return PhotoPixel(x, y, width, height); }, {.Quality = 95});
    const std::string command = "heif-enc -q 90 -o '" + heic.string() + "' '" + jpeg.string() + "' >/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    fs::remove(jpeg);
    std::printf("%dx%d HEIC: %.2f MB\n", width, height, fs::file_size(heic) / 1e6);
    return heic.string();
}

struct TSeries {
    std::vector<double> Cpu, Peak;
    bool Failed = false;
    void Add(const TRun& run)
    {
        Failed |= run.Cpu < 0;
        Cpu.push_back(run.Cpu);
        Peak.push_back(run.PeakMb);
    }
};

}  // namespace

int main()
{
    char pattern[] = "/tmp/vellumine-heic-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const fs::path folder = pattern;
    const std::string heic12 = MakeHeic(folder, 4032, 3024), heic48 = MakeHeic(folder, 8064, 6048);
    if (heic12.empty() || heic48.empty()) {
        std::printf("heif-enc FAILED\nheic-change-vs-decode: 0 (target <= %.2f) FAIL\n", ChangeTarget);
        fs::remove_all(folder);
        return 1;
    }
    auto stored = [](const std::string& path) {
        return std::vector<std::string>{HEIC_LOAD_ONCE, "stored", path, "3840", "2160"};
    };
    auto whole = [](const std::string& path) { return std::vector<std::string>{HEIC_LOAD_ONCE, "whole", path}; };

    TSeries ours, libheif, ours48, libheif48;
    // One unmeasured run of each warms the cache and the programs' pages.
    TimeRun(stored(heic12));
    TimeRun(whole(heic12));
    for (int round = 0; round < Rounds; ++round) {
        // Alternate which goes first, so that neither always meets the other's leftovers.
        if (round % 2 == 0) ours.Add(TimeRun(stored(heic12)));
        libheif.Add(TimeRun(whole(heic12)));
        if (round % 2 == 1) ours.Add(TimeRun(stored(heic12)));
    }
    for (int round = 0; round < Rounds48; ++round) {
        ours48.Add(TimeRun(stored(heic48)));
        libheif48.Add(TimeRun(whole(heic48)));
    }
    fs::remove_all(folder);

    const bool failed = ours.Failed || libheif.Failed || ours48.Failed || libheif48.Failed;
    const double ratio = failed ? 0 : Median(ours.Cpu) / Median(libheif.Cpu);
    std::printf(
        "4032x3024 processor: stored %.0f ms, libheif whole %.0f ms; peak memory: stored %.0f MB, "
        "libheif whole %.0f MB\n",
        Median(ours.Cpu) * 1e3, Median(libheif.Cpu) * 1e3, Median(ours.Peak), Median(libheif.Peak));
    std::printf(
        "8064x6048 processor: stored %.0f ms, libheif whole %.0f ms; peak memory: stored %.0f MB, "
        "libheif whole %.0f MB\n",
        Median(ours48.Cpu) * 1e3, Median(libheif48.Cpu) * 1e3, Median(ours48.Peak), Median(libheif48.Peak));
    const bool pass = !failed && ratio <= ChangeTarget;
    std::printf("heic-change-vs-decode: %.2f (target <= %.2f) %s\n", ratio, ChangeTarget, pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
