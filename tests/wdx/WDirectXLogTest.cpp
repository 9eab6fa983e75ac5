#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "core/Paths.h"
#include "support/TestDevice.h"
#include "wdx/WDirectX.h"
#include "wdx/results/ResultTexts.h"

namespace {
constexpr int32_t kInvalidRect = static_cast<int32_t>(0x88760096);
}  // namespace

TEST(DeviceLog, FormatErrorJoinsMessageAndResultTextWithACarriageReturn)
{
    TTestDevice<> device(nullptr, TTestLog::File);
    EXPECT_EQ(device.FormatError(rkDirectDraw, "TWDirectX.StartAll - Creating Primary", kInvalidRect),
              "TWDirectX.StartAll - Creating Primary\rRectangle provided was invalid.");
    EXPECT_EQ(device.FormatError(rkNone, "TWDirectX.StartAll - No COM for DirectDraw", kInvalidRect),
              "TWDirectX.StartAll - No COM for DirectDraw\r")
        << "no result text for rkNone";
    EXPECT_EQ(device.FormatError(rkDirect3D, "x", 0), "x\rNo error");
}

TEST(DeviceLog, EachLineIsAppendedWithDateTimeAndCrLf)
{
    TTestDevice<> device(nullptr, TTestLog::File);
    EXPECT_EQ(device.LogPath(), ProgramFolder() + device.LogFile) << "the log lives in the program's folder";
    device.WriteLog("first");
    device.WriteLog("second\rwith a carriage return");
    const std::string text = device.LogText();
    const size_t firstEnd = text.find("\r\n");
    ASSERT_NE(firstEnd, std::string::npos);
    const std::string first = text.substr(0, firstEnd);
    EXPECT_EQ(first.substr(first.size() - 6), " first");
    EXPECT_GT(first.size(), std::string(" first").size() + 8) << "date and time come first: " << first;
    const std::string second = " second\rwith a carriage return\r\n";
    ASSERT_GT(text.size(), second.size());
    EXPECT_EQ(text.substr(text.size() - second.size()), second);
    EXPECT_EQ(text.find("\r\n", firstEnd + 2), text.size() - 2) << "exactly two lines";
}

TEST(DeviceLog, UnwritableLogRaisesAnInputOutputError)
{
    TTestDevice<> device(nullptr, TTestLog::File);
    device.LogFile = "no-such-folder-" + std::to_string(std::random_device{}()) + "/Log.log";
    EXPECT_THROW(device.WriteLog("lost"), EInOutError);
}

TEST(DeviceLog, RaiseErrorLogsStopsKeepsTheTextAndThrowsInThatOrder)
{
    TTestDevice<> device(nullptr, TTestLog::File);
    device.LogType = dxlogError;
    try {
        device.RaiseError(rkDirectDraw, "TWDirectDrawBasicSurface.SetColorKey", kInvalidRect);
        FAIL() << "RaiseError never returns";
    } catch (const EWDirectXError& e) {
        EXPECT_EQ(e.Message(), "TWDirectDrawBasicSurface.SetColorKey\rRectangle provided was invalid.");
    }
    EXPECT_EQ(device.Stops.size(), 1u);
    EXPECT_EQ(device.LastError, "TWDirectDrawBasicSurface.SetColorKey\rRectangle provided was invalid.");
    const std::string log = device.LogText();
    EXPECT_NE(log.find(" TWDirectDrawBasicSurface.SetColorKey\rRectangle provided was invalid.\r\n"),
              std::string::npos);
    EXPECT_EQ(log.find("TWDirectX.StopAll"), std::string::npos) << "trace lines need dxlogAll";

    EXPECT_THROW(device.RaiseError(rkNone, "second", 0), EWDirectXError);
    EXPECT_EQ(device.LastError, "second\r") << "LastError holds the latest text";
}

TEST(DeviceLog, ExceptionIgnoreLeavesTheDeviceRunningAndNoneWritesNothing)
{
    TTestDevice<> device(nullptr, TTestLog::File);
    device.ExceptionIgnore = true;
    EXPECT_THROW(device.RaiseError(rkDirectSound, "TWDirectSoundBuffer.Start", 0), EWDirectXError);
    EXPECT_TRUE(device.Stops.empty());
    EXPECT_EQ(device.LastError, "TWDirectSoundBuffer.Start\rThe request completed successfully.");
    EXPECT_FALSE(std::filesystem::exists(device.LogPath())) << "dxlogNone writes no log";
}

TEST(DeviceLog, AllLevelTracesTheStop)
{
    TTestDevice<> device(nullptr, TTestLog::File);
    device.LogType = dxlogAll;
    device.StopAll();
    const std::string log = device.LogText();
    const size_t stop = log.find(" TWDirectX.StopAll\r\n");
    const size_t done = log.find(" TWDirectX.StopAll - Done\r\n");
    ASSERT_NE(stop, std::string::npos);
    ASSERT_NE(done, std::string::npos);
    EXPECT_LT(stop, done);
}
