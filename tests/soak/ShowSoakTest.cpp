// The built program's full-screen show kept running for a thousand picture changes over a
// folder of every kind of picture and some damaged files, its device stopped and started
// again by moving the focus away and back every fifty changes. Whatever the show holds at
// the hundredth change it must hold, and no more, at the thousandth: resident memory,
// open files and X resources. Built with the sanitizers, the program's exit status also
// says whether LeakSanitizer found anything at its end.
#include <gtest/gtest.h>

#include <dirent.h>

#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gui/XConnection.h"
#include "gui/XvfbServer.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"

namespace {
using namespace std::chrono_literals;

// 40 ticks a picture (the progress moves 750 / 30 a tick towards 1000): about 11 minutes
// for a thousand changes at the display's 60 frames a second, and still 20 ticks after the
// next picture's preparation begins, so every change is the worker's hand-over.
constexpr int Speed = 750;
constexpr int StopEvery = 50;
constexpr int FirstMark = 100;
// The show walks its shuffled list round and round, skipping the damaged files: with a
// number of good pictures that divides the changes between the marks, both marks fall on
// the same picture, with the same neighbours prepared, so their memory compares like with
// like.
constexpr int GoodPictures = 12;

int ChangesWanted()
{
    const char* text = std::getenv("VELLUMINE_SOAK_CHANGES");
    return text ? std::atoi(text) : 1000;
}

std::string Dword(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(value));
    return text;
}

void WritePictures(TempDir& home)
{
    const auto quadrants = [](int w, int h) {
        return QuadrantPicture(w, h, {200, 40, 40}, {40, 200, 40}, {40, 40, 200}, {220, 220, 60});
    };
    struct TGood {
        const char* Name;
        int Width, Height;
        TJpegOptions Options;
    };
    const TGood good[GoodPictures] = {
        {"small.jpg", 320, 240, {}},
        {"vga.jpg", 640, 480, {.Subsample420 = true}},
        {"screen.jpg", 1024, 768, {}},
        {"camera/large.jpg", 1600, 1200, {.Quality = 90, .Subsample420 = true}},
        {"camera/larger.JPG", 2400, 1600, {.Quality = 85, .Subsample420 = true}},
        {"portrait.jpeg", 480, 640, {}},
        {"exif/rotated6.jpg", 1200, 800, {.Orientation = 6}},
        {"exif/rotated3.jpg", 800, 600, {.Orientation = 3, .BigEndianExif = true}},
        {"exif/rotated8.jpg", 600, 800, {.Orientation = 8}},
        {"progressive/wide.jpg", 1280, 960, {.Progressive = true}},
        {"progressive/rotated.jpg", 1024, 768, {.Progressive = true, .Orientation = 6}},
        {"progressive/grey.jpg", 640, 480, {.Progressive = true, .Colour = TJpegColour::Grayscale}},
    };
    for (const TGood& picture : good)
        home.WriteFile(std::string("pictures/") + picture.Name,
                       MakeJpeg(quadrants(picture.Width, picture.Height), picture.Options));
    // None of these loads: a JPEG start and rubbish, a file cut inside its header, an empty
    // one, and text under a picture's name.
    const std::string sample = MakeJpeg(quadrants(64, 48));
    home.WriteFile("pictures/damaged/rubbish.jpg", std::string("\xFF\xD8\xFF\xE0") + std::string(400, '\x5A'));
    home.WriteFile("pictures/damaged/cut.jpg", sample.substr(0, 20));
    home.WriteFile("pictures/damaged/empty.jpg", "");
    home.WriteFile("pictures/damaged/notes.jpg", "not a picture at all\n");
}

// Follows the show's trace while it is written: picture lines are changes, device lines the
// device's starts and stops.
class TTraceReader {
public:
    explicit TTraceReader(std::string path) : FPath(std::move(path)) {}
    void Read()
    {
        std::ifstream in(FPath, std::ios::binary);
        if (!in) return;
        in.seekg(static_cast<std::streamoff>(FOffset));
        std::string line;
        while (std::getline(in, line) && !in.eof()) {
            FOffset += line.size() + 1;
            if (line.rfind("picture ", 0) == 0) {
                ++FPictures;
                const size_t file = line.find(" file ");
                FLastFile = file == std::string::npos ? line : line.substr(file + 6);
            } else if (line == "device started") {
                ++FStarts;
            } else if (line == "device stopped") {
                ++FStops;
            }
        }
    }
    // The first picture shown is no change.
    int Changes() const { return FPictures - 1; }
    int Starts() const { return FStarts; }
    int Stops() const { return FStops; }
    const std::string& LastFile() const { return FLastFile; }

private:
    std::string FPath;
    size_t FOffset = 0;
    int FPictures = 0, FStarts = 0, FStops = 0;
    std::string FLastFile;
};

