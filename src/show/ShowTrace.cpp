// The show's trace file: where it is opened and how each record is written.
#include "show/ShowTrace.h"

#include <chrono>
#include <cinttypes>
#include <cstdlib>

#include "core/Paths.h"
#include "core/Text.h"
#include "show/ShowAnimation.h"

void TShowTrace::Open()
{
    if (FFile) return;
    const char* path = std::getenv("VELLUMINE_SHOW_TRACE");
    if (!path || !*path) return;
    // Only a regular file of the user's own: a FIFO or device there would hold the show at
    // its start, and a link could make it write where the user never meant.
    FFile = AppendToOwnFile(path);
}

void TShowTrace::Close()
{
    if (!FFile) return;
    std::fclose(FFile);
    FFile = nullptr;
}

int64_t TShowTrace::Clock()
{
    // The steady clock is the system's monotonic one, so a test can compare its own
    // readings with the trace's.
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TShowTrace::Picture(const TShowAnimation& animation, const std::string& file)
{
    if (!FFile) return;
    const TPoint focus = animation.Focus();
    std::fprintf(FFile, "picture %dx%d animation %d focus %d,%d file %s\n", animation.PictureWidth(),
                 animation.PictureHeight(), animation.Animation(), focus.X, focus.Y, EscapeControlBytes(file).c_str());
    std::fflush(FFile);
}

void TShowTrace::Device(const char* state)
{
    if (!FFile) return;
    std::fprintf(FFile, "device %s\n", state);
    std::fflush(FFile);
}

void TShowTrace::Frame(const TShowAnimation& animation, int64_t startMicroseconds, TRect source)
{
    if (!FFile) return;
    std::fprintf(FFile, "frame %" PRIu64 " progress %.9g rect %d,%d,%d,%d drawn %" PRId64 "-%" PRId64 "\n", ++FFrames,
                 static_cast<double>(animation.Progress()), source.Left, source.Top, source.Right, source.Bottom,
                 startMicroseconds, Clock());
}
