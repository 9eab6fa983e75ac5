// The example programs as a user runs them on an X server. The files they make (the model
// viewer's chequer texture, the demo's tone) go into a folder of their own under the temporary
// folder that only the user can enter, never into the current one, and that folder goes
// however the program ends. Any key ends the model viewer, however short the press. Without a
// display they say so and end.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "gui/ScreenPixels.h"
#include "gui/XConnection.h"
#include "gui/XvfbServer.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
// The folder below temporary that holds a file named name; empty while there is none.
fs::path FolderHolding(const fs::path& temporary, const fs::path& name)
{
    for (const fs::directory_entry& entry : fs::directory_iterator(temporary))
        if (fs::exists(entry.path() / name)) return entry.path();
    return {};
}

std::vector<fs::path> Entries(const fs::path& folder)
{
    std::vector<fs::path> entries;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) entries.push_back(entry.path());
    return entries;
}

// Whether the program's backdrop comes to cover most of the screen: its window is there to
// take a key.
bool CoveredBy(const XvfbServer& server, TRgb backdrop)
{
    XConnection display(server.Name());
    return display.Get() &&
           WaitUntil([&] { return ColourShare(display, DefaultRootWindow(display.Get()), backdrop, 8) > 0.5; }, 20s);
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
}  // namespace

TEST(ModelViewerOnX, TheEllipsoidsTextureLivesInAPrivateTemporaryFolderOfItsOwnUntilTheEnd)
{
    // However the viewer is ended: a key, a session's end, Ctrl+C.
    for (const int signal : {0, SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal ? strsignal(signal) : "a key");
        XvfbServer server;
        TempDir temp;
        const fs::path texture = "ModelViewer-chequer.bmp";
        ASSERT_FALSE(fs::exists(texture)) << "left in the current folder by an earlier run";
        ChildProcess viewer({VELLUMINE_MODEL_VIEWER}, {"DISPLAY=" + server.Name(), "TMPDIR=" + temp.Path().string()},
                            (temp.Path() / "viewer.err").string());
        ASSERT_TRUE(WaitUntil([&] { return !FolderHolding(temp.Path(), texture).empty(); }, 20s)) << viewer.Err();
        EXPECT_EQ(fs::status(FolderHolding(temp.Path(), texture)).permissions(), fs::perms::owner_all);
        EXPECT_TRUE(viewer.Running()) << viewer.Err();
        if (signal) {
            kill(viewer.Pid(), signal);
            EXPECT_EQ(viewer.WaitExit(std::chrono::seconds(5)), std::optional<int>(0)) << viewer.Err();
        } else {
            EXPECT_EQ(PressKeysUntilExit(server, viewer), 0) << viewer.Err();
        }
        std::vector<fs::path> left;
        for (const fs::directory_entry& entry : fs::directory_iterator(temp.Path()))
            if (entry.path().filename() != "viewer.err") left.push_back(entry.path());
        EXPECT_TRUE(left.empty()) << left.front();
        EXPECT_FALSE(fs::exists(texture)) << "written into the current folder";
    }
}

TEST(ModelViewerOnX, AKeyLetGoBeforeTheNextFrameStillEndsIt)
{
    // Pressed and let go at once: the keyboard's state, read once a frame, never shows such a
    // key down, as it misses a user's quick tap while frames are slow.
    TempDir temp;
    const fs::path model =
        temp.WriteFile("tri.x", "xof 0303txt 0032\nMesh Tri { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n");
    for (const char* key : {"space", "Escape", "Shift_L"}) {
        SCOPED_TRACE(key);
        XvfbServer server;
        ChildProcess viewer({VELLUMINE_MODEL_VIEWER, model.string()}, {"DISPLAY=" + server.Name()},
                            (temp.Path() / "viewer.err").string());
        ASSERT_TRUE(CoveredBy(server, TRgb{0x20, 0x28, 0x40})) << viewer.Err();
        ASSERT_EQ(RunXdotool(server, std::string("keydown --delay 0 ") + key + " keyup --delay 0 " + key), 0);
        EXPECT_EQ(viewer.WaitExit(5s), std::optional<int>(0)) << viewer.Err();
    }
}