// What the running show holds at one moment.
struct TFootprint {
    long RssKb = -1;
    int Files = -1;
    int Clients = 0;
    std::map<std::string, int> XResources;  // by type name, over all the program's connections
    unsigned long PixmapBytes = 0;
    std::string Picture;
};

long RssKb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

int OpenFiles(pid_t pid)
{
    DIR* folder = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!folder) return -1;
    int count = 0;
    while (const dirent* entry = readdir(folder))
        if (entry->d_name[0] != '.') ++count;
    closedir(folder);
    return count;
}

void AddXResources(Display* display, pid_t pid, TFootprint& footprint)
{
    XResClientIdSpec wanted{None, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* ids = nullptr;
    if (XResQueryClientIds(display, 1, &wanted, &count, &ids) != Success) return;
    for (long i = 0; i < count; ++i) {
        if (XResGetClientPid(&ids[i]) != pid) continue;
        const XID client = ids[i].spec.client;
        ++footprint.Clients;
        int types = 0;
        XResType* counts = nullptr;
        // Old-style Xlib status (true when it worked), unlike XResQueryClientIds' Success:
        // the list itself says whether there is an answer.
        XResQueryClientResources(display, client, &types, &counts);
        if (counts) {
            for (int t = 0; t < types; ++t) {
                char* name = XGetAtomName(display, counts[t].resource_type);
                footprint.XResources[name ? name : "?"] += static_cast<int>(counts[t].count);
                if (name) XFree(name);
            }
            XFree(counts);
        }
        unsigned long bytes = 0;
        if (XResQueryClientPixmapBytes(display, client, &bytes)) footprint.PixmapBytes += bytes;
    }
    XResClientIdsDestroy(count, ids);
}

TFootprint Measure(Display* display, pid_t pid, const std::string& picture)
{
    TFootprint footprint;
    footprint.RssKb = RssKb(pid);
    footprint.Files = OpenFiles(pid);
    footprint.Picture = picture;
    AddXResources(display, pid, footprint);
    return footprint;
}

std::string Describe(const TFootprint& f)
{
    std::string text = "resident " + std::to_string(f.RssKb) + " kB, " + std::to_string(f.Files) + " open files, " +
                       std::to_string(f.Clients) + " X connections holding";
    for (const auto& [type, count] : f.XResources) text += " " + std::to_string(count) + " " + type;
    return text + ", pixmaps " + std::to_string(f.PixmapBytes) + " bytes; showing " + f.Picture;
}

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

TEST(ShowSoak, AThousandChangesWithTheDeviceRestartedEveryFiftyKeepMemoryFilesAndXResources)
{
    const int changes = ChangesWanted();
    ASSERT_GT(changes, FirstMark) << "VELLUMINE_SOAK_CHANGES";
    XvfbServer server;  // 1024 x 768 x 24: the stored mode is the screen's own
    TempDir home;
    WritePictures(home);
    home.WriteFile("config/vellumine/registry.reg",
                   "Windows Registry Editor Version 5.00\n\n"
                   "[HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine]\n\"ImagesPath\"=\"" +
                       home.Str() + "/pictures\"\n\"Res_Width\"=" + Dword(1024) + "\n\"Res_Height\"=" + Dword(768) +
                       "\n\"Res_Bits\"=" + Dword(32) + "\n\"Animate_Speed\"=" + Dword(Speed) + "\n");
    XConnection display(server.Name());
    ASSERT_NE(display.Get(), nullptr);
    XSetErrorHandler(IgnoreXErrors);
    // Where the focus goes while the device is to stay stopped.
    const Window elsewhere = XCreateSimpleWindow(display, DefaultRootWindow(display.Get()), 0, 0, 8, 8, 0, 0, 0);
    XMapWindow(display, elsewhere);
    XSync(display, False);

    const std::string tracePath = home.Str() + "/trace.txt";
    ChildProcess program({VELLUMINE_PROGRAM, "/s"},
                         {"DISPLAY=" + server.Name(), "HOME=" + home.Str(), "XDG_CONFIG_HOME=" + home.Str() + "/config",
                          "VELLUMINE_SHOW_TRACE=" + tracePath, "VELLUMINE_SHOW_KEEP_ON_FOCUS=1"},
                         home.Str() + "/stderr.txt");
    TTraceReader trace(tracePath);
    const auto reachChange = [&](int change, std::chrono::seconds deadline) {
        return WaitUntil(
                   [&] {
                       trace.Read();
                       return trace.Changes() >= change || !program.Running();
                   },
                   deadline, 20ms) &&
               trace.Changes() >= change;
    };
    ASSERT_TRUE(reachChange(0, 30s)) << "the show did not start: " << program.Err();
    // The show's window has the focus once it runs; it is where the focus returns to.
    Window showWindow = None;
    int revert = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            XGetInputFocus(display, &showWindow, &revert);
            return showWindow != None && showWindow != PointerRoot && showWindow != elsewhere;
        },
        10s));

    const auto started = std::chrono::steady_clock::now();
    const int stopsBefore = trace.Stops(), startsBefore = trace.Starts();
    std::optional<TFootprint> first, last;
    for (int change = 1; change <= changes; ++change) {
        // A picture lasts about 0.7 s; far longer means the show hangs.
        ASSERT_TRUE(reachChange(change, 60s)) << "change " << change << " never came; " << program.Err();
        if (change == FirstMark || change == changes) {
            // Past the release of the replaced picture (5 ticks), before the next one's
            // preparation (20 ticks).
            std::this_thread::sleep_for(200ms);
            (change == FirstMark ? first : last) = Measure(display, program.Pid(), trace.LastFile());
        }
        if (change % StopEvery != 0 || change == changes) continue;
        const int stops = trace.Stops(), starts = trace.Starts();
        XSetInputFocus(display, elsewhere, RevertToParent, CurrentTime);
        XSync(display, False);
        ASSERT_TRUE(WaitUntil([&] { return trace.Read(), trace.Stops() > stops || !program.Running(); }, 10s))
            << "the device did not stop when the focus went, at change " << change;
        XSetInputFocus(display, showWindow, RevertToParent, CurrentTime);
        XSync(display, False);
        ASSERT_TRUE(WaitUntil([&] { return trace.Read(), trace.Starts() > starts || !program.Running(); }, 10s))
            << "the device did not start again when the focus came back, at change " << change;
        ASSERT_TRUE(program.Running()) << program.Err();
    }
    const auto minutes = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() / 60;
    ASSERT_TRUE(first && last);
    std::printf("soak: %d changes in %.1f minutes, the device stopped %d times and started %d\n", changes, minutes,
                trace.Stops(), trace.Starts());
    std::printf("soak: at change %d: %s\n", FirstMark, Describe(*first).c_str());
    std::printf("soak: at change %d: %s\n", changes, Describe(*last).c_str());
    EXPECT_EQ(trace.Stops() - stopsBefore, (changes - 1) / StopEvery);
    EXPECT_EQ(trace.Starts() - startsBefore, (changes - 1) / StopEvery);

