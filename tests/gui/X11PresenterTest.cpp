// The software DirectX's X11 presenter in an Xvfb of the test's own: frames read back from
// the window after a Present, through shared memory and through plain XPutImage, and a
// whole Flip of an emulated display mode.
// GoogleTest before Xlib, whose macros (None, Bool) would break its declarations.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "wdx/x11/X11Presenter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>

#include "SoftDxApi.h"
#include "gui/XConnection.h"
#include "gui/XvfbServer.h"

namespace {

class X11PresenterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Server = std::make_unique<XvfbServer>();
        Display = std::make_unique<XConnection>(Server->Name());
        ASSERT_NE(Display->Get(), nullptr);
        Presenter = X11Presenter::Open(Server->Name().c_str());
        ASSERT_NE(Presenter, nullptr);
    }
    // Also after a failed assertion: a flip chain left behind, or the presenter still
    // installed, would hold the presenter's connection open past the test.
    void TearDown() override
    {
        ReleaseFlipChain();
        SoftDxSetPresenter(nullptr);
        Presenter.reset();
    }

    Window MakeWindow(unsigned width, unsigned height)
    {
        // A white background, so a Present that draws nothing cannot pass for black bars.
        ::Display* display = Display->Get();
        Window w = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0, 0, 0xFFFFFF);
        XMapWindow(display, w);
        XSync(display, False);
        return w;
    }

    std::vector<uint32_t> ReadBack(Window w, unsigned width, unsigned height)
    {
        XSync(Display->Get(), False);
        XImage* image = XGetImage(Display->Get(), w, 0, 0, width, height, AllPlanes, ZPixmap);
        std::vector<uint32_t> pixels;
        if (!image) return pixels;
        for (unsigned y = 0; y < height; ++y)
            for (unsigned x = 0; x < width; ++x)
                pixels.push_back(uint32_t(XGetPixel(image, int(x), int(y))) & 0xFFFFFF);
        XDestroyImage(image);
        return pixels;
    }

    static HWND Handle(Window w) { return reinterpret_cast<HWND>(uintptr_t{w}); }

    // A full-screen flip chain in the given mode, shown in window w.
    void MakeFlipChain(Window w, DWORD width, DWORD height, DWORD bits, DWORD backBuffers)
    {
        void* made = nullptr;
        ASSERT_EQ(DirectDrawCreateEx(nullptr, &made, IID_IDirectDraw7, nullptr), DD_OK);
        DirectDraw = static_cast<IDirectDraw7*>(made);
        ASSERT_EQ(DirectDraw->SetCooperativeLevel(Handle(w), 0x17), DD_OK);
        ASSERT_EQ(DirectDraw->SetDisplayMode(width, height, bits, 0, 0), DD_OK);
        DDSURFACEDESC2 d;
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        d.dwBackBufferCount = backBuffers;
        ASSERT_EQ(DirectDraw->CreateSurface(&d, &Front, nullptr), DD_OK);
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        ASSERT_EQ(Front->GetAttachedSurface(&caps, &Back), DD_OK);
    }
    void ReleaseFlipChain()
    {
        if (Back) Back->Release();
        if (Front) Front->Release();
        if (DirectDraw) DirectDraw->Release();
        Back = Front = nullptr;
        DirectDraw = nullptr;
    }
    static void Fill(IDirectDrawSurface7* surface, RECT* rect, DWORD colour)
    {
        DDBLTFX fx;
        std::memset(&fx, 0, sizeof fx);
        fx.dwSize = sizeof fx;
        fx.dwFillColor = colour;
        ASSERT_EQ(surface->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    }

    std::unique_ptr<XvfbServer> Server;
    std::unique_ptr<XConnection> Display;
    std::shared_ptr<X11Presenter> Presenter;
    IDirectDraw7* DirectDraw = nullptr;
    IDirectDrawSurface7* Front = nullptr;
    IDirectDrawSurface7* Back = nullptr;
};

