#pragma once
// TShowTrace, the show's record for tests and benchmarks: off unless the environment variable
// VELLUMINE_SHOW_TRACE names a file. The show then appends to it one line per picture it
// starts:
//   picture <width>x<height> animation <type> focus <x>,<y> file <path>
// and one per frame it draws and flips:
//   frame <n> progress <p> rect <left>,<top>,<right>,<bottom> drawn <start>-<end>
// where p is printed so that it reads back as the same 32-bit value, and start and end are
// steady-clock microseconds taken before the blit and once the flip has returned: the frame
// was handed to the screen between the two. "device started" and "device stopped" mark the
// device's starts (the first, and each return of the focus) and its stops. A control byte in
// a path is written as \xNN, so each record stays one line. Frame lines are buffered and
// reach the file when the show closes; picture and device lines are written out at once, so
// that a soak test can follow the changes of a running show.
#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/Graphics.h"

class TShowAnimation;

class TShowTrace {
public:
    TShowTrace() = default;
    ~TShowTrace() { Close(); }
    TShowTrace(const TShowTrace&) = delete;
    TShowTrace& operator=(const TShowTrace&) = delete;

    // Opens the file the environment names, if any; every record below does nothing without it.
    void Open();
    void Close();
    bool On() const { return FFile != nullptr; }
    // The steady clock's microseconds, as the frame lines give them.
    static int64_t Clock();

    void Picture(const TShowAnimation& animation, const std::string& file);
    void Frame(const TShowAnimation& animation, int64_t startMicroseconds, TRect source);
    void Device(const char* state);

private:
    std::FILE* FFile = nullptr;
    uint64_t FFrames = 0;
};
