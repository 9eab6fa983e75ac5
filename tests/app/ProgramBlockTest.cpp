#include "app/ProgramBlock.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "framework/Application.h"
#include "show/ShowHost.h"

TEST(RunModeOf, SlashDashAndBareLetterForms)
{
    for (const char* arg : {"/S", "-S", "S", "SAVER", "SCREEN"}) EXPECT_EQ(RunModeOf(arg), TRunMode::Show) << arg;
    for (const char* arg : {"/P", "-P", "P", "PREVIEW"}) EXPECT_EQ(RunModeOf(arg), TRunMode::Preview) << arg;
    for (const char* arg : {"/C", "-C", "C", "/C:1234", "-C:0"}) EXPECT_EQ(RunModeOf(arg), TRunMode::Settings) << arg;
    EXPECT_EQ(RunModeOf(""), TRunMode::Settings) << "no argument opens the settings";
    for (const char* arg : {"/A", "-A", "A", "/X", "X", "-", "/", "//S", "--S", " /S", "1"})
        EXPECT_EQ(RunModeOf(arg), TRunMode::None) << arg;
}

namespace {
struct Recorder {
    std::vector<std::string> Started;
    TModeRunners Runners()
    {
        return {[this] { Started.push_back("preview"); }, [this] { Started.push_back("show"); },
                [this] { Started.push_back("settings"); }};
    }
};

int RunBlock(std::vector<const char*> args, const TModeRunners& runners, std::string* err = nullptr)
{
    args.insert(args.begin(), "vellumine");
    std::ostringstream out;
    const int status = RunProgramBlock(static_cast<int>(args.size()), args.data(), runners, out);
    if (err) *err = out.str();
    return status;
}
}  // namespace

TEST(ProgramBlock, UpperCasesBothArgumentsAndStartsTheMode)
{
    Recorder recorder;
    Application->Title.clear();
    EXPECT_EQ(RunBlock({"p", "1234abc"}, recorder.Runners()), 0);
    EXPECT_EQ(FirstParam, "P");
    EXPECT_EQ(SecondParam, "1234ABC");
    EXPECT_EQ(Application->Title, "Vellumine");

    EXPECT_EQ(RunBlock({"saver"}, recorder.Runners()), 0);
    EXPECT_EQ(SecondParam, "") << "a missing second argument is the empty text";
    EXPECT_EQ(RunBlock({"/c:4711"}, recorder.Runners()), 0);
    EXPECT_EQ(RunBlock({}, recorder.Runners()), 0);
    EXPECT_EQ(recorder.Started, (std::vector<std::string>{"preview", "show", "settings", "settings"}));
}

TEST(ProgramBlock, NoneModeEndsQuietlyButStillSetsTheTitle)
{
    Recorder recorder;
    for (const char* arg : {"/a", "-A", "/x", "hello"}) {
        Application->Title.clear();
        std::string err;
        EXPECT_EQ(RunBlock({arg}, recorder.Runners(), &err), 0) << arg;
        EXPECT_EQ(err, "");
        EXPECT_EQ(Application->Title, "Vellumine");
    }
    EXPECT_TRUE(recorder.Started.empty());
}

TEST(ProgramBlock, ModeMissingFromTheBuildSaysSoInOneLine)
{
    Recorder recorder;
    TModeRunners partial = recorder.Runners();
    partial.Show = nullptr;
    std::string err;
    EXPECT_EQ(RunBlock({"/s"}, partial, &err), 2);
    EXPECT_NE(err.find("not available in this build"), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << "exactly one line: " << err;
    EXPECT_TRUE(recorder.Started.empty());
}

TEST(ShowHost, WindowIdsInDecimalOrHexadecimal)
{
    EXPECT_EQ(ParseWindowId("4194317"), 4194317ul);
    EXPECT_EQ(ParseWindowId("0x40000d"), 0x40000Dul);
    EXPECT_EQ(ParseWindowId("0X40000D"), 0x40000Dul);
    for (const char* bad : {"", "0x", "0", "0x0", "12ab", "0x12g", "-5", " 12", "12 ", "0x100000000", "99999999999"})
        EXPECT_FALSE(ParseWindowId(bad).has_value()) << '"' << bad << '"';
}

TEST(ProgramBlock, ScreenSaverHostFormsRunTheShow)
{
    Recorder recorder;
    for (const std::vector<const char*>& args : std::vector<std::vector<const char*>>{
             {"-root"}, {"--root"}, {"-ROOT"}, {"-window-id", "0x2a"}, {"--window-id", "42"}}) {
        std::string err;
        EXPECT_EQ(RunBlock(args, recorder.Runners(), &err), 0) << args[0];
        EXPECT_EQ(err, "") << args[0];
    }
    EXPECT_EQ(recorder.Started, std::vector<std::string>(5, "show"));

    std::string err;
    EXPECT_EQ(RunBlock({"-window-id", "window"}, recorder.Runners(), &err), 2);
    EXPECT_NE(err.find("window id"), std::string::npos) << err;
    EXPECT_EQ(RunBlock({"--window-id"}, recorder.Runners(), &err), 2) << "the id is needed";
    EXPECT_EQ(recorder.Started.size(), 5u) << "a bad id starts nothing";
    EXPECT_EQ(RunBlock({"-rooted"}, recorder.Runners(), &err), 0);
    EXPECT_EQ(recorder.Started.size(), 5u) << "only the exact words are host forms";
}
