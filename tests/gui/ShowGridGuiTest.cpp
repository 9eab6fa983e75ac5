// The full-screen show's animation as it reaches the screen: pictures of coded cells are
// shown, the part of a picture on a screenshot is read back from where the cell borders
// fall, and it must be the part the animation computes for the type, focus and progress
// of one of the frames the show traced around that screenshot.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "gui/XConnection.h"
#include "gui/XvfbServer.h"
#include "show/ShowAnimation.h"
#include "support/JpegMaker.h"
#include "support/TestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "ScreenPixels.h"

namespace {
using namespace std::chrono_literals;

// XvfbServer's screen, and the stored mode too, so that frames reach it unscaled.
constexpr int ScreenWidth = 1024;
constexpr int ScreenHeight = 768;
// A frame drawn right is off by at most about a pixel, as the stretch samples pixel centres.
constexpr double ScreenTolerance = 2.0;

// Square cells a multiple of JPEG's 8 x 8 blocks on a side, so every block is one flat
// colour that compression keeps within a level or two. Red codes a cell's column, green its
// row and blue the picture. Nothing is near black, which the picture surface keys out.
constexpr int Cell = 64;
int ColumnLevel(int column) { return 40 + 9 * column; }
int RowLevel(int row) { return 40 + 12 * row; }
// Under half of either step, so a level is never read as its neighbour.
constexpr int LevelSlack = 3;

struct TGrid {
    std::string File;  // below the home folder
    int Width = 0;
    int Height = 0;
    uint8_t Blue = 0;
    std::string Path = {};  // the whole path, as the show names the file
};

std::string GridJpeg(const TGrid& grid)
{
    TRgbPicture picture(grid.Width, grid.Height);
    for (int y = 0; y < grid.Height; ++y)
        for (int x = 0; x < grid.Width; ++x)
            picture.At(x, y) = {static_cast<uint8_t>(ColumnLevel(x / Cell)), static_cast<uint8_t>(RowLevel(y / Cell)),
                                grid.Blue};
    TJpegOptions options;
    options.Quality = 95;
    return MakeJpeg(picture, options);
}

int64_t Now()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct TScreenshot {
    std::vector<uint32_t> Pixels;  // 0x00RRGGBB, rows top to bottom
    // Steady-clock microseconds: the server copied the screen between the two.
    int64_t Before = 0;
    int64_t After = 0;

    uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y) * ScreenWidth + x]; }
};

std::optional<TScreenshot> TakeScreenshot(Display* display)
{
    TScreenshot shot;
    shot.Before = Now();
    XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, ScreenWidth, ScreenHeight, AllPlanes, ZPixmap);
    shot.After = Now();
    if (!image) return std::nullopt;
    shot.Pixels.resize(static_cast<size_t>(ScreenWidth) * ScreenHeight);
    for (int y = 0; y < ScreenHeight; ++y)
        for (int x = 0; x < ScreenWidth; ++x)
            shot.Pixels[static_cast<size_t>(y) * ScreenWidth + x] = XGetPixel(image, x, y) & 0xFFFFFF;
    XDestroyImage(image);
    return shot;
}

// The index whose level value is within the slack, or -1.
int LevelIndex(int value, int count, int (*level)(int))
{
    for (int i = 0; i < count; ++i)
        if (std::abs(value - level(i)) <= LevelSlack) return i;
    return -1;
}

// The part of a picture a screenshot shows, in picture pixels, with how well the cell
// borders fit one even stretch.
struct TReadBack {
    size_t Grid = 0;  // index into the grids the show was given
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
    double WorstMiss = 0.0;  // screen pixels between a border and the fitted stretch
    std::string Problem;     // empty when the whole screen showed one of the grids
};

