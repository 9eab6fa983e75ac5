// One frame of the show's work: a stretching Blt of a 3000 x 1688 part of a 6000 x 4000
// 32-bit picture onto a 1920 x 1080 back buffer, timed against two references in the same
// run: a memcpy of one such frame (the floor) and SDL2's software scaler doing the same
// stretch. The three are timed in turn, round after round, so drift in the machine's load
// hits them alike; medians are compared. Also, for information, one presentation of a
// 1920 x 1080 frame into a window of an Xvfb of the bench's own.
#include <SDL.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "SoftDxApi.h"
#include "SoftDxControl.h"
#include "wdx/x11/X11Presenter.h"

namespace {

constexpr int Rounds = 150;
constexpr RECT SourceRect{1500, 1156, 4500, 2844};  // 3000 x 1688, in the middle
constexpr uint32_t FrameWidth = 1920, FrameHeight = 1080;

template <typename F>
double TimeMs(F&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void Verdict(const char* name, double ratio, double target)
{
    std::printf("%s: %.2f (target <= %g) %s\n", name, ratio, target, ratio <= target ? "PASS" : "FAIL");
}

IDirectDrawSurface7* Surface(IDirectDraw7* dd, DWORD width, DWORD height)
{
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    d.dwWidth = width;
    d.dwHeight = height;
    d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    d.ddpfPixelFormat.dwFlags = DDPF_RGB;
    d.ddpfPixelFormat.dwRGBBitCount = 32;
    d.ddpfPixelFormat.dwRBitMask = 0xFF0000;
    d.ddpfPixelFormat.dwGBitMask = 0xFF00;
    d.ddpfPixelFormat.dwBBitMask = 0xFF;
    IDirectDrawSurface7* s = nullptr;
    if (dd->CreateSurface(&d, &s, nullptr) != DD_OK) {
        std::fprintf(stderr, "CreateSurface failed\n");
        std::exit(1);
    }
    return s;
}

// An Xvfb on a display number it picks itself; empty name when it does not start.
struct Xvfb {
    pid_t Pid = -1;
    std::string Name;
    Xvfb()
    {
        int fds[2];
        if (pipe(fds) != 0) return;
        Pid = fork();
        if (Pid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            // Xvfb's start-up chatter would bury the figures; a failure only lets it through.
            if (!freopen("/dev/null", "w", stderr)) {
            }
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        pollfd ready{fds[0], POLLIN, 0};
        std::string number;
        char c;
        while (poll(&ready, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (!number.empty()) Name = ":" + number;
    }
    ~Xvfb()
    {
        if (Pid <= 0) return;
        kill(Pid, SIGTERM);
        waitpid(Pid, nullptr, 0);
    }
};

void PresentationLine()
{
    Xvfb server;
    if (server.Name.empty()) {
        std::printf("present-1080p: skipped (Xvfb did not start)\n");
        return;
    }
    Display* display = XOpenDisplay(server.Name.c_str());
    auto presenter = X11Presenter::Open(server.Name.c_str());
    if (!display || !presenter) {
        std::printf("present-1080p: skipped (cannot open %s)\n", server.Name.c_str());
        if (display) XCloseDisplay(display);
        return;
    }
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, FrameWidth, FrameHeight, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    std::vector<uint32_t> frame(size_t{FrameWidth} * FrameHeight);
    std::vector<uint32_t> small(size_t{800} * 600);
    std::mt19937 random(1);
    for (auto& p : frame) p = random() & 0xFFFFFF;
    for (auto& p : small) p = random() & 0xFFFFFF;
    const auto hwnd = reinterpret_cast<HWND>(uintptr_t{window});
    std::vector<double> same, scaled;
    for (int i = 0; i < 60; ++i) {
        same.push_back(
            TimeMs([&] { presenter->Present(hwnd, frame.data(), FrameWidth, FrameHeight, FrameWidth * 4); }));
        scaled.push_back(TimeMs([&] { presenter->Present(hwnd, small.data(), 800, 600, 800 * 4); }));
    }
    std::printf("present-1080p: %.2f ms per frame (%s); an 800 x 600 mode scaled to it: %.2f ms\n", Median(same),
                presenter->UsesSharedMemory() ? "MIT-SHM" : "XPutImage", Median(scaled));
    presenter.reset();
    XDestroyWindow(display, window);
    XCloseDisplay(display);
}

}  // namespace

int main()
{
    void* made = nullptr;
    if (DirectDrawCreateEx(nullptr, &made, IID_IDirectDraw7, nullptr) != DD_OK) return 1;
    auto dd = static_cast<IDirectDraw7*>(made);
    dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    IDirectDrawSurface7* picture = Surface(dd, 6000, 4000);
    IDirectDrawSurface7* backBuffer = Surface(dd, FrameWidth, FrameHeight);

    DDSURFACEDESC2 locked;
    std::memset(&locked, 0, sizeof locked);
    locked.dwSize = sizeof locked;
    picture->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr);
    std::mt19937 random(7);
    for (uint32_t y = 0; y < 4000; ++y) {
        auto row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.lpSurface) + y * locked.lPitch);
        for (uint32_t x = 0; x < 6000; ++x) row[x] = random() & 0xFFFFFF;
    }

    // SDL's surfaces over the same kind of pixels (its own copy of the picture).
    SDL_Surface* sdlPicture = SDL_CreateRGBSurfaceWithFormat(0, 6000, 4000, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Surface* sdlFrame = SDL_CreateRGBSurfaceWithFormat(0, FrameWidth, FrameHeight, 32, SDL_PIXELFORMAT_RGB888);
    if (!sdlPicture || !sdlFrame) return 1;
    for (uint32_t y = 0; y < 4000; ++y)
        std::memcpy(static_cast<uint8_t*>(sdlPicture->pixels) + y * sdlPicture->pitch,
                    static_cast<uint8_t*>(locked.lpSurface) + y * locked.lPitch, 6000 * 4);
    picture->Unlock(nullptr);
    SDL_SetSurfaceBlendMode(sdlPicture, SDL_BLENDMODE_NONE);
    SDL_Rect sdlFrom{SourceRect.left, SourceRect.top, SourceRect.right - SourceRect.left,
                     SourceRect.bottom - SourceRect.top};
    SDL_Rect sdlTo{0, 0, FrameWidth, FrameHeight};

    std::vector<uint32_t> copyFrom(size_t{FrameWidth} * FrameHeight, 0x123456), copyTo(copyFrom.size());

    std::vector<double> blit, memcpyMs, sdl;
    for (int round = 0; round < Rounds; ++round) {
        RECT from = SourceRect;
        blit.push_back(TimeMs([&] {
            if (backBuffer->Blt(nullptr, picture, &from, DDBLT_WAIT, nullptr) != DD_OK) std::exit(1);
        }));
        memcpyMs.push_back(TimeMs([&] { std::memcpy(copyTo.data(), copyFrom.data(), copyFrom.size() * 4); }));
        sdl.push_back(TimeMs([&] {
            SDL_Rect to = sdlTo;
            if (SDL_BlitScaled(sdlPicture, &sdlFrom, sdlFrame, &to) != 0) std::exit(1);
        }));
    }
    const double blitMedian = Median(blit), memcpyMedian = Median(memcpyMs), sdlMedian = Median(sdl);
    std::printf("stretch Blt %.3f ms, memcpy of a frame %.3f ms, SDL_BlitScaled %.3f ms (medians of %d)\n", blitMedian,
                memcpyMedian, sdlMedian, Rounds);

    PresentationLine();

    Verdict("blit-vs-sdl", blitMedian / sdlMedian, 0.8);
    Verdict("blit-vs-memcpy", blitMedian / memcpyMedian, 4);

    SDL_FreeSurface(sdlPicture);
    SDL_FreeSurface(sdlFrame);
    picture->Release();
    backBuffer->Release();
    dd->Release();
    return 0;
}