std::vector<uint32_t> Noise(size_t count, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint32_t> pixels(count);
    for (auto& p : pixels) p = random() & 0xFFFFFF;
    return pixels;
}

}  // namespace

TEST_F(X11PresenterTest, ScreenAndModes)
{
    EXPECT_EQ(Presenter->ScreenSize(), (SoftDxSize{1024, 768}));
    const auto modes = Presenter->MonitorModes();
    EXPECT_NE(std::find(modes.begin(), modes.end(), SoftDxSize{1024, 768}), modes.end());
}

TEST_F(X11PresenterTest, FrameOfTheWindowsSizeArrivesUnchangedByEitherPath)
{
    const Window w = MakeWindow(320, 200);
    // Rows padded beyond the width, as surfaces' are.
    const size_t pitch = 330 * 4;
    const auto frame = Noise(330 * 200, 1);
    for (bool shared : {true, false}) {
        SCOPED_TRACE(shared ? "shared memory" : "XPutImage");
        if (!shared) Presenter->DisableSharedMemory();
        ASSERT_TRUE(Presenter->Present(Handle(w), frame.data(), 320, 200, pitch));
        EXPECT_EQ(Presenter->UsesSharedMemory(), shared);
        const auto seen = ReadBack(w, 320, 200);
        ASSERT_EQ(seen.size(), 320u * 200u);
        int wrong = 0;
        for (unsigned y = 0; y < 200; ++y)
            for (unsigned x = 0; x < 320; ++x) wrong += seen[y * 320 + x] != frame[y * 330 + x];
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(X11PresenterTest, OtherProportionsGetBlackBars)
{
    const Window w = MakeWindow(400, 200);
    const std::vector<uint32_t> frame(100 * 100, 0x3366CC);
    ASSERT_TRUE(Presenter->Present(Handle(w), frame.data(), 100, 100, 400));
    const auto seen = ReadBack(w, 400, 200);
    ASSERT_EQ(seen.size(), 400u * 200u);
    for (unsigned y = 0; y < 200; y += 7) {
        EXPECT_EQ(seen[y * 400 + 0], 0u);
        EXPECT_EQ(seen[y * 400 + 99], 0u);
        EXPECT_EQ(seen[y * 400 + 100], 0x3366CCu) << "a uniform frame stays uniform when scaled";
        EXPECT_EQ(seen[y * 400 + 299], 0x3366CCu);
        EXPECT_EQ(seen[y * 400 + 300], 0u);
        EXPECT_EQ(seen[y * 400 + 399], 0u);
    }
}

TEST_F(X11PresenterTest, UnknownWindowIsRefusedQuietly)
{
    const std::vector<uint32_t> frame(16, 0);
    EXPECT_FALSE(Presenter->Present(Handle(0x3FFFFF), frame.data(), 4, 4, 16));
    EXPECT_FALSE(Presenter->Present(nullptr, frame.data(), 4, 4, 16));
}

TEST_F(X11PresenterTest, ARepeatedFrameIsNotSentUntilTheWindowIsExposedOrChangesOrARefreshIsDue)
{
    const Window w = MakeWindow(64, 48), other = MakeWindow(64, 48);
    XMoveWindow(Display->Get(), other, 100, 0);  // not over w, which could then not be exposed
    XSync(Display->Get(), False);
    const std::vector<uint32_t> frame(64 * 48, 0x3366CC);
    EXPECT_FALSE(Presenter->Repeat(Handle(w))) << "nothing shown yet";
    ASSERT_TRUE(Presenter->Present(Handle(w), frame.data(), 64, 48, 64 * 4));
    EXPECT_FALSE(Presenter->Repeat(Handle(other)));
    for (uint32_t round = 0; round < 2; ++round) {
        uint32_t kept = 0;
        while (kept < 100 && Presenter->Repeat(Handle(w))) ++kept;
        EXPECT_EQ(kept, X11Presenter::RefreshEvery - 1) << "then the frame is asked for in full";
        ASSERT_TRUE(Presenter->Present(Handle(w), frame.data(), 64, 48, 64 * 4));
    }
    // Uncovered, as when a window above it goes.
    ASSERT_TRUE(Presenter->Repeat(Handle(w)));
    XClearArea(Display->Get(), w, 0, 0, 8, 8, True);
    XSync(Display->Get(), False);
    EXPECT_FALSE(Presenter->Repeat(Handle(w))) << "an exposed window needs the frame again";
    ASSERT_TRUE(Presenter->Present(Handle(w), frame.data(), 64, 48, 64 * 4));
    EXPECT_TRUE(Presenter->Repeat(Handle(w))) << "the full frame answered the exposure";
    XResizeWindow(Display->Get(), w, 80, 48);
    XSync(Display->Get(), False);
    EXPECT_FALSE(Presenter->Repeat(Handle(w))) << "a window of another size needs the frame scaled anew";
    XDestroyWindow(Display->Get(), w);
    XSync(Display->Get(), False);
    EXPECT_FALSE(Presenter->Present(Handle(w), frame.data(), 64, 48, 64 * 4));
    EXPECT_FALSE(Presenter->Repeat(Handle(w)));
}

TEST_F(X11PresenterTest, FlipOfAnEmulatedModeFillsTheWindowsMiddle)
{
    SoftDxSetPresenter(Presenter);
    const Window w = MakeWindow(1024, 600);
    ASSERT_NO_FATAL_FAILURE(MakeFlipChain(w, 640, 480, 16, 1));
    ASSERT_NO_FATAL_FAILURE(Fill(Back, nullptr, 0x07E0));  // full green in 5-6-5
    ASSERT_EQ(Front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);

    // 640 x 480 fitted into 1024 x 600 is 800 x 600, with 112 columns of black each side.
    const auto seen = ReadBack(w, 1024, 600);
    ASSERT_EQ(seen.size(), 1024u * 600u);
    for (unsigned y : {0u, 300u, 599u}) {
        EXPECT_EQ(seen[y * 1024 + 111], 0u);
        EXPECT_EQ(seen[y * 1024 + 112], 0x00FF00u);
        EXPECT_EQ(seen[y * 1024 + 911], 0x00FF00u);
        EXPECT_EQ(seen[y * 1024 + 912], 0u);
    }
    ReleaseFlipChain();
    SoftDxSetPresenter(nullptr);
}

TEST_F(X11PresenterTest, TheServerScalesAnEmulatedModeAsThePresenterWould)
{
    // A 32-bit mode's frames lie in shared memory and are scaled by the server; any other
    // frame is scaled here. Both must give the same picture: proportions, bars, filter.
    SoftDxSetPresenter(Presenter);
    const Window w = MakeWindow(1024, 600);
    ASSERT_NO_FATAL_FAILURE(MakeFlipChain(w, 640, 480, 32, 1));
    DDSURFACEDESC2 locked;
    std::memset(&locked, 0, sizeof locked);
    locked.dwSize = sizeof locked;
    ASSERT_EQ(Back->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    std::vector<uint32_t> frame(640 * 480);
    for (uint32_t y = 0; y < 480; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.lpSurface) + y * locked.lPitch);
        for (uint32_t x = 0; x < 640; ++x)
            row[x] = frame[y * 640 + x] = (x * 255 / 639) << 16 | ((x * y) & 0xFF) << 8 | (y & 1 ? 0xFF : 0);
    }
    ASSERT_EQ(Back->Unlock(nullptr), DD_OK);
    ASSERT_EQ(Front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
    EXPECT_EQ(Presenter->ServerScaledFrames(), 1u);
    const auto server = ReadBack(w, 1024, 600);
    ASSERT_TRUE(Presenter->Present(Handle(w), frame.data(), 640, 480, 640 * 4));
    EXPECT_EQ(Presenter->ServerScaledFrames(), 1u) << "a frame of the program's own memory is scaled here";
    const auto client = ReadBack(w, 1024, 600);

    ASSERT_EQ(server.size(), 1024u * 600u);
    ASSERT_EQ(client.size(), server.size());
    int worst = 0;
    for (size_t i = 0; i < server.size(); ++i)
        for (int shift : {0, 8, 16})
            worst = std::max(worst, std::abs(int((server[i] >> shift) & 0xFF) - int((client[i] >> shift) & 0xFF)));
    EXPECT_LE(worst, 2);
    for (unsigned y : {0u, 300u, 599u}) {
        EXPECT_EQ(server[y * 1024 + 111], 0u) << "bars";
        EXPECT_EQ(server[y * 1024 + 912], 0u);
        EXPECT_NE(server[y * 1024 + 500], 0u);
    }
    ReleaseFlipChain();
    SoftDxSetPresenter(nullptr);
}

TEST_F(X11PresenterTest, AFlipChainOfTheWindowsSizeIsShownFromItsOwnMemory)
{
    SoftDxSetPresenter(Presenter);
    const Window w = MakeWindow(1024, 768);
    ASSERT_NO_FATAL_FAILURE(MakeFlipChain(w, 1024, 768, 32, 2));

    // Each buffer of the chain comes round in turn; every frame must show its own colour,
    // not one the server read from a buffer already drawn again.
    const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF};
    for (uint32_t colour : colours) {
        RECT left{0, 0, 512, 768};
        ASSERT_NO_FATAL_FAILURE(Fill(Back, nullptr, colour));
        ASSERT_NO_FATAL_FAILURE(Fill(Back, &left, ~colour & 0xFFFFFF));
        ASSERT_EQ(Front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
        const auto seen = ReadBack(w, 1024, 768);
        ASSERT_EQ(seen.size(), 1024u * 768u);
        EXPECT_EQ(seen[100 * 1024 + 10], ~colour & 0xFFFFFF);
        EXPECT_EQ(seen[700 * 1024 + 1000], colour);
    }
    EXPECT_EQ(Presenter->DirectFrames(), std::size(colours)) << "no frame was copied on its way";

    // The surfaces may outlive the presenter that gave their memory.
    SoftDxSetPresenter(nullptr);
    Presenter.reset();
    ReleaseFlipChain();
}

TEST_F(X11PresenterTest, VisibleRectsLeaveOutWhatCoversTheWindowAndItsParent)
{
    ::Display* display = Display->Get();
    const Window root = DefaultRootWindow(display);
    const Window below = XCreateSimpleWindow(display, root, 10, 20, 100, 80, 0, 0, 0);
    const Window child = XCreateSimpleWindow(display, below, 70, 60, 50, 50, 0, 0, 0);  // overhangs its parent
    const Window above = XCreateSimpleWindow(display, root, 70, 70, 100, 80, 0, 0, 0);
    for (Window w : {below, child, above}) XMapWindow(display, w);
    XSync(display, False);
    auto area = [](const std::vector<RECT>& rects) {
        long sum = 0;
        for (const RECT& r : rects) sum += long(r.right - r.left) * (r.bottom - r.top);
        return sum;
    };
    auto inside = [](const std::vector<RECT>& rects, LONG x, LONG y) {
        return std::any_of(rects.begin(), rects.end(),
                           [&](const RECT& r) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; });
    };
    const auto whole = Presenter->VisibleRects(reinterpret_cast<HWND>(below));
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(area(*whole), 100 * 80 - 40 * 30);
    EXPECT_TRUE(inside(*whole, 15, 25));
    EXPECT_FALSE(inside(*whole, 80, 80));
    // The child shows only its part within its parent, (80, 80)-(110, 100), which the
    // window above its parent covers until it goes.
    const auto covered = Presenter->VisibleRects(reinterpret_cast<HWND>(child));
    ASSERT_TRUE(covered.has_value());
    EXPECT_EQ(area(*covered), 0);
    XUnmapWindow(display, above);
    XSync(display, False);
    const auto part = *Presenter->VisibleRects(reinterpret_cast<HWND>(child));
    EXPECT_EQ(area(part), 30 * 20);
    EXPECT_TRUE(inside(part, 85, 85));
    XUnmapWindow(display, below);
    XSync(display, False);
    EXPECT_TRUE(Presenter->VisibleRects(reinterpret_cast<HWND>(child))->empty()) << "not shown";
    XDestroyWindow(display, above);
    XSync(display, False);
    EXPECT_FALSE(Presenter->VisibleRects(reinterpret_cast<HWND>(above)).has_value()) << "gone";
}

TEST_F(X11PresenterTest, AnEmulatedModesPictureGoesToTheWindowAtItsSizeAsTheScaledFrameWould)
{
    // The show's frame, one shrinking stretch of a picture into the back buffer, is made at
    // the window's size and shown without scaling; it must look as the mode's frame scaled
    // by the server does: same place, same bars, the same colours on a smooth picture.
    SoftDxSetPresenter(Presenter);
    const Window w = MakeWindow(1024, 600);
    ASSERT_NO_FATAL_FAILURE(MakeFlipChain(w, 640, 480, 32, 1));
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    d.dwWidth = 1600;
    d.dwHeight = 1200;
    IDirectDrawSurface7* picture = nullptr;
    ASSERT_EQ(DirectDraw->CreateSurface(&d, &picture, nullptr), DD_OK);
    DDSURFACEDESC2 locked;
    std::memset(&locked, 0, sizeof locked);
    locked.dwSize = sizeof locked;
    ASSERT_EQ(picture->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    for (uint32_t y = 0; y < 1200; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.lpSurface) + y * locked.lPitch);
        for (uint32_t x = 0; x < 1600; ++x) row[x] = (x * 255 / 1599) << 16 | (y * 255 / 1199) << 8 | 0x80;
    }
    ASSERT_EQ(picture->Unlock(nullptr), DD_OK);
    ASSERT_EQ(Back->Blt(nullptr, picture, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    ASSERT_EQ(Front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
    EXPECT_EQ(Presenter->DirectFrames(), 1u);
    EXPECT_EQ(Presenter->ServerScaledFrames(), 0u);
    const auto direct = ReadBack(w, 1024, 600);

    // The mode's own frame, made when locked, then scaled by the server from its memory.
    ASSERT_EQ(Front->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    const auto* frame = static_cast<const uint32_t*>(locked.lpSurface);
    const size_t pitch = size_t(locked.lPitch);
    ASSERT_EQ(Front->Unlock(nullptr), DD_OK);
    ASSERT_TRUE(Presenter->Present(Handle(w), frame, 640, 480, pitch));
    EXPECT_EQ(Presenter->ServerScaledFrames(), 1u);
    const auto scaled = ReadBack(w, 1024, 600);
    picture->Release();

    ASSERT_EQ(direct.size(), 1024u * 600u);
    ASSERT_EQ(scaled.size(), direct.size());
    int worst = 0;
    for (size_t i = 0; i < direct.size(); ++i)
        for (int shift : {0, 8, 16})
            worst = std::max(worst, std::abs(int((direct[i] >> shift) & 0xFF) - int((scaled[i] >> shift) & 0xFF)));
    EXPECT_LE(worst, 2);
    for (unsigned y : {0u, 300u, 599u}) {
        EXPECT_EQ(direct[y * 1024 + 111], 0u) << "bars";
        EXPECT_EQ(direct[y * 1024 + 912], 0u);
        EXPECT_NE(direct[y * 1024 + 112], 0u);
        EXPECT_NE(direct[y * 1024 + 911], 0u);
    }
    ReleaseFlipChain();
    SoftDxSetPresenter(nullptr);
}
