// Flip of the software DirectDraw: rotating the chain's memory, presenting the new front
// buffer converted to 32-bit pixels, pacing by the refresh clock, and its failures.
#include "softdx/SoftDxFixture.h"

namespace {

constexpr uint64_t Second = 1'000'000'000;

// True when t is the first nanosecond of a 1/60 s tick.
bool OnTick(uint64_t t)
{
    using Wide = unsigned __int128;
    return Wide(t) * 60 / Second != Wide(t - 1) * 60 / Second;
}

DDBLTFX FillFx(DWORD colour)
{
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    fx.dwFillColor = colour;
    return fx;
}

std::vector<IDirectDrawSurface7*> Members(IDirectDrawSurface7* front, DWORD backBuffers)
{
    std::vector<IDirectDrawSurface7*> members{front};
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    IDirectDrawSurface7* next = nullptr;
    EXPECT_EQ(front->GetAttachedSurface(&caps, &next), DD_OK);
    for (DWORD i = 1; i < backBuffers; ++i) {
        members.push_back(next);
        caps.dwCaps = DDSCAPS_FLIP;
        IDirectDrawSurface7* after = nullptr;
        EXPECT_EQ(next->GetAttachedSurface(&caps, &after), DD_OK);
        next = after;
    }
    members.push_back(next);
    return members;
}

void* Memory(IDirectDrawSurface7* s)
{
    DDSURFACEDESC2 d = Desc();
    EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DD_OK);
    s->Unlock(nullptr);
    return d.lpSurface;
}

}  // namespace

TEST(SoftDxRefreshClock, NextRefreshIsTheFirstTickStrictlyAfter)
{
    for (uint64_t t : {uint64_t{0}, uint64_t{1}, uint64_t{16'666'666}, uint64_t{16'666'667}, uint64_t{16'666'668},
                       Second - 1, Second, uint64_t{987'654'321'012'345}, uint64_t{1} << 62}) {
        const uint64_t next = SoftDxNextRefresh(t);
        EXPECT_GT(next, t);
        EXPECT_LE(next - t, Second / 60 + 1);
        EXPECT_TRUE(OnTick(next)) << next;
    }
}

using SoftDxFlip = SoftDxTest;

TEST_F(SoftDxFlip, RotatesMemoryRoundTheChain)
{
    Exclusive();
    for (DWORD count = 1; count <= 3; ++count) {
        IDirectDrawSurface7* front = FlipChain(count);
        auto members = Members(front, count);
        std::vector<void*> before;
        for (auto s : members) before.push_back(Memory(s));
        ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
        for (size_t i = 0; i < members.size(); ++i)
            EXPECT_EQ(Memory(members[i]), before[(i + 1) % members.size()]) << count << " back buffers, member " << i;
        for (size_t i = 1; i < members.size(); ++i) members[i]->Release();
        EXPECT_EQ(front->Release(), 0u);
    }
}

TEST_F(SoftDxFlip, PresentsWhatWasDrawnInTheBackBuffer)
{
    Exclusive();
    ASSERT_EQ(DD->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
    IDirectDrawSurface7* front = FlipChain(2);
    auto members = Members(front, 2);
    DDBLTFX fx = FillFx(0xF800);  // full red in 5-6-5
    ASSERT_EQ(members[1]->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    EXPECT_EQ(Presenter->PresentCount(), 0u) << "drawing into a back buffer shows nothing";
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(Presenter->PresentCount(), 1u);
    EXPECT_EQ(Presenter->LastWindow(), TestWindow());
    EXPECT_EQ(Presenter->LastSize(), (SoftDxSize{640, 480}));
    EXPECT_EQ(Presenter->LastFrame()[640 * 479 + 639], 0x00FF0000u);
    for (size_t i = 1; i < members.size(); ++i) members[i]->Release();
    front->Release();
}

TEST_F(SoftDxFlip, EightBitFramesArePresentedThroughThePrimarysPalette)
{
    Exclusive();
    ASSERT_EQ(DD->SetDisplayMode(640, 480, 8, 0, 0), DD_OK);
    IDirectDrawSurface7* front = FlipChain(1);
    PALETTEENTRY entries[256] = {};
    entries[7] = {0x12, 0x34, 0x56, 0};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(DD->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr), DD_OK);
    ASSERT_EQ(front->SetPalette(palette), DD_OK);
    palette->Release();
    auto members = Members(front, 1);
    DDBLTFX fx = FillFx(7);
    members[1]->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(Presenter->LastFrame()[1000], 0x00123456u);
    members[1]->Release();
    front->Release();
}

TEST_F(SoftDxFlip, WaitsForTheNextRefreshUnlessToldNotTo)
{
    Exclusive();
    IDirectDrawSurface7* front = FlipChain(1);
    for (int frame = 0; frame < 10; ++frame) {
        Clock->Now += 3'000'000 * (frame % 3);  // drawing takes a while, sometimes none
        const uint64_t start = Clock->Now;
        ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
        ASSERT_EQ(Clock->Sleeps.size(), size_t(frame + 1));
        const auto sleep = Clock->Sleeps.back();
        EXPECT_GT(sleep.Until, start);
        EXPECT_LE(sleep.Until - start, Second / 60 + 1);
        EXPECT_TRUE(OnTick(sleep.Until));
    }
    EXPECT_GE(Clock->Now - 5'000'000, 9 * Second / 60) << "ten flips span at least nine refreshes";

    const uint64_t before = Clock->Now;
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
    EXPECT_EQ(Clock->Now, before);
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_INTERVAL2), DD_OK);
    EXPECT_GT(Clock->Now - before, Second / 60) << "every second refresh";
    front->Release();
}

TEST_F(SoftDxFlip, Failures)
{
    Normal();
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface7* single = nullptr;
    ASSERT_EQ(DD->CreateSurface(&d, &single, nullptr), DD_OK);
    EXPECT_EQ(single->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    single->Release();

    Exclusive();
    IDirectDrawSurface7* front = FlipChain(1);
    auto members = Members(front, 1);
    EXPECT_EQ(members[1]->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE) << "only the front buffer flips";
    HDC dc = nullptr;
    ASSERT_EQ(members[1]->GetDC(&dc), DD_OK);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
    members[1]->ReleaseDC(dc);
    SoftDxFailNext("Flip", DDERR_SURFACELOST);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    Normal();
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_NOEXCLUSIVEMODE);
    members[1]->Release();
    front->Release();
}
