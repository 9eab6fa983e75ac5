// A back buffer filled whole by one stretch is made at the window's size when an emulated
// mode is presented, and in its own pixels whenever anything else needs them.
#include <cstdlib>
#include <functional>

#include "softdx/SoftDxFixture.h"

namespace {

constexpr DWORD ModeWidth = 640, ModeHeight = 480;

// A smooth picture: red across, green down, so that any way of shrinking it gives the
// colour of the place sampled, whatever the filter.
uint32_t Gradient(double x, double y, uint32_t width, uint32_t height)
{
    const auto level = [](double v) { return uint32_t(std::clamp(v, 0.0, 255.0) + 0.5); };
    return level(x * 255 / (width - 1)) << 16 | level(y * 255 / (height - 1)) << 8 | 0x40;
}

// A 0x00RRGGBB colour in 5-6-5, and such a pixel as a 16-bit frame has always been shown:
// each field's bits repeated down into the byte.
uint32_t To565(uint32_t c) { return (c >> 8 & 0xF800) | (c >> 5 & 0x07E0) | (c >> 3 & 0x1F); }
uint32_t Widened(uint32_t v)
{
    const uint32_t r = v >> 11 & 31, g = v >> 5 & 63, b = v & 31;
    return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

int ChannelDifference(uint32_t a, uint32_t b)
{
    int worst = 0;
    for (int shift : {0, 8, 16}) worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return worst;
}

class SoftDxDeferredStretch : public SoftDxTest {
public:  // to the cases' steps too
    // The mode in bits of 32 or 16 (5-6-5, the picture then too).
    void Start(std::optional<SoftDxSize> window, DWORD pictureWidth, DWORD pictureHeight, DWORD bits = 32)
    {
        Presenter->SetWindowSize(window);
        ASSERT_NO_FATAL_FAILURE(Exclusive());
        ASSERT_EQ(DD->SetDisplayMode(ModeWidth, ModeHeight, bits, 0, 0), DD_OK);
        Front = FlipChain(1);
        ASSERT_NE(Front, nullptr);
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        ASSERT_EQ(Front->GetAttachedSurface(&caps, &Back), DD_OK);
        PictureWidth = pictureWidth;
        PictureHeight = pictureHeight;
        Written.clear();
        Picture = Offscreen(pictureWidth, pictureHeight);
        ASSERT_NE(Picture, nullptr);
        LockedPixels p(Picture);
        ASSERT_TRUE(p.Ok);
        for (uint32_t y = 0; y < pictureHeight; ++y)
            for (uint32_t x = 0; x < pictureWidth; ++x) {
                const uint32_t colour = Gradient(x, y, pictureWidth, pictureHeight);
                Written.push_back(bits == 16 ? To565(colour) : colour);
                p.Set(x, y, Written.back());
            }
    }
    void TearDown() override
    {
        for (IDirectDrawSurface7* s : {Picture, Back, Front})
            if (s) s->Release();
        SoftDxTest::TearDown();
    }
    // The mode's whole frame from the picture's rectangle.
    void Draw(IDirectDrawSurface7* target, RECT source)
    {
        ASSERT_EQ(target->Blt(nullptr, Picture, &source, DDBLT_WAIT, nullptr), DD_OK);
    }
    static std::vector<uint32_t> Pixels(IDirectDrawSurface7* surface)
    {
        LockedPixels p(surface);
        std::vector<uint32_t> pixels;
        for (uint32_t y = 0; y < ModeHeight && p.Ok; ++y)
            for (uint32_t x = 0; x < ModeWidth; ++x) pixels.push_back(p.Get(x, y) & 0xFFFFFF);
        return pixels;
    }

    IDirectDrawSurface7 *Front = nullptr, *Back = nullptr, *Picture = nullptr;
    DWORD PictureWidth = 0, PictureHeight = 0;
    std::vector<uint32_t> Written;  // the picture's pixels, rows packed
};

}  // namespace

TEST_F(SoftDxDeferredStretch, AnEmulatedModesFrameIsMadeAtTheWindowsSize)
{
    // 640 x 480 in a 1024 x 600 window: 800 x 600 in the middle, 112 columns of black each side.
    ASSERT_NO_FATAL_FAILURE(Start(SoftDxSize{1024, 600}, 2000, 1500));
    const RECT source{200, 150, 1800, 1350};
    ASSERT_NO_FATAL_FAILURE(Draw(Back, source));
    ASSERT_EQ(Front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
    ASSERT_EQ(Presenter->LastSize(), (SoftDxSize{1024, 600}));
    const std::vector<uint32_t>& seen = Presenter->LastFrame();
    // Each window pixel shows the picture where its centre falls in the source rectangle
    // (two picture pixels a window pixel), as the mode's frame scaled up would.
    int worst = 0, bars = 0;
    for (uint32_t y = 0; y < 600; ++y)
        for (uint32_t x = 0; x < 1024; ++x) {
            const uint32_t pixel = seen[size_t{y} * 1024 + x] & 0xFFFFFF;
            if (x < 112 || x >= 912) {
                bars += pixel != 0;
                continue;
            }
            const double px = source.left + (x - 112 + 0.5) * 2 - 0.5, py = source.top + (y + 0.5) * 2 - 0.5;
            worst = std::max(worst, ChannelDifference(pixel, Gradient(px, py, 2000, 1500)));
        }
    EXPECT_EQ(bars, 0);
    EXPECT_LE(worst, 2);
    // The mode's own frame, made when asked for, shows the same picture at its own size.
    const std::vector<uint32_t> frame = Pixels(Front);
    ASSERT_EQ(frame.size(), size_t{ModeWidth} * ModeHeight);
    for (uint32_t y = 0; y < ModeHeight; y += 13)
        for (uint32_t x = 0; x < ModeWidth; x += 11) {
            const double px = source.left + (x + 0.5) * 2.5 - 0.5, py = source.top + (y + 0.5) * 2.5 - 0.5;
            worst = std::max(worst, ChannelDifference(frame[size_t{y} * ModeWidth + x], Gradient(px, py, 2000, 1500)));
        }
    EXPECT_LE(worst, 2);
}

TEST_F(SoftDxDeferredStretch, TheScreensOwnModeAndEnlargingStretchesArePresentedAtTheModesSize)
{
    struct Case {
        const char* Name;
        SoftDxSize Window;
        DWORD PictureWidth, PictureHeight;
    };
    const Case cases[] = {
        {"the window's own size", {ModeWidth, ModeHeight}, 2000, 1500},
        {"a picture smaller than the window", {1024, 768}, 800, 600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_NO_FATAL_FAILURE(Start(c.Window, c.PictureWidth, c.PictureHeight));
        ASSERT_NO_FATAL_FAILURE(Draw(Back, {0, 0, LONG(c.PictureWidth), LONG(c.PictureHeight)}));
        ASSERT_EQ(Front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
        EXPECT_EQ(Presenter->LastSize(), (SoftDxSize{ModeWidth, ModeHeight}));
        EXPECT_EQ(Presenter->LastFrame(), Pixels(Front));
        for (IDirectDrawSurface7** s : {&Picture, &Back, &Front}) {
            (*s)->Release();
            *s = nullptr;
        }
    }
}

TEST_F(SoftDxDeferredStretch, ThePixelsHoldTheStretchWhateverComesAfterIt)
{
    // What each step after the blit must find: the pixels an ordinary surface gets from the
    // same blit, though the picture changes or goes, and with the back buffer drawn on.
    const RECT source{300, 100, 1900, 1300};
    const RECT corner{0, 0, 10, 10};
    DDBLTFX white;
    std::memset(&white, 0, sizeof white);
    white.dwSize = sizeof white;
    white.dwFillColor = 0xFFFFFF;
    struct Case {
        const char* Name;
        std::function<void(SoftDxDeferredStretch&)> After;
        bool CornerWhite;
        bool Flipped;
    };
    const Case cases[] = {
        {"nothing", [](SoftDxDeferredStretch&) {}, false, false},
        {"the picture filled",
         [&](SoftDxDeferredStretch& t) {
             ASSERT_EQ(t.Picture->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &white), DD_OK);
         },
         false, false},
        {"the picture locked and drawn on",
         [](SoftDxDeferredStretch& t) {
             LockedPixels p(t.Picture);
             ASSERT_TRUE(p.Ok);
             for (uint32_t y = 0; y < t.PictureHeight; ++y)
                 std::memset(p.Row(y), 0, t.PictureWidth * p.Desc.ddpfPixelFormat.dwRGBBitCount / 8);
         },
         false, false},
        {"the picture released",
         [](SoftDxDeferredStretch& t) {
             t.Picture->Release();
             t.Picture = nullptr;
         },
         false, false},
        {"a corner of the back buffer filled",
         [&](SoftDxDeferredStretch& t) {
             RECT r = corner;
             ASSERT_EQ(t.Back->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &white), DD_OK);
         },
         true, false},
        {"a flip, the picture then released",
         [](SoftDxDeferredStretch& t) {
             ASSERT_EQ(t.Front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
             t.Picture->Release();
             t.Picture = nullptr;
         },
         false, true},
    };
    // In 16 bits the frame is presented from averaged copies at the mode's own size (2.5:1) and
    // sampled from the pixels themselves in a larger window, while the buffer must always hold
    // what a 16-bit Blt makes: the pixels under the centres.
    for (const DWORD bits : {32, 16})
        for (const SoftDxSize window : {SoftDxSize{1024, 768}, SoftDxSize{ModeWidth, ModeHeight}})
            for (const Case& c : cases) {
                SCOPED_TRACE(testing::Message() << c.Name << ", " << bits << " bits in " << window.Width);
                ASSERT_NO_FATAL_FAILURE(Start(window, 2000, 1500, bits));
                IDirectDrawSurface7* plain = Offscreen(ModeWidth, ModeHeight);
                ASSERT_NO_FATAL_FAILURE(Draw(plain, source));
                std::vector<uint32_t> expected = Pixels(plain);
                if (c.CornerWhite)
                    for (LONG y = corner.top; y < corner.bottom; ++y)
                        for (LONG x = corner.left; x < corner.right; ++x)
                            expected[size_t(y) * ModeWidth + size_t(x)] = bits == 16 ? 0xFFFF : 0xFFFFFF;
                ASSERT_NO_FATAL_FAILURE(Draw(Back, source));
                ASSERT_NO_FATAL_FAILURE(c.After(*this));
                EXPECT_EQ(Pixels(c.Flipped ? Front : Back), expected);
                // Read as a blit's source, too.
                ASSERT_EQ(plain->Blt(nullptr, c.Flipped ? Front : Back, nullptr, DDBLT_WAIT, nullptr), DD_OK);
                EXPECT_EQ(Pixels(plain), expected);
                plain->Release();
                for (IDirectDrawSurface7** s : {&Picture, &Back, &Front}) {
                    if (*s) (*s)->Release();
                    *s = nullptr;
                }
            }
}

TEST_F(SoftDxDeferredStretch, ARepeatedFrameIsShownAgainAndAChangedOneMadeAnew)
{
    ASSERT_NO_FATAL_FAILURE(Start(SoftDxSize{1024, 768}, 2000, 1500));
    const auto show = [&](RECT source) {
        Draw(Back, source);
        EXPECT_EQ(Front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
        EXPECT_EQ(Presenter->LastSize(), (SoftDxSize{1024, 768}));
        return Presenter->LastFrame();
    };
    const RECT first{0, 0, 1600, 1200}, second{400, 300, 2000, 1500};
    const std::vector<uint32_t> shown = show(first);
    EXPECT_EQ(show(first), shown);
    EXPECT_NE(show(second), shown);
    EXPECT_EQ(show(first), shown);
    // The same picture's pixels changed, and then another picture in its place.
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x123456;
    ASSERT_EQ(Picture->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(show(first)[384 * 1024 + 512] & 0xFFFFFF, 0x123456u);
    Picture->Release();
    Picture = Offscreen(2000, 1500);
    ASSERT_NE(Picture, nullptr);
    EXPECT_EQ(show(first)[384 * 1024 + 512] & 0xFFFFFF, 0u) << "a new picture, black";
}

TEST_F(SoftDxDeferredStretch, AFlipToTheFrameShownOnlyRepeatsItAndKeepsWhatAFlipPromises)
{
    // After any flip the front buffer shows the back buffer's frame and the back buffer holds
    // what was shown; only a frame equal to the one shown may skip the work.
    const RECT first{0, 0, 1600, 1200}, second{400, 300, 2000, 1500};
    DDBLTFX fill;
    std::memset(&fill, 0, sizeof fill);
    fill.dwSize = sizeof fill;
    fill.dwFillColor = 0x123456;
    RECT corner{0, 0, 10, 10};
    struct Case {
        const char* Name;
        std::function<void(SoftDxDeferredStretch&)> Between;  // after the first flip
        RECT Next;
        bool Repeats;
    };
    const Case cases[] = {
        {"the same stretch", [](SoftDxDeferredStretch&) {}, first, true},
        {"another rectangle", [](SoftDxDeferredStretch&) {}, second, false},
        {"the picture drawn on",
         [&](SoftDxDeferredStretch& t) {
             ASSERT_EQ(t.Picture->Blt(&corner, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill), DD_OK);
         },
         first, false},
        {"the front buffer drawn on",
         [&](SoftDxDeferredStretch& t) {
             ASSERT_EQ(t.Front->Blt(&corner, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill), DD_OK);
         },
         first, false},
        {"the back buffer drawn on before the stretch",
         [&](SoftDxDeferredStretch& t) {
             ASSERT_EQ(t.Back->Blt(&corner, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill), DD_OK);
         },
         first, true},
    };
    for (const DWORD bits : {32, 16})
        for (const SoftDxSize window : {SoftDxSize{ModeWidth, ModeHeight}, SoftDxSize{1024, 768}})
            for (const Case& c : cases) {
                SCOPED_TRACE(testing::Message()
                             << c.Name << (window.Width == ModeWidth ? ", the screen's own mode" : ", emulated") << ", "
                             << bits << " bits");
                ASSERT_NO_FATAL_FAILURE(Start(window, 2000, 1500, bits));
                ASSERT_NO_FATAL_FAILURE(Draw(Back, first));
                ASSERT_EQ(Front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
                ASSERT_NO_FATAL_FAILURE(c.Between(*this));
                // Read through a blit: an unlock counts as a change, and would end the repeats.
                IDirectDrawSurface7* plain = Offscreen(ModeWidth, ModeHeight);
                ASSERT_EQ(plain->Blt(nullptr, Front, nullptr, DDBLT_WAIT, nullptr), DD_OK);
                const std::vector<uint32_t> shownBefore = Pixels(plain);
                ASSERT_NO_FATAL_FAILURE(Draw(plain, c.Next));
                const std::vector<uint32_t> expected = Pixels(plain);
                plain->Release();

                const uint32_t repeats = Presenter->RepeatCount(), presents = Presenter->PresentCount();
                ASSERT_NO_FATAL_FAILURE(Draw(Back, c.Next));
                ASSERT_EQ(Front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
                EXPECT_EQ(Presenter->PresentCount(), presents + 1) << "one frame shown";
                EXPECT_EQ(Presenter->RepeatCount(), repeats + (c.Repeats ? 1 : 0));
                EXPECT_EQ(Pixels(Front), expected);
                EXPECT_EQ(Pixels(Back), shownBefore);
                if (window.Width == ModeWidth && bits == 32) {
                    EXPECT_EQ(Presenter->LastFrame(), Pixels(Front)) << "on the screen";
                }
                for (IDirectDrawSurface7** s : {&Picture, &Back, &Front}) {
                    if (*s) (*s)->Release();
                    *s = nullptr;
                }
            }
}

TEST_F(SoftDxDeferredStretch, A16BitFrameIsPresentedFromItsWidenedPixels)
{
    // Shrinking onto the window, a 16-bit frame is made at the window's size from the picture's
    // pixels (by less than half) or from their widened colours averaged by 2 x 2 blocks (by half
    // or more), sampled under each window pixel's centre; enlarging, or where the presenter
    // cannot tell the window, it is the mode's frame widened, as 16-bit frames were always shown.
    enum Expect { PixelsUnderCentres, Averaged, ModesFrame };
    struct Case {
        const char* Name;
        std::optional<SoftDxSize> Window;
        RECT Source;
        Expect Kind;
    };
    const Case cases[] = {
        {"shrinking by less than half", SoftDxSize{1024, 768}, {200, 150, 1800, 1350}, PixelsUnderCentres},
        {"shrinking by half or more", SoftDxSize{800, 600}, {0, 0, 2000, 1500}, Averaged},
        {"at the mode's own size", SoftDxSize{ModeWidth, ModeHeight}, {300, 200, 1300, 950}, PixelsUnderCentres},
        {"enlarging at the mode's own size", SoftDxSize{ModeWidth, ModeHeight}, {100, 100, 420, 340}, ModesFrame},
        {"enlarging onto the window", SoftDxSize{1024, 768}, {100, 100, 420, 340}, ModesFrame},
        {"a presenter that cannot tell", std::nullopt, {0, 0, 2000, 1500}, ModesFrame},
    };
    const auto centre = [](int64_t i, int64_t count, int64_t start, int64_t length) {
        return start + (2 * i + 1) * length / (2 * count);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_NO_FATAL_FAILURE(Start(c.Window, 2000, 1500, 16));
        ASSERT_NO_FATAL_FAILURE(Draw(Back, c.Source));
        ASSERT_EQ(Front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
        const std::vector<uint32_t> seen = Presenter->LastFrame();
        const SoftDxSize size = Presenter->LastSize();
        const std::vector<uint32_t> frame = Pixels(Front);
        if (c.Kind == ModesFrame) {
            ASSERT_EQ(size, (SoftDxSize{ModeWidth, ModeHeight}));
            std::vector<uint32_t> widened;
            for (uint32_t v : frame) widened.push_back(Widened(v));
            EXPECT_EQ(seen, widened);
        } else {
            ASSERT_EQ(size, *c.Window);  // each case's window has the mode's proportions
            const auto picture = [&](int64_t x, int64_t y) { return Widened(Written[size_t(y * 2000 + x)]); };
            const int64_t sw = c.Source.right - c.Source.left, sh = c.Source.bottom - c.Source.top;
            int wrong = 0;
            for (int64_t y = 0; y < size.Height; ++y)
                for (int64_t x = 0; x < size.Width; ++x) {
                    uint32_t expected;
                    if (c.Kind == PixelsUnderCentres) {
                        expected =
                            picture(centre(x, size.Width, c.Source.left, sw), centre(y, size.Height, c.Source.top, sh));
                    } else {
                        // Block (bx, by) of the copy at half the size.
                        const int64_t bx = centre(x, size.Width, c.Source.left / 2, sw / 2);
                        const int64_t by = centre(y, size.Height, c.Source.top / 2, sh / 2);
                        expected = 0;
                        for (int shift : {0, 8, 16}) {
                            uint32_t sum = 2;
                            for (int64_t dy = 0; dy < 2; ++dy)
                                for (int64_t dx = 0; dx < 2; ++dx)
                                    sum += picture(2 * bx + dx, 2 * by + dy) >> shift & 0xFF;
                            expected |= (sum / 4) << shift;
                        }
                    }
                    wrong += (seen[size_t(y) * size.Width + size_t(x)] & 0xFFFFFF) != expected;
                }
            EXPECT_EQ(wrong, 0);
        }
        for (IDirectDrawSurface7** s : {&Picture, &Back, &Front}) {
            (*s)->Release();
            *s = nullptr;
        }
    }
}
