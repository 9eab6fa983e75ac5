// The model viewer as a user runs it on an X server: without a model it draws its ellipsoid
// with a chequer texture that it writes into a folder of its own under the temporary folder,
// never into the current one, and that folder goes when a key or a signal ends the viewer.
#include <gtest/gtest.h>
#include <signal.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>

#include "gui/XvfbServer.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

TEST(ModelViewerOnX, TheEllipsoidsTextureLivesInATemporaryFolderOfItsOwnUntilTheEnd)
{
    // However the viewer is ended: a key, a session's end, Ctrl+C.
    for (const int signal : {0, SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal ? strsignal(signal) : "a key");
        XvfbServer server;
        TempDir temp;
        const fs::path texture = "ModelViewer-chequer.bmp";
        ASSERT_FALSE(fs::exists(texture)) << "left in the current folder by an earlier run";
        const auto written = [&] {
            for (const fs::directory_entry& entry : fs::directory_iterator(temp.Path()))
                if (fs::exists(entry.path() / texture)) return true;
            return false;
        };
        ChildProcess viewer({VELLUMINE_MODEL_VIEWER}, {"DISPLAY=" + server.Name(), "TMPDIR=" + temp.Path().string()},
                            (temp.Path() / "viewer.err").string());
        ASSERT_TRUE(WaitUntil(written, std::chrono::seconds(20))) << viewer.Err();
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