// Screen position = scale * picture position + shift, fitted to the (picture, screen)
// positions of cell borders; the screen's ends [0, length) mapped back to the picture.
bool FitAxis(const std::vector<std::pair<double, double>>& borders, int length, double& low, double& high,
             double& worst)
{
    if (borders.size() < 2) return false;
    double sb = 0, ss = 0, sbb = 0, sbs = 0;
    for (const auto& [b, s] : borders) {
        sb += b;
        ss += s;
        sbb += b * b;
        sbs += b * s;
    }
    const double n = static_cast<double>(borders.size());
    const double spread = n * sbb - sb * sb;
    if (spread <= 0) return false;
    const double scale = (n * sbs - sb * ss) / spread;
    const double shift = (ss - scale * sb) / n;
    if (scale <= 0) return false;
    for (const auto& [b, s] : borders) worst = std::max(worst, std::abs(scale * b + shift - s));
    low = -shift / scale;
    high = (length - shift) / scale;
    return true;
}

// The stretch samples the source at each screen pixel's centre, so the first screen pixel
// of a cell lies within half a pixel of where the cell's border maps to.
TReadBack ReadBack(const TScreenshot& shot, const std::vector<TGrid>& grids)
{
    TReadBack seen;
    const uint32_t middle = shot.At(ScreenWidth / 2, ScreenHeight / 2);
    const auto known = std::find_if(grids.begin(), grids.end(), [&](const TGrid& g) {
        return std::abs(static_cast<int>(middle & 0xFF) - g.Blue) <= LevelSlack;
    });
    if (known == grids.end()) {
        seen.Problem = "the middle of the screen shows none of the pictures";
        return seen;
    }
    seen.Grid = static_cast<size_t>(known - grids.begin());
    const int columns = known->Width / Cell, rows = known->Height / Cell;

    // The (column, row) a screen pixel shows, or false for a colour no cell has.
    const auto cellAt = [&](int x, int y, int& column, int& row) {
        const uint32_t p = shot.At(x, y);
        column = LevelIndex(static_cast<int>(p >> 16), columns, ColumnLevel);
        row = LevelIndex(static_cast<int>((p >> 8) & 0xFF), rows, RowLevel);
        return column >= 0 && row >= 0 && std::abs(static_cast<int>(p & 0xFF) - known->Blue) <= LevelSlack;
    };
    // Walks a line of screen pixels across (or down) the screen, noting where the column
    // (or row) goes up by one; false when a pixel shows no cell or a cell is skipped.
    const auto walk = [&](bool across, int at, std::vector<std::pair<double, double>>& borders) {
        const int length = across ? ScreenWidth : ScreenHeight;
        int last = -1;
        for (int i = 0; i < length; ++i) {
            const int x = across ? i : at, y = across ? at : i;
            int column, row;
            if (!cellAt(x, y, column, row)) {
                seen.Problem = "screen pixel " + std::to_string(x) + "," + std::to_string(y) + " is no cell's colour";
                return false;
            }
            const int cell = across ? column : row;
            if (i > 0 && cell != last) {
                if (cell != last + 1) {
                    seen.Problem = "cells out of order at screen pixel " + std::to_string(x) + "," + std::to_string(y);
                    return false;
                }
                borders.emplace_back(cell * Cell, i);
            }
            last = cell;
        }
        return true;
    };
    std::vector<std::pair<double, double>> across, down;
    for (int line = 1; line <= 3; ++line)
        if (!walk(true, ScreenHeight * line / 4, across) || !walk(false, ScreenWidth * line / 4, down)) return seen;
    // Any part of a picture the show draws spans at least seven cells each way.
    if (across.size() < 3 * 4 || down.size() < 3 * 4) {
        seen.Problem = "too few cell borders on the screen";
        return seen;
    }
    if (!FitAxis(across, ScreenWidth, seen.Left, seen.Right, seen.WorstMiss) ||
        !FitAxis(down, ScreenHeight, seen.Top, seen.Bottom, seen.WorstMiss))
        seen.Problem = "the cell borders fit no stretch";
    return seen;
}

// The show's trace: one line per picture started, one per frame drawn.
struct TTracedPicture {
    int Width = 0, Height = 0, Animation = 0;
    TPoint Focus;
    std::string File;
};
struct TTracedFrame {
    size_t Picture = 0;  // index into the pictures
    float Progress = 0.0f;
    TRect Rect;
    int64_t Start = 0, End = 0;
};
struct TTrace {
    std::vector<TTracedPicture> Pictures;
    std::vector<TTracedFrame> Frames;
    int BadLines = 0;
};

