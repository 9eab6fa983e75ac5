// JPEG loading against djpeg, process against process: a helper that loads one file with
// LoadJpegIntoBitmap and ends, and djpeg writing a BMP to /dev/null, which likewise decodes
// the whole picture into 24-bit rows. The same helper also decodes a photograph as the show
// stores it for a 1920 x 1080 mode (reduced to cover 3840 x 2160, into 32-bit rows), which is
// held to a smaller share of djpeg's time: the whole point of storing pictures reduced. The pictures are made here,
// photograph-like (smooth light with texture and grain: flat colour decodes unrealistically fast), at quality 90. Both
// are timed in alternation over several rounds and the medians compared. The verdict uses each process's processor time
// (user and system, from wait4): both decode on one thread, and on a shared machine wall-clock time mostly measures the
// neighbours. The wall time is printed beside it.
#include "BenchSupport.h"
#include "framework/Bitmap.h"
#include "imaging/PictureLoader.h"
#include "pictures/Resample.h"
#include "support/JpegMaker.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
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

using Clock = std::chrono::steady_clock;

constexpr double BaselineTarget = 0.75;
constexpr double ProgressiveTarget = 0.9;
// 24 MP decoded whole and reduced to 3840 x 2560; 48 MP decoded at half size and reduced to
// 3840 x 2880.
constexpr double Stored24Target = 0.75;
constexpr double Stored48Target = 0.45;
const char* const BoxWidth = "3840";
const char* const BoxHeight = "2160";
constexpr int Rounds = 7;

struct TBenchFile {
    const char* Label;
    int Width, Height;
    bool Subsample420, Progressive;
    // Whether our whole decode is timed (for jpeg-vs-djpeg), and whether the stored one is.
    bool Whole, Stored;
    std::string Path;
    std::vector<double> Ours, Djpeg, OursWall, DjpegWall, OursStored, OursStoredWall;
};

struct TRun {
    double Cpu = -1, Wall = -1;  // negative when the program failed
};

// Light falling across the frame, a few larger shapes, a finer texture and sensor grain.
TRgbPicture PhotoLike(int width, int height)
{
    TRgbPicture picture(width, height);
    const double sx = 1.0 / width, sy = 1.0 / height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double u = x * sx, v = y * sy;
            const double light = 0.55 + 0.3 * std::sin(u * 3.1 + v * 1.7) * std::cos(v * 2.3 - u * 0.7);
            const double shapes = 0.12 * std::sin(u * 37.0 + std::sin(v * 23.0) * 2.0) * std::cos(v * 29.0 - u * 11.0);
            const double texture = 0.05 * std::sin(x * 0.9 + std::sin(y * 0.37) * 3.0) * std::sin(y * 0.71 + x * 0.13);
            const uint32_t h = Hash(static_cast<uint32_t>(y) * 0x9E3779B1U + static_cast<uint32_t>(x));
            const double grain = ((h & 0xFF) - 127.5) / 127.5 * 0.025;
            const double value = light + shapes + texture + grain;
            auto channel = [&](double tint, int shift) {
                const double c = value * tint + (((h >> shift) & 0x1F) - 15.5) / 15.5 * 0.01;
                return static_cast<uint8_t>(std::clamp(c * 255.0, 0.0, 255.0));
            };
            picture.At(x, y) = {channel(1.05, 8), channel(0.92, 13), channel(0.75 + 0.2 * v, 18)};
        }
    return picture;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Runs the program with its output thrown away; the processor and wall time it took.
TRun TimeRun(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const Clock::time_point start = Clock::now();
    pid_t pid;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    TRun run;
    if (error != 0) return run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double wall = Seconds(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return run;
    run.Wall = wall;
    run.Cpu = ProcessorSeconds(usage);
    return run;
}

// Destination megapixels a second, over enough repetitions to last a moment.
double ResampleRate(TBitmap& source, int width, int height)
{
    TBitmap destination;
    destination.SetSize(width, height);
    int repetitions = 0;
    const Clock::time_point start = Clock::now();
    double elapsed = 0;
    do {
        ResampleBitmap(source, destination);
        ++repetitions;
        elapsed = Seconds(start);
    } while (elapsed < 0.5 || repetitions < 3);
    return static_cast<double>(width) * height * repetitions / elapsed / 1e6;
}

}  // namespace

