// The image surface component and the device's named surface list, over the platform's
// DirectDraw (the software one on Linux, Wine's on Windows): pictures of each format loaded
// and read back, sizing, naming and lookups, destruction, and the failure texts.
#include "wdx/WDirectDrawSurface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/Paths.h"
#include "framework/Bitmap.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "imaging/PictureLoader.h"
#include "support/DeviceFormTest.h"
#include "support/JpegMaker.h"
#include "support/PictureFiles.h"
#include "support/TestDevice.h"
#include "support/TestSupport.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectDrawBasicSurface.h"
#include "wdx/WDirectX.h"
#include "wdx/results/ResultTexts.h"

namespace {
std::string MakeTga(int width, int height)
{
    std::string s(18, '\0');
    s[2] = 2;
    s[12] = static_cast<char>(width);
    s[14] = static_cast<char>(height);
    s[16] = 24;
    return s + std::string(static_cast<size_t>(width * height * 3), '\x40');
}

class SurfaceList : public DeviceFormTest<> {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(DeviceFormTest::SetUp());
        WDX->Loaded();
        ASSERT_TRUE(WDX->GetCurrentVideoMode().Windowed);
        WDX->StartAll();
        ASSERT_TRUE(WDX->Active());
    }

    TWDirectDrawSurface* NewSurface(const std::string& image, TddSurfaceDimension dimension = sdFromFile)
    {
        auto* s = new TWDirectDrawSurface(Form.get());
        s->Image = image;
        s->UseFile = !image.empty();
        s->SurfaceDimension = dimension;
        return s;
    }

    // The colour of pixel (x, y), read through a lock and the surface's own masks.
    static TRgb ReadPixel(TWDirectDrawBasicSurface* surface, int x, int y)
    {
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (surface->Surface()->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return {1, 2, 3};
        const DWORD bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
        uint32_t v = 0;
        std::memcpy(&v, static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes, bytes);
        surface->Surface()->Unlock(nullptr);
        auto channel = [v](DWORD mask) {
            if (!mask) return uint8_t{0};
            int shift = 0;
            while (!((mask >> shift) & 1)) ++shift;
            const uint32_t max = mask >> shift;
            return static_cast<uint8_t>(((v & mask) >> shift) * 255 / max);
        };
        const DDPIXELFORMAT& f = desc.ddpfPixelFormat;
        return {channel(f.dwRBitMask), channel(f.dwGBitMask), channel(f.dwBBitMask)};
    }

    static void ExpectNear(TRgb actual, TRgb expected, int tolerance, const char* where)
    {
        EXPECT_NEAR(actual.R, expected.R, tolerance) << where;
        EXPECT_NEAR(actual.G, expected.G, tolerance) << where;
        EXPECT_NEAR(actual.B, expected.B, tolerance) << where;
    }

    std::string FailureText(const std::string& name, const std::string& size, const std::string& reason, int code)
    {
        return "TWDirectX.CreateNewSurface " + name + " (" + size + ") " + reason + "\r" + ResultText(1, code);
    }

    // Starts the component and gives the exception's text, or "" when it started.
    std::string StartError(TWDirectDrawSurface* s)
    {
        try {
            s->Start(WDX);
        } catch (const EWDirectXError& e) {
            return e.what();
        }
        return "";
    }

    TempDir Dir;
    const TRgb Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255}, White{255, 255, 255};
};
}  // namespace

