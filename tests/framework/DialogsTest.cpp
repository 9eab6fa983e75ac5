#include "framework/Dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

TEST(DialogsTest, LineBreaksOfEveryKindBecomeOne)
{
    EXPECT_EQ(UnifyLineBreaks("no break"), "no break");
    EXPECT_EQ(UnifyLineBreaks("Surface lost.\rTry again."), "Surface lost.\nTry again.");
    EXPECT_EQ(UnifyLineBreaks("a\r\nb\nc"), "a\nb\nc");
    // Two breaks in a row stay two; a pair counts once only in its own order.
    EXPECT_EQ(UnifyLineBreaks("a\r\rb"), "a\n\nb");
    EXPECT_EQ(UnifyLineBreaks("a\n\rb"), "a\n\nb");
    EXPECT_EQ(UnifyLineBreaks("end\r"), "end\n");
}

TEST(DialogsTest, HandlerStandsInForTheBoxUntilReplaced)
{
    using Box = std::tuple<std::string, std::string, TMsgIcon>;
    std::vector<Box> first, second;
    SetMessageBoxHandler([&](const std::string& text, const std::string& caption, TMsgIcon icon) {
        first.emplace_back(text, caption, icon);
    });
    MessageBoxShow("Disk full", "Vellumine", miWarning);
    MessageBoxShow("Done", "Settings", miInformation);
    SetMessageBoxHandler([&](const std::string& text, const std::string& caption, TMsgIcon icon) {
        second.emplace_back(text, caption, icon);
    });
    MessageBoxShow("x", "y", miNone);
    SetMessageBoxHandler({});

    EXPECT_EQ(first, (std::vector<Box>{{"Disk full", "Vellumine", miWarning}, {"Done", "Settings", miInformation}}));
    EXPECT_EQ(second, (std::vector<Box>{{"x", "y", miNone}}));
}

}  // namespace
