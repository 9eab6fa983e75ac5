#pragma once
// What the Direct3D tests of the component layer share, on the platform's DirectX (the
// software one on Linux, Wine's on Windows): a form with a device that has Direct3D enabled
// and keeps its log in memory, pictures written as files, and pixel reads through a lock.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "support/DeviceFormTest.h"
#include "support/JpegMaker.h"
#include "support/PictureFiles.h"
#include "support/TestDevice.h"
#include "support/TestSupport.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectX.h"

class Direct3DTest : public DeviceFormTest<> {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(DeviceFormTest::SetUp());
        WDX->DisableDirect3D = false;
        WDX->LogType = dxlogAll;
    }
    // Loads the device and starts it in a window, with Direct3D.
    void StartWindowed()
    {
        WDX->Loaded();
        ASSERT_NE(WDX->Direct3D(), nullptr);
        ASSERT_TRUE(WDX->GetCurrentVideoMode().Windowed);
        WDX->StartAll();
        ASSERT_TRUE(WDX->Active());
        WDX->Lines.clear();
    }

    std::string WriteBmp(const std::string& name, const TRgbPicture& picture)
    {
        return Dir.WriteFile(name, MakeBmp24(picture)).string();
    }
    std::string WriteTga(const std::string& name, int width, int height, const std::vector<uint32_t>& pixels)
    {
        return Dir.WriteFile(name, MakeTga32(width, height, pixels)).string();
    }

    // The raw value of pixel (x, y) and the surface's format.
    static uint32_t RawPixel(IDirectDrawSurface7* surface, int x, int y, DDPIXELFORMAT* format = nullptr)
    {
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEADBEEF;
        const DWORD bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
        uint32_t v = 0;
        std::memcpy(&v, static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes, bytes);
        surface->Unlock(nullptr);
        if (format) *format = desc.ddpfPixelFormat;
        return v;
    }
    // Pixel (x, y) as 8-bit colour, through the surface's own masks.
    static TRgb Pixel(IDirectDrawSurface7* surface, int x, int y)
    {
        DDPIXELFORMAT f{};
        const uint32_t v = RawPixel(surface, x, y, &f);
        auto channel = [v](DWORD mask) {
            if (!mask) return uint8_t{0};
            int shift = 0;
            while (!((mask >> shift) & 1)) ++shift;
            return static_cast<uint8_t>(((v & mask) >> shift) * 255 / (mask >> shift));
        };
        return {channel(f.dwRBitMask), channel(f.dwGBitMask), channel(f.dwBBitMask)};
    }
    static bool Near(TRgb a, TRgb b, int tolerance = 12)
    {
        return std::abs(a.R - b.R) <= tolerance && std::abs(a.G - b.G) <= tolerance && std::abs(a.B - b.B) <= tolerance;
    }

    TempDir Dir;
};