TEST_F(SurfaceList, AJpegLoadsAtItsOwnSizeAndReadsBack)
{
    const std::string path =
        Dir.WriteFile("quad.jpg", MakeJpeg(QuadrantPicture(64, 48, Red, Green, Blue, White))).string();
    TWDirectDrawSurface* s = NewSurface(path);
    s->Start(WDX);
    ASSERT_TRUE(s->Active());
    ASSERT_NE(s->DDBS(), nullptr);
    EXPECT_EQ(s->Width, 64);
    EXPECT_EQ(s->Height, 48);
    EXPECT_EQ(s->Bits, WDX->Primary()->Bits);
    ExpectNear(ReadPixel(s->DDBS(), 5, 5), Red, 12, "top left");
    ExpectNear(ReadPixel(s->DDBS(), 58, 5), Green, 12, "top right");
    ExpectNear(ReadPixel(s->DDBS(), 5, 42), Blue, 12, "bottom left");
    ExpectNear(ReadPixel(s->DDBS(), 58, 42), White, 12, "bottom right");

    // In a 32-bit display format the surface holds exactly the decoder's pixels.
    if (s->Bits != 32) return;
    TBitmap bitmap;
    ASSERT_TRUE(LoadJpegIntoBitmap(bitmap, "", path));
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    ASSERT_EQ(s->DDBS()->Surface()->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    int wrong = 0;
    for (int y = 0; y < 48; ++y) {
        const uint8_t* in = bitmap.ScanLine(y);
        const auto* out = reinterpret_cast<const uint32_t*>(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch);
        for (int x = 0; x < 64; ++x, in += 3) wrong += out[x] != (uint32_t(in[2]) << 16 | uint32_t(in[1]) << 8 | in[0]);
    }
    s->DDBS()->Surface()->Unlock(nullptr);
    EXPECT_EQ(wrong, 0);
}

TEST_F(SurfaceList, ABitmapFromTheImagesFolderLoadsExactly)
{
    TRgbPicture picture(4, 3, {10, 20, 30});
    picture.At(3, 0) = {200, 100, 0};
    picture.At(0, 2) = {0, 0, 250};
    Dir.WriteFile("pics/p.bmp", MakeBmp24(picture));
    WDX->PathImages = (Dir.Path() / "pics").string() + PathDelim;
    TWDirectDrawSurface* s = NewSurface("p.bmp");
    s->Start(WDX);
    ASSERT_EQ(s->Width, 4);
    ASSERT_EQ(s->Height, 3);
    if (WDX->Primary()->Bits < 24) GTEST_SKIP() << "exact colours need a true-colour display";
    EXPECT_EQ(ReadPixel(s->DDBS(), 1, 1), (TRgb{10, 20, 30}));
    EXPECT_EQ(ReadPixel(s->DDBS(), 3, 0), (TRgb{200, 100, 0}));
    EXPECT_EQ(ReadPixel(s->DDBS(), 0, 2), (TRgb{0, 0, 250}));
}

TEST_F(SurfaceList, AFolderWithThePicturesNameIsPassedOverForTheImagesFolder)
{
    // The name is looked for as it is, from the working folder, before the images folder.
    Dir.WriteFile("pics/p.bmp", MakeBmp24(TRgbPicture(4, 3, {10, 20, 30})));
    std::filesystem::create_directory(Dir.Path() / "p.bmp");
    WDX->PathImages = std::string("pics") + PathDelim;
    TWDirectDrawSurface* s = NewSurface("p.bmp");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(Dir.Path());
    const std::string error = StartError(s);
    std::filesystem::current_path(before);
    EXPECT_EQ(error, "");
    EXPECT_EQ(s->Width, 4);
    EXPECT_EQ(s->Height, 3);
}

TEST_F(SurfaceList, ATgaGivesTheSurfaceItsSize)
{
    TWDirectDrawSurface* s = NewSurface(Dir.WriteFile("t.TGA", MakeTga(5, 3)).string());
    s->Start(WDX);
    EXPECT_EQ(s->Width, 5);
    EXPECT_EQ(s->Height, 3);
}

TEST_F(SurfaceList, SizingFollowsTheSurfaceDimension)
{
    const std::string path = Dir.WriteFile("q.jpg", MakeSolidJpeg(40, 30, Red)).string();
    TWDirectDrawSurface* screen = NewSurface(path, sdFromScreen);
    screen->Start(WDX);
    EXPECT_EQ(screen->Width, WDX->Primary()->Width);
    EXPECT_EQ(screen->Height, WDX->Primary()->Height);
    ExpectNear(ReadPixel(screen->DDBS(), screen->Width - 1, screen->Height - 1), Red, 12, "stretched");

    TWDirectDrawSurface* window = NewSurface("", sdFromWindow);
    window->Start(WDX);
    EXPECT_EQ(window->Width, WDX->OutputWidth());
    EXPECT_EQ(window->Height, WDX->OutputHeight());

    TWDirectDrawSurface* exact = NewSurface("", sdExact);
    exact->Height = 200;
    exact->Bits = 16;
    exact->Start(WDX);
    EXPECT_EQ(exact->Width, WDX->Primary()->Width) << "width 0 takes the primary's";
    EXPECT_EQ(exact->Height, 200);
    EXPECT_EQ(exact->Bits, 16);
    EXPECT_EQ(exact->DDBS()->RedMask(), 0x7C00u);
    EXPECT_EQ(exact->DDBS()->GreenMask(), 0x03E0u);
    EXPECT_EQ(exact->DDBS()->BlueMask(), 0x001Fu);
}

TEST_F(SurfaceList, AnEmptyImageIsFilledWithTheRawKeyValue)
{
    TWDirectDrawSurface* s = NewSurface("", sdExact);
    s->Width = 8;
    s->Height = 4;
    s->Bits = 32;
    s->SetColorKey(clRed);  // 0x0000FF taken as a raw 32-bit pixel is full blue
    s->Start(WDX);
    EXPECT_EQ(ReadPixel(s->DDBS(), 7, 3), Blue);
    EXPECT_EQ(s->DDBS()->ColorKey(), clRed);
    s->SetColorKey(clWhite);
    EXPECT_EQ(s->DDBS()->ColorKey(), clWhite) << "the key follows while active";
}

TEST_F(SurfaceList, EmptyImagesAreNamedByTheFirstFreeNumber)
{
    TWDirectDrawSurface* a = NewSurface("");
    TWDirectDrawSurface* b = NewSurface("");
    a->Start(WDX);
    b->Start(WDX);
    EXPECT_EQ(WDX->SurfaceEntry(a->Index())->Name, "Empty-0");
    EXPECT_EQ(WDX->SurfaceEntry(b->Index())->Name, "Empty-1");
    a->Stop();
    TWDirectDrawSurface* c = NewSurface("");
    c->Start(WDX);
    EXPECT_EQ(WDX->SurfaceEntry(c->Index())->Name, "Empty-0");
    EXPECT_EQ(c->Index(), 2) << "a new entry is appended; slots never move";
}

TEST_F(SurfaceList, NamesAreSharedAndFoundWithoutRegardToCase)
{
    const std::string path = Dir.WriteFile("same.jpg", MakeSolidJpeg(16, 16, Green)).string();
    TWDirectDrawSurface* first = NewSurface(path);
    TWDirectDrawSurface* second = NewSurface(path);
    first->Start(WDX);
    second->Start(WDX);
    EXPECT_EQ(first->Index(), second->Index());
    EXPECT_EQ(WDX->SurfaceCount(), 1);
    EXPECT_EQ(WDX->SurfaceIndex(path), first->Index());
    std::string upper = path;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_EQ(WDX->SurfaceIndex(upper), first->Index());
    EXPECT_EQ(WDX->SurfaceEntryByName(upper), WDX->SurfaceEntry(first->Index()));
    EXPECT_EQ(WDX->SurfaceIndex("other"), -1);
    EXPECT_EQ(WDX->SurfaceEntryByName("other"), nullptr);

    first->Stop();
    EXPECT_FALSE(first->Active());
    EXPECT_TRUE(second->Active());
    EXPECT_EQ(second->DDBS(), nullptr) << "the shared slot is empty now";
    second->Stop();  // its index names an empty slot: nothing happens
    EXPECT_EQ(WDX->SurfaceCount(), 1);
}

TEST_F(SurfaceList, DestroyByIndexAndByNameEmptiesOnlyThatSlot)
{
    TWDirectDrawSurface* a = NewSurface("");
    TWDirectDrawSurface* b = NewSurface("");
    TWDirectDrawSurface* c = NewSurface("");
    a->Start(WDX);
    b->Start(WDX);
    c->Start(WDX);
    WDX->DestroySurface(1);
    EXPECT_EQ(WDX->SurfaceEntry(1), nullptr);
    EXPECT_NE(WDX->SurfaceEntry(0), nullptr);
    WDX->DestroySurface("EMPTY-2");
    EXPECT_EQ(WDX->SurfaceEntry(2), nullptr);
    EXPECT_EQ(WDX->SurfaceIndex("Empty-0"), 0);
    EXPECT_EQ(WDX->SurfaceCount(), 3) << "the list never shrinks";
    WDX->DestroySurface(-1);
    WDX->DestroySurface(3);
    WDX->DestroySurface(1);
    WDX->DestroySurface("absent");
    EXPECT_NE(WDX->SurfaceEntry(0), nullptr);
    EXPECT_EQ(WDX->SurfaceEntry(-1), nullptr);
    EXPECT_EQ(WDX->SurfaceEntry(7), nullptr);
}

TEST_F(SurfaceList, TheDeviceStartsAndStopsItsSurfacesAndFreesTheList)
{
    WDX->StopAll();
    const std::string path = Dir.WriteFile("auto.jpeg", MakeSolidJpeg(24, 16, Blue)).string();
    TWDirectDrawSurface* automatic = NewSurface(path);
    TWDirectDrawSurface* manual = NewSurface("");
    manual->AutoStart = false;
    WDX->StartAll();
    ASSERT_TRUE(WDX->Active());
    EXPECT_TRUE(automatic->Active());
    EXPECT_EQ(automatic->Width, 24);
    EXPECT_FALSE(manual->Active());
    manual->Start(WDX);
    EXPECT_EQ(WDX->SurfaceCount(), 2);

    WDX->StopAll();
    EXPECT_FALSE(automatic->Active());
    EXPECT_TRUE(manual->Active()) << "the device does not stop what it did not start";
    EXPECT_EQ(manual->DDBS(), nullptr) << "but its entry went with the list";
    EXPECT_EQ(WDX->SurfaceCount(), 0);
    manual->Stop();
}

TEST_F(SurfaceList, ChangingThePictureIsStopAndStart)
{
    const std::string one = Dir.WriteFile("one.jpg", MakeSolidJpeg(32, 20, Red)).string();
    const std::string two = Dir.WriteFile("two.jpg", MakeSolidJpeg(20, 32, Green)).string();
    TWDirectDrawSurface* s = NewSurface(one);
    s->Start(WDX);
    s->Image = two;
    s->Start(WDX);
    EXPECT_EQ(s->Width, 32) << "Start on an active component does nothing";
    s->Stop();
    s->Start(WDX);
    EXPECT_EQ(s->Width, 20);
    EXPECT_EQ(s->Height, 32);
    EXPECT_EQ(s->Index(), 1);
    ExpectNear(ReadPixel(s->DDBS(), 10, 10), Green, 12, "second picture");
}

TEST_F(SurfaceList, PicturesThatCannotBeLoadedFailWithTheirText)
{
    WDX->ExceptionIgnore = true;  // keeps the device running between the cases
    const std::string missing = (Dir.Path() / "absent.jpg").string();
    TWDirectDrawSurface* s = NewSurface(missing);
    EXPECT_EQ(StartError(s), FailureText(missing, "0x0x0", "File not found", 1));
    EXPECT_FALSE(s->Active());

    // Unknown kinds, and damaged files of every kind, are refused alike.
    const std::string files[][2] = {{"p.png", "\x89PNG\r\n\x1a\n....."},
                                    {"bad.jpg", "\xFF\xD8\xFF\xE0 not a picture"},
                                    {"bad.bmp", "BM short"},
                                    {"bad.tga", std::string(18, '\0')}};
    for (const auto& file : files) {
        const std::string path = Dir.WriteFile(file[0], file[1]).string();
        s->Image = path;
        EXPECT_EQ(StartError(s), FailureText(path, "0x0x0", "File not found", 1)) << file[0];
        EXPECT_FALSE(s->Active());
    }
    EXPECT_EQ(WDX->SurfaceCount(), 0);

    // A sound header over data the decoder gives up on part way.
    std::mt19937 random(99);
    const std::string good = MakeJpeg(QuadrantPicture(40, 24, Red, Green, Blue, White));
    std::string damaged;
    for (int round = 0; round < 2000 && damaged.empty(); ++round) {
        std::string bad = good;
        for (int i = 0; i < 3; ++i) bad[good.size() / 3 + random() % (good.size() * 2 / 3)] = char(random());
        const std::string path = Dir.WriteFile("try.jpg", bad).string();
        TJpegPicture header;
        TBitmap bitmap;
        if (header.Open(path) && !LoadJpegIntoBitmap(bitmap, "", path)) damaged = bad;
    }
    ASSERT_FALSE(damaged.empty());
    const std::string path = Dir.WriteFile("damaged.jpg", damaged).string();
    s->Image = path;
    EXPECT_EQ(StartError(s), FailureText(path, "0x0x0", "File not found", 1));
    EXPECT_FALSE(s->Active());
    EXPECT_EQ(WDX->SurfaceCount(), 0) << "the surface made for it is gone";
    EXPECT_TRUE(WDX->Active());
}

TEST_F(SurfaceList, AFailureStopsTheDeviceUnlessIgnored)
{
    TWDirectDrawSurface* s = NewSurface((Dir.Path() / "none.bmp").string());
    EXPECT_NE(StartError(s), "");
    EXPECT_FALSE(WDX->Active());
    EXPECT_NE(WDX->LastError.find("File not found"), std::string::npos);
}

TEST_F(SurfaceList, TexturesNeedAStarted3DDeviceForTheirFormat)
{
    // This device runs without Direct3D: it has no texture format to offer.
    WDX->ExceptionIgnore = true;
    try {
        WDX->CreateNewSurface("tex", {}, 16, 16, 0, clBlack, 0, dxmtAuto, sdExact, dxstEmptyTexture, nullptr, 0);
        FAIL() << "a texture was made";
    } catch (const EWDirectXError& e) {
        EXPECT_EQ(std::string(e.what()), FailureText("tex", "16x16x0", "Looking for texture", 1));
    }
    EXPECT_EQ(WDX->SurfaceCount(), 0);
}

TEST_F(SurfaceList, CreationAndDestructionAreLogged)
{
    WDX->LogType = dxlogAll;
    WDX->Lines.clear();
    TWDirectDrawSurface* s = NewSurface("");
    s->Start(WDX);
    s->Start(WDX);  // shared by name: no closing line
    EXPECT_EQ(WDX->CreateNewSurface("empty-0", {}, 0, 0, 0, 0, 0, dxmtAuto, sdExact, dxstEmptyImage, nullptr, 0), 0);
    s->Stop();
    const std::vector<std::string> expected = {
        "TWDirectDrawSurface.Start()",         "TWDirectX.CreateNewSurface: Empty-0",
        "TWDirectDrawBasicSurface.Start",      "TWDirectX.CreateNewSurface: Empty-0, Result:0",
        "TWDirectX.CreateNewSurface: empty-0", "TWDirectX.DestroySurface: 0",
        "TWDirectDrawBasicSurface.Stopped",    "TWDirectX.DestroySurface STOPPED: 0",
        "TWDirectDrawSurface.Stopped"};
    EXPECT_EQ(WDX->Lines, expected);
}

TEST_F(SurfaceList, FramesFromAStoredPhotographMatchFramesFromTheWholeOne)
{
    // A 24-megapixel photograph loaded whole and stored within the box a 1920 x 1080 mode
    // asks for: frames drawn through the same rectangles of the photograph (the full view,
    // a zoom part way, the deepest zoom at a corner and at the centre) look the same.
    constexpr int W = 6000, H = 4000, FrameW = 1920, FrameH = 1080;
    std::mt19937 grain(7);
    const std::string path =
        Dir.WriteFile("photo.jpg", MakeLargeJpeg(W, H,
                                                 [&](int x, int y) {
                                                     const double u = x / double(W), v = y / double(H);
                                                     const double detail = std::sin(x / 37.0) * std::sin(y / 23.0);
                                                     const int noise = int(grain() % 5) - 2;
                                                     const auto c = [&](double f) {
                                                         return uint8_t(std::clamp(f * 255 + noise, 0.0, 255.0));
                                                     };
                                                     return TRgb{c(0.2 + 0.5 * u + 0.1 * detail),
                                                                 c(0.3 + 0.4 * v + 0.1 * std::sin(u * 40)),
                                                                 c(0.5 - 0.3 * u * v + 0.08 * detail)};
                                                 }))
            .string();
    TWDirectDrawSurface* whole = NewSurface(path);
    TWDirectDrawSurface* stored = NewSurface(path);
    stored->StoreWithin = {2 * FrameW, 2 * FrameH};
    // The same file under two names, so that the list does not share one surface.
    stored->Image = (Dir.Path() / "copy.jpg").string();
    std::filesystem::copy_file(path, stored->Image);
    whole->Start(WDX);
    stored->Start(WDX);
    ASSERT_TRUE(whole->Active() && stored->Active());
    ASSERT_EQ(stored->Width, W);
    ASSERT_LT(stored->DDBS()->Width, W);
    TWDirectDrawSurface* frame = NewSurface("", sdExact);
    frame->Width = FrameW;
    frame->Height = FrameH;
    frame->Start(WDX);
    ASSERT_TRUE(frame->Active());

    const auto draw = [&](TWDirectDrawSurface* from, const TRect& r) {
        frame->DDBS()->BltPicture(Rect(0, 0, FrameW, FrameH), from->DDBS(), r);
        std::vector<TRgb> pixels;
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (frame->DDBS()->Surface()->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return pixels;
        // Compared in the colour bits of a true-colour display; 16 bits lose too much to tell.
        if (desc.ddpfPixelFormat.dwRGBBitCount == 32)
            for (int y = 0; y < FrameH; ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(static_cast<uint8_t*>(desc.lpSurface) +
                                                                    ptrdiff_t(y) * desc.lPitch);
                for (int x = 0; x < FrameW; ++x)
                    pixels.push_back({uint8_t(row[x] >> 16), uint8_t(row[x] >> 8), uint8_t(row[x])});
            }
        frame->DDBS()->Surface()->Unlock(nullptr);
        return pixels;
    };
    for (const TRect& r :
         {Rect(0, 312, 6000, 3687), Rect(700, 500, 5200, 3031), Rect(0, 0, 3000, 1687), Rect(1500, 1156, 4500, 2843)}) {
        const std::vector<TRgb> a = draw(whole, r), b = draw(stored, r);
        if (a.empty()) GTEST_SKIP() << "the comparison needs a 32-bit display";
        ASSERT_EQ(a.size(), b.size());
        double squares = 0;
        for (size_t i = 0; i < a.size(); ++i)
            for (const auto& [p, q] : {std::pair{a[i].R, b[i].R}, {a[i].G, b[i].G}, {a[i].B, b[i].B}})
                squares += (p - q) * (p - q);
        const double psnr = 10 * std::log10(255.0 * 255.0 / std::max(squares / (3.0 * a.size()), 1e-9));
        EXPECT_GE(psnr, 38.0) << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
    }
}