TTrace ReadTrace(const std::string& path)
{
    TTrace trace;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        TTracedPicture picture;
        TTracedFrame frame;
        unsigned long long number = 0;
        long long start = 0, end = 0;
        int fileAt = -1;
        if (std::sscanf(line.c_str(), "picture %dx%d animation %d focus %d,%d file %n", &picture.Width, &picture.Height,
                        &picture.Animation, &picture.Focus.X, &picture.Focus.Y, &fileAt) == 5 &&
            fileAt > 0) {
            picture.File = line.substr(static_cast<size_t>(fileAt));
            trace.Pictures.push_back(picture);
        } else if (std::sscanf(line.c_str(), "frame %llu progress %f rect %d,%d,%d,%d drawn %lld-%lld", &number,
                               &frame.Progress, &frame.Rect.Left, &frame.Rect.Top, &frame.Rect.Right,
                               &frame.Rect.Bottom, &start, &end) == 8) {
            // Frames before the first picture line show nothing the test can tell.
            if (trace.Pictures.empty()) continue;
            frame.Picture = trace.Pictures.size() - 1;
            frame.Start = start;
            frame.End = end;
            trace.Frames.push_back(frame);
        } else if (line != "device started" && line != "device stopped") {
            ++trace.BadLines;
        }
    }
    return trace;
}

// The part of the picture the animation computes for a traced picture at a progress.
TRect AnimationRect(const TTracedPicture& picture, float progress)
{
    TShowAnimation animation;
    animation.SetScreen(ScreenWidth, ScreenHeight);
    animation.SetPictureSize(picture.Width, picture.Height);
    animation.SetAnimation(static_cast<uint8_t>(picture.Animation));
    animation.SetFocus(picture.Focus);
    animation.SetProgress(progress);
    animation.UpdateSourceRect();
    return animation.SourceRect();
}

std::string Text(const TRect& r)
{
    return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
           std::to_string(r.Bottom);
}

std::string Text(const TReadBack& seen)
{
    char text[128];
    std::snprintf(text, sizeof text, "%.1f,%.1f,%.1f,%.1f", seen.Left, seen.Top, seen.Right, seen.Bottom);
    return text;
}

// One of the frames that may be on the screenshot shows the picture read back, through
// the rectangle the animation computes for it within the tolerance. The presenter waits for
// the server within the flip, so those frames run from the last one whose flip returned
// before the server copied the screen to the last one begun before the copy was done.
testing::AssertionResult ShowsATracedFrame(const TScreenshot& shot, const TReadBack& seen,
                                           const std::vector<TGrid>& grids, const TTrace& trace)
{
    size_t from = 0, to = 0;
    bool any = false;
    for (size_t i = 0; i < trace.Frames.size(); ++i) {
        if (trace.Frames[i].End < shot.Before) from = i;
        if (trace.Frames[i].Start <= shot.After) {
            to = i;
            any = true;
        }
    }
    if (!any) return testing::AssertionFailure() << "no frame was traced before the screenshot";
    std::string tried;
    for (size_t i = from; i <= to; ++i) {
        const TTracedFrame& frame = trace.Frames[i];
        const TTracedPicture& picture = trace.Pictures[frame.Picture];
        const TRect expected = AnimationRect(picture, frame.Progress);
        const auto shows = [&](const TRect& rect) {
            const double acrossSlack = ScreenTolerance * (rect.Right - rect.Left) / ScreenWidth;
            const double downSlack = ScreenTolerance * (rect.Bottom - rect.Top) / ScreenHeight;
            return picture.File == grids[seen.Grid].Path && std::abs(seen.Left - rect.Left) <= acrossSlack &&
                   std::abs(seen.Right - rect.Right) <= acrossSlack && std::abs(seen.Top - rect.Top) <= downSlack &&
                   std::abs(seen.Bottom - rect.Bottom) <= downSlack;
        };
        // A frame drawn between a change and the next tick shows the new picture through the
        // rectangle the last one ended with, which the new picture's own animation does not
        // compute: the traced rectangle stands for it.
        const bool beforeFirstTick = frame.Progress == 0 && i > 0 && trace.Frames[i - 1].Picture != frame.Picture;
        if (shows(expected) || (beforeFirstTick && shows(frame.Rect))) return testing::AssertionSuccess();
        char progress[32];
        std::snprintf(progress, sizeof progress, "%.3f", static_cast<double>(frame.Progress));
        tried += "\n  frame " + std::to_string(i) + " of " + picture.File + " (animation " +
                 std::to_string(picture.Animation) + ", focus " + std::to_string(picture.Focus.X) + "," +
                 std::to_string(picture.Focus.Y) + ") at progress " + progress + ": " + Text(expected) + " (traced " +
                 Text(frame.Rect) + ")";
    }
    return testing::AssertionFailure() << "the screen shows " << Text(seen) << " of " << grids[seen.Grid].File
                                       << ", which none of these frames computes:" << tried;
}

