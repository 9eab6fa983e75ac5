// The kinds beyond JPEG through the system's Imaging Component: pictures written by the
// system's own encoders, read back through the program's decoder.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/win32/Win32Unicode.h"
#include "imaging/PictureFormats.h"
#include "support/AreaAverage.h"
#include "support/TestSupport.h"

#include <objbase.h>
#include <wincodec.h>

namespace {
// Blue, green, red, alpha as the system's 32-bit format holds them: 0xAARRGGBB.
std::vector<uint32_t> Pattern(int width, int height, bool alpha)
{
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    uint32_t state = 12345;
    for (uint32_t& p : pixels) {
        state = state * 1103515245u + 12345u;
        p = (state >> 8 & 0x00FFFFFF) | (alpha ? (state << 24 | 0x0F000000) : 0xFF000000);
    }
    return pixels;
}

// Writes the pixels with the system's encoder of the container; false when it cannot.
bool WriteWithSystem(const std::string& path, const GUID& container, int width, int height,
                     const std::vector<uint32_t>& pixels)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    IPropertyBag2* options = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    const std::wstring wide = Win32Unicode::LongPath(path);
    const UINT stride = UINT(width) * 4;
    const bool written =
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromFilename(wide.c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, &options)) && SUCCEEDED(frame->Initialize(options)) &&
        SUCCEEDED(frame->SetSize(UINT(width), UINT(height))) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
        IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA) &&
        SUCCEEDED(frame->WritePixels(UINT(height), stride, stride * UINT(height),
                                     reinterpret_cast<BYTE*>(const_cast<uint32_t*>(pixels.data())))) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    for (IUnknown* object : std::initializer_list<IUnknown*>{options, frame, encoder, stream, factory})
        if (object) object->Release();
    return written;
}

// What the show should see of a pixel: its colour over black, 0x00RRGGBB.
uint32_t OverBlack(uint32_t p)
{
    const double a = (p >> 24) / 255.0;
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) out |= uint32_t(std::lround((p >> (8 * c) & 0xFF) * a)) << (8 * c);
    return out;
}

std::vector<uint32_t> Decode(const std::string& path, int width, int height)
{
    std::vector<uint32_t> out(size_t(width) * size_t(height));
    const std::unique_ptr<TPicture> picture = MakePicture(path);
    if (!picture || !picture->Open(path) ||
        !picture->DecodeStored(reinterpret_cast<uint8_t*>(out.data()), width * 4, width, height))
        out.clear();
    return out;
}
}  // namespace

TEST(WicPicture, PngAndTiffDecodeToTheirPixelsOverBlackAtTheirOwnSizeAndReduced)
{
    struct Case {
        const char* Name;
        const GUID& Container;
        bool Alpha;
    };
    const Case cases[] = {{"opaque.png", GUID_ContainerFormatPng, false},
                          {"clear.png", GUID_ContainerFormatPng, true},
                          {"plain.tif", GUID_ContainerFormatTiff, false}};
    TempDir dir;
    constexpr int Width = 61, Height = 40;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = dir.Str() + "\\" + c.Name;
        const std::vector<uint32_t> source = Pattern(Width, Height, c.Alpha);
        ASSERT_TRUE(WriteWithSystem(path, c.Container, Width, Height, source));
        std::vector<uint32_t> expected(source.size());
        for (size_t i = 0; i < source.size(); ++i) expected[i] = OverBlack(source[i]);

        EXPECT_EQ(Decode(path, Width, Height), expected);
        const std::vector<uint32_t> reduced = Decode(path, 20, 13);
        const std::vector<uint32_t> average = AreaAverage(expected, Width, Height, 20, 13);
        ASSERT_EQ(reduced.size(), average.size());
        EXPECT_LE(LargestChannelDifference(reduced, average), 1);
    }
}

TEST(WicPicture, ATruncatedPictureFailsWithoutHarm)
{
    TempDir dir;
    const std::string whole = dir.Str() + "\\whole.png", cut = dir.Str() + "\\cut.png";
    ASSERT_TRUE(WriteWithSystem(whole, GUID_ContainerFormatPng, 300, 200, Pattern(300, 200, false)));
    std::ifstream in(std::filesystem::path(Win32Unicode::Widen(whole)), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const size_t keep : {bytes.size() / 2, size_t(40), size_t(8)}) {
        dir.WriteFile("cut.png", bytes.substr(0, keep));
        EXPECT_TRUE(Decode(cut, 300, 200).empty()) << keep;
    }
}