#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's quarantine holds freed memory back on purpose: resident memory says
    // nothing here, LeakSanitizer at the end does.
    std::printf("soak: resident memory not compared under AddressSanitizer\n");
#else
    EXPECT_EQ(first->Picture, last->Picture) << "the marks were meant to fall on the same picture";
    EXPECT_LE(last->RssKb, first->RssKb + first->RssKb / 20) << "resident memory grew by more than 5 %";
    EXPECT_GE(last->RssKb, first->RssKb - first->RssKb / 20) << "resident memory fell by more than 5 %";
#endif
    EXPECT_GT(first->Files, 0);
    EXPECT_LE(last->Files, first->Files) << "open files gained";
    EXPECT_GT(first->Clients, 0) << "the X server named no connection of the program";
    EXPECT_LE(last->Clients, first->Clients) << "X connections gained";
    for (const auto& [type, count] : last->XResources)
        EXPECT_LE(count, first->XResources.count(type) ? first->XResources.at(type) : 0) << type << " gained";
    EXPECT_LE(last->PixmapBytes, first->PixmapBytes) << "pixmap memory gained";

    const std::optional<int> status = PressKeysUntilExit(server, program);
    ASSERT_TRUE(status.has_value()) << "a key press ends the show";
    // With the sanitizers, a leak at the end makes the status non-zero and the report is on
    // standard error.
    EXPECT_EQ(*status, 0) << program.Err();
}