std::string SettingsFile(const TempDir& home, int speed)
{
    return "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine]\n"
           "\"ImagesPath\"=\"" +
           home.Str() + "/pictures\"\n\"Res_Width\"=" + Dword(ScreenWidth) + "\n\"Res_Height\"=" + Dword(ScreenHeight) +
           "\n\"Res_Bits\"=" + Dword(32) + "\n\"Animate_Speed\"=" + Dword(speed) + "\n";
}

std::unique_ptr<ChildProcess> StartTracedShow(const XvfbServer& server, const TempDir& home)
{
    return std::make_unique<ChildProcess>(std::vector<std::string>{VELLUMINE_PROGRAM, "/s"},
                                          std::vector<std::string>{"DISPLAY=" + server.Name(), "HOME=" + home.Str(),
                                                                   "XDG_CONFIG_HOME=" + home.Str() + "/config",
                                                                   "VELLUMINE_SHOW_TRACE=" + home.Str() + "/trace.txt"},
                                          home.Str() + "/stderr.txt");
}

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

// A show of the grids at a speed, on a server of its own, with screenshots read back.
class ShowGridGui : public testing::Test {
protected:
    void StartShow(const std::vector<TGrid>& grids, int speed)
    {
        Grids = grids;
        for (TGrid& grid : Grids) {
            grid.Path = Home.WriteFile(grid.File, GridJpeg(grid)).string();
        }
        Home.WriteFile("config/vellumine/registry.reg", SettingsFile(Home, speed));
        ASSERT_NE(Screen.Get(), nullptr);
        XSetErrorHandler(IgnoreXErrors);
        Program = StartTracedShow(Server, Home);
    }

    // The next screenshot on which a whole grid can be read, within the time allowed. Looks
    // at most every 100 ms: each look takes a whole screen, which would starve the show.
    bool NextReadable(std::chrono::seconds allowed, TScreenshot& shot, TReadBack& seen)
    {
        bool readable = false;
        WaitUntil(
            [&] {
                if (!Program->Running()) return true;
                std::optional<TScreenshot> taken = TakeScreenshot(Screen);
                if (!taken) return false;
                seen = ReadBack(*taken, Grids);
                LastProblem = seen.Problem;
                if (!seen.Problem.empty()) return false;
                shot = std::move(*taken);
                return readable = true;
            },
            allowed, 100ms);
        return readable;
    }

    // Ends the show the way a user does, which also has it write out its trace.
    TTrace EndShow()
    {
        const std::optional<int> status = PressKeysUntilExit(Server, *Program, 20);
        EXPECT_TRUE(status.has_value()) << "a key press ends the show";
        if (status) {
            EXPECT_EQ(*status, 0) << Program->Err();
        }
        return ReadTrace(Home.Str() + "/trace.txt");
    }

    XvfbServer Server;
    TempDir Home;
    std::vector<TGrid> Grids;
    XConnection Screen{Server.Name()};
    std::unique_ptr<ChildProcess> Program;
    std::string LastProblem;
};