TEST(InputSoundDemoOnX, ALinkNamedLikeTheToneInTheCurrentFolderIsLeftAloneAndNoFileStays)
{
    // A link in the current folder with the tone's name must not lead the demo to write through
    // it, however the demo ends: Escape, a session's end, Ctrl+C, or a start that fails (a
    // sound driver that does not exist gives no DirectSound).
    struct TEnding {
        const char* Name;
        int Signal;  // 0: Escape, unless the start fails
        const char* Driver;
        int Exit;  // not Status, which Xlib defines
    };
    for (const TEnding& ending : {TEnding{"Escape", 0, "dummy", 0}, TEnding{"SIGTERM", SIGTERM, "dummy", 0},
                                  TEnding{"SIGINT", SIGINT, "dummy", 0}, TEnding{"no sound", 0, "no-such-driver", 1}}) {
        SCOPED_TRACE(ending.Name);
        XvfbServer server;
        TempDir temp;
        const fs::path tone = "InputSoundDemo-tone.wav", here = temp.Path() / "here", temporary = temp.Path() / "tmp";
        fs::create_directories(here);
        fs::create_directories(temporary);
        const fs::path mine = temp.WriteFile("mine.txt", "the test's own");
        fs::create_symlink(mine, here / tone);
        const fs::path err = temp.Path() / "demo.err";
        ChildProcess demo({VELLUMINE_INPUT_SOUND_DEMO},
                          {"DISPLAY=" + server.Name(), "TMPDIR=" + temporary.string(),
                           std::string("SDL_AUDIODRIVER=") + ending.Driver},
                          err.string(), here.string());
        if (ending.Exit == 0) {
            // Not fatal: a demo that wrote elsewhere is still ended, and what it wrote shown.
            EXPECT_TRUE(WaitUntil([&] { return !FolderHolding(temporary, tone).empty(); }, 20s)) << demo.Err();
            const fs::path scratch = FolderHolding(temporary, tone);
            if (!scratch.empty()) {
                EXPECT_EQ(fs::status(scratch).permissions(), fs::perms::owner_all);
            }
            EXPECT_TRUE(demo.Running()) << demo.Err();
            if (ending.Signal) {
                kill(demo.Pid(), ending.Signal);
            } else {
                // Let go at once, before the demo's next read of the keyboard's state.
                EXPECT_TRUE(CoveredBy(server, TRgb{0, 0, 64})) << demo.Err();
                EXPECT_EQ(RunXdotool(server, "keydown --delay 0 Escape keyup --delay 0 Escape"), 0);
            }
        }
        EXPECT_EQ(demo.WaitExit(10s), std::optional<int>(ending.Exit)) << demo.Err();
        EXPECT_TRUE(ReadAll(mine) == "the test's own")
            << "written through the link, " << fs::file_size(mine) << " bytes";
        EXPECT_EQ(Entries(here), std::vector<fs::path>{here / tone});
        EXPECT_EQ(Entries(temporary), std::vector<fs::path>{});
    }
}

TEST(ExamplesWithoutDisplay, SayInOneLineThatThereIsNoScreenAndEnd)
{
    // Run on with nothing to draw on, they would wait for ever for a key nobody can press.
    for (const char* program : {VELLUMINE_MODEL_VIEWER, VELLUMINE_INPUT_SOUND_DEMO}) {
        SCOPED_TRACE(program);
        TempDir temp;
        const fs::path err = temp.Path() / "program.err";
        ChildProcess child({program}, {"DISPLAY=", "TMPDIR=" + temp.Path().string(), "SDL_AUDIODRIVER=dummy"},
                           err.string(), temp.Str());
        EXPECT_EQ(child.WaitExit(5s), std::optional<int>(1));
        const std::string said = child.Err();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(Entries(temp.Path()), std::vector<fs::path>{err}) << "made a file without a screen";
    }
}