int main()
{
    char pattern[] = "/tmp/vellumine-jpeg-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const fs::path folder = pattern;

    std::vector<TBenchFile> files = {
        {"6000x4000 4:2:0 baseline", 6000, 4000, true, false, true, true, {}, {}, {}, {}, {}, {}, {}},
        {"6000x4000 4:4:4 baseline", 6000, 4000, false, false, true, false, {}, {}, {}, {}, {}, {}, {}},
        {"1920x1080 4:2:0 baseline", 1920, 1080, true, false, true, false, {}, {}, {}, {}, {}, {}, {}},
        {"4000x3000 4:2:0 progressive", 4000, 3000, true, true, true, false, {}, {}, {}, {}, {}, {}, {}},
        {"8000x6000 4:2:0 baseline", 8000, 6000, true, false, false, true, {}, {}, {}, {}, {}, {}, {}},
    };
    for (TBenchFile& file : files) {
        TJpegOptions options;
        options.Quality = 90;
        options.Subsample420 = file.Subsample420;
        options.Progressive = file.Progressive;
        const std::string bytes = MakeJpeg(PhotoLike(file.Width, file.Height), options);
        file.Path = (folder / ("bench-" + std::to_string(&file - files.data()) + ".jpg")).string();
        std::ofstream(file.Path, std::ios::binary) << bytes;
        std::printf("%-28s %6.2f MB, %.2f bits a pixel\n", file.Label, bytes.size() / 1e6,
                    bytes.size() * 8.0 / (static_cast<double>(file.Width) * file.Height));
    }

    bool failed = false;
    // One unmeasured run of each warms the cache and the programs' pages.
    for (TBenchFile& file : files) {
        if (file.Whole) failed |= TimeRun({JPEG_LOAD_ONCE, file.Path}).Cpu < 0;
        if (file.Stored) failed |= TimeRun({JPEG_LOAD_ONCE, file.Path, BoxWidth, BoxHeight}).Cpu < 0;
        failed |= TimeRun({"djpeg", "-bmp", "-outfile", "/dev/null", file.Path}).Cpu < 0;
    }
    for (int round = 0; round < Rounds && !failed; ++round)
        for (TBenchFile& file : files) {
            // Alternate which goes first, so that neither always meets the other's leftovers.
            const bool oursFirst = round % 2 == 0;
            for (int turn = 0; turn < 2; ++turn) {
                if ((turn == 0) == oursFirst) {
                    if (file.Whole) {
                        const TRun run = TimeRun({JPEG_LOAD_ONCE, file.Path});
                        file.Ours.push_back(run.Cpu);
                        file.OursWall.push_back(run.Wall);
                        failed |= run.Cpu < 0;
                    }
                    if (file.Stored) {
                        const TRun run = TimeRun({JPEG_LOAD_ONCE, file.Path, BoxWidth, BoxHeight});
                        file.OursStored.push_back(run.Cpu);
                        file.OursStoredWall.push_back(run.Wall);
                        failed |= run.Cpu < 0;
                    }
                } else {
                    const TRun run = TimeRun({"djpeg", "-bmp", "-outfile", "/dev/null", file.Path});
                    file.Djpeg.push_back(run.Cpu);
                    file.DjpegWall.push_back(run.Wall);
                    failed |= run.Cpu < 0;
                }
            }
        }
    if (failed) std::printf("a load or a djpeg run FAILED\n");

    double worstBaseline = 0, progressive = 0, stored24 = 0, stored48 = 0;
    for (TBenchFile& file : files) {
        if (failed) break;
        const double djpeg = Median(file.Djpeg);
        if (file.Whole) {
            const double ours = Median(file.Ours), ratio = ours / djpeg;
            std::printf("%-28s processor: ours %6.1f ms, djpeg %6.1f ms, ratio %.2f; wall: %6.1f ms, %6.1f ms\n",
                        file.Label, ours * 1e3, djpeg * 1e3, ratio, Median(file.OursWall) * 1e3,
                        Median(file.DjpegWall) * 1e3);
            if (file.Progressive)
                progressive = ratio;
            else
                worstBaseline = std::max(worstBaseline, ratio);
        }
        if (file.Stored) {
            const double ours = Median(file.OursStored), ratio = ours / djpeg;
            std::printf(
                "%-28s stored for %sx%s, processor: ours %6.1f ms, djpeg %6.1f ms, ratio %.2f; wall: %6.1f ms, "
                "%6.1f ms\n",
                file.Label, BoxWidth, BoxHeight, ours * 1e3, djpeg * 1e3, ratio, Median(file.OursStoredWall) * 1e3,
                Median(file.DjpegWall) * 1e3);
            (file.Width > 6000 ? stored48 : stored24) = ratio;
        }
    }

    TBitmap photo;
    if (LoadJpegIntoBitmap(photo, "", files[0].Path)) {
        std::printf("resampling 6000x4000 to 1920x1080: %.0f destination megapixels a second\n",
                    ResampleRate(photo, 1920, 1080));
        std::printf("resampling 6000x4000 to 152x112: %.0f destination megapixels a second\n",
                    ResampleRate(photo, 152, 112));
    }
    fs::remove_all(folder);

    const bool baselinePass = !failed && worstBaseline <= BaselineTarget;
    const bool progressivePass = !failed && progressive > 0 && progressive <= ProgressiveTarget;
    std::printf("jpeg-vs-djpeg: %.2f (target <= %.2f) %s\n", worstBaseline, BaselineTarget,
                baselinePass ? "PASS" : "FAIL");
    std::printf("jpeg-prog-vs-djpeg: %.2f (target <= %.1f) %s\n", progressive, ProgressiveTarget,
                progressivePass ? "PASS" : "FAIL");
    const bool stored24Pass = !failed && stored24 > 0 && stored24 <= Stored24Target;
    const bool stored48Pass = !failed && stored48 > 0 && stored48 <= Stored48Target;
    std::printf("stored-decode-vs-djpeg: %.2f (target <= %.2f) %s\n", stored24, Stored24Target,
                stored24Pass ? "PASS" : "FAIL");
    std::printf("stored-decode-vs-djpeg-48mp: %.2f (target <= %.2f) %s\n", stored48, Stored48Target,
                stored48Pass ? "PASS" : "FAIL");
    return baselinePass && progressivePass && stored24Pass && stored48Pass ? 0 : 1;
}