TEST_F(ShowGridGui, TheScreenShowsThePartOfThePictureTheAnimationComputesAtTheFrameShown)
{
    // The screen's proportions; at the slowest speed each frame moves a fraction of a pixel.
    ASSERT_NO_FATAL_FAILURE(StartShow({{"pictures/grid.jpg", 1280, 960, 100}}, 1));

    std::vector<TScreenshot> shots;
    std::vector<TReadBack> seen;
    while (shots.size() < 3) {
        TScreenshot shot;
        TReadBack back;
        if (!NextReadable(30s, shot, back)) break;
        shots.push_back(std::move(shot));
        seen.push_back(back);
        // A fixed spacing, so that the screenshots catch frames far apart in the animation.
        std::this_thread::sleep_for(700ms);
    }
    ASSERT_TRUE(Program->Running()) << Program->Err();
    const TTrace trace = EndShow();
    ASSERT_EQ(shots.size(), 3u) << "the grid never filled the screen: " << LastProblem;

    EXPECT_EQ(trace.BadLines, 0);
    ASSERT_EQ(trace.Pictures.size(), 1u) << "one picture, started once";
    EXPECT_EQ(trace.Pictures[0].File, Home.Str() + "/pictures/grid.jpg");
    EXPECT_EQ(trace.Pictures[0].Width, 1280);
    EXPECT_EQ(trace.Pictures[0].Height, 960);
    for (size_t i = 0; i < shots.size(); ++i) {
        SCOPED_TRACE("screenshot " + std::to_string(i));
        EXPECT_LE(seen[i].WorstMiss, 1.0) << "the picture is stretched evenly";
        EXPECT_TRUE(ShowsATracedFrame(shots[i], seen[i], Grids, trace));
    }
}

TEST_F(ShowGridGui, EachPictureEndsInTheOtherOneAndEveryFrameIsTheAnimationsPart)
{
    // A picture of the screen's proportions and a wider one the show crops at the sides; at
    // this speed each lasts about 100 ticks, under two seconds at the usual frame rate.
    ASSERT_NO_FATAL_FAILURE(StartShow({{"pictures/a.jpg", 1280, 960, 100}, {"pictures/b.jpg", 1536, 896, 180}}, 300));

    std::vector<TScreenshot> shots;
    std::vector<TReadBack> seen;
    int changes = 0;
    // Generous for a loaded machine: a slow frame rate only makes each picture last longer.
    const auto deadline = std::chrono::steady_clock::now() + 40s;
    while (changes < 2 && shots.size() < 200 && std::chrono::steady_clock::now() < deadline) {
        TScreenshot shot;
        TReadBack back;
        if (!NextReadable(20s, shot, back)) break;
        if (!seen.empty() && back.Grid != seen.back().Grid) ++changes;
        shots.push_back(std::move(shot));
        seen.push_back(back);
        // A fixed spacing: a few screenshots of each picture, not one after another at the
        // show's expense.
        std::this_thread::sleep_for(150ms);
    }
    ASSERT_TRUE(Program->Running()) << Program->Err();
    const TTrace trace = EndShow();
    EXPECT_GE(changes, 2) << "the screen goes from one picture to the other and back; " << shots.size()
                          << " screenshots read, last problem: " << LastProblem;

    EXPECT_EQ(trace.BadLines, 0);
    ASSERT_GE(trace.Pictures.size(), 3u);
    for (size_t i = 0; i < trace.Pictures.size(); ++i) {
        const TTracedPicture& picture = trace.Pictures[i];
        const bool isA = picture.File == Home.Str() + "/pictures/a.jpg";
        EXPECT_TRUE(isA || picture.File == Home.Str() + "/pictures/b.jpg") << picture.File;
        EXPECT_EQ(picture.Width, isA ? 1280 : 1536) << "picture line " << i;
        EXPECT_EQ(picture.Height, isA ? 960 : 896) << "picture line " << i;
        if (i > 0) {
            EXPECT_NE(picture.File, trace.Pictures[i - 1].File) << "picture line " << i << " follows the other";
        }
    }
    for (size_t i = 0; i < shots.size(); ++i) {
        SCOPED_TRACE("screenshot " + std::to_string(i));
        EXPECT_LE(seen[i].WorstMiss, 1.0) << "the picture is stretched evenly";
        EXPECT_TRUE(ShowsATracedFrame(shots[i], seen[i], Grids, trace));
    }
}
}  // namespace
